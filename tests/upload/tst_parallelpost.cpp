#include "UploadFixture.h"
#include "upload/BatchAccount.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"
#include "upload/UploadTaskFields.h"
#include "tasks/TaskFields.h"

#include <QRegularExpression>
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
    void refusedAsDuplicateWhenSentAgain_data();
    void refusedAsDuplicateWhenSentAgain();
    void filesOfABatchGoAhead_data();
    void filesOfABatchGoAhead();
    void moreFilesGoAheadThanConnections();
    void failureWhileFilesGoAhead_data();
    void failureWhileFilesGoAhead();
    void retryGoesByTheFailingConnection_data();
    void retryGoesByTheFailingConnection();
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

// The first NZB file written, read back; none when none was, or unreadable.
QList<TNzbFile> writtenNzb(const QSignalSpy& nzbs)
{
    if (nzbs.isEmpty())
        return {};
    QFile file(nzbs.first().first().toString());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString error;
    return NzbFile::Read(file.readAll(), &error).value_or(QList<TNzbFile>{});
}

struct Rig
{
    UploadFixture f;
    TFakeNntpServer server;
    QString path;
    int maxLines = PartLines;

    explicit Rig(int connections)
    {
        f.state.Settings.Connections = qint16(connections);
        QVERIFY(server.Start());
        path = f.writeRandom("series.bin", Parts * PartLines * 128 - 100);
    }

    TTask series(const QString& batch = QStringLiteral("b1")) const { return upload(path, batch); }

    TTask upload(const QString& file, const QString& batch = QStringLiteral("b1")) const
    {
        TTask t = f.upload(file, server.Server(), maxLines);
        UploadFields(t).YEnc = true;
        UploadFields(t).Batch = batch;
        return t;
    }

