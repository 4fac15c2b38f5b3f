// Every phase of a news client's conversation against a server that closes the connection,
// goes silent, answers garbage or answers an unexpected code: each case ends within the
// time-out with a message and posts nothing twice. Memory limits asserted: the megabyte
// lines of the whole matrix grow the process's peak by less than 32 MiB; a LIST of a million
// groups by less than 256 MiB, test server's copy of the list included (the names are kept,
// about 100 bytes each).
#include "FakeNntpServer.h"
#include "NntpEventLog.h"
#include "NntpFaults.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QSignalSpy>
#include <QTest>

#include <sys/resource.h>

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

qint64 peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_peakBefore = peakKiB(); }
    void faults_data();
    void faults();
    void megabyteLinesAreNotKept();
    void millionGroups();

private:
    qint64 m_peakBefore = 0;
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
    TFakeNntpServer server;
    QVERIFY(server.Start());
    QString address = server.Server();
    if (phase == "connect") {
        TFakeNntpServer gone;
        QVERIFY(gone.Start());
        address = gone.Server();
    }
    Arrange(server, phase, TFault(fault), 6); // headers and empty line: 4, body: 2

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
        QVERIFY2(!last.section(' ', 1).trimmed().isEmpty(), qPrintable(last));
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
    const qint64 grown = peakKiB() - m_peakBefore;
    QVERIFY2(grown < 32 * 1024, qPrintable(QString("peak memory grew by %1 KiB").arg(grown)));
}

void TestFaultMatrix::millionGroups()
{
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
    if (!QUORVEL_PEAK_MEANINGFUL)
        QSKIP("peak memory under AddressSanitizer is the sanitizer's, not the program's");
    const qint64 grown = peakKiB() - before;
    QVERIFY2(grown < 256 * 1024, qPrintable(QString("peak memory grew by %1 KiB").arg(grown)));
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
