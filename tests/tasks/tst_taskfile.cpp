#include "NoKeyring.h"
#include "ProfileOwnerStub.h"
#include "TaskFixture.h"
#include "app/Profiles.h"
#include "base/SettingsStore.h"
#include "tasks/TaskFields.h"
#include "tasks/TaskLine.h"

#include <QFileInfo>
#include <QTest>

Q_DECLARE_METATYPE(TTask)

namespace {

// Every text field of a task filled with something the comma-text form must protect.
TTask awkwardTask(TTaskKind kind)
{
    const QStringList texts = {
        QStringLiteral("alt.a,alt.b"),
        QStringLiteral("say \"hi\", then go"),
        QStringLiteral(" leading and trailing "),
        QString(),
        QStringLiteral("tab\there"),
        QStringLiteral("two\r\nlines\nand\rmore"),
        QStringLiteral("\""),
        QStringLiteral("ctl\x01\x1f") + QChar(0) + QStringLiteral("end"),
        QStringLiteral("Grüße \"quoted,\" ü"),
        QStringLiteral("   "),
    };
    TTask t;
    t.Kind = kind;
    for (int i = 1; i <= 10; ++i)
        t.Text(i) = texts[i - 1];
    if (kind == tkUpload) {
        t.Text11 = QStringLiteral("batch, \"one\"");
        t.Text12 = QStringLiteral("5,2,0");
    }
    t.Flag1 = kind % 2 == 0;
    t.Flag2 = kind % 3 == 0;
    t.Timeout = -5;
    t.PostTimeout = 120;
    t.MaxLines = 5000;
    return t;
}

QByteArray taskFile(const QByteArray& profile, const QList<QByteArray>& lines)
{
    QByteArray out = profile + "\r\n";
    for (const QByteArray& l : lines)
        out += l + "\r\n";
    return out;
}

const QByteArray UploadLine =
    "1,/tmp/a.jpg,me@example.com,,,\"\"\"%s\"\",pics,/tmp/a.jpg\",alt.test,,news.example.com,"
    "\"u,p\",,60,30,0,y,n";

} // namespace

class TestTaskFile : public QObject
{
    Q_OBJECT
private slots:
    void lineRoundTrip_data();
    void lineRoundTrip();
    void fieldForms();
    void fieldDefaults_data();
    void fieldDefaults();
    void taskView_data();
    void taskView();
    void taskIdentity();
    void saveAndReload();
    void savedFileIsPrivateAndKeepsEarlierTasks();
    void saveFailureReported();
    void keyringPasswordsLeftOut();
    void reloadSwitchesProfile_data();
    void reloadSwitchesProfile();
    void dialUpLinesReplaced_data();
    void dialUpLinesReplaced();
    void damagedFileChangesNothing_data();
    void damagedFileChangesNothing();
    void missingFile();
    void encodings_data();
    void encodings();
};

void TestTaskFile::lineRoundTrip_data()
{
    QTest::addColumn<TTask>("task");
    for (int kind = 0; kind < TaskKindCount; ++kind)
        QTest::addRow("%s", qPrintable(TaskKindCaption(TTaskKind(kind))))
            << awkwardTask(TTaskKind(kind));
    QTest::addRow("unknown kind") << awkwardTask(TTaskKind(200));
    QTest::addRow("all empty") << TTask{};
}

void TestTaskFile::lineRoundTrip()
{
    QFETCH(TTask, task);
    const QString line = TaskLine::Write(task);
    // Two copies in a row: each must come back as its own record despite embedded breaks.
    TaskLine::TSplitError error;
    const auto records = TaskLine::Split(line + "\r\n" + line + "\r\n", 2, &error);
    QVERIFY2(records.has_value(), qPrintable(error.Text));
    QCOMPARE(records->size(), 2);
    QCOMPARE(records->at(0).FirstLine, 2);
    const int breaks = int(line.count('\n') + line.count('\r') - line.count("\r\n"));
    QCOMPARE(records->at(1).FirstLine, 2 + 1 + breaks);
    for (const TaskLine::TRecord& r : *records) {
        QString why;
        const auto back = TaskLine::Read(r.Text, &why);
        QVERIFY2(back.has_value(), qPrintable(why));
        QCOMPARE(*back, task);
    }
}

