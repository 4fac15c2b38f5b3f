#include "AppRun.h"
#include "FakeClock.h"
#include "ModalDriver.h"
#include "TestFiles.h"
#include "base/Logger.h"
#include "app/QuorvelApp.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "browser/FileList.h"
#include "browser/FolderTree.h"
#include "groups/GroupListModel.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "app/CheckAuth.h"
#include "ui/LatestShown.h"
#include "ui/FileDialogFilter.h"
#include "ui/FindGroupForm.h"
#include "ui/HelpWindow.h"
#include "ui/IncTextForm.h"
#include "ui/LogForm.h"
#include "ui/HistoryDialog.h"
#include "ui/MainForm.h"
#include "ui/PasswordDlg.h"
#include "ui/TaskListForm.h"
#include "tasks/ConnectionOverride.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <sys/stat.h>

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QVERIFY(TestFiles::Write(path, bytes));
}

void ClickButton(QWidget* dialog, const QString& text)
{
    for (auto* button : dialog->findChildren<QPushButton*>())
        if (button->text().remove(u'&') == text) {
            button->click();
            return;
        }
    QFAIL(qPrintable(QStringLiteral("no button ") + text));
}

QStringList GroupNames()
{
    return {QStringLiteral("alt.binaries.test"), QStringLiteral("alt.test"),
            QStringLiteral("comp.lang.c"), QStringLiteral("misc.test")};
}

} // namespace

class TestMainForm : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void enablingRules_data();
    void enablingRules();
    void reloadFollowsTaskFileAtIdle();
    void viewButtonsFollowFileListStyle();
    void refusesToShrinkBelowMinimum();
    void fileListAdmitsRegularFilesOnly();
    void folderTreeFindsNearestFolderAndKeepsItOnRefresh();
    void selectionSurvivesViewChange();
    void refreshRereadsFilesChangedInPlace();
    void profilesListAndExit();
    void autoStartMarkFollowsProgram();
    void busyCursorIsBalanced();
    void selectedFilesTopToBottomWithPaths();
    void setupConfirmedRenewsFromAndCaption();
    void setupOffersDialupPageWhenAvailable();
    void setupHelpOpensOverDialog();
    void loginAskedOnceUntilAnswered();
    void loginCancelledQueuesNothing();
    void taskListKeepsTreeWhileHidden();
    void findKeepsModeAndSelectsAllRows();
    void secondIncludeFileReplacesFirst();
    void includeFileThatCannotBeReadKeepsText();
    void sessionLogWindowFollowsLog();
    void helpTopicsHaveAnchors_data();
    void helpTopicsHaveAnchors();
    void aboutShowsVersion();
    void dialogFilters_data();
    void dialogFilters();
    void layoutRememberedForTheNextRun();

private:
    void ShowFolderWithFiles(const QStringList& names);
    QString TasksPanel() const
    {
        return m_form->findChild<QLabel*>(QStringLiteral("TasksPanel"))->text();
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<TMainForm> m_form;
    std::unique_ptr<TAppState> m_state;
    TConnectionOverride m_noOverride; // none: the profile's login
    // The group pane over a real store of the profile's groups.
    std::unique_ptr<TSessionLog> m_session;
    std::unique_ptr<TLogger> m_logger;
    std::unique_ptr<TNewsrcStore> m_store;
    std::unique_ptr<TGroupListModel> m_groups;
};

void TestMainForm::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_state = std::make_unique<TAppState>();
    m_state->ProgramDir = m_dir->path() + u'/';
    m_state->VersionText = QStringLiteral("2.0.0.1");
    m_state->SetProfile(QStringLiteral("Default"));
    m_form = std::make_unique<TMainForm>();
    m_form->AttachState(*m_state);
    m_form->FollowCommands(m_state->Commands);
    m_session = std::make_unique<TSessionLog>(TClock::System());
    m_logger = std::make_unique<TLogger>(*m_session, TClock::System());
    m_store = std::make_unique<TNewsrcStore>(*m_state, *m_logger, *m_form);
    m_form->FollowGroupList(*m_store);
    m_groups = std::make_unique<TGroupListModel>(*m_store);
    m_form->SetGroupModel(m_groups.get());
    QVERIFY(m_store->SaveFullList(GroupNames(), m_state->NewsrcPath));
    m_store->GroupView = TNewsrcStore::ViewUnsubscribed;
    m_store->ShowGroups();
    QCOMPARE(m_form->GroupList()->model()->rowCount(), GroupNames().size());
}

