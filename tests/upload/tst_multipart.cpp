#include "SmallDisk.h"
#include "UploadFixture.h"
#include "base/ServerEntry.h"
#include "tasks/TaskFields.h"
#include "upload/BatchAccount.h"
#include "upload/MultiPartPoster.h"
#include "upload/NzbFile.h"
#include "upload/PostRetry.h"
#include "upload/UploadJournal.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

// Posting upload tasks against the scripted news server: how a file is cut into articles,
// what each article carries, and how a refusal, a lost connection or a vanished file ends
// the task without losing the queue.
class TestMultiPart : public QObject
{
    Q_OBJECT
private slots:
    void splitting_data();
    void splitting();
    void binarySeriesIsTheWholeFileEncoding();
    void textSeriesKeepsItsBytes();
    void headerOrder_data();
    void headerOrder();
    void batchJournalAndNzb();
    void journalRangesCoverTheFile_data();
    void journalRangesCoverTheFile();
    void lostAnswerRepostsWithTheSameId();
    void lostAnswerOfOneArticleIsAskedForFirst();
    void checkFindsWhatTheServerLost_data();
    void checkFindsWhatTheServerLost();
    void checksGoBesidePosting_data();
    void checksGoBesidePosting();
    void lostArticleOfAnEarlierUploadGoesAgain_data();
    void lostArticleOfAnEarlierUploadGoesAgain();
    void fileChangedSinceItsUploadStopped_data();
    void fileChangedSinceItsUploadStopped();
    void journalOnAFullDiskIsTold();
    void passingFailuresAreTriedAgain();
    void failuresARetryCannotMendStop_data();
    void failuresARetryCannotMendStop();
    void includeTextOpensSignatureClosesTheSeries();
    void refusedPartStopsSeriesAndSavesQueue();
    void droppedConnectionStopsSeries();
    void abortDuringSeries();
    void missingFile_data();
    void missingFile();
    void yencPartsHaveALimit();
    void fileShrinksDuringSeries_data();
    void fileShrinksDuringSeries();
    void loginFromTask();
    void savedTaskTakesCorrectedPassword();
    void signatureOnlyWhenTaskHasOne();
    void includeTextDialog_data();
    void includeTextDialog();
};

void TestMultiPart::splitting_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QList<int>>("bodies");
    QTest::newRow("999 of 1000: one article") << 999 << 1000 << QList<int>{999};
    QTest::newRow("exactly 1000: one part") << 1000 << 1000 << QList<int>{1000};
    QTest::newRow("2500: three parts") << 2500 << 1000 << QList<int>{1000, 1000, 500};
    QTest::newRow("1001: a one-line last part") << 1001 << 1000 << QList<int>{1000, 1};
    QTest::newRow("MaxLines 0: any size is one article") << 5000 << 0 << QList<int>{5000};
}

void TestMultiPart::splitting()
{
    QFETCH(int, lines);
    QFETCH(int, maxLines);
    QFETCH(QList<int>, bodies);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.writeLines("Notes.txt", lines);
    const qint64 size = QFileInfo(path).size();
    f.list.Add(f.upload(path, server.Server(), maxLines));
    QSignalSpy states(&f.list, &TTaskList::HeadStateChanged);

    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Articles().size(), bodies.size());
    // The task list follows the series: running, then each part as it is composed.
    QStringList expectedStates{"running"};
    for (int k = 1; bodies.size() > 1 && k <= bodies.size(); ++k)
        expectedStates << QStringLiteral("running, part %1 of %2").arg(k).arg(bodies.size());
    QStringList seenStates;
    for (const QList<QVariant>& state : std::as_const(states))
        seenStates << state.at(0).toString();
    QCOMPARE(seenStates, expectedStates);
    QStringList all;
    for (int k = 0; k < bodies.size(); ++k) {
        const ReceivedArticle a(server.Articles()[k]);
        QCOMPARE(a.Header("Subject"), QStringLiteral("Pics - Notes.txt (%1/%2) %3 Bytes")
                                          .arg(k + 1)
                                          .arg(bodies.size())
                                          .arg(size));
        QCOMPARE(a.Body.size(), bodies[k]);
        all += a.Body;
    }
    // Every line exactly once, in order, unencoded.
    QCOMPARE(all.size(), lines);
    QCOMPARE(all.first(), QStringLiteral("line 1"));
    QCOMPARE(all.last(), QStringLiteral("line %1").arg(lines));
    QCOMPARE(server.Connections(), 1);
    QCOMPARE(f.view.StatusTexts.last(), QStringLiteral("Posted OK"));
    QVERIFY(f.view.Progress.contains(100));
    QCOMPARE(f.view.Progress.last(), 0);
    // Abort can be clicked from the first part to the last: it goes off once, at the end.
    QCOMPARE(f.view.AbortStates.count(false), 1);
    QCOMPARE(f.view.AbortStates.last(), false);
    QVERIFY(f.view.Warnings.isEmpty());
    QVERIFY(!f.runner.PartInFlight());
    QVERIFY(!f.file.Exists());
}

