#include "RunnerFixture.h"
#include "article/NewsArticle.h"

#include <QSignalSpy>
#include <QTest>

Q_DECLARE_METATYPE(TClientStatus)

class TestTaskRunner : public QObject
{
    Q_OBJECT
private slots:
    void autoStartRunsBatchCountingDown();
    void autoStartOffWaitsForStart();
    void autoStartCheckedWhileHeld();
    void disconnectTaskWithoutConnection();
    void disconnectButtonQueues_data();
    void disconnectButtonQueues();
    void taskWithoutActionIsDropped_data();
    void taskWithoutActionIsDropped();
    void statusTexts_data();
    void statusTexts();
    void abort_data();
    void abort();
    void failedSaveKeepsTasks();
    void clearMenu_data();
    void clearMenu();
    void viewMenu();
    void reloadMenu();
    void reloadAddsOnlyWhatIsNotQueued();
    void endedTasksAreRecordedBesideTheFile();
    void readOnlyQueueRunsNothing();
    void taskRunsUnderItsOwnProfile_data();
    void taskRunsUnderItsOwnProfile();
    void speedLimitShared();
};

void TestTaskRunner::autoStartRunsBatchCountingDown()
{
    RunnerFixture f;
    f.state.Settings.AutoStart = true;
    QList<int> countsAtStart;
    f.runner.SetHandler(tkUpload, [&](TTask& task) {
        f.started << task.Text1;
        countsAtStart << f.list.Count();
        QTimer::singleShot(0, &f.client, [&] {
            const qsizetype before = f.started.size();
            f.runner.DoNextTask();
            // The next task never starts inside the end of the one before.
            QCOMPARE(f.started.size(), before);
            QVERIFY(!f.list.RunnerBusy());
        });
    });
    f.runIdleFromEventLoop();
    for (const char* name : {"a", "b", "c"})
        f.list.Add(makeUpload(name));
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && f.panelCounts.last() == 0; }));
    QCOMPARE(f.started, (QStringList{"a", "b", "c"}));
    QCOMPARE(countsAtStart, (QList<int>{3, 2, 1}));
    QCOMPARE(f.panelCounts, (QList<int>{3, 2, 1, 0}));
    QVERIFY(f.view.TaskNodes.isEmpty());
    QVERIFY(!f.list.RunnerBusy()); // empty with Auto Start on: ready for the next batch
}

void TestTaskRunner::autoStartOffWaitsForStart()
{
    RunnerFixture f;
    f.state.Settings.AutoStart = false;
    f.handleUploadsEndingLater();
    f.idle(); // empty: the queue is held
    QVERIFY(f.list.RunnerBusy());
    f.list.Add(makeUpload("a"));
    f.list.Add(makeUpload("b"));
    for (int i = 0; i < 3; ++i) {
        f.idle();
        QCoreApplication::processEvents();
    }
    QVERIFY(f.started.isEmpty());
    QCOMPARE(f.runner.IdleState().TaskCount, 2);

    f.runner.TasksStartClick();
    f.runIdleFromEventLoop();
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && f.list.RunnerBusy(); }));
    QCOMPARE(f.started, (QStringList{"a", "b"})); // and held again for the next batch
}

void TestTaskRunner::autoStartCheckedWhileHeld()
{
    RunnerFixture f;
    f.state.Settings.AutoStart = false;
    f.handleUploadsWaiting();
    f.idle();
    f.list.Add(makeUpload("a"));
    f.runner.TasksAutoStartClick();
    QVERIFY(f.runner.AutoStart());
    QVERIFY(f.state.Settings.AutoStart); // the check mark is what the profile saves
    f.idle();
    f.idle();
    QVERIFY(f.started.isEmpty());
    const TIdleState idle = f.runner.IdleState();
    QCOMPARE(idle.TaskCount, 1);
    QVERIFY(idle.AutoStart);

    f.runner.TasksAutoStartClick();
    QVERIFY(!f.runner.IdleState().AutoStart);
    f.runner.TasksStartClick();
    f.idle();
    QCOMPARE(f.started, QStringList{"a"});
}

