#include "ui/ProgramWiring.h"

#include "app/CertificateTrust.h"
#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "app/DesktopNotifier.h"
#include "app/QueueControl.h"
#include "app/HistoryControl.h"
#include "app/LauncherEntry.h"
#include "tasks/TaskList.h"
#include "dialup/RasConnection.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "tasks/TaskMenu.h"
#include "tasks/TaskRunner.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"
#include "upload/UploadTaskBuilder.h"
#include "ui/MainForm.h"
#include "ui/QueuePanel.h"
#include "ui/HistoryDialog.h"

#include <QApplication>
#include <QTimer>

TProgramWiring::TProgramWiring(TMainForm& form, TQuorvelApp& logic) : m_form(form), m_logic(logic)
{
    form.AttachState(logic.State());
    form.AttachSessionLog(logic.SessionLog());
    form.SetGroupModel(&logic.GroupModel());
    form.FollowStartup(logic);
    WireApp();
    WireTasks();
    WireGroups();
    WireCertificateTrust();
    WireQueue();
    WireHistory();
}

TProgramWiring::~TProgramWiring()
{
    m_form.SetGroupModel(nullptr);
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
}

template <typename Signal, typename Operation>
void TProgramWiring::Wire(Signal signal, Operation operation)
{
    m_connections << QObject::connect(&m_form, signal, operation);
}

void TProgramWiring::WireApp()
{
    TQuorvelApp& logic = m_logic;
    Wire(&TMainForm::ExitButtonClicked, [&logic] { logic.ExitButtonClick(); });
    Wire(&TMainForm::FormCloseQueried, [&logic] { logic.FormCloseQuery(); });
    // Saved at once: a change made in Setup survives a crash or a logout.
    Wire(&TMainForm::SetupAccepted, [&logic] { logic.Profiles().SaveVariables(); });
    Wire(&TMainForm::ProfilesComboBoxChanged,
         [&logic](const QString& name) { logic.ProfilesComboBoxChange(name); });
    Wire(&TMainForm::NewProfileClicked, [&logic] { logic.NewProfileClick(); });
    Wire(&TMainForm::DeleteProfileClicked, [&logic] { logic.DeleteProfileClick(); });

    // With NetworkManager on the bus the setup dialog gets its Dial-up page, listing the
    // connection profiles.
    TRasConnection& dialup = logic.Ras();
    m_form.SetDialup(dialup.Available(),
                     [&dialup](const TSetupForm2::TEntriesDone& done) { dialup.GetEntries(done); });
}

void TProgramWiring::WireTasks()
{
    TUploadTaskBuilder& uploads = m_logic.UploadTasks();
    TMainForm& form = m_form;
    Wire(&TMainForm::PostButtonClicked, [&uploads, &form] { uploads.PostButtonClick(form); });
    Wire(&TMainForm::FileOpenButtonClicked, [&uploads, &form] { uploads.DoFileUpload(form); });
    Wire(&TMainForm::FilesDropped,
         [&uploads, &form](const QStringList& paths) { uploads.PostDropped(form, paths); });
    TTaskRunner& runner = m_logic.Runner();
    Wire(&TMainForm::AbortButtonClicked, [&runner] { runner.AbortButtonClick(); });
    Wire(&TMainForm::DisconnectButtonClicked, [&runner] { runner.DisconnectButtonClick(); });
    Wire(&TMainForm::TasksStartClicked, [&runner] { runner.TasksStartClick(); });
    Wire(&TMainForm::TasksAutoStartClicked, [&runner] { runner.TasksAutoStartClick(); });
    TTaskMenu& tasks = m_logic.TaskMenu();
    Wire(&TMainForm::TaskMenuClicked, [&tasks] { tasks.TaskMenuClick(); });
    Wire(&TMainForm::TasksClearClicked, [&tasks] { tasks.TasksClearClick(); });
    Wire(&TMainForm::TasksReloadClicked, [&tasks] { tasks.TasksReloadClick(); });
    Wire(&TMainForm::TasksViewClicked, [&tasks, &form] { tasks.TasksViewClick(form); });
    m_connections << QObject::connect(&m_logic.UploadPoster().Account(), &TBatchAccount::NzbWritten,
                                      &form,
                                      [&form](const QString& path) { form.ShowNzbWritten(path); });
    m_connections << QObject::connect(
        &m_logic.UploadPoster(), &TUploadPoster::BatchProgressChanged, &form,
        [&form](const TBatchProgressState& state) { form.ShowBatchProgress(state); });
}