void TestMainForm::cleanup()
{
    m_form.reset();
    m_groups.reset();
    m_store.reset();
    m_logger.reset();
    m_session.reset();
    m_dir.reset();
}

void TestMainForm::ShowFolderWithFiles(const QStringList& names)
{
    const QString folder = m_dir->filePath(QStringLiteral("files"));
    QDir().mkpath(folder);
    for (const QString& name : names)
        WriteFile(folder + u'/' + name, name.toUtf8());
    m_form->SetFolderPath(folder);
    QTRY_COMPARE(m_form->FileList()->ItemCount(), names.size());
}

void TestMainForm::enablingRules_data()
{
    QTest::addColumn<bool>("groupChosen");
    QTest::addColumn<bool>("fileChosen");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<bool>("autoStart");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<bool>("post");
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("start");
    QTest::addColumn<bool>("view");
    QTest::addColumn<bool>("disconnect");

    QTest::newRow("nothing chosen") << false << false << 0 << true << false //
                                    << false << false << false << false << false;
    QTest::newRow("group, no file: Open only") << true << false << 0 << true << false //
                                               << false << true << false << false << false;
    QTest::newRow("file, no group") << false << true << 0 << true << false //
                                    << false << false << false << false << false;
    QTest::newRow("group and file: Post") << true << true << 0 << true << false //
                                          << true << true << false << false << false;
    QTest::newRow("tasks with Auto Start: no Start") << false << false << 2 << true << false //
                                                     << false << false << false << true << false;
    QTest::newRow("tasks without Auto Start: Start") << false << false << 1 << false << true //
                                                     << false << false << true << true << true;
    QTest::newRow("no tasks, Auto Start off") << false << false << 0 << false << false //
                                              << false << false << false << false << false;
}

void TestMainForm::enablingRules()
{
    QFETCH(bool, groupChosen);
    QFETCH(bool, fileChosen);
    QFETCH(int, tasks);
    QFETCH(bool, autoStart);
    QFETCH(bool, connected);

    ShowFolderWithFiles({QStringLiteral("a.bin"), QStringLiteral("b.bin")});
    if (groupChosen)
        m_form->GroupPaneSelectRows({1}, true);
    if (fileChosen)
        m_form->FileList()->SelectFiles({m_dir->filePath(QStringLiteral("files/b.bin"))});
    TIdleState idle;
    idle.TaskCount = tasks;
    idle.AutoStart = autoStart;
    idle.Connected = connected;
    m_form->RefreshControls(idle);

    QTEST(m_form->Command("PostButton")->isEnabled(), "post");
    QTEST(m_form->Command("FileOpenButton")->isEnabled(), "open");
    QTEST(m_form->Command("TasksStartItem")->isEnabled(), "start");
    QTEST(m_form->Command("TasksViewItem")->isEnabled(), "view");
    QTEST(m_form->Command("DisconnectButton")->isEnabled(), "disconnect");
    QCOMPARE(m_form->AutoStartChecked(), autoStart);
    QCOMPARE(TasksPanel(), QStringLiteral("Tasks: %1").arg(tasks));
}

void TestMainForm::reloadFollowsTaskFileAtIdle()
{
    // The real application object drives the window from its idle hook.
    TAppCore run(*m_form, m_dir->filePath(QStringLiteral("settings.ini")));
    TQuorvelApp& logic = run.app;
    m_form->AttachState(logic.State());
    m_form->FollowStartup(logic);
    logic.FormCreate({});
    logic.InstallIdleHook();

    QAction* reload = m_form->Command("TasksReloadItem");
    // The folder panel fills at the first idle moment.
    m_form->SetFolderPath(m_dir->path());
    QVERIFY(RunLoopUntil([this] {
        return m_form->findChild<QLabel*>(QStringLiteral("FolderPanel"))->text() == m_dir->path();
    }));
    QVERIFY(!reload->isEnabled());
    const QString taskFile = logic.State().TaskFilePath();
    WriteFile(taskFile, "tasks\r\n");
    QVERIFY(RunLoopUntil([reload] { return reload->isEnabled(); }));
    QVERIFY(QFile::remove(taskFile));
    QVERIFY(RunLoopUntil([reload] { return !reload->isEnabled(); }));
    QCOMPARE(TasksPanel(), QStringLiteral("Tasks: 0"));
    qunsetenv("QUORVEL_HOME");
}