void TestTaskFile::fieldForms()
{
    // Two groups are one quoted field; empty texts are nothing between two commas.
    TTask t = makeTask(tkUpload, QStringLiteral("/tmp/a.jpg"));
    t.Text6 = QStringLiteral("alt.a,alt.b");
    t.Flag1 = true;
    QCOMPARE(TaskLine::Write(t), QStringLiteral("1,/tmp/a.jpg,,,,,\"alt.a,alt.b\",,,,,0,0,0,y,n"));
    QString why;
    const auto back = TaskLine::Read(TaskLine::Write(t), &why);
    QVERIFY(back);
    QCOMPARE(back->Text6, QStringLiteral("alt.a,alt.b"));
    QCOMPARE(back->Text2, QString());
    // A batch follows the flags; without one the line is the same as ever (above).
    t.Text11 = QStringLiteral("20261207-182000-abcdef");
    QCOMPARE(
        TaskLine::Write(t),
        QStringLiteral("1,/tmp/a.jpg,,,,,\"alt.a,alt.b\",,,,,0,0,0,y,n,20261207-182000-abcdef"));
    QCOMPARE(TaskLine::Read(TaskLine::Write(t), &why)->Text11, t.Text11);
    // The recovery setting comes after the batch, which is written empty when there is none;
    // a line without them reads as a task without recovery files.
    t.Text12 = QStringLiteral("10,0,0");
    QCOMPARE(TaskLine::Write(t), QStringLiteral("1,/tmp/a.jpg,,,,,\"alt.a,alt.b\",,,,,0,0,0,y,n,"
                                                "20261207-182000-abcdef,\"10,0,0\""));
    t.Text11.clear();
    QCOMPARE(TaskLine::Write(t),
             QStringLiteral("1,/tmp/a.jpg,,,,,\"alt.a,alt.b\",,,,,0,0,0,y,n,,\"10,0,0\""));
    QCOMPARE(*TaskLine::Read(TaskLine::Write(t), &why), t);
    QCOMPARE(TaskLine::Read("1,/tmp/a.jpg,,,,,,,,,,0,0,0,y,n,b", &why)->Text12, QString());
}

void TestTaskFile::fieldDefaults_data()
{
    QTest::addColumn<QString>("tail"); // fields 12 to 16
    QTest::addColumn<int>("timeout");
    QTest::addColumn<int>("postTimeout");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<bool>("flag1");
    QTest::addColumn<bool>("flag2");
    QTest::newRow("numbers") << "15,-3,1000,y,y" << 15 << -3 << 1000 << true << true;
    QTest::newRow("words") << "soon,later,many,n,n" << 60 << 30 << 0 << false << false;
    QTest::newRow("empty") << ",,,n,n" << 60 << 30 << 0 << false << false;
    QTest::newRow("capital Y") << "1,2,3,Y,y" << 1 << 2 << 3 << false << true;
    QTest::newRow("yes is not y") << "1,2,3,yes,\"y\"" << 1 << 2 << 3 << false << true;
}

void TestTaskFile::fieldDefaults()
{
    QFETCH(QString, tail);
    QString why;
    const auto t = TaskLine::Read(QStringLiteral("1,a,b,c,d,e,f,g,h,i,j,") + tail, &why);
    QVERIFY2(t, qPrintable(why));
    QTEST(int(t->Timeout), "timeout");
    QTEST(int(t->PostTimeout), "postTimeout");
    QTEST(int(t->MaxLines), "maxLines");
    QTEST(t->Flag1, "flag1");
    QTEST(t->Flag2, "flag2");
}

void TestTaskFile::taskView_data()
{
    QTest::addColumn<TTask>("task");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("children");
    TTask up = makeUpload(QStringLiteral("/x/a.zip"));
    QTest::newRow("dial-up") << makeTask(tkDialUp, "Modem") << "Dial-up" << QStringList{"Modem"};
    QTest::newRow("upload") << up << "Upload"
                            << QStringList{"news.example.com", "/x/a.zip", up.Text5};
    QTest::newRow("download") << makeTask(tkGroupDownload, "news") << "Group download"
                              << QStringList{"news"};
    QTest::newRow("new groups") << makeTask(tkNewGroups, "news", "03/04/26 05:06:07")
                                << "New groups" << QStringList{"news", "Since 03/04/26 05:06:07"};
    QTest::newRow("disconnect") << makeTask(tkDisconnect, "news") << "Disconnect"
                                << QStringList{"news"};
    QTest::newRow("hangup") << makeTask(tkHangup, "Modem") << "Hangup" << QStringList{"Modem"};
    QTest::newRow("unknown") << makeTask(TTaskKind(9), "x") << "" << QStringList{};
}

