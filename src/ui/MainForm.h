#pragma once

#include "ui/LatestShown.h"
#include "net/TlsChannel.h"

#include "base/AppState.h"
#include "base/View.h"
#include "base/WindowView.h"
#include "browser/FileList.h"
#include "ui/SetupForm2.h"
#include "upload/BatchProgress.h"

#include <QKeySequence>
#include <QMainWindow>
#include <QTimer>

#include <memory>

class QAction;
class QComboBox;
class QDialog;
class QFileInfo;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QSplitter;
class QTreeView;
class TFileList;
class TFindGroupForm;
class TFolderTree;
class TGroupListModel;
class TNewsrcStore;
class TQuorvelApp;
struct TGroupsMenuState;
struct TShortcutMenuState;
class THelpWindow;
class TLogForm;
class TSessionLog;
class TSettingsStore;
class TSplashForm;
class TTaskList;
class TTaskListForm;
class TQueuePanel;
class THistoryDialog;
class TTrayStatus;

// The main window: the toolbar, the From/Subject entry panel with the status field and the
// progress bar, the folder tree and file list, the group pane and the status bar. It shows
// what the program's logic tells it through TView and hands every command on as a signal,
// which TProgramWiring connects to its operation.
class TMainForm : public QMainWindow, public TView, public TWindowView
{
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    // The program's state: settings for the setup dialog, the program folder for the task
    // file and the help, the version for the About window.
    void AttachState(TAppState& state);
    void AttachSessionLog(const TSessionLog& log);
    // The window opens as it was left (size, panes, columns) and is saved there on closing.
    void AttachLayoutStore(TSettingsStore& store);
    // Dial-up available: the setup dialog gets its Dial-up page, listing these entries.
    void SetDialup(bool available, TSetupForm2::TEntryLister listEntries = {});
    // The rows of the group pane; not owned. Until it is set the pane stays empty.
    void SetGroupModel(TGroupListModel* model);
    // The group pane follows the store's shown list (count, caption, selection, repaints).
    void FollowGroupList(const TNewsrcStore& store);
    // The splash window and the caption follow the application's start-up.
    void FollowStartup(TQuorvelApp& app);
    // The busy cursor and the switched commands follow the operations.
    void FollowCommands(const TCommandState& commands);

    // TView.
    void ShowWarning(const QString& text) override;
    // An error with a way forward: Open Setup, and Retry while work was queued (it goes on
    // with the tasks the failure kept).
    void ShowError(const QString& text) override;
    bool AskYesNo(const QString& text) override;
    // Shows a certificate no authority vouches for and asks whether to trust it; No is the
    // default.
    bool AskTrustCertificate(const TCertificateInfo& certificate, const QString& server,
                             const QString& reason);
    std::optional<QString> InputBox(const QString& caption, const QString& prompt,
                                    const QString& initial) override;
    std::optional<TLoginAnswer> AskLogin(const QString& caption, const QString& user,
                                         const QString& password) override;
    std::optional<QStringList> AskIncludeText() override;
    QString AskOpenFile(const QString& caption, const QString& filter) override;
    std::optional<TFindAnswer> AskFindGroup(const QString& text, TFindMode mode) override;
    void OpenSetup() override;
    // The first start's guided setup (server, name and address); what it enters is kept as
    // Setup's OK keeps it, and FirstStartFinished asks for the server's group list.
    void OpenFirstStart();
    void SetStatusText(const QString& text) override;
    QString StatusText() const override;
    void SetProgress(int percent) override;
    void SetBusy(bool busy);
    void SetActionEnabled(TViewAction action, bool enabled);
    void ShowSplashStatus(const QString& text);
    // The enabling rules and the status bar panels, at every idle moment.
    void RefreshControls(const TIdleState& state);
    void CloseSplash();
    void SetWindowTitle(const QString& title);
    void ShowProfiles(const QStringList& names, int selected);
    QString FromText() const override;
    void SetFromText(const QString& text) override;
    QString SubjectText() const override;
    void SetSubjectText(const QString& text) override;
    QString FolderPath() const override;
    void SetFolderPath(const QString& path) override;
    QStringList SelectedFiles() const override;
    void ClearFileSelection() override;
    void TaskViewAdd(const TTaskRow& row) override;
    // Where the last batch's NZB file was written, in the status bar.
    void ShowNzbWritten(const QString& path);
    // Where the batch of uploads stands (per cent, bytes, speed, time left), in the status bar.
    void ShowBatchProgress(const TBatchProgressState& state);
    void TaskViewInsert(int index, const TTaskRow& row) override;
    void TaskViewRemoveFirst() override;
    void TaskViewClear() override;
    void ShowTaskWindow() override;
    void GroupPaneSetCount(int count);
    void GroupPaneSetCaption(const QString& caption);
    QList<int> GroupPaneSelectedRows() const override;
    void GroupPaneSelectRows(const QList<int>& rows, bool clearOthers) override;
    void GroupPaneMakeVisible(int row) override;
    void GroupPaneRepaint();
    void CloseMainWindow() override;