void TestMainForm::viewButtonsFollowFileListStyle()
{
    QAction* list = m_form->Command("ListButton");
    QAction* small = m_form->Command("SmallButton");
    QAction* details = m_form->Command("DetailsButton");
    QVERIFY(details->isChecked());
    QVERIFY(!small->isChecked() && !list->isChecked());

    small->trigger();
    m_form->RefreshControls({});
    QCOMPARE(m_form->FileList()->ViewStyle(), TFileListStyle::SmallIcon);
    QVERIFY(small->isChecked());
    QVERIFY(!details->isChecked() && !list->isChecked());

    // A click on the button that is already down leaves it down.
    small->trigger();
    m_form->RefreshControls({});
    QVERIFY(small->isChecked());

    list->trigger();
    m_form->RefreshControls({});
    QCOMPARE(m_form->FileList()->ViewStyle(), TFileListStyle::List);
    QVERIFY(list->isChecked() && !small->isChecked());
}

void TestMainForm::refusesToShrinkBelowMinimum()
{
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    m_form->resize(300, 200);
    QTRY_VERIFY(m_form->width() >= 604 && m_form->height() >= 403);
    QCOMPARE(m_form->minimumSize(), QSize(604, 403));
}

void TestMainForm::fileListAdmitsRegularFilesOnly()
{
    const QString folder = m_dir->filePath(QStringLiteral("mixed"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    WriteFile(folder + QStringLiteral("/plain.txt"), "x");
    WriteFile(folder + QStringLiteral("/.hidden"), "x");
    QVERIFY(::mkfifo(QFile::encodeName(folder + QStringLiteral("/pipe")).constData(), 0600) == 0);
    QVERIFY(QFile::link(folder + QStringLiteral("/sub"), folder + QStringLiteral("/dirlink")));
    QVERIFY(
        QFile::link(folder + QStringLiteral("/plain.txt"), folder + QStringLiteral("/filelink")));
    m_form->SetFolderPath(folder);
    QTRY_COMPARE(m_form->FileList()->ItemCount(), 2);
    QCOMPARE(m_form->FileList()->Items(), QStringList({folder + QStringLiteral("/filelink"),
                                                       folder + QStringLiteral("/plain.txt")}));
    QCOMPARE(m_form->FolderPath(), folder);
}

void TestMainForm::folderTreeFindsNearestFolderAndKeepsItOnRefresh()
{
    const QString folder = m_dir->filePath(QStringLiteral("a/b"));
    QDir().mkpath(folder);
    // A folder that went away since the profile was saved: its nearest parent instead.
    m_form->SetFolderPath(folder + QStringLiteral("/gone/deeper"));
    QCOMPARE(m_form->FolderPath(), folder);
    QCOMPARE(m_form->FileList()->Folder(), folder);
    QDir().mkpath(folder + QStringLiteral("/new"));
    m_form->ViewRefreshItemClick();
    QCOMPARE(m_form->FolderPath(), folder);
    m_form->SetFolderPath(folder + QStringLiteral("/new"));
    QCOMPARE(m_form->FolderPath(), folder + QStringLiteral("/new"));
}

void TestMainForm::refreshRereadsFilesChangedInPlace()
{
    ShowFolderWithFiles({QStringLiteral("grows.bin"), QStringLiteral("same.bin")});
    const QString grows = m_dir->filePath(QStringLiteral("files/grows.bin"));
    auto shownSize = [this, &grows] {
        auto* filter =
            qobject_cast<QSortFilterProxyModel*>(m_form->FileList()->CurrentView()->model());
        auto* files = qobject_cast<QFileSystemModel*>(filter->sourceModel());
        return files->size(files->index(grows));
    };
    const qint64 before = shownSize();
    QCOMPARE(before, qint64(QFileInfo(grows).size()));
    m_form->FileList()->SelectFiles({grows});

    // Written to after it was listed, as a download or a copy still running would.
    {
        QFile file(grows);
        QVERIFY(file.open(QIODevice::Append));
        file.write(QByteArray(5000, 'x'));
    }
    m_form->ViewRefreshItemClick();
    QTRY_COMPARE(shownSize(), before + 5000);
    QTRY_COMPARE(m_form->FileList()->ItemCount(), 2);
    QTRY_COMPARE(m_form->SelectedFiles(), QStringList({grows}));
}

void TestMainForm::selectionSurvivesViewChange()
{
    ShowFolderWithFiles({QStringLiteral("one.bin"), QStringLiteral("two.bin")});
    const QString two = m_dir->filePath(QStringLiteral("files/two.bin"));
    m_form->FileList()->SelectFiles({two});
    for (const char* button : {"ListButton", "SmallButton", "DetailsButton"}) {
        m_form->Command(QLatin1String(button))->trigger();
        QCOMPARE(m_form->SelectedFiles(), QStringList({two}));
    }
    // Another folder starts with nothing chosen.
    const QString other = m_dir->filePath(QStringLiteral("other"));
    QDir().mkpath(other);
    m_form->SetFolderPath(other);
    QVERIFY(m_form->SelectedFiles().isEmpty());
    m_form->FileMenuClick();
    QVERIFY(!m_form->Command("FileSelectAllItem")->isEnabled());
}

void TestMainForm::profilesListAndExit()
{
    auto* combo = m_form->findChild<QComboBox*>(QStringLiteral("ProfilesComboBox"));
    QVERIFY(!combo->isEnabled());
    QStringList picked;
    connect(m_form.get(), &TMainForm::ProfilesComboBoxChanged,
            [&picked](const QString& name) { picked << name; });
    m_form->ShowProfiles({QStringLiteral("Default"), QStringLiteral("Work")}, 1);
    QVERIFY(combo->isEnabled());
    QCOMPARE(combo->currentText(), QStringLiteral("Work"));
    QVERIFY(picked.isEmpty()); // filling the list is no choice of the user's
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    QVERIFY(combo->isVisible());
    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);
    QCOMPARE(picked, QStringList({QStringLiteral("Default")}));

    // Exit asks the program to close the window; the close request runs once.
    int closeQueries = 0;
    connect(m_form.get(), &TMainForm::FormCloseQueried, [&closeQueries] { ++closeQueries; });
    connect(m_form.get(), &TMainForm::ExitButtonClicked, [this] { m_form->CloseMainWindow(); });
    m_form->Command("ExitButton")->trigger();
    QVERIFY(!m_form->isVisible());
    m_form->close();
    QCOMPARE(closeQueries, 1);
}

void TestMainForm::autoStartMarkFollowsProgram()
{
    // The program's handler decides, the mark follows it.
    QAction* autoStart = m_form->Command("TasksAutoStartItem");
    connect(m_form.get(), &TMainForm::TasksAutoStartClicked,
            [this] { m_state->Settings.AutoStart = !m_state->Settings.AutoStart; });
    autoStart->trigger();
    QVERIFY(!m_state->Settings.AutoStart);
    QVERIFY(!autoStart->isChecked());
    autoStart->trigger();
    QVERIFY(m_state->Settings.AutoStart && autoStart->isChecked());
}

void TestMainForm::busyCursorIsBalanced()
{

    m_form->SetBusy(true);
    m_form->SetBusy(true);
    QVERIFY(QApplication::overrideCursor() != nullptr);
    m_form->SetBusy(false);
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    m_form->SetCaption();
    QCOMPARE(QApplication::overrideCursor(), nullptr);
    QCOMPARE(m_form->FromText(), QStringLiteral("poster@example.com (Quorvel User)"));
}

void TestMainForm::selectedFilesTopToBottomWithPaths()
{
    ShowFolderWithFiles(
        {QStringLiteral("c.bin"), QStringLiteral("a.bin"), QStringLiteral("b.bin")});
    const QString folder = m_dir->filePath(QStringLiteral("files"));
    // Picked bottom first: the uploads still go in the order the list shows.
    m_form->FileList()->SelectFiles({folder + QStringLiteral("/c.bin")});
    m_form->FileList()->SelectFiles({folder + QStringLiteral("/a.bin")});
    QCOMPARE(m_form->SelectedFiles(),
             QStringList({folder + QStringLiteral("/a.bin"), folder + QStringLiteral("/c.bin")}));

    m_form->FileSelectAllItemClick();
    QCOMPARE(m_form->SelectedFiles().size(), 3);
    m_form->FileMenuClick();
    QVERIFY(m_form->Command("FileSelectAllItem")->isEnabled());
    m_form->ClearFileSelection();
    QVERIFY(m_form->SelectedFiles().isEmpty());
}

void TestMainForm::setupConfirmedRenewsFromAndCaption()
{
    m_state->ProfileName = QStringLiteral("Work");
    WhenModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("EmailAddress"))->setText("me@example.org");
        dialog->findChild<QLineEdit*>(QStringLiteral("FullName"))->setText("Ann Poster");
        dialog->findChild<QLineEdit*>(QStringLiteral("ConnectTimeout"))->setText("abc");
        ClickButton(dialog, QStringLiteral("OK"));
    });
    m_form->SetupButtonClick();
    QCOMPARE(m_form->FromText(), QStringLiteral("me@example.org (Ann Poster)"));
    QCOMPARE(m_form->windowTitle(), QStringLiteral("Quorvel v2: Work Profile"));
    QCOMPARE(m_state->Settings.EmailAddress, QStringLiteral("me@example.org"));
    QCOMPARE(m_state->Settings.Timeout, qint16(60));

    // Cancel changes nothing.
    WhenModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("FullName"))->setText("Someone Else");
        ClickButton(dialog, QStringLiteral("Cancel"));
    });
    m_form->SetupButtonClick();
    QCOMPARE(m_state->Settings.FullName, QStringLiteral("Ann Poster"));
}

