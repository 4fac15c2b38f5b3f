#include "cli/ProgressDisplay.h"

#include "cli/Terminal.h"

#include <algorithm>

namespace {
constexpr int BarWidth = 30;
constexpr int LabelWidth = 36;
} // namespace

TProgressDisplay::TProgressDisplay(const TTerminal& terminal) : m_terminal(terminal) {}

void TProgressDisplay::Set(int percent)
{
    percent = std::clamp(percent, 0, 100);
    // The client reports 0 when an article is through: the next one starts a bar of its own.
    if (percent == 0 || percent < m_lastShown) {
        Break();
        m_lastShown = -1;
        if (percent == 0)
            return;
    }
    if (m_terminal.ErrorIsTerminal()) {
        if (percent != m_lastShown)
            drawBar(percent);
    } else if (m_lastShown < 0 || percent / 10 > m_lastShown / 10) {
        m_terminal.Err(QStringLiteral("progress: %1%\n").arg(percent));
    }
    m_lastShown = percent;
}

void TProgressDisplay::drawBar(int percent)
{
    const int filled = percent * BarWidth / 100;
    QString label = m_label.left(LabelWidth);
    label = label.leftJustified(LabelWidth, u' ');
    m_terminal.Redraw(QStringLiteral("%1 [%2%3] %4%")
                          .arg(label, QString(filled, u'#'), QString(BarWidth - filled, u'.'),
                               QString::number(percent).rightJustified(3)));
    m_barOpen = true;
}

void TProgressDisplay::Break()
{
    if (m_barOpen)
        m_terminal.Err(QStringLiteral("\n"));
    m_barOpen = false;
}
