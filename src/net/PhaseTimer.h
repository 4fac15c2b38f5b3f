#pragma once

#include <QDeadlineTimer>
#include <QObject>
#include <QTimer>

// The NNTP client's phase timer: armed for a number of seconds, stopped, re-armed. Arming
// only moves a deadline, so re-arming after every received group line costs next to nothing;
// the underlying timer wakes up at most once per period and fires when the deadline passed.
class TPhaseTimer : public QObject
{
    Q_OBJECT

public:
    explicit TPhaseTimer(QObject* parent = nullptr);

    // Zero or less leaves the timer as it is.
    void Arm(int seconds);
    void Stop() { m_armed = false; }
    bool IsArmed() const { return m_armed; }
    // Milliseconds in one second (tests shorten it).
    void SetSecondLength(int milliseconds) { m_secondLength = milliseconds; }

signals:
    void Fired();

private:
    void wake();

    QTimer m_timer;
    QDeadlineTimer m_deadline;
    bool m_armed = false;
    int m_secondLength = 1000;
};
