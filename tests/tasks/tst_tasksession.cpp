#include "FakeNntpServer.h"
#include "RunnerFixture.h"
#include "article/NewsArticle.h"

#include <QSignalSpy>
#include <QTest>

// The runner driving the news client against the fake server: uploads, a group download
// and Disconnect tasks as the program runs them, and the ways a batch is cut short.
struct SessionFixture : RunnerFixture
{
    TFakeNntpServer server;
    TNewsArticle article;
    QSignalSpy partStopped{&runner, &TTaskRunner::PartStopped};

    SessionFixture()
    {
        state.Settings.AutoStart = true;
        client.SetArticle(&article);
        // What the posting side does: one article per upload, and the posted reply ends it.
        runner.SetHandler(tkUpload, [this](TTask& task) {
            started << task.Text1;
            article.Clear();
            article.Subject = task.Text1;
            article.Newsgroups = task.Text6;
            article.AddHeader("From: " + task.Text2);
            article.AddHeader("Subject: " + task.Text1);
            article.AddBodyLine("body of " + task.Text1);
            client.SetServer(task.Text8);
            client.SetTimeout(task.Timeout);
            client.SetPostTimeout(task.PostTimeout);
            runner.SetPartInFlight(true);
            client.PostComposed();
        });
        QObject::connect(&client, &TbcsNNTP::OnPosted, [this] {
            runner.SetPartInFlight(false);
            runner.DoNextTask();
        });
        runner.SetHandler(tkGroupDownload, [this](TTask& task) {
            started << task.Text1;
            client.SetServer(task.Text1);
            client.ListGroups();
        });
        QObject::connect(&client, &TbcsNNTP::OnGroupsDone, [this] { runner.DoNextTask(); });
    }

    bool start() { return server.Start(); }

    void queueUploads(const QStringList& names)
    {
        for (const QString& name : names) {
            TTask t = makeUpload(name);
            t.Text8 = server.Server();
            t.Timeout = 10;
            t.PostTimeout = 10;
            list.Add(t);
        }
    }
};

class TestTaskSession : public QObject
{
    Q_OBJECT
private slots:
    void uploadsThenDisconnect();
    void errorDuringSecondUpload();
    void serverClosesConnection();
    void abortWhileWaitingForServer();
};

void TestTaskSession::uploadsThenDisconnect()
{
    SessionFixture f;
    QVERIFY(f.start());
    f.server.On("LIST", {"215 list follows", "alt.one 2 1 y", "alt.two 5 1 y", "."});
    f.server.OnPost();
    f.queueUploads({"a.jpg", "b.jpg"});
    f.list.Add(makeTask(tkGroupDownload, f.server.Server()));
    f.list.Add(makeTask(tkDisconnect, f.server.Server()));
    f.view.SetActionEnabled(TViewAction::Disconnect, true);
    f.runIdleFromEventLoop();

    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && f.server.Closed() == 1; }));
    QCOMPARE(f.started, (QStringList{"a.jpg", "b.jpg", f.server.Server()}));
    QCOMPARE(f.server.Articles().size(), 2);
    QCOMPARE(f.server.Connections(), 1); // one connection serves the whole batch
    QCOMPARE(f.server.Commands(), (QList<QByteArray>{"POST", "POST", "LIST", "QUIT"}));
    QCOMPARE(f.panelCounts, (QList<int>{4, 3, 2, 1, 0}));
    QVERIFY(!f.client.Connected());

    const QString connecting = "Connecting to " + f.server.Server();
    const QString waiting = "Waiting for response from host";
    QCOMPARE(f.view.StatusTexts,
             (QStringList{connecting, waiting, "a.jpg", waiting, waiting, "b.jpg", waiting, waiting,
                          "Receiving group names", "Offline"}));
    QVERIFY(f.logged("Offline"));
    QCOMPARE(f.view.Actions.value(TViewAction::Disconnect), false);
    QVERIFY(f.view.Warnings.isEmpty());
    QVERIFY(!f.file.Exists());
    QCOMPARE(f.runner.LastClientStatus, quint8(csReceivingList));
}