void TestTaskFile::taskIdentity()
{
    // Two tasks of equal value are two tasks; a task keeps its identity when it moves or is
    // changed in place, and one removed is found nowhere.
    TaskFixture f;
    f.list.Add(makeTask(tkDisconnect, "same"));
    f.list.Add(makeTask(tkDisconnect, "same"));
    f.list.Add(makeTask(tkDisconnect, "other"));
    QCOMPARE(f.list.At(0), f.list.At(1));
    const TTaskList::TTaskId first = f.list.HeadId(), second = f.list.IdAt(1);
    QVERIFY(first != second);
    QVERIFY(f.list.Move(0, 2));
    QCOMPARE(f.list.IndexOf(first), 2);
    QCOMPARE(f.list.HeadId(), second);
    f.list.Head().Text1 = QStringLiteral("changed");
    QCOMPARE(f.list.HeadId(), second);
    f.list.RemoveHead();
    QCOMPARE(f.list.IndexOf(second), -1);
    QCOMPARE(f.list.IndexOf(first), 1);
}

void TestTaskFile::taskView()
{
    QFETCH(TTask, task);
    TaskFixture f;
    f.list.Add(makeTask(tkDisconnect, "first"));
    f.list.Add(task);
    QCOMPARE(f.view.TaskNodes.size(), 2);
    QTEST(f.view.TaskNodes[1].Caption, "caption");
    QTEST(f.view.TaskNodes[1].Children, "children");

    f.list.RemoveHead();
    QCOMPARE(f.list.Count(), 1);
    QCOMPARE(f.view.TaskNodes.size(), 1);
    QTEST(f.view.TaskNodes[0].Caption, "caption");

    f.list.SetRunnerBusy(true);
    f.view.Actions[TViewAction::Abort] = true;
    f.list.Clear();
    QVERIFY(f.list.IsEmpty());
    QVERIFY(f.view.TaskNodes.isEmpty());
    QVERIFY(!f.list.RunnerBusy());
    QCOMPARE(f.view.Actions.value(TViewAction::Abort, true), false);
    QCOMPARE(f.view.Actions.value(TViewAction::Disconnect, true), false);
    f.list.RemoveHead(); // nothing to remove: nothing happens
    QVERIFY(f.view.TaskNodes.isEmpty());
}

void TestTaskFile::saveAndReload()
{
    TaskFixture f;
    QList<TTask> saved = {makeUpload(QStringLiteral("/tmp/a b.jpg"), "alt.a,alt.b"),
                          makeTask(tkGroupDownload, "news"),
                          makeTask(tkNewGroups, "news", "03/04/26 05:06:07"),
                          awkwardTask(tkUpload),
                          makeTask(tkDisconnect, "news"),
                          makeTask(tkHangup, "Modem"),
                          awkwardTask(TTaskKind(7))};
    for (TTask& t : saved) {
        t.Profile = QStringLiteral("Default"); // queued from the current profile
        f.list.Add(t);
    }
    f.list.DialUpQueued = true;
    QVERIFY(f.file.SaveTasks());
    QVERIFY(!f.list.DialUpQueued);
    QCOMPARE(f.list.Count(), saved.size()); // saving leaves the list as it is
    QVERIFY(f.logged("Info: Tasks saved to " + f.file.FileName()));

    const QByteArray bytes = f.fileBytes();
    QVERIFY(bytes.startsWith("Default\r\n1,\"/tmp/a b.jpg\",\"me@example.com (Me)\","));
    QVERIFY(bytes.contains(",\"alt.a,alt.b\","));
    QVERIFY(bytes.contains("\r\n4,news,,,,,,,,,,0,0,0,n,n\r\n"));
    QVERIFY(bytes.endsWith("\r\n"));

    f.list.Clear();
    f.view.TaskNodes.clear();
    QVERIFY(f.file.ReadTasks());
    QCOMPARE(f.tasks(), saved);
    QCOMPARE(f.view.TaskNodes.size(), saved.size());
    QCOMPARE(f.view.TaskNodes[6].Caption, QString());
    QVERIFY(!QFile::exists(f.file.FileName()));
    QVERIFY(!f.file.Exists());
}

