#include "AppRun.h"

#include <QFileInfo>

namespace {

// Points the program at the settings file's folder before anything reads QUORVEL_HOME.
QString inItsHome(const QString& settingsFile)
{
    qputenv("QUORVEL_HOME", QFileInfo(settingsFile).absolutePath().toUtf8());
    return settingsFile;
}

} // namespace

TAppCore::TAppCore(TView& view, const QString& settingsFile)
    : store(inItsHome(settingsFile)), app(view, store, clock)
{
}

void TAppCore::StartShown(const QStringList& args)
{
    app.FormCreate(args);
    app.FormShow();
    app.InstallIdleHook();
}

void TAppCore::Close()
{
    app.FormCloseQuery();
    app.FormDestroy();
}

TAppRun::TAppRun(const QString& settingsFile) : TAppCore(view, settingsFile)
{
    view.FollowStartup(app);
}
