#include "DbusMockFixture.h"
#include "DialRig.h"

#include <QDBusObjectPath>
#include <QTest>

#include <memory>

namespace {
const QString Exceeded = QStringLiteral("Redial attempts count exceeded");
const QString Unexpected = QStringLiteral("Unexpected dialup disconnect");
const QString Waiting = QStringLiteral("Waiting to redial");

using TLogin = std::optional<TLoginAnswer>;
} // namespace

Q_DECLARE_METATYPE(TLogin)

class TestDialupTasks : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void checkRasQueuesOneDialUp_data();
    void checkRasQueuesOneDialUp();
    void dialUpLogin_data();
    void dialUpLogin();
    void loginAtDialTime();
    void dialAndHangUp_data();
    void dialAndHangUp();
    void failingDialsGiveUp_data();
    void failingDialsGiveUp();
    void connectionResetsAttempts();
    void lineLostEndsBatch_data();
    void lineLostEndsBatch();
    void networkManagerLeavesMidDial();
    void abortDuringRedialWait_data();
    void abortDuringRedialWait();
    void usedLineClosedThenDial();
    void failedHangUpIsTold();

private:
    TDbusMockFixture m_fixture;
    QString m_provider;
    std::unique_ptr<TDialRig> m_rig;
};

void TestDialupTasks::initTestCase()
{
    QVERIFY2(m_fixture.StartBus(), qPrintable(m_fixture.Error()));
}

void TestDialupTasks::init()
{
    QVERIFY2(m_fixture.ResetNetworkManager(), qPrintable(m_fixture.Error()));
    m_provider = m_fixture.AddProfile("Provider", "pppoe", "alice", "secret");
    QVERIFY(!m_provider.isEmpty());
    m_rig = std::make_unique<TDialRig>();
}

void TestDialupTasks::cleanup()
{
    m_rig.reset();
    if (QTest::currentTestFailed())
        m_fixture.StopNetworkManager();
}

void TestDialupTasks::checkRasQueuesOneDialUp_data()
{
    QTest::addColumn<bool>("openBefore");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QStringList>("tasks");

    QTest::newRow("dial before work")
        << true << "Provider"
        << QStringList{"Dial-up Provider", "Hangup Provider", "Dial-up Provider"};
    QTest::newRow("no dial before work") << false << "Provider" << QStringList{"Hangup Provider"};
    QTest::newRow("no entry chosen") << true << "" << QStringList{"Hangup "};
}

// Post pressed twice queues one dial-up task; after a hang-up task the next batch gets one.
void TestDialupTasks::checkRasQueuesOneDialUp()
{
    QFETCH(bool, openBefore);
    QFETCH(QString, entry);
    QFETCH(QStringList, tasks);
    TDialRig& rig = *m_rig;
    rig.state.Settings.RASOpenBefore = openBefore;
    rig.state.Settings.RASConnection = entry;
    rig.state.Settings.RASUseAnotherConnection = true;

    rig.dial.CheckRas();
    rig.dial.CheckRas();
    rig.dial.AddHangupTask();
    QVERIFY(!rig.list.DialUpQueued);
    rig.dial.CheckRas();

    QCOMPARE(rig.captions(), tasks);
    QCOMPARE(rig.view.TaskNodes.size(), tasks.size());
    QCOMPARE(rig.list.DialUpQueued, tasks.last().startsWith("Dial-up"));
    if (!openBefore || entry.isEmpty())
        return;
    const TTask& t = rig.list.At(0);
    QCOMPARE(t.Text2, QString("alice"));
    QCOMPARE(t.Text3, QString("secret"));
    QVERIFY(t.Flag1);
    QVERIFY(t.Flag2);
    QCOMPARE(rig.view.TaskNodes.first().Caption, QString("Dial-up"));
    QCOMPARE(rig.view.TaskNodes.first().Children, QStringList{"Provider"});
}