void TestMainForm::setupOffersDialupPageWhenAvailable()
{
    int pages = 0;
    auto countPages = [&pages](QWidget* dialog) {
        pages = dialog->findChild<QTabWidget*>()->count();
        ClickButton(dialog, QStringLiteral("OK"));
    };
    WhenModal(countPages);
    m_form->SetupButtonClick();
    QCOMPARE(pages, 4);

    m_form->SetDialup(true, [](const TSetupForm2::TEntriesDone& done) { done({"DSL"}); });
    WhenModal(countPages);
    m_form->OpenSetup();
    QCOMPARE(pages, 5);
    // Letters as a time-out mean 0 in this form.
    WhenModal([](QWidget* dialog) {
        dialog->findChild<QLineEdit*>(QStringLiteral("PostTimeout"))->setText("soon");
        ClickButton(dialog, QStringLiteral("OK"));
    });
    m_form->OpenSetup();
    QCOMPARE(m_state->Settings.PostTimeout, qint16(0));
}

void TestMainForm::setupHelpOpensOverDialog()
{
    m_state->ProgramDir =
        qEnvironmentVariable("QUORVEL_SOURCE_DIR") + QStringLiteral("/docs/help/");
    QString anchor;
    bool usable = false;
    WhenModal([&](QWidget* dialog) {
        ClickButton(dialog, QStringLiteral("Help"));
        // The help belongs to the dialog, so it can be read while the dialog waits.
        auto* help = dialog->findChild<THelpWindow*>();
        if (help) {
            anchor = help->CurrentAnchor();
            usable = help->isVisible() && help->parentWidget() == dialog;
        }
        ClickButton(dialog, QStringLiteral("Cancel"));
    });
    m_form->SetupButtonClick();
    QCOMPARE(anchor, QStringLiteral("setup"));
    QVERIFY(usable);
}

