#pragma once

#include <QElapsedTimer>

// When a file appended record by record is next forced to disk (fdatasync): at most once per
// interval, so that a run of short records (a batch of small files: a journal line and an
// ended task for each) costs one sync per interval rather than one per record. Every record
// is written at once, so a killed process loses nothing: the kernel holds what was written.
// A power loss may cost the records of the last interval, never the file.
class TSyncPacer
{
public:
    static constexpr qint64 IntervalMs = 2000;

    // Whether the file is to be synced now: never synced yet, or not within the interval.
    bool Due() const { return !m_since.isValid() || m_since.elapsed() >= IntervalMs; }
    void Synced() { m_since.restart(); }

private:
    QElapsedTimer m_since;
};
