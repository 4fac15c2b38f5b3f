// Every phase of a news client's conversation against a server that closes the connection,
// goes silent, answers garbage or answers an unexpected code: each case ends within the
// time-out with a message and posts nothing twice. Memory limits asserted: every megabyte
// line of the matrix, five times over, grows the process's peak by less than 32 MiB (40 MiB
// of such lines arrive); a LIST of a million groups by less than 256 MiB, test server's copy
// of the list included (the names are kept, about 100 bytes each).
#include "FakeNntpServer.h"
#include "NntpEventLog.h"
#include "NntpFaults.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

using namespace NntpFaults;

// Under AddressSanitizer the peak holds its shadow memory and the quarantine of freed
// blocks, not what the program keeps: the limits are checked by the plain build only.
#if defined(__SANITIZE_ADDRESS__)
#define QUORVEL_PEAK_MEANINGFUL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORVEL_PEAK_MEANINGFUL 0
#endif
#endif
#ifndef QUORVEL_PEAK_MEANINGFUL
#define QUORVEL_PEAK_MEANINGFUL 1
#endif

// The peak resident size is measured from here: Linux resets it through clear_refs (the
// peak of getrusage() would also keep that of any thread that has ended).
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// The peak resident size since the last reset.
qint64 peakKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The peak's growth since a reset, or a reason it cannot be told.
qint64 peakGrowthKiB(qint64 before)
{
    const qint64 peak = peakKiB();
    return peak < 0 || before < 0 ? -1 : peak - before;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void faults_data();
    void faults();
    void megabyteLinesAreNotKept();
    void millionGroups();

private:
    // One row of the matrix: the client against a server with that fault at that phase.
    static void runFault(const QString& phase, TFault fault);
};

void TestFaultMatrix::faults_data()
{
    QStringList phases = AllPhases;
    phases.removeOne("quit"); // the client alone has nothing after its answer
    AddRows(phases);
}

void TestFaultMatrix::faults()
{
    QFETCH(QString, phase);
    QFETCH(int, fault);
    runFault(phase, TFault(fault));
}

void TestFaultMatrix::runFault(const QString& phase, TFault fault)
{
    TFakeNntpServer server;
    QVERIFY(server.Start());
    QString address = server.Server();
    if (phase == "connect") {
        TFakeNntpServer gone;
        QVERIFY(gone.Start());
        address = gone.Server();
    }
    Arrange(server, phase, fault, 6); // headers and empty line: 4, body: 2

    TbcsNNTP client;
    TNntpEventLog events(client);
    TNewsArticle article;
    article.HeaderLines = {"From: me@example.com", "Subject: matrix"};
    article.Subject = "matrix";
    article.Newsgroups = "alt.test";
    article.BodyLines = {"one", "two"};
    client.SetArticle(&article);
    client.SetServer(address);
    client.SetSecondLength(40); // a time-out "second" lasts 40 ms
    client.SetTimeout(5);
    client.SetPostTimeout(5);
    client.SetAuthenticate(true);
    client.SetUserName("user");
    client.SetPassword("secret");
    if (phase == "newgroups")
        client.NewGroups("250101 000000");
    else if (QStringList{"post", "body", "dot", "240"}.contains(phase))
        client.PostComposed();
    else
        client.ListGroups();

    // Within the time-out (5 x 40 ms, plus the fixed allowances), a failure with a message.
    const QStringList ends = {"error", "post failed", "disconnected", "groups done", "posted"};
    QVERIFY2(events.WaitFor(ends, 5000), qPrintable(events.Events.join(" | ")));
    const QString last = events.Events.last();
    QVERIFY2(!last.startsWith("groups done") && last != "posted",
             qPrintable("reported success: " + events.Events.join(" | ")));
    if (last.startsWith("error ") || last.startsWith("post failed "))
        QVERIFY2(last.contains(FaultPhrase(phase, fault)), qPrintable(last));
    QVERIFY(server.Articles().size() <= 1);

    // The client is usable at once for the next operation.
    TFakeNntpServer good;
    QVERIFY(good.Start());
    good.On("LIST", {"215 list", "alt.test 1 1 y", "."});
    client.SetServer(good.Server());
    events.Take();
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error"}, 5000));
    QCOMPARE(events.Events.last(), "groups done");
}

void TestFaultMatrix::megabyteLinesAreNotKept()
{
    if (!QUORVEL_PEAK_MEANINGFUL)
        QSKIP("peak memory under AddressSanitizer is the sanitizer's, not the program's");
    if (!resetPeak())
        QSKIP("this kernel does not let the peak memory be reset (/proc/self/clear_refs)");
    const qint64 before = peakKiB();
    for (int round = 0; round < 5; ++round)
        for (const QString& phase : AllPhases)
            if (phase != "quit" && Applies(phase, TFault::Megabyte)) {
                runFault(phase, TFault::Megabyte);
                if (QTest::currentTestFailed())
                    return;
            }
    const qint64 grown = peakGrowthKiB(before);
    QVERIFY2(grown >= 0 && grown < 32 * 1024,
             qPrintable(QString("peak memory grew by %1 KiB").arg(grown)));
}

void TestFaultMatrix::millionGroups()
{
    const bool measured = QUORVEL_PEAK_MEANINGFUL && resetPeak();
    const qint64 before = peakKiB();
    const int count = 1000000;
    QByteArray list = "215 list follows\r\n";
    list.reserve(count * 32);
    for (int i = 0; i < count; ++i)
        list += "alt.binaries.group" + QByteArray::number(i) + " 1 1 y\r\n";
    list += ".\r\n";
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnRaw("LIST", list);
    list.clear();
    list.squeeze();
    TbcsNNTP client; // no event log: it would keep a second copy of every name
    QSignalSpy done(&client, &TbcsNNTP::OnGroupsDone);
    QSignalSpy failed(&client, &TbcsNNTP::OnError);
    client.SetServer(server.Server());
    client.SetTimeout(30);
    client.ListGroups();
    QTRY_VERIFY_WITH_TIMEOUT(done.size() + failed.size() > 0, 60000);
    QCOMPARE(failed.size(), 0);
    QCOMPARE(client.Groups().size(), count);
    if (!measured)
        QSKIP("peak memory is the sanitizer's, or this kernel cannot reset it");
    const qint64 grown = peakGrowthKiB(before);
    QVERIFY2(grown >= 0 && grown < 256 * 1024,
             qPrintable(QString("peak memory grew by %1 KiB").arg(grown)));
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
