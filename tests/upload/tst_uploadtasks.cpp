#include "FakeNntpServer.h"
#include "ScriptedTaskChecks.h"
#include "UploadFixture.h"
#include "groups/GroupListOperations.h"
#include "groups/NewsrcStore.h"
#include "upload/UploadTaskBuilder.h"

#include <QDir>
#include <QTest>

namespace {

// One newsrc record: the name NUL-padded to 76 bytes, the count little-endian, the flag.
QByteArray record(const QByteArray& name, qint32 count)
{
    QByteArray r = name;
    r.resize(76, '\0');
    for (int i = 0; i < 4; ++i)
        r.append(char((quint32(count) >> (8 * i)) & 0xff));
    r.append('\0');
    return r;
}

} // namespace

// The builder over a real group store: two of three subscribed groups selected, a folder
// "Holiday" with three files selected in the file pane.
struct BuilderFixture : UploadFixture
{
    TNewsrcStore store{state, logger, view};
    TGroupListOperations groups{store};
    TScriptedTaskChecks checks;
    TUploadTaskBuilder builder{state, view, list, runner, groups, poster, logger, checks};
    QString folder;

    BuilderFixture()
    {
        state.Settings.AutoStart = false; // keep the queue still while a test looks at it
        state.Settings.DisconnectWhenDone = false;
        view.FollowGroupList(store);
        view.FollowIdleState(runner);
        QFile newsrc(state.NewsrcPath);
        if (!newsrc.open(QIODevice::WriteOnly))
            qFatal("cannot write the newsrc file");
        newsrc.write(record("Alt.Pictures", 4) + record("alt.test", 0) + record("misc.test", 9));
        newsrc.close();
        store.ReadNewsrc();
        store.ShowGroups();
        view.GroupSelection = {0, 1};
        QDir(dir.path()).mkpath("Holiday");
        folder = dir.filePath("Holiday");
        view.Folder = folder;
        view.From = "me@example.com (Me)";
        view.Subject = "Summer";
        for (const QString& name : QStringList{"Pic One.JPG", "b.gif", "c.txt"})
            view.Files << write("Holiday/" + name, "data");
    }

    QList<QPair<QString, QString>> fileAndGroups() const
    {
        QList<QPair<QString, QString>> out;
        for (const TTask& t : tasks())
            out << qMakePair(t.Text1, t.Text6);
        return out;
    }

    qint32 count(int row) { return store.GetGroupCount(row); }
};

class TestUploadTasks : public QObject
{
    Q_OBJECT
private slots:
    void crossPostOrNot_data();
    void crossPostOrNot();
    void taskFields_data();
    void taskFields();
    void postOrderAndStatus();
    void countsOnlyWhatTheServerTook();
    void emptySubjectIsAskedFor();
    void cancelledLoginQueuesNothing();
    void disconnectWhenDone_data();
    void disconnectWhenDone();
    void itemWithoutFileName();
    void nothingWithoutGroups();
    void catalogUpload_data();
    void catalogUpload();
    void catalogDialogCancelled();
    void unreadableCatalog();
    void latin1Catalog();
};

void TestUploadTasks::crossPostOrNot_data()
{
    QTest::addColumn<bool>("crossPost");
    QTest::newRow("cross-posted") << true;
    QTest::newRow("one task per group") << false;
}

void TestUploadTasks::crossPostOrNot()
{
    QFETCH(bool, crossPost);
    BuilderFixture f;
    f.state.Settings.CrossPost = crossPost;
    const QString a = f.folder + "/Pic One.JPG", b = f.folder + "/b.gif", c = f.folder + "/c.txt";
    f.builder.PostButtonClick(f.view);

    QList<QPair<QString, QString>> expected;
    if (crossPost) {
        for (const QString& p : {a, b, c})
            expected << qMakePair(p, QStringLiteral("Alt.Pictures,alt.test"));
    } else {
        for (const QString& g : QStringList{"Alt.Pictures", "alt.test"})
            for (const QString& p : {a, b, c})
                expected << qMakePair(p, g);
    }
    QCOMPARE(f.fileAndGroups(), expected);
    // Paths keep their case: they must name the files that exist.
    for (const TTask& t : f.tasks())
        QVERIFY2(QFileInfo(t.Text1).isFile(), qPrintable(t.Text1));
    // Queued is not posted: the counts wait for the server's word.
    QCOMPARE(f.count(0), 4);
    QCOMPARE(f.count(1), 0);
    QCOMPARE(f.count(2), 9);
    QVERIFY(f.view.Files.isEmpty()); // the file pane's selection is used up
    QCOMPARE(f.view.LastIdle.TaskCount, expected.size());
}