void TestMultiPart::binarySeriesIsTheWholeFileEncoding()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.writeRandom("photo.jpg", 45 * 1234 + 14); // last line starts "."
    f.list.Add(f.upload(path, server.Server(), 300));
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    TNewsArticle whole;
    whole.EncodeFile(path, TNewsArticle::TempFileName());
    const qint64 parts = (whole.BodyLines.size() + 299) / 300;
    QCOMPARE(server.Articles().size(), parts);
    QStringList joined;
    for (const QByteArray& raw : server.Articles())
        joined += ReceivedArticle(raw).Body;
    QCOMPARE(joined, whole.BodyLines);
    QVERIFY(joined.contains(whole.BodyLines.at(whole.BodyLines.size() - 3)));
    QVERIFY(whole.BodyLines.at(whole.BodyLines.size() - 3).startsWith(".."));

    // The encoded lines go out in blocks, yet progress still climbs one per cent at a time
    // through a part of 300 lines, and returns to 0 between parts.
    QList<QList<int>> perPart;
    int previous = 0;
    for (int percent : f.view.Progress) {
        if (percent != 0 && previous == 0)
            perPart.append(QList<int>());
        if (percent != 0)
            perPart.last() << percent;
        previous = percent;
    }
    QCOMPARE(f.view.Progress.last(), 0);
    QCOMPARE(perPart.size(), parts);
    QList<int> everyPercent;
    for (int i = 1; i <= 100; ++i)
        everyPercent << i;
    for (qsizetype k = 0; k + 1 < parts; ++k)
        QCOMPARE(perPart[k], everyPercent);
    QVERIFY(std::is_sorted(perPart.last().begin(), perPart.last().end()));
    QCOMPARE(perPart.last().last(), 100);
}

void TestMultiPart::textSeriesKeepsItsBytes()
{
    // Latin-1 and UTF-8 lines side by side, lines starting with ".", trailing blanks; parts
    // of about 100 KB, so each goes out in several writes.
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    QByteArray file;
    QByteArrayList expected;
    for (int i = 1; i <= 2500; ++i) {
        const QByteArray number = QByteArray::number(i);
        const QByteArray line = i % 7 == 0   ? "." + number + " dotted"
                                : i % 3 == 0 ? "caf\xE9 " + number + QByteArray(60, 'x')
                                : i % 3 == 1 ? "caf\xC3\xA9 " + number + QByteArray(60, 'y')
                                             : number;
        file += line + (i % 5 == 0 ? " \t\r\n" : "\r\n");
        expected << (line.startsWith('.') ? "." + line : line);
    }
    const QString path = f.write("Latin.txt", file);
    f.list.Add(f.upload(path, server.Server(), 1000));
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QCOMPARE(server.Articles().size(), 3);
    QByteArrayList body;
    for (const QByteArray& raw : server.Articles()) {
        const qsizetype start = raw.indexOf("\r\n\r\n");
        QVERIFY(start > 0);
        body += raw.mid(start + 4).split('\n');
    }
    for (QByteArray& line : body)
        if (line.endsWith('\r'))
            line.chop(1);
    QCOMPARE(body, expected);
    QVERIFY(f.view.Warnings.isEmpty());
}

void TestMultiPart::headerOrder_data()
{
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("headers");
    const QString subject = "Subject: Pics - a.txt (1/1) 6 Bytes";
    const QString from = "From: me@example.com (Me)";
    QTest::newRow("one article composed by the client")
        << 0
        << QStringList{"Reply-To: back@example.com", "Organization: Quorvel Tests", from, subject,
                       "Newsgroups: alt.one,alt.two"};
    QTest::newRow("parts built here")
        << 10
        << QStringList{subject, from, "Reply-To: back@example.com", "Organization: Quorvel Tests",
                       "Newsgroups: alt.one,alt.two"};
}

void TestMultiPart::headerOrder()
{
    QFETCH(int, maxLines);
    QFETCH(QStringList, headers);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TTask t = f.upload(f.write("a.txt", "hello\n"), server.Server(), maxLines, "alt.one,alt.two");
    t.Text3 = "back@example.com";
    t.Text4 = "Quorvel Tests";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Articles().size(), 1);
    QStringList received = ReceivedArticle(server.Articles()[0]).Headers;
    const qsizetype id = received.indexOf(QRegularExpression("^Message-ID: .*"));
    QVERIFY(id >= 0);
    QVERIFY2(QRegularExpression("^Message-ID: <[a-z2-7]{26}@quorvel\\.invalid>$")
                 .match(received.takeAt(id))
                 .hasMatch(),
             qPrintable(server.Articles()[0]));
    QCOMPARE(received, headers);
}

namespace {

QStringList messageIds(const TFakeNntpServer& server)
{
    QStringList ids;
    for (const QByteArray& raw : server.Articles())
        ids << ReceivedArticle(raw).Header("Message-ID");
    return ids;
}

} // namespace