void TProgramWiring::WireGroups()
{
    TMainForm& form = m_form;
    TGroupListOperations& groups = m_logic.GroupOperations();
    Wire(&TMainForm::GroupFindClicked, [&groups, &form] { groups.GroupFindClick(form); });
    Wire(&TMainForm::FindAgainClicked, [&groups, &form] { groups.FindAgainClick(form); });
    Wire(&TMainForm::GroupsSubscribeItemClicked,
         [&groups, &form] { groups.GroupsSubscribeItemClick(form); });
    Wire(&TMainForm::GroupsImportClicked, [&groups, &form] { groups.GroupsImportClick(form); });
    Wire(&TMainForm::GroupListColumnClicked,
         [&groups](int column) { groups.GroupListColumnClick(column); });
    Wire(&TMainForm::PopupMenu1Opened,
         [&form, &groups] { form.ApplyShortcutMenu(groups.PopupMenu1Popup()); });
    Wire(&TMainForm::Sort1Clicked, [&groups] { groups.Sort1Click(); });
    Wire(&TMainForm::Subscribed1Clicked, [&groups] { groups.Subscribed1Click(); });
    Wire(&TMainForm::Unsubscribed1Clicked, [&groups] { groups.Unsubscribed1Click(); });
    Wire(&TMainForm::New1Clicked, [&groups] { groups.New1Click(); });

    TGroupDownload& download = m_logic.GroupDownload();
    Wire(&TMainForm::GroupsMenuClicked,
         [&form, &download] { form.ApplyGroupsMenu(download.GroupsMenuClick(form)); });
    Wire(&TMainForm::GroupsDownloadItemClicked,
         [&download] { download.GroupsDownloadItemClick(); });
    Wire(&TMainForm::GroupsNewItemClicked, [&download] { download.GroupsNewItemClick(); });
    Wire(&TMainForm::FirstStartFinished, [&download] { download.QueueFirstDownload(); });
}

void TProgramWiring::WireCertificateTrust()
{
    m_trust = std::make_unique<TCertificateTrust>(
        m_logic.Nntp(), m_logic.State(), m_logic.Profiles(), m_logic.TaskFile(), m_logic.Logger());
    QObject::connect(&m_logic.UploadPoster().MultiPart().Connections(),
                     &TPostConnections::CertificateRefused, m_trust.get(),
                     &TCertificateTrust::Refused);
    // The refusal's own error box comes first: the question waits until no dialog is open.
    m_trustTimer.setInterval(100);
    QObject::connect(&m_trustTimer, &QTimer::timeout, &m_form, [this] { askTrust(); });
    QObject::connect(
        m_trust.get(), &TCertificateTrust::TrustWanted, &m_form,
        [this](const TCertificateInfo& certificate, const QString& server, const QString& reason) {
            m_pendingTrust = {certificate, server, reason};
            m_trustTimer.start();
        });
}

void TProgramWiring::askTrust()
{
    if (!m_pendingTrust || QApplication::activeModalWidget())
        return;
    m_trustTimer.stop();
    const TPendingTrust pending = *std::exchange(m_pendingTrust, std::nullopt);
    if (m_form.AskTrustCertificate(pending.Certificate, pending.Server, pending.Reason))
        m_trust->Trust(pending.Certificate);
}