void TestMainForm::loginAskedOnceUntilAnswered()
{
    m_state->Settings.LoginRequired = true;
    m_state->Settings.UserID = QStringLiteral("ann");
    int asked = 0;
    QString caption, shownUser;
    WhenModal([&](QWidget* dialog) {
        ++asked;
        caption = dialog->windowTitle();
        auto* user = dialog->findChild<QLineEdit*>(QStringLiteral("UserID"));
        shownUser = user->text();
        user->setText(QStringLiteral("ann2"));
        dialog->findChild<QLineEdit*>(QStringLiteral("Password"))->setText("secret");
        ClickButton(dialog, QStringLiteral("OK"));
    });
    QVERIFY(CheckAuth(*m_state, *m_form, m_noOverride));
    QCOMPARE(asked, 1);
    QCOMPARE(caption, QStringLiteral("News server login"));
    QCOMPARE(shownUser, QStringLiteral("ann"));
    QCOMPARE(m_state->Settings.UserID, QStringLiteral("ann2"));
    QCOMPARE(m_state->Settings.Password, QStringLiteral("secret"));

    // The password is known now: no second question.
    QVERIFY(CheckAuth(*m_state, *m_form, m_noOverride));
    QCOMPARE(asked, 1);
    QVERIFY(QApplication::activeModalWidget() == nullptr);
}

void TestMainForm::loginCancelledQueuesNothing()
{
    m_state->Settings.LoginRequired = true;
    WhenModal([](QWidget* dialog) { ClickButton(dialog, QStringLiteral("Cancel")); });
    QVERIFY(!CheckAuth(*m_state, *m_form, m_noOverride));
    QVERIFY(m_state->Settings.Password.isEmpty());

    // No login needed, or the password is remembered: never asked.
    m_state->Settings.LoginRequired = false;
    QVERIFY(CheckAuth(*m_state, *m_form, m_noOverride));
    m_state->Settings.LoginRequired = true;
    m_state->Settings.RememberPassword = true;
    QVERIFY(CheckAuth(*m_state, *m_form, m_noOverride));
}

