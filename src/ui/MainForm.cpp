#include "ui/FirstStartWizard.h"
#include "ui/MainForm.h"

#include "app/Profiles.h"
#include "app/QuorvelApp.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "browser/FileList.h"
#include "browser/FolderTree.h"
#include "codec/LocalFile.h"
#include "ui/AboutBox.h"
#include "ui/FileDialogFilter.h"
#include "ui/FindGroupForm.h"
#include "groups/GroupDownload.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskRunner.h"
#include "ui/HelpWindow.h"
#include "ui/HotRowDelegate.h"
#include "ui/IncTextForm.h"
#include "ui/LogForm.h"
#include "ui/PasswordDlg.h"
#include "ui/ProgramIcon.h"
#include "ui/QueueModel.h"
#include "ui/QueuePanel.h"
#include "ui/HistoryDialog.h"
#include "ui/SetupForm.h"
#include "ui/SplashForm.h"
#include "ui/TaskListForm.h"
#include "ui/TrayStatus.h"
#include "tasks/TaskList.h"
#include "ui/ViewStyleIcons.h"
#include "ui/WindowLayout.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

const QString ProgramTitle = QStringLiteral("Quorvel");
// The settings key of the History window's size and columns.
const QString HistoryLayoutKey = QStringLiteral("HistoryWindow");

QIcon ThemeIcon(const QStyle* style, const char* name, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(QLatin1String(name), style->standardIcon(fallback));
}

template <typename T> T* Named(T* object, const char* name)
{
    object->setObjectName(QLatin1String(name));
    return object;
}

} // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      m_shownStatus([this](const QString& text) { m_headerSubject->setText(text); }, this),
      m_shownBatch(
          [this](const QString& text) {
              m_batchPanel->setText(text);
              m_batchPanel->show();
          },
          this)
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowIcon(ProgramIcon());
    m_state = &m_ownState;

    BuildActions();
    BuildToolBar();
    BuildMenus();

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(BuildEntryPanel());
    layout->addWidget(BuildWorkArea(), 1);
    setCentralWidget(central);
    BuildStatusBar();

    m_tray = new TTrayStatus(*this);
    m_taskListForm = new TTaskListForm(this);
    m_historyDialog = new THistoryDialog(this);
    m_logForm = new TLogForm(this);
    m_findGroupForm = new TFindGroupForm(this);

    // Files and folders dropped anywhere on the window are posted; the entry fields take no
    // drop, so a dropped file never becomes a subject.
    setAcceptDrops(true);
    m_from->setAcceptDrops(false);
    m_subject->setAcceptDrops(false);

    setMinimumSize(604, 403);
    resize(900, 720);
}

TMainForm::~TMainForm()
{
    if (m_busy)
        QApplication::restoreOverrideCursor();
}

QAction* TMainForm::AddItem(QMenu* menu, const char* name, const QString& text,
                            void (TMainForm::*slot)(), const QKeySequence& shortcut)
{
    QAction* action = NewAction(name, text);
    action->setShortcut(shortcut);
    connect(action, &QAction::triggered, this, slot);
    menu->addAction(action);
    return action;
}

QAction* TMainForm::NewAction(const char* name, const QString& text, const QString& hint)
{
    auto* action = new QAction(text, this);
    action->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        action->setToolTip(hint);
    return action;
}

void TMainForm::BuildActions()
{
    const QStyle* s = style();
    m_postButton = NewAction("PostButton", QStringLiteral("Post"), QStringLiteral("Post"));
    m_postButton->setIcon(ThemeIcon(s, "mail-send", QStyle::SP_ArrowUp));
    m_fileOpenButton = NewAction("FileOpenButton", QStringLiteral("Open"), QStringLiteral("Open"));
    m_fileOpenButton->setIcon(ThemeIcon(s, "document-open", QStyle::SP_DialogOpenButton));
    m_abortButton = NewAction("AbortButton", QStringLiteral("Abort"), QStringLiteral("Abort"));
    m_abortButton->setIcon(ThemeIcon(s, "process-stop", QStyle::SP_BrowserStop));
    m_setupButton = NewAction("SetupButton", QStringLiteral("Setup"), QStringLiteral("Setup"));
    m_setupButton->setIcon(ThemeIcon(s, "preferences-system", QStyle::SP_FileDialogInfoView));
    m_exitButton = NewAction("ExitButton", QStringLiteral("Exit"), QStringLiteral("Exit"));
    m_exitButton->setIcon(ThemeIcon(s, "application-exit", QStyle::SP_DialogCloseButton));
    m_disconnectButton =
        NewAction("DisconnectButton", QStringLiteral("Disconnect"), QStringLiteral("Disconnect"));
    m_disconnectButton->setIcon(ThemeIcon(s, "network-offline", QStyle::SP_DialogCancelButton));
    m_listButton =
        NewAction("ListButton", QStringLiteral("List View"), QStringLiteral("List View"));
    m_listButton->setIcon(ListViewIcon());
    m_smallButton =
        NewAction("SmallButton", QStringLiteral("Small View"), QStringLiteral("Small View"));
    m_smallButton->setIcon(SmallIconViewIcon());
    m_detailsButton =
        NewAction("DetailsButton", QStringLiteral("Details View"), QStringLiteral("Details View"));
    m_detailsButton->setIcon(DetailsViewIcon());
    m_helpButton = NewAction("HelpButton", QStringLiteral("Help"), QStringLiteral("Help"));
    m_helpButton->setIcon(ThemeIcon(s, "help-browser", QStyle::SP_DialogHelpButton));
    m_aboutButton = NewAction("AboutButton", QStringLiteral("About"), QStringLiteral("About"));
    m_aboutButton->setIcon(ThemeIcon(s, "help-about", QStyle::SP_MessageBoxInformation));
    m_historyButton = NewAction("ViewHistoryItem", QStringLiteral("History"),
                                QStringLiteral("Every batch posted: check again, repair"));
    m_historyButton->setIcon(
        ThemeIcon(s, "document-open-recent", QStyle::SP_FileDialogDetailedView));
    m_historyButton->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));

    m_postButton->setEnabled(false);
    m_fileOpenButton->setEnabled(false);
    m_abortButton->setEnabled(false);
    m_disconnectButton->setEnabled(false);
    auto* views = new QActionGroup(this);
    for (QAction* view : {m_listButton, m_smallButton, m_detailsButton}) {
        view->setCheckable(true);
        views->addAction(view);
    }
    m_detailsButton->setChecked(true);

    connect(m_postButton, &QAction::triggered, this, &TMainForm::PostButtonClick);
    connect(m_fileOpenButton, &QAction::triggered, this, &TMainForm::FileOpenButtonClick);
    connect(m_abortButton, &QAction::triggered, this, &TMainForm::AbortButtonClick);
    connect(m_setupButton, &QAction::triggered, this, &TMainForm::SetupButtonClick);
    connect(m_exitButton, &QAction::triggered, this, &TMainForm::ExitButtonClick);
    connect(m_disconnectButton, &QAction::triggered, this, &TMainForm::DisconnectButtonClick);
    connect(m_listButton, &QAction::triggered, this, &TMainForm::ListButtonClick);
    connect(m_smallButton, &QAction::triggered, this, &TMainForm::SmallButtonClick);
    connect(m_detailsButton, &QAction::triggered, this, &TMainForm::DetailsButtonClick);
    connect(m_helpButton, &QAction::triggered, this, &TMainForm::HelpHelpItemClick);
    connect(m_aboutButton, &QAction::triggered, this, &TMainForm::HelpAboutItemClick);
    connect(m_historyButton, &QAction::triggered, this, &TMainForm::ViewHistoryItemClick);
}

