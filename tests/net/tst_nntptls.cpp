// The news client over TLS against INN's own TLS (nnrpd): TLS from the first byte and
// STARTTLS, certificates checked against a test authority, refusals with their reasons,
// trusted fingerprints, logins, and servers that do not speak TLS where it is expected.
#include "AppRun.h"
#include "FakeClock.h"
#include "FakeNntpServer.h"
#include "InnServer.h"
#include "NntpEventLog.h"
#include "NntpReader.h"
#include "ScriptedView.h"

#include "app/CertificateTrust.h"
#include "app/QuorvelApp.h"
#include "base/SettingsStore.h"
#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const Login = "poster:s3cret";

QString fingerprintOf(const QString& pem)
{
    QProcess openssl;
    openssl.start("openssl", {"x509", "-noout", "-fingerprint", "-sha256", "-in", pem});
    openssl.waitForFinished();
    // "sha256 Fingerprint=AB:CD:..."
    return QString::fromLatin1(openssl.readAllStandardOutput()).section('=', 1).trimmed();
}

} // namespace

class TestNntpTls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void groupsAndPostOverTls_data();
    void groupsAndPostOverTls();
    void badCertificatesRefused_data();
    void badCertificatesRefused();
    void trustedFingerprint();
    void refusedCertificateTrustedOnce();
    void serversThatDoNotSpeakTls_data();
    void serversThatDoNotSpeakTls();
    void clearTextLoginIsNamed();

private:
    void setUp(TbcsNNTP& client, TTlsMode mode, const QString& server);
    QString pki(const QString& name) const { return m_pki.filePath(name); }

    QTemporaryDir m_pki;
    TInnServer m_inn;
    quint16 m_tlsPort = 0;
    QHash<QString, quint16> m_badPorts;
};

void TestNntpTls::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(TInnServer::MakeTestCertificates(m_pki.path(), &error), qPrintable(error));
    TInnServer::TOptions options;
    options.Auth = Login;
    options.TlsDir = m_pki.path();
    QVERIFY2(m_inn.Start(options, &error), qPrintable(error));
    m_tlsPort = m_inn.StartTlsListener(&error);
    QVERIFY2(m_tlsPort, qPrintable(error));
    for (const QString name : {"expired", "wronghost", "selfsigned"}) {
        const quint16 port = m_inn.StartTlsListener(&error, pki(name + ".pem"), pki(name + ".key"));
        QVERIFY2(port, qPrintable(error));
        m_badPorts.insert(name, port);
    }
}

void TestNntpTls::cleanupTestCase()
{
    m_inn.Stop();
}

void TestNntpTls::setUp(TbcsNNTP& client, TTlsMode mode, const QString& server)
{
    TTlsConfig tls;
    tls.Mode = mode;
    tls.CaFile = pki("ca.pem");
    client.SetTls(tls);
    client.SetServer(server);
    client.SetTimeout(10);
    client.SetPostTimeout(10);
    client.SetAuthenticate(true);
    client.SetUserName("poster");
    client.SetPassword("s3cret");
}

void TestNntpTls::groupsAndPostOverTls_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("host");
    QTest::newRow("implicit, by address") << int(TTlsMode::Implicit) << "127.0.0.1";
    QTest::newRow("implicit, by name") << int(TTlsMode::Implicit) << "localhost";
    QTest::newRow("starttls") << int(TTlsMode::StartTls) << "127.0.0.1";
}

