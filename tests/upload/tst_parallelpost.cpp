#include "UploadFixture.h"
#include "upload/BatchAccount.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"
#include "upload/UploadTaskFields.h"
#include "tasks/TaskFields.h"

#include <QSet>
#include <QSignalSpy>
#include <QTest>

using namespace UploadTaskFields;

// A series posted over several connections at once, against the scripted server.
class TestParallelPost : public QObject
{
    Q_OBJECT
private slots:
    void partsTakenOutOfOrderAreRecordedInOrder();
    void failureOnOneConnectionStopsTheOthers_data();
    void failureOnOneConnectionStopsTheOthers();
    void serverThatLimitsConnections_data();
    void serverThatLimitsConnections();
};

namespace {

constexpr int Parts = 10;
constexpr int PartLines = 50; // yEnc: 6400 bytes a part

// The part number in a subject "... (k/N) ...".
int partOf(const QString& subject)
{
    const qsizetype open = subject.lastIndexOf('(');
    return subject.mid(open + 1, subject.indexOf('/', open) - open - 1).toInt();
}

struct Rig
{
    UploadFixture f;
    TFakeNntpServer server;
    QString path;

    explicit Rig(int connections)
    {
        f.state.Settings.Connections = qint16(connections);
        QVERIFY(server.Start());
        path = f.writeRandom("series.bin", Parts * PartLines * 128 - 100);
    }

    TTask series(const QString& batch = QStringLiteral("b1")) const
    {
        TTask t = f.upload(path, server.Server(), PartLines);
        UploadFields(t).YEnc = true;
        UploadFields(t).Batch = batch;
        return t;
    }

    bool run()
    {
        return f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); });
    }

    // How often each part is kept by the server.
    QList<int> keptParts() const
    {
        QList<int> count(Parts + 1, 0);
        for (const QByteArray& raw : server.Kept())
            ++count[partOf(ReceivedArticle(raw).Header("Subject"))];
        return count.mid(1);
    }
};

} // namespace

void TestParallelPost::partsTakenOutOfOrderAreRecordedInOrder()
{
    // The first connection's answers come late, so the others' parts are taken before its
    // own: the journal and the NZB still list the parts in order, each once. The connections
    // share the one speed limit.
    Rig r(3);
    r.f.state.Settings.SpeedLimit = 200;
    r.server.OnPost();
    r.server.SetAnswerDelay(1, 150);
    QSignalSpy accepted(&r.f.poster, &TUploadPoster::PartAccepted);
    QSignalSpy states(&r.f.list, &TTaskList::HeadStateChanged);
    QSignalSpy nzbs(&r.f.poster.Account(), &TBatchAccount::NzbWritten);
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings, QStringList());

    QCOMPARE(r.server.Connections(), 4); // and one for the check after the batch
    const QList<int> used = r.server.ArticleConnections();
    QCOMPARE(QSet<int>(used.begin(), used.end()), (QSet<int>{1, 2, 3}));
    QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
    QVERIFY(r.f.runner.SendBudget().Refusals() > 0);
    QList<qint64> order;
    for (const QList<QVariant>& signal : accepted)
        order << signal.at(1).toLongLong();
    QCOMPARE(order.size(), Parts);
    QVERIFY2(!std::is_sorted(order.begin(), order.end()), "the parts were taken in order");
    QStringList shown;
    for (const QList<QVariant>& signal : states)
        shown << signal.first().toString();
    QVERIFY2(shown.contains("running, 10 of 10 parts done"), qPrintable(shown.join('|')));

    const QList<TJournalArticle> journal = r.f.journal("b1");
    QCOMPARE(journal.size(), Parts);
    qint64 next = 1;
    for (int k = 0; k < Parts; ++k) {
        QCOMPARE(journal[k].Part, k + 1);
        QCOMPARE(journal[k].State, TArticleState::Checked);
        QCOMPARE(journal[k].Begin, next);
        next = journal[k].End + 1;
    }
    QCOMPARE(next, QFileInfo(r.path).size() + 1);

    QCOMPARE(nzbs.size(), 1);
    QFile file(nzbs.first().first().toString());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    const auto files = NzbFile::Read(file.readAll(), &error);
    QVERIFY2(files, qPrintable(error));
    QCOMPARE(files->size(), 1);
    QCOMPARE(files->first().Segments.size(), Parts);
    for (int k = 0; k < Parts; ++k) {
        QCOMPARE(files->first().Segments[k].Number, k + 1);
        QCOMPARE("<" + files->first().Segments[k].MessageId + ">", journal[k].MessageId);
    }
}