void TMainForm::BuildToolBar()
{
    auto* bar = Named(new QToolBar(QStringLiteral("Toolbar"), this), "ToolBar");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(24, 24));
    // Every button says what it does; Post, the one most used, stands out.
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setContextMenuPolicy(Qt::PreventContextMenu);
    bar->addAction(m_postButton);
    if (QWidget* post = bar->widgetForAction(m_postButton)) {
        post->setObjectName(QStringLiteral("PostToolButton"));
        QFont font = post->font();
        font.setBold(true);
        post->setFont(font);
        post->setToolTip(QStringLiteral("Post the selected files to the selected groups"));
    }
    bar->addAction(m_fileOpenButton);
    bar->addSeparator();
    bar->addAction(m_abortButton);
    bar->addSeparator();
    bar->addAction(m_setupButton);
    bar->addAction(m_exitButton);
    bar->addAction(m_disconnectButton);
    bar->addSeparator();
    bar->addAction(m_listButton);
    bar->addAction(m_smallButton);
    bar->addAction(m_detailsButton);
    bar->addSeparator();
    bar->addAction(m_helpButton);
    bar->addAction(m_aboutButton);
    bar->addSeparator();

    m_profilesComboBox = Named(new QComboBox(bar), "ProfilesComboBox");
    m_profilesComboBox->setToolTip(QStringLiteral("Profiles"));
    m_profilesComboBox->setMinimumContentsLength(14);
    m_profilesComboBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_profilesComboBox->setEnabled(false);
    m_profilesComboAction = bar->addWidget(m_profilesComboBox);
    m_profilesComboAction->setVisible(false);
    connect(m_profilesComboBox, &QComboBox::activated, this, &TMainForm::ProfilesComboBoxChange);
    addToolBar(Qt::TopToolBarArea, bar);
}

