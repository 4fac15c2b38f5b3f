#include "base/AppState.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

void TAppState::SetProfile(const QString& name)
{
    ProfileName = name;
    ProfileKey = name;
    NewsrcPath = ProgramDir + QStringLiteral("newsrc.") + name;
}

QString ProfileNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("a profile needs a name");
    for (const QChar c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 32 || c.unicode() == 127)
            return QStringLiteral("a profile name cannot hold '/', '\\' or control characters");
    return QString();
}

namespace {

QString withSeparator(const QString& dir)
{
    QString d = QDir::cleanPath(QDir(dir).absolutePath());
    if (!d.endsWith(u'/'))
        d += u'/';
    return d;
}

bool isWritableDir(const QString& dir)
{
    const QFileInfo fi(dir);
    return fi.isDir() && fi.isWritable();
}

} // namespace

QString ResolveProgramDir()
{
    const QString home = qEnvironmentVariable("QUORVEL_HOME");
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return withSeparator(home);
    }
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (!exeDir.isEmpty() && isWritableDir(exeDir))
        return withSeparator(exeDir);
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(data);
    return withSeparator(data);
}

QString BuildVersionText()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(QUORVEL_VERSION_MAJOR)
        .arg(QUORVEL_VERSION_MINOR)
        .arg(QUORVEL_VERSION_PATCH)
        .arg(QUORVEL_VERSION_TWEAK);
}
