#include "UploadFixture.h"

#include "tasks/TaskFields.h"

#include <QSet>
#include <QTest>

// Failover between the profile's post servers, through the runner and the upload poster as
// the program wires them: A (the profile's own server, priority 0) fails in each way a retry
// there cannot mend and the rest of the series goes to B (priority 1); failures that pass, and
// a duplicate A has, stay on A.
class TestFailover : public QObject
{
    Q_OBJECT

private slots:
    void switchesOnlyWhenARetryCannotMend_data();
    void switchesOnlyWhenARetryCannotMend();
};

namespace {

enum class TFailure
{
    Greeting502,
    Post440,
    Article441,
    Greeting400,
    TimeOut,
    Duplicate441,
    Passing503,
};

// A takes part 1, then fails as the row says (a failing greeting fails from the start).
void script(TFakeNntpServer& a, TFailure failure)
{
    switch (failure) {
    case TFailure::Greeting502:
        a.SetGreeting("502 no permission");
        return;
    case TFailure::Greeting400:
        a.SetGreeting("400 too many connections");
        return;
    default:
        break;
    }
    a.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule lost; // part 2 kept, its answer lost with the connection
    switch (failure) {
    case TFailure::Post440:
        a.On("POST", {"440 posting not allowed"});
        break;
    case TFailure::Article441:
        a.OnPost({"441 article rejected"});
        break;
    case TFailure::TimeOut:
        a.OnStall("POST");
        break;
    case TFailure::Duplicate441:
        lost.Command = "POST";
        lost.TakesArticle = true;
        lost.Lines = {"340 send article"};
        lost.DropAfterArticle = true;
        lost.Once = true;
        a.Add(lost);
        // Not found yet when asked after the drop, so it goes again and is refused as a
        // duplicate, which STAT then finds.
        a.On("STAT*", {"430 no such article"}, true);
        a.SetRefuseDuplicates(true);
        a.OnPost();
        break;
    case TFailure::Passing503:
        a.OnPost({"503 server busy"}, true);
        a.OnPost();
        break;
    default:
        break;
    }
}

QSet<QString> idsOf(const TFakeNntpServer& server)
{
    QSet<QString> ids;
    for (const QByteArray& raw : server.Kept())
        ids << ReceivedArticle(raw).Header("Message-ID");
    return ids;
}

} // namespace

void TestFailover::switchesOnlyWhenARetryCannotMend_data()
{
    QTest::addColumn<int>("failure");
    QTest::addColumn<int>("onA");        // of the four parts
    QTest::addColumn<QString>("reason"); // in "Switched from A to B: reason"; empty: no switch
    QTest::newRow("502 at connect") << int(TFailure::Greeting502) << 0 << "502 no permission";
    QTest::newRow("440 to POST") << int(TFailure::Post440) << 1 << "440 posting not allowed";
    QTest::newRow("441 not a duplicate")
        << int(TFailure::Article441) << 1 << "441 article rejected";
    QTest::newRow("400 too many connections")
        << int(TFailure::Greeting400) << 0 << "400 too many connections";
    QTest::newRow("time-out") << int(TFailure::TimeOut) << 1 << "Timeout while waiting";
    QTest::newRow("441 duplicate A has") << int(TFailure::Duplicate441) << 4 << "";
    QTest::newRow("passing 503") << int(TFailure::Passing503) << 4 << "";
}

void TestFailover::switchesOnlyWhenARetryCannotMend()
{
    QFETCH(int, failure);
    QFETCH(int, onA);
    QFETCH(QString, reason);
    UploadFixture f;
    f.state.Settings.CheckAfterPost = false;
    f.state.Settings.PostRetries = 1;
    f.poster.Retry().SetFirstDelay(1);
    TFakeNntpServer a, b;
    QVERIFY(a.Start() && b.Start());
    script(a, TFailure(failure));
    b.OnPost();
    f.state.Settings.Host = a.Server();
    TServerEntry backup;
    backup.Name = "backup";
    backup.Host = "127.0.0.1";
    backup.Port = b.Port();
    backup.Priority = 1;
    f.state.Settings.FurtherServers = {backup};
    TTask t = f.upload(f.writeLines("big.txt", 4000), a.Server(), 1000);
    t.Timeout = 1;
    t.PostTimeout = 1;
    UploadFields(t).Batch = "f1";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty(); }));

    const QString switched = QString("Switched from %1 to backup: ").arg(a.Server());
    const QStringList said = f.session.Lines().filter("Switched from");
    if (TFailure(failure) == TFailure::Duplicate441)
        QVERIFY(!f.session.Lines().filter("Taken before: ").isEmpty());
    if (reason.isEmpty()) {
        QCOMPARE(said, QStringList());
        QCOMPARE(b.Connections(), 0);
    } else {
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(switched) && said[0].contains(reason), qPrintable(said[0]));
        QVERIFY(f.view.Warnings.filter(switched).size() == 1);
    }
    QCOMPARE(f.savedTasks(), QStringList());
    // Every part is on A or B, once; the journal says which took it.
    QCOMPARE(a.Kept().size(), onA);
    QCOMPARE(b.Kept().size(), 4 - onA);
    QCOMPARE(idsOf(a).size() + idsOf(b).size(), 4);
    QVERIFY(!idsOf(a).intersects(idsOf(b)));
    const QList<TJournalArticle> journal = f.journal("f1");
    QCOMPARE(journal.size(), 4);
    for (const TJournalArticle& j : journal) {
        QCOMPARE(j.State, TArticleState::Accepted);
        QCOMPARE(j.Server, idsOf(a).contains(j.MessageId) ? a.Server() : backup.Address());
    }
}

QTEST_GUILESS_MAIN(TestFailover)
#include "tst_failover.moc"