void TMainForm::BuildMenus()
{
    QMenuBar* bar = menuBar();

    QMenu* file = Named(bar->addMenu(QStringLiteral("&File")), "FileMenu");
    m_fileSelectAllItem =
        AddItem(file, "FileSelectAllItem", QStringLiteral("Select &All"),
                &TMainForm::FileSelectAllItemClick, QKeySequence(Qt::CTRL | Qt::Key_A));
    file->addSeparator();
    AddItem(file, "AddFilesItem", QStringLiteral("Add &files…"), &TMainForm::AddFilesClick,
            QKeySequence(Qt::CTRL | Qt::Key_O));
    AddItem(file, "AddFolderItem", QStringLiteral("Add f&older…"), &TMainForm::AddFolderClick,
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->addSeparator();
    QMenu* profile = Named(file->addMenu(QStringLiteral("&Profile")), "FileProfileMenu");
    AddItem(profile, "NewProfileItem", QStringLiteral("&New"), &TMainForm::NewProfileClick);
    AddItem(profile, "DeleteProfileItem", QStringLiteral("&Delete"),
            &TMainForm::DeleteProfileClick);
    file->addSeparator();
    AddItem(file, "FileExitItem", QStringLiteral("E&xit"), &TMainForm::ExitButtonClick);
    connect(file, &QMenu::aboutToShow, this, &TMainForm::FileMenuClick);

    QMenu* groups = Named(bar->addMenu(QStringLiteral("&Groups")), "GroupsMenu");
    AddItem(groups, "GroupsFindItem", QStringLiteral("&Find"), &TMainForm::GroupFindClick,
            QKeySequence(Qt::CTRL | Qt::Key_F));
    m_findAgainItem = AddItem(groups, "FindAgainItem", QStringLiteral("Find Again"),
                              &TMainForm::FindAgainClick, QKeySequence(Qt::Key_F3));
    m_findAgainItem->setEnabled(false);
    groups->addSeparator();
    m_groupsSubscribeItem =
        AddItem(groups, "GroupsSubscribeItem", QStringLiteral("&Subscribe"),
                &TMainForm::GroupsSubscribeItemClick, QKeySequence(Qt::CTRL | Qt::Key_S));
    m_groupsSubscribeItem->setEnabled(false);
    AddItem(groups, "GroupsDownloadItem", QStringLiteral("&Download"),
            &TMainForm::GroupsDownloadItemClick, QKeySequence(Qt::CTRL | Qt::Key_D));
    m_groupsNewItem = AddItem(groups, "GroupsNewItem", QStringLiteral("&New"),
                              &TMainForm::GroupsNewItemClick, QKeySequence(Qt::CTRL | Qt::Key_N));
    m_groupsNewItem->setEnabled(false);
    groups->addSeparator();
    AddItem(groups, "GroupsImportItem", QStringLiteral("&Import"), &TMainForm::GroupsImportClick);
    connect(groups, &QMenu::aboutToShow, this, &TMainForm::GroupsMenuClick);

    QMenu* tasks = Named(bar->addMenu(QStringLiteral("&Tasks")), "TasksMenu");
    m_tasksAutoStartItem = AddItem(tasks, "TasksAutoStartItem", QStringLiteral("&Auto Start"),
                                   &TMainForm::TasksAutoStartClick);
    m_tasksAutoStartItem->setCheckable(true);
    m_tasksAutoStartItem->setChecked(true);
    tasks->addSeparator();
    AddItem(tasks, "TasksClearItem", QStringLiteral("&Clear"), &TMainForm::TasksClearClick);
    m_tasksReloadItem = AddItem(tasks, "TasksReloadItem", QStringLiteral("&Reload"),
                                &TMainForm::TasksReloadClick, QKeySequence(Qt::Key_F6));
    m_tasksReloadItem->setEnabled(false);
    m_tasksViewItem = AddItem(tasks, "TasksViewItem", QStringLiteral("&View"),
                              &TMainForm::TasksViewClick, QKeySequence(Qt::Key_F7));
    m_tasksViewItem->setEnabled(false);
    m_tasksStartItem = AddItem(tasks, "TasksStartItem", QStringLiteral("&Start"),
                               &TMainForm::TasksStartClick, QKeySequence(Qt::Key_F8));
    connect(tasks, &QMenu::aboutToShow, this, &TMainForm::TaskMenuClick);

    QMenu* view = Named(bar->addMenu(QStringLiteral("&View")), "ViewMenu");
    AddItem(view, "ViewLogItem", QStringLiteral("Session Log"), &TMainForm::ViewLogItemClick,
            QKeySequence(Qt::Key_F9));
    view->addAction(m_historyButton);
    QAction* tray = NewAction("ViewTrayItem", QStringLiteral("&Tray Icon While Posting"));
    tray->setCheckable(true);
    tray->setChecked(true);
    connect(tray, &QAction::toggled, this, [this](bool on) { m_tray->SetEnabled(on); });
    view->addAction(tray);
    view->addSeparator();
    AddItem(view, "ViewRefreshItem", QStringLiteral("&Refresh"), &TMainForm::ViewRefreshItemClick,
            QKeySequence(Qt::Key_F5));

    QMenu* help = Named(bar->addMenu(QStringLiteral("&Help")), "HelpMenu");
    AddItem(help, "HelpContentsItem", QStringLiteral("&Contents"), &TMainForm::HelpHelpItemClick);
    QMenu* howTo = Named(help->addMenu(QStringLiteral("&How To ...")), "HelpHowToMenu");
    AddItem(howTo, "SetupQuorvelItem", QStringLiteral("Setup Quorvel"),
            &TMainForm::SetupQuorvelClick);
    AddItem(howTo, "SubscribetogroupsItem", QStringLiteral("Subscribe to groups"),
            &TMainForm::SubscribetogroupsClick);
    AddItem(howTo, "UploadfilesItem", QStringLiteral("Upload Files"), &TMainForm::UploadfilesClick);
    AddItem(help, "HelpAboutItem", QStringLiteral("&About Quorvel"),
            &TMainForm::HelpAboutItemClick);

    m_popupMenu1 = Named(new QMenu(this), "PopupMenu1");
    AddItem(m_popupMenu1, "Sort1", QStringLiteral("Sort"), &TMainForm::Sort1Click);
    m_popupMenu1->addSeparator();
    AddItem(m_popupMenu1, "Subscribed1", QStringLiteral("Subscribed"),
            &TMainForm::Subscribed1Click);
    AddItem(m_popupMenu1, "Unsubscribed1", QStringLiteral("Unsubscribed"),
            &TMainForm::Unsubscribed1Click);
    AddItem(m_popupMenu1, "New1", QStringLiteral("New"), &TMainForm::New1Click);
    connect(m_popupMenu1, &QMenu::aboutToShow, this, &TMainForm::PopupMenu1Popup);
}

QWidget* TMainForm::BuildEntryPanel()
{
    m_splitter3 = Named(new QSplitter(Qt::Horizontal, this), "Splitter3");
    m_splitter3->setObjectName(QStringLiteral("Splitter3"));
    m_splitter3->setChildrenCollapsible(false);

    auto* left = new QWidget(m_splitter3);
    m_from = Named(new QLineEdit(left), "From");
    m_from->setToolTip(QStringLiteral("Name and address as sent to server"));
    m_subject = Named(new QLineEdit(left), "Subject");
    m_subject->setToolTip(QStringLiteral("Enter your subject here"));
    // The default is a hint, not a subject: an untouched field is empty.
    m_subject->setPlaceholderText(ProfileSettings().LastSubject);
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(4, 2, 2, 2);
    leftLayout->setSpacing(2);
    leftLayout->addWidget(m_from);
    leftLayout->addWidget(m_subject);

    auto* right = new QWidget(m_splitter3);
    m_headerSubject = Named(new QLineEdit(QStringLiteral("Offline"), right), "HeaderSubject");
    m_headerSubject->setToolTip(QStringLiteral("What's happening"));
    m_headerSubject->setReadOnly(true);
    m_headerSubject->setFocusPolicy(Qt::NoFocus);
    QPalette palette = m_headerSubject->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    m_headerSubject->setPalette(palette);
    m_progressBar = Named(new QProgressBar(right), "ProgressBar");
    m_progressBar->setToolTip(QStringLiteral("Upload Progress"));
    m_progressTimer.setSingleShot(true);
    m_progressTimer.setInterval(ProgressIntervalMs);
    connect(&m_progressTimer, &QTimer::timeout, this,
            [this] { m_progressBar->setValue(m_shownProgress); });
    m_progressBar->setRange(0, 100);
    m_progressBar->setValue(0);
    m_progressBar->setTextVisible(false);
    // The article's bar; the batch has the big one, in the queue panel.
    m_progressBar->setFixedHeight(qMax(6, m_headerSubject->sizeHint().height() / 3));
    m_nowLabel = Named(new QLabel(QStringLiteral("Nothing queued"), right), "NowLabel");
    m_nowLabel->setToolTip(QStringLiteral("What the queue is doing now"));
    m_nowLabel->setMinimumWidth(120);
    m_nowLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* statusRow = new QHBoxLayout;
    statusRow->setSpacing(6);
    statusRow->addWidget(m_headerSubject, 1);
    statusRow->addWidget(m_nowLabel, 1);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(2, 2, 4, 2);
    rightLayout->setSpacing(2);
    rightLayout->addLayout(statusRow);
    rightLayout->addWidget(m_progressBar);

    m_splitter3->setStretchFactor(0, 1);
    m_splitter3->setStretchFactor(1, 1);
    m_splitter3->setSizes({270, 590});
    m_splitter3->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    return m_splitter3;
}

QWidget* TMainForm::BuildWorkArea()
{
    m_splitter1 = Named(new QSplitter(Qt::Vertical, this), "Splitter1");
    m_splitter1->setChildrenCollapsible(false);
    m_splitter2 = Named(new QSplitter(Qt::Horizontal, m_splitter1), "Splitter2");
    m_splitter2->setChildrenCollapsible(false);

    m_driveTree = Named(new TFolderTree(m_splitter2), "DriveTree");
    m_driveTree->setToolTip(QStringLiteral("Drive/Directory Pane"));
    m_fileList = Named(new TFileList(m_splitter2), "FileList");
    m_fileList->setToolTip(QStringLiteral("Files Pane"));
    m_fileList->SetAdmitHook(&TMainForm::FileListAddItem);
    connect(m_driveTree, &TFolderTree::FolderSelected, m_fileList, &TFileList::SetFolder);
    m_splitter2->setStretchFactor(1, 1);
    m_splitter2->setSizes({220, 640});
    m_driveTree->setMinimumWidth(120);

    m_groupList = Named(new QTreeView(m_splitter1), "GroupList");
    m_groupList->setToolTip(QStringLiteral("News Groups Pane"));
    m_groupList->setRootIsDecorated(false);
    m_groupList->setItemsExpandable(false);
    m_groupList->setUniformRowHeights(true);
    m_groupList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_groupList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_groupList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_groupList->setAllColumnsShowFocus(true);
    m_groupList->setMouseTracking(true);
    m_groupList->setItemDelegate(new THotRowDelegate(m_groupList));
    m_groupList->setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* header = m_groupList->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(60);
    header->setSectionsClickable(true);
    header->setSectionsMovable(false);
    connect(header, &QHeaderView::sectionClicked, this, &TMainForm::GroupListColumnClick);
    connect(m_groupList, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        m_popupMenu1->popup(m_groupList->viewport()->mapToGlobal(pos));
    });
    m_groupList->viewport()->installEventFilter(this);

    m_queuePanel = new TQueuePanel(m_splitter1);

    m_splitter1->setStretchFactor(0, 1);
    m_splitter1->setStretchFactor(1, 1);
    m_splitter1->setStretchFactor(2, 1);
    // Files and groups share the height; the files part is never below its first height.
    m_splitter1->setSizes({260, 200, 180});
    m_splitter2->setMinimumHeight(155);
    return m_splitter1;
}