void TestMainForm::taskListKeepsTreeWhileHidden()
{
    // The program answers the command with the task window when it has tasks.
    connect(m_form.get(), &TMainForm::TasksViewClicked, m_form.get(), &TMainForm::ShowTaskWindow);
    m_form->TaskViewAdd({"Upload", {"news", "/home/ann/a.bin", "A"}, "a.bin", "alt.test", "news"});
    m_form->RefreshControls({.TaskCount = 1});
    QVERIFY(m_form->Command("TasksViewItem")->isEnabled());
    m_form->Command("TasksViewItem")->trigger();
    TTaskListForm* window = m_form->TaskListForm();
    QVERIFY(window->isVisible());
    ClickButton(window, QStringLiteral("OK"));
    QVERIFY(!window->isVisible());

    m_form->TaskViewAdd({"Disconnect", {"news"}, {}, {}, "news"});
    m_form->TasksViewClick();
    QVERIFY(window->isVisible());
    QTreeWidget* tree = window->TaskView();
    QCOMPARE(tree->topLevelItemCount(), 2);
    QTreeWidgetItem* head = tree->topLevelItem(0);
    QCOMPARE(head->childCount(), 3);
    QCOMPARE(
        (QStringList{head->text(0), head->text(1), head->text(2), head->text(3), head->text(4)}),
        (QStringList{"Upload", "waiting", "a.bin", "alt.test", "news"}));
    QCOMPARE(tree->topLevelItem(1)->text(0), QStringLiteral("Disconnect"));
    window->SetHeadState("running, part 2 of 9");
    QCOMPARE(head->text(1), QStringLiteral("running, part 2 of 9"));
    // States that come faster than they can be drawn: the latest is shown shortly after, and
    // a failure is not overwritten by a state still waiting.
    window->SetHeadState("running, part 3 of 9");
    QTRY_COMPARE(head->text(1), QStringLiteral("running, part 3 of 9"));
    window->SetHeadState("running, part 4 of 9");
    window->ShowHeadFailure("441 too big");
    QCOMPARE(head->text(1), QStringLiteral("failed: 441 too big"));
    QTest::qWait(2 * TLatestShown::IntervalMs);
    QCOMPARE(head->text(1), QStringLiteral("failed: 441 too big"));
    QCOMPARE(window->FailureText(), QStringLiteral("Last failure: Upload a.bin: 441 too big"));

    // A line wider than the window is scrolled to, not cut off.
    const QString longPath = QStringLiteral("/home/user/") + QString(300, u'x') + ".bin";
    m_form->TaskViewAdd({"Upload", {longPath}, {}, {}, {}});
    tree->expandAll();
    QTRY_VERIFY(tree->horizontalScrollBar()->maximum() > 0);
    QVERIFY(tree->columnWidth(0) >= tree->fontMetrics().horizontalAdvance(longPath));

    m_form->TaskViewRemoveFirst();
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("Disconnect"));
    m_form->TaskViewClear();
    QCOMPARE(tree->topLevelItemCount(), 0);
    // A new run starts: the last one's failure no longer holds.
    QVERIFY(!window->FailureText().isEmpty());
    m_form->TaskViewAdd({"Upload", {}, QStringLiteral("c.bin"), {}, {}});
    QCOMPARE(window->FailureText(), QString());
}