void TestUploadTasks::taskFields_data()
{
    QTest::addColumn<bool>("includeOn");
    QTest::addColumn<std::optional<QStringList>>("answer");
    QTest::addColumn<QString>("text10");
    // How binary files go: uuencoded tasks keep the second flag false, as every task file
    // written before yEnc has it.
    QTest::addColumn<QString>("encoding");
    QTest::newRow("include text") << true << std::optional<QStringList>({"Hi", "all"}) << "Hi,all"
                                  << "uuencode";
    QTest::newRow("empty include text") << true << std::optional<QStringList>(QStringList{}) << ""
                                        << "YEnc";
    QTest::newRow("include text off") << false << std::optional<QStringList>() << ""
                                      << "";
}

void TestUploadTasks::taskFields()
{
    QFETCH(bool, includeOn);
    QFETCH(std::optional<QStringList>, answer);
    QFETCH(QString, text10);
    QFETCH(QString, encoding);
    BuilderFixture f;
    ProfileSettings& s = f.state.Settings;
    s.Encoding = encoding;
    s.IncludeText = includeOn;
    s.ReplyTo = "back@example.com";
    s.Organization = "Quorvel Tests";
    s.Template = "%s [%p/%t]";
    s.SigFile = "/home/me/.sig";
    s.Host = "news.example.com:1119";
    s.UserID = "joe";
    s.Password = "pass, word";
    s.Timeout = 45;
    s.PostTimeout = 25;
    s.MaxLines = 5000;
    s.LoginRequired = true;
    f.poster.PendingIncludeText = "stale";
    if (includeOn)
        f.view.IncludeTextAnswers.enqueue(answer);
    f.view.Files = {f.view.Files.first()};
    f.builder.PostButtonClick(f.view);

    QCOMPARE(f.list.Count(), 1);
    const TTask& t = f.list.At(0);
    const QString path = f.folder + "/Pic One.JPG";
    QCOMPARE(t.Kind, tkUpload);
    QCOMPARE(t.Text1, path);
    QCOMPARE(t.Text2, QStringLiteral("me@example.com (Me)"));
    QCOMPARE(t.Text3, s.ReplyTo);
    QCOMPARE(t.Text4, s.Organization);
    QCOMPARE(CommaText::Read(t.Text5), (QStringList{"%s [%p/%t]", "Summer", path}));
    QCOMPARE(t.Text6, QStringLiteral("Alt.Pictures,alt.test"));
    QCOMPARE(t.Text7, s.SigFile);
    QCOMPARE(t.Text8, s.Host);
    QCOMPARE(t.Text9, QStringLiteral("joe,pass, word"));
    QCOMPARE(t.Text10, includeOn ? text10 : QString());
    QCOMPARE(t.Timeout, 45);
    QCOMPARE(t.PostTimeout, 25);
    QCOMPARE(t.MaxLines, 5000);
    QVERIFY(t.Flag1);
    QCOMPARE(t.Flag2, encoding == "YEnc");
    QCOMPARE(f.view.TaskNodes.first().Children, (QStringList{s.Host, path, t.Text5}));
}

void TestUploadTasks::postOrderAndStatus()
{
    BuilderFixture f;
    f.state.Settings.IncludeText = true;
    f.view.IncludeTextAnswers.enqueue(QStringList{"x"});
    f.view.SetStatusText("Offline");
    f.builder.PostButtonClick(f.view);
    QCOMPARE(f.checks.Calls, (QStringList{"CheckAuth", "CheckRas"}));
    QCOMPARE(f.view.Calls.mid(1, 3),
             (QStringList{"IncludeText", "Status: Building task list", "Status: Offline"}));
    QVERIFY(!f.view.Busy);
    QCOMPARE(f.list.Count(), 3);
}

