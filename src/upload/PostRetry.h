#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

struct TAppState;
class TLogger;
class TTaskList;

// Tries an upload again after a failure that may pass (a dropped connection, a time-out, the
// server answering 400, 436 or 503), as often as the profile's PostRetries says: the task
// stays at the head of the list, and after a back-off that doubles from try to try, with
// some jitter, up to a minute, the runner starts it again, which reconnects and goes on from
// the batch's journal with the part that failed. A refusal that a retry cannot mend, and the
// failure after the last retry, move posting to another server when the switch handler can
// (failover: the task starts again at once, with retries of its own there); else they stop.
class TPostRetry : public QObject
{
    Q_OBJECT
public:
    TPostRetry(TTaskList& list, TLogger& logger, const TAppState& state, QObject* parent = nullptr);

    // Moves posting to another server after reason; false when there is none left.
    using TSwitch = std::function<bool(const QString& reason)>;
    void SetSwitch(TSwitch handler) { m_switch = std::move(handler); }

    // The head upload failed (reason, the server's reply code, 0 for none): true when it is
    // tried again, on this server or another; also true for a further failure reported while
    // the retry waits.
    bool Take(const QString& reason, int replyCode);
    // A part was taken: the retries count from nothing again.
    void Succeeded()
    {
        m_used = 0;
        m_cause.clear();
    }
    // The failure that the retries of the head upload began with, until a part is taken or
    // the queue is cleared: a later failure does not hide it. Empty when none was retried.
    const QString& FirstCause() const { return m_cause; }
    // The queue was cleared or aborted: no retry waits any longer.
    void Cancel();
    bool Waiting() const { return m_timer.isActive(); }

    // Whether a failure with this reply code may pass (0: the connection failed).
    static bool MayPass(int replyCode);
    // Milliseconds before try number attempt (from 1): first, doubled each time, spread by
    // jitter (-1..1: up to a fifth less or more) and never above a minute.
    static int Delay(int attempt, double jitter, int first);
    // For tests: the first back-off (milliseconds).
    void SetFirstDelay(int ms) { m_firstDelay = ms; }

private:
    void retry();

    TTaskList& m_list;
    TLogger& m_logger;
    const TAppState& m_state;
    QTimer m_timer;
    int m_used = 0;
    QString m_cause;
    int m_firstDelay = 2000;
    TSwitch m_switch;
};