void TestTaskFile::savedFileIsPrivateAndKeepsEarlierTasks()
{
    TaskFixture f;
    f.writeFile("Old\r\n4,old,,,,,,,,,,0,0,0,n,n\r\n4,old2,,,,,,,,,,0,0,0,n,n\r\n");
    QFile::setPermissions(f.file.FileName(), QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ReadGroup | QFile::ReadOther);
    f.list.Add(makeTask(tkDisconnect, "new"));
    QVERIFY(f.file.SaveTasks());
    // Another profile's saved tasks stay, under their own profile line; ours follow under ours,
    // so that each runs under the profile it was queued from.
    QCOMPARE(f.fileBytes(), QByteArray("Old\r\n4,old,,,,,,,,,,0,0,0,n,n\r\n4,old2,,,,,,,,,,0,0,0,n,"
                                       "n\r\nProfile: Default\r\n4,new,,,,,,,,,,0,0,0,n,n\r\n"));
    QVERIFY(f.logged("Info: The tasks saved there before were kept"));
    QCOMPARE(f.file.SavedTaskCount(), 3);
    QCOMPARE(QFileInfo(f.file.FileName()).permissions() &
                 (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther),
             QFileDevice::Permissions());
    QVERIFY(QFileInfo(f.file.FileName()).permissions() & QFile::WriteOwner);
    // No temporary file is left beside it.
    QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"qvtasks.qv"});
    // Read back, each task names the profile it runs under.
    f.list.Clear();
    QVERIFY(f.file.ReadTasks());
    QCOMPARE(QList<QString>({f.list.At(0).Profile, f.list.At(1).Profile, f.list.At(2).Profile}),
             QList<QString>({"Old", "Old", "Default"}));
}

void TestTaskFile::saveFailureReported()
{
    TaskFixture f;
    f.state.ProgramDir = f.dir.filePath("missing/folder") + "/";
    f.list.Add(makeTask(tkDisconnect, "news"));
    f.list.DialUpQueued = true;
    QVERIFY(!f.file.SaveTasks());
    QVERIFY(f.list.DialUpQueued); // the tasks were not saved away
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY(f.view.Warnings[0].contains(f.file.FileName()));
    QVERIFY(!f.logged("Info: Tasks saved to " + f.file.FileName()));
    // One log entry, on one line.
    QVERIFY(f.logged("Error: " + QString(f.view.Warnings[0]).replace(u'\n', u' ')));
}

// A task that logs in as the profile, whose password the keyring holds, is saved without a
// password; another user's task keeps its own, and so does every task of another profile.
void TestTaskFile::keyringPasswordsLeftOut()
{
    TaskFixture f;
    ProfileSettings& s = f.state.Settings;
    s.Host = "news:119";
    s.UserID = "alice";
    s.Password = "pw";
    s.RASConnection = "Modem";
    s.RASUserName = "dialer";
    s.RASPassword = "dpw";
    f.owner.Keyring = {"pw", "dpw"};
    auto upload = [](const QString& login) {
        TTask t = makeUpload("/tmp/a.jpg");
        UploadFields(t).Server = "NEWS:119";
        UploadFields(t).Login = login;
        UploadFields(t).LoginRequired = true;
        return t;
    };
    TTask group = makeTask(tkGroupDownload, "news:119");
    GroupTaskFields(group).UserName = "alice";
    GroupTaskFields(group).Password = "pw";
    GroupTaskFields(group).LoginRequired = true;
    TTask dial = makeTask(tkDialUp, "Modem");
    DialFields(dial).UserName = "dialer";
    DialFields(dial).Password = "dpw";
    const QList<TTask> queued = {upload("alice,pw"), upload("bob,pw"), upload("alice,typed"), group,
                                 dial};
    for (const bool underOurs : {true, false}) {
        // Another profile's tasks: the keyring's passwords are not theirs.
        for (TTask t : queued) {
            t.Profile = underOurs ? "Default" : "Old";
            f.list.Add(t);
        }
        QVERIFY(f.file.SaveTasks());
        // A dial-up line is not read back (a fresh one is queued): its line tells.
        QVERIFY(
            f.fileBytes().contains(underOurs ? "\r\n0,Modem,dialer,," : "\r\n0,Modem,dialer,dpw,"));
        f.list.Clear();
        f.owner.OnSwitch = [&](const QString& name) { f.state.SetProfile(name); };
        QVERIFY(f.file.ReadTasks());
        QList<TTask> expected = queued;
        for (TTask& t : expected)
            t.Profile = underOurs ? "Default" : "Old";
        if (underOurs) {
            UploadFields(expected[0]).Login = "alice,";
            UploadFields(expected[2]).Login = "alice,";
            GroupTaskFields(expected[3]).Password.clear();
        }
        expected.removeLast();
        QCOMPARE(f.tasks(), expected);
        f.list.Clear();
        f.state.SetProfile("Default");
    }
}

