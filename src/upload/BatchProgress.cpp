#include "upload/BatchProgress.h"

#include <algorithm>

TBatchProgress::TBatchProgress(const TClock& clock) : m_clock(clock) {}

void TBatchProgress::Begin(qint64 total)
{
    m_running = true;
    m_total = std::max<qint64>(total, 0);
    m_done = 0;
    m_samples.assign(1, TSample{m_clock.TickCount(), 0});
    m_file.clear();
    m_part = m_parts = 0;
}

void TBatchProgress::AddTotal(qint64 bytes)
{
    m_total += std::max<qint64>(bytes, 0);
}

void TBatchProgress::Advance(qint64 bytes)
{
    m_done = std::min(m_done + std::max<qint64>(bytes, 0), m_total);
    const quint64 now = m_clock.TickCount();
    m_samples.push_back({now, m_done});
    // The oldest sample kept is the last one at or before the window's start, so the window
    // is always spanned.
    while (m_samples.size() > 1 && now - m_samples[1].At >= SpeedWindowMs)
        m_samples.pop_front();
}

void TBatchProgress::Recount(qint64 bytes)
{
    const qint64 before = m_done;
    m_done = std::min(m_done + std::max<qint64>(bytes, 0), m_total);
    for (TSample& sample : m_samples)
        sample.Done += m_done - before;
}

void TBatchProgress::SetCurrent(const QString& file, qint64 part, qint64 parts)
{
    m_file = file;
    m_part = part;
    m_parts = parts;
}

qint64 TBatchProgress::speed(quint64 now) const
{
    if (m_samples.empty() || now <= m_samples.front().At)
        return 0;
    // Up to now rather than up to the last sample: a stalled upload slows down.
    const quint64 span = std::min(now - m_samples.front().At, SpeedWindowMs);
    const quint64 since = now - span;
    // The bytes done at the window's start: the last sample at or before it.
    qint64 doneAtStart = m_samples.front().Done;
    for (size_t i = 1; i < m_samples.size() && m_samples[i].At <= since; ++i)
        doneAtStart = m_samples[i].Done;
    if (span == 0)
        return 0;
    return qint64((m_done - doneAtStart) * 1000 / qint64(span));
}

TBatchProgressState TBatchProgress::State() const
{
    TBatchProgressState s;
    s.Done = m_done;
    s.Total = m_total;
    s.Percent = m_total > 0 ? int(m_done * 100 / m_total) : 0;
    s.BytesPerSecond = speed(m_clock.TickCount());
    if (m_done >= m_total)
        s.SecondsLeft = 0;
    else if (s.BytesPerSecond > 0)
        s.SecondsLeft = (m_total - m_done + s.BytesPerSecond - 1) / s.BytesPerSecond;
    s.File = m_file;
    s.Part = m_part;
    s.Parts = m_parts;
    return s;
}

QString TBatchProgress::BytesText(qint64 bytes)
{
    if (bytes < 1000)
        return QStringLiteral("%1 B").arg(bytes);
    if (bytes < 1000 * 1000)
        return QStringLiteral("%1 KB").arg(bytes / 1000);
    const double mb = double(bytes) / (1000.0 * 1000.0);
    if (mb < 10000)
        return QStringLiteral("%1 MB").arg(mb, 0, 'f', 1);
    return QStringLiteral("%1 GB").arg(mb / 1000.0, 0, 'f', 1);
}

QString TBatchProgress::DurationText(qint64 seconds)
{
    if (seconds < 0)
        return QStringLiteral("--:--");
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const QString ss = QString::number(seconds % 60).rightJustified(2, u'0');
    if (h > 0)
        return QStringLiteral("%1:%2:%3")
            .arg(h)
            .arg(QString::number(m).rightJustified(2, u'0'), ss);
    return QStringLiteral("%1:%2").arg(m).arg(ss);
}

QString TBatchProgress::SummaryText(const TBatchProgressState& s)
{
    const QString speed = s.BytesPerSecond > 0 ? BytesText(s.BytesPerSecond) + QStringLiteral("/s")
                                               : QStringLiteral("-- B/s");
    return QStringLiteral("%1% %2 of %3, %4, %5 left")
        .arg(s.Percent)
        .arg(BytesText(s.Done), BytesText(s.Total), speed, DurationText(s.SecondsLeft));
}