void TMainForm::BuildStatusBar()
{
    QStatusBar* bar = Named(new QStatusBar(this), "StatusBar");
    m_taskPanel = Named(new QLabel(QStringLiteral("Tasks: 0"), bar), "TasksPanel");
    m_taskPanel->setMinimumWidth(60);
    m_taskPanel->setContentsMargins(4, 0, 4, 0);
    m_folderPanel = Named(new QLabel(bar), "FolderPanel");
    m_folderPanel->setMinimumWidth(325);
    m_folderPanel->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(m_taskPanel);
    bar->addWidget(m_folderPanel, 1);
    m_batchPanel = Named(new QLabel(bar), "BatchPanel");
    m_batchPanel->setContentsMargins(4, 0, 4, 0);
    m_batchPanel->setToolTip(QStringLiteral("Batch Progress"));
    m_batchPanel->hide();
    bar->addPermanentWidget(m_batchPanel);
    m_nzbPanel = Named(new QLabel(bar), "NzbPanel");
    m_nzbPanel->setContentsMargins(4, 0, 4, 0);
    m_nzbPanel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_nzbPanel->hide();
    bar->addPermanentWidget(m_nzbPanel);
    bar->setSizeGripEnabled(true);
    setStatusBar(bar);
}

// ---------------------------------------------------------------------------------------------
// Wiring to the program's state.

void TMainForm::AttachState(TAppState& state)
{
    m_state = &state;
}

void TMainForm::AttachLayoutStore(TSettingsStore& store)
{
    m_layoutStore = &store;
    WindowLayout::Restore(*this, store);
    m_historyDialog->KeepColumns(WindowLayout::Restore(*m_historyDialog, store, HistoryLayoutKey));
    // A place kept from the last run is not centred again.
    m_placeKept = !store.ReadString(QStringLiteral("Window"), QStringLiteral("Geometry"), QString())
                       .isEmpty();
}

void TMainForm::AttachSessionLog(const TSessionLog& log)
{
    m_logForm->Attach(log);
}

void TMainForm::SetDialup(bool available, TSetupForm2::TEntryLister listEntries)
{
    m_dialupAvailable = available;
    m_dialupEntries = std::move(listEntries);
}

void TMainForm::FollowGroupList(const TNewsrcStore& store)
{
    connect(&store, &TNewsrcStore::ShownSelectionCleared, this,
            [this] { GroupPaneSelectRows({}, true); });
    connect(&store, &TNewsrcStore::ShownCountChanged, this, &TMainForm::GroupPaneSetCount);
    connect(&store, &TNewsrcStore::ShownCaptionChanged, this, &TMainForm::GroupPaneSetCaption);
    connect(&store, &TNewsrcStore::ShownRowsChanged, this, &TMainForm::GroupPaneRepaint);
}

void TMainForm::FollowCommands(const TCommandState& commands)
{
    connect(&commands, &TCommandState::BusyChanged, this, &TMainForm::SetBusy);
    connect(&commands, &TCommandState::ActionEnabledChanged, this, &TMainForm::SetActionEnabled);
}

void TMainForm::FollowStartup(TQuorvelApp& app)
{
    FollowCommands(app.State().Commands);
    connect(&app, &TQuorvelApp::StartupStep, this, &TMainForm::ShowSplashStatus);
    connect(&app, &TQuorvelApp::StartupDone, this, &TMainForm::CloseSplash);
    connect(&app, &TQuorvelApp::CaptionChanged, this, &TMainForm::SetWindowTitle);
    connect(&app.Profiles(), &TProfiles::NamesShown, this, &TMainForm::ShowProfiles);
    connect(&app.Runner(), &TTaskRunner::IdleStateChanged, this, &TMainForm::RefreshControls);
    connect(&app.TaskList(), &TTaskList::HeadStateChanged, m_taskListForm,
            &TTaskListForm::SetHeadState);
    connect(&app.TaskList(), &TTaskList::HeadFailed, m_taskListForm,
            &TTaskListForm::ShowHeadFailure);
    connect(&app.TaskList(), &TTaskList::StateChanged, m_taskListForm, &TTaskListForm::SetState);
    FollowTaskList(app.TaskList());
    FollowGroupList(app.Newsrc());
}

void TMainForm::FollowTaskList(const TTaskList& list)
{
    TQueueModel* queue = m_queuePanel->Model();
    connect(&list, &TTaskList::HeadStateChanged, queue,
            [queue](const QString& state) { queue->SetState(0, state); });
    connect(&list, &TTaskList::HeadFailed, queue, &TQueueModel::SetHeadFailed);
    connect(&list, &TTaskList::StateChanged, queue, &TQueueModel::SetState);
    connect(&list, &TTaskList::RowRemoved, this, [this](int index) {
        m_queuePanel->Model()->RemoveAt(index);
        m_taskListForm->RemoveAt(index);
    });
    connect(&list, &TTaskList::RowMoved, this, [this](int from, int to) {
        m_queuePanel->Model()->Move(from, to);
        m_taskListForm->Move(from, to);
    });
}

