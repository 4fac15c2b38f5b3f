#pragma once

#include <QtGlobal>

class TClock;

// The upload speed limit: a token bucket shared by every news client of the program, so
// the limit holds over all connections together. A client asks how much of what it wants
// to write may go now, writes that and says what it wrote; when nothing may go it waits
// WaitMs and asks again. The bucket holds about a tenth of a second's worth (at least a
// few KB), so a burst after a pause stays small and a minute's total keeps to the limit.
class TSendBudget
{
public:
    explicit TSendBudget(const TClock& clock);

    // Bytes per second over all clients; 0 = no limit. Takes effect at once.
    void SetLimit(qint64 bytesPerSecond);
    qint64 Limit() const { return m_limit; }
    // While paused nothing may go, limit or not: every client waits PausedWaitMs at a time
    // and asks again. The time-outs rest meanwhile, as in any wait for the budget.
    void SetPaused(bool paused) { m_paused = paused; }
    bool Paused() const { return m_paused; }
    static constexpr int PausedWaitMs = 100;
    // Bytes that may go now, at most wanted; all of them without a limit. Nothing while
    // less than a step (or less than wanted, when that is smaller) has built up.
    qint64 Allowed(qint64 wanted);
    // Bytes actually written after Allowed.
    void Spent(qint64 bytes);
    // Milliseconds until a step may go again (at least 1 with a limit; 0 without).
    int WaitMs();
    // How often Allowed gave nothing.
    qint64 Refusals() const { return m_refusals; }

private:
    void refill();
    qint64 depth() const;
    qint64 step() const { return depth() / 4; }

    const TClock& m_clock;
    qint64 m_limit = 0;
    qint64 m_credit = 0; // in thousandths of a byte, so no fraction of a millisecond is lost
    quint64 m_lastTick = 0;
    qint64 m_refusals = 0;
    bool m_paused = false;
};
