#include "CliProcess.h"
#include "FakeNntpServer.h"
#include "InnServer.h"
#include "PeerTools.h"
#include "PostedArticles.h"
#include "RunUntil.h"
#include "codec/YEnc.h"
#include "upload/NzbFile.h"

#include <QDateTime>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

#include <csignal>

// The history of posted batches and the repair of what the server lost, through the real
// executable against a private INN server, with NZBGet downloading what the repair restored.
class TestCliRepair : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void lostArticlesArePostedAgain();
    void changedSourceIsRefused();
    void killedRepairPostsEachArticleOnce();
    void bodiesCheckNamesADamagedBody();
    void checkAsksAgainInRounds();

private:
    // Posts a file of parts × 1,280 bytes in yEnc parts; its history entry.
    QJsonObject post(const TCliProcess& cli, const QString& path, int parts,
                     const QString& subject);
    static QStringList nzbIds(const QString& nzb);
    void cancel(const QStringList& ids);

    TInnServer m_inn;
};

void TestCliRepair::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_inn.Start(&error), qPrintable(error));
}

void TestCliRepair::cleanupTestCase()
{
    m_inn.Stop();
}

QJsonObject TestCliRepair::post(const TCliProcess& cli, const QString& path, int parts,
                                const QString& subject)
{
    QByteArray bytes(parts * 1280, Qt::Uninitialized);
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    QDir().mkpath(QFileInfo(path).path());
    PeerTools::WriteFile(path, bytes);
    if (cli.SetServer(m_inn.Server()).ExitCode != 0)
        return {};
    const auto r = cli.Run({"post", path, "--group", "quorvel.test", "--subject", subject,
                            "--encoding", "yenc", "--lines", "10"});
    if (r.ExitCode != 0)
        qWarning() << r.Err;
    const auto history = cli.Run({"history", "--json"});
    return QJsonDocument::fromJson(history.Out.toUtf8()).object();
}

QStringList TestCliRepair::nzbIds(const QString& nzb)
{
    QString error;
    const auto files = NzbFile::Read(PeerTools::ReadFile(nzb), &error);
    QStringList ids;
    for (const TNzbFile& f : files.value_or(QList<TNzbFile>()))
        for (const TNzbSegment& s : f.Segments)
            ids << s.MessageId;
    return ids;
}

void TestCliRepair::cancel(const QStringList& ids)
{
    QString error;
    for (const QString& id : ids)
        QVERIFY2(m_inn.CancelArticle('<' + id + '>', &error), qPrintable(error));
}

void TestCliRepair::lostArticlesArePostedAgain()
{
    TCliProcess cli;
    const QString source = cli.Dir() + "/src/forty.bin";
    const QJsonObject entry = post(cli, source, 40, "forty");
    QCOMPARE(entry.value("articles").toInt(), 40);
    QCOMPARE(entry.value("state").toString(), QString("complete"));
    const QString nzb = entry.value("nzb").toString();
    const QStringList before = nzbIds(nzb);
    QCOMPARE(before.size(), 40);
    const QStringList lost = {before[0], before[9], before[20], before[31], before[39]};
    cancel(lost);

    const auto check = cli.Run({"check", nzb});
    QCOMPARE(check.ExitCode, 1);
    QVERIFY2(check.Err.contains("5 of 40 article(s) missing"), qPrintable(check.Err));
    // The file moved since: --source says where it is now.
    const QString moved = cli.Dir() + "/moved";
    QVERIFY(QDir().mkpath(moved) && QFile::rename(source, moved + "/forty.bin"));
    const auto repair = cli.Run({"repair", entry.value("entry").toString(), "--source", moved});
    QVERIFY2(repair.ExitCode == 0, qPrintable(repair.Err));
    QVERIFY2(repair.Err.contains("5 of 5 missing article(s) posted again"), qPrintable(repair.Err));
    const QStringList after = nzbIds(nzb);
    QCOMPARE(after.size(), 40);
    for (int k = 0; k < 40; ++k)
        QCOMPARE(after[k] != before[k], lost.contains(before[k]));
    QCOMPARE(cli.Run({"check", nzb}).ExitCode, 0);
    // Run again, it finds nothing missing and posts nothing.
    const auto again = cli.Run({"repair", nzb});
    QVERIFY2(again.Err.contains("0 of 0 missing"), qPrintable(again.Err));
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), "quorvel.test", "forty").size(), 40);

    const QString dir = cli.Dir() + "/nzbget";
    QDir().mkpath(dir);
    PeerTools::WriteFile(dir + "/nzbget.conf", PostedArticles::NzbgetConf(dir, m_inn.Port()));
    QString output;
    PostedArticles::RunTool("timeout", {"60", "nzbget", "-c", dir + "/nzbget.conf", nzb}, &output);
    QVERIFY2(!output.contains("CRC-Error") && !output.contains("failed"), qPrintable(output));
    const QString name = QFileInfo(nzb).completeBaseName();
    QCOMPARE(PeerTools::ReadFile(dir + "/dst/" + name + "/forty.bin"),
             PeerTools::ReadFile(moved + "/forty.bin"));
}

void TestCliRepair::changedSourceIsRefused()
{
    TCliProcess cli;
    const QString source = cli.Dir() + "/src/four.bin";
    const QJsonObject entry = post(cli, source, 4, "four changed");
    const QString nzb = entry.value("nzb").toString();
    const QStringList ids = nzbIds(nzb);
    QCOMPARE(ids.size(), 4);
    cancel({ids[1]});
    QByteArray bytes = PeerTools::ReadFile(source);
    bytes[2000] = char(bytes[2000] ^ 1);
    PeerTools::WriteFile(source, bytes);

    const QByteArray nzbBefore = PeerTools::ReadFile(nzb);
    const auto repair = cli.Run({"repair", nzb});
    QCOMPARE(repair.ExitCode, 1);
    QVERIFY2(repair.Err.contains(source + " has changed since it was posted"),
             qPrintable(repair.Err));
    QCOMPARE(PeerTools::ReadFile(nzb), nzbBefore);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), "quorvel.test", "four changed").size(), 3);
}

