// The fault matrix through the task runner: an upload, a group download or a new groups task
// at the head of a queue, the scripted server misbehaving at one phase of it. Afterwards the
// task file holds the task that failed and every task behind it, the view was told what
// failed, and no article reached the server twice. Then a server over TLS that drops the
// connection or goes silent in the middle of an article.
#include "InnServer.h"
#include "NntpFaults.h"
#include "ScriptedTaskChecks.h"
#include "UploadFixture.h"

#include "base/SettingsStore.h"
#include "groups/GroupDownload.h"
#include "groups/NewsrcStore.h"
#include "tasks/TaskFields.h"

#include <QSet>
#include <QSslCertificate>
#include <QTest>

using namespace NntpFaults;

namespace {

// The upload fixture with the group tasks wired as the program wires them, and short
// time-outs: a "second" of a task's time-out lasts 40 ms.
struct TQueueFixture : UploadFixture
{
    TNewsrcStore store{state, logger, view};
    TSettingsStore settings{state.DataFile(QStringLiteral("settings.ini"))};
    TScriptedTaskChecks checks;
    TGroupDownload download{store, list, runner, client, settings, clock, checks};

    TQueueFixture()
    {
        runner.SetHandler(tkGroupDownload, [this](TTask& t) { download.DoList(t); });
        runner.SetHandler(tkNewGroups, [this](TTask& t) { download.DoNew(t); });
        client.SetSecondLength(40);
    }

    TTask task(TTaskKind kind, const QString& server)
    {
        TTask t = kind == tkUpload ? upload(writeLines("first.txt", 3), server, 1000) : TTask{};
        if (kind == tkUpload) {
            UploadFields(t).Login = QStringLiteral("user,secret");
            UploadFields(t).LoginRequired = true;
            UploadFields(t).Batch = QStringLiteral("b1"); // as queued by Post
        } else {
            t.Kind = kind;
            const TGroupTaskFields<TTask> fields = GroupTaskFields(t);
            fields.Server = server;
            fields.UserName = QStringLiteral("user");
            fields.Password = QStringLiteral("secret");
            fields.LoginRequired = true;
            fields.NewsrcPath = state.NewsrcPath;
            if (kind == tkNewGroups)
                fields.Since = QStringLiteral("01/01/25 00:00:00");
        }
        t.Timeout = 5;
        t.PostTimeout = 5;
        return t;
    }

    // The task under test, an upload behind it and the disconnect the program queues last;
    // returns them as the saved task list shows them.
    QStringList queue(const TTask& head, const QString& server)
    {
        state.Settings.Host = server;
        list.Add(head);
        TTask behind = upload(writeLines("second.txt", 2), server, 1000);
        behind.Timeout = 5;
        behind.PostTimeout = 5;
        UploadFields(behind).Batch = QStringLiteral("b1");
        list.Add(behind);
        runner.DisconnectButtonClick();
        QStringList queued;
        for (const TTask& t : tasks())
            queued << TaskKindCaption(t.Kind) + " " + t.Text1;
        return queued;
    }

    bool runQueue()
    {
        // The queue through, and then the idle step's turns: a task wrongly run on would
        // post now.
        return NothingMoreAfter([&] { return list.IsEmpty() && !list.RunnerBusy(); });
    }

    // The saved queue run again, the server behaving: every task ends and the file goes.
    bool rerun()
    {
        view.Warnings.clear();
        return file.ReadTasks() && runQueue() && view.Warnings.isEmpty() && !file.Exists();
    }
};

// The server holds no Message-ID twice.
bool eachArticleOnce(const TFakeNntpServer& server)
{
    QSet<QString> ids;
    for (const QByteArray& raw : server.Kept()) {
        const QString id = ReceivedArticle(raw).Header("Message-ID");
        if (ids.contains(id))
            return false;
        ids.insert(id);
    }
    return true;
}

} // namespace

class TestTaskFaults : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void faults_data();
    void faults();
    void tlsServerFailsMidArticle_data();
    void tlsServerFailsMidArticle();

private:
    int m_articleLines = 0; // of the first upload, up to its final dot
    QTemporaryDir m_pki;
};

void TestTaskFaults::initTestCase()
{
    TQueueFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    f.list.Add(f.task(tkUpload, server.Server()));
    QVERIFY(f.runQueue());
    QCOMPARE(server.Articles().size(), 1);
    m_articleLines = int(server.Articles().first().count("\r\n")) + 1;
    // The test authority and the server's certificate, valid for 127.0.0.1.
    QString error;
    QVERIFY2(TInnServer::MakeTestCertificates(m_pki.path(), &error), qPrintable(error));
}

void TestTaskFaults::faults_data()
{
    AddRows({"connect", "greeting", "user", "pass", "post", "body", "dot", "240", "quit", "list",
             "newgroups"});
}

