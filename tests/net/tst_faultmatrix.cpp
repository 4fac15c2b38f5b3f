// Every phase of a news client's conversation against a server that closes the connection,
// goes silent, answers garbage or answers an unexpected code: each case ends within the
// time-out with a message, posts nothing twice, and never grows the process much.
#include "FakeNntpServer.h"
#include "NntpEventLog.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QTest>

#include <sys/resource.h>

namespace {

using TList = QList<QByteArray>;

const QByteArray MegabyteLine(1 << 20, 'x'); // and no line end

qint64 peakKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// How the server misbehaves at one phase.
enum class TFault
{
    Close,
    Silent,
    NotDigits,
    Nul,
    Megabyte,
    Unexpected,
};

const char* const FaultNames[] = {"closes",
                                  "goes silent",
                                  "answers non-digits",
                                  "answers a NUL",
                                  "answers 1 MB without a line end",
                                  "answers an unexpected code"};

// The reply (or raw bytes) a fault sends instead of the right one.
TFakeNntpServer::TRule faultRule(const QByteArray& command, TFault fault, const QByteArray& code)
{
    TFakeNntpServer::TRule rule;
    rule.Command = command;
    rule.Once = true;
    switch (fault) {
    case TFault::Close:
        rule.Action = TFakeNntpServer::TAction::Drop;
        break;
    case TFault::Silent:
        rule.Action = TFakeNntpServer::TAction::Stall;
        break;
    case TFault::NotDigits:
        rule.Lines = {"hello there"};
        break;
    case TFault::Nul:
        rule.Action = TFakeNntpServer::TAction::Raw;
        rule.Raw = QByteArray("2") + '\0' + "00 ok\r\n";
        break;
    case TFault::Megabyte:
        rule.Action = TFakeNntpServer::TAction::Raw;
        rule.Raw = MegabyteLine;
        break;
    case TFault::Unexpected:
        rule.Lines = {code};
        break;
    }
    return rule;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_peakBefore = peakKiB(); }
    void faults_data();
    void faults();
    void cleanupTestCase();

private:
    qint64 m_peakBefore = 0;
};

void TestFaultMatrix::faults_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<int>("fault");
    const QStringList phases = {"connect",   "greeting", "user", "pass", "list",
                                "newgroups", "post",     "body", "dot",  "240"};
    for (const QString& phase : phases) {
        for (int f = 0; f <= int(TFault::Unexpected); ++f) {
            // Nothing listens: there is nobody to answer anything.
            if (phase == "connect" && TFault(f) != TFault::Close)
                continue;
            // While the article goes out the server only listens: it can close or stall.
            if ((phase == "body" || phase == "dot") && f > int(TFault::Silent))
                continue;
            QTest::newRow(qPrintable(phase + ": " + FaultNames[f])) << phase << f;
        }
    }
}

void TestFaultMatrix::faults()
{
    QFETCH(QString, phase);
    QFETCH(int, fault);
    const TFault how = TFault(fault);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    QString address = server.Server();
    if (phase == "connect") {
        TFakeNntpServer gone;
        QVERIFY(gone.Start());
        address = gone.Server();
    }
    if (phase == "greeting") {
        if (how == TFault::Close)
            server.SetDropOnConnect(true);
        else if (how == TFault::Silent)
            server.SetRawGreeting({});
        else if (how == TFault::Megabyte)
            server.SetRawGreeting(MegabyteLine);
        else if (how == TFault::Nul)
            server.SetRawGreeting(QByteArray("2") + '\0' + "00 ready\r\n");
        else
            server.SetGreeting(how == TFault::NotDigits ? "good day" : "502 go away");
    }
    const QByteArray commands[] = {"AUTHINFO USER*", "AUTHINFO PASS*", "LIST", "NEWGROUPS*",
                                   "POST"};
    const QStringList commandPhases = {"user", "pass", "list", "newgroups", "post"};
    if (const qsizetype at = commandPhases.indexOf(phase); at >= 0)
        server.Add(faultRule(commands[at], how, phase == "post" ? "240 what article" : "299 hm"));
    if (phase == "user" || phase == "pass")
        server.On("LIST", {"480 login first"}, true);
    server.On("AUTHINFO USER*", {"381 more"}).On("AUTHINFO PASS*", {"281 in"});
    server.On("LIST", {"215 list", "alt.test 1 1 y", "."});
    server.On("NEWGROUPS*", {"231 new", "."});

    TFakeNntpServer::TRule post;
    post.Command = "POST";
    post.Lines = {"340 go ahead"};
    post.TakesArticle = true;
    post.Result = {"240 ok"};
    if (phase == "body" || phase == "dot") {
        const int lines = phase == "body" ? 3 : 6; // headers and empty line: 4, body: 2
        (how == TFault::Close ? post.DropAfterLines : post.StallAfterLines) = lines;
    }
    if (phase == "240") {
        post.Result = faultRule("", how, "299 what").Lines;
        if (how == TFault::Close)
            post.DropAfterArticle = true;
        else if (how == TFault::Silent)
            post.Result.clear();
        else if (how == TFault::Nul)
            post.Result = {QByteArray("2") + '\0' + "40 ok"};
        else if (how == TFault::Megabyte)
            post.Result = {MegabyteLine + MegabyteLine};
    }
    server.Add(post);

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

void TestFaultMatrix::cleanupTestCase()
{
    // Megabyte lines at every phase: the process grew by less than a fixed 32 MiB.
    const qint64 grown = peakKiB() - m_peakBefore;
    QVERIFY2(grown < 32 * 1024, qPrintable(QString("peak memory grew by %1 KiB").arg(grown)));
}

QTEST_GUILESS_MAIN(TestFaultMatrix)
#include "tst_faultmatrix.moc"
