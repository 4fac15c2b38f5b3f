#include "CliProcess.h"
#include "InnServer.h"
#include "PeerTools.h"
#include "PostedArticles.h"
#include "RunUntil.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <csignal>

// Failover through the real executable: a profile posts to INN server A (priority 0) with INN
// server B (priority 1) behind it; A is killed by its process id in the middle of a 60-part
// yEnc series. A feeds B, so that what A took before it died is on B too and NZBGet can
// download the whole file from B.
class TestCliFailover : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void killedServerHandsOverToTheNext();

private:
    // The articles the batch's journal records as accepted so far.
    static int acceptedSoFar(const QString& dir);
    // Kills the readers innd started (each nnrpd serving a connection), by process id.
    static bool killReaders(qint64 innd);

    TInnPair m_pair;
};

void TestCliFailover::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_pair.Start(&error), qPrintable(error));
}

int TestCliFailover::acceptedSoFar(const QString& dir)
{
    QString error;
    int accepted = 0;
    QDirIterator it(dir, {"*.journal"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        for (const TJournalArticle& a :
             TUploadJournal::Read(it.next(), &error).value_or(TJournalContent()).Articles())
            accepted += a.State == TArticleState::Accepted;
    return accepted;
}

bool TestCliFailover::killReaders(qint64 innd)
{
    QList<pid_t> readers;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs)) {
        QFile status("/proc/" + entry + "/status");
        if (!status.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = status.readAll();
        if (text.startsWith("Name:\tnnrpd\n") &&
            text.contains("\nPPid:\t" + QByteArray::number(innd) + '\n'))
            readers << pid_t(entry.toInt());
    }
    bool killed = !readers.isEmpty();
    for (const pid_t pid : readers)
        killed &= ::kill(pid, SIGKILL) == 0;
    return killed;
}

void TestCliFailover::killedServerHandsOverToTheNext()
{
    TCliProcess cli;
    const QString source = cli.Dir() + "/src/sixty.bin";
    QByteArray bytes(60 * 400 * 128 - 100, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    QDir().mkpath(cli.Dir() + "/src");
    PeerTools::WriteFile(source, bytes);
    QCOMPARE(cli.SetServer(m_pair.A.Server()).ExitCode, 0);
    for (const QStringList& args :
         {QStringList{"server", "add", "B", "--host", "127.0.0.1", "--port",
                      QString::number(m_pair.B.Port()), "--priority", "1"},
          QStringList{"profile", "set", "CheckAfterPost", "false"},
          QStringList{"profile", "set", "PostRetries", "1"}}) {
        const auto r = cli.Run(args);
        QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    }

    const auto post = cli.Start({"post", source, "--group", "quorvel.test", "--subject",
                                 "sixty failover", "--encoding", "yenc", "--lines", "400"});
    QVERIFY(RunUntil([&] { return acceptedSoFar(cli.Dir()) >= 10; }, 60000));
    // A dies, each process by its id, while the client is held: first its readers (an nnrpd
    // outliving innd would spool the posts and answer 240), then, once its feed has handed B
    // what A took, innd itself.
    const auto client = pid_t(post->processId());
    QCOMPARE(::kill(client, SIGSTOP), 0);
    QVERIFY(killReaders(m_pair.A.ProcessId()));
    const int takenByA = acceptedSoFar(cli.Dir());
    QVERIFY(RunUntil(
        [&] {
            return PostedArticles::Fetch(m_pair.B.Port(), "quorvel.test", "sixty failover")
                       .size() >= takenByA;
        },
        20000));
    QCOMPARE(::kill(pid_t(m_pair.A.ProcessId()), SIGKILL), 0);
    QCOMPARE(::kill(client, SIGCONT), 0);
    const auto done = TCliProcess::Finish(*post, 120000);
    QVERIFY2(done.ExitCode == 0, qPrintable(done.Err));
    const QString switched = QString("Switched from %1 to B: ").arg(m_pair.A.Server());
    QVERIFY2(done.Err.contains(switched), qPrintable(done.Err));

    // The journal says which server took each part: some A, the rest B, 60 in all.
    const auto history = cli.Run({"history", "--json"});
    QVERIFY2(history.ExitCode == 0, qPrintable(history.Err + history.Out));
    const QJsonObject entry =
        QJsonDocument::fromJson(history.Out.trimmed().split('\n').last().toUtf8()).object();
    const QJsonObject takenBy = entry.value("taken_by").toObject();
    const int onA = takenBy.value(m_pair.A.Server()).toInt();
    const int onB = takenBy.value(m_pair.B.Server()).toInt();
    QVERIFY2(onA >= 10 && onB >= 1 && onA + onB == 60, qPrintable(QJsonDocument(entry).toJson()));

    // The NZB lists each part once; B has each once (A's fed to it, the rest posted there).
    QString error;
    const auto files = NzbFile::Read(PeerTools::ReadFile(entry.value("nzb").toString()), &error);
    QVERIFY2(files && files->size() == 1, qPrintable(error));
    QSet<QString> ids;
    for (const TNzbSegment& s : files->first().Segments)
        ids << s.MessageId;
    QCOMPARE(files->first().Segments.size(), 60);
    QCOMPARE(ids.size(), 60);
    QCOMPARE(PostedArticles::Fetch(m_pair.B.Port(), "quorvel.test", "sixty failover").size(), 60);

    const QString dir = cli.Dir() + "/nzbget";
    QDir().mkpath(dir);
    PeerTools::WriteFile(dir + "/nzbget.conf", PostedArticles::NzbgetConf(dir, m_pair.B.Port()));
    QString output;
    PostedArticles::RunTool(
        "timeout", {"60", "nzbget", "-c", dir + "/nzbget.conf", entry.value("nzb").toString()},
        &output);
    const QString name = QFileInfo(entry.value("nzb").toString()).completeBaseName();
    QCOMPARE(PeerTools::ReadFile(dir + "/dst/" + name + "/sixty.bin"), bytes);
}

QTEST_GUILESS_MAIN(TestCliFailover)
#include "tst_cli_failover.moc"
