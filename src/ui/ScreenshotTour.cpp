#include "ui/ScreenshotTour.h"

#include "base/AppState.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"
#include "groups/GroupListModel.h"
#include "groups/NewsrcStore.h"
#include "ui/AboutBox.h"
#include "ui/FindGroupForm.h"
#include "ui/HelpWindow.h"
#include "ui/HistoryDialog.h"
#include "app/HistoryControl.h"
#include "ui/IncTextForm.h"
#include "ui/LogForm.h"
#include "ui/PasswordDlg.h"
#include "ui/SplashForm.h"
#include "ui/TaskListForm.h"
#include "ui/MainForm.h"
#include "ui/QueueModel.h"
#include "ui/QueuePanel.h"
#include "ui/FirstStartWizard.h"
#include "ui/SetupForm2.h"

#include <QApplication>
#include <QDateTime>
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

THistoryEntry SampleBatch(const QString& batch, const QString& name, int files, qint64 size,
                          int articles, int missing, THistoryEntry::TState state)
{
    THistoryEntry e;
    e.Batch = batch;
    e.Date = QDateTime(QDate(2026, 12, batch.mid(6, 2).toInt()), QTime(20, 15)).toSecsSinceEpoch();
    e.Subject = name;
    e.Files = QStringList(files, name);
    e.Size = size;
    e.Groups = {QStringLiteral("alt.binaries.test")};
    e.Articles = articles;
    e.Missing = missing;
    e.Nzb = QStringLiteral("/home/ann/.local/share/Brindlecove Software/Quorvel/nzb/%1.nzb")
                .arg(missing > 0 ? name + QStringLiteral(".incomplete") : name);
    e.State = state;
    return e;
}

