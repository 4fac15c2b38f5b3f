#pragma once

#include "base/Clock.h"
#include "upload/BatchProgress.h"

#include <QString>

#include <optional>

class TTerminal;

// What a long run shows while it works, on a terminal only: the status line's texts as lines
// of their own and the article being sent as a bar redrawn in place, each at most a few times
// a second (a group download changes its status every ten groups). Once a batch of uploads
// reports its progress, one line takes the place of both: the batch's per cent, bytes, speed
// and time left, and the file and part being posted, redrawn in place. A script or a log
// file gets the results, warnings and questions, not the progress; --verbose adds the log
// lines.
class TProgressDisplay
{
public:
    explicit TProgressDisplay(const TTerminal& terminal, const TClock& clock = TClock::System());

    // A new text of the status line.
    void SetStatus(const QString& text);
    void Set(int percent);
    // Where the batch of uploads stands now.
    void SetBatch(const TBatchProgressState& state);
    // Ends a bar that is being drawn, so the next message starts on a line of its own.
    void Break();

private:
    // Whether at least intervalMs have passed since last (or there was none); if so, last
    // becomes now.
    bool due(std::optional<quint64>& last, quint64 intervalMs) const;
    void drawBar(int percent);
    void drawBatch();

    const TTerminal& m_terminal;
    const TClock& m_clock;
    const bool m_live;
    QString m_label;
    int m_lastShown = -1;
    bool m_barOpen = false;
    std::optional<quint64> m_statusAt;
    std::optional<quint64> m_barAt;
    std::optional<TBatchProgressState> m_batch;
    int m_partPercent = 0;
    qsizetype m_drawnWidth = 0; // of the line last drawn in place, to blank what it leaves
};