void TestMainForm::findKeepsModeAndSelectsAllRows()
{
    TGroupListOperations operations(*m_store);
    QString shownText;
    auto answer = [&shownText](const QString& text, const QString& mode, bool ok) {
        WhenModal([=, &shownText](QWidget* dialog) {
            auto* field = dialog->findChild<QLineEdit*>(QStringLiteral("FindText"));
            shownText = field->text();
            field->setText(text);
            for (auto* radio : dialog->findChildren<QRadioButton*>())
                if (radio->text() == mode)
                    radio->click();
            ClickButton(dialog, ok ? QStringLiteral("OK") : QStringLiteral("Cancel"));
        });
    };
    // "All": every matching group selected at once, the earlier selection gone.
    m_form->GroupPaneSelectRows({2}, true);
    answer(QStringLiteral("test"), QStringLiteral("All"), true);
    operations.GroupFindClick(*m_form);
    QCOMPARE(m_form->GroupPaneSelectedRows(), QList<int>({0, 1, 3}));
    QVERIFY(!m_form->Command("FindAgainItem")->isEnabled());
    QCOMPARE(m_form->FindGroupForm()->Mode(), TFindMode::All);

    // The window opens with the last text and mode; "First" brings the single match back.
    answer(QStringLiteral("test"), QStringLiteral("First"), true);
    operations.GroupFindClick(*m_form);
    QCOMPARE(shownText, QStringLiteral("test"));
    QCOMPARE(m_form->GroupPaneSelectedRows(), QList<int>({0}));
    QVERIFY(m_form->Command("FindAgainItem")->isEnabled());
    operations.FindAgainClick(*m_form);
    QCOMPARE(m_form->GroupPaneSelectedRows(), QList<int>({1}));

    // Cancel keeps the selection and the mode.
    answer(QStringLiteral("comp"), QStringLiteral("All"), false);
    operations.GroupFindClick(*m_form);
    QCOMPARE(m_form->GroupPaneSelectedRows(), QList<int>({1}));
    QCOMPARE(operations.SearchMode, TFindMode::First);

    // The pane's own selection calls: adding to and clearing the selection.
    m_form->GroupPaneSelectRows({3}, false);
    QCOMPARE(m_form->GroupPaneSelectedRows(), QList<int>({1, 3}));
    m_store->ShowGroups();
    QVERIFY(m_form->GroupPaneSelectedRows().isEmpty());
}

void TestMainForm::secondIncludeFileReplacesFirst()
{
    const QString first = m_dir->filePath(QStringLiteral("first.txt"));
    const QString second = m_dir->filePath(QStringLiteral("second.txt"));
    WriteFile(first, "one\r\ntwo\r\nthree\r\n");
    WriteFile(second, "alpha\nbeta");
    TIncTextForm form;
    QVERIFY(form.Lines().isEmpty());
    QCOMPARE(form.LoadFile(first), QString());
    QCOMPARE(form.Lines(), QStringList({"one", "two", "three"}));
    QCOMPARE(form.LoadFile(second), QString());
    QCOMPARE(form.Lines(), QStringList({"alpha", "beta"}));

    // Through the view: OK hands the lines over, Cancel nothing.
    WhenModal([second](QWidget* dialog) {
        QVERIFY(qobject_cast<TIncTextForm*>(dialog)->Lines().isEmpty());
        qobject_cast<TIncTextForm*>(dialog)->LoadFile(second);
        ClickButton(dialog, QStringLiteral("OK"));
    });
    QCOMPARE(m_form->AskIncludeText(), std::optional<QStringList>({"alpha", "beta"}));
    WhenModal([second](QWidget* dialog) {
        qobject_cast<TIncTextForm*>(dialog)->LoadFile(second);
        ClickButton(dialog, QStringLiteral("Cancel"));
    });
    QCOMPARE(m_form->AskIncludeText(), std::nullopt);
}

void TestMainForm::includeFileThatCannotBeReadKeepsText()
{
    const QString good = m_dir->filePath(QStringLiteral("good.txt"));
    WriteFile(good, "kept\n");
    TIncTextForm form;
    form.LoadFile(good);
    const QString error = form.LoadFile(m_dir->filePath(QStringLiteral("missing.txt")));
    QVERIFY(error.contains(QStringLiteral("missing.txt")));
    QCOMPARE(form.Lines(), QStringList({"kept"}));
}

void TestMainForm::sessionLogWindowFollowsLog()
{
    TFakeClock clock;
    TSessionLog log(clock);
    log.AddLine(QStringLiteral("Startup"));
    m_form->AttachSessionLog(log);
    m_form->ViewLogItemClick();
    TLogForm* window = m_form->LogForm();
    QVERIFY(window->isVisible());
    QCOMPARE(window->Lines().size(), 1);
    QVERIFY(window->Lines().at(0).endsWith(QStringLiteral("Startup")));
    log.AddLine(QStringLiteral("Info: Connected"));
    QCOMPARE(window->Lines(), log.Lines());
    ClickButton(window, QStringLiteral("OK"));
    QVERIFY(!window->isVisible());
    log.AddLine(QStringLiteral("Shutdown"));
    QCOMPARE(window->Lines().size(), 3);
    QCOMPARE(m_state->CurrentProcName(), QStringLiteral("ViewLogItemClick"));
}

