#include "CliProcess.h"
#include "InnServer.h"
#include "PeerTools.h"
#include "PostedArticles.h"
#include "upload/NzbFile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTest>

// Checking on another server than the one posted to, through the real executable: two private
// INN servers where A feeds B, posted to A and checked on B; and the check of a history entry
// or an NZB file, with a journal or without one.
class TestCliCheckServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void checkOnFedServerAndRepair();
    void checkTargets_data();
    void checkTargets();
    void nzbWithoutJournalIsRepaired();

private:
    // Posts a file of parts × lines × 128 random bytes, less 100, to A in yEnc parts; its history
    // entry.
    QJsonObject post(const TCliProcess& cli, const QString& path, int parts, int lines,
                     const QString& subject);
    // Whether every article of subject reached B before a deadline (the feed runs by itself).
    bool reachedB(const QString& subject, int count);
    static QStringList nzbIds(const QString& nzb);
    QString checkServer() const { return m_pair.B.Server(); }

    TInnPair m_pair;
};

void TestCliCheckServer::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_pair.Start(&error), qPrintable(error));
}

QJsonObject TestCliCheckServer::post(const TCliProcess& cli, const QString& path, int parts,
                                     int lines, const QString& subject)
{
    QByteArray bytes(parts * lines * 128 - 100, Qt::Uninitialized); // the last part shorter
    for (char& b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    QDir().mkpath(QFileInfo(path).path());
    PeerTools::WriteFile(path, bytes);
    const auto set = cli.SetServer(m_pair.A.Server());
    const auto organization = cli.Run({"profile", "set", "Organization", "Quorvel testers"});
    if (set.ExitCode != 0 || organization.ExitCode != 0) {
        qWarning() << set.Err << organization.Err;
        return {};
    }
    const auto r = cli.Run({"post", path, "--group", "quorvel.test", "--subject", subject,
                            "--encoding", "yenc", "--lines", QString::number(lines)});
    if (r.ExitCode != 0)
        qWarning() << r.Err;
    const auto history = cli.Run({"history", "--json"});
    return QJsonDocument::fromJson(history.Out.trimmed().split('\n').last().toUtf8()).object();
}

bool TestCliCheckServer::reachedB(const QString& subject, int count)
{
    const QDeadlineTimer deadline(30000);
    while (PostedArticles::Fetch(m_pair.B.Port(), "quorvel.test", subject.toUtf8()).size() <
           count) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(20);
    }
    return true;
}

QStringList TestCliCheckServer::nzbIds(const QString& nzb)
{
    QString error;
    QStringList ids;
    for (const TNzbFile& f :
         NzbFile::Read(PeerTools::ReadFile(nzb), &error).value_or(QList<TNzbFile>()))
        for (const TNzbSegment& s : f.Segments)
            ids << s.MessageId;
    return ids;
}

void TestCliCheckServer::checkOnFedServerAndRepair()
{
    TCliProcess cli;
    const QString source = cli.Dir() + "/src/ten.bin";
    const QJsonObject entry = post(cli, source, 10, 10, "ten fed");
    const QString name = entry.value("entry").toString();
    const QStringList before = nzbIds(entry.value("nzb").toString());
    QCOMPARE(before.size(), 10);
    QVERIFY(reachedB("ten fed", 10));
    const QStringList onB = {"check", name, "--check-server", checkServer(), "--delay", "0"};
    const auto found = cli.Run(onB);
    QVERIFY2(found.ExitCode == 0 && found.Err.contains("0 of 10 article(s) missing"),
             qPrintable(found.Err));

    // Cancelled on B alone: A still has both and fed them long ago.
    QString error;
    for (const int k : {2, 7})
        QVERIFY2(m_pair.B.CancelArticle('<' + before[k] + '>', &error), qPrintable(error));
    QCOMPARE(cli.Run({"check", name, "--delay", "0"}).ExitCode, 0); // on A: all there
    const auto lost = cli.Run(onB);
    QCOMPARE(lost.ExitCode, 1);
    QVERIFY2(lost.Out.contains(before[2]) && lost.Out.contains(before[7]), qPrintable(lost.Out));
    const QJsonObject recorded =
        QJsonDocument::fromJson(cli.Run({"history", "--json"}).Out.toUtf8()).object();
    QCOMPARE(recorded.value("state").toString(), QString("incomplete"));
    QCOMPARE(recorded.value("missing").toInt(), 2);
    QCOMPARE(recorded.value("checked").toObject().value("server").toString(), checkServer());

    const auto repair = cli.Run({"repair", name, "--check-server", checkServer()});
    QVERIFY2(repair.ExitCode == 0 && repair.Err.contains("2 of 2 missing article(s) posted again"),
             qPrintable(repair.Err));
    QVERIFY(reachedB("ten fed", 10));
    const auto again = cli.Run(onB);
    QVERIFY2(again.ExitCode == 0 && again.Err.contains("0 of 10 article(s) missing"),
             qPrintable(again.Err));
    const QJsonObject whole =
        QJsonDocument::fromJson(cli.Run({"history", "--json"}).Out.toUtf8()).object();
    QCOMPARE(whole.value("state").toString(), QString("complete"));
    // The articles posted again carry the profile's Organization.
    for (const auto& a : PostedArticles::Fetch(m_pair.B.Port(), "quorvel.test", "ten fed"))
        QCOMPARE(a.Header("Organization"), QByteArray("Quorvel testers"));
}

