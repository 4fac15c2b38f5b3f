#include "FakeClock.h"
#include "upload/BatchProgress.h"

#include <QTest>

// The batch's bytes, speed and time left, on a clock the test moves.
class TestBatchProgress : public QObject
{
    Q_OBJECT

private slots:
    void speedIsAMovingAverage();
    void stallSlowsTheSpeedDown();
    void totalGrowsAndDoneStaysWithin();
    void earlierRunCountsNotTowardsSpeed();
    void texts();
};

void TestBatchProgress::speedIsAMovingAverage()
{
    TFakeClock clock;
    TBatchProgress progress(clock);
    progress.Begin(1000000);
    QCOMPARE(progress.State().SecondsLeft, -1LL); // no speed known yet
    // 20 s at 10 KB/s, then 5 s at 50 KB/s: the last 10 s average 30 KB/s.
    for (int s = 0; s < 20; ++s) {
        clock.Ticks += 1000;
        progress.Advance(10000);
    }
    QCOMPARE(progress.State().BytesPerSecond, 10000LL);
    for (int s = 0; s < 5; ++s) {
        clock.Ticks += 1000;
        progress.Advance(50000);
    }
    const TBatchProgressState state = progress.State();
    QCOMPARE(state.Done, 450000LL);
    QCOMPARE(state.Percent, 45);
    QCOMPARE(state.BytesPerSecond, 30000LL);
    QCOMPARE(state.SecondsLeft, 19LL); // 550,000 bytes at 30,000 a second, rounded up
}

void TestBatchProgress::stallSlowsTheSpeedDown()
{
    TFakeClock clock;
    TBatchProgress progress(clock);
    progress.Begin(100000);
    clock.Ticks += 2000;
    progress.Advance(20000);
    QCOMPARE(progress.State().BytesPerSecond, 10000LL);
    clock.Ticks += 2000; // nothing taken meanwhile
    QCOMPARE(progress.State().BytesPerSecond, 5000LL);
    clock.Ticks += TBatchProgress::SpeedWindowMs;
    QCOMPARE(progress.State().BytesPerSecond, 0LL);
    QCOMPARE(progress.State().SecondsLeft, -1LL);
}

// A resumed batch finds half its bytes taken before: done, but not this run's speed.
void TestBatchProgress::earlierRunCountsNotTowardsSpeed()
{
    TFakeClock clock;
    TBatchProgress progress(clock);
    progress.Begin(1000000);
    clock.Ticks += 1000;
    progress.Recount(500000);
    progress.Advance(4000);
    clock.Ticks += 1000;
    progress.Advance(4000);
    const TBatchProgressState state = progress.State();
    QCOMPARE(state.Done, 508000LL);
    QCOMPARE(state.BytesPerSecond, 4000LL);
    QCOMPARE(state.SecondsLeft, 123LL); // 492,000 bytes at 4,000 a second
}

void TestBatchProgress::totalGrowsAndDoneStaysWithin()
{
    TFakeClock clock;
    TBatchProgress progress(clock);
    progress.Begin(1000);
    progress.AddTotal(1000); // a recovery file made on the way
    clock.Ticks += 1000;
    progress.Advance(1500);
    QCOMPARE(progress.State().Percent, 75);
    progress.Advance(5000);
    QCOMPARE(progress.State().Done, 2000LL);
    QCOMPARE(progress.State().Percent, 100);
    QCOMPARE(progress.State().SecondsLeft, 0LL);
    progress.Begin(0); // a batch of empty files
    QCOMPARE(progress.State().Percent, 0);
    QCOMPARE(progress.State().SecondsLeft, 0LL);
}

void TestBatchProgress::texts()
{
    QCOMPARE(TBatchProgress::BytesText(999), QStringLiteral("999 B"));
    QCOMPARE(TBatchProgress::BytesText(850000), QStringLiteral("850 KB"));
    QCOMPARE(TBatchProgress::BytesText(12345678), QStringLiteral("12.3 MB"));
    QCOMPARE(TBatchProgress::BytesText(4294967296LL), QStringLiteral("4295.0 MB"));
    QCOMPARE(TBatchProgress::BytesText(12345678901LL), QStringLiteral("12.3 GB"));
    QCOMPARE(TBatchProgress::DurationText(-1), QStringLiteral("--:--"));
    QCOMPARE(TBatchProgress::DurationText(42), QStringLiteral("0:42"));
    QCOMPARE(TBatchProgress::DurationText(3723), QStringLiteral("1:02:03"));
    TBatchProgressState s;
    s.Done = 12300000;
    s.Total = 29000000;
    s.Percent = 42;
    s.BytesPerSecond = 1200000;
    s.SecondsLeft = 16;
    QCOMPARE(TBatchProgress::SummaryText(s),
             QStringLiteral("42% 12.3 MB of 29.0 MB, 1.2 MB/s, 0:16 left"));
}

QTEST_GUILESS_MAIN(TestBatchProgress)
#include "tst_batchprogress.moc"
