// The terminal over TLS as a user sets it up: the profile's Security, trusted authorities and
// trusted certificate, against INN's own TLS (nnrpd) with a test authority.
#include "CliProcess.h"
#include "InnServer.h"
#include "NntpReader.h"
#include "SocksServer.h"
#include "TestFiles.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray readAll(const QString& path)
{
    return TestFiles::Read(path);
}

} // namespace

class TestCliTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void groupsOverTlsAndPostOverStartTls();
    void sessionOptionsLeaveTheProfileAlone();
    void postAndCheckThroughSocks5();
    void refusals();

private:
    TSocksServer m_proxy;
    QTemporaryDir m_pki;
    TInnServer m_inn;
    quint16 m_tlsPort = 0;
};

void TestCliTls::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(TInnServer::MakeTestCertificates(m_pki.path(), &error), qPrintable(error));
    TInnServer::TOptions options;
    options.TlsDir = m_pki.path();
    QVERIFY2(m_inn.Start(options, &error), qPrintable(error));
    m_tlsPort = m_inn.StartTlsListener(&error);
    QVERIFY2(m_tlsPort, qPrintable(error));
    if (TSocksServer::Available())
        QVERIFY2(m_proxy.Start("alice", "s3cret", &error), qPrintable(error));
}

void TestCliTls::cleanupTestCase()
{
    m_proxy.Stop();
    m_inn.Stop();
}

void TestCliTls::groupsOverTlsAndPostOverStartTls()
{
    TCliProcess cli;
    const QString host = QString("127.0.0.1:%1").arg(m_tlsPort);
    QCOMPARE(cli.SetServer(host).ExitCode, 0);
    for (const QStringList& set :
         {QStringList{"Security", "TLS"}, {"TrustedAuthorities", m_pki.filePath("ca.pem")}})
        QCOMPARE(cli.Run(QStringList{"profile", "set"} + set).ExitCode, 0);
    QVERIFY(cli.Run({"profile", "show"}).Out.contains("tls"));
    const auto downloaded = cli.Run({"--yes", "groups", "download"});
    QVERIFY2(downloaded.ExitCode == 0, qPrintable(downloaded.Err));
    QVERIFY(cli.Run({"groups", "list"}).Out.contains("quorvel.test"));

    // The same server's plain port, upgraded with STARTTLS, takes a series over three
    // connections, each secured on its own.
    QCOMPARE(cli.SetServer(m_inn.Server()).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "Security", "starttls"}).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "Connections", "3"}).ExitCode, 0);
    const QString path = cli.Dir() + "/secret.txt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 50; ++i)
        file.write("sent under STARTTLS " + QByteArray::number(i) + "\n");
    file.close();
    const auto posted = cli.Run(
        {"post", path, "--group", "quorvel.test", "--subject", "over STARTTLS", "--lines", "10"});
    QVERIFY2(posted.ExitCode == 0, qPrintable(posted.Err));
    QFile log(cli.Home() + "/quorvel.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QByteArray logged = log.readAll();
    // STARTTLS, the server's 382, the session, and only then the article.
    QVERIFY(logged.count("382 ") >= 3);
    const qsizetype agreed = logged.indexOf("382 ");
    const qsizetype secured = logged.indexOf("TLS: TLSv1.", agreed);
    QVERIFY2(agreed > 0 && secured > agreed && logged.indexOf("POST", agreed) > secured,
             logged.mid(logged.lastIndexOf("Startup")).constData());

    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    QCOMPARE(std::count_if(articles.begin(), articles.end(),
                           [](const auto& a) {
                               return a.Header("Subject").startsWith("over STARTTLS") &&
                                      a.Body.contains("sent under STARTTLS 41");
                           }),
             1);
    QCOMPARE(std::count_if(
                 articles.begin(), articles.end(),
                 [](const auto& a) { return a.Header("Subject").startsWith("over STARTTLS"); }),
             5);

    // The check of what was posted takes the same connection options as the commands that
    // post: the profile in plain text, the run over STARTTLS.
    QCOMPARE(cli.Run({"profile", "set", "Security", "none"}).ExitCode, 0);
    const QString nzb = posted.Out.section(QStringLiteral("NZB: "), 1).trimmed();
    const auto checked = cli.Run({"check", nzb, "--starttls"});
    QVERIFY2(checked.ExitCode == 0, qPrintable(checked.Err));
    QVERIFY2(checked.Err.contains("0 of 5 article(s) missing"), qPrintable(checked.Err));
    QVERIFY(log.seek(0));
    const QByteArray checkLog = log.readAll();
    QVERIFY(checkLog.indexOf("STAT", checkLog.lastIndexOf("382 ")) > 0);
}

