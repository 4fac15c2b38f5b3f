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

bool IsInstalledProgramDir(const QString& dir)
{
    // Asking the package manager which files it owns would take a process per start; the
    // places it installs to are few and fixed.
    static const char* const systemRoots[] = {"/usr",   "/opt",   "/bin",  "/sbin",      "/lib",
                                              "/lib32", "/lib64", "/snap", "/nix/store", "/app"};
    const QString canonical = QFileInfo(dir).canonicalFilePath();
    const QString path =
        QDir::cleanPath(canonical.isEmpty() ? QDir(dir).absolutePath() : canonical);
    for (const char* root : systemRoots) {
        const QString r = QLatin1String(root);
        if (path == r || path.startsWith(r + u'/'))
            return true;
    }
    return false;
}

QString ChooseProgramDir(const QString& home, const QString& exeDir, const QString& dataDir)
{
    if (!home.isEmpty()) {
        QDir().mkpath(home);
        return withSeparator(home);
    }
    if (!exeDir.isEmpty() && isWritableDir(exeDir) && !IsInstalledProgramDir(exeDir))
        return withSeparator(exeDir);
    QDir().mkpath(dataDir);
    return withSeparator(dataDir);
}

QString ResolveProgramDir()
{
    return ChooseProgramDir(qEnvironmentVariable("QUORVEL_HOME"),
                            QCoreApplication::applicationDirPath(),
                            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
}

QString BuildVersionText()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(QUORVEL_VERSION_MAJOR)
        .arg(QUORVEL_VERSION_MINOR)
        .arg(QUORVEL_VERSION_PATCH)
        .arg(QUORVEL_VERSION_TWEAK);
}
