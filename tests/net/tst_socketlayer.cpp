// The socket layer: error table and messages, opening, connecting, ports, lookups.
#include "ScriptedResolver.h"

#include "net/CustomClientSocket.h"
#include "net/SockError.h"
#include "net/StreamSocket.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

class TestSocketLayer : public QObject
{
    Q_OBJECT

private slots:
    void errorTexts_data();
    void errorTexts();
    void messages_data();
    void messages();
    void ports_data();
    void ports();
    void openRefusals();
    void connectEvents();
    void connectRefused();
    void lookupsMatchedByHandle();
};

void TestSocketLayer::errorTexts_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("text");
    QTest::newRow("no error") << 0 << "No Error";
    QTest::newRow("refused") << 10061 << "Connection refused";
    QTest::newRow("already in progress") << 10037 << "Operation, already in progress";
    QTest::newRow("host not found") << 11001 << "Host not found";
    QTest::newRow("no data") << 11004 << "Valid name, no data record of requested type";
    QTest::newRow("gap in the table") << 10072 << "Unknown Error 10072";
    QTest::newRow("far outside") << 5 << "Unknown Error 5";
}

void TestSocketLayer::errorTexts()
{
    QFETCH(int, code);
    QFETCH(QString, text);
    QCOMPARE(ESockError::ErrorText(code), text);
}

void TestSocketLayer::messages_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("no format") << QString() << 10060 << "Connection timed out";
    QTest::newRow("connecting") << ESockError::Format(20008) << 10061
                                << "Error 10061 (Connection refused) connecting";
    QTest::newRow("creating") << ESockError::Format(20009) << 10024
                              << "Error 10024 (Too many open files) creating new socket";
    QTest::newRow("text before number") << "%s after %d" << 10065 << "No Route to Host after 10065";
    QTest::newRow("unknown code") << ESockError::Format(20015) << 4242
                                  << "Error 4242 (Unknown Error 4242) sending";
    QTest::newRow("fixed text") << ESockError::Format(20020) << 10056 << "Socket Already opened";
    QTest::newRow("only a number") << "code %d" << 10061 << "code %d";
    QTest::newRow("no address") << ESockError::Format(20017) << 0 << "No address specified";
}

void TestSocketLayer::messages()
{
    QFETCH(QString, format);
    QFETCH(int, code);
    QFETCH(QString, message);
    QCOMPARE(ESockError::FormatMessage(format, code), message);
    const ESockError error = ESockError::Make(code, format);
    QCOMPARE(error.Code(), code);
    QCOMPARE(error.Message(), message);
}

void TestSocketLayer::ports_data()
{
    QTest::addColumn<QString>("port");
    QTest::addColumn<int>("number");
    QTest::newRow("digits") << "119" << 119;
    QTest::newRow("service name") << "nntp" << 119;
    QTest::newRow("unknown service") << "no-such-service-here" << 0;
    QTest::newRow("out of range") << "70000" << 0;
}

void TestSocketLayer::ports()
{
    QFETCH(QString, port);
    QFETCH(int, number);
    TCustomClientSocket control;
    control.SetPort(port);
    QCOMPARE(int(control.PortNumber()), number);
    QCOMPARE(control.Port(), port);
}

void TestSocketLayer::openRefusals()
{
    TCustomClientSocket control;
    try {
        control.Open();
        QFAIL("opened without an address");
    } catch (const ESockError& e) {
        QCOMPARE(e.Message(), "No address specified");
    }

    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost));
    control.SetAddress("127.0.0.1");
    control.SetPort(QString::number(peer.serverPort()));
    QSignalSpy connected(&control, &TSockCtrl::OnConnect);
    control.Open();
    // Refused while connecting and once connected.
    for (int round = 0; round < 2; ++round) {
        try {
            control.Open();
            QFAIL("opened twice");
        } catch (const ESockError& e) {
            QCOMPARE(e.Message(), "Socket Already opened");
        }
        if (round == 0)
            QVERIFY(connected.wait());
    }
    QVERIFY(control.IsOpen());
    control.Close();
    QVERIFY(!control.IsOpen());
    QCOMPARE(control.Socket(), nullptr);
}