void TestCliTls::sessionOptionsLeaveTheProfileAlone()
{
    // A profile in plain text pointed at the TLS port; the run's options alone reach it.
    TCliProcess cli;
    QCOMPARE(cli.SetServer(QString("127.0.0.1:%1").arg(m_tlsPort)).ExitCode, 0);
    const QByteArray before = readAll(cli.SettingsFile());

    // Trusting the certificate by the fingerprint its refusal names, as for a self-signed one.
    const auto refused = cli.Run({"--yes", "groups", "download", "--tls"});
    QVERIFY(refused.ExitCode != 0);
    const QRegularExpressionMatch print =
        QRegularExpression("SHA-256 fingerprint ([0-9A-F:]{95})").match(refused.Err);
    QVERIFY2(print.hasMatch(), qPrintable(refused.Err));
    const auto trusted =
        cli.Run({"--yes", "groups", "download", "--tls", "--trust-fingerprint", print.captured(1)});
    QVERIFY2(trusted.ExitCode == 0, qPrintable(trusted.Err));

    QCOMPARE(cli.Run({"profile", "set", "TrustedAuthorities", m_pki.filePath("ca.pem")}).ExitCode,
             0);
    const QString path = cli.Dir() + "/session.txt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("sent over --tls\n");
    file.close();
    cli.SetEnv("QUORVEL_PASSWORD", "not asked for"); // this server wants no login
    const auto posted = cli.Run({"post", path, "--group", "quorvel.test", "--subject",
                                 "session TLS", "--tls", "--user", "ann"});
    QVERIFY2(posted.ExitCode == 0, qPrintable(posted.Err));
    const QByteArray logged = readAll(cli.Home() + "/quorvel.log");
    // The post went over a connection secured first, and so did the check after it, over a
    // connection of its own.
    const qsizetype post = logged.lastIndexOf("POST");
    const qsizetype secured = logged.lastIndexOf("TLS: TLSv1.", post);
    QVERIFY2(secured > 0 && logged.indexOf("QUIT", secured) > post, logged.constData());
    QVERIFY2(logged.lastIndexOf("TLS: TLSv1.", logged.indexOf("STAT:", post)) > post,
             logged.constData());

    // The profile is as it was: no Security, no fingerprint, no login.
    const QString shown = cli.Run({"profile", "show"}).Out;
    QVERIFY2(shown.contains("Security = none\n") && shown.contains("TrustedFingerprint = \n") &&
                 shown.contains("UserID = \n") && shown.contains("LoginRequired = 0\n"),
             qPrintable(shown));
    const QByteArray after = readAll(cli.SettingsFile());
    QVERIFY(!after.contains("ann") || before.contains("ann"));
    QVERIFY(!after.contains(print.captured(1).toLatin1()));

    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    QVERIFY(std::any_of(articles.begin(), articles.end(), [](const auto& a) {
        return a.Header("Subject").startsWith("session TLS") && a.Body.contains("sent over --tls");
    }));
}