void TestCliRepair::killedRepairPostsEachArticleOnce()
{
    TCliProcess cli;
    const QJsonObject entry = post(cli, cli.Dir() + "/src/eight.bin", 8, "eight killed");
    const QString nzb = entry.value("nzb").toString();
    const QStringList ids = nzbIds(nzb);
    QCOMPARE(ids.size(), 8);
    cancel({ids[1], ids[4], ids[6], ids[7]});

    // Killed as soon as the journal records the first article posted again as taken.
    const QString journal = entry.value("journal").toString();
    const auto taken = [&] { return PeerTools::ReadFile(journal).count(",accepted,"); };
    const qsizetype before = taken();
    const std::unique_ptr<QProcess> repair = cli.Start({"repair", nzb});
    QVERIFY(RunUntil([&] { return taken() > before || repair->state() == QProcess::NotRunning; },
                     30000));
    ::kill(pid_t(repair->processId()), SIGKILL);
    QVERIFY(repair->waitForFinished());

    const auto again = cli.Run({"repair", nzb});
    QVERIFY2(again.ExitCode == 0, qPrintable(again.Err));
    const QRegularExpression reposted("(\\d+) of (\\d+) missing article\\(s\\) posted again");
    const QRegularExpressionMatch counts = reposted.match(again.Err);
    QVERIFY2(counts.hasMatch() && counts.captured(2).toInt() < 4, qPrintable(again.Err));
    QCOMPARE(cli.Run({"check", nzb}).ExitCode, 0);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), "quorvel.test", "eight killed").size(), 8);
}

void TestCliRepair::bodiesCheckNamesADamagedBody()
{
    // Two parts stored whole as far as STAT can tell; the second comes back with a wrong byte.
    QByteArray data(512, Qt::Uninitialized);
    for (char& b : data)
        b = char(QRandomGenerator::global()->bounded(256));
    const auto body = [&](int part, const QByteArray& bytes) {
        const YEnc::TPart p{"two.bin", 512, part, 2, (part - 1) * 256, 256};
        const auto* at = reinterpret_cast<const uchar*>(bytes.constData()) + p.begin;
        return YEnc::EncodePart(p, at, 0, "\n").text.trimmed().split('\n');
    };
    QByteArray damaged = data;
    damaged[300] = char(damaged[300] ^ 0x10);
    QList<QByteArray> second = body(2, damaged);
    second.last() = body(2, data).last(); // the =yend line of what was posted
    TFakeNntpServer server;
    QVERIFY(server.Start());
    const QList<QByteArray> ids = {"<whole@quorvel.invalid>", "<damaged@quorvel.invalid>"};
    server.On("BODY " + ids[0],
              QList<QByteArray>{"222 0 " + ids[0]} + body(1, data) + QList<QByteArray>{"."});
    server.On("BODY " + ids[1],
              QList<QByteArray>{"222 0 " + ids[1]} + second + QList<QByteArray>{"."});
    TCliProcess cli;
    QCOMPARE(cli.SetServer(server.Server()).ExitCode, 0);
    for (const QByteArray& id : ids)
        server.AddStoredId(id);
    TNzbFile file{"ann@example.org", 0, "two (1/2)", {"quorvel.test"}, {}};
    file.Segments = {{1, 400, ids[0]}, {2, 400, ids[1]}};
    const QString nzb = cli.Dir() + "/two.nzb";
    PeerTools::WriteFile(nzb, NzbFile::Document("two", {file}));

    QCOMPARE(cli.Run({"check", nzb}).ExitCode, 0);
    const auto bodies = cli.Run({"check", "--bodies", "100%", nzb});
    QCOMPARE(bodies.ExitCode, 1);
    QVERIFY2(bodies.Out.startsWith(ids[1] + "  two (1/2), part 2  damaged: CRC-32"),
             qPrintable(bodies.Out));
    QVERIFY2(!bodies.Out.contains(ids[0]), qPrintable(bodies.Out));
}

void TestCliRepair::checkAsksAgainInRounds()
{
    // The second article is not there when first asked for, and is the next time.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    const QList<QByteArray> ids = {"<early@quorvel.invalid>", "<late@quorvel.invalid>"};
    for (const QByteArray& id : ids)
        server.AddStoredId(id);
    server.On("STAT " + ids[1], {"430 no such article"}, true);
    TCliProcess cli;
    QCOMPARE(cli.SetServer(server.Server()).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "CheckRounds", "2"}).ExitCode, 0);
    // Posted just now: rounds are 4 s apart (a round whose time has passed is not asked).
    TNzbFile file{
        "ann@example.org", QDateTime::currentSecsSinceEpoch(), "late (1/2)", {"quorvel.test"}, {}};
    file.Segments = {{1, 400, ids[0]}, {2, 400, ids[1]}};
    const QString nzb = cli.Dir() + "/late.nzb";
    PeerTools::WriteFile(nzb, NzbFile::Document("late", {file}));

    const auto check = cli.Run({"check", "--delay", "4", nzb});
    QVERIFY2(check.ExitCode == 0 && check.Err.contains("0 of 2 article(s) missing"),
             qPrintable(check.Err));
    QCOMPARE(server.Commands().count("STAT " + ids[1]), 2);
    QCOMPARE(server.Commands().count("STAT " + ids[0]), 1);
}

QTEST_GUILESS_MAIN(TestCliRepair)
#include "tst_cli_repair.moc"
