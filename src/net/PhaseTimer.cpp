#include "net/PhaseTimer.h"

TPhaseTimer::TPhaseTimer(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TPhaseTimer::wake);
}

void TPhaseTimer::Arm(int seconds)
{
    if (seconds <= 0)
        return;
    const qint64 interval = qint64(seconds) * m_secondLength;
    m_deadline.setRemainingTime(interval, Qt::PreciseTimer);
    m_armed = true;
    // A wake-up already due before the new deadline re-arms itself for the rest.
    if (!m_timer.isActive() || m_timer.remainingTime() > interval)
        m_timer.start(int(qMin<qint64>(interval, INT_MAX)));
}

void TPhaseTimer::wake()
{
    if (!m_armed)
        return;
    const qint64 left = m_deadline.remainingTime();
    if (left > 0) {
        m_timer.start(int(qMin<qint64>(left, INT_MAX)));
        return;
    }
    m_armed = false;
    emit Fired();
}