void TestMultiPart::batchJournalAndNzb()
{
    // A yEnc series and a text article queued in one batch: every article goes with an id
    // of the profile's domain, the journal records each as taken, and the NZB file comes
    // once, when the batch's last upload is through.
    UploadFixture f;
    f.state.Settings.MessageIdDomain = "posts.example";
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    QSignalSpy nzbs(&f.poster.Account(), &TBatchAccount::NzbWritten);
    const QString binary = f.writeRandom("a.bin", 300000);
    TTask series = f.upload(binary, server.Server(), 1000, "alt.one,alt.two");
    UploadFields(series).YEnc = true;
    UploadFields(series).Batch = "b1";
    TTask text = f.upload(f.writeLines("notes.txt", 3), server.Server(), 0);
    UploadFields(text).Batch = "b1";
    f.list.Add(series);
    f.list.Add(text);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));

    const QStringList ids = messageIds(server);
    QCOMPARE(ids.size(), 4); // 300000 bytes in parts of 128000
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 4);
    for (const QString& id : ids)
        QVERIFY2(id.endsWith("@posts.example>"), qPrintable(id));
    const QList<TJournalArticle> journal = f.journal("b1");
    QCOMPARE(journal.size(), 4);
    qint64 next = 1;
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(journal[i].MessageId, ids[i]);
        QCOMPARE(journal[i].State, TArticleState::Checked); // and found afterwards
        if (i < 3) { // the series' parts cover the file, in order
            QCOMPARE(journal[i].Begin, next);
            next = journal[i].End + 1;
        }
    }
    QCOMPARE(next, 300001);

    QCOMPARE(nzbs.size(), 1);
    const QString nzb = nzbs.first().first().toString();
    QCOMPARE(nzb, f.state.DataFile("nzb/Pics.nzb"));
    QProcess xmllint;
    xmllint.start("xmllint",
                  {"--noout", "--dtdvalid",
                   QString(QUORVEL_SOURCE_DIR_DEFAULT) + "/tests/data/nzb-1.1.dtd", nzb});
    QVERIFY(xmllint.waitForFinished());
    QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());
    QFile file(nzb);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    const auto files = NzbFile::Read(file.readAll(), &error);
    QVERIFY2(files, qPrintable(error));
    QCOMPARE(files->size(), 2);
    QCOMPARE(files->at(0).Groups, (QStringList{"alt.one", "alt.two"}));
    QCOMPARE(files->at(0).Segments.size(), 3);
    QCOMPARE("<" + files->at(0).Segments[2].MessageId + ">", ids[2]);
    QCOMPARE("<" + files->at(1).Segments[0].MessageId + ">", ids[3]);
}

void TestMultiPart::journalRangesCoverTheFile_data()
{
    QTest::addColumn<bool>("binary");
    QTest::newRow("uuencoded") << true;
    QTest::newRow("text") << false;
}

void TestMultiPart::journalRangesCoverTheFile()
{
    // The parts of a uuencoded or a text series carry the file's bytes one after another:
    // the journal says which, from the first byte to the last.
    QFETCH(bool, binary);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = binary ? f.writeRandom("a.bin", 100000) : f.writeLines("a.txt", 2500);
    TTask t = f.upload(path, server.Server(), 1000);
    UploadFields(t).Batch = "b6";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    const QList<TJournalArticle> journal = f.journal("b6");
    QCOMPARE(journal.size(), 3);
    qint64 next = 1;
    for (const TJournalArticle& a : journal) {
        QCOMPARE(a.Begin, next);
        QVERIFY(a.End >= a.Begin);
        next = a.End + 1;
    }
    QCOMPARE(next, QFileInfo(path).size() + 1);
}

void TestMultiPart::lostAnswerRepostsWithTheSameId()
{
    // The connection drops after the server has stored part 2 but before its 240: the task
    // is kept, and when it runs again part 1 is not sent again, and part 2 is first asked
    // for. Here the server's STAT does not find it at first, so it goes again with the id it
    // had, is refused as a duplicate, found by STAT this time and counted as taken. No NZB
    // file until the batch is through.
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule lost;
    lost.Command = "POST";
    lost.TakesArticle = true;
    lost.Lines = {"340 send article"};
    lost.DropAfterArticle = true;
    lost.Once = true;
    server.Add(lost);
    QSignalSpy nzbs(&f.poster.Account(), &TBatchAccount::NzbWritten);
    TTask t = f.upload(f.writeLines("big.txt", 2500), server.Server(), 1000);
    UploadFields(t).Batch = "b2";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    QCOMPARE(server.Articles().size(), 2);
    QCOMPARE(nzbs.size(), 0);
    const QStringList first = messageIds(server);

    server.On("STAT *", {"430 no such article"}, true);
    server.OnPost({"441 435 Duplicate"}, true);
    server.OnPost();
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    QCOMPARE(f.view.Warnings.size(), 1); // the lost connection only
    const QStringList all = messageIds(server);
    QCOMPARE(all.size(), 4);
    QCOMPARE(all[2], first[1]);
    const QByteArray stat = "STAT " + first[1].toUtf8();
    const QList<QByteArray>& commands = server.Commands();
    QVERIFY(commands.indexOf(stat) < commands.lastIndexOf("POST"));
    QCOMPARE(commands.count(stat), 3); // before it went again, after its refusal, the check
    QCOMPARE(nzbs.size(), 1);
    const QList<TJournalArticle> journal = f.journal("b2");
    QCOMPARE(journal.size(), 3);
    QCOMPARE(journal[1].MessageId, first[1]);
    for (const TJournalArticle& a : journal)
        QCOMPARE(a.State, TArticleState::Checked);
}

void TestMultiPart::lostAnswerOfOneArticleIsAskedForFirst()
{
    // A file posted whole, stored by the server, whose 240 was lost with the connection: the
    // task runs again, asks for it with STAT, finds it and ends well without posting it twice.
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    TFakeNntpServer::TRule lost;
    lost.Command = "POST";
    lost.TakesArticle = true;
    lost.Lines = {"340 send article"};
    lost.DropAfterArticle = true;
    lost.Once = true;
    server.Add(lost);
    server.OnPost();
    TTask t = f.upload(f.writeLines("notes.txt", 20), server.Server(), 0);
    UploadFields(t).Batch = "b7";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Articles().size(), 1);
    f.view.Warnings.clear();

    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    QCOMPARE(f.view.Warnings, QStringList());
    QCOMPARE(server.Articles().size(), 1);
    QCOMPARE(server.Commands().count("POST"), 1);
    QVERIFY(f.logged("Posted before: " + UploadFields(t).Path));
    QCOMPARE(f.journal("b7").first().State, TArticleState::Checked);
}