void TestSocketLayer::connectEvents()
{
    QTcpServer peer;
    QVERIFY(peer.listen(QHostAddress::LocalHost));
    TCustomClientSocket control;
    control.SetAddress("127.0.0.1");
    control.SetPort(QString::number(peer.serverPort()));
    QSignalSpy connected(&control, &TSockCtrl::OnConnect);
    QSignalSpy readable(&control, &TSockCtrl::OnRead);
    QSignalSpy closed(&control, &TSockCtrl::OnDisconnect);
    control.Open();
    QVERIFY(connected.wait());
    QTRY_VERIFY(peer.hasPendingConnections());
    QTcpSocket* remote = peer.nextPendingConnection();
    remote->write("x");
    QVERIFY(readable.wait());
    char byte = 0;
    auto* socket = qobject_cast<TStreamSocket*>(control.Socket());
    QVERIFY(socket);
    QCOMPARE(socket->Recv(&byte, 1), 1);
    QCOMPARE(byte, 'x');
    remote->disconnectFromHost();
    QVERIFY(closed.wait());
    QVERIFY(!control.IsOpen());
}

void TestSocketLayer::connectRefused()
{
    quint16 port = 0;
    {
        QTcpServer gone;
        QVERIFY(gone.listen(QHostAddress::LocalHost));
        port = gone.serverPort();
    }
    TCustomClientSocket control;
    control.SetAddress("127.0.0.1");
    control.SetPort(QString::number(port));
    QSignalSpy failed(&control, &TSockCtrl::OnSocketError);
    QSignalSpy connected(&control, &TSockCtrl::OnConnect);
    control.Open();
    QVERIFY(failed.wait());
    QCOMPARE(failed.first().at(0).toInt(), 10061);
    QCOMPARE(failed.first().at(1).toString(), "Error 10061 (Connection refused) connecting");
    QCOMPARE(connected.size(), 0);
    QVERIFY(!control.IsOpen());
}

void TestSocketLayer::lookupsMatchedByHandle()
{
    TScriptedResolver resolver;
    resolver.Addresses.insert("one.example", "10.0.0.1");
    resolver.Addresses.insert("two.example", "10.0.0.2");
    TCustomClientSocket first;
    TCustomClientSocket second;
    first.SetResolver(&resolver);
    second.SetResolver(&resolver);
    QList<TAsyncHostInfo> firstDone;
    QList<TAsyncHostInfo> secondDone;
    connect(&first, &TSockCtrl::OnAsyncComplete, this,
            [&](const TAsyncHostInfo& i) { firstDone << i; });
    connect(&second, &TSockCtrl::OnAsyncComplete, this,
            [&](const TAsyncHostInfo& i) { secondDone << i; });
    const int a = first.StartHostLookup("one.example");
    const int b = second.StartHostLookup("two.example");
    const int c = first.StartHostLookup("missing.example");
    QCOMPARE(first.PendingRequests().size(), 2u);
    QTRY_COMPARE(firstDone.size() + secondDone.size(), 3);
    QCOMPARE(firstDone.size(), 2);
    QCOMPARE(firstDone.at(0).Handle, a);
    QCOMPARE(firstDone.at(0).ErrorCode, 0);
    QCOMPARE(firstDone.at(0).Address, "10.0.0.1");
    QCOMPARE(firstDone.at(1).Handle, c);
    QCOMPARE(firstDone.at(1).ErrorCode, 11001);
    QCOMPARE(ESockError::ErrorText(firstDone.at(1).ErrorCode), "Host not found");
    QCOMPARE(secondDone.size(), 1);
    QCOMPARE(secondDone.at(0).Handle, b);
    QCOMPARE(secondDone.at(0).Address, "10.0.0.2");
    QVERIFY(first.PendingRequests().empty());

    // The system's lookup: a name that cannot exist fails with a table code.
    TCustomClientSocket system;
    QList<TAsyncHostInfo> done;
    connect(&system, &TSockCtrl::OnAsyncComplete, this,
            [&](const TAsyncHostInfo& i) { done << i; });
    system.StartHostLookup("no-such-host.invalid");
    system.StartHostLookup("localhost");
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 20000);
    for (const TAsyncHostInfo& info : done) {
        if (info.Address.isEmpty())
            QVERIFY(info.ErrorCode == 11001 || info.ErrorCode == 11003);
        else
            QCOMPARE(info.Address, "127.0.0.1");
    }
}

QTEST_GUILESS_MAIN(TestSocketLayer)
#include "tst_socketlayer.moc"
