#include "FakeClock.h"
#include "InnServer.h"
#include "NntpReader.h"
#include "AppRun.h"
#include "RunUntil.h"
#include "ScriptedView.h"
#include "app/QuorvelApp.h"
#include "net/bcsNNTP.h"
#include "base/SessionLog.h"
#include "base/SettingsStore.h"
#include "groups/GroupDownload.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskList.h"
#include "upload/UploadTaskBuilder.h"

#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <QTemporaryDir>
#include <QTest>

// The whole program without its window: a group list downloaded and a file posted through the
// application object, against a real news server, driven by the idle hook as in a real run.
class TestAppSession : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void downloadThenPost();

private:
    TInnServer m_inn;
};

void TestAppSession::initTestCase()
{
    if (!TInnServer::Available())
        QSKIP(qPrintable(TInnServer::SkipReason()));
    QString error;
    QVERIFY2(m_inn.Start(&error), qPrintable(error));
}

void TestAppSession::downloadThenPost()
{
    QTemporaryDir home;
    TAppRun run(home.filePath("settings.ini"));
    TQuorvelApp& app = run.app;
    TScriptedView& view = run.view;
    run.StartShown();
    app.State().Settings.Host = m_inn.Server();
    app.State().Settings.Template = ProfileSettings().Template; // the classic subject

    view.YesNoAnswers.enqueue(true); // "This will completely overwrite your newsrc file."
    app.GroupDownload().GroupsDownloadItemClick();
    QVERIFY(RunUntil(
        [&] { return app.TaskList().IsEmpty() && view.StatusTexts.contains("Online"); }, 20000));
    QCOMPARE(view.GroupCaption.left(20), QStringLiteral("Unsubscribed Groups:"));
    int row = -1;
    for (int i = 0; i < int(app.Newsrc().UnsubList.size()); ++i)
        if (app.Newsrc().UnsubList.at(i).Name == QLatin1String("quorvel.test"))
            row = i;
    QVERIFY(row >= 0);

    const QString path = home.filePath("notes.txt");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("first line\r\n.starts with a dot\r\nlast line\r\n");
    f.close();
    view.Folder = home.path(); // the file pane shows the folder the file is in
    view.Files = {path};
    view.GroupSelection = {row};
    view.Subject = "Session test";
    // A new profile has no address yet: the post is refused, pointing at Setup.
    app.UploadTasks().PostButtonClick(view);
    QVERIFY(app.TaskList().IsEmpty());
    QVERIFY(view.Warnings.join('\n').contains("Setup"));
    view.Warnings.clear();
    view.From = "tester@quorvel.test (Session Tester)";
    app.UploadTasks().PostButtonClick(view);
    QVERIFY(view.Files.isEmpty()); // the file pane's selection is cleared
    // The upload, then the Disconnect the profile asks for.
    QVERIFY(
        RunUntil([&] { return app.TaskList().IsEmpty() && !app.TaskList().RunnerBusy(); }, 20000));
    QVERIFY(view.StatusTexts.contains("Posted OK"));
    // Posted over the posting connections and checked over one of its own: each is closed
    // when its work is through, so the Disconnect finds nothing left open.
    QVERIFY(!app.Nntp().Connected());
    QVERIFY(view.Warnings.isEmpty());

    TNntpReader reader;
    QString error;
    QVERIFY2(reader.Connect(m_inn.Port(), &error), qPrintable(error));
    QList<TNntpReader::TArticle> articles;
    QVERIFY2(reader.ReadGroup("quorvel.test", articles, &error), qPrintable(error));
    QCOMPARE(articles.size(), 1);
    QCOMPARE(articles[0].Header("Subject"), QByteArray("Session test - notes.txt (1/1) 43 Bytes"));
    QCOMPARE(articles[0].Header("From"), QByteArray("tester@quorvel.test (Session Tester)"));
    QCOMPARE(articles[0].Body,
             (QList<QByteArray>{"first line", ".starts with a dot", "last line"}));

    const QStringList log = app.SessionLog().Lines();
    QVERIFY(std::any_of(log.begin(), log.end(),
                        [](const QString& l) { return l.endsWith("   POST"); }));
    run.Close();
}

QTEST_GUILESS_MAIN(TestAppSession)
#include "tst_app_session.moc"
