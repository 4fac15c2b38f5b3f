#include "app/QuorvelApp.h"

#include "app/Clock.h"
#include "app/Logger.h"
#include "app/Profiles.h"
#include "app/SessionLog.h"
#include "app/SettingsStore.h"
#include "app/View.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QTimer>

TQuorvelApp::TQuorvelApp(TView& view, TSettingsStore& store, const TClock& clock, QObject* parent)
    : QObject(parent), m_view(view), m_store(store), m_clock(clock),
      m_sessionLog(std::make_unique<TSessionLog>(clock)),
      m_logger(std::make_unique<TLogger>(*m_sessionLog, clock)),
      m_profiles(std::make_unique<TProfiles>(m_state, store, view, clock))
{
    connect(m_logger.get(), &TLogger::LogFileFailed, this, &TQuorvelApp::reportLogFailure);
    m_profiles->SetHooks({
        .CreateNewsrcIfMissing = {},
        .ProfileLoaded = [this] { profileLoaded(); },
    });
}

TQuorvelApp::~TQuorvelApp() = default;

void TQuorvelApp::LogIt(const QString& text)
{
    m_logger->LogIt(text);
}

void TQuorvelApp::FormCreate(const QStringList& args)
{
    m_state.CurrentProcName = QStringLiteral("FormCreate");
    m_state.ProgramDir = ResolveProgramDir();
    m_logger->SetFileName(m_state.DataFile(QStringLiteral("quorvel.log")));
    m_view.ShowSplashStatus(QStringLiteral("Loading"));
    m_state.VersionText = BuildVersionText();
    m_view.ShowSplashStatus(QStringLiteral("Reading profile settings"));
    m_state.SetProfile(args.isEmpty() ? QStringLiteral("Default") : args.first());
    m_profiles->ReadVariables();
    m_profiles->ReadProfiles();
    m_view.ShowSplashStatus(QStringLiteral("Reading newsrc file"));
    m_view.CloseSplash();
    LogIt(QStringLiteral("Startup"));
}

void TQuorvelApp::FormShow()
{
    m_state.CurrentProcName = QStringLiteral("FormShow");
    SetCaption();
    m_view.SetSubjectText(m_state.Settings.LastSubject);
    m_view.SetFolderPath(m_state.Settings.LastDir);
}

void TQuorvelApp::SetCaption()
{
    m_view.SetBusy(true);
    m_view.SetWindowTitle(QStringLiteral("Quorvel v2: %1 Profile").arg(m_state.ProfileName));
    m_view.SetFromText(
        QStringLiteral("%1 (%2)").arg(m_state.Settings.EmailAddress, m_state.Settings.FullName));
    m_view.SetBusy(false);
}

void TQuorvelApp::InstallIdleHook()
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TQuorvelApp::OnIdle);
}

void TQuorvelApp::OnIdle()
{
    TIdleState idle;
    idle.AutoStart = m_state.Settings.AutoStart;
    idle.TaskFileExists = QFile::exists(m_state.TaskFilePath());
    m_view.RefreshControls(idle);
}

void TQuorvelApp::FormCloseQuery()
{
    m_state.CurrentProcName = QStringLiteral("FormCloseQuery");
    m_profiles->SaveProfiles();
    if (!m_sessionLog->IsEmpty()) {
        const QString error =
            m_sessionLog->SaveToFile(m_state.DataFile(QStringLiteral("qvsession.log")));
        if (!error.isEmpty())
            m_view.ShowWarning(error);
    }
}

void TQuorvelApp::FormDestroy()
{
    LogIt(QStringLiteral("Shutdown"));
    m_profiles->SaveVariables();
}

void TQuorvelApp::OnException(const QString& message)
{
    const QString procName = m_state.CurrentProcName;
    LogIt(QStringLiteral("Error: ") + message);
    LogIt(procName);
    m_view.ShowWarning(QStringLiteral("%1: %2 %3")
                           .arg(QStringLiteral("An unexpected error has occured"), message,
                                QStringLiteral("\r\nAll remaining tasks have been saved.\r\n"
                                               "Quorvel will now close.")));
    m_view.CloseMainWindow();
}

void TQuorvelApp::ExitButtonClick()
{
    m_state.CurrentProcName = QStringLiteral("ExitButtonClick");
    m_view.CloseMainWindow();
}

void TQuorvelApp::ProfilesComboBoxChange(const QString& name)
{
    m_profiles->ProfilesComboBoxChange(name);
}

void TQuorvelApp::NewProfileClick()
{
    m_profiles->NewProfileClick();
}

void TQuorvelApp::DeleteProfileClick()
{
    m_profiles->DeleteProfileClick();
}

void TQuorvelApp::profileLoaded()
{
    SetCaption();
}

void TQuorvelApp::reportLogFailure(const QString& message)
{
    // Told once per run; the lines stay in the session log, which is saved at close.
    if (m_logFailureShown)
        return;
    m_logFailureShown = true;
    QTimer::singleShot(0, this, [this, message] {
        m_view.ShowWarning(message + QStringLiteral("\r\nLog lines are kept in the session log."));
    });
}
