#pragma once

#include "app/Profiles.h"
#include "base/AppState.h"
#include "tasks/QueueLock.h"
#include "tasks/TaskChecks.h"
#include "tasks/TaskFile.h"

#include <QObject>
#include <QStringList>
#include <memory>

class TbcsNNTP;
class TClock;
class TDialupTasks;
class TGroupDownload;
class TUploadPoster;
class TUploadTaskBuilder;
class TGroupListModel;
class TGroupListOperations;
class TNewsrcStore;
class TRasConnection;
class TLogger;
class TNewsArticle;
class TTaskList;
class TTaskMenu;
class TTaskRunner;
class TSessionLog;
class TSecretStore;
class TSettingsStore;
class TView;

// The application object: owns the program's state and its subsystems for the whole run,
// wires their events together, and carries the life cycle - start-up, the idle step,
// the close request, shutdown and the last-resort error handler.
class TQuorvelApp : public QObject,
                    public TTaskChecks,
                    private TTaskFileOwner,
                    private TProfileOwner
{
    Q_OBJECT
public:
    TQuorvelApp(TView& view, TSettingsStore& store, const TClock& clock, QObject* parent = nullptr);
    ~TQuorvelApp() override;

    void FormCreate(const QStringList& args);
    void FormShow();
    void OnIdle();
    void FormCloseQuery();
    void FormDestroy();
    void OnException(const QString& message);
    void ExitButtonClick();

    // Takes the data folder's queue for this process (TQueueLock), after FormCreate. Returns
    // why not, naming the process that holds it: the task file then stays untouched and
    // nothing runs.
    QString TakeQueue();

    // Runs OnIdle whenever the event loop is about to wait for new events.
    void InstallIdleHook();

    void SetCaption();

    void ProfilesComboBoxChange(const QString& name);
    void NewProfileClick();
    void DeleteProfileClick();

    TAppState& State() { return m_state; }
    TProfiles& Profiles() { return *m_profiles; }
    TSessionLog& SessionLog() { return *m_sessionLog; }
    TLogger& Logger() { return *m_logger; }
    TNewsArticle& Article() { return *m_article; }
    TbcsNNTP& Nntp() { return *m_nntp; }
    TTaskList& TaskList() { return *m_taskList; }
    TTaskFile& TaskFile() { return *m_taskFile; }
    TTaskRunner& Runner() { return *m_runner; }
    TTaskMenu& TaskMenu() { return *m_taskMenu; }
    TRasConnection& Ras() { return *m_ras; }
    TDialupTasks& Dialup() { return *m_dialup; }
    TNewsrcStore& Newsrc() { return *m_newsrc; }
    TGroupListModel& GroupModel() { return *m_groupModel; }
    TGroupListOperations& GroupOperations() { return *m_groupOps; }
    TGroupDownload& GroupDownload() { return *m_groupDownload; }
    TUploadPoster& UploadPoster() { return *m_uploadPoster; }
    TUploadTaskBuilder& UploadTasks() { return *m_uploadTasks; }

    // Asks for the news server password when it is needed and not known.
    bool CheckAuth() override;
    // Queues a dial-up task first when the profile dials before its work.
    void CheckRas() override;

    void LogIt(const QString& text);
    void NNTPLogEvent(const QString& logText);

    QString HelpFile() const { return m_state.ProgramDir + QStringLiteral("Quorvel.html"); }

signals:
    // Start-up names each of its steps (for a splash window), then says it is done.
    void StartupStep(const QString& text);
    void StartupDone();
    // The caption for the current profile has changed ("Quorvel v2: NAME Profile").
    void CaptionChanged(const QString& caption);

private:
    void wireTasks();
    void wireGroups();
    void reportLogFailure(const QString& message);
    // What the task file and the profiles ask of the program.
    void SwitchProfile(const QString& profileName) override;
    void CreateNewsrcIfMissing() override;
    void ProfileLoaded() override;
    TKeyringPasswords KeyringPasswords() const override;

    TView& m_view;
    TSettingsStore& m_store;
    const TClock& m_clock;
    TAppState m_state;
    std::unique_ptr<TSessionLog> m_sessionLog;
    std::unique_ptr<TLogger> m_logger;
    std::unique_ptr<TSecretStore> m_keyring;
    std::unique_ptr<TProfiles> m_profiles;
    std::unique_ptr<TNewsArticle> m_article;
    std::unique_ptr<TbcsNNTP> m_nntp;
    std::unique_ptr<TTaskList> m_taskList;
    std::unique_ptr<TTaskFile> m_taskFile;
    std::unique_ptr<TTaskRunner> m_runner;
    std::unique_ptr<TTaskMenu> m_taskMenu;
    std::unique_ptr<TRasConnection> m_ras;
    std::unique_ptr<TDialupTasks> m_dialup;
    std::unique_ptr<TNewsrcStore> m_newsrc;
    std::unique_ptr<TGroupListModel> m_groupModel;
    std::unique_ptr<TGroupListOperations> m_groupOps;
    std::unique_ptr<TGroupDownload> m_groupDownload;
    std::unique_ptr<TUploadPoster> m_uploadPoster;
    std::unique_ptr<TUploadTaskBuilder> m_uploadTasks;
    TQueueLock m_queueLock;
    bool m_logFailureShown = false;
    bool m_inIdle = false;
};