void TestMultiPart::passingFailuresAreTriedAgain()
{
    // With retries allowed, a 436, a connection dropped in the middle of a part and a 503
    // each stop the series only for a back-off: the task is tried again and goes on from the
    // part that failed (the one cut off is asked for first, and goes with the same id), and
    // every part ends on the server once. Nothing is shown as an error, nothing saved.
    UploadFixture f;
    f.state.Settings.PostRetries = 2;
    f.poster.Retry().SetFirstDelay(1);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    server.OnPost({"436 transfer failed, try again later"}, true);
    server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule cut;
    cut.Command = "POST";
    cut.TakesArticle = true;
    cut.Lines = {"340 send article"};
    cut.DropAfterLines = 3;
    cut.Once = true;
    server.Add(cut);
    server.OnPost({"503 server busy"}, true);
    server.OnPost();
    TTask t = f.upload(f.writeLines("big.txt", 4000), server.Server(), 1000);
    UploadFields(t).Batch = "b5";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));

    QCOMPARE(f.view.Warnings, QStringList());
    QCOMPARE(f.savedTasks(), QStringList());
    QCOMPARE(f.session.Lines().filter("trying again in").size(), 3);
    const QStringList ids = messageIds(server); // whole articles received, refused ones too
    QCOMPARE(ids.size(), 6);
    QCOMPARE(ids[1], ids[2]); // part 2 after the 436
    QCOMPARE(ids[3], ids[4]); // part 3 after the cut and the 503
    const QList<TJournalArticle> journal = f.journal("b5");
    QCOMPARE(journal.size(), 4);
    for (const TJournalArticle& a : journal)
        QCOMPARE(a.State, TArticleState::Checked);

    // The back-off doubles, spread by up to a fifth either way, and stops at a minute.
    QCOMPARE(TPostRetry::Delay(1, 0, 2000), 2000);
    QCOMPARE(TPostRetry::Delay(3, 0, 2000), 8000);
    QCOMPARE(TPostRetry::Delay(2, 1, 2000), 4800);
    QCOMPARE(TPostRetry::Delay(2, -1, 2000), 3200);
    QCOMPARE(TPostRetry::Delay(30, 1, 2000), 60000);
}

void TestMultiPart::failuresARetryCannotMendStop_data()
{
    QTest::addColumn<QList<QByteArray>>("answers");
    QTest::addColumn<int>("posts");
    QTest::addColumn<QString>("cause"); // the failure the retries began with
    QTest::newRow("441 too big") << QList<QByteArray>{"441 article too big"} << 1 << "";
    QTest::newRow("440 not allowed") << QList<QByteArray>{"440 posting not allowed"} << 1 << "";
    QTest::newRow("the last retry fails")
        << QList<QByteArray>{"436 try later", "436 try later", "436 try later"} << 3 << "";
    QTest::newRow("a retry is refused")
        << QList<QByteArray>{"436 try later", "441 article too big"} << 2 << "436 try later";
}

void TestMultiPart::failuresARetryCannotMendStop()
{
    // A refusal that no retry mends, or a failure after the last retry, stops the series at
    // once with the server's text, and the queue is saved as it always was.
    QFETCH(QList<QByteArray>, answers);
    QFETCH(int, posts);
    QFETCH(QString, cause);
    UploadFixture f;
    f.state.Settings.PostRetries = 2;
    f.poster.Retry().SetFirstDelay(1);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    for (const QByteArray& answer : answers)
        server.OnPost({answer}, true);
    server.OnPost();
    const QString path = f.writeLines("big.txt", 2500);
    f.list.Add(f.upload(path, server.Server(), 1000));
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Articles().size(), posts);
    const QString where = " (" + server.Server() + ", sending the article)";
    QCOMPARE(
        f.view.Warnings,
        QStringList{QString::fromUtf8(answers.last()) + where +
                    (cause.isEmpty() ? "" : "\nIt was being tried again after: " + cause + where) +
                    "\nThe tasks stay in the task file " + f.file.FileName() + "."});
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
}

void TestMultiPart::includeTextOpensSignatureClosesTheSeries()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TTask t = f.upload(f.writeLines("ten.txt", 10), server.Server(), 5);
    t.Text10 = CommaText::Write({"Hello all", ".dotted"});
    t.Text7 = f.write("sig.txt", "-- \r\nMe\r\n");
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    // 2 + 10 + 2 lines in parts of 5: three articles, and every subject says so.
    QCOMPARE(server.Articles().size(), 3);
    QList<QStringList> bodies;
    for (const QByteArray& raw : server.Articles()) {
        const ReceivedArticle a(raw);
        QVERIFY(a.Header("Subject").contains("/3)"));
        bodies << a.Body;
    }
    QCOMPARE(bodies[0], (QStringList{"Hello all", "..dotted", "line 1", "line 2", "line 3"}));
    QCOMPARE(bodies[1], (QStringList{"line 4", "line 5", "line 6", "line 7", "line 8"}));
    // The client right-trims every body line it sends.
    QCOMPARE(bodies[2], (QStringList{"line 9", "line 10", "--", "Me"}));
}