// The history of three batches: one repaired, one found incomplete, one being checked.
bool SaveHistory(QWidget* parent, const QString& folder)
{
    using TState = THistoryEntry::TState;
    THistoryDialog history(parent);
    history.ShowEntries(
        {SampleBatch(QStringLiteral("20261201-201500-k2m9qa"), QStringLiteral("Holiday"), 41,
                     29000000, 412, 0, TState::Complete),
         SampleBatch(QStringLiteral("20261204-201500-p8d3zt"), QStringLiteral("Concert"), 3,
                     288000000, 412, 11, TState::Incomplete),
         SampleBatch(QStringLiteral("20261207-201500-w5c1rn"), QStringLiteral("debian-12-netinst"),
                     1, 658505728, 941, 0, TState::Complete)},
        {});
    history.ShowResult({QStringLiteral("20261201-201500-k2m9qa"), true, 412, 3, 3, {}});
    history.ShowResult({QStringLiteral("20261204-201500-p8d3zt"), false, 412, 11, 0, {}});
    history.SelectBatch(QStringLiteral("20261207-201500-w5c1rn"));
    history.ShowProgress(QStringLiteral("20261207-201500-w5c1rn"), 512, 941,
                         QStringLiteral("Asking the server"));
    history.show();
    return Save(&history, folder, QStringLiteral("history.png"));
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
    form.FollowGroupList(store);
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
    settings.Host = QStringLiteral("news.example.org:563");
    settings.Security = QStringLiteral("tls");
    TServerEntry backup;
    backup.Name = QStringLiteral("Backup");
    backup.Host = QStringLiteral("news.example.net");
    backup.Security = QStringLiteral("tls");
    backup.Priority = 1;
    TServerEntry checker = backup;
    checker.Name = QStringLiteral("Check");
    checker.Host = QStringLiteral("reader.example.com");
    checker.Role = TServerRole::Check;
    settings.FurtherServers = {backup, checker};
    settings.RASOpenBefore = true;
    settings.RASConnection = QStringLiteral("Provider DSL");
    TSetupForm2 setup(
        settings,
        [](const TSetupForm2::TEntriesDone& done) {
            done({QStringLiteral("Provider DSL"), QStringLiteral("Mobile")});
        },
        &form);
    setup.show();
    auto* pages = setup.findChild<QTabWidget*>();
    const QStringList names = {QStringLiteral("setup-user.png"), QStringLiteral("setup-system.png"),
                               QStringLiteral("setup-articles.png"),
                               QStringLiteral("setup-delivery.png"),
                               QStringLiteral("setup-dialup.png")};
    for (int i = 0; pages && i < pages->count() && i < names.size(); ++i) {
        pages->setCurrentIndex(i);
        saved += Save(&setup, folder, names.at(i)) ? 1 : 0;
    }
    setup.hide();

    // The first start's guide, as a new user sees it.
    TFirstStartWizard wizard(NewProfileSettings(), &form);
    wizard.show();
    saved += Save(&wizard, folder, QStringLiteral("first-start.png")) ? 1 : 0;
    wizard.hide();

    TAboutBox about(QStringLiteral("2.0.0.1"), &form);
    about.show();
    saved += Save(&about, folder, QStringLiteral("about.png")) ? 1 : 0;

    // The file list's other two views.
    form.ListButtonClick();
    form.RefreshControls(idle);
    saved += Save(&form, folder, QStringLiteral("main-list-view.png")) ? 1 : 0;
    form.SmallButtonClick();
    form.RefreshControls(idle);
    saved += Save(&form, folder, QStringLiteral("main-small-view.png")) ? 1 : 0;
    form.DetailsButtonClick();

    // The smaller windows.
    TPasswordDlg login(&form);
    login.setWindowTitle(QStringLiteral("News server login"));
    login.SetValues(QStringLiteral("ann"), QString());
    login.show();
    saved += Save(&login, folder, QStringLiteral("login.png")) ? 1 : 0;
    login.hide();
    TFindGroupForm* find = form.FindGroupForm();
    find->SetFindText(QStringLiteral("binaries"));
    find->show();
    saved += Save(find, folder, QStringLiteral("find-group.png")) ? 1 : 0;
    find->hide();
    TIncTextForm include(&form);
    include.show();
    saved += Save(&include, folder, QStringLiteral("include-text.png")) ? 1 : 0;
    include.hide();
    form.TaskViewAdd({QStringLiteral("Upload"),
                      {QStringLiteral("news.example.org"),
                       QStringLiteral("/home/ann/holiday-photos.zip"), QStringLiteral("Holiday")},
                      QStringLiteral("holiday-photos.zip"),
                      QStringLiteral("alt.binaries.test"),
                      QStringLiteral("news.example.org")});
    form.TaskListForm()->SetHeadState(QStringLiteral("running, part 3 of 40"));
    form.ShowTaskWindow();
    saved += Save(form.TaskListForm(), folder, QStringLiteral("task-list.png")) ? 1 : 0;
    form.TaskListForm()->hide();

    // The main window while a batch goes out: the queue panel and what is happening now.
    form.TaskViewClear();
    form.TaskViewAdd({QStringLiteral("Upload"),
                      {},
                      QStringLiteral("photo-002.jpg"),
                      QStringLiteral("alt.binaries.test"),
                      QStringLiteral("news.example.org"),
                      4200000});
    form.TaskViewAdd(
        {QStringLiteral("Disconnect"), {}, {}, {}, QStringLiteral("news.example.org")});
    form.QueuePanel()->Model()->SetState(0, QStringLiteral("running, 193 of 328 parts done"));
    TBatchProgressState batch;
    batch.Total = 29000000;
    batch.Done = 12300000;
    batch.Percent = 42;
    batch.BytesPerSecond = 1200000;
    batch.SecondsLeft = 14;
    batch.File = QStringLiteral("/home/ann/Holiday/photo-002.jpg");
    batch.Part = 193;
    batch.Parts = 328;
    form.ShowBatchProgress(batch);
    form.SetStatusText(QStringLiteral("Posted OK"));
    form.SetProgress(64);
    QApplication::processEvents();
    saved += Save(&form, folder, QStringLiteral("main-posting.png")) ? 1 : 0;
    form.TaskViewClear();
    form.ViewLogItemClick();
    saved += Save(form.LogForm(), folder, QStringLiteral("session-log.png")) ? 1 : 0;
    form.LogForm()->hide();
    saved += SaveHistory(&form, folder) ? 1 : 0;
    TSplashForm splash;
    splash.show();
    splash.SetStatus(QStringLiteral("Reading profile settings"));
    saved += Save(&splash, folder, QStringLiteral("splash.png")) ? 1 : 0;
    splash.hide();

    form.ShowHelp(425);
    if (THelpWindow* help = form.HelpWindow(); help && help->isVisible())
        saved += Save(help, folder, QStringLiteral("help.png")) ? 1 : 0;
    form.SetGroupModel(previous);
    return saved;
}