    TFindGroupForm* FindGroupForm() const { return m_findGroupForm; }

    // Enables a command by its name ("GroupsNewItem", "GroupsSubscribeItem", ...) and, when
    // caption is not empty, gives it that caption.
    void SetCommandState(const QString& name, bool enabled, const QString& caption = {});
    QAction* Command(const QString& name) const;
    // The Groups menu and the group pane's shortcut menu as the group operations work
    // them out when the menus open.
    void ApplyGroupsMenu(const TGroupsMenuState& state);
    void ApplyShortcutMenu(const TShortcutMenuState& state);

    // The Auto Start check mark.
    bool AutoStartChecked() const;
    void SetAutoStartChecked(bool checked);
    // Window title "Quorvel v2: <profile> Profile" and From "<address> (<name>)".
    void SetCaption();
    // The enabling rules, in their order.
    void SetButtons(const TIdleState& state);
    // The status bar panels: tasks and the selected folder.
    void ShowIdleStatus(int taskCount);
    // Help contents (topic 0) or one topic.
    void ShowHelp(int topic);

    // Admits only regular files into the file list.
    static bool FileListAddItem(const QFileInfo& info);

    TFileList* FileList() const { return m_fileList; }
    TFolderTree* DriveTree() const { return m_driveTree; }
    QTreeView* GroupList() const { return m_groupList; }
    TTaskListForm* TaskListForm() const { return m_taskListForm; }
    TQueuePanel* QueuePanel() const { return m_queuePanel; }
    // What is happening now, beside the status field ("Posting photo.jpg, part 193 of 328").
    QString NowText() const;
    // The kept tasks as the queue panel lists them while nothing is queued, and the offer
    // to go on with them (empty: none).
    void ShowKeptTasks(const QList<TTaskRow>& rows, const QString& summary);
    TLogForm* LogForm() const { return m_logForm; }
    THistoryDialog* HistoryDialog() const { return m_historyDialog; }
    THelpWindow* HelpWindow() const { return m_helpWindow; }

    // Saves a picture of the window or of one of its dialogs (documentation screenshots).
    static bool SaveScreenshot(QWidget* widget, const QString& fileName);

public slots:
    void PostButtonClick();
    void FileOpenButtonClick();
    void AddFilesClick();
    void AddFolderClick();
    void AbortButtonClick();
    void SetupButtonClick();
    void ExitButtonClick();
    void DisconnectButtonClick();
    void ListButtonClick();
    void SmallButtonClick();
    void DetailsButtonClick();
    void HelpHelpItemClick();
    void HelpAboutItemClick();
    void SetupQuorvelClick();
    void SubscribetogroupsClick();
    void UploadfilesClick();
    void ProfilesComboBoxChange(int index);
    void FileMenuClick();
    void FileSelectAllItemClick();
    void NewProfileClick();
    void DeleteProfileClick();
    void GroupsMenuClick();
    void GroupFindClick();
    void FindAgainClick();
    void GroupsSubscribeItemClick();
    void GroupsDownloadItemClick();
    void GroupsNewItemClick();
    void GroupsImportClick();
    void PopupMenu1Popup();
    void Sort1Click();
    void Subscribed1Click();
    void Unsubscribed1Click();
    void New1Click();
    void GroupListColumnClick(int column);
    void TaskMenuClick();
    void TasksAutoStartClick();
    void TasksClearClick();
    void TasksReloadClick();
    void TasksViewClick();
    void TasksStartClick();
    void ViewLogItemClick();
    void ViewHistoryItemClick();
    void ViewRefreshItemClick();
    void DoSetup();
    void DoSetup2();

signals:
    // The commands the program's logic carries out, one signal each, given when the user
    // gives the command (menus: as they open; the window: as it is about to close).
    void PostButtonClicked();
    void FileOpenButtonClicked();
    void AbortButtonClicked();
    void DisconnectButtonClicked();
    void ExitButtonClicked();
    void NewProfileClicked();
    void DeleteProfileClicked();
    void GroupsMenuClicked();
    void GroupFindClicked();
    void FindAgainClicked();
    void GroupsSubscribeItemClicked();
    void GroupsDownloadItemClicked();
    void GroupsNewItemClicked();
    void GroupsImportClicked();
    void PopupMenu1Opened();
    void Sort1Clicked();
    void Subscribed1Clicked();
    void Unsubscribed1Clicked();
    void New1Clicked();
    void TaskMenuClicked();
    void TasksAutoStartClicked();
    void TasksClearClicked();
    void TasksReloadClicked();
    void TasksViewClicked();
    void TasksStartClicked();
    // The history view was opened: its entries are read again.
    void HistoryClicked();
    void FormCloseQueried();
    // The setup dialog was confirmed: its values are the profile's now.
    void SetupAccepted();
    // The first start's guide was finished (after SetupAccepted): the group list is wanted.
    void FirstStartFinished();
    // Retry was chosen in an error box: go on with the kept tasks.
    void RetryRequested();
    // The queue has just emptied (done, paused, aborted or failed).
    void QueueEmptied();
    void ProfilesComboBoxChanged(const QString& name);
    // Files and folders dropped on the window or chosen with Add files… or Add folder….
    void FilesDropped(const QStringList& paths);
    void GroupListColumnClicked(int column);

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* NewAction(const char* name, const QString& text, const QString& hint = {});
    QAction* AddItem(QMenu* menu, const char* name, const QString& text, void (TMainForm::*slot)(),
                     const QKeySequence& shortcut = {});
    void BuildActions();
    void BuildToolBar();
    void BuildMenus();
    QWidget* BuildEntryPanel();
    QWidget* BuildWorkArea();
    void BuildStatusBar();
    void SetProcName(const char* name);
    void FitGroupColumn();
    void SetNowText(const QString& text);
    // Asked when the window is closed with work queued: true when it may close.
    bool MayCloseWithWork();
    void FollowTaskList(const TTaskList& list);
    void ShowHelpOver(QDialog* dialog, int topic);
    void AcceptSetup(const ProfileSettings& settings);

