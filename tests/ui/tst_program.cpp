#include "AppRun.h"
#include "FakeClock.h"
#include "InnServer.h"
#include "NntpReader.h"
#include "TestFiles.h"
#include "PostedArticles.h"
#include "ModalDriver.h"
#include "app/QuorvelApp.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskList.h"
#include "ui/MainForm.h"
#include "browser/FileList.h"
#include "ui/ProgramWiring.h"
#include "ui/QueueModel.h"
#include "ui/QueuePanel.h"
#include "ui/HistoryDialog.h"
#include "ui/HistoryModel.h"
#include "app/HistoryControl.h"
#include "upload/UploadJournal.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskRunner.h"
#include "upload/PostRequest.h"
#include "upload/UploadTaskBuilder.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSettings>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QProgressBar>
#include <QTcpServer>
#include <QMimeData>
#include <QUrl>
#include <QWizard>

// The whole program behind its window: the commands as the user gives them, the work done
// by the real task runner and news client against a private INN server.
class TestProgram : public QObject
{
    Q_OBJECT
private slots:
    void firstStartGuideEndsWithTheServersGroups();
    void downloadFillsGroupPaneAndSubscribeMovesGroups();
    void groupShortcutsWorkBeforeMenuOpens();
    void setupSavedWhenConfirmed();
    void batchAndNzbFileInTheStatusBar();
    void queuePanelRunsBatchAndRetriesWithCurrentServer();
    void abortPausesAndCloseKeepsQueueForNextStart();
    void droppedFolderPostsOneBatchWithItsSubfolders();
    void historyChecksAgainAndRepairsLostArticles();
};

// The program as main() builds it, on a data folder of its own, shown and running its
// idle step; closed down again however the test ends.
struct TProgramRig
{
    // dataDir: a data folder of an earlier run, for a restart; by default one of its own.
    explicit TProgramRig(const QString& host = QString(), const QString& dataDir = QString())
        : dir(dataDir.isEmpty() ? home.path() : dataDir)
    {
        logic.FormCreate({});
        // The window's tests pin the values of a profile an earlier version stored (uuencode
        // with its subject, one connection, no retries); a new profile's own defaults are
        // tested in tst_profiles.
        ProfileSettings& s = logic.State().Settings;
        const ProfileSettings classic;
        s.Encoding = classic.Encoding;
        s.Template = classic.Template;
        s.Connections = classic.Connections;
        s.PostRetries = classic.PostRetries;
        if (!host.isEmpty())
            s.Host = host;
        form.show();
        logic.FormShow();
        logic.InstallIdleHook();
        // A message box nobody answers would hold the test until its time-out: one still up
        // a second later is taken down, and its text kept for the test to report.
        QObject::connect(&guard, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box == seen) {
                unexpected << box->text();
                box->done(0);
                box = nullptr;
            }
            seen = box;
        });
        guard.start(1000);
    }
    ~TProgramRig()
    {
        form.close();
        logic.FormDestroy();
        qunsetenv("QUORVEL_HOME");
    }

    QTemporaryDir home;
    QString dir;
    TMainForm form;
    TAppCore core{form, dir + QStringLiteral("/settings.ini")};
    TQuorvelApp& logic = core.app;
    TProgramWiring wiring{form, logic};
    QTimer guard;
    QMessageBox* seen = nullptr;
    QStringList unexpected; // the texts of message boxes no one answered
};

// A first start: the guide's server (its port choosing plain NNTP) and address, and at its
// end the server's groups in the pane without a question, one click from a post.
void TestProgram::firstStartGuideEndsWithTheServersGroups()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 3}, &error), qPrintable(error));
    TProgramRig rig;
    WhenModal([&inn](QWidget* modal) {
        auto* wizard = qobject_cast<QWizard*>(modal);
        QVERIFY(wizard);
        wizard->findChild<QLineEdit*>(QStringLiteral("WizardHost"))->setText(inn.Server());
        emit wizard->findChild<QLineEdit*>(QStringLiteral("WizardHost"))->textEdited(inn.Server());
        wizard->next();
        wizard->findChild<QLineEdit*>(QStringLiteral("WizardEmail"))
            ->setText(QStringLiteral("first@quorvel.test"));
        wizard->button(QWizard::FinishButton)->click();
    });
    rig.form.OpenFirstStart();
    QCOMPARE(rig.logic.State().Settings.Security, QStringLiteral("none"));
    TNewsrcStore& groups = rig.logic.Newsrc();
    QVERIFY(RunLoopUntil([&] { return groups.UnsubList.size() >= 3; }, 1500));
    QVERIFY(RunLoopUntil([&] { return rig.logic.TaskList().IsEmpty(); }));
    QCOMPARE(rig.form.GroupList()->model()->rowCount(), int(groups.UnsubList.size()));
    QVERIFY2(rig.unexpected.isEmpty(), qPrintable(rig.unexpected.join(u'|')));
}

