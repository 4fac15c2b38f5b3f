#include "AppRun.h"
#include "FakeClock.h"
#include "ScriptedView.h"
#include "TestFiles.h"
#include "app/QuorvelApp.h"
#include "base/AppState.h"
#include "tasks/TaskFile.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

namespace {

QByteArray readFile(const QString& path)
{
    return TestFiles::Read(path);
}

} // namespace

// One run of the program against a private program folder and settings file.
using AppRun = TAppRun;

class TestApp : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void startupOrder();
    void startWithProfileArgument();
    void closeWritesSessionLogAndSettings();
    void twoRunsAppendToLog();
    void unexpectedErrorIsLoggedAndCloses();
    void closingSavesQueuedTasks();
    void unexpectedErrorSavesQueuedTasks();
    void startWithProfileInOtherCase();
    void startWithUnusableProfileName();
    void errorStartingATaskSavesTheQueue();
    void leftoversOfKilledSavesRemoved();
    void installedProgramDir_data();
    void installedProgramDir();
    void programFolderOfPortableAndInstalledCopies();

private:
    std::unique_ptr<QTemporaryDir> m_home;
    QString ini() const { return m_home->filePath("settings.ini"); }
    QString file(const QString& name) const { return m_home->filePath(name); }
};

void TestApp::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("QUORVEL_HOME", m_home->path().toUtf8());
}

void TestApp::startupOrder()
{
    AppRun run(ini());
    run.app.FormCreate({});
    QCOMPARE(run.view.Calls.filter("Splash"),
             (QStringList{"Splash: Loading", "Splash: Reading profile settings",
                          "Splash: Reading newsrc file", "SplashClosed"}));
    QCOMPARE(run.app.State().ProfileName, QStringLiteral("Default"));
    QCOMPARE(run.app.State().ProgramDir, m_home->path() + "/");
    QCOMPARE(run.app.State().VersionText.count('.'), 3);
    QCOMPARE(run.view.Profiles, QStringList{"Default"});
    QVERIFY(run.app.SessionLog().Lines().last().endsWith("   Startup"));
    run.app.FormShow();
    QCOMPARE(run.view.WindowTitle, QStringLiteral("Quorvel v2: Default Profile"));
    QCOMPARE(run.view.From, QString()); // a first start has no address yet
    QCOMPARE(run.view.Subject, QStringLiteral("Type Subject Here"));
}

void TestApp::startWithProfileArgument()
{
    AppRun run(ini());
    run.app.FormCreate({"Work"});
    QCOMPARE(run.app.State().ProfileName, QStringLiteral("Work"));
    QCOMPARE(run.app.State().NewsrcPath, file("newsrc.Work"));
    QCOMPARE(run.view.Profiles, (QStringList{"Default", "Work"}));
    // A new profile starts with its own group file: one record, "alt.test", count 0, subscribed.
    QByteArray record(81, '\0');
    record.replace(0, 8, "alt.test");
    QCOMPARE(readFile(file("newsrc.Work")), record);
    QCOMPARE(run.view.GroupCaption, QStringLiteral("Subscribed Groups: 1"));
    QCOMPARE(run.view.GroupCount, 1);
    run.app.FormShow();
    QCOMPARE(run.view.WindowTitle, QStringLiteral("Quorvel v2: Work Profile"));
    run.app.FormCloseQuery();
    run.app.FormDestroy();
    QSettings s(ini(), QSettings::IniFormat);
    QVERIFY(s.childGroups().contains("Work"));
    QCOMPARE(s.value("Common/Profiles").toString(), QStringLiteral("Default,Work"));
}

void TestApp::closeWritesSessionLogAndSettings()
{
    {
        // A session log of an earlier run stays when this run logged nothing.
        QFile old(file("qvsession.log"));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("earlier\r\n");
    }
    {
        AppRun quiet(ini());
        quiet.app.FormCloseQuery();
        QCOMPARE(readFile(file("qvsession.log")), QByteArray("earlier\r\n"));
    }
    AppRun run(ini());
    run.app.FormCreate({});
    run.view.Subject = "Holiday pictures";
    run.app.FormCloseQuery();
    run.app.FormDestroy();
    QCOMPARE(readFile(file("qvsession.log")), QByteArray("03/04/26 05:06:07   Startup\r\n"));
    QVERIFY(run.app.SessionLog().Lines().last().endsWith("Shutdown"));
    QSettings s(ini(), QSettings::IniFormat);
    QCOMPARE(s.value("Default/LastSubject").toString(), QStringLiteral("Holiday pictures"));
}