    TAppState* m_state = nullptr;
    TSettingsStore* m_layoutStore = nullptr;
    TAppState m_ownState;
    bool m_dialupAvailable = false;
    TSetupForm2::TEntryLister m_dialupEntries;
    bool m_busy = false;
    bool m_shownOnce = false;
    bool m_placeKept = false; // the window's place came from the last run
    bool m_closing = false;
    bool m_historyShown = false; // the History window was opened in this run
    // The file-open dialog keeps its folder, title and filter from one use to the next.
    QString m_openDialogDir;
    QString m_openCaption;
    QString m_openFilter = QStringLiteral("All Files|*.*");

    // Toolbar and menu commands.
    QAction* m_postButton = nullptr;
    QAction* m_fileOpenButton = nullptr;
    QAction* m_abortButton = nullptr;
    QAction* m_setupButton = nullptr;
    QAction* m_exitButton = nullptr;
    QAction* m_disconnectButton = nullptr;
    QAction* m_listButton = nullptr;
    QAction* m_smallButton = nullptr;
    QAction* m_detailsButton = nullptr;
    QAction* m_helpButton = nullptr;
    QAction* m_aboutButton = nullptr;
    QAction* m_historyButton = nullptr;
    QAction* m_profilesComboAction = nullptr;
    QAction* m_fileSelectAllItem = nullptr;
    QAction* m_findAgainItem = nullptr;
    QAction* m_groupsSubscribeItem = nullptr;
    QAction* m_groupsNewItem = nullptr;
    QAction* m_tasksAutoStartItem = nullptr;
    QAction* m_tasksReloadItem = nullptr;
    QAction* m_tasksViewItem = nullptr;
    QAction* m_tasksStartItem = nullptr;
    QMenu* m_popupMenu1 = nullptr;

    // Controls.
    QComboBox* m_profilesComboBox = nullptr;
    QLineEdit* m_from = nullptr;
    QLineEdit* m_subject = nullptr;
    QLineEdit* m_headerSubject = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_nowLabel = nullptr;
    TQueuePanel* m_queuePanel = nullptr;
    TTrayStatus* m_tray = nullptr;
    int m_taskCount = 0;
    bool m_batchRunning = false;
    // Exit was given (the close is the user's, as with the close box).
    bool m_exitGiven = false;
    // "Keep posting" was chosen on closing: the window closes once the queue is through.
    bool m_quitWhenDone = false;
    // The per-cent steps of a part, shown at most this often (see SetProgress).
    static constexpr int ProgressIntervalMs = 40;
    QTimer m_progressTimer;
    int m_shownProgress = 0;
    QSplitter* m_splitter1 = nullptr;
    QSplitter* m_splitter2 = nullptr;
    QSplitter* m_splitter3 = nullptr;
    TFolderTree* m_driveTree = nullptr;
    TFileList* m_fileList = nullptr;
    QTreeView* m_groupList = nullptr;
    TGroupListModel* m_groupModel = nullptr;
    QLabel* m_taskPanel = nullptr;
    QLabel* m_nzbPanel = nullptr;
    QLabel* m_batchPanel = nullptr;
    QString m_statusText = QStringLiteral("Offline"); // the latest, shown or about to be
    TLatestShown m_shownStatus;
    TLatestShown m_shownBatch;
    QLabel* m_folderPanel = nullptr;

    // Windows owned for the whole run.
    TTaskListForm* m_taskListForm = nullptr;
    TLogForm* m_logForm = nullptr;
    THistoryDialog* m_historyDialog = nullptr;
    TFindGroupForm* m_findGroupForm = nullptr;
    THelpWindow* m_helpWindow = nullptr;
    std::unique_ptr<TSplashForm> m_splash;
};