void TestTaskFaults::faults()
{
    QFETCH(QString, phase);
    QFETCH(int, fault);
    TQueueFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    QString address = server.Server();
    if (phase == "connect") {
        TFakeNntpServer gone;
        QVERIFY(gone.Start());
        address = gone.Server();
    }
    Arrange(server, phase, TFault(fault), m_articleLines);
    server.SetRefuseDuplicates(true); // as INN does: an article sent again is not kept twice
    const TTaskKind kind = phase == "list"        ? tkGroupDownload
                           : phase == "newgroups" ? tkNewGroups
                                                  : tkUpload;
    const TTask head = f.task(kind, address);
    const QStringList queued = f.queue(head, address);
    QVERIFY2(f.runQueue(), qPrintable(f.view.Warnings.join(" | ")));

    QVERIFY(eachArticleOnce(server));
    if (phase == "quit") {
        // Both uploads were done before the server misbehaved: nothing is left to do.
        QCOMPARE(server.Kept().size(), 2);
        QVERIFY(!f.file.Exists());
        QVERIFY2(f.view.Warnings.isEmpty(), qPrintable(f.view.Warnings.join(" | ")));
        return;
    }
    QCOMPARE(f.savedTasks(), queued);
    QVERIFY2(server.Kept().size() <= 1, qPrintable(f.view.Warnings.join(" | ")));
    QCOMPARE(f.view.Warnings.size(), 1);
    // What failed names the server, the fault and where the tasks are kept.
    const QString shown = f.view.Warnings.first();
    QVERIFY2(shown.contains(address), qPrintable(shown));
    QVERIFY2(shown.contains("stay in the task file " + f.file.FileName()), qPrintable(shown));
    QVERIFY2(shown.contains(FaultPhrase(phase, TFault(fault))), qPrintable(shown));
    if (phase == "connect")
        return; // the saved tasks name a port nobody listens on

    // Run again against the server, now well: what it took the first time is not posted again.
    server.SetDropOnConnect(false);
    server.SetGreeting("200 ready");
    QVERIFY2(f.rerun(), qPrintable(f.view.Warnings.join(" | ")));
    QVERIFY2(eachArticleOnce(server), server.Commands().join(" | ").constData());
    QCOMPARE(server.Kept().size(), kind == tkUpload ? 2 : 1);
}

void TestTaskFaults::tlsServerFailsMidArticle_data()
{
    QTest::addColumn<int>("fault");
    QTest::newRow("drops the connection") << int(TFault::Close);
    QTest::newRow("goes silent") << int(TFault::Silent);
}

void TestTaskFaults::tlsServerFailsMidArticle()
{
    QFETCH(int, fault);
    TQueueFixture f;
    TFakeNntpServer server;
    QVERIFY(server.UseTls(m_pki.filePath("server.pem"), m_pki.filePath("server.key")));
    QVERIFY(server.Start());
    TFakeNntpServer::TRule post;
    post.Command = "POST";
    post.Lines = {"340 go ahead"};
    post.TakesArticle = true;
    post.Once = true;
    // Well into the article, which goes out in several TLS records.
    (TFault(fault) == TFault::Close ? post.DropAfterLines : post.StallAfterLines) = 2000;
    server.Add(post);
    f.state.Settings.Security = QStringLiteral("tls");
    f.state.Settings.TrustedAuthorities = m_pki.filePath("ca.pem");
    TTask head = f.upload(f.writeRandom("photo.jpg", 300000), server.Server(), 0);
    // The stall ends with the post time-out; connecting and the handshake get longer, as a
    // loaded machine may need.
    head.Timeout = 30;
    head.PostTimeout = 5;
    const QStringList queued = f.queue(head, server.Server());
    QVERIFY2(f.runQueue(), qPrintable(f.view.Warnings.join(" | ")));

    // It went that far over TLS, the server's certificate checked.
    QVERIFY(server.ArticleLinesSoFar() >= 2000);
    const QSslCertificate shown = QSslCertificate::fromPath(m_pki.filePath("server.pem")).value(0);
    QVERIFY(!shown.isNull());
    QCOMPARE(f.client.ServerCertificate().Sha256,
             QString::fromLatin1(shown.digest(QCryptographicHash::Sha256).toHex(':').toUpper()));
    QVERIFY(server.Articles().isEmpty());
    QCOMPARE(f.savedTasks(), queued);
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains(FaultPhrase("body", TFault(fault))),
             qPrintable(f.view.Warnings.first()));

    server.OnPost();
    QVERIFY2(f.rerun(), qPrintable(f.view.Warnings.join(" | ")));
    QCOMPARE(server.Articles().size(), 2);
    QVERIFY(eachArticleOnce(server));
}

QTEST_GUILESS_MAIN(TestTaskFaults)
#include "tst_taskfaults.moc"
