#include "tasks/TaskRunner.h"

#include "tasks/TaskFields.h"

#include "base/AppState.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskLogin.h"

#include <algorithm>

namespace {

const QString WaitingText = QStringLiteral("Waiting for response from host");
const QString ReceivingText = QStringLiteral("Receiving group names");
const QString OfflineText = QStringLiteral("Offline");

} // namespace

TTaskRunner::TTaskRunner(TTaskList& list, TTaskFile& file, TbcsNNTP& client, TView& view,
                         TLogger& logger, TAppState& state, QObject* parent)
    : QObject(parent), m_list(list), m_file(file), m_client(client), m_view(view), m_logger(logger),
      m_state(state), m_budget(TClock::System())
{
    m_handlers[tkDisconnect] = [this](TTask&) { DoDisconnect(); };
    connect(&client, &TbcsNNTP::OnNewStatus, this, &TTaskRunner::NNTPNewStatus);
    connect(&client, &TbcsNNTP::OnDisconnected, this, &TTaskRunner::NNTPDisconnected);
    connect(&client, &TbcsNNTP::OnError, this, &TTaskRunner::NNTPError);
    connect(&client, &TbcsNNTP::OnCanceled, this, &TTaskRunner::NNTPCanceled);
}

void TTaskRunner::SetHandler(TTaskKind kind, THandler handler)
{
    // Kinds beyond the known ones have no action by design: the runner drops them.
    if (IsKnownTaskKind(kind))
        m_handlers[kind] = std::move(handler);
}

void TTaskRunner::IdleStep()
{
    if (!m_list.RunnerBusy() && !m_list.IsEmpty())
        DoTaskList();
    if (m_list.IsEmpty())
        m_list.SetRunnerBusy(!AutoStart());
}

TIdleState TTaskRunner::IdleState() const
{
    TIdleState idle;
    idle.TaskCount = m_list.Count();
    idle.AutoStart = AutoStart();
    idle.TaskFileExists = m_file.CanReload();
    idle.Connected = m_client.Connected();
    return idle;
}

void TTaskRunner::DoTaskList()
{
    if (m_list.IsEmpty())
        return;
    if (!m_file.ReadOnlyReason().isEmpty()) {
        refuseReadOnly();
        return;
    }
    m_list.SetRunnerBusy(true);
    TTask& head = m_list.Head();
    const THandler* handler = IsKnownTaskKind(head.Kind) ? &m_handlers[head.Kind] : nullptr;
    if (!handler || !*handler) {
        dropUnknownHead(head);
        return;
    }
    if (!takeHeadProfile(head))
        return;
    // Every task reaches the profile's server as the profile says, plain or over TLS, unless
    // the session says otherwise.
    const ProfileSettings& s = m_state.Settings;
    TakeProfilePassword(head, s);
    m_list.SetHeadState(QStringLiteral("running"));
    m_client.SetTls(
        m_override.Tls({TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint}));
    m_file.QueueChanged();
    (*handler)(head);
}

bool TTaskRunner::takeHeadProfile(const TTask& head)
{
    if (head.Profile.isEmpty() ||
        head.Profile.compare(m_state.ProfileName, Qt::CaseInsensitive) == 0)
        return true;
    const QString error = m_switch
                              ? m_switch(head.Profile)
                              : QStringLiteral("no profile but the current one can be used here");
    if (error.isEmpty()) {
        m_logger.LogIt(QStringLiteral("Info: The next task runs under the profile %1, which "
                                      "queued it")
                           .arg(head.Profile));
        return true;
    }
    const QString text =
        QStringLiteral("The task cannot run under the profile %1, which queued it: %2")
            .arg(head.Profile, error);
    m_logger.LogIt(QStringLiteral("Error: ") + text);
    m_list.SetHeadFailed(text);
    ClearTaskList(true);
    m_view.ShowError(text);
    return false;
}

void TTaskRunner::refuseReadOnly()
{
    const QString text = QStringLiteral("Nothing runs in this window: %1. The %2 task(s) queued "
                                        "here were dropped.")
                             .arg(m_file.ReadOnlyReason())
                             .arg(m_list.Count());
    m_logger.LogIt(QStringLiteral("Error: ") + text);
    ClearTaskList(false);
    m_view.ShowWarning(text);
}

