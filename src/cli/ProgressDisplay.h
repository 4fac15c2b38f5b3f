#pragma once

#include "base/Clock.h"

#include <QString>

#include <optional>

class TTerminal;

// What a long run shows while it works, on a terminal only: the status line's texts as lines
// of their own and the article being sent as a bar redrawn in place, each at most a few times
// a second (a group download changes its status every ten groups). A script or a log file
// gets the results, warnings and questions, not the progress; --verbose adds the log lines.
class TProgressDisplay
{
public:
    explicit TProgressDisplay(const TTerminal& terminal, const TClock& clock = TClock::System());

    // A new text of the status line.
    void SetStatus(const QString& text);
    void Set(int percent);
    // Ends a bar that is being drawn, so the next message starts on a line of its own.
    void Break();

private:
    // Whether at least intervalMs have passed since last (or there was none); if so, last
    // becomes now.
    bool due(std::optional<quint64>& last, quint64 intervalMs) const;
    void drawBar(int percent);

    const TTerminal& m_terminal;
    const TClock& m_clock;
    const bool m_live;
    QString m_label;
    int m_lastShown = -1;
    bool m_barOpen = false;
    std::optional<quint64> m_statusAt;
    std::optional<quint64> m_barAt;
};
