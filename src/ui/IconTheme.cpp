#include "ui/IconTheme.h"

#include <QDir>
#include <QIcon>

void UseIconTheme()
{
    for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("breeze")}) {
        for (const QString& base : QIcon::themeSearchPaths()) {
            if (!QDir(base + u'/' + theme).exists())
                continue;
            QIcon::setFallbackThemeName(theme);
            if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
                QIcon::setThemeName(theme);
            return;
        }
    }
}
