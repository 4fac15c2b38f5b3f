#include "ui/QuorvelApplication.h"

#include <QDir>
#include <QIcon>

#include <cstdio>
#include <exception>

TQuorvelApplication::TQuorvelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TQuorvelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        Report(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        Report(QStringLiteral("Unknown error"));
    }
    return false;
}

void TQuorvelApplication::Report(const QString& message)
{
    // A second failure while the first is being reported must not loop.
    if (m_reporting || !m_handler) {
        std::fprintf(stderr, "quorvel: %s\n", qPrintable(message));
        if (!m_handler)
            quit();
        return;
    }
    m_reporting = true;
    m_handler(message);
    m_reporting = false;
}

void TQuorvelApplication::UseIconTheme()
{
    for (const QString& theme : {QStringLiteral("Adwaita"), QStringLiteral("breeze")}) {
        for (const QString& base : QIcon::themeSearchPaths()) {
            if (QDir(base + u'/' + theme).exists()) {
                QIcon::setFallbackThemeName(theme);
                if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
                    QIcon::setThemeName(theme);
                return;
            }
        }
    }
}