void TestCliTls::postAndCheckThroughSocks5()
{
    QUORVEL_REQUIRE_MICROSOCKS();
    // A series over two connections, each through the proxy, its password from the
    // environment; then the check through the proxy with the password in the option.
    TCliProcess cli;
    QCOMPARE(cli.SetServer(QString("localhost:%1").arg(m_inn.Port())).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "Connections", "2"}).ExitCode, 0);
    const QByteArray before = readAll(cli.SettingsFile());
    const QString path = cli.Dir() + "/proxied.txt";
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 1; i <= 30; ++i)
        file.write("sent through the proxy " + QByteArray::number(i) + "\n");
    file.close();
    const QString proxy = QString("127.0.0.1:%1").arg(m_proxy.Port());
    cli.SetEnv("QUORVEL_SOCKS5_PASSWORD", "s3cret");
    const auto posted = cli.Run({"post", path, "--group", "quorvel.test", "--subject",
                                 "through SOCKS5", "--lines", "10", "--socks5", "alice@" + proxy});
    QVERIFY2(posted.ExitCode == 0, qPrintable(posted.Err));
    const QByteArray destination = QString("connected to localhost:%1").arg(m_inn.Port()).toUtf8();
    QVERIFY2(m_proxy.Log().count(destination) >= 2, m_proxy.Log().constData());
    const QString nzb = posted.Out.section(QStringLiteral("NZB: "), 1).trimmed();
    cli.SetEnv("QUORVEL_SOCKS5_PASSWORD", "");
    const qsizetype logged = m_proxy.Log().count(destination);
    const auto checked = cli.Run({"check", nzb, "--socks5", "alice:s3cret@" + proxy});
    QVERIFY2(checked.ExitCode == 0, qPrintable(checked.Err));
    QVERIFY2(checked.Err.contains("0 of 3 article(s) missing"), qPrintable(checked.Err));
    QVERIFY(m_proxy.Log().count(destination) > logged);
    // Without the password the proxy refuses, and says so.
    const auto refused = cli.Run({"check", nzb, "--socks5", "alice@" + proxy});
    QVERIFY(refused.ExitCode != 0);
    QVERIFY2(refused.Err.contains("The SOCKS5 proxy " + proxy + " refused the login for alice"),
             qPrintable(refused.Err));
    const QByteArray after = readAll(cli.SettingsFile());
    QCOMPARE(after.contains("s3cret"), before.contains("s3cret"));
    QCOMPARE(after.contains(proxy.toUtf8()), false);
}

void TestCliTls::refusals()
{
    TCliProcess cli;
    const auto bad = cli.Run({"profile", "set", "Security", "ssl"});
    QVERIFY(bad.ExitCode != 0);
    QVERIFY2(bad.Err.contains("Security takes none, tls, starttls, not 'ssl'"),
             qPrintable(bad.Err));

    // No authority for the test certificate: refused, and the reason says so.
    QCOMPARE(cli.SetServer(QString("127.0.0.1:%1").arg(m_tlsPort)).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "Security", "tls"}).ExitCode, 0);
    const auto refused = cli.Run({"--yes", "groups", "download"});
    QVERIFY(refused.ExitCode != 0);
    QVERIFY2(refused.Err.contains("certificate was refused: it was issued by an unknown authority"),
             qPrintable(refused.Err));

    // The run's connection options, wrongly given, stop the command before it queues anything.
    QVERIFY(QFile::remove(cli.TaskFile())); // what the refused download left
    const QList<QPair<QStringList, QString>> wrong = {
        {{"--tls", "--starttls"}, "--tls and --starttls exclude each other"},
        {{"--trust-fingerprint", "AB:CD"}, "a SHA-256 fingerprint is 64 hex digits"},
        {{"--socks5", "proxy.example"}, "--socks5: proxy.example is no proxy address"},
        {{"--socks5", "::1:1080"}, "write an IPv6 proxy address in brackets"},
    };
    for (const auto& [options, message] : wrong) {
        const auto r = cli.Run(QStringList{"--yes", "groups", "download"} + options);
        QCOMPARE(r.ExitCode, 1);
        QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    }
    QCOMPARE(cli.Run({"profile", "set", "Security", "none"}).ExitCode, 0);
    const auto plain = cli.Run(
        {"--yes", "groups", "download", "--trust-fingerprint", QString(64, QLatin1Char('a'))});
    QCOMPARE(plain.ExitCode, 1);
    QVERIFY2(plain.Err.contains("--trust-fingerprint needs an encrypted connection"),
             qPrintable(plain.Err));
    QVERIFY(!QFile::exists(cli.TaskFile()));
}

QTEST_GUILESS_MAIN(TestCliTls)
#include "tst_cli_tls.moc"
