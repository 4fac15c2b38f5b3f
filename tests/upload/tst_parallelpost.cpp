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

QList<TJournalArticle> journalOf(const UploadFixture& f, const QString& batch)
{
    QString error;
    const auto read =
        TUploadJournal::Read(f.state.DataFile("journals/" + batch + ".journal"), &error);
    if (!read)
        qWarning("%s", qPrintable(error));
    return read.value_or(QList<TJournalArticle>());
}

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
    // own: the journal and the NZB still list the parts in order, each once.
    Rig r(3);
    r.server.OnPost();
    r.server.SetAnswerDelay(1, 150);
    QSignalSpy accepted(&r.f.poster, &TUploadPoster::PartAccepted);
    QSignalSpy nzbs(&r.f.poster.Account(), &TBatchAccount::NzbWritten);
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QCOMPARE(r.f.view.Warnings, QStringList());

    QCOMPARE(r.server.Connections(), 4); // and one for the check after the batch
    const QList<int> used = r.server.ArticleConnections();
    QCOMPARE(QSet<int>(used.begin(), used.end()), (QSet<int>{1, 2, 3}));
    QCOMPARE(r.keptParts(), QList<int>(Parts, 1));
    QList<qint64> order;
    for (const QList<QVariant>& signal : accepted)
        order << signal.at(1).toLongLong();
    QCOMPARE(order.size(), Parts);
    QVERIFY2(!std::is_sorted(order.begin(), order.end()), "the parts were taken in order");

    const QList<TJournalArticle> journal = journalOf(r.f, "b1");
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
    QTest::addColumn<bool>("drop");
    QTest::addColumn<QString>("warning");
    QTest::newRow("connection dropped mid-article") << true << "unexpectedly closed";
    QTest::newRow("article refused") << false << "posting failed";
}

void TestParallelPost::failureOnOneConnectionStopsTheOthers()
{
    // The fourth article fails while the other connections carry theirs: every connection
    // stops, the task is saved, and running it again posts what is missing, each part once.
    QFETCH(bool, drop);
    QFETCH(QString, warning);
    Rig r(3);
    r.server.SetRefuseDuplicates(true);
    r.server.SetAnswerDelay(2, 100); // the second connection still waits for its answers
    r.server.OnPost({"240 article posted ok"}, true);
    r.server.OnPost({"240 article posted ok"}, true);
    r.server.OnPost({"240 article posted ok"}, true);
    TFakeNntpServer::TRule fault;
    fault.Command = "POST";
    fault.TakesArticle = true;
    fault.Once = true;
    fault.Lines = {"340 send article"};
    if (drop)
        fault.DropAfterLines = 10;
    else
        fault.Result = {"441 posting failed"};
    r.server.Add(fault);
    r.server.OnPost();
    r.f.list.Add(r.series());
    QVERIFY(r.run());
    QTest::qWait(300); // a connection left going would post more now

    QCOMPARE(r.f.view.Warnings.size(), 1);
    QVERIFY2(r.f.view.Warnings.first().contains(warning), qPrintable(r.f.view.Warnings.first()));
    QCOMPARE(r.f.savedTasks(), QStringList{"Upload " + r.path});
    QVERIFY(!r.f.runner.PartInFlight());
    QVERIFY(!r.f.poster.MultiPart().Active());
    QVERIFY(r.f.poster.MultiPart().Connections().Idle());
    const qsizetype before = r.server.Articles().size();
    QVERIFY2(before < Parts, "the series went on after the failure");

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
