// The buffered line socket: line splitting, buffer limits and their messages, flushing,
// resets treated as a disconnect.
#include "RunUntil.h"
#include "net/BufferedSocketException.h"
#include "net/LineSocket.h"
#include "net/SockError.h"
#include "net/TextClient.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <functional>
#include <sys/socket.h>

namespace {

QString messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EBufferedSocketException& e) {
        return QString::fromUtf8(e.what());
    }
    return QString();
}

// A text client connected to a peer socket in this process.
struct TPair
{
    QTcpServer Listener;
    TTextClient Client;
    QTcpSocket* Peer = nullptr;
    QList<QByteArray> Lines;

    explicit TPair(int options = lsoAutoFlushAfterWrite | lsoLineReceivedEvents,
                   TLineSocketType type = lstCRLF)
    {
        Client.SetLineOptions(options);
        Client.SetLineType(type);
        QObject::connect(&Client, &TTextClientBase::OnLineReceived,
                         [this](TLineSocketBase*, const QByteArray& line, bool) { Lines << line; });
    }

    bool Connect()
    {
        if (!Listener.listen(QHostAddress::LocalHost))
            return false;
        Client.SetAddress("127.0.0.1");
        Client.SetPort(QString::number(Listener.serverPort()));
        QSignalSpy connected(&Client, &TSockCtrl::OnConnect);
        Client.Open();
        if (!connected.wait())
            return false;
        if (!QTest::qWaitFor([this] { return Listener.hasPendingConnections(); }, GuardMs(5000)))
            return false;
        Peer = Listener.nextPendingConnection();
        return Peer != nullptr;
    }

    TLineSocket* Socket() const { return Client.LineSocket(); }
};

} // namespace

class TestBufferedSocket : public QObject
{
    Q_OBJECT

private slots:
    void lineSplitting_data();
    void lineSplitting();
    void writeLineLimit_data();
    void writeLineLimit();
    void bufferSizes();
    void blockReads();
    void directTransferRefused();
    void flushRaisesWriteBufferEmpty();
    void lineLongerThanReadBuffer();
    void resetIsADisconnect();
};

void TestBufferedSocket::lineSplitting_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QList<QByteArray>>("lines");
    QTest::addColumn<int>("heldBetween");
    using L = QList<QByteArray>;
    QTest::newRow("crlf, partial line kept")
        << int(lstCRLF) << false << QByteArray("200 hello\r\nX") << QByteArray("YZ\r\n")
        << L{"200 hello", "XYZ"} << 1;
    QTest::newRow("crlf, line ends kept")
        << int(lstCRLF) << true << QByteArray("200 hello\r\nX") << QByteArray("YZ\r\n")
        << L{"200 hello\r\n", "XYZ\r\n"} << 1;
    QTest::newRow("crlf, terminator split between reads")
        << int(lstCRLF) << false << QByteArray("abc\r") << QByteArray("\ndef\r\n")
        << L{"abc", "def"} << 4;
    QTest::newRow("crlf, a lone LF is no line end")
        << int(lstCRLF) << false << QByteArray("a\nb") << QByteArray("\r\n") << L{"a\nb"} << 3;
    QTest::newRow("lf") << int(lstLF) << false << QByteArray("one\ntwo") << QByteArray("\n")
                        << L{"one", "two"} << 3;
    QTest::newRow("cr, kept") << int(lstCR) << true << QByteArray("one\rtw") << QByteArray("o\r\r")
                              << L{"one\r", "two\r", "\r"} << 2;
    QTest::newRow("empty lines") << int(lstCRLF) << false << QByteArray("\r\n\r\n")
                                 << QByteArray(".\r\n") << L{"", "", "."} << 0;
}

void TestBufferedSocket::lineSplitting()
{
    QFETCH(int, type);
    QFETCH(bool, keep);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QList<QByteArray>, lines);
    QFETCH(int, heldBetween);
    TPair pair(lsoLineReceivedEvents | (keep ? lsoReturnLineChars : 0), TLineSocketType(type));
    QVERIFY(pair.Connect());
    QSignalSpy changed(&pair.Client, &TBufferedClientBase::OnReadBufferChange);
    pair.Peer->write(first);
    QVERIFY(changed.wait());
    QTRY_COMPARE(pair.Socket()->ReadHeld(), qint64(heldBetween));
    pair.Peer->write(second);
    QTRY_COMPARE(pair.Lines, lines);
    QCOMPARE(pair.Socket()->ReadHeld(), 0);
}

void TestBufferedSocket::writeLineLimit_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("written");
    QTest::addColumn<int>("held");
    QTest::newRow("1022 + CR LF fills 1024") << 1022 << true << 1024;
    QTest::newRow("1023 + CR LF does not fit") << 1023 << false << 0;
    QTest::newRow("empty line") << 0 << true << 2;
}

void TestBufferedSocket::writeLineLimit()
{
    QFETCH(int, length);
    QFETCH(bool, written);
    QFETCH(int, held);
    // Not connected: nothing is flushed away, the buffer shows what was taken.
    TLineSocket socket(nullptr);
    socket.SetLineOptions(lsoAddLineChars);
    QCOMPARE(socket.WriteLine(QByteArray(length, 'a')), written);
    QCOMPARE(socket.WriteHeld(), qint64(held));
    // Without lsoAddLineChars no terminator is added.
    TLineSocket bare(nullptr);
    bare.SetLineOptions(0);
    QVERIFY(bare.WriteLine(QByteArray(length, 'a')));
    QCOMPARE(bare.WriteHeld(), qint64(length));
}