void TestMultiPart::refusedPartStopsSeriesAndSavesQueue()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    server.OnPost({"441 437 Article of 99999 bytes exceeds local limit"});
    const QString first = f.writeLines("big.txt", 2500);
    const QString second = f.writeLines("next.txt", 3);
    f.list.Add(f.upload(first, server.Server(), 1000));
    f.list.Add(f.upload(second, server.Server(), 1000));
    QSignalSpy failed(&f.list, &TTaskList::HeadFailed);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QCOMPARE(server.Commands(), (QList<QByteArray>{"POST", "POST"})); // no third part
    QCOMPARE(failed.size(), 1); // the task list keeps the reason
    const QString refusal = "441 437 Article of 99999 bytes exceeds local limit (" +
                            server.Server() + ", sending the article)";
    QCOMPARE(failed.at(0).at(0).toString(), refusal);
    QCOMPARE(f.view.Warnings,
             QStringList{refusal + "\nThe tasks stay in the task file " + f.file.FileName() + "."});
    QCOMPARE(f.view.StatusTexts.last(), refusal);
    QCOMPARE(f.savedTasks(), (QStringList{"Upload " + first, "Upload " + second}));
    QVERIFY(!f.runner.PartInFlight());
    QVERIFY(!f.poster.MultiPart().Active());
}

void TestMultiPart::droppedConnectionStopsSeries()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule drop;
    drop.Command = "POST";
    drop.TakesArticle = true;
    drop.Lines = {"340 send article"};
    drop.DropAfterLines = 20;
    server.Add(drop);
    const QString path = f.writeLines("big.txt", 2500);
    f.list.Add(f.upload(path, server.Server(), 1000));
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    // A wrongly continued series would reconnect now.
    QVERIFY(NothingMoreAfter([&] { return server.Connections() == server.Closed(); }));

    QCOMPARE(server.Connections(), 1);
    QCOMPARE(server.Articles().size(), 1);
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY(f.view.Warnings.first().contains("unexpectedly closed"));
    QVERIFY(!f.poster.MultiPart().Active());
}

void TestMultiPart::abortDuringSeries()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule stall;
    stall.Command = "POST";
    stall.TakesArticle = true;
    stall.Lines = {"340 send article"};
    stall.StallAfterLines = 1;
    server.Add(stall);
    const QString path = f.writeLines("big.txt", 2500);
    f.list.Add(f.upload(path, server.Server(), 1000));
    QVERIFY(f.runUntil([&] { return server.Articles().size() == 1 && f.runner.PartInFlight(); }));
    QVERIFY(f.runUntil([&] { return server.Commands().size() == 2; }));

    f.view.YesNoAnswers.enqueue(true);
    f.runner.AbortButtonClick();
    QVERIFY(f.runUntil([&] { return !f.poster.MultiPart().Active(); }));
    // A wrongly continued series would post again now.
    QVERIFY(NothingMoreAfter([&] { return !f.client.Connected(); }));

    QCOMPARE(server.Commands(), (QList<QByteArray>{"POST", "POST"}));
    QVERIFY(f.list.IsEmpty());
    QVERIFY(!f.runner.PartInFlight());
    QCOMPARE(f.view.StatusTexts.last(), QStringLiteral("Canceled"));
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
}

void TestMultiPart::missingFile_data()
{
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QString>("include");
    QTest::addColumn<bool>("namesFile");
    QTest::addColumn<QString>("warning");
    QTest::newRow("one article, no include text") << 0 << "" << true << "no longer exists";
    QTest::newRow("one article with include text") << 0 << "Hello" << true << "no longer exists";
    QTest::newRow("parts") << 1000 << "" << true << "Cannot open the file";
}

void TestMultiPart::missingFile()
{
    QFETCH(int, maxLines);
    QFETCH(QString, include);
    QFETCH(bool, namesFile);
    QFETCH(QString, warning);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.write("gone.jpg", "x");
    TTask t = f.upload(path, server.Server(), maxLines);
    if (!include.isEmpty())
        t.Text10 = CommaText::Write({include});
    QFile::remove(path);
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QVERIFY(server.Articles().isEmpty());
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains(warning), qPrintable(f.view.Warnings.first()));
    QCOMPARE(f.view.Warnings.first().contains(path), namesFile);
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
}

void TestMultiPart::yencPartsHaveALimit()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.write("huge.bin", "x");
    QVERIFY(QFile::resize(path, 128 * 1000000)); // sparse: a million parts of one line
    TTask t = f.upload(path, server.Server(), 1);
    UploadFields(t).YEnc = true;
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QVERIFY(server.Articles().isEmpty());
    QCOMPARE(f.view.Warnings,
             QStringList{"The file " + path +
                         " would make more than 999999 parts; allow more lines per part\nThe "
                         "tasks stay in the task file " +
                         f.file.FileName() + "."});
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
}

void TestMultiPart::fileShrinksDuringSeries_data()
{
    QTest::addColumn<bool>("yenc");
    QTest::addColumn<int>("parts");
    QTest::newRow("uuencoded") << false << 13;
    QTest::newRow("yEnc") << true << 5; // 128,000 bytes a part
}

void TestMultiPart::fileShrinksDuringSeries()
{
    QFETCH(bool, yenc);
    QFETCH(int, parts);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.writeRandom("movie.bin", 45 * 4096 * 3);
    QObject::connect(&server, &TFakeNntpServer::ArticleReceived, [&] {
        if (server.Articles().size() == 1)
            QFile::resize(path, 100);
    });
    TTask t = f.upload(path, server.Server(), 1000);
    UploadFields(t).YEnc = yenc;
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QVERIFY(server.Articles().size() < parts);
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains(path), qPrintable(f.view.Warnings.first()));
    QCOMPARE(f.savedTasks(), QStringList{"Upload " + path});
    QVERIFY(f.logged("Error: " + f.view.Warnings.first().section('\n', 0, 0)));
}

