#include "AppRun.h"
#include "FakeClock.h"
#include "InnServer.h"
#include "NntpReader.h"
#include "ModalDriver.h"
#include "app/QuorvelApp.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskList.h"
#include "ui/MainForm.h"
#include "browser/FileList.h"
#include "ui/ProgramWiring.h"
#include "upload/BatchAccount.h"
#include "upload/UploadPoster.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSettings>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <QTreeView>

// The whole program behind its window: the commands as the user gives them, the work done
// by the real task runner and news client against a private INN server.
class TestProgram : public QObject
{
    Q_OBJECT
private slots:
    void downloadFillsGroupPaneAndSubscribeMovesGroups();
    void groupShortcutsWorkBeforeMenuOpens();
    void setupSavedWhenConfirmed();
    void batchAndNzbFileInTheStatusBar();
};

// The program as main() builds it, on a data folder of its own, shown and running its
// idle step; closed down again however the test ends.
struct TProgramRig
{
    explicit TProgramRig(const QString& host = QString())
    {
        logic.FormCreate({});
        if (!host.isEmpty())
            logic.State().Settings.Host = host;
        form.show();
        logic.FormShow();
        logic.InstallIdleHook();
        // A message box nobody answers would hold the test until its time-out: one still up
        // a second later is taken down, and its text kept for the test to report.
        QObject::connect(&guard, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box == seen) {
                unexpected << box->text();
                box->done(0);
                box = nullptr;
            }
            seen = box;
        });
        guard.start(1000);
    }
    ~TProgramRig()
    {
        form.close();
        logic.FormDestroy();
        qunsetenv("QUORVEL_HOME");
    }

    QTemporaryDir home;
    TMainForm form;
    TAppCore core{form, home.filePath(QStringLiteral("settings.ini"))};
    TQuorvelApp& logic = core.app;
    TProgramWiring wiring{form, logic};
    QTimer guard;
    QMessageBox* seen = nullptr;
    QStringList unexpected; // the texts of message boxes no one answered
};