void TestTaskFile::reloadSwitchesProfile_data()
{
    QTest::addColumn<QString>("known");   // profile names in the store
    QTest::addColumn<QByteArray>("name"); // line 1 of the file
    QTest::addColumn<QString>("current");
    QTest::addColumn<QStringList>("selector");
    QTest::newRow("missing profile")
        << "Default" << QByteArray("Work") << "Work" << QStringList{"Default", "Work"};
    QTest::newRow("listed profile")
        << "Default,Home" << QByteArray("Home") << "Home" << QStringList{"Default", "Home"};
    QTest::newRow("same in other case")
        << "Default" << QByteArray("dEFAULT") << "Default" << QStringList{"Default"};
}

void TestTaskFile::reloadSwitchesProfile()
{
    QFETCH(QString, known);
    QFETCH(QByteArray, name);
    TaskFixture f;
    TSettingsStore store(f.dir.filePath("Quorvel.ini"));
    store.WriteString(TProfiles::CommonKey(), "Profiles", known);
    TProfileOwnerStub profileOwner;
    TNoKeyring keyring;
    TProfiles profiles(f.state, store, keyring, f.view, f.clock, profileOwner);
    f.view.FollowProfiles(profiles);
    QList<int> countsAtSwitch;
    profileOwner.OnLoaded = [&] { countsAtSwitch << f.list.Count(); };
    profiles.ReadProfiles();
    int checkRas = 0;
    f.owner.OnSwitch = [&](const QString& n) { profiles.SwitchWithoutSaving(n); };
    f.owner.OnCheckRas = [&] { ++checkRas; };

    f.writeFile(taskFile(name, {UploadLine}));
    QVERIFY(f.file.ReadTasks());
    QTEST(f.state.ProfileName, "current");
    QTEST(profiles.Names(), "selector");
    QCOMPARE(f.view.Profiles, profiles.Names());
    const bool switched = f.state.ProfileName != "Default";
    // The profile is current before any of its tasks is queued.
    QCOMPARE(countsAtSwitch, switched ? QList<int>{0} : QList<int>{});
    QCOMPARE(checkRas, 1);
    QCOMPARE(f.list.Count(), 1);
    QCOMPARE(f.list.At(0).Text9, QStringLiteral("u,p"));
    QCOMPARE(f.list.At(0).Text5, QStringLiteral("\"%s\",pics,/tmp/a.jpg"));
}

void TestTaskFile::dialUpLinesReplaced_data()
{
    QTest::addColumn<bool>("dialBefore");
    QTest::addColumn<QStringList>("kinds");
    QTest::addColumn<bool>("dialUpQueued");
    QTest::newRow("dial-up off") << false << QStringList{"Upload", "Hangup", "Upload"} << false;
    QTest::newRow("dial-up on") << true << QStringList{"Dial-up", "Upload", "Hangup", "Upload"}
                                << false;
}