void TestDialupTasks::dialUpLogin_data()
{
    QTest::addColumn<bool>("savePassword");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<TLogin>("answer");
    QTest::addColumn<QStringList>("tasks");
    QTest::addColumn<QString>("userAfter");
    QTest::addColumn<QString>("passwordAfter");

    const QStringList withDial{"Dial-up Provider", "Upload a.bin", "Disconnect news.example.com",
                               "Hangup Provider"};
    QTest::newRow("password kept by the service")
        << true << "" << false << TLogin{} << withDial << "alice"
        << "";
    QTest::newRow("password known") << false << "pw" << false << TLogin{} << withDial << "alice"
                                    << "pw";
    QTest::newRow("login given") << false << "" << true << TLogin{TLoginAnswer{"bob", "hunter2"}}
                                 << withDial << "bob"
                                 << "hunter2";
    QTest::newRow("login cancelled")
        << false << "" << true << TLogin{}
        << QStringList{"Upload a.bin", "Disconnect news.example.com", "Hangup Provider"} << "alice"
        << "";
}

// Without a stored or known password, queuing asks for the dial-up login; Cancel queues the
// batch without a dial-up task.
void TestDialupTasks::dialUpLogin()
{
    QFETCH(bool, savePassword);
    QFETCH(QString, password);
    QFETCH(bool, asked);
    QFETCH(TLogin, answer);
    QFETCH(QStringList, tasks);
    QFETCH(QString, userAfter);
    QFETCH(QString, passwordAfter);
    TDialRig& rig = *m_rig;
    rig.state.Settings.SaveRasPassword = savePassword;
    rig.state.Settings.RASPassword = password;
    if (asked)
        rig.view.LoginAnswers << answer;

    rig.queueBatch({"a.bin"});

    QCOMPARE(rig.captions(), tasks);
    QCOMPARE(rig.view.Calls.contains("Login: Dial-up login|alice|"), asked);
    QCOMPARE(rig.state.Settings.RASUserName, userAfter);
    QCOMPARE(rig.state.Settings.RASPassword, passwordAfter);
    if (tasks.first().startsWith("Dial-up")) {
        QCOMPARE(rig.list.At(0).Text2, userAfter);
        QCOMPARE(rig.list.At(0).Text3, passwordAfter);
    }
}

// A dial-up task without a password asks when it runs. Cancel holds the queue with the task
// at its head; Start asks again, and the login given is what the dial stores and uses.
void TestDialupTasks::loginAtDialTime()
{
    TDialRig& rig = *m_rig;
    rig.state.Settings.RASPassword.clear();
    rig.view.LoginAnswers << TLogin{} << TLogin{TLoginAnswer{"bob", "pw2"}};
    rig.queueBatch({"a.bin"});
    QCOMPARE(rig.view.Calls.count("Login: Dial-up login|alice|"), 0);

    const QString asked = "Login: Dial-up login|alice|";
    QVERIFY(rig.runTasksUntil([&] { return rig.view.Calls.contains(asked); }));
    QVERIFY(rig.runTasksUntilIdle());
    QVERIFY(rig.list.RunnerBusy());
    QCOMPARE(rig.captions().first(), QString("Dial-up Provider"));
    QCOMPARE(rig.loggedCount("Dialing Provider"), 0);

    rig.runner.TasksStartClick();
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));
    QCOMPARE(rig.view.Calls.count(asked), 2);
    QCOMPARE(rig.started, QStringList{"a.bin"});
    const QDBusMessage stored =
        m_fixture.CallMock("StoredCredentials", {QVariant::fromValue(QDBusObjectPath(m_provider))});
    QCOMPARE(stored.arguments().value(0).toString(), QString("bob"));
    QCOMPARE(stored.arguments().value(1).toString(), QString("pw2"));
}

void TestDialupTasks::dialAndHangUp_data()
{
    QTest::addColumn<QString>("openFirst");
    QTest::addColumn<bool>("useAnother");
    QTest::addColumn<bool>("dials");
    QTest::addColumn<QStringList>("openAfter");

    QTest::newRow("program dials") << "" << false << true << QStringList{};
    QTest::newRow("other line used") << "Other" << true << false << QStringList{"Other"};
    QTest::newRow("other line replaced") << "Other" << false << true << QStringList{};
    QTest::newRow("own line already open")
        << "Provider" << false << false << QStringList{"Provider"};
}