// A group's count goes up when the server takes the post; a refused post counts nowhere.
void TestUploadTasks::countsOnlyWhatTheServerTook()
{
    BuilderFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true).OnPost({"441 article too big"});
    f.state.Settings.Host = server.Server();
    f.state.Settings.CrossPost = false;
    f.builder.PostButtonClick(f.view); // three files to each of two groups, one task each
    f.runner.StartTasks();
    QVERIFY(f.runUntil([&] { return !f.view.Warnings.isEmpty() && f.list.IsEmpty(); }));
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains("article too big"),
             qPrintable(f.view.Warnings.first()));
    QCOMPARE(server.Commands().count("POST"), 2);
    QCOMPARE(f.count(0), 5);
    QCOMPARE(f.count(1), 0);
    QCOMPARE(f.count(2), 9);
}

void TestUploadTasks::emptySubjectIsAskedFor()
{
    BuilderFixture f;
    f.view.Subject.clear();
    f.view.InputAnswers.enqueue(std::nullopt); // Cancel: nothing is posted
    f.builder.PostButtonClick(f.view);
    QVERIFY(f.list.IsEmpty());
    // A line break would break the subject line: refused, with a message.
    f.view.InputAnswers.enqueue(QStringLiteral("two\nlines"));
    f.builder.PostButtonClick(f.view);
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.view.Warnings, QStringList{"Cannot post: the subject holds a control character "
                                          "(U+000A): a subject is one line of text"});
    f.view.Subject.clear();
    f.view.InputAnswers.enqueue(QStringLiteral(" Holiday "));
    f.builder.PostButtonClick(f.view);
    QCOMPARE(f.list.Count(), 3);
    QCOMPARE(CommaText::Read(f.tasks().first().Text5).value(1), QStringLiteral("Holiday"));
    QCOMPARE(f.view.Subject, QStringLiteral("Holiday"));
}

void TestUploadTasks::cancelledLoginQueuesNothing()
{
    BuilderFixture f;
    f.checks.AuthAnswer = false;
    f.builder.PostButtonClick(f.view);
    f.builder.DoFileUpload(f.view);
    QCOMPARE(f.checks.Calls, (QStringList{"CheckAuth", "CheckAuth"}));
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.view.Files.size(), 3);
}

void TestUploadTasks::disconnectWhenDone_data()
{
    QTest::addColumn<bool>("disconnect");
    QTest::addColumn<bool>("dialUp");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("hangups");
    QTest::newRow("off") << false << true << QStringList{"Upload", "Upload", "Upload"} << 0;
    QTest::newRow("on") << true << false << QStringList{"Upload", "Upload", "Upload", "Disconnect"}
                        << 0;
    QTest::newRow("on, with dial-up")
        << true << true << QStringList{"Upload", "Upload", "Upload", "Disconnect"} << 1;
}

void TestUploadTasks::disconnectWhenDone()
{
    QFETCH(bool, disconnect);
    QFETCH(bool, dialUp);
    QFETCH(QStringList, captions);
    QFETCH(int, hangups);
    BuilderFixture f;
    f.state.Settings.DisconnectWhenDone = disconnect;
    f.state.Settings.RASOpenBefore = dialUp;
    f.state.Settings.RASCloseConnectionAfter = dialUp;
    f.builder.PostButtonClick(f.view);
    QStringList got;
    for (const TTask& t : f.tasks())
        got << TaskKindCaption(t.Kind);
    QCOMPARE(got, captions);
    QCOMPARE(f.hangupsQueued, hangups); // the hang-up task is queued by its own code
}

void TestUploadTasks::itemWithoutFileName()
{
    BuilderFixture f;
    f.view.Files.insert(1, f.folder + "/");
    f.builder.PostButtonClick(f.view);
    QVERIFY(f.logged("Error: Short name"));
    QCOMPARE(f.list.Count(), 3);
}

void TestUploadTasks::nothingWithoutGroups()
{
    BuilderFixture f;
    f.view.GroupSelection.clear();
    f.builder.PostButtonClick(f.view);
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.count(0), 4);
}

void TestUploadTasks::catalogUpload_data()
{
    QTest::addColumn<bool>("crossPost");
    QTest::newRow("cross-posted") << true;
    QTest::newRow("one task per group") << false;
}