void TMainForm::SetGroupModel(TGroupListModel* model)
{
    m_groupModel = model;
    m_groupList->setModel(model);
    // The Groups menu's shortcuts (Ctrl+S, Ctrl+N) must work without opening the menu first,
    // so its items follow the pane as it changes, not only when the menu opens.
    if (model) {
        connect(m_groupList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &TMainForm::GroupsMenuClick, Qt::UniqueConnection);
        connect(model, &QAbstractItemModel::modelReset, this, &TMainForm::GroupsMenuClick,
                Qt::UniqueConnection);
    }
    QHeaderView* header = m_groupList->header();
    if (header->count() >= 2) {
        header->resizeSection(0, 400);
        header->resizeSection(1, 100);
    }
    FitGroupColumn();
}

void TMainForm::SetProcName(const char* name)
{
    m_state->SetCurrentProcName(QLatin1String(name));
}

void TMainForm::SetCommandState(const QString& name, bool enabled, const QString& caption)
{
    if (QAction* action = Command(name)) {
        action->setEnabled(enabled);
        if (!caption.isEmpty())
            action->setText(caption);
    }
}

void TMainForm::ApplyGroupsMenu(const TGroupsMenuState& state)
{
    SetCommandState(QStringLiteral("GroupsNewItem"), state.NewEnabled, state.NewCaption);
    SetCommandState(QStringLiteral("GroupsSubscribeItem"), state.SubscribeEnabled,
                    state.SubscribeCaption);
    SetCommandState(QStringLiteral("GroupsFindItem"), state.FindEnabled);
}

void TMainForm::ApplyShortcutMenu(const TShortcutMenuState& state)
{
    SetCommandState(QStringLiteral("Subscribed1"), state.SubscribedEnabled);
    SetCommandState(QStringLiteral("Unsubscribed1"), state.UnsubscribedEnabled);
    SetCommandState(QStringLiteral("New1"), state.NewEnabled);
}

QAction* TMainForm::Command(const QString& name) const
{
    return findChild<QAction*>(name);
}

// ---------------------------------------------------------------------------------------------
// TView.

void TMainForm::ShowWarning(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, ProgramTitle, text, QMessageBox::Ok, this);
    box.exec();
}