// The first POST asks for a login, which any password passes; one article is taken, and every
// later POST asks again.
static void asksForLoginOnce(TFakeNntpServer& server)
{
    server.On("POST", {"480 authentication required"}, true);
    server.OnPost({"240 article posted ok"}, true);
    server.On("POST", {"480 authentication required"});
    server.On("AUTHINFO USER*", {"381 more"});
    server.On("AUTHINFO PASS*", {"281 ok"});
}

void TestMultiPart::loginFromTask()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    asksForLoginOnce(server);
    const QString path = f.writeLines("a.txt", 3);
    for (const QString& login : QStringList{"joe,pass word,with, commas", "joe,"}) {
        TTask t = f.upload(path, server.Server(), 0);
        t.Flag1 = true;
        t.Text9 = login;
        f.list.Add(t);
    }
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    // The second task's empty password is not replaced by the first one's.
    QCOMPARE(server.Commands(),
             (QList<QByteArray>{"POST", "AUTHINFO USER joe", "AUTHINFO PASS pass word,with, commas",
                                "POST", "POST", "QUIT"}));
    QCOMPARE(f.client.Password(), QString());
    QCOMPARE(f.view.Warnings,
             QStringList{"480 authentication required (" + server.Server() +
                         ", POST)\nThe tasks stay in the task file " + f.file.FileName() + "."});
    QCOMPARE(server.Articles().size(), 1);
}

// A task saved after "481" carries the wrong password; corrected in the profile, the
// reloaded task logs in with the new one.
void TestMultiPart::savedTaskTakesCorrectedPassword()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    asksForLoginOnce(server);
    f.state.Settings.Host = server.Server();
    f.state.Settings.UserID = "joe";
    f.state.Settings.Password = "corrected";
    const QString path = f.writeLines("a.txt", 3);
    TTask t = f.upload(path, server.Server(), 0);
    t.Flag1 = true;
    t.Text9 = "joe,stale";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Commands(),
             (QList<QByteArray>{"POST", "AUTHINFO USER joe", "AUTHINFO PASS corrected", "POST"}));
}

void TestMultiPart::signatureOnlyWhenTaskHasOne()
{
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    const QString path = f.writeLines("a.txt", 2);
    TTask signed_ = f.upload(path, server.Server(), 0);
    signed_.Text7 = f.write("sig.txt", "Regards\r\n");
    f.list.Add(signed_);
    f.list.Add(f.upload(path, server.Server(), 0));
    TTask missingSig = f.upload(path, server.Server(), 0);
    missingSig.Text7 = f.dir.filePath("nosuch.sig");
    f.list.Add(missingSig);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QCOMPARE(server.Articles().size(), 3);
    QCOMPARE(ReceivedArticle(server.Articles()[0]).Body,
             (QStringList{"line 1", "line 2", "", "Regards"}));
    QCOMPARE(ReceivedArticle(server.Articles()[1]).Body, (QStringList{"line 1", "line 2"}));
    QCOMPARE(ReceivedArticle(server.Articles()[2]).Body, (QStringList{"line 1", "line 2"}));
}

void TestMultiPart::includeTextDialog_data()
{
    QTest::addColumn<std::optional<QStringList>>("answer");
    QTest::addColumn<QString>("pending");
    QTest::newRow("cancel") << std::optional<QStringList>() << "";
    QTest::newRow("OK with no lines") << std::optional<QStringList>(QStringList{}) << "";
    QTest::newRow("OK with a blank memo") << std::optional<QStringList>(QStringList{""}) << "";
    QTest::newRow("two lines") << std::optional<QStringList>(QStringList{"Hi", "see you, all"})
                               << "Hi,\"see you, all\"";
}

void TestMultiPart::includeTextDialog()
{
    QFETCH(std::optional<QStringList>, answer);
    QFETCH(QString, pending);
    UploadFixture f;
    f.poster.PendingIncludeText = "old text";
    f.view.IncludeTextAnswers.enqueue(answer);
    f.poster.DoIncludeText();
    QCOMPARE(f.poster.PendingIncludeText, pending);
    QCOMPARE(f.state.CurrentProcName(), QStringLiteral("DoIncludeText"));
}

void TestMultiPart::checkFindsWhatTheServerLost_data()
{
    QTest::addColumn<int>("rounds");
    QTest::addColumn<int>("articles");
    QTest::addColumn<QString>("lastLine");
    // Part 3 is lost, and so is its first copy (the sixth article).
    QTest::newRow("found at the second try")
        << 2 << 7 << "Batch b3: 5 posted, 5 checked, 2 re-posted, 0 missing";
    QTest::newRow("lost again") << 1 << 6
                                << "Batch b3: 5 posted, 4 checked, 1 re-posted, 1 missing";
}