void TestTaskRunner::disconnectTaskWithoutConnection()
{
    RunnerFixture f;
    f.handleUploadsWaiting();
    f.list.Add(makeTask(tkDisconnect, "news"));
    f.list.Add(makeUpload("a"));
    f.idle();
    QCOMPARE(f.list.Count(), 1);
    QCOMPARE(f.view.TaskNodes.size(), 1);
    QVERIFY(f.started.isEmpty()); // the next task waits for the next idle moment
    QVERIFY(!f.list.RunnerBusy());
    QVERIFY(f.view.StatusTexts.isEmpty());
    f.idle();
    QCOMPARE(f.started, QStringList{"a"});
}

void TestTaskRunner::disconnectButtonQueues_data()
{
    QTest::addColumn<bool>("openBefore");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<int>("hangups");
    QTest::newRow("no dial-up") << false << false << 0;
    QTest::newRow("dial before only") << true << false << 0;
    QTest::newRow("hang up after only") << false << true << 0;
    QTest::newRow("both") << true << true << 1;
}

void TestTaskRunner::disconnectButtonQueues()
{
    QFETCH(bool, openBefore);
    QFETCH(bool, closeAfter);
    RunnerFixture f;
    f.state.Settings.Host = QStringLiteral("news.example.org");
    f.state.Settings.RASOpenBefore = openBefore;
    f.state.Settings.RASCloseConnectionAfter = closeAfter;
    f.runner.DisconnectButtonClick();
    QCOMPARE(f.list.Count(), 1);
    QCOMPARE(f.list.At(0).Kind, tkDisconnect);
    QCOMPARE(f.list.At(0).Text1, QStringLiteral("news.example.org"));
    QCOMPARE(f.view.TaskNodes[0].Caption, QStringLiteral("Disconnect"));
    QTEST(f.hangupsQueued, "hangups");
}

void TestTaskRunner::taskWithoutActionIsDropped_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("unknown kind") << 9;
    QTest::newRow("kind nobody runs") << int(tkNewGroups);
}

void TestTaskRunner::taskWithoutActionIsDropped()
{
    QFETCH(int, kind);
    RunnerFixture f;
    f.handleUploadsWaiting();
    f.list.Add(makeTask(TTaskKind(kind), "odd"));
    f.list.Add(makeUpload("a"));
    f.idle();
    QCOMPARE(f.list.Count(), 1);
    QVERIFY(f.logged(
        QStringLiteral("Error: No action for a task of kind %1; the task was dropped").arg(kind)));
    f.idle();
    QCOMPARE(f.started, QStringList{"a"});
}

void TestTaskRunner::statusTexts_data()
{
    QTest::addColumn<TClientStatus>("status");
    QTest::addColumn<QString>("text"); // empty: the status line keeps its text
    QTest::newRow("looking up") << csLookingUp << "Looking up news.example.net";
    QTest::newRow("connecting") << csConnecting << "Connecting to news.example.net";
    QTest::newRow("list sent") << csListSent << "Waiting for response from host";
    QTest::newRow("receiving list") << csReceivingList << "Receiving group names";
    QTest::newRow("newgroups sent") << csNewGroupsSent << "Waiting for response from host";
    QTest::newRow("receiving new") << csReceivingNewGroups << "Receiving group names";
    QTest::newRow("logging in") << csLoggingIn << "Logging in";
    QTest::newRow("composing") << csComposing << "Composing article";
    QTest::newRow("post sent") << csPostSent << "Waiting for response from host";
    QTest::newRow("sending") << csSendingArticle << "Holiday pictures (1/3)";
    QTest::newRow("article sent") << csArticleSent << "Waiting for response from host";
    QTest::newRow("idle") << csIdle << "";
    QTest::newRow("user sent") << csUserSent << "";
    QTest::newRow("pass sent") << csPassSent << "";
    QTest::newRow("closing") << csClosing << "";
}