void TestTaskSession::errorDuringSecondUpload()
{
    SessionFixture f;
    QVERIFY(f.start());
    f.server.OnPost({"240 article posted ok"}, true);
    f.server.On("POST", {"440 posting not allowed"});
    f.queueUploads({"a.jpg", "b.jpg", "c.jpg"});
    f.list.Add(makeTask(tkDisconnect, f.server.Server()));
    f.list.Add(makeTask(tkHangup, "Modem"));
    f.runIdleFromEventLoop();

    QVERIFY(f.runUntil([&] { return f.list.IsEmpty(); }));
    QCOMPARE(f.started, (QStringList{"a.jpg", "b.jpg"}));
    QCOMPARE(f.savedTasks(), (QStringList{"Upload b.jpg", "Upload c.jpg",
                                          "Disconnect " + f.server.Server(), "Hangup Modem"}));
    QVERIFY(f.fileBytes().startsWith("Default\r\n"));
    const QString refusal = "440 posting not allowed (" + f.server.Server() + ", POST)";
    QCOMPARE(f.view.Warnings,
             QStringList{refusal + "\nThe tasks stay in the task file " + f.file.FileName() + "."});
    QCOMPARE(f.view.StatusTexts.last(), refusal);
    QVERIFY(f.logged(refusal));
    QVERIFY(f.logged("Info: Tasks saved to " + f.file.FileName()));
    QVERIFY(!f.runner.PartInFlight());
    QCOMPARE(f.partStopped.count(), 1);
    QVERIFY(f.view.TaskNodes.isEmpty());
    QCOMPARE(f.server.Articles().size(), 1);
}

void TestTaskSession::serverClosesConnection()
{
    SessionFixture f;
    QVERIFY(f.start());
    f.server.OnDrop("POST");
    f.queueUploads({"a.jpg", "b.jpg"});
    f.view.SetActionEnabled(TViewAction::Disconnect, true);
    f.runIdleFromEventLoop();

    QVERIFY(f.runUntil([&] { return f.list.IsEmpty(); }));
    QCOMPARE(f.started, QStringList{"a.jpg"});
    QCOMPARE(f.view.Warnings,
             QStringList{"Your connection to " + f.server.Server() +
                         " was unexpectedly closed.\nAll tasks have been cancelled.\nThe "
                         "server closed it during: POST.\nThe tasks stay in the task file " +
                         f.file.FileName() + "."});
    QCOMPARE(f.savedTasks(), (QStringList{"Upload a.jpg", "Upload b.jpg"}));
    QCOMPARE(f.view.StatusTexts.last(), QStringLiteral("Offline"));
    QVERIFY(f.logged("Offline"));
    QCOMPARE(f.view.Actions.value(TViewAction::Disconnect), false);
    QVERIFY(!f.runner.PartInFlight());
    QCOMPARE(f.partStopped.count(), 1);
}

void TestTaskSession::abortWhileWaitingForServer()
{
    SessionFixture f;
    QVERIFY(f.start());
    f.server.OnStall("POST");
    f.queueUploads({"a.jpg", "b.jpg"});
    f.runIdleFromEventLoop();
    QVERIFY(f.runUntil([&] { return f.server.Commands().contains("POST"); }));
    QCOMPARE(f.started, QStringList{"a.jpg"});

    f.view.YesNoAnswers.enqueue(true);
    f.runner.AbortButtonClick();
    QVERIFY(f.list.IsEmpty());
    QCOMPARE(f.savedTasks(), (QStringList{"Upload a.jpg", "Upload b.jpg"}));
    QCOMPARE(f.view.StatusTexts.last(), QStringLiteral("Canceled"));
    QVERIFY(!f.client.Connected());
    QCOMPARE(f.partStopped.count(), 1);
    QVERIFY(f.runUntil([&] { return f.server.Closed() == 1; }));
    QCOMPARE(f.view.StatusTexts.last(), QStringLiteral("Canceled"));
    QVERIFY(f.view.Warnings.isEmpty());
    QCOMPARE(f.started, QStringList{"a.jpg"}); // nothing else started afterwards
}

QTEST_GUILESS_MAIN(TestTaskSession)
#include "tst_tasksession.moc"