void TestMultiPart::checkFindsWhatTheServerLost()
{
    // A server that answers 240 but keeps only two articles in three: the check after the
    // batch asks for every article, then once more for those not found; those it lost go
    // again under new Message-IDs, as many times as there are rounds, and what is still
    // missing after that is journalled as missing, left out of the NZB file and counted in
    // the batch's last line.
    QFETCH(int, rounds);
    QFETCH(int, articles);
    QFETCH(QString, lastLine);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    server.SetLoseEvery(3);
    f.state.Settings.MessageIdDomain = "a b";
    f.state.Settings.CheckRounds = qint16(rounds);
    QSignalSpy nzbs(&f.poster.Account(), &TBatchAccount::NzbWritten);
    TTask t = f.upload(f.writeLines("big.txt", 5000), server.Server(), 1000);
    UploadFields(t).Batch = "b3";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));

    const QStringList ids = messageIds(server);
    QCOMPARE(ids.size(), articles);
    // A domain the Message-ID syntax cannot take is named in the log, not used.
    QVERIFY(ids[0].endsWith("@quorvel.invalid>"));
    QCOMPARE(f.session.Lines().filter("MessageIdDomain \"a b\" cannot stand").size(), 1);
    QCOMPARE(server.Commands().count("STAT " + ids[2].toUtf8()), rounds);
    QCOMPARE(server.Commands().count("STAT " + ids[0].toUtf8()), 1);
    for (int i = 5; i < articles; ++i) // each copy is part 3, with an id of its own
        QVERIFY(server.Articles()[i].contains("(3/5)"));
    QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), articles);
    const QList<TJournalArticle> journal = f.journal("b3");
    QCOMPARE(journal.size(), 5);
    const bool found = articles == 7;
    QCOMPARE(journal[2].MessageId, ids.last());
    QCOMPARE(journal[2].State, found ? TArticleState::Checked : TArticleState::Missing);
    QCOMPARE(nzbs.size(), 1);
    QFile file(nzbs.first().first().toString());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    const auto files = NzbFile::Read(file.readAll(), &error);
    QVERIFY2(files && files->size() == 1, qPrintable(error));
    QStringList listed;
    for (const TNzbSegment& s : files->first().Segments)
        listed << "<" + s.MessageId + ">";
    QStringList expected{ids[0], ids[1], ids[3], ids[4]};
    if (found)
        expected.insert(2, ids[6]);
    QCOMPARE(listed, expected);
    const QStringList last = f.session.Lines().filter("Batch b3: 5");
    QCOMPARE(last.size(), 1);
    QVERIFY2(last.first().endsWith(lastLine), qPrintable(last.first()));
    // What is missing is told, and the NZB file says it is incomplete.
    QCOMPARE(file.fileName().endsWith(".incomplete.nzb"), !found);
    QCOMPARE(f.view.Warnings
                 .filter("1 article(s) still missing on the server after the last "
                         "check: " +
                         f.dir.filePath("big.txt") + " (part 3)")
                 .size(),
             found ? 0 : 1);
}

void TestMultiPart::checksGoBesidePosting_data()
{
    QTest::addColumn<bool>("checkServer"); // the profile names a server to check on
    QTest::newRow("on the posting server") << false;
    QTest::newRow("on the check server") << true;
}

void TestMultiPart::checksGoBesidePosting()
{
    // The server answers each article late: the first articles are asked for, over a
    // connection of their own, while the last ones are still being posted; every article is
    // found, and asked for once.
    QFETCH(bool, checkServer);
    UploadFixture f;
    TFakeNntpServer server;
    TFakeNntpServer checker;
    QVERIFY(server.Start());
    QVERIFY(checker.Start());
    server.OnPost();
    server.SetAnswerDelay(1, 150);
    QStringList wire; // both servers' commands, in the order they came
    for (TFakeNntpServer* s : {&server, &checker})
        connect(s, &TFakeNntpServer::CommandReceived, &server,
                [&wire, s, &server](const QByteArray& command) {
                    wire << (s == &server ? "A " : "B ") + QString::fromUtf8(command);
                });
    // B has every article A took (the feed is instant).
    connect(&server, &TFakeNntpServer::ArticleReceived, &server, [&] {
        checker.AddStoredId(
            ReceivedArticle(server.Articles().last()).Header("Message-ID").toUtf8());
    });
    if (checkServer) {
        TServerEntry b;
        b.Name = "checker";
        QVERIFY(b.SetAddress(checker.Server()));
        b.Role = TServerRole::Check;
        f.state.Settings.FurtherServers = {b};
        f.state.Settings.CheckServerDelay = 0;
    }
    TTask t = f.upload(f.writeLines("big.txt", 5000), server.Server(), 1000);
    UploadFields(t).Batch = "b9";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));

    const QStringList ids = messageIds(server);
    QCOMPARE(ids.size(), 5);
    const QString asking = checkServer ? "B STAT " : "A STAT ";
    QCOMPARE(wire.filter(QRegularExpression("^. STAT ")).size(), 5);
    QCOMPARE(wire.filter(asking).size(), 5);
    QVERIFY2(wire.indexOf(asking + ids[0]) < wire.lastIndexOf("A POST"),
             qPrintable(wire.join('|')));
    for (const TJournalArticle& a : f.journal("b9"))
        QCOMPARE(a.State, TArticleState::Checked);
    QCOMPARE(f.session.Lines().filter("5 posted, 5 checked, 0 re-posted, 0 missing").size(), 1);
}

void TestMultiPart::lostArticleOfAnEarlierUploadGoesAgain_data()
{
    QTest::addColumn<bool>("laterRun");
    QTest::newRow("in the same run") << false;
    // The second file is refused at first: the first run ends before the check, and the run
    // that goes on with the saved queue (another process) posts the first file's loss.
    QTest::newRow("in a later run") << true;
}