void TestTaskFile::dialUpLinesReplaced()
{
    QFETCH(bool, dialBefore);
    TaskFixture f;
    f.state.Settings.RASConnection = QStringLiteral("Current entry");
    // What the dial-up side does before a batch: one fresh dial-up task from the settings.
    f.owner.OnCheckRas = [&] {
        if (dialBefore && !f.list.DialUpQueued) {
            f.list.Add(makeTask(tkDialUp, f.state.Settings.RASConnection));
            f.list.DialUpQueued = true;
        }
    };
    f.writeFile(taskFile("Default", {"0,Saved entry,user,secret,,,,,,,,0,0,0,y,y", UploadLine,
                                     "5,Saved entry,,,,,,,,,,0,0,0,n,n", UploadLine}));
    QVERIFY(f.file.ReadTasks());
    QStringList kinds;
    for (const TTask& t : f.tasks())
        kinds << TaskKindCaption(t.Kind);
    QTEST(kinds, "kinds");
    QTEST(f.list.DialUpQueued, "dialUpQueued");
    if (dialBefore)
        QCOMPARE(f.list.At(0).Text1, QStringLiteral("Current entry"));
}

void TestTaskFile::damagedFileChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("badLine");
    const QByteArray good = "4,news,,,,,,,,,,0,0,0,n,n";
    QTest::newRow("empty file") << QByteArray() << 1;
    QTest::newRow("15 fields") << taskFile("Elsewhere", {good, "4,news,,,,,,,,,,0,0,0,n"}) << 3;
    QTest::newRow("kind not a number")
        << taskFile("Elsewhere", {"x4,news,,,,,,,,,,0,0,0,n,n", good}) << 2;
    QTest::newRow("kind too large")
        << taskFile("Elsewhere", {good, good, "300" + good.mid(1)}) << 4;
    QTest::newRow("blank line") << taskFile("Elsewhere", {good, "", good}) << 3;
    QTest::newRow("quote never closed")
        << taskFile("Elsewhere", {good, "4,\"news,,,,,,,,,,0,0,0,n,n", good}) << 3;
    QTest::newRow("after a line break in a value")
        << taskFile("Elsewhere", {"4,\"a\r\nb\",,,,,,,,,,0,0,0,n,n", "4,short"}) << 4;
    // The profile name becomes a file name and a settings group.
    QTest::newRow("profile climbing folders") << taskFile("a/../../b", {good}) << 1;
    QTest::newRow("profile name empty") << taskFile("", {good}) << 1;
    QTest::newRow("profile with backslash") << taskFile("a\\b", {good}) << 1;
}

void TestTaskFile::damagedFileChangesNothing()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, badLine);
    TaskFixture f;
    int hooksCalled = 0;
    f.owner.OnSwitch = [&](const QString&) { ++hooksCalled; };
    f.owner.OnCheckRas = [&] { ++hooksCalled; };
    f.writeFile(bytes);
    QVERIFY(QFile::exists(f.file.FileName()));

    QVERIFY(!f.file.ReadTasks());
    QVERIFY(f.list.IsEmpty());
    QVERIFY(f.view.TaskNodes.isEmpty());
    QCOMPARE(hooksCalled, 0);
    QCOMPARE(f.state.ProfileName, QStringLiteral("Default"));
    QCOMPARE(f.fileBytes(), bytes);
    QCOMPARE(f.view.Warnings.size(), 1);
    const QString warning = f.view.Warnings[0];
    QVERIFY2(
        warning.startsWith(
            QStringLiteral("Line %1 of the task file %2 ").arg(badLine).arg(f.file.FileName())),
        qPrintable(warning));
}

void TestTaskFile::missingFile()
{
    TaskFixture f;
    QVERIFY(!f.file.Exists());
    QVERIFY(!f.file.ReadTasks());
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY(f.view.Warnings[0].contains(f.file.FileName()));
}

void TestTaskFile::encodings_data()
{
    QTest::addColumn<QByteArray>("text1");
    QTest::addColumn<QString>("expected");
    QTest::newRow("utf-8") << QByteArray("caf\xc3\xa9 \xe2\x82\xac") << QStringLiteral("café €");
    QTest::newRow("latin-1, edited by hand")
        << QByteArray("caf\xe9 \xb5") << QStringLiteral("café µ");
}

void TestTaskFile::encodings()
{
    QFETCH(QByteArray, text1);
    TaskFixture f;
    f.writeFile(taskFile("Default", {"4,\"" + text1 + "\",,,,,,,,,,0,0,0,n,n"}));
    QVERIFY(f.file.ReadTasks());
    QTEST(f.list.At(0).Text1, "expected");
}

QTEST_GUILESS_MAIN(TestTaskFile)
#include "tst_taskfile.moc"