void TestTaskRunner::statusTexts()
{
    QFETCH(TClientStatus, status);
    QFETCH(QString, text);
    RunnerFixture f;
    TNewsArticle article;
    article.Subject = QStringLiteral("Holiday pictures (1/3)");
    f.client.SetArticle(&article);
    f.client.SetServer(QStringLiteral("news.example.net"));
    f.runner.LastClientStatus = DialingMarker;
    f.view.SetStatusText(QStringLiteral("before"));
    emit f.client.OnNewStatus(status);
    QCOMPARE(f.view.StatusTexts.last(), text.isEmpty() ? QStringLiteral("before") : text);
    QCOMPARE(f.runner.LastClientStatus, quint8(status));
}

void TestTaskRunner::abort_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("no") << false;
    QTest::newRow("yes") << true;
}

void TestTaskRunner::abort()
{
    QFETCH(bool, yes);
    RunnerFixture f;
    f.handleUploadsWaiting();
    f.list.Add(makeUpload("a"));
    f.list.Add(makeUpload("b"));
    f.list.Add(makeTask(tkDisconnect, "news"));
    f.list.DialUpQueued = true;
    f.idle();
    QCOMPARE(f.started, QStringList{"a"}); // "a" is running
    f.view.SetActionEnabled(TViewAction::Abort, true);
    f.view.StatusTexts.clear();
    QSignalSpy canceled(&f.client, &TbcsNNTP::OnCanceled);

    f.view.YesNoAnswers.enqueue(yes);
    f.runner.AbortButtonClick();
    QCOMPARE(f.view.Questions, QStringList{"Are you sure that you want to cancel all tasks?"});
    if (!yes) {
        QCOMPARE(f.list.Count(), 3);
        QVERIFY(f.list.DialUpQueued);
        QVERIFY(!f.file.Exists());
        QVERIFY(f.view.StatusTexts.isEmpty());
        QCOMPARE(canceled.count(), 0);
        QCOMPARE(f.dialAborts, 0);
        return;
    }
    QVERIFY(f.list.IsEmpty());
    QVERIFY(f.view.TaskNodes.isEmpty());
    QCOMPARE(f.savedTasks(), (QStringList{"Upload a", "Upload b", "Disconnect news"}));
    QVERIFY(!f.list.DialUpQueued);
    QCOMPARE(f.dialAborts, 1);
    QCOMPARE(canceled.count(), 1);
    QCOMPARE(f.view.StatusTexts, QStringList{"Canceled"});
    QCOMPARE(f.view.Actions.value(TViewAction::Abort), false);
    QCOMPARE(f.view.Actions.value(TViewAction::Disconnect), false);
    // The canceled operation's end finds nothing to remove.
    f.runner.DoNextTask();
    QVERIFY(f.list.IsEmpty());
}

void TestTaskRunner::failedSaveKeepsTasks()
{
    RunnerFixture f;
    f.handleUploadsWaiting();
    const QString programDir = f.state.ProgramDir;
    f.state.ProgramDir = f.dir.filePath("gone") + "/"; // nowhere to write
    f.list.Add(makeUpload("a"));
    f.list.Add(makeUpload("b"));
    f.idle();
    QCOMPARE(f.started, QStringList{"a"});

    emit f.client.OnError(QStringLiteral("Timeout while sending article"));
    QCOMPARE(f.view.Warnings.size(), 2);
    QVERIFY(f.view.Warnings[0].startsWith("The tasks could not be saved to " + f.file.FileName()));
    QCOMPARE(f.view.Warnings[1], QStringLiteral("Timeout while sending article"));
    QCOMPARE(f.list.Count(), 2); // the failed upload too: nothing was lost
    f.runner.DoNextTask();       // a late end of the failed operation takes nothing away
    QCOMPARE(f.list.Count(), 2);
    f.idle();
    f.idle();
    QCOMPARE(f.started, QStringList{"a"}); // held, not restarted behind the user's back

    f.state.ProgramDir = programDir;
    f.view.YesNoAnswers.enqueue(true);
    f.menu.TasksClearClick();
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.savedTasks(), (QStringList{"Upload a", "Upload b"}));
}

