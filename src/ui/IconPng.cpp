// quorvel-icon-png: writes the program's icon as PNG files for the desktop's icon theme,
// FOLDER/SIZExSIZE/apps/quorvel.png for each size given, from the same picture the window
// paints. Run at build time; the package installs the result under hicolor.
#include "ui/ProgramIcon.h"

#include <QDir>
#include <QGuiApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: quorvel-icon-png FOLDER SIZE...\n");
        return 2;
    }
    for (const QString& sizeText : args.mid(1)) {
        bool numeric = false;
        const int size = sizeText.toInt(&numeric);
        if (!numeric || size < 8 || size > 1024) {
            std::fprintf(stderr, "quorvel-icon-png: '%s' is not an icon size\n",
                         qPrintable(sizeText));
            return 2;
        }
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(args.first()).arg(size);
        const QString file = folder + QStringLiteral("/quorvel.png");
        if (!QDir().mkpath(folder) || !ProgramPixmap(size).save(file, "PNG")) {
            std::fprintf(stderr, "quorvel-icon-png: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
