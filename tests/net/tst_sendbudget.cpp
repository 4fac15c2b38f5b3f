// The speed limit: several clients sharing one budget keep to it over a minute, and a real
// news client posting under it pauses and still sends the whole article.
#include "FakeClock.h"
#include "FakeNntpServer.h"
#include "NntpEventLog.h"

#include "article/NewsArticle.h"
#include "net/SendBudget.h"
#include "net/bcsNNTP.h"

#include <QTest>

// Four clients asking for chunks of different sizes as the clock moves in small uneven
// steps; a refused client asks again after the wait it was given. Returns the bytes sent.
static qint64 drive(TSendBudget& budget, TFakeClock& clock, quint64 ms)
{
    const qint64 chunks[4] = {500, 4096, 16384, 65536};
    quint64 resumeAt[4] = {};
    qint64 total = 0;
    for (const quint64 end = clock.Ticks + ms; clock.Ticks < end;
         clock.Ticks += 1 + clock.Ticks % 7) {
        for (int c = 0; c < 4; ++c) {
            const qint64 allowed = clock.Ticks < resumeAt[c] ? 0 : budget.Allowed(chunks[c]);
            if (allowed == 0 && clock.Ticks >= resumeAt[c])
                resumeAt[c] = clock.Ticks + budget.WaitMs();
            budget.Spent(allowed);
            total += allowed;
        }
    }
    return total;
}

class TestSendBudget : public QObject
{
    Q_OBJECT

private slots:
    void sharedLimitHolds();
    void postUnderLimit();
};

void TestSendBudget::sharedLimitHolds()
{
    TFakeClock clock;
    TSendBudget budget(clock);
    QCOMPARE(budget.Allowed(1 << 30), 1 << 30); // no limit
    QCOMPARE(budget.WaitMs(), 0);
    const qint64 limit = 100 * 1024;
    budget.SetLimit(limit);
    const qint64 minute = drive(budget, clock, 60'000);
    QVERIFY2(qAbs(minute - 60 * limit) <= 60 * limit / 20, qPrintable(QString::number(minute)));
    // A lower limit takes effect at once.
    budget.SetLimit(limit / 4);
    const qint64 lower = drive(budget, clock, 20'000);
    QVERIFY2(qAbs(lower - 5 * limit) <= 5 * limit / 20, qPrintable(QString::number(lower)));
}

void TestSendBudget::postUnderLimit()
{
    // 4 KB/s and an article of about 8 KB: half of it waits for the budget, in pauses longer
    // than the (shortened) post time-out, which must not take them for a stalled write.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TSendBudget budget(TClock::System());
    budget.SetLimit(4 * 1024);
    TbcsNNTP main;
    main.SetServer(server.Server());
    main.SetPostTimeout(1);
    main.SetSecondLength(100);
    main.SetSendBudget(&budget);
    TbcsNNTP client; // a further connection shares the budget through the setup
    client.TakeSetup(main);
    TNntpEventLog events(client);
    TNewsArticle article;
    article.Newsgroups = "alt.test";
    QByteArray expected = "Newsgroups: alt.test\r\n";
    for (int i = 0; i < 100; ++i) {
        article.BodyLines << QString("%1 ").arg(i, 3) + QString(76, QChar('a' + i % 26));
        expected += "\r\n" + article.BodyLines.last().toUtf8();
    }
    client.SetArticle(&article);
    client.PostComposed();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QCOMPARE(events.Events.last(), "posted");
    QCOMPARE(server.Articles(), QList<QByteArray>({expected}));
    QVERIFY(budget.Refusals() > 0);
}

QTEST_GUILESS_MAIN(TestSendBudget)
#include "tst_sendbudget.moc"
