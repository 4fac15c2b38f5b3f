// The profile's further servers from the terminal: added, listed, changed, tested against
// INN over TLS with its login, posted through for one run, removed.
#include "CliProcess.h"
#include "InnServer.h"
#include "NntpReader.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestCliServers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void addTestPostThroughAndRemove();

private:
    QTemporaryDir m_pki;
    TInnServer m_inn;
    quint16 m_tlsPort = 0;
};

void TestCliServers::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    m_tlsPort = m_inn.StartWithTls(m_pki.path(), "poster:s3cret", &error);
    QVERIFY2(m_tlsPort, qPrintable(error));
}

void TestCliServers::cleanupTestCase()
{
    m_inn.Stop();
}

void TestCliServers::addTestPostThroughAndRemove()
{
    TCliProcess cli;
    // The profile's own server takes nothing: only the named server can post.
    QCOMPARE(cli.SetServer("127.0.0.1:1").ExitCode, 0);
    cli.SetEnv("QUORVEL_PASSWORD", "s3cret");
    const QString inn = QString("127.0.0.1:%1").arg(m_tlsPort);
    const auto added = cli.Run({"server", "add", "Inn", "--host", inn, "--tls",
                                "--trusted-authorities", m_pki.filePath("ca.pem"), "--user",
                                "poster", "--password", "--role", "both", "--priority", "1"});
    QVERIFY2(added.ExitCode == 0, qPrintable(added.Err));
    cli.UnsetEnv("QUORVEL_PASSWORD"); // kept with the server from now on
    QCOMPARE(cli.Run({"server", "add", "inn", "--host", "x"}).ExitCode, 1); // names are unique
    QCOMPARE(cli.Run({"server", "set", "Inn", "connections", "99"}).ExitCode, 2);
    QCOMPARE(cli.Run({"server", "set", "Inn", "priority", "3"}).ExitCode, 0);
    const QString listed = cli.Run({"server", "list"}).Out;
    QVERIFY2(listed.contains("Inn\t" + inn + "\ttls\tboth (priority 3)"), qPrintable(listed));
    QVERIFY(listed.startsWith("127.0.0.1\t127.0.0.1:1\tnone\tpost (priority 0)"));

    const auto tested = cli.Run({"server", "test", "Inn"});
    QVERIFY2(tested.ExitCode == 0, qPrintable(tested.Out + tested.Err));
    QVERIFY2(tested.Out.contains("TLS: TLSv1.") && tested.Out.contains("Login: accepted") &&
                 tested.Out.contains("Posting: allowed"),
             qPrintable(tested.Out));
    QCOMPARE(cli.Run({"server", "test"}).ExitCode, 1); // the profile's server refuses

    const QString path = cli.Dir() + "/through.txt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("posted through the named server\n");
    file.close();
    const auto posted = cli.Run(
        {"post", path, "--group", "quorvel.test", "--subject", "through Inn", "--server", "inn"});
    QVERIFY2(posted.ExitCode == 0, qPrintable(posted.Err));
    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    QVERIFY(std::any_of(articles.begin(), articles.end(), [](const auto& a) {
        return a.Header("Subject").startsWith("through Inn");
    }));
    // For that run only: the profile still names its own server.
    QVERIFY(cli.Run({"profile", "show"}).Out.contains("Host = 127.0.0.1:1\n"));

    // A task such a run leaves goes on through that server (its TLS and login) when resumed.
    cli.SetEnv("QUORVEL_PASSWORD", "wrong");
    QCOMPARE(cli.Run({"server", "set", "Inn", "--password"}).ExitCode, 0);
    const auto refused = cli.Run({"post", path, "--group", "quorvel.test", "--subject",
                                  "resumed on Inn", "--server", "Inn"});
    QVERIFY2(refused.ExitCode == 1, qPrintable(refused.Err));
    cli.SetEnv("QUORVEL_PASSWORD", "s3cret");
    QCOMPARE(cli.Run({"server", "set", "Inn", "--password"}).ExitCode, 0);
    cli.UnsetEnv("QUORVEL_PASSWORD");
    const auto resumed = cli.Run({"tasks", "run"});
    QVERIFY2(resumed.ExitCode == 0, qPrintable(resumed.Out + resumed.Err));
    QVERIFY2((resumed.Out + resumed.Err).contains("go on through Inn"), qPrintable(resumed.Err));
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    QVERIFY(std::any_of(articles.begin(), articles.end(), [](const auto& a) {
        return a.Header("Subject").startsWith("resumed on Inn");
    }));

    QCOMPARE(cli.Run({"server", "remove", "Inn"}).ExitCode, 0);
    QVERIFY(!cli.Run({"server", "list"}).Out.contains("Inn"));
    QCOMPARE(cli.Run({"server", "remove", "127.0.0.1"}).ExitCode, 1); // the only one stays
    QSettings ini(cli.SettingsFile(), QSettings::IniFormat);
    QVERIFY(!ini.contains("Default/Servers") && !ini.contains("Default/Server1Host"));
}

QTEST_GUILESS_MAIN(TestCliServers)
#include "tst_cli_servers.moc"
