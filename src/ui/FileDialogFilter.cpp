#include "ui/FileDialogFilter.h"

#include <QStringList>

QString ToDialogFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList entries;
    for (int i = 0; i < parts.size(); i += 2) {
        const QString name = parts.at(i).trimmed();
        QStringList patterns;
        const QString patternList = i + 1 < parts.size() ? parts.at(i + 1) : QStringLiteral("*");
        for (QString pattern : patternList.split(u';', Qt::SkipEmptyParts)) {
            pattern = pattern.trimmed();
            patterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
        }
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        if (name.isEmpty() && patterns.isEmpty())
            continue;
        entries << QStringLiteral("%1 (%2)").arg(name, patterns.join(u' '));
    }
    return entries.join(QStringLiteral(";;"));
}