    bool run()
    {
        return f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); });
    }

    // The server takes good articles, then fails the next as fault says: "drop" (or "retry")
    // the connection mid-article, "refuse" it, or stall mid-article; then takes every article.
    void failAfter(int good, const QString& fault)
    {
        for (int k = 0; k < good; ++k)
            server.OnPost({"240 article posted ok"}, true);
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
        server.Add(rule);
        server.OnPost();
    }

    // A batch of six files of one article each, with the series fourth.
    QStringList queueBatch()
    {
        QStringList paths;
        for (int k = 1; k <= 6; ++k)
            paths << f.writeRandom(QStringLiteral("small%1.bin").arg(k), 3000, quint32(k));
        paths.insert(3, path);
        for (const QString& file : paths)
            f.list.Add(upload(file));
        return paths;
    }

    // How often the server kept each article, by subject.
    QList<int> keptArticles() const
    {
        QHash<QString, int> count;
        for (const QByteArray& raw : server.Kept())
            ++count[ReceivedArticle(raw).Header("Subject")];
        return count.values();
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

    const QList<TNzbFile> files = writtenNzb(nzbs);
    QCOMPARE(files.size(), 1);
    QCOMPARE(files.first().Segments.size(), Parts);
    for (int k = 0; k < Parts; ++k) {
        QCOMPARE(files.first().Segments[k].Number, k + 1);
        QCOMPARE("<" + files.first().Segments[k].MessageId + ">", journal[k].MessageId);
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
    r.failAfter(3, fault);
    connect(&r.server, &TFakeNntpServer::CommandReceived, this, [&] {
        if (fault == "abort" && r.server.Commands().count("POST") == 4)
            QTimer::singleShot(0, &r.f.runner, &TTaskRunner::Abort);
    });
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
    // A connection left going would post more now.
    QVERIFY(NothingMoreAfter([&] { return r.server.Connections() == r.server.Closed(); }));

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

void TestParallelPost::filesOfABatchGoAhead_data()
{
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("articles");
    QTest::newRow("in parts") << PartLines << 6 + Parts;
    QTest::newRow("each file whole") << 0 << 7;
}

void TestParallelPost::filesOfABatchGoAhead()
{
    // The first connection answers late: while it holds the head's article, the files
    // behind it go over the other connections, so that all four carry articles. Each task
    // still ends in its turn, and the journal and the NZB list the files in the queue's order
    // with their parts in order.
    QFETCH(int, maxLines);
    QFETCH(int, articles);
    Rig r(4);
    r.maxLines = maxLines;
    r.server.SetAnswerDelay(1, 100);
    r.server.OnPost();
    QSignalSpy done(&r.f.poster, &TUploadPoster::FileDone);
    QSignalSpy nzbs(&r.f.poster.Account(), &TBatchAccount::NzbWritten);
    QSignalSpy states(&r.f.list, &TTaskList::StateChanged);
    const QStringList paths = r.queueBatch();
    // A file of another batch goes after them, on its own: when the batch's last file ends
    // the bytes done are the batch's, parts taken behind the head counted once.
    const QString other = r.f.writeRandom("other.bin", 5000, 99);
    r.f.list.Add(r.upload(other, QStringLiteral("b2")));
    qint64 shown = 0;
    qint64 doneWithBatch = -1;
    connect(&r.f.poster, &TUploadPoster::BatchProgressChanged, this,
            [&](const TBatchProgressState& state) { shown = state.Done; });
    connect(&r.f.poster, &TUploadPoster::FileDone, this, [&](const QString& path) {
        if (path == paths.last())
            doneWithBatch = shown;
    });
    QVERIFY(r.run());
    qint64 size = 0;
    for (const QString& path : paths)
        size += QFileInfo(path).size();
    QCOMPARE(doneWithBatch, size);
    QCOMPARE(shown, size + 5000);
    QCOMPARE(r.f.view.Warnings, QStringList());

    // The three files before the series went over three connections at once.
    QSet<int> first;
    for (qsizetype k = 0; k < r.server.Articles().size(); ++k) {
        const QString subject = ReceivedArticle(r.server.Articles()[k]).Header("Subject");
        if (subject.contains(QRegularExpression("small[123]")))
            first << r.server.ArticleConnections()[k];
    }
    QCOMPARE(first.size(), 3);
    // The list showed the second file taken while it was behind the head.
    QVERIFY(states.contains(QList<QVariant>{1, "running ahead, 1 of 1 parts done"}));
    QCOMPARE(r.keptArticles(), QList<int>(articles + 1, 1)); // and the other batch's
    QStringList ended;
    for (const QList<QVariant>& signal : done)
        ended << signal.first().toString();
    QCOMPARE(ended, paths + QStringList{other});

    QStringList journalFiles;
    for (const TJournalArticle& a : r.f.journal("b1")) {
        QCOMPARE(a.State, TArticleState::Checked);
        if (journalFiles.isEmpty() || journalFiles.last() != a.File)
            journalFiles << a.File;
    }
    QCOMPARE(journalFiles, paths);
    QCOMPARE(nzbs.size(), 2);
    const QList<TNzbFile> files = writtenNzb(nzbs);
    QCOMPARE(files.size(), paths.size());
    for (qsizetype k = 0; k < paths.size(); ++k) {
        QVERIFY2(files.at(k).Subject.contains(QFileInfo(paths[k]).fileName()),
                 qPrintable(files.at(k).Subject));
        const QList<TNzbSegment>& segments = files.at(k).Segments;
        for (qsizetype n = 0; n < segments.size(); ++n)
            QCOMPARE(segments[n].Number, n + 1);
    }
}

void TestParallelPost::moreFilesGoAheadThanConnections()
{
    // While the head's answer is held on the first connection, every file behind it goes over
    // the second, not only as many as there are connections: a file sent ahead no longer holds
    // a connection while it waits for its turn.
    Rig r(2);
    r.maxLines = 0;
    r.server.SetAnswerDelay(1, 1000);
    r.server.OnPost();
    QSignalSpy states(&r.f.list, &TTaskList::StateChanged);
    QStringList paths;
    for (int k = 1; k <= 6; ++k) {
        paths << r.f.writeRandom(QStringLiteral("small%1.bin").arg(k), 3000, quint32(k));
        r.f.list.Add(r.upload(paths.last()));
    }
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings, QStringList());
    QSet<int> ahead;
    for (const QList<QVariant>& state : states)
        if (state.at(1) == QStringLiteral("running ahead, 1 of 1 parts done"))
            ahead << state.at(0).toInt();
    QCOMPARE(ahead, (QSet<int>{1, 2, 3, 4, 5}));
    QCOMPARE(r.keptArticles(), QList<int>(6, 1));
}

void TestParallelPost::failureWhileFilesGoAhead_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<int>("saved"); // files left in the saved queue
    // The third file's article, sent ahead while the head waits for its answer.
    QTest::newRow("connection dropped") << "drop"
                                        << "unexpectedly closed" << 7;
    QTest::newRow("article refused") << "refuse"
                                     << "posting failed" << 5;
}

void TestParallelPost::failureWhileFilesGoAhead()
{
    // A dropped connection stops everything at once and saves the whole queue; a refusal of
    // a file sent ahead is that file's, reported when its turn comes. Running the saved queue
    // again posts what is missing, each article once.
    QFETCH(QString, fault);
    QFETCH(QString, warning);
    QFETCH(int, saved);
    Rig r(3);
    r.server.SetRefuseDuplicates(true);
    r.server.SetAnswerDelay(1, 150);
    r.failAfter(2, fault);
    const QStringList paths = r.queueBatch();
    QVERIFY(r.run());
    // A connection left going would post more now.
    QVERIFY(NothingMoreAfter([&] { return r.server.Connections() == r.server.Closed(); }));

    QCOMPARE(r.f.view.Warnings.size(), 1);
    QVERIFY2(r.f.view.Warnings.first().contains(warning), qPrintable(r.f.view.Warnings.first()));
    QStringList left;
    for (const QString& path : paths.mid(paths.size() - saved))
        left << "Upload " + path;
    QCOMPARE(r.f.savedTasks(), left);
    QVERIFY(!r.f.runner.PartInFlight());
    QCOMPARE(r.f.poster.MultiPart().AheadCount(), 0);
    QVERIFY(r.f.poster.MultiPart().Connections().Idle());

    r.f.view.Warnings.clear();
    for (const QString& path : paths.mid(paths.size() - saved))
        r.f.list.Add(r.upload(path));
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings, QStringList());
    QCOMPARE(r.keptArticles(), QList<int>(6 + Parts, 1));
}

