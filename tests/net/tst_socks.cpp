// The news client through a SOCKS5 proxy: microsocks in front of INN for plain NNTP, TLS from
// the first byte and STARTTLS, with and without a login; the scripted server playing a
// proxy that answers wrongly, refuses, splits its replies or closes half way.
#include "FakeNntpServer.h"
#include "InnServer.h"
#include "NntpEventLog.h"
#include "NntpReader.h"
#include "RunUntil.h"
#include "SocksServer.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QTemporaryDir>
#include <QTest>

namespace {

TSocksProxy proxyAt(quint16 port, const QString& user = QString(),
                    const QString& password = QString())
{
    return {"127.0.0.1", port, user, password};
}

void fillArticle(TNewsArticle& article, const QString& subject)
{
    article.From = "Quorvel Test <test@quorvel.test>";
    article.Subject = subject;
    article.Newsgroups = "quorvel.test";
    for (int i = 0; i < 2000; ++i)
        article.AddBodyLine(QString("line %1 %2").arg(i).arg(QString(60, QChar('a' + i % 26))));
}

} // namespace

class TestSocks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void postThroughProxy_data();
    void postThroughProxy();
    void refusedLoginNamesProxy();
    void hostileProxy_data();
    void hostileProxy();
    void splitRepliesThenPost_data();
    void splitRepliesThenPost();

private:
    QTemporaryDir m_pki;
    TInnServer m_inn;
    quint16 m_tlsPort = 0;
    TSocksServer m_open;  // no login
    TSocksServer m_login; // alice / s3cret
};

void TestSocks::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QUORVEL_REQUIRE_MICROSOCKS();
    QString error;
    m_tlsPort = m_inn.StartWithTls(m_pki.path(), "poster:s3cret", &error);
    QVERIFY2(m_tlsPort, qPrintable(error));
    QVERIFY2(m_open.Start(QString(), QString(), &error), qPrintable(error));
    QVERIFY2(m_login.Start("alice", "s3cret", &error), qPrintable(error));
}

void TestSocks::cleanupTestCase()
{
    m_open.Stop();
    m_login.Stop();
    m_inn.Stop();
}

void TestSocks::postThroughProxy_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("login");
    QTest::newRow("plain, name resolved by the proxy")
        << int(TTlsMode::None) << "localhost" << false;
    QTest::newRow("plain, proxy login") << int(TTlsMode::None) << "127.0.0.1" << true;
    QTest::newRow("tls, certificate of the server's name")
        << int(TTlsMode::Implicit) << "localhost" << true;
    QTest::newRow("starttls") << int(TTlsMode::StartTls) << "localhost" << false;
}

void TestSocks::postThroughProxy()
{
    QFETCH(int, mode);
    QFETCH(QString, host);
    QFETCH(bool, login);
    TSocksServer& proxy = login ? m_login : m_open;
    const quint16 port = TTlsMode(mode) == TTlsMode::Implicit ? m_tlsPort : m_inn.Port();
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.SetTls({TTlsMode(mode), m_pki.filePath("ca.pem"), QString()});
    client.SetServer(host + ':' + QString::number(port));
    client.SetSocksProxy(login ? proxyAt(proxy.Port(), "alice", "s3cret") : proxyAt(proxy.Port()));
    client.SetTimeout(10);
    client.SetAuthenticate(true);
    client.SetUserName("poster");
    client.SetPassword("s3cret");
    const QString subject = "through SOCKS5: " + QString(QTest::currentDataTag());
    TNewsArticle article;
    fillArticle(article, subject);
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}, 30000));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    // The proxy made the connection, to the name it was given.
    const QByteArray destination = (host + ':' + QString::number(port)).toUtf8();
    QVERIFY2(RunUntil([&] { return proxy.Log().contains("connected to " + destination); }),
             proxy.Log().constData());
    if (TTlsMode(mode) != TTlsMode::None)
        QVERIFY(!events.LogLines.filter("TLS: TLSv1.").isEmpty());

    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    const auto found = std::find_if(articles.begin(), articles.end(), [&](const auto& a) {
        return a.Header("Subject") == subject.toUtf8();
    });
    QVERIFY(found != articles.end());
    QCOMPARE(found->Body.size(), 2000);
}

void TestSocks::refusedLoginNamesProxy()
{
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.SetServer(m_inn.Server());
    client.SetSocksProxy(proxyAt(m_login.Port(), "alice", "wrong"));
    client.SetTimeout(10);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    const QString expected =
        QString("The SOCKS5 proxy 127.0.0.1:%1 refused the login for alice").arg(m_login.Port());
    QVERIFY2(events.Events.last().contains(expected), qPrintable(events.Events.join(" | ")));
}