// A whole batch: the dial-up task dials (or finds a line it may use), the upload runs, and
// the hang-up task closes only what the program dialled.
void TestDialupTasks::dialAndHangUp()
{
    QFETCH(QString, openFirst);
    QFETCH(bool, useAnother);
    QFETCH(bool, dials);
    QFETCH(QStringList, openAfter);
    const QString other = m_fixture.AddProfile("Other", "gsm", "bob", "pin", "*99#");
    if (!openFirst.isEmpty())
        m_fixture.OpenConnection(openFirst == "Other" ? other : m_provider);
    TDialRig& rig = *m_rig;
    rig.state.Settings.RASUseAnotherConnection = useAnother;

    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));

    QCOMPARE(rig.started, QStringList{"a.bin"});
    QCOMPARE(rig.loggedCount("Dialing Provider"), dials ? 1 : 0);
    QCOMPARE(rig.view.StatusTexts.contains("Dial-up connected"), dials);
    QVERIFY(rig.logTexts().contains("Hanging up Provider"));
    QVERIFY(rig.view.Warnings.isEmpty());
    QCOMPARE(rig.dial.DialAttempts(), dials ? 0 : 1);
    if (dials) {
        // Every dial state reaches the log, in order.
        const QStringList log = rig.logTexts();
        const qsizetype from = log.indexOf("Dialing Provider");
        QCOMPARE(log.mid(from, 4), (QStringList{"Dialing Provider", "Open Port", "Connect device",
                                                "Done / Connected"}));
        QCOMPARE(rig.dial.RasTimerInterval(), TDialupTasks::ConnectedWaitMs);
    }
    QTRY_COMPARE(m_fixture.OpenNames(), openAfter);
}

void TestDialupTasks::failingDialsGiveUp_data()
{
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("reason");

    QTest::newRow("dial fails") << "fail"
                                << "Provider"
                                << "Login failed";
    QTest::newRow("NetworkManager refuses") << "refuse"
                                            << "Provider"
                                            << "NetworkManager refused: Activation refused";
    QTest::newRow("unknown profile")
        << "connect"
        << "Nowhere"
        << "Dial-up connection \"Nowhere\" is unknown to NetworkManager";
}

// Five failed attempts in a row, with a redial wait between each two, then the batch is
// saved, the dial-up task first. A dial that cannot even start counts as a failed attempt.
void TestDialupTasks::failingDialsGiveUp()
{
    QFETCH(QString, outcome);
    QFETCH(QString, entry);
    QFETCH(QString, reason);
    m_fixture.SetDialOutcome(outcome, 10, 5);
    TDialRig& rig = *m_rig;
    rig.state.Settings.RASConnection = entry;

    rig.queueBatch({"a.bin", "b.bin"});
    QVERIFY(rig.runTasksUntil([&] { return !rig.view.Warnings.isEmpty(); }));

    QCOMPARE(rig.view.Warnings, QStringList{Exceeded});
    QStringList statuses;
    for (int i = 0; i < TDialupTasks::MaxDialAttempts; ++i)
        statuses << "Dialing " + entry << Waiting;
    statuses.removeLast();
    QCOMPARE(rig.view.StatusTexts, statuses);
    QCOMPARE(rig.loggedCount(Waiting), 4);
    QCOMPARE(rig.loggedCount(reason), 5);
    QCOMPARE(rig.dial.RasTimerInterval(), TDialupTasks::RedialWaitMs);
    QCOMPARE(rig.dial.DialAttempts(), 0);
    QVERIFY(rig.list.IsEmpty());
    QVERIFY(rig.started.isEmpty());
    QCOMPARE(rig.savedTasks(), (QStringList{"Dial-up " + entry, "Upload a.bin", "Upload b.bin",
                                            "Disconnect news.example.com", "Hangup " + entry}));
    QCOMPARE(m_fixture.OpenNames(), QStringList{});
}