void TProgramWiring::WireQueue()
{
    m_queue =
        std::make_unique<TQueueControl>(m_logic.TaskList(), m_logic.TaskFile(), m_logic.Runner(),
                                        m_logic.UploadPoster().MultiPart(), m_logic.State());
    TQueuePanel* panel = m_form.QueuePanel();
    TQueueControl& queue = *m_queue;
    auto connectPanel = [this, panel](auto signal, auto operation) {
        m_connections << QObject::connect(panel, signal, &m_form, operation);
    };
    connectPanel(&TQueuePanel::PauseClicked, [this, &queue] { queueDone(queue.Pause()); });
    connectPanel(&TQueuePanel::ResumeClicked, [this, &queue] { queueDone(queue.Resume()); });
    connectPanel(&TQueuePanel::RetryClicked,
                 [this, &queue] { queueDone(queue.RetryWithCurrentSettings()); });
    connectPanel(&TQueuePanel::RemoveClicked,
                 [this, &queue](int row) { queueDone(queue.Remove(row)); });
    connectPanel(&TQueuePanel::MoveClicked,
                 [this, &queue](int row, int to) { queueDone(queue.Move(row, to)); });
    Wire(&TMainForm::QueueEmptied, [this] { ShowKeptTasks(); });
    Wire(&TMainForm::RetryRequested, [this, &queue] { queueDone(queue.Resume()); });

    // A word to the desktop when a batch is through or stops.
    m_notifier = std::make_unique<TDesktopNotifier>(m_logic.Logger());
    TDesktopNotifier& notifier = *m_notifier;
    m_connections << QObject::connect(&m_logic.UploadPoster().Account(), &TBatchAccount::NzbWritten,
                                      &notifier, &TDesktopNotifier::BatchDone);
    m_connections << QObject::connect(&m_logic.TaskList(), &TTaskList::HeadFailed, &notifier,
                                      &TDesktopNotifier::BatchStopped);
    // And the batch's bar on the task bar entry, where the desktop shows one.
    m_launcher = std::make_unique<TLauncherEntry>();
    TLauncherEntry& launcher = *m_launcher;
    m_connections << QObject::connect(
        &m_logic.UploadPoster(), &TUploadPoster::BatchProgressChanged, &m_form,
        [&launcher](const TBatchProgressState& state) { launcher.Show(state.Percent); });
    Wire(&TMainForm::QueueEmptied, [&launcher] { launcher.Hide(); });
}

void TProgramWiring::queueDone(const QString& error)
{
    if (!error.isEmpty())
        m_form.ShowWarning(error);
    m_logic.Runner().ShowIdleState();
}

void TProgramWiring::ShowKeptTasks()
{
    QString error;
    const QList<TTaskRow> rows = m_queue->KeptRows(&error);
    if (!error.isEmpty()) {
        m_form.ShowKeptTasks({}, QString());
        m_form.SetStatusText(error);
        return;
    }
    m_form.ShowKeptTasks(rows, rows.isEmpty() ? QString() : m_queue->KeptSummary());
}

void TProgramWiring::WireHistory()
{
    m_history = std::make_unique<THistoryControl>(m_logic.State(), m_logic.TaskList(),
                                                  m_logic.UploadPoster().Account());
    THistoryDialog* dialog = m_form.HistoryDialog();
    THistoryControl& history = *m_history;
    Wire(&TMainForm::HistoryClicked, [this] { ShowHistory(); });
    auto refused = [dialog](const QString& error) {
        if (!error.isEmpty())
            dialog->ShowRefusal(error);
    };
    m_connections << QObject::connect(dialog, &THistoryDialog::RefreshClicked, dialog,
                                      [this] { ShowHistory(); });
    m_connections << QObject::connect(
        dialog, &THistoryDialog::CheckClicked, dialog,
        [&history, refused](const QString& batch) { refused(history.CheckAgain(batch)); });
    m_connections << QObject::connect(
        dialog, &THistoryDialog::RepairClicked, dialog,
        [&history, refused](const QString& batch, const QString& folder) {
            refused(history.Repair(batch, folder));
        });
    m_connections << QObject::connect(dialog, &THistoryDialog::StopClicked, &history,
                                      &THistoryControl::Abort);
    m_connections << QObject::connect(dialog, &THistoryDialog::SetupWanted, &m_form,
                                      &TMainForm::OpenSetup);
    m_connections << QObject::connect(&history, &THistoryControl::Progress, dialog,
                                      &THistoryDialog::ShowProgress);
    // The row's state and counts follow from the journal the check or repair wrote.
    m_connections << QObject::connect(&history, &THistoryControl::Finished, dialog,
                                      [this, dialog](const THistoryResult& result) {
                                          ShowHistory();
                                          dialog->ShowResult(result);
                                      });
    // A batch just posted shows at once.
    m_connections << QObject::connect(&m_logic.UploadPoster().Account(), &TBatchAccount::NzbWritten,
                                      dialog, [this, dialog] {
                                          if (dialog->isVisible())
                                              ShowHistory();
                                      });
}

void TProgramWiring::ShowHistory()
{
    QStringList errors;
    const QList<THistoryEntry> entries = m_history->Entries(&errors);
    m_form.HistoryDialog()->ShowEntries(entries, errors);
}