void TestTaskRunner::clearMenu_data()
{
    QTest::addColumn<bool>("withTasks");
    QTest::addColumn<bool>("save");
    QTest::addColumn<QStringList>("saved"); // the file afterwards; empty: the old one stays
    QTest::newRow("empty list, save") << false << true << QStringList{};
    QTest::newRow("empty list, no save") << false << false << QStringList{};
    // The task saved before stays: saving adds to the file.
    QTest::newRow("tasks, save") << true << true
                                 << QStringList{"Disconnect old", "Upload a", "Disconnect news"};
    QTest::newRow("tasks, no save") << true << false << QStringList{};
}

void TestTaskRunner::clearMenu()
{
    QFETCH(bool, withTasks);
    QFETCH(bool, save);
    QFETCH(QStringList, saved);
    RunnerFixture f;
    const QByteArray old = "Default\r\n4,old,,,,,,,,,,0,0,0,n,n\r\n";
    f.writeFile(old);
    if (withTasks) {
        f.list.Add(makeUpload("a"));
        f.list.Add(makeTask(tkDisconnect, "news"));
    }
    f.menu.TaskMenuClick();
    QCOMPARE(f.view.Actions.value(TViewAction::TasksClear), withTasks);

    f.list.SetRunnerBusy(true);
    f.view.YesNoAnswers.enqueue(save);
    f.menu.TasksClearClick();
    QCOMPARE(f.view.Questions, QStringList{"Would you like to save your tasks?"});
    QVERIFY(f.list.IsEmpty());
    QVERIFY(!f.list.RunnerBusy());
    if (saved.isEmpty())
        QCOMPARE(f.fileBytes(), old);
    else
        QCOMPARE(f.savedTasks(), saved);
    f.menu.TaskMenuClick();
    QCOMPARE(f.view.Actions.value(TViewAction::TasksClear), false);
}

void TestTaskRunner::viewMenu()
{
    RunnerFixture f;
    f.menu.TasksViewClick(f.view);
    QCOMPARE(f.view.Warnings, QStringList{"The task list is empty."});
    QCOMPARE(f.view.TaskWindowShown, 0);
    f.list.Add(makeUpload("a"));
    f.menu.TasksViewClick(f.view);
    QCOMPARE(f.view.TaskWindowShown, 1);
    QCOMPARE(f.view.Warnings.size(), 1);
}

void TestTaskRunner::reloadMenu()
{
    RunnerFixture f;
    f.list.Add(makeUpload("a"));
    f.runner.ClearTaskList(true);
    QVERIFY(f.runner.IdleState().TaskFileExists); // "Reload" is offered
    f.menu.TasksReloadClick();
    QCOMPARE(f.list.Count(), 1);
    QCOMPARE(f.list.At(0).Text1, QStringLiteral("a"));
    QVERIFY(!f.runner.IdleState().TaskFileExists); // and no longer
}

void TestTaskRunner::reloadAddsOnlyWhatIsNotQueued()
{
    // The file follows the running queue (as in the window): it holds a task saved earlier
    // and the list's own; Reload adds the saved one, once.
    RunnerFixture f;
    f.file.KeepQueue(true);
    f.handleUploadsWaiting();
    f.writeFile("Default\r\n" + TaskLine::Write(makeUpload("saved")).toUtf8() + "\r\n");
    f.list.Add(makeUpload("running"));
    f.idle();
    QCOMPARE(f.started, QStringList{"running"});
    QVERIFY(f.runner.IdleState().TaskFileExists);
    for (int reloads = 0; reloads < 2; ++reloads)
        f.menu.TasksReloadClick();
    QCOMPARE(f.list.Count(), 2);
    QCOMPARE(f.list.At(1).Text1, QStringLiteral("saved"));
    QVERIFY(!f.runner.IdleState().TaskFileExists); // nothing left that is not queued
    QCOMPARE(f.savedTasks(), (QStringList{"Upload running", "Upload saved"}));
}

void TestTaskRunner::readOnlyQueueRunsNothing()
{
    // Another program owns the data folder's queue: nothing starts, nothing is written.
    RunnerFixture f;
    f.handleUploadsWaiting();
    f.writeFile("Default\r\n");
    f.file.SetReadOnly(QStringLiteral("held by process 4242"));
    f.list.Add(makeUpload("a"));
    f.idle();
    QVERIFY(f.started.isEmpty());
    QVERIFY(f.list.IsEmpty());
    QVERIFY2(f.view.Warnings.value(0).contains("held by process 4242"),
             qPrintable(f.view.Warnings.join('|')));
    QVERIFY(!f.runner.IdleState().TaskFileExists); // no Reload either
    QCOMPARE(f.fileBytes(), QByteArray("Default\r\n"));
}

