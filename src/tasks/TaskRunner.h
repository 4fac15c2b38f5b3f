#pragma once

#include "base/ServerEntry.h"
#include "base/View.h"
#include "net/ClientStatus.h"
#include "net/SendBudget.h"
#include "tasks/ConnectionOverride.h"
#include "tasks/Task.h"

#include <QObject>
#include <array>
#include <functional>
#include <optional>

struct TAppState;
class TbcsNNTP;
class TLogger;
class TTaskFile;
class TTaskList;

// Marks LastClientStatus while a dial-up task dials: no news client status has come since.
constexpr quint8 DialingMarker = 16;

// Runs the queue one task at a time, head first. It has no loop of its own: the idle step
// starts the head task by its kind, and every task ends in an event handler that calls
// DoNextTask, so the next task starts at the next idle step, never inside the handler.
// Also carries the session controls that act on the queue (Disconnect, Abort, Start,
// Auto Start) and the handlers of the news client's status, disconnect, error and cancel
// events, to which it connects itself.
class TTaskRunner : public QObject
{
    Q_OBJECT
public:
    // Starts the head task of a kind run elsewhere. The task is valid only during the
    // call: anything that outlives it (an operation waiting for events) keeps a copy.
    using THandler = std::function<void(TTask& task)>;

    TTaskRunner(TTaskList& list, TTaskFile& file, TbcsNNTP& client, TView& view, TLogger& logger,
                TAppState& state, QObject* parent = nullptr);

    void SetHandler(TTaskKind kind, THandler handler);
    // Asked when the connection drops or fails while a task runs, before the tasks are
    // saved and cleared: true when the task is to be tried again (it stays at the head,
    // and whoever said so starts it again). replyCode is the failing connection's last reply,
    // 0 when it was dropped.
    using TRetryHandler = std::function<bool(const QString& reason, int replyCode)>;
    void SetRetryHandler(TRetryHandler handler) { m_retry = std::move(handler); }
    // Makes the named profile current before a task queued from it starts, so that the task
    // runs under that profile's settings (server security, speed, connections, check, NZB
    // folder, Message-ID domain); returns why it cannot, empty when it did.
    using TProfileSwitch = std::function<QString(const QString& profileName)>;
    void SetProfileSwitch(TProfileSwitch profileSwitch) { m_switch = std::move(profileSwitch); }

    // The session's connection values, laid over the profile's and the task's for every task
    // run from now on; the login filled in when it is asked for.
    TConnectionOverride& ConnectionOverride() { return m_override; }
    const TConnectionOverride& ConnectionOverride() const { return m_override; }
    // Sets the news client up for the task being run: its server, login and time-outs, the
    // login as the session overrides it, and the profile's speed limit.
    void ConfigureClient(const TClientSetup& setup);
    // Posting moved from the server at address from to another server of the profile (failover):
    // from now on a setup naming from reaches to instead, with to's own login, TLS, proxy and
    // connections (of the session's values only its proxy stays). std::nullopt: every setup
    // reaches the server it names again.
    void SetPostServer(const QString& from, const std::optional<TServerEntry>& to);
    // The connections a series posts over: the switched server's, else the profile's.
    int PostConnections() const;
    // The program's one speed limit, shared by every connection: a further client takes it
    // with the rest of the main client's setup (TbcsNNTP::TakeSetup).
    TSendBudget& SendBudget() { return m_budget; }

    // The last status the news client reported, or DialingMarker.
    quint8 LastClientStatus = csIdle;
    // True while a part of a multipart upload waits for the server's answer: set by the
    // poster that sends the part and cleared when it is answered; PartStopped tells when the
    // runner clears it because no answer will come.
    bool PartInFlight() const { return m_partInFlight; }
    void SetPartInFlight(bool inFlight) { m_partInFlight = inFlight; }

    // The runner's part of the idle step: starts the head task when nothing runs, and on
    // an empty list holds or releases the queue by the Auto Start check mark.
    void IdleStep();
    // What the idle refresh of the window shows about the queue.
    TIdleState IdleState() const;
    // Announces it (IdleStateChanged): at every idle moment, and when tasks were queued.
    void ShowIdleState() { emit IdleStateChanged(IdleState()); }
    // After a failure saved the queue: the sentence that says where the tasks are kept;
    // empty when they were not saved.
    QString KeptText() const;

    void DoTaskList();
    void DoNextTask();
    void SetStatus(const QString& text);
    // Empties the list, saving it to the task file first when save is set and it holds
    // tasks. An operation in progress goes on; its end finds the list empty. When the
    // save fails the tasks are kept, held: the end of that operation removes none of them
    // and nothing starts until Start, or until a later clear saves or drops them. Start
    // runs them again, each removed as it ends.
    void ClearTaskList(bool save);

    bool AutoStart() const;
    void DisconnectButtonClick();
    void DoDisconnect();
    void AbortButtonClick();
    void TasksStartClick();
    // What the two commands do once the user has answered: cancels every task (and the
    // dial-up and the connection), lets the runner start the queued tasks.
    void Abort();
    void StartTasks();
    void TasksAutoStartClick();

    void NNTPNewStatus(TClientStatus status);
    void NNTPDisconnected();
    void NNTPError(const QString& text);
    // Another connection the task runs over failed as NNTPError says; replyCode is its last
    // reply.
    void ConnectionFailed(const QString& text, int replyCode);
    void NNTPCanceled();

signals:
    // The window enables its commands and fills its status panels ("Tasks: %d") from this.
    void IdleStateChanged(const TIdleState& state);
    // A Disconnect task was queued and the profile hangs up after its work: the dial-up
    // side queues the hang-up task now.
    void HangupTaskWanted();
    // Every task was cancelled: the dial-up side hangs up a dial the program made and
    // forgets it.
    void DialUpAborted();
    // PartInFlight was cleared because the part will get no answer (error, disconnect,
    // cancel): a multipart upload must stop its series.
    void PartStopped();
    // A clear could not save the tasks: they stay in the list, held until Start.
    void TasksHeld();
    // The list was emptied by a clear (Clear, Abort, a failure that ends the batch).
    void ListCleared();

private:
    void stopPart();
    // "\nThe server closed it during: STEP." when the client knows the step.
    QString closedDuring() const;
    void dropUnknownHead(const TTask& task);
    // Makes the head task's profile current; false (the run ended, the tasks saved) when it
    // cannot be.
    bool takeHeadProfile(const TTask& head);
    // Nothing runs where another program owns the queue: what was queued here is dropped.
    void refuseReadOnly();

    TTaskList& m_list;
    TTaskFile& m_file;
    TbcsNNTP& m_client;
    TView& m_view;
    TLogger& m_logger;
    TAppState& m_state;
    bool m_keptAfterFailedSave = false;
    bool m_partInFlight = false;
    TConnectionOverride m_override;
    QString m_postFrom;                       // the address posting moved away from
    std::optional<TServerEntry> m_postServer; // and the server it goes to now
    TSendBudget m_budget;
    std::array<THandler, TaskKindCount> m_handlers;
    TRetryHandler m_retry;
    TProfileSwitch m_switch;
};