void TestNntpTls::groupsAndPostOverTls()
{
    QFETCH(int, mode);
    QFETCH(QString, host);
    const quint16 port = TTlsMode(mode) == TTlsMode::Implicit ? m_tlsPort : m_inn.Port();
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, TTlsMode(mode), host + ':' + QString::number(port));

    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    QVERIFY2(events.Events.last() == "groups done", qPrintable(events.Events.join(" | ")));
    QVERIFY(client.Groups().contains("quorvel.test"));
    QVERIFY(!events.LogLines.filter(QRegularExpression("^TLS: TLSv1\\.[23], ")).isEmpty());
    QCOMPARE(client.ServerCertificate().Sha256, fingerprintOf(pki("server.pem")));

    // A large article after a login (the server wants one to post), over the same TLS.
    const QString subject = "over TLS " + QString(QTest::currentDataTag());
    TNewsArticle article;
    article.From = "Quorvel Test <test@quorvel.test>";
    article.Subject = subject;
    article.Newsgroups = "quorvel.test";
    QStringList body;
    for (int i = 0; i < 20000; ++i)
        body << QString("line %1 %2").arg(i).arg(QString(40, QChar('a' + i % 26)));
    body << ".leading dot";
    for (const QString& line : std::as_const(body))
        article.AddBodyLine(line);
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}, 30000));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    QVERIFY(events.LogLines.filter("clear text").isEmpty());

    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    const auto found = std::find_if(articles.begin(), articles.end(), [&](const auto& a) {
        return a.Header("Subject") == subject.toUtf8();
    });
    QVERIFY(found != articles.end());
    QCOMPARE(found->Body.size(), body.size());
    QCOMPARE(found->Body.first(), body.first().toUtf8());
    QCOMPARE(found->Body.last(), QByteArray(".leading dot"));
}

void TestNntpTls::badCertificatesRefused_data()
{
    QTest::addColumn<QString>("listener");
    QTest::addColumn<bool>("withAuthority");
    QTest::addColumn<QString>("reason");
    QTest::newRow("expired") << "expired" << true << "it expired on ";
    QTest::newRow("another name") << "wronghost" << true << "it was issued for another name";
    QTest::newRow("self-signed") << "selfsigned" << true << "it is self-signed";
    QTest::newRow("unknown authority") << "server" << false << "issued by an unknown authority";
}

void TestNntpTls::badCertificatesRefused()
{
    QFETCH(QString, listener);
    QFETCH(bool, withAuthority);
    QFETCH(QString, reason);
    const quint16 port = listener == "server" ? m_tlsPort : m_badPorts.value(listener);
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, TTlsMode::Implicit, QString("127.0.0.1:%1").arg(port));
    if (!withAuthority) {
        TTlsConfig tls = client.Tls();
        tls.CaFile.clear();
        client.SetTls(tls);
    }
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    const QString error = events.Events.last();
    QVERIFY2(error.startsWith("error The server's certificate was refused: "), qPrintable(error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY2(error.contains("SHA-256 fingerprint " + fingerprintOf(pki(listener + ".pem"))),
             qPrintable(error));
    QVERIFY(client.Groups().isEmpty());
    QVERIFY(!client.Connected());
}

void TestNntpTls::trustedFingerprint()
{
    // The user trusted this exact self-signed certificate: accepted without an authority.
    const QString selfSigned = fingerprintOf(pki("selfsigned.pem"));
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, TTlsMode::Implicit, QString("127.0.0.1:%1").arg(m_badPorts["selfsigned"]));
    TTlsConfig tls = client.Tls();
    tls.CaFile.clear();
    tls.TrustedFingerprint = selfSigned.toLower().remove(':');
    client.SetTls(tls);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    QVERIFY2(events.Events.last() == "groups done", qPrintable(events.Events.join(" | ")));

    // Then the server shows another certificate, even one the authority signed: refused,
    // naming both.
    client.Quit();
    events.Take();
    client.SetServer(QString("127.0.0.1:%1").arg(m_tlsPort));
    tls.CaFile = pki("ca.pem");
    client.SetTls(tls);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    const QString error = events.Events.last();
    QVERIFY2(error.startsWith("error The server's certificate has changed"), qPrintable(error));
    QVERIFY(error.contains(selfSigned));
    QVERIFY(error.contains(fingerprintOf(pki("server.pem"))));
}

