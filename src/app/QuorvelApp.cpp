#include "app/QuorvelApp.h"

#include "app/CheckAuth.h"
#include "base/Clock.h"
#include "base/Logger.h"
#include "base/SafeFile.h"
#include "app/Profiles.h"
#include "app/SecretStore.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "base/View.h"
#include "article/NewsArticle.h"
#include "upload/UploadPoster.h"
#include "dialup/DialupTasks.h"
#include "dialup/RasConnection.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "net/bcsNNTP.h"
#include "tasks/TaskFile.h"
#include "tasks/TaskList.h"
#include "tasks/TaskMenu.h"
#include "tasks/TaskRunner.h"
#include "upload/UploadTaskBuilder.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QScopedValueRollback>
#include <QTimer>

#include <exception>

TQuorvelApp::TQuorvelApp(TView& view, TSettingsStore& store, const TClock& clock, QObject* parent)
    : QObject(parent), m_view(view), m_store(store), m_clock(clock),
      m_sessionLog(std::make_unique<TSessionLog>(clock)),
      m_logger(std::make_unique<TLogger>(*m_sessionLog, clock)),
      m_keyring(std::make_unique<TSecretStore>()),
      m_profiles(std::make_unique<TProfiles>(m_state, store, *m_keyring, view, clock,
                                             static_cast<TProfileOwner&>(*this))),
      m_article(std::make_unique<TNewsArticle>()), m_nntp(std::make_unique<TbcsNNTP>()),
      m_taskList(std::make_unique<TTaskList>(view, m_state)),
      m_taskFile(std::make_unique<TTaskFile>(m_state, *m_taskList, *m_logger, view,
                                             static_cast<TTaskFileOwner&>(*this))),
      m_runner(std::make_unique<TTaskRunner>(*m_taskList, *m_taskFile, *m_nntp, view, *m_logger,
                                             m_state)),
      m_taskMenu(
          std::make_unique<TTaskMenu>(*m_taskList, *m_taskFile, *m_runner, view, m_state.Commands)),
      m_ras(std::make_unique<TRasConnection>()),
      m_dialup(
          std::make_unique<TDialupTasks>(m_state, *m_taskList, *m_runner, *m_ras, view, *m_logger)),
      m_newsrc(std::make_unique<TNewsrcStore>(m_state, *m_logger, view)),
      m_groupModel(std::make_unique<TGroupListModel>(*m_newsrc)),
      m_groupOps(std::make_unique<TGroupListOperations>(*m_newsrc)),
      m_groupDownload(std::make_unique<TGroupDownload>(*m_newsrc, *m_taskList, *m_runner, *m_nntp,
                                                       store, clock, *this)),
      m_uploadPoster(std::make_unique<TUploadPoster>(*m_article, *m_nntp, *m_taskList, *m_runner,
                                                     view, *m_logger, m_state)),
      m_uploadTasks(std::make_unique<TUploadTaskBuilder>(
          m_state, view, *m_taskList, *m_runner, *m_groupOps, *m_uploadPoster, *m_logger, *this))
{
    connect(m_logger.get(), &TLogger::LogFileFailed, this, &TQuorvelApp::reportLogFailure);
    m_nntp->SetArticle(m_article.get());
    connect(m_nntp.get(), &TbcsNNTP::OnLogEvent, this, &TQuorvelApp::NNTPLogEvent);
    wireTasks();
    wireGroups();
    // The poster registers itself as the runner of upload tasks.
}

void TQuorvelApp::wireGroups()
{
    // The download connects itself to the news client's group events.
    m_runner->SetHandler(tkGroupDownload, [this](TTask& task) { m_groupDownload->DoList(task); });
    m_runner->SetHandler(tkNewGroups, [this](TTask& task) { m_groupDownload->DoNew(task); });
}

bool TQuorvelApp::CheckAuth()
{
    return ::CheckAuth(m_state, m_view, m_runner->ConnectionOverride());
}

void TQuorvelApp::CheckRas()
{
    m_dialup->CheckRas();
}

void TQuorvelApp::SwitchProfile(const QString& profileName)
{
    m_profiles->SwitchWithoutSaving(profileName);
}

void TQuorvelApp::CreateNewsrcIfMissing()
{
    m_newsrc->CreateNewsrcIfMissing();
}

QString TQuorvelApp::TakeQueue()
{
    const QString error = m_queueLock.Acquire(m_state.ProgramDir);
    if (!error.isEmpty()) {
        m_taskFile->SetReadOnly(error);
        LogIt(QStringLiteral("Error: ") + error);
        return error;
    }
    m_taskFile->SetReadOnly(QString());
    // Only the queue's owner may clear away a half-made copy: another program's may be one
    // it is writing right now.
    TSafeFile::RemoveLeftovers(m_taskFile->FileName());
    return QString();
}

void TQuorvelApp::wireTasks()
{
    m_runner->SetProfileSwitch(
        [this](const QString& name) { return m_profiles->SwitchForTask(name); });
    // The runner connects itself to the news client's status, disconnect, error and
    // cancel events.
    connect(m_runner.get(), &TTaskRunner::HangupTaskWanted, m_dialup.get(),
            &TDialupTasks::AddHangupTask);
    connect(m_runner.get(), &TTaskRunner::DialUpAborted, m_dialup.get(),
            &TDialupTasks::AbortDialUp);
    m_runner->SetHandler(tkDialUp, [this](TTask& task) { m_dialup->DoRASDial(task); });
    m_runner->SetHandler(tkHangup, [this](TTask& task) { m_dialup->DoRasHangup(task); });
}

void TQuorvelApp::NNTPLogEvent(const QString& logText)
{
    m_state.SetCurrentProcName(QStringLiteral("NNTPLogEvent"));
    LogIt(logText.trimmed());
}

