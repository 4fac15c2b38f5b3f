#include "net/SendBudget.h"

#include "base/Clock.h"

namespace {

// The smallest bucket: a slow limit still lets a useful write go at once.
constexpr qint64 MinDepth = 4 * 1024;
// Time beyond this adds nothing: the bucket is full long before (and the product of
// milliseconds and bytes per second stays far from overflowing).
constexpr quint64 MaxElapsedMs = 10'000;

} // namespace

TSendBudget::TSendBudget(const TClock& clock) : m_clock(clock)
{
    m_lastTick = m_clock.TickCount();
}

void TSendBudget::SetLimit(qint64 bytesPerSecond)
{
    refill();
    const bool wasOff = m_limit == 0;
    m_limit = qMax<qint64>(0, bytesPerSecond);
    // A new limit starts with a full bucket; a changed one keeps what had built up, at most
    // its new depth.
    if (wasOff)
        m_credit = depth() * 1000;
    m_credit = qMin(m_credit, depth() * 1000);
}

qint64 TSendBudget::Allowed(qint64 wanted)
{
    if (m_paused && wanted > 0) {
        ++m_refusals;
        return 0;
    }
    if (m_limit == 0 || wanted <= 0)
        return qMax<qint64>(0, wanted);
    refill();
    const qint64 available = m_credit / 1000;
    if (available < qMin(wanted, step())) {
        ++m_refusals;
        return 0;
    }
    return qMin(wanted, available);
}

void TSendBudget::Spent(qint64 bytes)
{
    if (m_limit == 0 || bytes <= 0)
        return;
    refill();
    // Going below zero is a debt the next refills pay first.
    m_credit -= bytes * 1000;
}

int TSendBudget::WaitMs()
{
    if (m_paused)
        return PausedWaitMs;
    if (m_limit == 0)
        return 0;
    refill();
    const qint64 missing = step() * 1000 - m_credit;
    if (missing <= 0)
        return 1;
    return int(qMin<qint64>((missing + m_limit - 1) / m_limit, MaxElapsedMs));
}

void TSendBudget::refill()
{
    const quint64 now = m_clock.TickCount();
    const quint64 elapsed = now > m_lastTick ? qMin(now - m_lastTick, MaxElapsedMs) : 0;
    m_lastTick = qMax(now, m_lastTick);
    if (m_limit == 0)
        return;
    m_credit = qMin(m_credit + qint64(elapsed) * m_limit, depth() * 1000);
}

qint64 TSendBudget::depth() const
{
    return qMax(MinDepth, m_limit / 10);
}