// A dial that connects after failures resets the count: the next dial-up task again has
// five attempts.
void TestDialupTasks::connectionResetsAttempts()
{
    m_fixture.SetDialOutcome("fail", 10, 5);
    TDialRig& rig = *m_rig;
    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.loggedCount(Waiting) == 3; }));
    QCOMPARE(rig.dial.DialAttempts(), 3);
    m_fixture.SetDialOutcome("connect", 1, 5);
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));
    QCOMPARE(rig.started, QStringList{"a.bin"});
    QCOMPARE(rig.dial.DialAttempts(), 0);
    QVERIFY(rig.view.Warnings.isEmpty());

    m_fixture.SetDialOutcome("fail", 10, 5);
    rig.queueBatch({"b.bin"});
    QVERIFY(rig.runTasksUntil([&] { return !rig.view.Warnings.isEmpty(); }));
    QCOMPARE(rig.view.Warnings, QStringList{Exceeded});
    QCOMPARE(rig.loggedCount(Waiting), 3 + 4);
    QCOMPARE(rig.loggedCount("Dialing Provider"), 4 + 5);
}

void TestDialupTasks::lineLostEndsBatch_data()
{
    QTest::addColumn<bool>("dialFails");
    QTest::addColumn<bool>("clientWorked");
    QTest::addColumn<uint>("reason");
    QTest::addColumn<QStringList>("warnings");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QStringList>("saved");

    const QStringList afterDial{"Upload a.bin", "Disconnect news.example.com", "Hangup Provider"};
    QTest::newRow("drop after the news client worked")
        << false << true << 3u << QStringList{Unexpected} << "Connecting to " << afterDial;
    QTest::newRow("drop before the news client reported")
        << false << false << 3u << QStringList{Unexpected} << "Dial-up connected" << afterDial;
    QTest::newRow("user disconnected while connected")
        << false << true << 2u << QStringList{} << "The connection was closed by the user"
        << afterDial;
    QTest::newRow("user disconnected while dialling")
        << true << false << 2u << QStringList{} << "The connection was closed by the user"
        << QStringList{"Dial-up Provider"} + afterDial;
}

// A line lost after the dial ends the batch with the tasks saved; so does a port closed by
// the user at any time. Neither redials.
void TestDialupTasks::lineLostEndsBatch()
{
    QFETCH(bool, dialFails);
    QFETCH(bool, clientWorked);
    QFETCH(uint, reason);
    QFETCH(QStringList, warnings);
    QFETCH(QString, status);
    QFETCH(QStringList, saved);
    TDialRig& rig = *m_rig;
    rig.onUpload = [&] {
        if (clientWorked)
            rig.runner.NNTPNewStatus(csConnecting);
    };
    if (dialFails)
        m_fixture.SetDialOutcome("fail", reason, 5);

    rig.queueBatch({"a.bin"});
    if (!dialFails) {
        QVERIFY(rig.runTasksUntil([&] { return !rig.started.isEmpty(); }));
        const QDBusMessage path = m_fixture.CallMock("ActivePathOf", {"Provider"});
        QCOMPARE(path.type(), QDBusMessage::ReplyMessage);
        m_fixture.CallMock("DropConnection", {path.arguments().value(0), reason});
    }
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));

    QCOMPARE(rig.view.Warnings, warnings);
    QCOMPARE(rig.loggedCount(Unexpected), warnings.size());
    QCOMPARE(rig.loggedCount(Waiting), 0);
    QVERIFY(rig.view.StatusTexts.last().startsWith(status));
    QCOMPARE(rig.savedTasks(), saved);
    QVERIFY(!rig.list.DialUpQueued);
    QVERIFY(!rig.dial.DialUpOpen());
}

// NetworkManager leaving during a dial fails that attempt; the attempts after it cannot
// reach it either, so the batch ends saved instead of waiting for news that never comes.
void TestDialupTasks::networkManagerLeavesMidDial()
{
    m_fixture.SetDialOutcome("hold");
    TDialRig& rig = *m_rig;
    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.loggedCount("Connect device") == 1; }));
    m_fixture.StopNetworkManager();
    QVERIFY(rig.runTasksUntil([&] { return !rig.view.Warnings.isEmpty(); }));

    QCOMPARE(rig.view.Warnings, QStringList{Exceeded});
    QCOMPARE(rig.loggedCount("NetworkManager left the system bus during the dial"), 1);
    QCOMPARE(rig.loggedCount(Waiting), 4);
    QCOMPARE(rig.savedTasks().first(), QString("Dial-up Provider"));
    QVERIFY(rig.started.isEmpty());
}

