#pragma once

#include "tasks/Task.h"

#include <QObject>
#include <QString>
#include <QTimer>

struct TAppState;
class TLogger;
class TRasConnection;
class TTaskList;
class TTaskRunner;
class TView;

// The dial-up and hang-up tasks: queues a dial before a batch and a hang-up after it, runs
// them with the dial-up component, and follows the dial's notifications, redialling a
// failed dial up to five times, 15 seconds apart.
//
// The owner registers DoRASDial and DoRasHangup as the runner's handlers of tkDialUp and
// tkHangup, CheckRas as the task file's hook, and connects AddHangupTask and AbortDialUp to
// the runner's HangupTaskWanted and DialUpAborted. The component's notifications are
// followed from construction on.
class TDialupTasks : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxDialAttempts = 5;
    static constexpr int ConnectedWaitMs = 1000;
    static constexpr int RedialWaitMs = 15000;

    TDialupTasks(TAppState& state, TTaskList& list, TTaskRunner& runner, TRasConnection& ras,
                 TView& view, TLogger& logger, QObject* parent = nullptr);

    // Every interval of RasTimer is multiplied by this factor; tests shorten the waits.
    void SetTimerScale(double scale) { m_timerScale = scale; }

    void CheckRas();
    void AddRasTask();
    void AddHangupTask();
    void DoRASDial(const TTask& task);
    void DoRasHangup(const TTask& task);
    // The batch was aborted: hang up what the program dialled, forget it, stop waiting.
    void AbortDialUp();

    void RasConnStateChange(QObject* Sender, int NewState, int Error, const QString& StateText);
    void DoRasConnected();
    void DoRasDisconnected();
    void RasTimerTimer();

    int DialAttempts() const { return m_dialAttempts; }
    bool DialUpOpen() const { return m_dialUpOpen; }
    bool RasTimerActive() const { return m_rasTimer.isActive(); }
    // The interval RasTimer was last started with, before scaling.
    int RasTimerInterval() const { return m_rasTimerInterval; }

private:
    void continueDial(quint64 generation, bool need);
    bool askLogin(TTask& task);
    void startDial(const TTask& task);
    void startRasTimer(int ms);
    // Ends the batch: the tasks are saved and the list emptied.
    void endBatch();
    void setStatusAndLog(const QString& text);
    void reportHangUpFailure(const QString& reason);

    TAppState& m_state;
    TTaskList& m_list;
    TTaskRunner& m_runner;
    TRasConnection& m_ras;
    TView& m_view;
    TLogger& m_logger;

    QTimer m_rasTimer;
    int m_rasTimerInterval = 0;
    double m_timerScale = 1.0;
    int m_dialAttempts = 0;
    bool m_dialUpOpen = false;
    // Set while the head dial-up task waits for its next attempt: only then does the next
    // DoRASDial continue the count of the attempts.
    bool m_redialPending = false;
    // Raised when the dial in progress is given up, so its late answers are ignored.
    quint64 m_generation = 0;
};