void TTaskRunner::SetPostServer(const QString& from, const std::optional<TServerEntry>& to)
{
    m_postFrom = to ? from : QString();
    m_postServer = to;
}

int TTaskRunner::PostConnections() const
{
    return m_postServer ? std::max(m_postServer->Connections, 1) : m_state.Settings.Connections;
}

void TTaskRunner::ConfigureClient(const TClientSetup& setup)
{
    const bool switched =
        m_postServer && setup.Server.compare(m_postFrom, Qt::CaseInsensitive) == 0;
    const TServerEntry* to = switched ? &*m_postServer : nullptr;
    const TClientLogin login = to ? TClientLogin{to->LoginRequired, to->UserID, to->Password}
                                  : m_override.Login(setup.Login);
    const QString server = to ? to->Address() : setup.Server;
    // Posting moved to another server: whatever the client still holds or makes towards the
    // one it left goes.
    if (to && m_client.Server().compare(server, Qt::CaseInsensitive) != 0)
        m_client.Drop();
    m_client.SetServer(server);
    m_client.SetAuthenticate(login.Required);
    m_client.SetUserName(login.UserName);
    m_client.SetPassword(login.Password);
    m_client.SetTimeout(setup.Timeout);
    m_client.SetPostTimeout(setup.PostTimeout);
    if (to)
        m_client.SetTls(
            {TlsModeFromText(to->Security), to->TrustedAuthorities, to->TrustedFingerprint});
    m_client.SetSocksProxy(m_override.Proxy(
        to ? TSocksProxy::Of(*to)
           : (setup.Proxy ? setup.Proxy : TSocksProxy::Of(m_state.Settings, setup.Server))));
    m_budget.SetLimit(qint64(m_state.Settings.SpeedLimit) * 1024);
    m_client.SetSendBudget(&m_budget);
}

void TTaskRunner::dropUnknownHead(const TTask& task)
{
    // Only a hand-edited task file can bring such a task; holding the queue on it would
    // stop everything behind it.
    m_logger.LogIt(QStringLiteral("Error: No action for a task of kind %1; the task was dropped")
                       .arg(static_cast<int>(task.Kind)));
    DoNextTask();
}

void TTaskRunner::DoNextTask()
{
    // After a failed save the list stands for tasks that should have been cleared: the
    // operation that ends now must not take one of them away.
    if (m_list.IsEmpty() || m_keptAfterFailedSave)
        return;
    m_list.RemoveHead();
    m_list.SetRunnerBusy(false);
    m_file.QueueChanged();
}

void TTaskRunner::SetStatus(const QString& text)
{
    m_state.SetCurrentProcName(QStringLiteral("SetStatus"));
    m_view.SetStatusText(text);
}

void TTaskRunner::ClearTaskList(bool save)
{
    if (save && !m_list.IsEmpty() && !m_file.SaveTasks()) {
        m_keptAfterFailedSave = true;
        m_list.SetRunnerBusy(true);
        emit TasksHeld();
        return;
    }
    m_keptAfterFailedSave = false;
    m_list.Clear();
    if (!save)
        m_file.QueueChanged();
    emit ListCleared();
}

QString TTaskRunner::closedDuring() const
{
    const QString& step = m_client.ClosedDuring();
    return step.isEmpty() ? QString()
                          : QStringLiteral("\nThe server closed it during: %1.").arg(step);
}

QString TTaskRunner::KeptText() const
{
    if (!m_list.IsEmpty() || !m_file.Exists())
        return QString();
    return QStringLiteral("\nThe tasks stay in the task file %1.").arg(m_file.FileName());
}

bool TTaskRunner::AutoStart() const
{
    return m_state.Settings.AutoStart;
}

void TTaskRunner::DisconnectButtonClick()
{
    TTask task;
    task.Kind = tkDisconnect;
    TargetField(task) = m_state.Settings.Host;
    m_list.Add(task);
    const ProfileSettings& s = m_state.Settings;
    if (s.RASOpenBefore && s.RASCloseConnectionAfter)
        emit HangupTaskWanted();
}

