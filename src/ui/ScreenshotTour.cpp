#include "ui/ScreenshotTour.h"

#include "app/AppState.h"
#include "app/Clock.h"
#include "app/Logger.h"
#include "app/SessionLog.h"
#include "groups/GroupListModel.h"
#include "groups/NewsrcStore.h"
#include "ui/AboutBox.h"
#include "ui/HelpWindow.h"
#include "ui/MainForm.h"
#include "ui/SetupForm2.h"

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTreeView>
#include <QTemporaryDir>

namespace {

bool Save(QWidget* widget, const QString& folder, const QString& name)
{
    QApplication::sendPostedEvents();
    return TMainForm::SaveScreenshot(widget, QDir(folder).filePath(name));
}

} // namespace

int TakeScreenshots(TMainForm& form, const QString& folder)
{
    QDir().mkpath(folder);
    // Sample groups from a store of its own, so no profile's files are touched.
    QTemporaryDir sampleDir;
    TAppState sample;
    sample.ProgramDir = sampleDir.path() + u'/';
    sample.SetProfile(QStringLiteral("Sample"));
    TSessionLog sampleLog(TClock::System());
    TLogger logger(sampleLog, TClock::System());
    TNewsrcStore store(sample, logger, form);
    TGroupListModel model(store);
    auto* previous = qobject_cast<TGroupListModel*>(form.GroupList()->model());
    form.SetGroupModel(&model);
    store.SaveFullList({QStringLiteral("alt.binaries.test"),
                        QStringLiteral("alt.binaries.pictures.nature"), QStringLiteral("alt.test"),
                        QStringLiteral("comp.os.linux.announce"), QStringLiteral("misc.test"),
                        QStringLiteral("news.announce.newusers")},
                       sample.NewsrcPath);
    store.GroupView = TNewsrcStore::ViewUnsubscribed;
    store.ShowGroups();
    form.GroupPaneSelectRows({0}, true);
    TIdleState idle;
    form.RefreshControls(idle);
    int saved = Save(&form, folder, QStringLiteral("main-window.png")) ? 1 : 0;

    ProfileSettings settings;
    settings.RASOpenBefore = true;
    settings.RASConnection = QStringLiteral("Provider DSL");
    TSetupForm2 setup(
        settings,
        [] {
            return QStringList{QStringLiteral("Provider DSL"), QStringLiteral("Mobile")};
        },
        &form);
    setup.show();
    auto* pages = setup.findChild<QTabWidget*>();
    const QStringList names = {QStringLiteral("setup-user.png"), QStringLiteral("setup-system.png"),
                               QStringLiteral("setup-articles.png"),
                               QStringLiteral("setup-dialup.png")};
    for (int i = 0; pages && i < pages->count() && i < names.size(); ++i) {
        pages->setCurrentIndex(i);
        saved += Save(&setup, folder, names.at(i)) ? 1 : 0;
    }
    setup.hide();

    TAboutBox about(QStringLiteral("2.0.0.1"), &form);
    about.show();
    saved += Save(&about, folder, QStringLiteral("about.png")) ? 1 : 0;

    form.ShowHelp(425);
    if (THelpWindow* help = form.HelpWindow(); help && help->isVisible())
        saved += Save(help, folder, QStringLiteral("help.png")) ? 1 : 0;
    form.SetGroupModel(previous);
    return saved;
}