void TestProgram::downloadFillsGroupPaneAndSubscribeMovesGroups()
{
    QUORVEL_REQUIRE_INN();
    TInnServer inn;
    QString error;
    QVERIFY2(inn.Start({.Auth = QString(), .Groups = 5}, &error), qPrintable(error));

    TProgramRig rig(inn.Server());
    TMainForm& form = rig.form;
    TQuorvelApp& logic = rig.logic;
    const QTemporaryDir& home = rig.home;
    // A new profile shows its one default group.
    QCOMPARE(form.GroupList()->model()->rowCount(), 1);

    QString question;
    WhenModal([&question](QWidget* box) {
        question = qobject_cast<QMessageBox*>(box)->text();
        qobject_cast<QMessageBox*>(box)->button(QMessageBox::Yes)->click();
    });
    form.Command(QStringLiteral("GroupsDownloadItem"))->trigger();
    QCOMPARE(question,
             QStringLiteral("This will completely overwrite your newsrc file. Continue?"));

    // Auto Start is on: the task runs at the next idle moment and ends by itself.
    TNewsrcStore& groups = logic.Newsrc();
    QVERIFY(RunLoopUntil([&] { return groups.UnsubList.size() >= 5 && logic.TaskList().IsEmpty(); },
                         1500));
    // The session log tells how many groups came.
    const QStringList received =
        logic.SessionLog().Lines().filter(QStringLiteral("   Groups received: "));
    QCOMPARE(received.size(), 1);
    QVERIFY2(received.first().endsWith(QStringLiteral(": %1").arg(groups.UnsubList.size())),
             qPrintable(received.first()));

    // The full list arrives unsubscribed; the shortcut menu shows it in the pane.
    form.Command(QStringLiteral("Unsubscribed1"))->trigger();
    QAbstractItemModel* rows = form.GroupList()->model();
    QCOMPARE(rows->rowCount(), int(groups.UnsubList.size()));
    QStringList names;
    for (int r = 0; r < rows->rowCount(); ++r)
        names << rows->index(r, 0).data().toString();
    QCOMPARE(names.filter(QStringLiteral("quorvel.bulk.")).size(), 5);

    // Pick two groups and subscribe them through the Groups menu.
    form.GroupPaneSelectRows({0, 1}, true);
    const QStringList chosen = {names.at(0), names.at(1)};
    form.findChild<QMenu*>(QStringLiteral("GroupsMenu"))->aboutToShow();
    QAction* subscribe = form.Command(QStringLiteral("GroupsSubscribeItem"));
    QVERIFY(subscribe->isEnabled());
    QCOMPARE(subscribe->text(), QStringLiteral("&Subscribe"));
    subscribe->trigger();
    form.Command(QStringLiteral("Subscribed1"))->trigger();
    QStringList subscribed;
    for (int r = 0; r < rows->rowCount(); ++r)
        subscribed << rows->index(r, 0).data().toString();
    QCOMPARE(subscribed, chosen);

    // Upload a file to the first of them: pick the file, the group, a subject, press Post.
    const QString folder = home.filePath(QStringLiteral("Uploads"));
    QDir().mkpath(folder);
    const QString file = folder + QStringLiteral("/Hello.txt");
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("Hello from the window.\r\n");
    }
    form.SetFolderPath(folder);
    QVERIFY(RunLoopUntil([&form] { return form.FileList()->ItemCount() == 1; }));
    form.FileList()->SelectFiles({file});
    form.GroupPaneSelectRows({0}, true);
    form.SetSubjectText(QStringLiteral("Window test"));
    form.SetFromText(QStringLiteral("tester@quorvel.test (Window Tester)"));
    QAction* post = form.Command(QStringLiteral("PostButton"));
    QVERIFY(RunLoopUntil([post] { return post->isEnabled(); }));
    // No retry: INN takes the post at the first try, also with several copies of this test
    // at once on a loaded machine, its syslog showing no reader dropped. A failure shows as
    // the window's error box, whose text the rig reports; QUORVEL_INN_SYSLOG=FOLDER keeps
    // INN's own account of it.
    post->trigger();
    QVERIFY(RunLoopUntil([&] { return logic.TaskList().IsEmpty(); }, 1500));
    QCOMPARE(rows->index(0, 1).data().toString(), QStringLiteral("1"));
    TNntpReader reader;
    QVERIFY2(reader.Connect(inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup(chosen.at(0).toLatin1(), articles, &error), qPrintable(error));
    QCOMPARE(articles.size(), 1);
    QVERIFY(articles.at(0).Header("Subject").contains("Window test"));
    QVERIFY(articles.at(0).Header("From").contains("tester@quorvel.test"));

    // Another profile has groups of its own; coming back shows the first profile's again.
    bool setupShown = false;
    WhenModal([&setupShown](QWidget* box) {
        auto* dialog = qobject_cast<QInputDialog*>(box);
        QVERIFY(dialog);
        dialog->setTextValue(QStringLiteral("Second"));
        dialog->accept();
        // A new profile opens the setup dialog next.
        WhenModal([&setupShown](QWidget* setup) {
            setupShown = setup->windowTitle() == QStringLiteral("Quorvel Setup");
            for (auto* button : setup->findChildren<QPushButton*>())
                if (button->text() == QStringLiteral("Cancel"))
                    button->click();
        });
    });
    form.Command(QStringLiteral("NewProfileItem"))->trigger();
    QVERIFY(setupShown);
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel v2: Second Profile"));
    QCOMPARE(rows->rowCount(), 1); // the new profile's default group
    QVERIFY(QFileInfo::exists(home.filePath(QStringLiteral("newsrc.Second"))));
    logic.ProfilesComboBoxChange(QStringLiteral("Default"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quorvel v2: Default Profile"));
    QCOMPARE(rows->rowCount(), int(groups.ShownList().size()));
    QCOMPARE(rig.unexpected, QStringList());
}

// OK in Setup writes the settings file at once, not only when the program ends.
void TestProgram::setupSavedWhenConfirmed()
{
    TProgramRig rig;
    WhenModal([](QWidget* setup) {
        auto* name = setup->findChild<QLineEdit*>(QStringLiteral("FullName"));
        QVERIFY(name);
        name->setText(QStringLiteral("Saved At Once"));
        for (auto* button : setup->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("OK"))
                button->click();
    });
    rig.form.OpenSetup();
    QSettings ini(rig.home.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QCOMPARE(ini.value(QStringLiteral("Default/FullName")).toString(),
             QStringLiteral("Saved At Once"));
}

void TestProgram::batchAndNzbFileInTheStatusBar()
{
    TProgramRig rig;
    auto* panel = rig.form.findChild<QLabel*>(QStringLiteral("NzbPanel"));
    QVERIFY(panel);
    QVERIFY(!panel->isVisible());
    emit rig.logic.UploadPoster().Account().NzbWritten(QStringLiteral("/data/nzb/Pics.nzb"));
    QVERIFY(panel->isVisible());
    QCOMPARE(panel->text(), QStringLiteral("NZB: /data/nzb/Pics.nzb"));

    // The batch's progress as the upload poster announces it, beside the NZB file.
    auto* batch = rig.form.findChild<QLabel*>(QStringLiteral("BatchPanel"));
    QVERIFY(batch);
    TBatchProgressState state;
    state.Done = 3000000;
    state.Total = 12000000;
    state.Percent = 25;
    state.BytesPerSecond = 1500000;
    state.SecondsLeft = 6;
    emit rig.logic.UploadPoster().BatchProgressChanged(state);
    QVERIFY(batch->isVisible());
    QCOMPARE(batch->text(), QStringLiteral("Batch: 25% 3.0 MB of 12.0 MB, 1.5 MB/s, 0:06 left"));
}

void TestProgram::groupShortcutsWorkBeforeMenuOpens()
{
    TProgramRig rig;
    TMainForm& form = rig.form;
    TQuorvelApp& logic = rig.logic;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    TNewsrcStore& groups = logic.Newsrc();
    QCOMPARE(groups.SubList.size(), size_t(1));
    QAction* subscribe = form.Command(QStringLiteral("GroupsSubscribeItem"));
    QVERIFY(!subscribe->isEnabled());

    // Choosing a group readies Ctrl+S at once; the menu is never opened.
    form.GroupPaneSelectRows({0}, true);
    QVERIFY(subscribe->isEnabled());
    QCOMPARE(subscribe->text(), QStringLiteral("&Unsubscribe"));
    form.GroupList()->setFocus();
    QTest::keyClick(form.GroupList(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(groups.SubList.size(), size_t(0));
    QCOMPARE(groups.UnsubList.size(), size_t(1));
    // Nothing is chosen in the emptied pane, so the shortcut rests again.
    QVERIFY(!subscribe->isEnabled());
}

QTEST_MAIN(TestProgram)
#include "tst_program.moc"