void TestCliCheckServer::checkTargets_data()
{
    QTest::addColumn<QString>("target"); // entry, nzb, foreign (no journal), unknown
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::newRow("history entry") << "entry" << 1 << "1 of 3 article(s) missing";
    QTest::newRow("its NZB file") << "nzb" << 1 << "1 of 3 article(s) missing";
    QTest::newRow("NZB file no journal knows") << "foreign" << 1 << "1 of 3 article(s) missing";
    QTest::newRow("no such entry")
        << "unknown" << 1 << "no batch 19990101-000000-aaaaaa in the history";
}

void TestCliCheckServer::checkTargets()
{
    QFETCH(QString, target);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    TCliProcess cli;
    const QString subject = "three " + target;
    const QJsonObject entry = post(cli, cli.Dir() + "/src/three.bin", 3, 10, subject);
    const QString nzb = entry.value("nzb").toString();
    QString error;
    QVERIFY2(m_pair.A.CancelArticle('<' + nzbIds(nzb).value(1) + '>', &error), qPrintable(error));
    QString argument = target == "entry" ? entry.value("entry").toString() : nzb;
    if (target == "foreign") { // the NZB file elsewhere, the journals gone
        argument = cli.Dir() + "/other.nzb";
        QVERIFY(QFile::copy(nzb, argument));
        QVERIFY(QDir(QFileInfo(entry.value("journal").toString()).path()).removeRecursively());
    }
    if (target == "unknown")
        argument = "19990101-000000-aaaaaa";
    const auto check = cli.Run({"check", argument, "--delay", "0"});
    QCOMPARE(check.ExitCode, exitCode);
    QVERIFY2(check.Err.contains(said), qPrintable(check.Err));
    const QJsonObject after =
        QJsonDocument::fromJson(cli.Run({"history", "--json"}).Out.toUtf8()).object();
    // A check of the batch, by its entry or its NZB file, is recorded in its journal.
    if (target == "entry" || target == "nzb")
        QCOMPARE(after.value("checked").toObject().value("missing").toInt(), 1);
}

void TestCliCheckServer::nzbWithoutJournalIsRepaired()
{
    TCliProcess cli;
    const QJsonObject entry = post(cli, cli.Dir() + "/src/six.bin", 6, 10, "six foreign");
    const QString nzb = cli.Dir() + "/foreign/six.nzb";
    QVERIFY(QDir().mkpath(cli.Dir() + "/foreign"));
    QVERIFY(QFile::copy(entry.value("nzb").toString(), nzb));
    QVERIFY(QDir(QFileInfo(entry.value("journal").toString()).path()).removeRecursively());
    const QStringList ids = nzbIds(nzb);
    QString error;
    for (const int k : {0, 5}) // the first part and the last, shorter one
        QVERIFY2(m_pair.A.CancelArticle('<' + ids[k] + '>', &error), qPrintable(error));

    // A byte of the source changed where the part read from the server (the second) carries
    // it: refused, the size being the same.
    const QString source = cli.Dir() + "/src/six.bin";
    const QByteArray bytes = PeerTools::ReadFile(source);
    QByteArray changed = bytes;
    changed[1280 + 5] = char(changed[1280 + 5] ^ 1);
    PeerTools::WriteFile(source, changed);
    const auto refused = cli.Run({"repair", nzb, "--source", cli.Dir() + "/src"});
    QCOMPARE(refused.ExitCode, 1);
    QVERIFY2(refused.Err.contains(source + " has changed since it was posted"),
             qPrintable(refused.Err));
    QCOMPARE(PostedArticles::Fetch(m_pair.A.Port(), "quorvel.test", "six foreign").size(), 4);

    PeerTools::WriteFile(source, bytes);
    const auto repair = cli.Run({"repair", nzb, "--source", cli.Dir() + "/src"});
    QVERIFY2(repair.ExitCode == 0 && repair.Err.contains("2 of 2 missing article(s) posted again"),
             qPrintable(repair.Err));
    const QStringList after = nzbIds(nzb);
    QVERIFY(after[0] != ids[0] && after[5] != ids[5] && after.mid(1, 4) == ids.mid(1, 4));
    QCOMPARE(cli.Run({"check", nzb}).ExitCode, 0);
    // What was posted again decodes to the file's bytes, its subject counting its own part.
    const auto posted = PostedArticles::Fetch(m_pair.A.Port(), "quorvel.test", "six foreign");
    QCOMPARE(posted.size(), 6);
    const QString dir = cli.Dir() + "/nzbget";
    QDir().mkpath(dir);
    PeerTools::WriteFile(dir + "/nzbget.conf", PostedArticles::NzbgetConf(dir, m_pair.A.Port()));
    QString output;
    PostedArticles::RunTool("timeout", {"60", "nzbget", "-c", dir + "/nzbget.conf", nzb}, &output);
    QCOMPARE(PeerTools::ReadFile(dir + "/dst/six/six.bin"), bytes);
}

QTEST_GUILESS_MAIN(TestCliCheckServer)
#include "tst_cli_checkserver.moc"
