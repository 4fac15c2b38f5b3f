#include "cli/CliSession.h"

#include "base/Clock.h"
#include "base/ServerList.h"
#include "base/CommaText.h"
#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "cli/CheckCommand.h"
#include "cli/HistoryCommand.h"
#include "cli/RepairCommand.h"
#include "cli/ConnectionOptions.h"
#include "cli/ExitStatus.h"
#include "cli/GroupCommands.h"
#include "cli/GroupFetchCommands.h"
#include "cli/GroupSelection.h"
#include "cli/PostCommand.h"
#include "cli/PostReport.h"
#include "cli/ProfileCommands.h"
#include "cli/ServerCommands.h"
#include "cli/QueueRun.h"
#include "base/SignalPipe.h"
#include "cli/TaskCommands.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"
#include "cli/WatchCommand.h"
#include "groups/GroupDownload.h"
#include "groups/NewsrcFile.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskRunner.h"
#include "upload/BatchAccount.h"
#include "upload/UploadHistory.h"
#include "upload/UploadPoster.h"

#include <exception>

TCliSession::TCliSession(const TCliRequest& request, const TTerminal& terminal, QObject* parent)
    : QObject(parent), m_request(request), m_terminal(terminal)
{
}

TCliSession::~TCliSession() = default;

std::optional<QString> TCliSession::storedProfileName() const
{
    // Profile names are compared regardless of case, but the store keys them as written:
    // "--profile work" must reach the profile "Work".
    const QString name = m_request.Profile;
    const QStringList listed = CommaText::Read(m_store->ReadString(
        TProfiles::CommonKey(), QStringLiteral("Profiles"), QStringLiteral("Default")));
    for (const QString& listedName : listed)
        if (listedName.compare(name, Qt::CaseInsensitive) == 0)
            return listedName;
    if (name.compare(QLatin1String("Default"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Default");
    if (m_store->KeyExists(name))
        return name;
    return std::nullopt;
}

int TCliSession::Run()
{
    m_store = std::make_unique<TSettingsStore>();
    // Defaults saved over a file that could not be read would wipe every profile.
    if (!m_store->ReadError().isEmpty()) {
        m_terminal.Err(QStringLiteral("quorvel-cli: %1\n").arg(m_store->ReadError()));
        return ExitFailed;
    }
    // A mistyped --profile would otherwise quietly start a new profile with defaults.
    const std::optional<QString> profile = storedProfileName();
    if (!profile) {
        m_terminal.Err(QStringLiteral("quorvel-cli: no profile named '%1' (create it with "
                                      "'quorvel-cli profile create %1')\n")
                           .arg(m_request.Profile));
        return ExitFailed;
    }
    m_view = std::make_unique<TTerminalView>(m_terminal, m_request.AssumeYes);
    m_app = std::make_unique<TQuorvelApp>(*m_view, *m_store, TClock::System());
    if (m_request.Verbose)
        connect(&m_app->SessionLog(), &TSessionLog::LineAdded, this,
                [this](const QString& line) { m_view->Note(line); });
    // A password sent in clear text is worth a line on the terminal, not only in the log.
    connect(&m_app->Nntp(), &TbcsNNTP::OnClearTextLogin, this, [this](const QString& host) {
        if (!m_warnedClearText.contains(host))
            m_view->ShowWarning(QStringLiteral("the password for %1 goes in clear text: set "
                                               "Security tls or starttls")
                                    .arg(host));
        m_warnedClearText.insert(host);
    });
    connect(m_view.get(), &TTerminalView::CloseRequested, this,
            [this] { m_unexpectedError = true; });
    m_signals = std::make_unique<TSignalPipe>();
    // A terminal run can end at any moment (a kill, a closed terminal): its tasks stay in the
    // task file until they are done.
    m_app->TaskFile().KeepQueue(true);

    int status = ExitOk;
    // Commands run outside the event loop, where the guarded application cannot catch.
    try {
        m_app->FormCreate({*profile});
        m_app->FormShow();
        status = dispatch();
    } catch (const std::exception& e) {
        OnException(QString::fromUtf8(e.what()));
    }
    if (m_unexpectedError)
        status = ExitFailed;
    if (m_signals->HasPending()) {
        m_view->Note(QStringLiteral("quorvel-cli: interrupted"));
        status = ExitInterrupted;
    }
    shutdown();
    if (!m_store->LastSyncError().isEmpty() && status == ExitOk)
        status = ExitFailed;
    return status;
}

int TCliSession::dispatch()
{
    const QString area = m_request.Command.section(u' ', 0, 0);
    if (area == QLatin1String("profile"))
        return TProfileCommands(*m_app, *m_view, m_terminal).Run(m_request);
    if (area == QLatin1String("server"))
        return TServerCommands(m_app->State().Settings, *m_view, m_terminal, *m_signals)
            .Run(m_request);
    const QString error = ReadConnectionOptions(m_request, m_app->State().Settings,
                                                m_app->Runner().ConnectionOverride());
    if (!error.isEmpty()) {
        m_view->Note(QStringLiteral("quorvel-cli: ") + error);
        return ExitFailed;
    }
    if (usesQueue()) {
        if (const QString busy = m_app->TakeQueue(); !busy.isEmpty()) {
            m_view->Note(QStringLiteral("quorvel-cli: ") + busy);
            return ExitFailed;
        }
    }
    if (area == QLatin1String("post"))
        return post();
    if (area == QLatin1String("watch"))
        return TWatchCommand(*m_app, *m_view, *m_signals, [this] { return runQueue(); })
            .Run(m_request);
    if (area == QLatin1String("check"))
        return check();
    if (area == QLatin1String("groups"))
        return groups();
    if (area == QLatin1String("history"))
        return history();
    if (area == QLatin1String("repair"))
        return repair();
    return tasks();
}

void TCliSession::useServerConnections(const TServerEntry& server)
{
    // For this run only: the profile's number is back before its settings are saved.
    ProfileSettings& s = m_app->State().Settings;
    if (!m_profileConnections)
        m_profileConnections = s.Connections;
    s.Connections = server.Connections;
}

int TCliSession::post()
{
    // A server of the profile's list named for the run posts over its own connections.
    if (m_request.Has(QStringLiteral("server"))) {
        // The list outlives the entry found in it.
        const TServerList servers = TServerList::FromProfile(m_app->State().Settings);
        if (const TServerEntry* e = servers.Find(m_request.Value(QStringLiteral("server"))))
            useServerConnections(*e);
    }
    TGroupSelection groups(m_app->Newsrc());
    TPostCommand post(m_app->State(), *m_view, m_app->UploadTasks(), groups);
    const int queued = post.Queue(m_request);
    return queued == ExitOk ? runQueue() : queued;
}

bool TCliSession::usesQueue() const
{
    const QString& command = m_request.Command;
    return command == QLatin1String("post") || command == QLatin1String("tasks run") ||
           command == QLatin1String("groups download") || command == QLatin1String("groups new") ||
           command == QLatin1String("watch") || command == QLatin1String("repair");
}

int TCliSession::check()
{
    // A user named for this run needs its password before the server asks.
    if (m_app->Runner().ConnectionOverride().UserName && !m_app->CheckAuth()) {
        m_view->Note(QStringLiteral("quorvel-cli: no password for --user: nothing was checked"));
        return ExitFailed;
    }
    return TCheckCommand(m_app->State().Settings, m_app->Runner(), m_app->Nntp(), *m_signals,
                         *m_view, m_terminal, m_app->State().DataFile(QStringLiteral("journals")),
                         m_app->UploadPoster().Account().NzbFolder())
        .Run(m_request);
}

int TCliSession::repair()
{
    if (m_app->Runner().ConnectionOverride().UserName && !m_app->CheckAuth())
        return ExitFailed;
    return RepairCommand::Run(*m_app, *m_signals, *m_view, m_request);
}

int TCliSession::history()
{
    QStringList errors;
    const QList<THistoryEntry> entries =
        UploadHistory::Read(m_app->State().DataFile(QStringLiteral("journals")),
                            m_app->UploadPoster().Account().NzbFolder(), &errors);
    for (const QString& error : std::as_const(errors))
        m_view->Note(QStringLiteral("quorvel-cli: ") + error);
    m_terminal.Out(HistoryCommand::Text(entries, m_request.Has(QStringLiteral("json"))));
    return errors.isEmpty() ? ExitOk : ExitFailed;
}

int TCliSession::groups()
{
    const bool download = m_request.Command == QLatin1String("groups download");
    const bool newGroups = m_request.Command == QLatin1String("groups new");
    if (!download && !newGroups) {
        TGroupSelection selection(m_app->Newsrc());
        return TGroupCommands({m_app->Newsrc(), m_app->GroupOperations(), selection}, *m_view,
                              m_terminal)
            .Run(m_request);
    }
    TGroupFetchCommands fetch(m_app->GroupDownload(), m_app->Newsrc(), *m_view, m_terminal);
    connect(&m_app->GroupDownload(), &TGroupDownload::GroupsSaved, this,
            [this](const TSavedGroups& count) {
                if (count.TooLong > 0)
                    m_view->ShowWarning(QStringLiteral("%1 group name(s) of %2 bytes or more were "
                                                       "left out: a newsrc record holds fewer")
                                            .arg(count.TooLong)
                                            .arg(TNewsrcFile::NameLimit));
            });
    const int queued = fetch.Queue(m_request);
    if (queued != ExitOk)
        return queued;
    const int status = runQueue();
    if (status == ExitOk && newGroups)
        fetch.PrintNewGroups();
    return status;
}

int TCliSession::tasks()
{
    const int status = TTaskCommands(m_app->TaskFile(), *m_view, m_terminal).Run(m_request);
    if (status != ExitOk || m_request.Command != QLatin1String("tasks run"))
        return status;
    // Tasks queued by "post --server NAME" go on through that server as they began.
    QList<TTask> kept;
    for (int i = 0; i < m_app->TaskList().Count(); ++i)
        kept << m_app->TaskList().At(i);
    std::optional<TServerEntry> server;
    if (const QString note = FindTasksServer(kept, m_app->State().Settings, server);
        !note.isEmpty())
        m_view->Note(QStringLiteral("quorvel-cli: ") + note);
    if (server) {
        LayServerUnder(*server, m_app->Runner().ConnectionOverride());
        useServerConnections(*server);
        m_view->Note(QStringLiteral("The tasks go on through %1 (%2), the server they were "
                                    "queued for.")
                         .arg(server->Name, server->Address()));
    }
    // The tasks carry the login they were queued with; a user named for this run needs its
    // password before they start.
    if (m_app->Runner().ConnectionOverride().UserName && !m_app->CheckAuth()) {
        m_app->Runner().ClearTaskList(true);
        m_view->Note(QStringLiteral("quorvel-cli: no password for --user: the tasks stay in %1")
                         .arg(m_app->TaskFile().FileName()));
        return ExitFailed;
    }
    return runQueue();
}

int TCliSession::runQueue()
{
    TQueueRun run(*m_view, *m_signals, m_app->Runner(), m_app->Nntp(), m_app->TaskFile());
    const bool json = m_request.Has(QStringLiteral("json"));
    TPostReport report(m_app->UploadPoster(), m_app->UploadPoster().Account(), m_app->TaskList(),
                       *m_view, m_terminal, json);
    connect(&report, &TPostReport::Posted, &run, &TQueueRun::Posted);
    TBatchAccount& account = m_app->UploadPoster().Account();
    connect(&account, &TBatchAccount::WriteFailed, &run, &TQueueRun::WriteFailed);
    connect(&account, &TBatchAccount::BatchEnded, &run,
            [&run](const QString&, int missing) { run.BatchEnded(missing); });
    connect(&run, &TQueueRun::Finishing, &report, &TPostReport::Finish);
    // A script finds the NZB file of what it posted on standard output (in the JSON lines
    // with --json).
    if (!json)
        connect(&m_app->UploadPoster().Account(), &TBatchAccount::NzbWritten, &run,
                [this](const QString& path) {
                    m_terminal.Out(QStringLiteral("NZB: ") + path + u'\n');
                });
    // The check after a batch outlasts its queue: the run waits for it.
    connect(&m_app->UploadPoster().Account(), &TBatchAccount::CheckStarted, &run,
            [&run] { run.SetHeld(true); });
    connect(&m_app->UploadPoster().Account(), &TBatchAccount::CheckEnded, &run,
            [&run] { run.SetHeld(false); });
    m_app->InstallIdleHook();
    return run.Exec();
}

void TCliSession::shutdown()
{
    if (m_profileConnections)
        m_app->State().Settings.Connections = *m_profileConnections;
    m_app->FormCloseQuery();
    m_app->FormDestroy();
}

void TCliSession::OnException(const QString& message)
{
    if (m_app)
        m_app->OnException(message);
    else
        m_terminal.Err(QStringLiteral("quorvel-cli: unexpected error: %1\n").arg(message));
    m_unexpectedError = true;
}