void TestMultiPart::lostArticleOfAnEarlierUploadGoesAgain()
{
    // Two files in one batch, and the server loses the first file's last part: the first
    // upload is queued again before the second (which the check holds at the head), posts
    // that part alone, and the batch is through with every article found.
    QFETCH(bool, laterRun);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    if (laterRun) {
        for (int k = 0; k < 4; ++k)
            server.OnPost({"240 article posted ok"}, true);
        server.OnPost({"441 posting failed"}, true);
    }
    server.OnPost();
    server.SetLoseEvery(4);
    QSignalSpy counted(&f.poster, &TUploadPoster::UploadAccepted);
    UploadFixture later;
    later.state.ProgramDir = f.state.ProgramDir;
    UploadFixture& run = laterRun ? later : f;
    QSignalSpy nzbs(&run.poster.Account(), &TBatchAccount::NzbWritten);
    TTask first = f.upload(f.writeLines("first.txt", 4000), server.Server(), 1000);
    TTask second = f.upload(f.writeLines("second.txt", 1000), server.Server(), 1000);
    UploadFields(first).Batch = UploadFields(second).Batch = "b4";
    f.list.Add(first);
    f.list.Add(second);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    if (laterRun) {
        QCOMPARE(f.savedTasks(), QStringList{"Upload " + UploadFields(second).Path});
        QVERIFY(later.file.ReadTasks());
        QVERIFY(later.runUntil(
            [&] { return later.list.IsEmpty() && !later.poster.Account().Checking(); }));
    }
    QCOMPARE(server.Articles().size(), laterRun ? 7 : 6);
    QVERIFY(server.Articles().last().contains("first.txt (4/4)"));
    const QList<TJournalArticle> journal = f.journal("b4");
    QCOMPARE(journal.size(), 5);
    for (const TJournalArticle& a : journal)
        QCOMPARE(a.State, TArticleState::Checked);
    QCOMPARE(nzbs.size(), 1);
    QCOMPARE(run.session.Lines().filter("5 posted, 5 checked, 1 re-posted, 0 missing").size(), 1);
    if (!laterRun)
        QCOMPARE(counted.size(), 2); // each file counts in its group once, the re-post not again
}

void TestMultiPart::fileChangedSinceItsUploadStopped_data()
{
    QTest::addColumn<int>("size");  // of the file when its upload stopped
    QTest::addColumn<int>("taken"); // parts the server took then
    QTest::addColumn<int>("now");   // the size it has when the upload goes on
    constexpr int Part = 1000 * 45; // bytes of a part of 1000 uuencoded lines
    QTest::newRow("other bytes, same size") << 5 * Part - 2000 << 2 << 5 * Part - 2000;
    QTest::newRow("replaced by fewer parts") << 13 * Part - 2000 << 11 << 4 * Part - 2000;
}

void TestMultiPart::fileChangedSinceItsUploadStopped()
{
    // The upload stopped (the connection dropped), then the file was changed: the upload
    // starts again under new Message-IDs, with a warning, and no part of the earlier file is
    // listed in the NZB file.
    QFETCH(int, size);
    QFETCH(int, taken);
    QFETCH(int, now);
    UploadFixture f;
    TFakeNntpServer server;
    QVERIFY(server.Start());
    for (int k = 0; k < taken; ++k)
        server.OnPost({"240 article posted ok"}, true);
    server.OnDrop("POST", true);
    server.OnPost();
    QSignalSpy nzbs(&f.poster.Account(), &TBatchAccount::NzbWritten);
    const QString path = f.writeRandom("movie.bin", size, 1);
    TTask t = f.upload(path, server.Server(), 1000);
    UploadFields(t).Batch = "b8";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(server.Articles().size(), taken);
    f.view.Warnings.clear();

    f.writeRandom("movie.bin", now, 2);
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.poster.Account().Checking(); }));
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains(path + " has changed since its upload began"),
             qPrintable(f.view.Warnings.first()));
    const QStringList posted = messageIds(server).mid(taken);
    QCOMPARE(posted.size(), (now + 2000) / (1000 * 45));
    QCOMPARE(nzbs.size(), 1);
    QFile file(nzbs.first().first().toString());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QString error;
    const auto files = NzbFile::Read(file.readAll(), &error);
    QVERIFY2(files && files->size() == 1, qPrintable(error));
    QStringList listed;
    for (const TNzbSegment& s : files->first().Segments)
        listed << "<" + s.MessageId + ">";
    QCOMPARE(listed, posted);
}

void TestMultiPart::journalOnAFullDiskIsTold()
{
    // The batch's journal cannot be written: the upload goes on, and what failed is shown
    // once, naming the file and the reason, and signalled to the front end.
    UploadFixture f;
    const QString journals = f.state.DataFile("journals");
    QVERIFY(QDir().mkpath(journals));
    TSmallDisk disk(journals);
    QString why;
    if (!disk.Mount(64, &why))
        QSKIP(qPrintable("no small disk for the journals: " + why));
    QVERIFY2(disk.Fill(&why), qPrintable(why));
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    QSignalSpy failed(&f.poster.Account(), &TBatchAccount::WriteFailed);
    TTask t = f.upload(f.writeLines("full.txt", 3000), server.Server(), 1000);
    UploadFields(t).Batch = "b9";
    f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));

    QCOMPARE(server.Articles().size(), 3);
    // The journal first; the NZB file's note of where it is, kept beside the journal, fails
    // on the same disk. Each is shown once.
    QVERIFY2(!failed.isEmpty(), "no write failure was signalled");
    QStringList texts;
    for (const QList<QVariant>& signal : std::as_const(failed))
        texts << signal.first().toString();
    QVERIFY2(texts.first().startsWith("Cannot write the upload journal " + journals +
                                      "/b9.journal: No space left on device"),
             qPrintable(texts.first()));
    for (const QString& text : std::as_const(texts))
        QVERIFY2(text.contains(journals) && text.contains("No space left on device"),
                 qPrintable(text));
    QCOMPARE(f.view.Warnings, texts);
}

QTEST_GUILESS_MAIN(TestMultiPart)
#include "tst_multipart.moc"
