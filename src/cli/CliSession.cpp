#include "cli/CliSession.h"

#include "app/Clock.h"
#include "app/CommaText.h"
#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "app/SessionLog.h"
#include "app/SettingsStore.h"
#include "cli/ExitStatus.h"
#include "cli/ProfileCommands.h"
#include "cli/SignalPipe.h"
#include "cli/Terminal.h"
#include "cli/TerminalView.h"

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
    connect(m_view.get(), &TTerminalView::CloseRequested, this,
            [this] { m_unexpectedError = true; });
    m_signals = std::make_unique<TSignalPipe>();

    m_app->FormCreate({*profile});
    m_app->FormShow();
    int status = dispatch();
    if (m_unexpectedError)
        status = ExitFailed;
    shutdown();
    return status;
}

int TCliSession::dispatch()
{
    const QString area = m_request.Command.section(u' ', 0, 0);
    if (area == QLatin1String("profile"))
        return TProfileCommands(*m_app, *m_view, m_terminal).Run(m_request);
    m_view->Note(
        QStringLiteral("quorvel-cli: '%1' is not available in this build").arg(m_request.Command));
    return ExitFailed;
}

void TCliSession::shutdown()
{
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