void TestApp::twoRunsAppendToLog()
{
    for (int i = 0; i < 2; ++i) {
        AppRun run(ini());
        run.app.FormCreate({});
        run.app.FormCloseQuery();
        run.app.FormDestroy();
    }
    QCOMPARE(readFile(file("quorvel.log")), QByteArray("03/04/26 05:06:07   Startup\r\n"
                                                       "03/04/26 05:06:07   Shutdown\r\n"
                                                       "03/04/26 05:06:07   Startup\r\n"
                                                       "03/04/26 05:06:07   Shutdown\r\n"));
}

void TestApp::unexpectedErrorIsLoggedAndCloses()
{
    AppRun run(ini());
    run.app.FormCreate({});
    run.app.State().SetCurrentProcName("PostFile");
    run.app.OnException("Disk full");
    const QStringList lines = run.app.SessionLog().Lines();
    QVERIFY(lines[lines.size() - 2].endsWith("   Error: Disk full"));
    QVERIFY(lines.last().endsWith("   PostFile"));
    QCOMPARE(run.view.Warnings,
             QStringList{"An unexpected error has occured: Disk full \r\nAll remaining tasks have "
                         "been saved.\r\nQuorvel will now close."});
    QVERIFY(run.view.Closed);
}

namespace {

void queueDisconnect(TQuorvelApp& app)
{
    TTask task;
    task.Kind = tkDisconnect;
    task.Text1 = QStringLiteral("news.example.org");
    app.TaskList().Add(task);
}

} // namespace

// Closing the window with work queued keeps the work for the next start.
void TestApp::closingSavesQueuedTasks()
{
    AppRun run(ini());
    run.app.FormCreate({});
    queueDisconnect(run.app);
    run.app.FormCloseQuery();
    QCOMPARE(run.app.TaskList().Count(), 0);
    const QList<QByteArray> lines = readFile(file("qvtasks.qv")).split('\n');
    QCOMPARE(lines.value(0), QByteArray("Default\r"));
    QVERIFY(lines.value(1).startsWith("4,news.example.org,"));
    QCOMPARE(run.app.TaskFile().SavedTaskCount(), 1);
}

void TestApp::unexpectedErrorSavesQueuedTasks()
{
    AppRun run(ini());
    run.app.FormCreate({});
    queueDisconnect(run.app);
    queueDisconnect(run.app);
    run.app.OnException("boom");
    QCOMPARE(run.app.TaskList().Count(), 0);
    const QList<QByteArray> lines = readFile(file("qvtasks.qv")).split('\n');
    QCOMPARE(lines.value(0), QByteArray("Default\r"));
    QVERIFY(lines.value(1).startsWith("4,news.example.org,"));
    QVERIFY(lines.value(2).startsWith("4,news.example.org,"));
    QVERIFY(run.view.Closed);
}

void TestApp::startWithProfileInOtherCase()
{
    {
        QSettings s(ini(), QSettings::IniFormat);
        s.setValue("Common/Profiles", "Default,Work");
        s.setValue("Work/Host", "news.work");
    }
    AppRun run(ini());
    run.app.FormCreate({"work"});
    QCOMPARE(run.app.State().ProfileName, QStringLiteral("Work"));
    QCOMPARE(run.app.State().Settings.Host, QStringLiteral("news.work"));
    QCOMPARE(run.view.Profiles, (QStringList{"Default", "Work"}));
    run.app.FormCloseQuery();
    run.app.FormDestroy();
    run.store.Sync();
    QSettings s(ini(), QSettings::IniFormat);
    QCOMPARE(s.childGroups(), (QStringList{"Common", "Work"}));
}

