#include "cli/ProgressDisplay.h"

#include "cli/Terminal.h"
#include "codec/LocalFile.h"

#include <QFileInfo>

#include <algorithm>

namespace {
constexpr int BarWidth = 30;
constexpr int LabelWidth = 36;
// The batch's line fits a terminal of 80 columns.
constexpr int LineWidth = 79;
// At most four status lines and ten bar redraws a second.
constexpr quint64 StatusIntervalMs = 250;
constexpr quint64 BarIntervalMs = 100;
} // namespace

TProgressDisplay::TProgressDisplay(const TTerminal& terminal, const TClock& clock)
    : m_terminal(terminal), m_clock(clock), m_live(terminal.ErrorIsTerminal())
{
}

bool TProgressDisplay::due(std::optional<quint64>& last, quint64 intervalMs) const
{
    const quint64 now = m_clock.TickCount();
    if (last && now - *last < intervalMs)
        return false;
    last = now;
    return true;
}

void TProgressDisplay::SetStatus(const QString& text)
{
    m_label = text;
    // The batch's line says where the upload stands; the status texts would push it away.
    if (!m_live || text.isEmpty() || m_batch)
        return;
    // A text that comes too soon after the last one is passed over; the one after it will
    // tell more anyway.
    if (!due(m_statusAt, StatusIntervalMs))
        return;
    Break();
    m_terminal.Err(text + u'\n');
}

void TProgressDisplay::Set(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (m_batch) {
        m_partPercent = percent;
        // 0 comes when a part is through: the line shows the part that was taken until the
        // next one moves.
        if (m_live && percent > 0 && due(m_barAt, BarIntervalMs))
            drawBatch();
        return;
    }
    // The client reports 0 when an article is through: the next one starts a bar of its own.
    if (percent == 0 || percent < m_lastShown) {
        Break();
        m_lastShown = -1;
        if (percent == 0)
            return;
    }
    if (!m_live || percent == m_lastShown)
        return;
    // The first and the last state of a bar are always drawn.
    const bool first = m_lastShown < 0;
    if (!due(m_barAt, BarIntervalMs) && !first && percent < 100)
        return;
    drawBar(percent);
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

void TProgressDisplay::SetBatch(const TBatchProgressState& state)
{
    const bool newPart = !m_batch || m_batch->Part != state.Part || m_batch->File != state.File;
    const bool taken = m_batch && state.Done > m_batch->Done;
    m_batch = state;
    // A part the server took is whole, whatever the client last reported of it.
    if (taken)
        m_partPercent = 100;
    else if (newPart)
        m_partPercent = 0;
    // The end of the batch is always drawn.
    if (m_live && (due(m_barAt, BarIntervalMs) || state.Done >= state.Total))
        drawBatch();
}

void TProgressDisplay::drawBatch()
{
    const TBatchProgressState& s = *m_batch;
    QString line = TBatchProgress::SummaryText(s);
    if (s.Parts > 0) {
        const QString part =
            QStringLiteral(" part %1/%2 %3%").arg(s.Part).arg(s.Parts).arg(m_partPercent);
        const qsizetype room = LineWidth - line.size() - part.size() - 2;
        QString name = TLocalFile::Shown(QFileInfo(s.File).fileName());
        if (name.size() > room)
            name = room > 3 ? name.left(room - 3) + QStringLiteral("...") : QString();
        line += QStringLiteral("  ") + name + part;
    }
    const qsizetype width = line.size();
    m_terminal.Redraw(line.leftJustified(std::max(width, m_drawnWidth), u' '));
    m_drawnWidth = width;
    m_barOpen = true;
}

void TProgressDisplay::Break()
{
    if (m_barOpen)
        m_terminal.Err(QStringLiteral("\n"));
    m_barOpen = false;
    m_drawnWidth = 0;
}