void TestParallelPost::failureOnOneConnectionStopsTheOthers_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::newRow("connection dropped mid-article") << "drop"
                                                    << "unexpectedly closed";
    QTest::newRow("article refused") << "refuse"
                                     << "posting failed";
    QTest::newRow("Abort mid-article") << "abort"
                                       << "";
    QTest::newRow("dropped, tried again") << "retry"
                                          << "";
}

void TestParallelPost::failureOnOneConnectionStopsTheOthers()
{
    // The fourth article fails (or the user aborts) while the other connections carry theirs:
    // every connection stops, the task is saved, and running it again posts what is missing,
    // each part once.
    QFETCH(QString, fault);
    QFETCH(QString, warning);
    Rig r(3);
    r.server.SetRefuseDuplicates(true);
    r.server.SetAnswerDelay(2, 100); // the second connection still waits for its answers
    r.server.OnPost({"240 article posted ok"}, true);
    r.server.OnPost({"240 article posted ok"}, true);
    r.server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule rule;
    rule.Command = "POST";
    rule.TakesArticle = true;
    rule.Once = true;
    rule.Lines = {"340 send article"};
    if (fault == "drop" || fault == "retry")
        rule.DropAfterLines = 10;
    else if (fault == "refuse")
        rule.Result = {"441 posting failed"};
    else
        rule.StallAfterLines = 10;
    r.server.Add(rule);
    connect(&r.server, &TFakeNntpServer::CommandReceived, this, [&] {
        if (fault == "abort" && r.server.Commands().count("POST") == 4)
            QTimer::singleShot(0, &r.f.runner, &TTaskRunner::Abort);
    });
    r.server.OnPost();
    if (fault == "retry") {
        r.f.state.Settings.PostRetries = 1;
        r.f.poster.Retry().SetFirstDelay(1);
    }
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    if (fault == "retry") { // the task went on after the back-off and is through
        QCOMPARE(r.f.view.Warnings, QStringList());
        QCOMPARE(r.f.savedTasks(), QStringList());
        QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
        return;
    }
    QTest::qWait(300); // a connection left going would post more now

    QCOMPARE(r.f.view.Warnings.size(), warning.isEmpty() ? 0 : 1);
    if (!warning.isEmpty())
        QVERIFY2(r.f.view.Warnings.first().contains(warning),
                 qPrintable(r.f.view.Warnings.first()));
    QCOMPARE(r.f.savedTasks(), QStringList{"Upload " + r.path});
    QVERIFY(!r.f.runner.PartInFlight());
    QVERIFY(!r.f.poster.MultiPart().Active());
    QVERIFY(r.f.poster.MultiPart().Connections().Idle());
    const qsizetype before = r.server.Articles().size();
    QVERIFY2(before < Parts, "the series went on after the failure");
    QCOMPARE(r.server.Closed(), r.server.Connections()); // none left open

    r.f.view.Warnings.clear();
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings, QStringList());
    QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
}

void TestParallelPost::serverThatLimitsConnections_data()
{
    QTest::addColumn<QByteArray>("refusal");
    QTest::newRow("502") << QByteArray("502 too many connections");
    QTest::newRow("400") << QByteArray("400 Too many connections from your host");
}

void TestParallelPost::serverThatLimitsConnections()
{
    // A server that keeps two connections open refuses the third and fourth: the series goes
    // on over the two, the refusal is logged once, and the refused ones are not tried again.
    QFETCH(QByteArray, refusal);
    Rig r(4);
    r.server.SetConnectionLimit(2, refusal);
    r.f.state.Settings.CheckAfterPost = false; // its connection would count as well
    r.server.SetAnswerDelay(1, 50);            // the first two stay busy while the others connect
    r.server.OnPost();
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings.join("|"), QString());
    QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
    const QList<int> used = r.server.ArticleConnections();
    QCOMPARE(QSet<int>(used.begin(), used.end()).size(), 2);
    QCOMPARE(r.server.Refused(), 2);
    QCOMPARE(r.f.session.Lines().filter("refused a further connection").size(), 1);
    QCOMPARE(r.f.poster.MultiPart().Connections().Allowed(), 2);

    // The next series to the same server, once it has seen the connections close, opens no
    // connection the server refused.
    QTRY_COMPARE(r.server.Closed(), r.server.Connections() - r.server.Refused());
    r.f.list.Add(r.series(QStringLiteral("b2")));
    QVERIFY(r.run());
    QCOMPARE(r.server.Refused(), 2);
    QCOMPARE(r.f.view.Warnings, QStringList());
}

QTEST_MAIN(TestParallelPost)
#include "tst_parallelpost.moc"