void TestParallelPost::refusedAsDuplicateWhenSentAgain_data()
{
    QTest::addColumn<bool>("kept"); // the server kept the article whose answer was lost
    QTest::newRow("the server has it") << true;
    QTest::newRow("the server does not have it") << false;
}

void TestParallelPost::refusedAsDuplicateWhenSentAgain()
{
    // The connection drops with the last article: it goes again with the Message-ID it had
    // and is refused as a duplicate. STAT settles it: found, it is taken; not found, the
    // queue is saved and it goes under a new Message-ID the next time. Each part is kept
    // once.
    QFETCH(bool, kept);
    Rig r(3);
    for (int k = 1; k < Parts; ++k)
        r.server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule lost;
    lost.Command = "POST";
    lost.TakesArticle = true;
    lost.Once = true;
    lost.Lines = {"340 send article"};
    if (kept)
        lost.DropAfterArticle = true;
    else
        lost.DropAfterLines = 10;
    r.server.Add(lost);
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings.size(), 1);
    r.f.view.Warnings.clear();

    if (kept) {
        r.server.On("STAT *", {"430 no such article"}, true); // a server slow to index it
        r.server.SetRefuseDuplicates(true);
    } else {
        r.server.OnPost({"441 435 Duplicate"}, true);
    }
    r.server.OnPost();
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    if (kept) {
        QCOMPARE(r.f.view.Warnings, QStringList());
        QCOMPARE(r.f.session.Lines().filter("Taken before: ").size(), 1);
    } else {
        QCOMPARE(r.f.view.Warnings.size(), 1);
        QVERIFY2(r.f.view.Warnings.first().contains("(and the server does not have it)"),
                 qPrintable(r.f.view.Warnings.first()));
        QCOMPARE(r.f.savedTasks().last(), "Upload " + r.path); // after the first run's
        r.f.view.Warnings.clear();
        r.f.list.Add(r.series());
        QVERIFY(r.run());
        QCOMPARE(r.f.view.Warnings, QStringList());
    }
    QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
    const QList<TJournalArticle> journal = r.f.journal("b1");
    QCOMPARE(journal.size(), Parts);
    for (const TJournalArticle& a : journal)
        QCOMPARE(a.State, TArticleState::Checked);
}

void TestParallelPost::retryGoesByTheFailingConnection_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("retried");
    // The part sent before is asked for first, over the main connection: STAT answers 430.
    QTest::newRow("dropped after a STAT answered 430") << "drop" << true;
    QTest::newRow("481 on a posting connection") << "481" << false;
}

void TestParallelPost::retryGoesByTheFailingConnection()
{
    // Whether a failure on a posting connection may pass is told by that connection's own
    // reply, not by what the main connection last heard.
    QFETCH(QString, fault);
    QFETCH(bool, retried);
    Rig r(3);
    r.f.state.Settings.PostRetries = 1;
    r.f.poster.Retry().SetFirstDelay(1);
    TTask task = r.series();
    if (fault == "drop") {
        TUploadJournal journal;
        QString error;
        QVERIFY(QDir().mkpath(r.f.state.DataFile("journals")));
        QVERIFY2(journal.Open(r.f.state.DataFile("journals/b1.journal"), &error),
                 qPrintable(error));
        QVERIFY(journal.Record({r.path,
                                1,
                                Parts,
                                1,
                                10,
                                10,
                                "<lost@x>",
                                TArticleState::Sent,
                                "s",
                                {"alt.test"},
                                "me",
                                1,
                                QString()},
                               &error));
        r.failAfter(3, "drop");
    } else {
        UploadFields(task).Login = QStringLiteral("user,secret");
        UploadFields(task).LoginRequired = true;
        r.server.On("POST", {"480 authentication required"});
        r.server.On("AUTHINFO USER user", {"381 more"});
        r.server.On("AUTHINFO PASS secret", {"481 wrong password"});
    }
    r.f.list.Add(task);
    QVERIFY(r.run());
    QCOMPARE(r.f.session.Lines().filter("trying again").size(), retried ? 1 : 0);
    if (retried) {
        QCOMPARE(r.f.view.Warnings, QStringList());
        QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
    } else {
        QCOMPARE(r.f.view.Warnings.size(), 1);
        QVERIFY2(r.f.view.Warnings.first().contains("wrong password"),
                 qPrintable(r.f.view.Warnings.first()));
    }
}

QTEST_MAIN(TestParallelPost)
#include "tst_parallelpost.moc"