void TMainForm::ShowError(const QString& text)
{
    QMessageBox box(QMessageBox::Warning, ProgramTitle, text, QMessageBox::Ok, this);
    box.setObjectName(QStringLiteral("ErrorBox"));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* setup = box.addButton(QStringLiteral("Open Setup"), QMessageBox::ActionRole);
    QPushButton* retry = nullptr;
    if (m_taskCount > 0)
        retry = box.addButton(QStringLiteral("Retry"), QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    // Both act once the failure has been dealt with (the queue kept in the task file).
    if (box.clickedButton() == setup)
        QTimer::singleShot(0, this, &TMainForm::OpenSetup);
    else if (retry && box.clickedButton() == retry)
        QTimer::singleShot(0, this, &TMainForm::RetryRequested);
}

bool TMainForm::AskYesNo(const QString& text)
{
    QMessageBox box(QMessageBox::Question, ProgramTitle, text, QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

bool TMainForm::AskTrustCertificate(const TCertificateInfo& certificate, const QString& server,
                                    const QString& reason)
{
    const QString text =
        QStringLiteral("The server %1 was refused: %2\n\n"
                       "Subject: %3\nIssuer: %4\nValid from %5 to %6\nSHA-256: %7\n\n"
                       "Trust this certificate for this profile? Say Yes only if you know it is "
                       "your server's own certificate (compare the fingerprint with the one its "
                       "administrator gave you). A different certificate will still be refused.")
            .arg(server, reason, certificate.Subject, certificate.Issuer, certificate.NotBefore,
                 certificate.NotAfter, certificate.Sha256);
    QMessageBox box(QMessageBox::Warning, ProgramTitle, text, QMessageBox::Yes | QMessageBox::No,
                    this);
    box.setObjectName(QStringLiteral("TrustCertificateBox"));
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> TMainForm::InputBox(const QString& caption, const QString& prompt,
                                           const QString& initial)
{
    QInputDialog dialog(this);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(initial);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

std::optional<TLoginAnswer> TMainForm::AskLogin(const QString& caption, const QString& user,
                                                const QString& password)
{
    return TPasswordDlg::Ask(this, caption, user, password);
}

std::optional<QStringList> TMainForm::AskIncludeText()
{
    return TIncTextForm::Ask(this);
}

QString TMainForm::AskOpenFile(const QString& caption, const QString& filter)
{
    if (!caption.isEmpty())
        m_openCaption = caption;
    if (!filter.isEmpty())
        m_openFilter = filter;
    QFileDialog dialog(this, m_openCaption, m_openDialogDir, ToDialogFilter(m_openFilter));
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    m_openDialogDir = dialog.directory().absolutePath();
    return dialog.selectedFiles().constFirst();
}

std::optional<TFindAnswer> TMainForm::AskFindGroup(const QString& text, TFindMode mode)
{
    m_findGroupForm->SetFindText(text);
    m_findGroupForm->SetMode(mode);
    if (m_findGroupForm->exec() != QDialog::Accepted)
        return std::nullopt;
    return TFindAnswer{m_findGroupForm->FindText(), m_findGroupForm->Mode()};
}

void TMainForm::OpenSetup()
{
    SetupButtonClick();
}

void TMainForm::OpenFirstStart()
{
    TFirstStartWizard wizard(m_state->Settings, this);
    if (wizard.exec() != QDialog::Accepted)
        return;
    AcceptSetup(wizard.Settings());
    // The groups come next: choosing one is a click in the pane once they are in.
    emit FirstStartFinished();
}

void TMainForm::SetStatusText(const QString& text)
{
    m_statusText = text;
    m_shownStatus.Set(text);
}

void TMainForm::ShowNzbWritten(const QString& path)
{
    m_nzbPanel->setText(QStringLiteral("NZB: ") + path);
    m_nzbPanel->setToolTip(QStringLiteral("The NZB file of the last batch was written to ") + path);
    m_nzbPanel->show();
}

void TMainForm::ShowBatchProgress(const TBatchProgressState& state)
{
    m_batchRunning = true;
    m_shownBatch.Set(QStringLiteral("Batch: ") + TBatchProgress::SummaryText(state));
    m_queuePanel->ShowBatch(state);
    if (state.File.isEmpty())
        SetNowText(
            QStringLiteral("Starting a batch of %1").arg(TBatchProgress::BytesText(state.Total)));
    else
        SetNowText(QStringLiteral("Posting %1, part %2 of %3 (batch %4%)")
                       .arg(QFileInfo(state.File).fileName())
                       .arg(state.Part)
                       .arg(state.Parts)
                       .arg(state.Percent));
}

void TMainForm::SetNowText(const QString& text)
{
    if (m_nowLabel->text() == text)
        return;
    m_nowLabel->setText(text);
    m_tray->SetText(text);
}

QString TMainForm::NowText() const
{
    return m_nowLabel->text();
}

void TMainForm::ShowKeptTasks(const QList<TTaskRow>& rows, const QString& summary)
{
    if (m_taskCount > 0)
        return;
    m_queuePanel->Model()->ShowKept(rows);
    m_queuePanel->OfferKept(summary);
    SetNowText(summary.isEmpty() ? QStringLiteral("Nothing queued")
                                 : summary + QStringLiteral(": Resume goes on where they stopped"));
}

QString TMainForm::StatusText() const
{
    return m_statusText;
}

void TMainForm::SetProgress(int percent)
{
    // A progress bar repaints at once on every change of value, and a styled bar is slow
    // to draw: on a fast line a part's steps took longer to draw than the part took to
    // send. The latest value is shown at most every ProgressIntervalMs.
    m_shownProgress = qBound(0, percent, 100);
    if (!m_progressTimer.isActive())
        m_progressTimer.start();
}

void TMainForm::SetBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TMainForm::SetActionEnabled(TViewAction action, bool enabled)
{
    switch (action) {
    case TViewAction::Abort:
        m_abortButton->setEnabled(enabled);
        break;
    case TViewAction::Disconnect:
        m_disconnectButton->setEnabled(enabled);
        break;
    case TViewAction::FindAgain:
        m_findAgainItem->setEnabled(enabled);
        break;
    case TViewAction::TasksClear:
        SetCommandState(QStringLiteral("TasksClearItem"), enabled);
        break;
    }
}

void TMainForm::ShowSplashStatus(const QString& text)
{
    if (!m_splash) {
        m_splash = std::make_unique<TSplashForm>();
        m_splash->show();
    }
    m_splash->SetStatus(text);
}

void TMainForm::CloseSplash()
{
    m_splash.reset();
}

void TMainForm::SetWindowTitle(const QString& title)
{
    setWindowTitle(title);
}

void TMainForm::ShowProfiles(const QStringList& names, int selected)
{
    const QSignalBlocker quiet(m_profilesComboBox);
    m_profilesComboBox->clear();
    m_profilesComboBox->addItems(names);
    m_profilesComboBox->setCurrentIndex(selected);
    m_profilesComboBox->setEnabled(true);
    m_profilesComboAction->setVisible(true);
}

QString TMainForm::FromText() const
{
    return m_from->text();
}

void TMainForm::SetFromText(const QString& text)
{
    m_from->setText(text);
}

QString TMainForm::SubjectText() const
{
    return m_subject->text();
}

void TMainForm::SetSubjectText(const QString& text)
{
    m_subject->setText(text == m_subject->placeholderText() ? QString() : text);
}

QString TMainForm::FolderPath() const
{
    return m_driveTree->SelectedPath();
}

void TMainForm::SetFolderPath(const QString& path)
{
    m_driveTree->SetSelectedPath(path);
    // The tree may not report a folder it already had selected; the list follows anyway.
    m_fileList->SetFolder(m_driveTree->SelectedPath());
}

QStringList TMainForm::SelectedFiles() const
{
    return m_fileList->SelectedFiles();
}

void TMainForm::ClearFileSelection()
{
    m_fileList->ClearSelection();
}

void TMainForm::TaskViewAdd(const TTaskRow& row)
{
    m_taskListForm->AddTask(row);
    m_queuePanel->Model()->Add(row);
    m_queuePanel->OfferKept({});
}

void TMainForm::TaskViewInsert(int index, const TTaskRow& row)
{
    m_taskListForm->InsertTask(index, row);
    m_queuePanel->Model()->Insert(index, row);
}

void TMainForm::TaskViewRemoveFirst()
{
    m_taskListForm->RemoveFirst();
    m_queuePanel->Model()->RemoveAt(0);
}

void TMainForm::TaskViewClear()
{
    m_taskListForm->Clear();
    m_queuePanel->Model()->Clear();
}

void TMainForm::ShowTaskWindow()
{
    m_taskListForm->show();
    m_taskListForm->raise();
    m_taskListForm->activateWindow();
}

void TMainForm::GroupPaneSetCount(int count)
{
    if (!m_groupModel)
        return;
    m_groupModel->SetRowCount(count);
    FitGroupColumn();
}

void TMainForm::GroupPaneSetCaption(const QString& caption)
{
    if (m_groupModel)
        m_groupModel->SetCaption(caption);
}

QList<int> TMainForm::GroupPaneSelectedRows() const
{
    QList<int> rows;
    if (!m_groupModel)
        return rows;
    for (const QModelIndex& index : m_groupList->selectionModel()->selectedRows(0))
        rows << index.row();
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TMainForm::GroupPaneSelectRows(const QList<int>& rows, bool clearOthers)
{
    if (!m_groupModel)
        return;
    QItemSelection selection;
    int last = -1;
    for (int row : rows) {
        if (row < 0 || row >= m_groupModel->rowCount())
            continue;
        selection.select(m_groupModel->index(row, 0), m_groupModel->index(row, 1));
        last = row;
    }
    QItemSelectionModel* model = m_groupList->selectionModel();
    const auto flags =
        clearOthers ? QItemSelectionModel::ClearAndSelect : QItemSelectionModel::Select;
    model->select(selection, flags | QItemSelectionModel::Rows);
    if (last >= 0)
        model->setCurrentIndex(m_groupModel->index(last, 0), QItemSelectionModel::NoUpdate);
}

void TMainForm::GroupPaneMakeVisible(int row)
{
    if (m_groupModel && row >= 0 && row < m_groupModel->rowCount())
        m_groupList->scrollTo(m_groupModel->index(row, 0), QAbstractItemView::EnsureVisible);
}

void TMainForm::GroupPaneRepaint()
{
    if (m_groupModel)
        m_groupModel->Repaint();
}

void TMainForm::CloseMainWindow()
{
    // Exit is the user's close, asked about as the close box is.
    m_exitGiven = true;
    close();
    m_exitGiven = false;
}

// ---------------------------------------------------------------------------------------------
// The window's own rules.

bool TMainForm::AutoStartChecked() const
{
    return m_tasksAutoStartItem->isChecked();
}

void TMainForm::SetAutoStartChecked(bool checked)
{
    m_tasksAutoStartItem->setChecked(checked);
    m_state->Settings.AutoStart = checked;
}

void TMainForm::SetCaption()
{
    SetBusy(true);
    setWindowTitle(QStringLiteral("Quorvel v2: %1 Profile").arg(m_state->ProfileName));
    m_from->setText(FromLine(m_state->Settings));
    SetBusy(false);
}

void TMainForm::RefreshControls(const TIdleState& state)
{
    if (AutoStartChecked() != state.AutoStart)
        m_tasksAutoStartItem->setChecked(state.AutoStart);
    SetButtons(state);
    ShowIdleStatus(state.TaskCount);
    const bool emptied = m_taskCount > 0 && state.TaskCount == 0;
    m_taskCount = state.TaskCount;
    m_tray->SetWorking(m_taskCount > 0);
    if (!emptied)
        return;
    // The figures of a batch that no longer runs go; what the queue did stays readable.
    m_batchRunning = false;
    m_queuePanel->EndBatch();
    m_batchPanel->hide();
    SetNowText(QStringLiteral("Nothing queued"));
    emit QueueEmptied();
    if (m_quitWhenDone)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TMainForm::SetButtons(const TIdleState& facts)
{
    const TFileListStyle style = m_fileList->ViewStyle();
    m_listButton->setChecked(style == TFileListStyle::List);
    m_smallButton->setChecked(style == TFileListStyle::SmallIcon);
    m_detailsButton->setChecked(style == TFileListStyle::Details);

    const bool groupChosen =
        m_groupList->selectionModel() && m_groupList->selectionModel()->hasSelection();
    m_postButton->setEnabled(groupChosen && m_fileList->HasSelection());
    m_fileOpenButton->setEnabled(groupChosen);
    m_tasksStartItem->setEnabled(facts.TaskCount > 0 && !facts.AutoStart);
    m_tasksReloadItem->setEnabled(facts.TaskFileExists);
    m_tasksViewItem->setEnabled(facts.TaskCount > 0);
    m_disconnectButton->setEnabled(facts.Connected);
}

void TMainForm::ShowIdleStatus(int taskCount)
{
    const QString tasks = QStringLiteral("Tasks: %1").arg(taskCount);
    if (m_taskPanel->text() != tasks)
        m_taskPanel->setText(tasks);
    const QString folder = FolderPath();
    if (m_folderPanel->text() != folder)
        m_folderPanel->setText(folder);
}

void TMainForm::ShowHelp(int topic)
{
    const QString file = THelpWindow::FindHelpFile(m_state->ProgramDir);
    if (!m_helpWindow)
        m_helpWindow = new THelpWindow(this);
    if (!m_helpWindow->ShowTopic(file, topic))
        ShowWarning(QStringLiteral("The help file Quorvel.html was not found next to the "
                                   "program or in its installed folder."));
}

void TMainForm::ShowHelpOver(QDialog* dialog, int topic)
{
    // A modal dialog blocks every window but its own: the help it asks for must be its child
    // to be read while it is open. It goes with the dialog.
    auto* help = new THelpWindow(dialog);
    help->setAttribute(Qt::WA_DeleteOnClose);
    if (!help->ShowTopic(THelpWindow::FindHelpFile(m_state->ProgramDir), topic)) {
        delete help;
        ShowWarning(QStringLiteral("The help file Quorvel.html was not found next to the "
                                   "program or in its installed folder."));
    }
}

bool TMainForm::FileListAddItem(const QFileInfo& info)
{
    // Regular files only: folders are the tree's business, and devices or pipes cannot be
    // posted.
    return info.isFile();
}

bool TMainForm::SaveScreenshot(QWidget* widget, const QString& fileName)
{
    return widget->grab().save(fileName);
}

void TMainForm::FitGroupColumn()
{
    if (!m_groupModel || m_groupList->header()->count() < 2)
        return;
    // The group column takes what the Count column leaves, less room for the scroll bar
    // when not every row fits.
    const int rowHeight = qMax(1, m_groupList->sizeHintForRow(0));
    const int visibleRows = m_groupList->viewport()->height() / rowHeight;
    const int width = TGroupListModel::FirstColumnWidth(m_groupModel->rowCount(), visibleRows,
                                                        m_groupList->width(),
                                                        m_groupList->header()->sectionSize(1));
    m_groupList->header()->resizeSection(0, qMax(100, width));
}

// ---------------------------------------------------------------------------------------------
// Events.

bool TMainForm::MayCloseWithWork()
{
    QMessageBox box(QMessageBox::Question, ProgramTitle,
                    QStringLiteral("Quorvel is still working: %1 task(s) in the queue.\n\n"
                                   "Pause and quit keeps the queue; it is offered at the next "
                                   "start and goes on where it stopped. Keep posting closes "
                                   "Quorvel when the queue is through.")
                        .arg(m_taskCount),
                    QMessageBox::NoButton, this);
    box.setObjectName(QStringLiteral("CloseWithWorkBox"));
    QPushButton* pause = box.addButton(QStringLiteral("Pause and quit"), QMessageBox::AcceptRole);
    QPushButton* keep = box.addButton(QStringLiteral("Keep posting"), QMessageBox::ActionRole);
    QPushButton* cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(keep);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == pause)
        return true;
    if (box.clickedButton() == keep) {
        m_quitWhenDone = true;
        SetNowText(QStringLiteral("Quorvel closes when the queue is through"));
    }
    return false;
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    // A close the user gives (the close box, Exit) with work queued asks first; a logout or a
    // signal closes at once, keeping the queue.
    const bool users = event->spontaneous() || m_exitGiven;
    if (!m_closing && users && m_taskCount > 0 && !m_quitWhenDone && !MayCloseWithWork()) {
        event->ignore();
        return;
    }
    // Saved with the settings the close writes.
    if (!m_closing && m_layoutStore) {
        WindowLayout::Save(*this, *m_layoutStore);
        // Only once it was seen: a dialog never opened has no size of the user's to keep.
        if (m_historyShown)
            WindowLayout::Save(*m_historyDialog, *m_layoutStore, HistoryLayoutKey);
    }
    if (!m_closing)
        emit FormCloseQueried();
    m_closing = true;
    for (QWidget* window :
         std::initializer_list<QWidget*>{m_taskListForm, m_logForm, m_helpWindow, m_historyDialog})
        if (window)
            window->hide();
    event->accept();
}

namespace {

QStringList LocalPaths(const QMimeData* data)
{
    QStringList paths;
    if (data)
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                paths << TLocalFile::FromShown(url.toLocalFile());
    return paths;
}

} // namespace

void TMainForm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!LocalPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dragMoveEvent(QDragMoveEvent* event)
{
    if (!LocalPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event)
{
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty())
        return;
    event->acceptProposedAction();
    // Posting may ask (the subject, the login): not inside the drop, which holds the source.
    QTimer::singleShot(0, this, [this, paths] { emit FilesDropped(paths); });
}

void TMainForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (m_shownOnce)
        return;
    m_shownOnce = true;
    if (const QScreen* screen = this->screen(); screen && !m_placeKept)
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    m_from->setFocus();
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    FitGroupColumn();
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_groupList->viewport() && event->type() == QEvent::Resize)
        FitGroupColumn();
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Commands.

void TMainForm::PostButtonClick()
{
    emit PostButtonClicked();
}

void TMainForm::FileOpenButtonClick()
{
    emit FileOpenButtonClicked();
}

void TMainForm::AddFilesClick()
{
    QFileDialog dialog(this, QStringLiteral("Add files"), FolderPath());
    dialog.setObjectName(QStringLiteral("AddFilesDialog"));
    dialog.setFileMode(QFileDialog::ExistingFiles);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        emit FilesDropped(dialog.selectedFiles());
}

void TMainForm::AddFolderClick()
{
    QFileDialog dialog(this, QStringLiteral("Add folder"), FolderPath());
    dialog.setObjectName(QStringLiteral("AddFolderDialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        emit FilesDropped(dialog.selectedFiles());
}

void TMainForm::AbortButtonClick()
{
    emit AbortButtonClicked();
}

void TMainForm::SetupButtonClick()
{
    if (m_dialupAvailable)
        DoSetup2();
    else
        DoSetup();
}

void TMainForm::DoSetup()
{
    SetProcName("DoSetup");
    TSetupForm form(m_state->Settings, this);
    connect(&form, &TSetupForm::HelpRequested, this,
            [this, &form](int topic) { ShowHelpOver(&form, topic); });
    if (form.exec() == QDialog::Accepted)
        AcceptSetup(form.Settings());
}

void TMainForm::DoSetup2()
{
    SetProcName("DoSetup2");
    TSetupForm2 form(m_state->Settings, m_dialupEntries, this);
    connect(&form, &TSetupForm::HelpRequested, this,
            [this, &form](int topic) { ShowHelpOver(&form, topic); });
    if (form.exec() == QDialog::Accepted)
        AcceptSetup(form.Settings());
}

void TMainForm::AcceptSetup(const ProfileSettings& settings)
{
    m_state->Settings = settings;
    SetFromText(FromLine(settings));
    SetCaption();
    emit SetupAccepted();
}

void TMainForm::ExitButtonClick()
{
    // The program's exit closes the window through the view.
    emit ExitButtonClicked();
}

void TMainForm::DisconnectButtonClick()
{
    emit DisconnectButtonClicked();
}

void TMainForm::ListButtonClick()
{
    SetProcName("ListButtonClick");
    m_fileList->SetViewStyle(TFileListStyle::List);
}

void TMainForm::SmallButtonClick()
{
    SetProcName("SmallButtonClick");
    m_fileList->SetViewStyle(TFileListStyle::SmallIcon);
}

void TMainForm::DetailsButtonClick()
{
    SetProcName("DetailsButtonClick");
    m_fileList->SetViewStyle(TFileListStyle::Details);
}

void TMainForm::HelpHelpItemClick()
{
    ShowHelp(0);
}

void TMainForm::SetupQuorvelClick()
{
    ShowHelp(400);
}

void TMainForm::SubscribetogroupsClick()
{
    ShowHelp(410);
}

void TMainForm::UploadfilesClick()
{
    ShowHelp(425);
}

void TMainForm::HelpAboutItemClick()
{
    SetProcName("HelpAboutItemClick");
    const QString version =
        m_state->VersionText.isEmpty() ? BuildVersionText() : m_state->VersionText;
    TAboutBox box(version, this);
    box.exec();
}

void TMainForm::ProfilesComboBoxChange(int index)
{
    if (index < 0)
        return;
    emit ProfilesComboBoxChanged(m_profilesComboBox->itemText(index));
}

void TMainForm::FileMenuClick()
{
    m_fileSelectAllItem->setEnabled(m_fileList->ItemCount() > 0);
}

void TMainForm::FileSelectAllItemClick()
{
    m_fileList->SelectAll();
    m_fileList->CurrentView()->setFocus();
}

void TMainForm::NewProfileClick()
{
    emit NewProfileClicked();
}

void TMainForm::DeleteProfileClick()
{
    emit DeleteProfileClicked();
}

void TMainForm::GroupsMenuClick()
{
    emit GroupsMenuClicked();
}

void TMainForm::GroupFindClick()
{
    emit GroupFindClicked();
}

void TMainForm::FindAgainClick()
{
    emit FindAgainClicked();
}

void TMainForm::GroupsSubscribeItemClick()
{
    emit GroupsSubscribeItemClicked();
}

void TMainForm::GroupsDownloadItemClick()
{
    emit GroupsDownloadItemClicked();
}

void TMainForm::GroupsNewItemClick()
{
    emit GroupsNewItemClicked();
}

void TMainForm::GroupsImportClick()
{
    emit GroupsImportClicked();
}

void TMainForm::PopupMenu1Popup()
{
    emit PopupMenu1Opened();
}

void TMainForm::Sort1Click()
{
    emit Sort1Clicked();
}

void TMainForm::Subscribed1Click()
{
    emit Subscribed1Clicked();
}

void TMainForm::Unsubscribed1Click()
{
    emit Unsubscribed1Clicked();
}

void TMainForm::New1Click()
{
    emit New1Clicked();
}

void TMainForm::GroupListColumnClick(int column)
{
    emit GroupListColumnClicked(column);
}

void TMainForm::TaskMenuClick()
{
    emit TaskMenuClicked();
}

void TMainForm::TasksAutoStartClick()
{
    // The program flips the setting; the mark then shows what it decided.
    emit TasksAutoStartClicked();
    m_tasksAutoStartItem->setChecked(m_state->Settings.AutoStart);
}

void TMainForm::TasksClearClick()
{
    emit TasksClearClicked();
}

void TMainForm::TasksReloadClick()
{
    emit TasksReloadClicked();
}

void TMainForm::TasksViewClick()
{
    emit TasksViewClicked();
}

void TMainForm::TasksStartClick()
{
    emit TasksStartClicked();
}

void TMainForm::ViewLogItemClick()
{
    SetProcName("ViewLogItemClick");
    m_logForm->show();
    m_logForm->raise();
}

void TMainForm::ViewHistoryItemClick()
{
    SetProcName("ViewHistoryItemClick");
    emit HistoryClicked();
    m_historyShown = true;
    m_historyDialog->show();
    m_historyDialog->raise();
    m_historyDialog->activateWindow();
}

void TMainForm::ViewRefreshItemClick()
{
    SetProcName("ViewRefreshItemClick");
    m_driveTree->Refresh();
    m_fileList->Refresh();
}