void TestBufferedSocket::bufferSizes()
{
    const QString loses = "Cannot change buffer size - data will be lost.";
    TPair pair(0);
    QVERIFY(pair.Connect());
    TLineSocket* socket = pair.Socket();
    pair.Peer->write(QByteArray(200, 'r'));
    QTRY_COMPARE(socket->ReadHeld(), 200);
    QCOMPARE(messageOf([&] { socket->SetReadBufferSize(100); }), loses);
    QCOMPARE(socket->ReadBufferSize(), 1024);
    socket->SetReadBufferSize(200);
    QCOMPARE(socket->ReadBufferSize(), 200);
    QByteArray back(200, '\0');
    QCOMPARE(socket->Read(back.data(), 500), 200);
    QCOMPARE(back, QByteArray(200, 'r'));

    TLineSocket unconnected(nullptr);
    QCOMPARE(unconnected.Write(QByteArray(300, 'w').constData(), 300), 300);
    QCOMPARE(messageOf([&] { unconnected.SetWriteBufferSize(299); }), loses);
    QCOMPARE(messageOf([&] { unconnected.SetReadBufferSize(0); }), loses);
    QCOMPARE(messageOf([&] { unconnected.SetRecordSize(2000); }), loses);
    unconnected.SetWriteBufferSize(300);
    QCOMPARE(unconnected.WriteFree(), 0);
    QCOMPARE(messageOf([&] { unconnected.Write("x", 301); }),
             "Write buffer full, user did not flush");
    QCOMPARE(unconnected.Write("x", 1), 0);
    QCOMPARE(messageOf([&] { unconnected.WriteBlock("x", 1); }),
             "Block size is larger than buffer size.");
}

void TestBufferedSocket::blockReads()
{
    TPair pair(0);
    QVERIFY(pair.Connect());
    TLineSocket* socket = pair.Socket();
    char block[2048];
    QCOMPARE(messageOf([&] { socket->ReadBlock(block, 0); }),
             "Cannot read block/record - size is zero.");
    QCOMPARE(messageOf([&] { socket->ReadBlock(block, 1025); }),
             "Block size is larger than buffer size.");
    pair.Peer->write("0123456789abcdefXYZ");
    QTRY_COMPARE(socket->ReadHeld(), 19);
    QVERIFY(!socket->ReadBlock(block, 20));
    QVERIFY(socket->ReadRecord(block));
    QCOMPARE(QByteArray(block, 16), "0123456789abcdef");
    QCOMPARE(socket->Find("Z"), 3);
    QCOMPARE(socket->Find("Q"), -1);
    QByteArray line;
    QVERIFY(!socket->ReadLine(line));
    QCOMPARE(socket->ReadHeld(), 3);
}

void TestBufferedSocket::directTransferRefused()
{
    TLineSocket socket(nullptr);
    char byte = 0;
    const QString refused = "Recv or Send cannot be called on a buffered socket.";
    QCOMPARE(messageOf([&] { socket.Send("x", 1); }), refused);
    QCOMPARE(messageOf([&] { socket.Recv(&byte, 1); }), refused);
}

void TestBufferedSocket::flushRaisesWriteBufferEmpty()
{
    TPair pair(lsoAddLineChars | lsoAutoFlushAfterWrite | lsoLineReceivedEvents);
    QVERIFY(pair.Connect());
    QSignalSpy empty(&pair.Client, &TBufferedClientBase::OnWriteBufferEmpty);
    QVERIFY(pair.Socket()->WriteLine(QByteArray("HELLO")));
    QCOMPARE(empty.size(), 1);
    QCOMPARE(pair.Socket()->WriteHeld(), 0);
    // Without auto-flush the line waits in the buffer until a flush.
    pair.Socket()->SetLineOptions(lsoAddLineChars);
    QVERIFY(pair.Socket()->WriteLine(QByteArray("WORLD")));
    QCOMPARE(pair.Socket()->WriteHeld(), 7);
    QCOMPARE(empty.size(), 1);
    pair.Socket()->Flush();
    QCOMPARE(empty.size(), 2);
    QTRY_COMPARE(pair.Peer->bytesAvailable(), 14);
    QCOMPARE(pair.Peer->readAll(), "HELLO\r\nWORLD\r\n");
}

void TestBufferedSocket::lineLongerThanReadBuffer()
{
    TPair pair;
    QVERIFY(pair.Connect());
    QSignalSpy failed(&pair.Client, &TSockCtrl::OnSocketError);
    QSignalSpy full(&pair.Client, &TBufferedClientBase::OnReadBufferFull);
    pair.Peer->write("short\r\n" + QByteArray(1100, 'L') + "\r\n");
    QVERIFY(failed.wait());
    QCOMPARE(failed.first().at(1).toString(),
             "Read buffer full, user did not flush: a line received is longer than 1024 bytes");
    QCOMPARE(full.size(), 1);
    QCOMPARE(pair.Lines, QList<QByteArray>({"short"}));
    QVERIFY(!pair.Client.IsOpen());
}

void TestBufferedSocket::resetIsADisconnect()
{
    TPair pair;
    QVERIFY(pair.Connect());
    QSignalSpy closed(&pair.Client, &TSockCtrl::OnDisconnect);
    QSignalSpy failed(&pair.Client, &TSockCtrl::OnSocketError);
    // A zero linger time makes the close a reset (RST) instead of an orderly end.
    const linger reset{1, 0};
    QCOMPARE(::setsockopt(int(pair.Peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                          sizeof reset),
             0);
    pair.Peer->write("partial line without end");
    QVERIFY(pair.Peer->waitForBytesWritten(1000));
    pair.Peer->abort();
    QVERIFY(closed.wait());
    QCOMPARE(failed.size(), 0);
    QVERIFY(!pair.Client.IsOpen());
    QVERIFY(pair.Lines.isEmpty());
}

QTEST_GUILESS_MAIN(TestBufferedSocket)
#include "tst_bufferedsocket.moc"
