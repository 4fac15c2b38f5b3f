// The profile's passwords kept in a private gnome-keyring-daemon on a private session bus, and
// scrambled in the settings file where no keyring answers: what the settings file and the task
// file hold, and a saved post still logging in.
#include "AppRun.h"
#include "DbusMockFixture.h"
#include "FakeClock.h"
#include "FakeNntpServer.h"
#include "RunUntil.h"
#include "ScriptedView.h"
#include "TestFiles.h"
#include "app/QuorvelApp.h"
#include "app/SecretStore.h"
#include "base/PasswordScrambler.h"
#include "base/SettingFields.h"
#include "base/SettingsStore.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "upload/PostRequest.h"
#include "upload/UploadTaskBuilder.h"

#include <QDBusConnection>
#include <QEventLoop>
#include <QFile>
#include <QScopeGuard>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

using TKind = TSecretStore::TKind;

// One run of the program on the test's program folder and settings file, started and
// closed again.
struct AppRun : TAppRun
{
    explicit AppRun(const QString& ini) : TAppRun(ini) { app.FormCreate({}); }
    ~AppRun() { Close(); }
};

} // namespace

class TestKeyring : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void keyringHoldsPasswordsAndMovesOldOnes();
    void withoutKeyringPasswordsStayScrambled();

private:
    QString ini() const { return m_home->filePath("settings.ini"); }
    QString raw(const QString& name) const;
    QByteArray taskFile() const;
    void setLogin(ProfileSettings& s) const;
    // Queues a post and closes before it runs: the task is saved in the task file.
    void queuePostAndClose();
    // A new run reloads the saved task and posts it to a server that wants the login.
    void reloadAndPost();

    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<TFakeNntpServer> m_server;
    TDbusMockFixture m_bus;
};

// libdbus reads the bus addresses from the environment once, at the first use of any bus
// (the application's dial-up component asks for the system bus as it is built): the private
// session bus is up and connected before any test runs, whichever runs first or alone.
void TestKeyring::initTestCase()
{
    QVERIFY2(m_bus.StartBus(TDbusMockFixture::TBus::Session), qPrintable(m_bus.Error()));
    QVERIFY(QDBusConnection::sessionBus().isConnected());
}

void TestKeyring::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("QUORVEL_HOME", m_home->path().toUtf8());
    m_server = std::make_unique<TFakeNntpServer>();
    QVERIFY(m_server->Start());
    m_server->On("POST", {"480 authentication required"}, true);
    m_server->OnPost();
    m_server->On("AUTHINFO USER alice", {"381 more"});
    m_server->On("AUTHINFO PASS s3cret, too", {"281 ok"});
    m_server->On("AUTHINFO PASS*", {"481 wrong"});
}

QString TestKeyring::raw(const QString& name) const
{
    return QSettings(ini(), QSettings::IniFormat).value("Default/" + name).toString();
}

QByteArray TestKeyring::taskFile() const
{
    return TestFiles::Read(m_home->filePath("qvtasks.qv"));
}

void TestKeyring::setLogin(ProfileSettings& s) const
{
    s.Host = m_server->Server();
    s.LoginRequired = true;
    s.RememberPassword = true;
    s.UserID = "alice";
    s.Password = "s3cret, too";
    s.RASUserName = "dialer";
    s.RASPassword = "dial pw";
}

void TestKeyring::queuePostAndClose()
{
    const QString notes = m_home->filePath("notes.txt");
    QVERIFY(TestFiles::Write(notes, "one line\r\n"));
    AppRun run(ini());
    TPostRequest request = TPostRequest::FromSettings(run.app.State().Settings);
    request.Folder = m_home->path();
    request.Files = {notes};
    request.Groups = {"quorvel.test"};
    request.From = "alice@quorvel.test";
    request.Subject = "Keyring";
    request.DisconnectWhenDone = false;
    QVERIFY(run.app.UploadTasks().Post(request));
    QCOMPARE(run.app.TaskList().Count(), 1);
}

void TestKeyring::reloadAndPost()
{
    AppRun run(ini());
    run.app.InstallIdleHook();
    QVERIFY(run.app.TaskFile().ReadTasks());
    QVERIFY(RunUntil(
        [&] { return run.app.TaskList().IsEmpty() && !run.app.TaskList().RunnerBusy(); }, 10000));
    QVERIFY(m_server->Commands().contains("AUTHINFO PASS s3cret, too"));
    QCOMPARE(m_server->Articles().size(), 1);
    QVERIFY2(run.view.Warnings.isEmpty(), qPrintable(run.view.Warnings.join('\n')));
}