void TestTaskRunner::endedTasksAreRecordedBesideTheFile()
{
    // A task's end costs the same however many are queued: the running queue's file is not
    // written whole again, the end is recorded beside it, and a later reader sees both.
    RunnerFixture f;
    f.file.KeepQueue(true);
    f.handleUploadsWaiting();
    for (const char* name : {"a", "b", "c"})
        f.list.Add(makeUpload(name));
    f.idle();
    const QByteArray whole = f.fileBytes();
    f.runner.DoNextTask();
    f.idle();
    QCOMPARE(f.started, (QStringList{"a", "b"}));
    QCOMPARE(f.fileBytes(), whole);
    TTaskFile later{f.state, f.list, f.logger, f.view, f.owner}; // after a kill
    QString error;
    auto names = [&] {
        QStringList out;
        for (const TTask& task : later.Peek(&error).value_or(QList<TTask>{}))
            out << task.Text1;
        return out;
    };
    QCOMPARE(names(), (QStringList{"b", "c"}));
    QCOMPARE(later.SavedTaskCount(), 2);
    // The record belongs to those very bytes: beside a file written since, it means nothing.
    QByteArray since = whole;
    since[0] = 'd'; // "default": the same profile, other bytes
    f.writeFile(since);
    QCOMPARE(names(), (QStringList{"a", "b", "c"}));
}

void TestTaskRunner::taskRunsUnderItsOwnProfile_data()
{
    QTest::addColumn<QString>("refusal"); // the profile switch's answer
    QTest::newRow("stored profile") << QString();
    QTest::newRow("profile deleted") << QStringLiteral("there is no such profile any more");
}

void TestTaskRunner::taskRunsUnderItsOwnProfile()
{
    QFETCH(QString, refusal);
    RunnerFixture f;
    QString securityAtStart;
    f.runner.SetHandler(tkUpload, [&](TTask& task) {
        f.started << task.Text1;
        securityAtStart = f.state.Settings.Security;
    });
    f.runner.SetProfileSwitch([&](const QString& name) {
        if (refusal.isEmpty()) {
            f.state.SetProfile(name);
            f.state.Settings.Security = QStringLiteral("tls");
        }
        return refusal;
    });
    TTask task = makeUpload("a");
    task.Profile = QStringLiteral("Work");
    f.list.Add(task);
    f.idle();
    if (refusal.isEmpty()) {
        QCOMPARE(f.started, QStringList{"a"});
        QCOMPARE(f.state.ProfileName, QStringLiteral("Work"));
        QCOMPARE(securityAtStart, QStringLiteral("tls"));
        return;
    }
    // Never under the current profile's settings: kept for later, and the user told why.
    QVERIFY(f.started.isEmpty());
    QVERIFY(f.list.IsEmpty());
    QVERIFY(f.fileBytes().startsWith("Work\r\n1,a,"));
    QVERIFY2(f.view.Warnings.value(0).contains("cannot run under the profile Work, which queued "
                                               "it: " +
                                               refusal),
             qPrintable(f.view.Warnings.join('|')));
}

void TestTaskRunner::speedLimitShared()
{
    // The profile's limit (KB per second) reaches the main client at every task.
    RunnerFixture f;
    f.state.Settings.SpeedLimit = 250;
    f.runner.ConfigureClient({});
    QCOMPARE(f.client.SendBudget(), &f.runner.SendBudget());
    QCOMPARE(f.runner.SendBudget().Limit(), 250 * 1024);
    f.state.Settings.SpeedLimit = 0;
    f.runner.ConfigureClient({});
    QCOMPARE(f.runner.SendBudget().Limit(), 0);
}

QTEST_GUILESS_MAIN(TestTaskRunner)
#include "tst_taskrunner.moc"