void TestNntpTls::refusedCertificateTrustedOnce()
{
    // The program behind a front end that asks: a refused self-signed certificate is offered
    // for trust once; trusted, it is stored in the profile and the next connection takes it.
    QTemporaryDir home;
    TAppRun run(home.filePath("settings.ini"));
    TQuorvelApp& app = run.app;
    app.FormCreate({});
    TCertificateTrust trust(app.Nntp(), app.State(), app.Profiles(), app.TaskFile(), app.Logger());
    QList<TCertificateInfo> offered;
    connect(&trust, &TCertificateTrust::TrustWanted, this,
            [&offered](const TCertificateInfo& certificate) { offered << certificate; });
    TbcsNNTP& client = app.Nntp();
    TNntpEventLog events(client);
    const auto listGroups = [&](const QString& listener) {
        events.Take();
        setUp(client, TTlsMode::Implicit, QString("127.0.0.1:%1").arg(m_badPorts[listener]));
        TTlsConfig tls = client.Tls();
        tls.TrustedFingerprint = app.State().Settings.TrustedFingerprint;
        client.SetTls(tls);
        client.ListGroups();
        return events.WaitFor({"groups done", "error", "disconnected"}) ? events.Events.last()
                                                                        : QString();
    };
    QVERIFY(listGroups("selfsigned").startsWith("error "));
    QCOMPARE(offered.size(), 1);
    QCOMPARE(offered[0].Sha256, fingerprintOf(pki("selfsigned.pem")));
    QVERIFY(offered[0].Subject.contains("localhost"));

    trust.Trust(offered[0]);
    QCOMPARE(QSettings(run.store.FileName(), QSettings::IniFormat)
                 .value("Default/TrustedFingerprint")
                 .toString(),
             offered[0].Sha256);
    QCOMPARE(listGroups("selfsigned"), QStringLiteral("groups done"));
    client.Quit();
    // Another certificate is refused, naming both, and not offered.
    QVERIFY(listGroups("wronghost").startsWith("error The server's certificate has changed"));
    QCOMPARE(offered.size(), 1);
    qunsetenv("QUORVEL_HOME");
}

void TestNntpTls::serversThatDoNotSpeakTls_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QByteArray>("startTlsReply");
    const QByteArray refused = "502 no TLS here\r\n";
    QTest::newRow("closes during the handshake")
        << "drop" << int(TTlsMode::Implicit) << "error TLS handshake failed: " << refused;
    QTest::newRow("plain server on the TLS port")
        << "plain" << int(TTlsMode::Implicit) << "error TLS handshake failed: " << refused;
    QTest::newRow("refuses STARTTLS") << "plain" << int(TTlsMode::StartTls)
                                      << "error The server refused STARTTLS: 502 " << refused;
    QTest::newRow("TLS port reached without TLS")
        << "tls" << int(TTlsMode::None) << "error Timeout while connecting to " << refused;
    // Replies slipped in before the handshake must never pass for replies over TLS.
    const QString injected = "error The server sent more after its 382 reply to STARTTLS";
    QTest::newRow("injects 340 and 240 after 382")
        << "plain" << int(TTlsMode::StartTls) << injected
        << QByteArray("382 go ahead\r\n340 send\r\n240 posted\r\n");
    QTest::newRow("injects 480 after 382") << "plain" << int(TTlsMode::StartTls) << injected
                                           << QByteArray("382 go ahead\r\n480 login\r\n");
}

void TestNntpTls::serversThatDoNotSpeakTls()
{
    QFETCH(QString, server);
    QFETCH(int, mode);
    QFETCH(QString, error);
    QFETCH(QByteArray, startTlsReply);
    TFakeNntpServer fake;
    QVERIFY(fake.Start());
    fake.OnRaw("STARTTLS", startTlsReply);
    if (server == "drop")
        fake.SetDropOnConnect(true);
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, TTlsMode(mode),
          server == "tls" ? QString("127.0.0.1:%1").arg(m_tlsPort) : fake.Server());
    client.SetTimeout(2);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}, 15000));
    QVERIFY2(events.Events.last().startsWith(error), qPrintable(events.Events.last()));
    if (startTlsReply.startsWith("382"))
        QVERIFY(events.Events.last().contains(fake.Server()));
    QVERIFY(!fake.Commands().contains("LIST"));
}

void TestNntpTls::clearTextLoginIsNamed()
{
    // A login on a plain connection works, and the log says once that it went in clear text.
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, TTlsMode::None, m_inn.Server());
    TNewsArticle article;
    article.From = "Quorvel Test <test@quorvel.test>";
    article.Subject = "plain login";
    article.Newsgroups = "quorvel.test";
    article.AddBodyLine("in clear");
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    QCOMPARE(events.LogLines.filter("in clear text").size(), 1);
    QVERIFY(events.LogLines.filter("in clear text").first().contains("127.0.0.1"));
}

QTEST_GUILESS_MAIN(TestNntpTls)
#include "tst_nntptls.moc"