TQuorvelApp::~TQuorvelApp() = default;

void TQuorvelApp::LogIt(const QString& text)
{
    m_logger->LogIt(text);
}

void TQuorvelApp::FormCreate(const QStringList& args)
{
    m_state.SetCurrentProcName(QStringLiteral("FormCreate"));
    m_state.ProgramDir = ResolveProgramDir();
    m_logger->SetFileName(m_state.DataFile(QStringLiteral("quorvel.log")));
    // A run killed while saving leaves its half-made copy behind (the task file's: see
    // TakeQueue).
    TSafeFile::RemoveLeftovers(m_state.DataFile(QStringLiteral("qvsession.log")));
    emit StartupStep(QStringLiteral("Loading"));
    m_state.VersionText = BuildVersionText();
    emit StartupStep(QStringLiteral("Reading profile settings"));
    QString profile = args.isEmpty() ? QStringLiteral("Default") : args.first();
    if (const QString problem = ProfileNameProblem(profile); !problem.isEmpty()) {
        m_view.ShowWarning(QStringLiteral("The profile \"%1\" cannot be used: %2. The Default "
                                          "profile is used instead.")
                               .arg(profile, problem));
        profile = QStringLiteral("Default");
    }
    m_state.SetProfile(m_profiles->StoredName(profile));
    if (const QString error = m_store.ReadError(); !error.isEmpty()) {
        LogIt(QStringLiteral("Error: ") + error);
        m_view.ShowWarning(error + QStringLiteral("\nThe settings will not be saved in this run."));
    }
    m_profiles->ReadVariables();
    m_profiles->ReadProfiles();
    emit StartupStep(QStringLiteral("Reading newsrc file"));
    m_groupOps->NameSortDescending = true;
    m_groupOps->CountSortDescending = true;
    m_newsrc->ReadNewsrc();
    m_newsrc->ShowGroups();
    emit StartupDone();
    LogIt(QStringLiteral("Startup"));
}

void TQuorvelApp::FormShow()
{
    m_state.SetCurrentProcName(QStringLiteral("FormShow"));
    SetCaption();
    m_view.SetSubjectText(m_state.Settings.LastSubject);
    m_view.SetFolderPath(m_state.Settings.LastDir);
}

void TQuorvelApp::SetCaption()
{
    m_state.Commands.SetBusy(true);
    emit CaptionChanged(QStringLiteral("Quorvel v2: %1 Profile").arg(m_state.ProfileName));
    m_view.SetFromText(FromLine(m_state.Settings));
    m_state.Commands.SetBusy(false);
}

void TQuorvelApp::InstallIdleHook()
{
    if (auto* dispatcher = QAbstractEventDispatcher::instance())
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, &TQuorvelApp::OnIdle);
}

void TQuorvelApp::OnIdle()
{
    // A task started here may open a modal dialog, whose own event loop blocks and would
    // run this step again inside the first one.
    if (m_inIdle)
        return;
    const QScopedValueRollback<bool> guard(m_inIdle, true);
    // Called by the event dispatcher, outside the guarded event delivery: what a task's
    // start lets escape is handled here as there.
    try {
        m_runner->ShowIdleState();
        m_runner->IdleStep();
    } catch (const std::exception& e) {
        OnException(QString::fromUtf8(e.what()));
        return;
    } catch (...) {
        OnException(QStringLiteral("Unknown error"));
        return;
    }
    // The event loop announces only once that it is about to wait: when a task ended inside
    // this step and the next one is ready, wake it so the next idle step starts that task.
    if (!m_taskList->RunnerBusy() && !m_taskList->IsEmpty())
        QTimer::singleShot(0, this, [] {});
}

void TQuorvelApp::FormCloseQuery()
{
    m_state.SetCurrentProcName(QStringLiteral("FormCloseQuery"));
    m_profiles->SaveProfiles();
    // Work still queued or running is kept for the next start, never dropped.
    if (!m_taskList->IsEmpty()) {
        const int count = m_taskList->Count();
        m_runner->ClearTaskList(true);
        if (m_taskList->IsEmpty())
            LogIt(QStringLiteral("Info: Closing with %1 task(s) left; they were saved to the "
                                 "task file")
                      .arg(count));
    }
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
    m_newsrc->ClearSubList();
    m_newsrc->ClearUnsubList();
    m_newsrc->ClearNewList();
    m_profiles->SaveVariables();
}

void TQuorvelApp::OnException(const QString& message)
{
    const QString procName = m_state.CurrentProcName();
    m_runner->ClearTaskList(true);
    // A failed save keeps the tasks in the list, and has told the user why.
    const QString tasks = m_taskList->IsEmpty()
                              ? QStringLiteral("\r\nAll remaining tasks have been saved.\r\n")
                              : QStringLiteral("\r\nThe remaining tasks could not be saved.\r\n");
    LogIt(QStringLiteral("Error: ") + message);
    LogIt(procName);
    m_view.ShowWarning(QStringLiteral("%1: %2 %3")
                           .arg(QStringLiteral("An unexpected error has occured"), message,
                                tasks + QStringLiteral("Quorvel will now close.")));
    m_view.CloseMainWindow();
}

void TQuorvelApp::ExitButtonClick()
{
    m_state.SetCurrentProcName(QStringLiteral("ExitButtonClick"));
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

void TQuorvelApp::ProfileLoaded()
{
    m_newsrc->ReadNewsrc();
    m_newsrc->ShowGroups();
    SetCaption();
}

TKeyringPasswords TQuorvelApp::KeyringPasswords() const
{
    return m_profiles->KeyringPasswords();
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
