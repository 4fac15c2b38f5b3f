#include "dialup/DialupTasks.h"

#include "base/AppState.h"
#include "base/Logger.h"
#include "base/View.h"
#include "dialup/RasConnection.h"
#include "dialup/RasTexts.h"
#include "dialup/RasTypes.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"

#include <QPointer>

#include <cmath>

namespace {
const QString DialupLoginCaption = QStringLiteral("Dial-up login");
} // namespace

TDialupTasks::TDialupTasks(TAppState& state, TTaskList& list, TTaskRunner& runner,
                           TRasConnection& ras, TView& view, TLogger& logger, QObject* parent)
    : QObject(parent), m_state(state), m_list(list), m_runner(runner), m_ras(ras), m_view(view),
      m_logger(logger)
{
    m_rasTimer.setSingleShot(true);
    connect(&m_rasTimer, &QTimer::timeout, this, &TDialupTasks::RasTimerTimer);
    // A redial wait belongs to the batch: once the batch is cleared or held, the wait
    // must not release whatever is queued next, and the next dial-up task starts afresh.
    auto forgetRedial = [this] {
        if (!m_dialUpOpen)
            m_rasTimer.stop();
        m_redialPending = false;
        m_dialAttempts = 0;
    };
    connect(&runner, &TTaskRunner::ListCleared, this, forgetRedial);
    connect(&runner, &TTaskRunner::TasksHeld, this, forgetRedial);
    connect(&ras, &TRasConnection::HangUpFailed, this, &TDialupTasks::reportHangUpFailure);
    connect(&m_ras, &TRasConnection::OnStateChange, this, &TDialupTasks::RasConnStateChange);
}

void TDialupTasks::CheckRas()
{
    m_state.SetCurrentProcName(QStringLiteral("CheckRas"));
    if (m_state.Settings.RASOpenBefore && !m_list.DialUpQueued)
        AddRasTask();
}

void TDialupTasks::AddRasTask()
{
    m_state.SetCurrentProcName(QStringLiteral("AddRasTask"));
    ProfileSettings& s = m_state.Settings;
    if (s.RASConnection.isEmpty())
        return;
    if (!s.SaveRasPassword && s.RASPassword.isEmpty()) {
        const auto login = m_view.AskLogin(DialupLoginCaption, s.RASUserName, s.RASPassword);
        if (!login)
            return;
        s.RASUserName = login->UserName;
        s.RASPassword = login->Password;
    }
    TTask task;
    task.Kind = tkDialUp;
    const TDialFields<TTask> dial = DialFields(task);
    dial.Connection = s.RASConnection;
    dial.UserName = s.RASUserName;
    dial.Password = s.RASPassword;
    dial.UseAnotherConnection = s.RASUseAnotherConnection;
    dial.SavePassword = s.SaveRasPassword;
    m_list.Add(task);
    m_list.DialUpQueued = true;
}

void TDialupTasks::AddHangupTask()
{
    m_state.SetCurrentProcName(QStringLiteral("AddHangupTask"));
    TTask task;
    task.Kind = tkHangup;
    TargetField(task) = m_state.Settings.RASConnection;
    m_list.Add(task);
    m_list.DialUpQueued = false;
}

void TDialupTasks::DoRASDial(const TTask& task)
{
    m_state.SetCurrentProcName(QStringLiteral("DoRASDial"));
    // Started while a redial wait still runs (Start pressed, or a new batch): that wait
    // must not release the runner in the middle of this dial.
    m_rasTimer.stop();
    // Only the same task's next attempt continues the count; a fresh dial-up task gets
    // all its attempts even when an earlier batch was cut short while redialling.
    if (!m_redialPending)
        m_dialAttempts = 0;
    m_redialPending = false;
    ++m_dialAttempts;
    const TDialFields<const TTask> dial = DialFields(std::as_const(task));
    m_ras.SetForceConnection(!dial.UseAnotherConnection);
    m_ras.SetConnection(dial.Connection);
    const quint64 generation = m_generation;
    QPointer<TDialupTasks> self(this);
    m_ras.NeedDial([self, generation](bool need) {
        if (self)
            self->continueDial(generation, need);
    });
}

void TDialupTasks::continueDial(quint64 generation, bool need)
{
    // Aborted or cleared while the component looked at the open connections.
    if (generation != m_generation || m_list.IsEmpty() || m_list.Head().Kind != tkDialUp)
        return;
    TTask& task = m_list.Head();
    if (!need) {
        m_runner.DoNextTask();
        return;
    }
    const TDialFields<TTask> dial = DialFields(task);
    if (m_ras.Connection().isEmpty() && !dial.Connection.isEmpty())
        m_logger.LogIt(QStringLiteral("Dial-up connection \"%1\" is unknown to NetworkManager")
                           .arg(dial.Connection));
    // Cancel leaves the task at the head and the runner busy, until Start or Clear.
    if ((dial.Connection.isEmpty() || dial.Password.isEmpty()) && !askLogin(task))
        return;
    startDial(task);
}

bool TDialupTasks::askLogin(TTask& task)
{
    const TDialFields<TTask> dial = DialFields(task);
    const auto login = m_view.AskLogin(DialupLoginCaption, dial.UserName, dial.Password);
    if (!login)
        return false;
    dial.UserName = login->UserName;
    dial.Password = login->Password;
    return true;
}