void TTaskRunner::DoDisconnect()
{
    if (!m_client.Connected()) {
        DoNextTask();
        return;
    }
    m_client.Quit();
    m_logger.LogIt(OfflineText);
    SetStatus(OfflineText);
    DoNextTask();
    m_state.Commands.SetActionEnabled(TViewAction::Disconnect, false);
}

void TTaskRunner::AbortButtonClick()
{
    // Nothing more goes out while the user makes up their mind: an answer of No goes on
    // from where sending stopped.
    m_budget.SetPaused(true);
    const bool abort =
        m_view.AskYesNo(QStringLiteral("Are you sure that you want to cancel all tasks?"));
    m_budget.SetPaused(false);
    if (abort)
        Abort();
}

void TTaskRunner::Abort()
{
    m_state.Commands.SetActionEnabled(TViewAction::Disconnect, false);
    m_state.Commands.SetActionEnabled(TViewAction::Abort, false);
    ClearTaskList(true);
    m_list.DialUpQueued = false;
    emit DialUpAborted();
    m_client.Cancel();
}

void TTaskRunner::TasksStartClick()
{
    StartTasks();
}

void TTaskRunner::StartTasks()
{
    // Tasks held after a failed save run again only from here, and from now on each one
    // leaves the list as it ends, as in any run.
    m_keptAfterFailedSave = false;
    m_list.SetRunnerBusy(false);
}

void TTaskRunner::TasksAutoStartClick()
{
    m_state.Settings.AutoStart = !m_state.Settings.AutoStart;
}

void TTaskRunner::NNTPNewStatus(TClientStatus status)
{
    switch (status) {
    case csLookingUp:
        SetStatus(QStringLiteral("Looking up ") + m_client.Server());
        break;
    case csConnecting:
        SetStatus(QStringLiteral("Connecting to ") + m_client.Server());
        break;
    case csListSent:
    case csNewGroupsSent:
    case csPostSent:
    case csArticleSent:
        SetStatus(WaitingText);
        break;
    case csReceivingList:
    case csReceivingNewGroups:
        SetStatus(ReceivingText);
        break;
    case csLoggingIn:
        SetStatus(QStringLiteral("Logging in"));
        break;
    case csComposing:
        SetStatus(QStringLiteral("Composing article"));
        break;
    case csSendingArticle:
        SetStatus(m_client.Article() ? m_client.Article()->Subject : QString());
        break;
    default:
        break;
    }
    LastClientStatus = status;
}

void TTaskRunner::NNTPDisconnected()
{
    m_state.Commands.SetActionEnabled(TViewAction::Disconnect, false);
    m_logger.LogIt(OfflineText);
    SetStatus(OfflineText);
    if (LastClientStatus != csClosing && !m_list.IsEmpty()) {
        if (m_retry &&
            m_retry(QStringLiteral("The connection to %1 was closed").arg(m_client.Server()), 0)) {
            stopPart();
            return;
        }
        m_list.SetHeadFailed(
            QStringLiteral("the connection to %1 was closed").arg(m_client.Server()));
        ClearTaskList(true);
        m_view.ShowError(QStringLiteral("Your connection to %1 was unexpectedly closed.")
                             .arg(m_client.Server()) +
                         QStringLiteral("\nAll tasks have been cancelled.") + closedDuring() +
                         KeptText());
    }
    stopPart();
    DoNextTask();
}

void TTaskRunner::NNTPError(const QString& text)
{
    ConnectionFailed(text, m_client.ReplyCode());
}

void TTaskRunner::ConnectionFailed(const QString& text, int replyCode)
{
    m_logger.LogIt(text);
    SetStatus(text);
    if (!m_list.IsEmpty() && m_retry && m_retry(text, replyCode)) {
        stopPart();
        return;
    }
    if (!m_list.IsEmpty())
        m_list.SetHeadFailed(text);
    ClearTaskList(true);
    m_view.ShowError(text + KeptText());
    stopPart();
    DoNextTask();
}

void TTaskRunner::NNTPCanceled()
{
    stopPart();
    SetStatus(QStringLiteral("Canceled"));
}

void TTaskRunner::stopPart()
{
    if (!m_partInFlight)
        return;
    m_partInFlight = false;
    emit PartStopped();
}