void TestUploadTasks::catalogUpload()
{
    QFETCH(bool, crossPost);
    BuilderFixture f;
    f.state.Settings.CrossPost = crossPost;
    f.state.Settings.DisconnectWhenDone = true;
    const QString catalog = f.write("Holiday/files.bbs", "Pic One.JPG   Beach walk\r\n"
                                                         "   an indented continuation\r\n"
                                                         "b.gif\r\n"
                                                         "absent.zip Not there\r\n");
    f.view.OpenFileAnswers.enqueue(catalog);
    f.builder.DoFileUpload(f.view);

    QCOMPARE(f.view.Calls.first(), QStringLiteral("OpenFile: File Open|BBS Catalog|files.bbs"));
    QCOMPARE(f.checks.Calls, (QStringList{"CheckAuth", "CheckRas"}));
    const QString a = f.folder + "/Pic One.JPG", b = f.folder + "/b.gif";
    QList<QPair<QString, QString>> expected;
    QStringList subjects;
    if (crossPost) {
        expected = {{a, "Alt.Pictures,alt.test"}, {b, "Alt.Pictures,alt.test"}};
        subjects = {"Beach walk", ""};
    } else {
        // Group names go in lower case.
        expected = {{a, "alt.pictures"}, {b, "alt.pictures"}, {a, "alt.test"}, {b, "alt.test"}};
        subjects = {"Beach walk", "", "Beach walk", ""};
    }
    QList<QPair<QString, QString>> uploads;
    QStringList gotSubjects;
    for (const TTask& t : f.tasks()) {
        if (t.Kind != tkUpload)
            continue;
        uploads << qMakePair(t.Text1, t.Text6);
        gotSubjects << CommaText::Read(t.Text5).value(1);
    }
    QCOMPARE(uploads, expected);
    QCOMPARE(gotSubjects, subjects);
    QCOMPARE(f.tasks().last().Kind, tkDisconnect);
    QVERIFY(f.builder.FileNameList.isEmpty());
}

void TestUploadTasks::latin1Catalog()
{
    // A catalog written in Latin-1 names its files in Latin-1; a UTF-8 one in UTF-8.
    BuilderFixture f;
    f.write(QStringLiteral("Holiday/Grüße.jpg"), "x");
    f.write(QStringLiteral("Holiday/Café.gif"), "y");
    const QString latin1 = f.write("Holiday/files.bbs", "Gr\xfc\xdf"
                                                        "e.jpg  Sch\xf6ne Gr\xfc\xdf"
                                                        "e\r\n");
    const QString utf8 = f.write("Holiday/utf8.bbs", "Caf\xc3\xa9.gif  Caf\xc3\xa9\r\n");
    QList<TFilesBbsCatalog::TEntry> entries;
    QString error;
    QVERIFY2(TFilesBbsCatalog::Read(latin1, entries, &error), qPrintable(error));
    QVERIFY2(TFilesBbsCatalog::Read(utf8, entries, &error), qPrintable(error));
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries[0].File, f.folder + QStringLiteral("/Grüße.jpg"));
    QCOMPARE(entries[0].Description, QStringLiteral("Schöne Grüße"));
    QCOMPARE(entries[1].File, f.folder + QStringLiteral("/Café.gif"));
}

void TestUploadTasks::catalogDialogCancelled()
{
    BuilderFixture f;
    f.state.Settings.DisconnectWhenDone = true;
    f.view.OpenFileAnswers.enqueue(QString());
    f.builder.DoFileUpload(f.view);
    QCOMPARE(f.checks.Calls, (QStringList{"CheckAuth", "CheckRas"}));
    QVERIFY(f.list.IsEmpty());
}

void TestUploadTasks::unreadableCatalog()
{
    BuilderFixture f;
    f.state.Settings.DisconnectWhenDone = true;
    const QString catalog = f.dir.filePath("gone/files.bbs");
    f.view.OpenFileAnswers.enqueue(catalog);
    f.builder.DoFileUpload(f.view);
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY(f.view.Warnings.first().contains(catalog));
    QCOMPARE(f.count(0), 4);
}

QTEST_GUILESS_MAIN(TestUploadTasks)
#include "tst_uploadtasks.moc"