void TestDialupTasks::abortDuringRedialWait_data()
{
    QTest::addColumn<bool>("abort"); // else Clear, without saving
    QTest::newRow("abort") << true;
    QTest::newRow("clear") << false;
}

// Abort or Clear while waiting to redial stops the wait: a batch queued after it and held
// for Start is not released when the old wait would have ended, and its dial-up task has
// all its attempts.
void TestDialupTasks::abortDuringRedialWait()
{
    QFETCH(bool, abort);
    m_fixture.SetDialOutcome("fail", 10, 5);
    TDialRig& rig = *m_rig;
    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.loggedCount(Waiting) == 2; }));
    QVERIFY(rig.dial.RasTimerActive());
    if (abort) {
        rig.view.YesNoAnswers << true;
        rig.runner.AbortButtonClick();
        QCOMPARE(rig.savedTasks().first(), QString("Dial-up Provider"));
    } else {
        rig.runner.ClearTaskList(false);
    }
    QVERIFY(!rig.dial.RasTimerActive());
    QVERIFY(rig.list.IsEmpty());

    rig.state.Settings.AutoStart = false;
    rig.runner.IdleStep(); // empty list: the queue is held now
    rig.queueBatch({"b.bin"});
    QVERIFY(rig.runTasksUntilIdle());
    QVERIFY(rig.list.RunnerBusy());
    QCOMPARE(rig.loggedCount("Dialing Provider"), 2);

    rig.runner.TasksStartClick();
    QVERIFY(rig.runTasksUntil([&] { return !rig.view.Warnings.isEmpty(); }));
    QCOMPARE(rig.view.Warnings, QStringList{Exceeded});
    QCOMPARE(rig.loggedCount("Dialing Provider"), 2 + 5);
}

// A line that was used but not dialled closes behind the program's back; the next dial-up
// task must still dial rather than take the line for open.
void TestDialupTasks::usedLineClosedThenDial()
{
    const QString other = m_fixture.AddProfile("Other", "gsm", "bob", "pin", "*99#");
    const QString active = m_fixture.OpenConnection(other);
    TDialRig& rig = *m_rig;
    rig.state.Settings.RASUseAnotherConnection = true;
    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));
    QCOMPARE(rig.loggedCount("Dialing Provider"), 0);

    m_fixture.CallMock("DropConnection", {QVariant::fromValue(QDBusObjectPath(active)), 3u});
    QTRY_COMPARE(m_fixture.OpenNames(), QStringList{});
    rig.queueBatch({"b.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty(); }));
    QCOMPARE(rig.loggedCount("Dialing Provider"), 1);
    QCOMPARE(rig.started, (QStringList{"a.bin", "b.bin"}));
    QVERIFY(rig.view.Warnings.isEmpty());
}

// NetworkManager refuses to close the line: the user hears that it may still be up.
void TestDialupTasks::failedHangUpIsTold()
{
    TDialRig& rig = *m_rig;
    m_fixture.CallMock("SetHangUpRefused", {true});
    rig.queueBatch({"a.bin"});
    QVERIFY(rig.runTasksUntil([&] { return rig.list.IsEmpty() && !rig.view.Warnings.isEmpty(); }));
    QCOMPARE(rig.view.Warnings.size(), 1);
    QVERIFY2(rig.view.Warnings.first().contains("Provider could not be hung up") &&
                 rig.view.Warnings.first().endsWith("The line may still be up."),
             qPrintable(rig.view.Warnings.first()));
    const QString logged = "Error: The dial-up connection Provider could not be hung up";
    QCOMPARE(rig.logTexts().filter(logged).size(), 1);
    QCOMPARE(m_fixture.OpenNames(), QStringList{"Provider"});
}

QTEST_GUILESS_MAIN(TestDialupTasks)
#include "tst_dialuptasks.moc"
