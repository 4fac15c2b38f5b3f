#pragma once

#include <QString>

class TTerminal;

// The progress of the article being sent: a bar redrawn in place on a terminal, plain
// lines at every tenth otherwise (logs and pipes should not fill up with redraws).
class TProgressDisplay
{
public:
    explicit TProgressDisplay(const TTerminal& terminal);

    void SetLabel(const QString& label) { m_label = label; }
    void Set(int percent);
    // Ends a bar that is being drawn, so the next message starts on a line of its own.
    void Break();

private:
    void drawBar(int percent);

    const TTerminal& m_terminal;
    QString m_label;
    int m_lastShown = -1;
    bool m_barOpen = false;
};