void TestProgram::downloadFillsGroupPaneAndSubscribeMovesGroups()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 5}, &error), qPrintable(error));

    TProgramRig rig(inn.Server());
    TMainForm& form = rig.form;
    TQuorvelApp& logic = rig.logic;
    const QTemporaryDir& home = rig.home;
    // A new profile shows its one default group.
    QCOMPARE(form.GroupList()->model()->rowCount(), 1);

    QString question;
    WhenModal([&question](QWidget* box) {
        question = qobject_cast<QMessageBox*>(box)->text();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    form.Command(QStringLiteral("GroupsDownloadItem"))->trigger();
    QCOMPARE(question,
             QStringLiteral("This will completely overwrite your newsrc file. Continue?"));

    // Auto Start is on: the task runs at the next idle moment and ends by itself.
    TNewsrcStore& groups = logic.Newsrc();
    QVERIFY(RunLoopUntil([&] { return groups.UnsubList.size() >= 5 && logic.TaskList().IsEmpty(); },
                         1500));
    // The session log tells how many groups came.
    const QStringList received =
        logic.SessionLog().Lines().filter(QStringLiteral("   Groups received: "));
    QCOMPARE(received.size(), 1);
    QVERIFY2(received.first().endsWith(QStringLiteral(": %1").arg(groups.UnsubList.size())),
             qPrintable(received.first()));

    // The full list arrives unsubscribed; the shortcut menu shows it in the pane.
    form.Command(QStringLiteral("Unsubscribed1"))->trigger();
    QAbstractItemModel* rows = form.GroupList()->model();
    QCOMPARE(rows->rowCount(), int(groups.UnsubList.size()));
    QStringList names;
    for (int r = 0; r < rows->rowCount(); ++r)
        names << rows->index(r, 0).data().toString();
    QCOMPARE(names.filter(QStringLiteral("quorvel.bulk.")).size(), 5);

    // Pick two groups and subscribe them through the Groups menu.
    form.GroupPaneSelectRows({0, 1}, true);
    const QStringList chosen = {names.at(0), names.at(1)};
    form.findChild<QMenu*>(QStringLiteral("GroupsMenu"))->aboutToShow();
    QAction* subscribe = form.Command(QStringLiteral("GroupsSubscribeItem"));
    QVERIFY(subscribe->isEnabled());
    QCOMPARE(subscribe->text(), QStringLiteral("&Subscribe"));
    subscribe->trigger();
    form.Command(QStringLiteral("Subscribed1"))->trigger();
    QStringList subscribed;
    for (int r = 0; r < rows->rowCount(); ++r)
        subscribed << rows->index(r, 0).data().toString();
    QCOMPARE(subscribed, chosen);

    // Upload a file to the first of them: pick the file, the group, a subject, press Post.
    const QString folder = home.filePath(QStringLiteral("Uploads"));
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/Hello.txt");
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("Hello from the window.\r\n");
    }
    form.SetFolderPath(folder);
    QVERIFY(RunLoopUntil([&form] { return form.FileList()->ItemCount() == 1; }));
    form.FileList()->SelectFiles({file});
    form.GroupPaneSelectRows({0}, true);
    form.SetSubjectText(QStringLiteral("Window test"));
    form.SetFromText(QStringLiteral("tester@quorvel.test (Window Tester)"));
    QAction* post = form.Command(QStringLiteral("PostButton"));
    QVERIFY(RunLoopUntil([post] { return post->isEnabled(); }));
    // No retry: INN takes the post at the first try, also with several copies of this test
    // at once on a loaded machine, its syslog showing no reader dropped. A failure shows as
    // the window's error box, whose text the rig reports; QUORVEL_INN_SYSLOG=FOLDER keeps
    // INN's own account of it.
    post->trigger();
    QVERIFY(RunLoopUntil([&] { return logic.TaskList().IsEmpty(); }, 1500));
    QCOMPARE(rows->index(0, 1).data().toString(), QStringLiteral("1"));
    TNntpReader reader;
    QVERIFY2(reader.Connect(inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup(chosen.at(0).toLatin1(), articles, &error), qPrintable(error));
    QCOMPARE(articles.size(), 1);
    QVERIFY(articles.at(0).Header("Subject").contains("Window test"));
    QVERIFY(articles.at(0).Header("From").contains("tester@quorvel.test"));

    // Another profile has groups of its own; coming back shows the first profile's again.
    bool setupShown = false;
    WhenModal([&setupShown](QWidget* box) {
        auto* dialog = qobject_cast<QInputDialog*>(box);
        QVERIFY(dialog);
        dialog->setTextValue(QStringLiteral("Second"));
        dialog->accept();
        // A new profile opens the setup dialog next.
        WhenModal([&setupShown](QWidget* setup) {
            setupShown = setup->windowTitle() == QStringLiteral("Quorvel Setup");
            for (auto* button : setup->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("Cancel"))
                    button->click();
        });
    });
    form.Command(QStringLiteral("NewProfileItem"))->trigger();
    QVERIFY(setupShown);
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel v2: Second Profile"));
    QCOMPARE(rows->rowCount(), 1); // the new profile's default group
    QVERIFY(QFileInfo::exists(home.filePath(QStringLiteral("newsrc.Second"))));
    logic.ProfilesComboBoxChange(QStringLiteral("Default"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel v2: Default Profile"));
    QCOMPARE(rows->rowCount(), int(groups.ShownList().size()));
    QCOMPARE(rig.unexpected, QStringList());
}

// OK in Setup writes the settings file at once, not only when the program ends.
void TestProgram::setupSavedWhenConfirmed()
{
    TProgramRig rig;
    WhenModal([](QWidget* setup) {
        auto* name = setup->findChild<QLineEdit*>(QStringLiteral("FullName"));
        QVERIFY(name);
        name->setText(QStringLiteral("Saved At Once"));
        for (auto* button : setup->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("OK"))
                button->click();
    });
    rig.form.OpenSetup();
    QSettings ini(rig.home.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Default/FullName")).toString(),
             QStringLiteral("Saved At Once"));
}

void TestProgram::batchAndNzbFileInTheStatusBar()
{
    TProgramRig rig;
    auto* panel = rig.form.findChild<QLabel*>(QStringLiteral("NzbPanel"));
    QVERIFY(panel);
    QVERIFY(!panel->isVisible());
    emit rig.logic.UploadPoster().Account().NzbWritten(QStringLiteral("/data/nzb/Pics.nzb"));
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->text(), QStringLiteral("NZB: /data/nzb/Pics.nzb"));

    // The batch's progress as the upload poster announces it, beside the NZB file.
    auto* batch = rig.form.findChild<QLabel*>(QStringLiteral("BatchPanel"));
    QVERIFY(batch);
    TBatchProgressState state;
    state.Done = 3000000;
    state.Total = 12000000;
    state.Percent = 25;
    state.BytesPerSecond = 1500000;
    state.SecondsLeft = 6;
    emit rig.logic.UploadPoster().BatchProgressChanged(state);
    QVERIFY(batch->isVisible());
    QCOMPARE(batch->text(), QStringLiteral("Batch: 25% 3.0 MB of 12.0 MB, 1.5 MB/s, 0:06 left"));
}

void TestProgram::groupShortcutsWorkBeforeMenuOpens()
{
    TProgramRig rig;
    TMainForm& form = rig.form;
    TQuorvelApp& logic = rig.logic;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TNewsrcStore& groups = logic.Newsrc();
    QCOMPARE(groups.SubList.size(), size_t(1));
    QAction* subscribe = form.Command(QStringLiteral("GroupsSubscribeItem"));
    QVERIFY(!subscribe->isEnabled());

    // Choosing a group readies Ctrl+S at once; the menu is never opened.
    form.GroupPaneSelectRows({0}, true);
    QVERIFY(subscribe->isEnabled());
    QCOMPARE(subscribe->text(), QStringLiteral("&Unsubscribe"));
    form.GroupList()->setFocus();
    QTest::keyClick(form.GroupList(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(groups.SubList.size(), size_t(0));
    QCOMPARE(groups.UnsubList.size(), size_t(1));
    // Nothing is chosen in the emptied pane, so the shortcut rests again.
    QVERIFY(!subscribe->isEnabled());
}

namespace {

const QString QueueGroup = QStringLiteral("quorvel.bulk.0000001");

// Files of size bytes each in folder/Uploads, and a request posting them to QueueGroup.
TPostRequest QueueRequest(const ProfileSettings& s, const QString& folder, const QStringList& names,
                          int size, const QString& subject)
{
    QDir().mkpath(folder);
    for (const QString& name : names) {
        QFile out(folder + u'/' + name);
        if (out.open(QIODevice::WriteOnly))
            for (int i = 0; i < size; ++i)
                out.putChar(char((i * 7 + name.size()) % 251));
    }
    TPostRequest request = TPostRequest::FromSettings(s);
    request.Folder = folder;
    request.Files = names;
    request.Groups = {QueueGroup};
    request.From = QStringLiteral("tester@quorvel.test (Queue Tester)");
    request.Subject = subject;
    return request;
}

// The subjects of the articles in QueueGroup that contain marker; empty on a read error.
QStringList PostedSubjects(quint16 port, const QByteArray& marker, QString* error)
{
    TNntpReader reader;
    QList<TNntpReader::TArticle> articles;
    if (!reader.Connect(port, error) || !reader.ReadGroup(QueueGroup.toLatin1(), articles, error))
        return {};
    QStringList subjects;
    for (const TNntpReader::TArticle& article : std::as_const(articles))
        if (article.Header("Subject").contains(marker))
            subjects << QString::fromLatin1(article.Header("Subject"));
    return subjects;
}

QPushButton* PanelButton(TMainForm& form, const char* name)
{
    return form.QueuePanel()->findChild<QPushButton*>(QLatin1String(name));
}

} // namespace

// The queue panel lists the batch, reorders what has not begun, shows what is being posted
// beside the status field, and after a failure offers the kept tasks, which go to the server
// Setup names now.
void TestProgram::queuePanelRunsBatchAndRetriesWithCurrentServer()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 1}, &error), qPrintable(error));
    QTcpServer probe; // a port nobody listens on once it is closed
    QVERIFY(probe.listen(QHostAddress::LocalHost));
    const QString deadServer = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();

    TProgramRig rig(deadServer);
    TMainForm& form = rig.form;
    TQuorvelApp& logic = rig.logic;
    ProfileSettings& s = logic.State().Settings;
    s.MaxLines = 60;
    s.AutoStart = false; // held, to be reordered first
    QAction* start = form.Command(QStringLiteral("TasksStartItem"));
    QVERIFY(RunLoopUntil([&] { return logic.TaskList().RunnerBusy(); }));
    const QString folder = rig.dir + QStringLiteral("/Uploads");
    QVERIFY(logic.UploadTasks().Post(
        QueueRequest(s, folder, {QStringLiteral("a.bin"), QStringLiteral("b.bin")}, 20000,
                     QStringLiteral("Queue test"))));
    TQueueModel* rows = form.QueuePanel()->Model();
    QCOMPARE(rows->rowCount(), 3); // the two files and the Disconnect after them
    QCOMPARE(rows->index(0, TQueueModel::StateColumn).data().toString(), QStringLiteral("waiting"));
    form.QueuePanel()->View()->selectionModel()->select(
        rows->index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    PanelButton(form, "QueueDownButton")->click();
    QVERIFY(UploadFields(logic.TaskList().At(0)).Path.endsWith(QStringLiteral("b.bin")));
    QVERIFY(rows->index(0, 0).data().toString().startsWith(QStringLiteral("b.bin")));

    // Nobody answers at that server: the batch stops, its tasks are kept and offered.
    QString failure;
    QStringList ways;
    WhenModal([&failure, &ways](QWidget* box) {
        failure = qobject_cast<QMessageBox*>(box)->text();
        for (QAbstractButton* button : qobject_cast<QMessageBox*>(box)->buttons())
            ways << button->text();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    QVERIFY(RunLoopUntil([start] { return start->isEnabled(); }));
    QCOMPARE(rows->rowCount(), 3); // held, not begun
    start->trigger();
    QVERIFY(RunLoopUntil([&] { return rows->ShowsKept(); }, 1500));
    QVERIFY2(failure.contains(QStringLiteral("127.0.0.1")), qPrintable(failure));
    ways.sort();
    QCOMPARE(ways, (QStringList{QStringLiteral("OK"), QStringLiteral("Open Setup"),
                                QStringLiteral("Retry")}));
    QCOMPARE(rows->rowCount(), 3);
    QVERIFY(PanelButton(form, "QueueRetryButton")->isEnabled());

    // Setup now names the right server; Retry takes it, and the batch goes through.
    s.Host = inn.Server();
    s.AutoStart = true;
    QStringList seen;
    PanelButton(form, "QueueRetryButton")->click();
    QVERIFY2(RunLoopUntil(
                 [&] {
                     seen << form.NowText();
                     return logic.TaskList().IsEmpty() && !rows->ShowsKept() &&
                            form.NowText() == QStringLiteral("Nothing queued");
                 },
                 3000),
             qPrintable(rig.unexpected.join(u'|') + u'|' + form.NowText() + u'|' + rows->State(0)));
    QCOMPARE(rig.unexpected, QStringList());
    QVERIFY2(!seen.filter(QStringLiteral("Posting b.bin, part ")).isEmpty(),
             qPrintable(seen.join(u'|')));
    QCOMPARE(form.QueuePanel()->BatchBar()->format(), QStringLiteral("Last batch: done"));
    const QStringList subjects = PostedSubjects(inn.Port(), "Queue test", &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(subjects.size() > 2);
    QCOMPARE(QSet<QString>(subjects.begin(), subjects.end()).size(), subjects.size());
}

// While Abort's question is open nothing is sent; closing mid-post with "Pause and quit"
// keeps the queue, the next start offers it, and Resume posts the rest, nothing twice.
void TestProgram::abortPausesAndCloseKeepsQueueForNextStart()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 1}, &error), qPrintable(error));
    QTemporaryDir data;
    int parts = 0;
    {
        TProgramRig rig(inn.Server(), data.path());
        TQuorvelApp& logic = rig.logic;
        ProfileSettings& s = logic.State().Settings;
        s.MaxLines = 100;
        s.SpeedLimit = 40; // KB/s: slow enough to stop half-way
        QVERIFY(logic.UploadTasks().Post(QueueRequest(s, rig.dir + QStringLiteral("/Uploads"),
                                                      {QStringLiteral("big.bin")}, 120000,
                                                      QStringLiteral("Resume test"))));
        QVERIFY(RunLoopUntil(
            [&] { return rig.form.NowText().contains(QStringLiteral("part 3 of")); }, 1500));
        parts = rig.form.NowText().section(QStringLiteral(" of "), 1).section(u' ', 0, 0).toInt();

        TSendBudget& budget = logic.Runner().SendBudget();
        bool pausedWhileAsked = false;
        int progressAtStart = -1;
        int progressAtEnd = -2;
        WhenModal([&](QWidget* box) {
            const qint64 refused = budget.Refusals();
            RunLoopUntil([&] { return budget.Refusals() > refused; });
            progressAtStart =
                rig.form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->value();
            RunLoopUntil([&] { return budget.Refusals() > refused + 5; });
            progressAtEnd =
                rig.form.findChild<QProgressBar*>(QStringLiteral("ProgressBar"))->value();
            pausedWhileAsked = budget.Paused();
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
        });
        rig.form.Command(QStringLiteral("AbortButton"))->trigger();
        QVERIFY(pausedWhileAsked);
        QCOMPARE(progressAtEnd, progressAtStart);
        QVERIFY(!budget.Paused());
        QVERIFY(!logic.TaskList().IsEmpty()); // No: the post goes on

        QString question;
        WhenModal([&question](QWidget* box) {
            auto* close = qobject_cast<QMessageBox*>(box);
            question = close->text();
            for (QAbstractButton* b : close->buttons())
                if (b->text() == QStringLiteral("Pause and quit"))
                    b->click();
        });
        rig.form.Command(QStringLiteral("ExitButton"))->trigger();
        QVERIFY2(question.contains(QStringLiteral("Pause and quit keeps the queue")),
                 qPrintable(question));
        QVERIFY(!rig.form.isVisible());
        QCOMPARE(rig.unexpected, QStringList());
    }
    const QStringList before = PostedSubjects(inn.Port(), "Resume test", &error);
    QVERIFY(before.size() < parts);

    TProgramRig again(inn.Server(), data.path());
    again.wiring.ShowKeptTasks();
    QCOMPARE(again.form.QueuePanel()->KeptOffer(), QStringLiteral("1 upload was not finished:"));
    again.form.QueuePanel()->findChild<QPushButton*>(QStringLiteral("KeptResumeButton"))->click();
    QVERIFY(RunLoopUntil([&] { return again.logic.TaskList().IsEmpty(); }, 3000));
    const QStringList after = PostedSubjects(inn.Port(), "Resume test", &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(after.size(), parts);
    QCOMPARE(QSet<QString>(after.begin(), after.end()).size(), parts);
}

// A folder dropped on the window (here on the Subject field, which takes no drop) is posted
// as one batch named after it, the files of its subfolders under their paths below it.
void TestProgram::droppedFolderPostsOneBatchWithItsSubfolders()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 0}, &error), qPrintable(error));
    QVERIFY2(inn.NewGroup(QStringLiteral("alt.test"), &error), qPrintable(error));
    TProgramRig rig(inn.Server());
    TMainForm& form = rig.form;
    rig.logic.State().Settings.Encoding = QStringLiteral("yenc");
    const QString folder = rig.dir + QStringLiteral("/Holiday");
    const QStringList names = {QStringLiteral("a.bin"), QStringLiteral("day two/b.bin")};
    for (const QString& name : names)
        QVERIFY(TestFiles::Write(folder + u'/' + name, TestFiles::Random(3000, name.size())));
    form.SetFromText(QStringLiteral("tester@quorvel.test (Drop Tester)"));
    form.GroupPaneSelectRows({0}, true); // alt.test, the new profile's group

    auto* subject = form.findChild<QLineEdit*>(QStringLiteral("Subject"));
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(folder)});
    const QPointF at(5, 5);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(subject, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(subject, &drop);
    QVERIFY(drop.isAccepted());
    QVERIFY(RunLoopUntil([&] { return !rig.logic.TaskList().IsEmpty(); }));
    QVERIFY(RunLoopUntil([&] { return rig.logic.TaskList().IsEmpty(); }, 1500));
    QCOMPARE(subject->text(), QString());
    QVERIFY2(rig.unexpected.isEmpty(), qPrintable(rig.unexpected.join(u'|')));

    TNntpReader reader;
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.Connect(inn.Port(), &error), qPrintable(error));
    QVERIFY2(reader.ReadGroup("alt.test", articles, &error), qPrintable(error));
    QStringList subjects;
    for (const TNntpReader::TArticle& article : std::as_const(articles))
        subjects << QString::fromLatin1(article.Header("Subject"));
    subjects.sort();
    QCOMPARE(subjects.size(), 2);
    QVERIFY2(subjects.at(0).startsWith(QStringLiteral("Holiday - a.bin (1/1)")),
             qPrintable(subjects.join(u'|')));
    QVERIFY2(subjects.at(1).startsWith(QStringLiteral("Holiday - day two/b.bin (1/1)")),
             qPrintable(subjects.join(u'|')));
    QFile nzb(rig.dir + QStringLiteral("/nzb/Holiday.nzb"));
    QVERIFY2(nzb.open(QIODevice::ReadOnly), qPrintable(nzb.fileName()));
    QVERIFY(nzb.readAll().contains("day two/b.bin"));

    // NZBGet 21 puts every file of the NZB into one folder: the subfolder's file arrives whole
    // beside the others, its path kept in the NZB's subjects only.
    if (QStandardPaths::findExecutable(QStringLiteral("nzbget")).isEmpty())
        QSKIP("nzbget is not installed");
    const QString get = rig.dir + QStringLiteral("/nzbget");
    QVERIFY(TestFiles::Write(get + QStringLiteral("/nzbget.conf"),
                             PostedArticles::NzbgetConf(get, inn.Port())));
    QString output;
    PostedArticles::RunTool(QStringLiteral("timeout"),
                            {QStringLiteral("60"), QStringLiteral("nzbget"), QStringLiteral("-c"),
                             get + QStringLiteral("/nzbget.conf"), nzb.fileName()},
                            &output);
    for (const QString& name : names)
        QVERIFY2(
            TestFiles::Read(get + QStringLiteral("/dst/Holiday/") + QFileInfo(name).fileName()) ==
                TestFiles::Read(folder + u'/' + name),
            qPrintable(output.right(2000)));
}