void TestMainForm::helpTopicsHaveAnchors_data()
{
    QTest::addColumn<int>("topic");
    QTest::newRow("contents") << 0;
    QTest::newRow("setup") << 400;
    QTest::newRow("subscribe") << 410;
    QTest::newRow("upload") << 425;
}

void TestMainForm::helpTopicsHaveAnchors()
{
    QFETCH(int, topic);
    // The help as shipped: every topic the menus open must exist in it.
    m_state->ProgramDir =
        qEnvironmentVariable("QUORVEL_SOURCE_DIR") + QStringLiteral("/docs/help/");
    const QString file = THelpWindow::FindHelpFile(m_state->ProgramDir);
    QVERIFY(!file.isEmpty());
    QFile html(file);
    QVERIFY(html.open(QIODevice::ReadOnly));
    const QString anchor = THelpWindow::TopicAnchor(topic);
    if (topic != 0)
        QVERIFY(html.readAll().contains(QStringLiteral("id=\"%1\"").arg(anchor).toUtf8()));
    m_form->ShowHelp(topic);
    QVERIFY(m_form->HelpWindow() && m_form->HelpWindow()->isVisible());
    QCOMPARE(m_form->HelpWindow()->CurrentAnchor(), anchor);
}

void TestMainForm::aboutShowsVersion()
{
    QString version, title;
    WhenModal([&](QWidget* dialog) {
        title = dialog->windowTitle();
        version = dialog->findChild<QLabel*>(QStringLiteral("Version"))->text();
        ClickButton(dialog, QStringLiteral("OK"));
    });
    m_form->Command("AboutButton")->trigger();
    QCOMPARE(title, QStringLiteral("About Quorvel"));
    QCOMPARE(version, QStringLiteral("Version 2.0.0.1"));
}

void TestMainForm::dialogFilters_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("expected");
    QTest::newRow("text and all") << "Text Files|*.txt|All Files|*.*"
                                  << "Text Files (*.txt);;All Files (*)";
    QTest::newRow("catalog") << "BBS Catalog|files.bbs"
                             << "BBS Catalog (files.bbs)";
    QTest::newRow("several patterns") << "Newsrc|*.rc;newsrc*"
                                      << "Newsrc (*.rc newsrc*)";
    QTest::newRow("name without pattern") << "All Files"
                                          << "All Files (*)";
}

void TestMainForm::dialogFilters()
{
    QFETCH(QString, filter);
    QTEST(ToDialogFilter(filter), "expected");
}

// Size, panes and columns as the user left them, from the settings file, at the next start.
void TestMainForm::layoutRememberedForTheNextRun()
{
    TSettingsStore store(m_dir->filePath(QStringLiteral("settings.ini")));
    m_form->AttachLayoutStore(store);
    m_form->show();
    m_form->resize(1010, 690);
    auto* splitter = m_form->findChild<QSplitter*>(QStringLiteral("Splitter1"));
    splitter->setSizes({300, 120, 150});
    const QList<int> sizes = splitter->sizes();
    m_form->GroupList()->header()->resizeSection(1, 77);
    // The History window keeps its own size and columns.
    m_form->Command(QStringLiteral("ViewHistoryItem"))->trigger();
    m_form->HistoryDialog()->resize(1040, 400);
    auto* history = m_form->HistoryDialog()->findChild<QTableView*>(QStringLiteral("HistoryView"));
    history->horizontalHeader()->resizeSection(1, 91);
    m_form->close();
    QVERIFY(store.Sync().isEmpty());

    TSettingsStore again(m_dir->filePath(QStringLiteral("settings.ini")));
    TMainForm next;
    next.SetGroupModel(m_groups.get());
    next.AttachLayoutStore(again);
    next.show();
    QCOMPARE(next.size(), QSize(1010, 690));
    QCOMPARE(next.findChild<QSplitter*>(QStringLiteral("Splitter1"))->sizes(), sizes);
    QCOMPARE(next.GroupList()->header()->sectionSize(1), 77);
    next.Command(QStringLiteral("ViewHistoryItem"))->trigger();
    QCOMPARE(next.HistoryDialog()->size(), QSize(1040, 400));
    QCOMPARE(next.HistoryDialog()
                 ->findChild<QTableView*>(QStringLiteral("HistoryView"))
                 ->horizontalHeader()
                 ->sectionSize(1),
             91);
    next.SetGroupModel(nullptr);
}

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