void TestApp::startWithUnusableProfileName()
{
    AppRun run(ini());
    run.app.FormCreate({"../../elsewhere"});
    QCOMPARE(run.app.State().ProfileName, QStringLiteral("Default"));
    QCOMPARE(run.view.Warnings.size(), 1);
    QVERIFY(run.view.Warnings.first().contains("../../elsewhere"));
    QVERIFY(!QFile::exists(file("newsrc.../../elsewhere")));
}

void TestApp::errorStartingATaskSavesTheQueue()
{
    // The idle step runs outside the guarded event delivery.
    AppRun run(ini());
    run.app.FormCreate({});
    run.app.Runner().SetHandler(tkDisconnect,
                                [](TTask&) { throw std::runtime_error("cannot start"); });
    queueDisconnect(run.app);
    run.app.OnIdle();
    QVERIFY(run.view.Closed);
    QCOMPARE(run.view.Warnings.size(), 1);
    QVERIFY(run.view.Warnings.first().contains("cannot start"));
    QVERIFY(readFile(file("qvtasks.qv")).contains("4,news.example.org,"));
}

void TestApp::leftoversOfKilledSavesRemoved()
{
    // What a kill during a save leaves, old and recent, beside files that only look alike.
    const QStringList names{"qvsession.log.aB3dE9",  "qvtasks.qv.Xy12Zw",
                            "qvsession.log.recent",  "qvsession.log.toolong1",
                            "newsrc.Default.aB3dE9", "qvsession.logx"};
    for (const QString& name : names) {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("partial");
        f.flush();
        if (name != QLatin1String("qvsession.log.recent"))
            QVERIFY(f.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                  QFileDevice::FileModificationTime));
    }
    AppRun run(ini());
    run.app.FormCreate({});
    // The task file's only once the queue is ours.
    QVERIFY(run.app.TakeQueue().isEmpty());
    QStringList left;
    for (const QString& name : names)
        if (QFile::exists(file(name)))
            left << name;
    QCOMPARE(left, (QStringList{"qvsession.log.recent", "qvsession.log.toolong1",
                                "newsrc.Default.aB3dE9", "qvsession.logx"}));
}

void TestApp::installedProgramDir_data()
{
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("installed");
    QTest::newRow("/usr/bin") << "/usr/bin" << true;
    QTest::newRow("/usr/local/bin") << "/usr/local/bin" << true;
    QTest::newRow("/usr itself") << "/usr" << true;
    QTest::newRow("/opt/quorvel/bin") << "/opt/quorvel/bin" << true;
    QTest::newRow("/snap/quorvel/3/bin") << "/snap/quorvel/3/bin" << true;
    QTest::newRow("/nix/store/x-quorvel/bin") << "/nix/store/x-quorvel/bin" << true;
    QTest::newRow("flatpak /app/bin") << "/app/bin" << true;
    QTest::newRow("/usr2/bin is not /usr") << "/usr2/bin" << false;
    QTest::newRow("/optional/bin is not /opt") << "/optional/bin" << false;
    QTest::newRow("a home folder") << "/home/ann/Quorvel" << false;
    QTest::newRow("a stick") << "/media/ann/STICK/Quorvel" << false;
}

void TestApp::installedProgramDir()
{
    QFETCH(QString, dir);
    QFETCH(bool, installed);
    QCOMPARE(IsInstalledProgramDir(dir), installed);
}

void TestApp::programFolderOfPortableAndInstalledCopies()
{
    const QString portable = file("portable");
    const QString data = file("xdg-data");
    QVERIFY(QDir().mkpath(portable));
    // A link into /usr is judged by where it leads: an installed program started through it.
    const QString linked = file("linked-bin");
    QVERIFY(QFile::link("/usr/bin", linked));

    QCOMPARE(ChooseProgramDir(QString(), portable, data), portable + u'/');
    QCOMPARE(ChooseProgramDir(QString(), "/usr/bin", data), data + u'/');
    QCOMPARE(ChooseProgramDir(QString(), linked, data), data + u'/');
    QCOMPARE(ChooseProgramDir(file("home"), "/usr/bin", data), file("home") + u'/');
    QVERIFY(QFileInfo(data).isDir());
    QVERIFY(QFileInfo(file("home")).isDir());
}

QTEST_GUILESS_MAIN(TestApp)
#include "tst_app.moc"