// The history view: a batch whose articles the server lost since is found incomplete by
// Check again, Repair posts exactly those again, and the next check finds it whole.
void TestProgram::historyChecksAgainAndRepairsLostArticles()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 1}, &error), qPrintable(error));
    TProgramRig rig(inn.Server());
    TQuorvelApp& logic = rig.logic;
    ProfileSettings& s = logic.State().Settings;
    s.Encoding = QStringLiteral("yenc");
    s.MaxLines = 10; // parts of 1280 bytes
    s.CheckAfterPost = false;
    QVERIFY(logic.UploadTasks().Post(QueueRequest(s, rig.dir + QStringLiteral("/Uploads"),
                                                  {QStringLiteral("lost.bin")}, 12 * 1280,
                                                  QStringLiteral("History test"))));
    QVERIFY(RunLoopUntil([&] { return logic.TaskList().IsEmpty(); }, 1500));

    rig.form.Command(QStringLiteral("ViewHistoryItem"))->trigger();
    THistoryDialog* history = rig.form.HistoryDialog();
    QVERIFY(history->isVisible());
    THistoryModel* rows = history->Model();
    QCOMPARE(rows->rowCount(), 1);
    QCOMPARE(rows->Entry(0).Articles, 12);
    const auto journal = TUploadJournal::Read(rows->Entry(0).Journal, &error);
    QVERIFY2(journal, qPrintable(error));
    const QList<TJournalArticle> posted = journal->Articles();
    for (int part : {0, 5, 11})
        QVERIFY2(inn.CancelArticle(posted.at(part).MessageId, &error), qPrintable(error));

    THistoryControl& control = rig.wiring.HistoryControl();
    auto press = [&](const char* name) {
        history->findChild<QPushButton*>(QLatin1String(name))->click();
        return RunLoopUntil([&] { return !control.Busy(); }, 3000);
    };
    struct TStep
    {
        const char* Button;
        QString Result;
        THistoryEntry::TState State;
        int Missing;
    };
    const TStep steps[] = {
        {"HistoryCheckButton", "9 found, 3 missing", THistoryEntry::TState::Incomplete, 3},
        {"HistoryRepairButton", "3 missing, 3 posted again", THistoryEntry::TState::Complete, 0},
        {"HistoryCheckButton", "12 found, 0 missing", THistoryEntry::TState::Complete, 0},
    };
    for (const TStep& step : steps) {
        QVERIFY2(press(step.Button), step.Button);
        QCOMPARE(rows->Result(0), step.Result);
        QCOMPARE(rows->Entry(0).State, step.State);
        QCOMPARE(rows->Entry(0).Missing, step.Missing);
    }
    QCOMPARE(rig.unexpected, QStringList());
    QString nzbText = QString::fromUtf8(TestFiles::Read(rows->Entry(0).Nzb));
    for (int part : {0, 5, 11})
        QVERIFY(!nzbText.contains(posted.at(part).MessageId.mid(1).chopped(1)));
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