void TestKeyring::withoutKeyringPasswordsStayScrambled()
{
    // No session bus to be seen, as over ssh; the environment is put back for the next test.
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] {
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
        runtime.isNull() ? qunsetenv("XDG_RUNTIME_DIR") : qputenv("XDG_RUNTIME_DIR", runtime);
    });
    qunsetenv("QUORVEL_KEYRING");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    qputenv("XDG_RUNTIME_DIR", "/nonexistent");
    {
        AppRun run(ini());
        setLogin(run.app.State().Settings);
    }
    for (const auto& [name, password] :
         {std::pair{"Password", "s3cret, too"}, std::pair{"RASPassword", "dial pw"}}) {
        QVERIFY(!raw(name).isEmpty() && raw(name) != password);
        QCOMPARE(PasswordScrambler::Unscramble(raw(name)), QString(password));
    }
    queuePostAndClose();
    QVERIFY(taskFile().contains(",\"alice,s3cret, too\","));
    reloadAndPost();
}

void TestKeyring::keyringHoldsPasswordsAndMovesOldOnes()
{
    QVERIFY2(m_bus.StartKeyring(), qPrintable(m_bus.Error()));
    const auto stop = qScopeGuard([this] { m_bus.StopKeyring(); });
    qunsetenv("QUORVEL_KEYRING");
    TSecretStore keyring;
    QVERIFY(keyring.Available());
    QString error;

    // Scrambled in the file, as an older run left them: moved into the keyring at the first
    // read, and gone from the file.
    {
        TSettingsStore store(ini());
        ProfileSettings s;
        setLogin(s);
        for (const TSettingField& field : SettingFields())
            field.Write(store, "Default", s,
                        [](const QString& p) { return PasswordScrambler::Scramble(p, 7); });
        QVERIFY(store.Sync().isEmpty());
    }
    QVERIFY(!raw("Password").isEmpty());
    {
        AppRun run(ini());
        QCOMPARE(run.app.State().Settings.Password, QString("s3cret, too"));
        QCOMPARE(run.app.State().Settings.RASPassword, QString("dial pw"));
        QCOMPARE(raw("Password"), QString());
        QCOMPARE(raw("RASPassword"), QString());
    }
    QCOMPARE(keyring.Read("Default", TKind::NewsServer, &error), QString("s3cret, too"));
    QCOMPARE(keyring.Read("Default", TKind::DialUp, &error), QString("dial pw"));

    // The task file refers to the profile's password; the post reloaded from it logs in.
    queuePostAndClose();
    QVERIFY(taskFile().contains(",\"alice,\","));
    QVERIFY(!taskFile().contains("s3cret"));
    QCOMPARE(raw("Password"), QString());
    reloadAndPost();

    // Changed in the profile: the keyring takes the new one, the file still holds none.
    {
        AppRun run(ini());
        run.app.State().Settings.RASPassword = "dial 2";
    }
    QCOMPARE(keyring.Read("Default", TKind::DialUp, &error), QString("dial 2"));
    QCOMPARE(raw("RASPassword"), QString());

    // A further server's password goes to the keyring under its own account, never over the
    // profile's, and leaves it with the server.
    {
        AppRun run(ini());
        TServerEntry backup;
        backup.Name = "Backup";
        backup.Host = "backup.example.net";
        backup.LoginRequired = true;
        backup.UserID = "bob";
        backup.Password = "b pw";
        run.app.State().Settings.FurtherServers = {backup};
    }
    QCOMPARE(keyring.Read("Default/Backup", TKind::NewsServer, &error), QString("b pw"));
    QCOMPARE(keyring.Read("Default", TKind::NewsServer, &error), QString("s3cret, too"));
    QVERIFY(!QSettings(ini(), QSettings::IniFormat).contains("Default/Server1Password"));
    // Scrambled in the file, as a run without a keyring left it: moved at the next read.
    {
        TSettingsStore store(ini());
        store.WriteString("Default", "Server1Password", PasswordScrambler::Scramble("old pw", 7));
        QVERIFY(store.Sync().isEmpty());
    }
    {
        AppRun run(ini());
        QCOMPARE(run.app.State().Settings.FurtherServers.value(0).Password, QString("old pw"));
        QVERIFY(!QSettings(ini(), QSettings::IniFormat).contains("Default/Server1Password"));
        run.app.State().Settings.FurtherServers.clear();
    }
    QCOMPARE(keyring.Read("Default/Backup", TKind::NewsServer, &error), std::nullopt);
}

QTEST_GUILESS_MAIN(TestKeyring)
#include "tst_keyring.moc"
