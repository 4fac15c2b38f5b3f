#pragma once

#include "base/Clock.h"

#include <QString>
#include <QtGlobal>

#include <deque>

// Where a batch of uploads stands, as both front ends show it: the bytes of its files the
// server has taken, the speed over the last few seconds and the time left at that speed, and
// the file and part being posted.
struct TBatchProgressState
{
    qint64 Done = 0;
    qint64 Total = 0;
    int Percent = 0;
    qint64 BytesPerSecond = 0; // 0 until a speed is known
    qint64 SecondsLeft = -1;   // -1 while unknown
    QString File;
    qint64 Part = 0;
    qint64 Parts = 0;
};

// The arithmetic of a batch's progress: bytes taken, a moving average of the speed over the
// last SpeedWindowMs, and the time left at that speed. Counts file bytes, so the total is
// known before the first article is encoded.
class TBatchProgress
{
public:
    static constexpr quint64 SpeedWindowMs = 10000;

    explicit TBatchProgress(const TClock& clock = TClock::System());

    // A new batch of total bytes starts now.
    void Begin(qint64 total);
    // A file the batch did not count at its start (a recovery file made on the way).
    void AddTotal(qint64 bytes);
    // The server took bytes more of the batch's files.
    void Advance(qint64 bytes);
    // Bytes the server took in an earlier run, found now: they count as done, but not
    // towards the speed, which is this run's alone.
    void Recount(qint64 bytes);
    // The file and part being posted.
    void SetCurrent(const QString& file, qint64 part, qint64 parts);
    void End() { m_running = false; }
    bool Running() const { return m_running; }

    TBatchProgressState State() const;

    // "12.3 MB", "850 KB", "512 B".
    static QString BytesText(qint64 bytes);
    // "0:42", "12:05", "1:02:03"; "--:--" when unknown.
    static QString DurationText(qint64 seconds);
    // "42% 12.3 MB of 29.0 MB, 1.2 MB/s, 0:16 left": what both front ends print.
    static QString SummaryText(const TBatchProgressState& state);

private:
    struct TSample
    {
        quint64 At;
        qint64 Done;
    };
    qint64 speed(quint64 now) const;

    const TClock& m_clock;
    bool m_running = false;
    qint64 m_total = 0;
    qint64 m_done = 0;
    std::deque<TSample> m_samples;
    QString m_file;
    qint64 m_part = 0;
    qint64 m_parts = 0;
};
