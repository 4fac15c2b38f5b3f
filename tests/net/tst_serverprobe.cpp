// A server's test as the window's Test button and "quorvel-cli server test" run it: against
// INN (plain, STARTTLS, TLS from the first byte, with its login) and against the fake server
// for the answers INN does not give on demand.
#include "FakeNntpServer.h"
#include "InnServer.h"
#include "RunUntil.h"

#include "net/ServerProbe.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

TProbeResult probe(const TServerEntry& server)
{
    TServerProbe probe;
    QSignalSpy finished(&probe, &TServerProbe::Finished);
    probe.Start(server, 10);
    RunUntil([&] { return finished.count() > 0; }, GuardMs(20000));
    return finished.isEmpty() ? TProbeResult{} : finished.first().first().value<TProbeResult>();
}

TServerEntry entryFor(const QString& address)
{
    TServerEntry e;
    e.Name = "test";
    e.SetAddress(address);
    return e;
}

} // namespace

Q_DECLARE_METATYPE(TProbeResult)

class TestServerProbe : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void innServer_data();
    void innServer();
    void fakeServer_data();
    void fakeServer();

private:
    QTemporaryDir m_pki;
    TInnServer m_inn;
    quint16 m_tlsPort = 0;
};

void TestServerProbe::initTestCase()
{
    qRegisterMetaType<TProbeResult>();
    QUORVEL_REQUIRE_INN();
    QString error;
    m_tlsPort = m_inn.StartWithTls(m_pki.path(), "poster:s3cret", &error);
    QVERIFY2(m_tlsPort, qPrintable(error));
}

void TestServerProbe::cleanupTestCase()
{
    m_inn.Stop();
}

void TestServerProbe::innServer_data()
{
    QTest::addColumn<QString>("security");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("passes");
    QTest::addColumn<bool>("tls");
    QTest::newRow("plain with login") << "none"
                                      << "s3cret" << true << false;
    QTest::newRow("starttls") << "starttls"
                              << "s3cret" << true << true;
    QTest::newRow("tls from the first byte") << "tls"
                                             << "s3cret" << true << true;
    QTest::newRow("wrong password") << "tls"
                                    << "wrong" << false << true;
}

void TestServerProbe::innServer()
{
    QFETCH(QString, security);
    QFETCH(QString, password);
    QFETCH(bool, passes);
    QFETCH(bool, tls);
    const quint16 port = security == "tls" ? m_tlsPort : m_inn.Port();
    TServerEntry e = entryFor("127.0.0.1:" + QString::number(port));
    e.Security = security;
    e.TrustedAuthorities = m_pki.filePath("ca.pem");
    e.LoginRequired = true;
    e.UserID = "poster";
    e.Password = password;
    const TProbeResult r = probe(e);
    const QString shown = r.Lines().join(" | ");
    QCOMPARE(r.Passed(), passes);
    QVERIFY2(r.Greeting.startsWith("200 ") || r.Greeting.startsWith("201 "), qPrintable(shown));
    QCOMPARE(r.Tls.startsWith("TLSv1."), tls);
    QCOMPARE(r.LoggedIn, passes);
    if (passes) {
        // INN lists POST once the login is accepted.
        QVERIFY2(r.PostingAllowed.value_or(false), qPrintable(shown));
        QCOMPARE(r.PostingReason, QStringLiteral("CAPABILITIES lists POST"));
    } else {
        QVERIFY2(r.Error.startsWith("481 "), qPrintable(shown));
    }
}

void TestServerProbe::fakeServer_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QList<QByteArray>>("capabilities");
    QTest::addColumn<QList<QByteArray>>("pass"); // the reply to AUTHINFO PASS; empty: no login
    QTest::addColumn<QString>("posting");        // "yes", "no" or "" (unknown)
    QTest::addColumn<QString>("error");          // what the failure starts with; "" passes
    const QList<QByteArray> withPost{"101 list", "VERSION 2", "READER", "POST", "."};
    const QList<QByteArray> noPost{"101 list", "VERSION 2", "READER", "."};
    QTest::newRow("201 greeting, no capabilities")
        << QByteArray("201 no posting") << QList<QByteArray>{"500 What?"} << QList<QByteArray>{}
        << "no"
        << "";
    QTest::newRow("200 without POST listed")
        << QByteArray("200 ok") << noPost << QList<QByteArray>{} << "no"
        << "";
    QTest::newRow("login accepted, POST listed")
        << QByteArray("200 ok") << withPost << QList<QByteArray>{"281 ok"} << "yes"
        << "";
    QTest::newRow("login refused")
        << QByteArray("200 ok") << withPost << QList<QByteArray>{"481 bad password"} << "yes"
        << "481 bad password";
    QTest::newRow("login asked for, none set")
        << QByteArray("200 ok") << QList<QByteArray>{"480 login first"} << QList<QByteArray>{}
        << "yes"
        << "480 login first";
    QTest::newRow("502 greeting") << QByteArray("502 go away") << withPost << QList<QByteArray>{}
                                  << ""
                                  << "502 go away";
}

void TestServerProbe::fakeServer()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QList<QByteArray>, capabilities);
    QFETCH(QList<QByteArray>, pass);
    QFETCH(QString, posting);
    QFETCH(QString, error);
    TFakeNntpServer server;
    server.SetGreeting(greeting);
    server.On("CAPABILITIES", capabilities);
    server.On("AUTHINFO USER*", {"381 more"});
    if (!pass.isEmpty())
        server.On("AUTHINFO PASS*", pass);
    QVERIFY(server.Start());
    TServerEntry e = entryFor(server.Server());
    e.LoginRequired = !pass.isEmpty();
    e.UserID = "me";
    e.Password = "pw";
    const TProbeResult r = probe(e);
    const QString shown = r.Lines().join(" | ");
    QVERIFY2(error.isEmpty() ? r.Error.isEmpty() : r.Error.startsWith(error), qPrintable(shown));
    QCOMPARE(r.Passed(), error.isEmpty());
    QCOMPARE(r.Greeting, QString::fromLatin1(greeting));
    QCOMPARE(r.PostingAllowed.has_value(), !posting.isEmpty());
    if (r.PostingAllowed)
        QCOMPARE(*r.PostingAllowed, posting == "yes");
    QCOMPARE(r.LoggedIn, pass.value(0).startsWith("281"));
}

QTEST_GUILESS_MAIN(TestServerProbe)
#include "tst_serverprobe.moc"