void TestSocks::hostileProxy_data()
{
    QTest::addColumn<QByteArrayList>("replies");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QString>("phrase");
    const QByteArray connected("\x05\x00", 2);
    QTest::newRow("wrong version")
        << QByteArrayList{QByteArray("\x04\x5a", 2)} << false
        << "The SOCKS5 proxy %1 answered as no SOCKS5 proxy does (version byte 4)";
    QTest::newRow("no acceptable method")
        << QByteArrayList{QByteArray("\x05\xff", 2)} << false
        << "The SOCKS5 proxy %1 offers none of the login methods we speak";
    QTest::newRow("connect refused")
        << QByteArrayList{connected, QByteArray("\x05\x05\x00\x01\0\0\0\0\0\0", 10)} << false
        << "The SOCKS5 proxy %1 could not connect to news.example.invalid:119: connection "
           "refused (reply 5)";
    QTest::newRow("closed mid-reply")
        << QByteArrayList{connected, QByteArray("\x05\x00\x00", 3)} << true
        << "The SOCKS5 proxy %1 closed the connection before it connected to "
           "news.example.invalid:119";
    QTest::newRow("closed before choosing")
        << QByteArrayList{QByteArray("\x05", 1)} << true
        << "The SOCKS5 proxy %1 closed the connection before it chose a login method";
    QTest::newRow("unknown address type")
        << QByteArrayList{connected, QByteArray("\x05\x00\x00\x09", 4)} << false
        << "The SOCKS5 proxy %1 answered the connect with an unknown address type 9";
    QTest::newRow("stalls in the connect reply")
        << QByteArrayList{connected, QByteArray("\x05\x00", 2)} << false
        << "Timeout while connecting to news.example.invalid through the SOCKS5 proxy %1";
}

void TestSocks::hostileProxy()
{
    QFETCH(QByteArrayList, replies);
    QFETCH(bool, closeAfter);
    QFETCH(QString, phrase);
    TFakeNntpServer fake;
    fake.SetProxyReplies(0, replies, closeAfter);
    fake.SetRawGreeting(QByteArray()); // a proxy that stalls sends nothing more
    QVERIFY(fake.Start());
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.SetServer("news.example.invalid");
    client.SetSocksProxy(proxyAt(fake.Port()));
    client.SetTimeout(2);
    client.SetSecondLength(100);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    const QString expected = phrase.arg("127.0.0.1:" + QString::number(fake.Port()));
    QVERIFY2(events.Events.last().contains(expected), qPrintable(events.Events.join(" | ")));
    QVERIFY(fake.Commands().isEmpty());
}

void TestSocks::splitRepliesThenPost_data()
{
    // The server as the client is given it, and how the CONNECT names it to the proxy.
    QTest::addColumn<QString>("server");
    QTest::addColumn<QByteArray>("target");
    QTest::newRow("host name") << "news.example.invalid"
                               << char(3) + (char(20) + QByteArray("news.example.invalid"));
    QTest::newRow("IPv4 address") << "192.0.2.7:563" << QByteArray("\x01\xc0\x00\x02\x07", 5);
    QTest::newRow("IPv6 address") << "[2001:db8::1]"
                                  << QByteArray("\x04\x20\x01\x0d\xb8", 5) + QByteArray(11, 0) +
                                         char(1);
}

void TestSocks::splitRepliesThenPost()
{
    QFETCH(QString, server);
    QFETCH(QByteArray, target);
    // Every byte of the proxy's replies in a read of its own, the reply naming the bound
    // address by name; the greeting follows the last at once.
    const QByteArray replies = QByteArray("\x05\x00", 2) +
                               QByteArray("\x05\x00\x00\x03\x05proxy", 10) +
                               QByteArray("\x04\x38", 2);
    QByteArrayList slices;
    for (const char byte : replies)
        slices << QByteArray(1, byte);
    const quint16 port = server.endsWith(":563") ? 563 : 119;
    const QByteArray request = QByteArray("\x05\x01\x00", 3) + QByteArray("\x05\x01\x00", 3) +
                               target + char(port >> 8) + char(port & 0xFF);
    TFakeNntpServer fake;
    fake.SetProxyReplies(int(request.size()), slices);
    fake.OnPost();
    QVERIFY(fake.Start());
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.SetServer(server);
    client.SetSocksProxy(proxyAt(fake.Port()));
    client.SetTimeout(10);
    TNewsArticle article;
    fillArticle(article, "split replies");
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    QCOMPARE(fake.ProxyRequest(), request);
    QCOMPARE(fake.Articles().size(), 1);
}

QTEST_MAIN(TestSocks)
#include "tst_socks.moc"