void TDialupTasks::startDial(const TTask& task)
{
    m_state.Commands.SetActionEnabled(TViewAction::Abort, true);
    m_list.SetRunnerBusy(true);
    const TDialFields<const TTask> dial = DialFields(task);
    setStatusAndLog(QStringLiteral("Dialing ") + dial.Connection);
    m_ras.SetRemovePassword(!dial.SavePassword);
    m_ras.SetUserID(dial.UserName);
    m_ras.SetPassword(dial.Password);
    m_runner.LastClientStatus = DialingMarker;
    m_dialUpOpen = false;
    m_ras.SetConnected(true);
}

void TDialupTasks::DoRasHangup(const TTask& /*task*/)
{
    m_state.SetCurrentProcName(QStringLiteral("DoRasHangup"));
    m_logger.LogIt(QStringLiteral("Hanging up ") + m_ras.Connection());
    m_ras.HangUp();
    m_dialUpOpen = false;
    m_runner.DoNextTask();
}

void TDialupTasks::AbortDialUp()
{
    m_state.SetCurrentProcName(QStringLiteral("AbortDialUp"));
    ++m_generation;
    m_ras.Abort();
    m_rasTimer.stop();
    m_redialPending = false;
    m_dialUpOpen = false;
    m_list.DialUpQueued = false;
}

void TDialupTasks::RasConnStateChange(QObject* /*Sender*/, int NewState, int Error,
                                      const QString& StateText)
{
    m_state.SetCurrentProcName(QStringLiteral("RasConnStateChange"));
    m_logger.LogIt(StateText);
    if (Error == RasError::UserDisconnected) {
        m_runner.SetStatus(StateText);
        m_ras.HangUp();
        m_dialUpOpen = false;
        endBatch();
        return;
    }
    // Connected and disconnected are acted on even without a text: a close whose reason
    // has no words must still end the attempt, or the dial-up task would wait forever.
    if (NewState == RasTexts::StateConnected)
        DoRasConnected();
    else if (NewState == RasTexts::StateDisconnected)
        DoRasDisconnected();
}

void TDialupTasks::DoRasConnected()
{
    m_state.SetCurrentProcName(QStringLiteral("DoRasConnected"));
    m_runner.SetStatus(QStringLiteral("Dial-up connected"));
    m_dialAttempts = 0;
    m_redialPending = false;
    m_state.Commands.SetActionEnabled(TViewAction::Abort, false);
    m_dialUpOpen = true;
    startRasTimer(ConnectedWaitMs);
    // There is no status window to put away here; the call keeps the step in its place.
    m_ras.MinimizeDialWindow([] {});
    // A list cleared during the dial has no dial-up task left to end.
    if (!m_list.IsEmpty() && m_list.Head().Kind == tkDialUp)
        m_runner.DoNextTask();
}

void TDialupTasks::DoRasDisconnected()
{
    m_state.SetCurrentProcName(QStringLiteral("DoRasDisconnected"));
    m_ras.HangUp();
    // Once the dial-up task has ended, the tasks after it run over this line: losing it
    // cuts the batch short even before the news client has reported anything, since a
    // redial would restart whatever task is at the head by then.
    const bool afterDial = m_dialUpOpen || m_runner.LastClientStatus != DialingMarker;
    m_dialUpOpen = false;
    if (afterDial) {
        endBatch();
        m_view.ShowWarning(QStringLiteral("Unexpected dialup disconnect"));
        m_logger.LogIt(QStringLiteral("Unexpected dialup disconnect"));
        return;
    }
    if (m_list.IsEmpty() || m_list.Head().Kind != tkDialUp)
        return; // the batch this dial belonged to was cleared meanwhile
    if (m_dialAttempts < MaxDialAttempts) {
        m_list.SetRunnerBusy(true);
        setStatusAndLog(QStringLiteral("Waiting to redial"));
        m_redialPending = true;
        startRasTimer(RedialWaitMs);
        return;
    }
    m_dialAttempts = 0;
    endBatch();
    m_view.ShowWarning(QStringLiteral("Redial attempts count exceeded"));
    m_logger.LogIt(QStringLiteral("Redial attempts count exceeded"));
}

void TDialupTasks::RasTimerTimer()
{
    m_state.SetCurrentProcName(QStringLiteral("RasTimerTimer"));
    m_rasTimer.stop();
    if (m_dialUpOpen)
        m_ras.MinimizeDialWindow([] {});
    else
        m_list.SetRunnerBusy(false); // the redial wait is over: the head task runs again
}

void TDialupTasks::startRasTimer(int ms)
{
    m_rasTimerInterval = ms;
    m_rasTimer.start(static_cast<int>(std::lround(ms * m_timerScale)));
}

void TDialupTasks::endBatch()
{
    m_redialPending = false;
    if (!m_dialUpOpen)
        m_rasTimer.stop();
    m_runner.ClearTaskList(true);
}

void TDialupTasks::reportHangUpFailure(const QString& reason)
{
    const QString text = QStringLiteral("The dial-up connection %1 could not be hung up: %2")
                             .arg(m_ras.Connection(), reason);
    m_logger.LogIt(QStringLiteral("Error: ") + text);
    m_view.ShowWarning(text + QStringLiteral("\nThe line may still be up."));
}

void TDialupTasks::setStatusAndLog(const QString& text)
{
    m_runner.SetStatus(text);
    m_logger.LogIt(text);
}
