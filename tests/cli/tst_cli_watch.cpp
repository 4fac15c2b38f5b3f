#include "CliProcess.h"
#include "InnServer.h"
#include "PostedArticles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <csignal>

// "quorvel-cli watch" against a private INN: what lands in the folder is posted once, after
// it settles, and NZBGet fetches it back whole.
class TestCliWatch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void refusesWhatItCannotWatch_data();
    void refusesWhatItCannotWatch();
    void postsEachItemOnceAfterItSettles();
    void sigtermMidPostThenRestartPostsNothingTwice();

private:
    // A running watch whose output is collected as it comes.
    struct TWatch
    {
        std::unique_ptr<QProcess> Process;
        QString Out;
        QString Err;
    };
    TWatch startWatch(const TCliProcess& cli, const QStringList& args) const;
    // Waits until the watch has written text (after from characters of its notes).
    static bool waitFor(TWatch& w, const QString& text, qsizetype from = 0);
    static int stop(TWatch& w);
    // Every part of the file posted exactly once: returns what is wrong, empty when nothing.
    QString postedOnce(const QString& fileName) const;
    QString nzbgetFetches(const QString& nzb, const QString& name,
                          const QMap<QString, QByteArray>& files) const;

    TInnServer m_inn;
    QTemporaryDir m_work;
};

void TestCliWatch::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_inn.Start(&error), qPrintable(error));
}

void TestCliWatch::cleanupTestCase()
{
    m_inn.Stop();
}

TestCliWatch::TWatch TestCliWatch::startWatch(const TCliProcess& cli, const QStringList& args) const
{
    TWatch w;
    w.Process = cli.Start(QStringList{"watch"} + args);
    return w;
}

bool TestCliWatch::waitFor(TWatch& w, const QString& text, qsizetype from)
{
    // The test's own timers (a slow writer) go on while it waits.
    QElapsedTimer timer;
    timer.start();
    QProcess& p = *w.Process;
    while (w.Err.indexOf(text, from) < 0 && !w.Out.contains(text)) {
        if (p.state() == QProcess::NotRunning || timer.hasExpired(90000))
            return false;
        QEventLoop loop;
        connect(&p, &QProcess::readyReadStandardError, &loop, &QEventLoop::quit);
        connect(&p, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        connect(&p, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        w.Out += QString::fromLocal8Bit(p.readAllStandardOutput());
        w.Err += QString::fromLocal8Bit(p.readAllStandardError());
    }
    return true;
}

int TestCliWatch::stop(TWatch& w)
{
    ::kill(pid_t(w.Process->processId()), SIGTERM);
    const auto r = TCliProcess::Finish(*w.Process);
    w.Out += r.Out;
    w.Err += r.Err;
    return r.ExitCode;
}

QString TestCliWatch::postedOnce(const QString& fileName) const
{
    const auto articles =
        PostedArticles::Fetch(m_inn.Port(), "quorvel.test", " " + fileName.toUtf8() + " ");
    QList<int> numbers;
    for (const auto& a : articles)
        numbers << PostedArticles::PartOf(a.Header("Subject"));
    // The number of parts as the subjects give it: "(k/n)".
    const int parts = articles.isEmpty() ? 1
                                         : QString::fromUtf8(articles.first().Header("Subject"))
                                               .section(u'/', -1)
                                               .section(u')', 0, 0)
                                               .toInt();
    QList<int> expected;
    for (int k = 1; k <= parts; ++k)
        expected << k;
    if (numbers != expected)
        return QStringLiteral("%1: parts posted %2, not 1 to %3 once each")
            .arg(fileName,
                 [&] {
                     QStringList t;
                     for (int n : numbers)
                         t << QString::number(n);
                     return t.join(u',');
                 }())
            .arg(parts);
    return QString();
}

QString TestCliWatch::nzbgetFetches(const QString& nzb, const QString& name,
                                    const QMap<QString, QByteArray>& files) const
{
    if (QStandardPaths::findExecutable("nzbget").isEmpty())
        return QString(); // the posts were checked on the server; the download is a bonus
    const QString dir = m_work.filePath("nzbget-" + name);
    QDir().mkpath(dir + "/dst");
    QFile conf(dir + "/nzbget.conf");
    if (!conf.open(QIODevice::WriteOnly) ||
        conf.write(PostedArticles::NzbgetConf(dir, m_inn.Port())) < 0)
        return "cannot write " + conf.fileName();
    conf.close();
    QString output;
    PostedArticles::RunTool("timeout", {"60", "nzbget", "-c", conf.fileName(), nzb}, &output);
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        QFile got(dir + "/dst/" + name + "/" + it.key());
        if (!got.open(QIODevice::ReadOnly) || got.readAll() != it.value())
            return QStringLiteral("NZBGet did not fetch %1 whole from %2\n%3")
                .arg(it.key(), nzb, output);
    }
    return QString();
}

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray b(size, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (char& c : b) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 23);
    }
    return b;
}

bool writeFile(const QString& path, const QByteArray& bytes, QIODevice::OpenMode mode)
{
    QFile f(path);
    return f.open(mode) && f.write(bytes) == bytes.size();
}

} // namespace

void TestCliWatch::refusesWhatItCannotWatch_data()
{
    QTest::addColumn<QStringList>("args"); // "DIR" stands for a folder that exists
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");
    QTest::newRow("no folder") << QStringList{"DIR/none", "--group", "quorvel.test"} << 1
                               << "DIR/none: no such folder";
    QTest::newRow("a file") << QStringList{"DIR/file", "--group", "quorvel.test"} << 1
                            << "DIR/file: no such folder";
    QTest::newRow("no group") << QStringList{"DIR"} << 2 << "needs at least one --group";
    QTest::newRow("settle not a number")
        << QStringList{"DIR", "--group", "quorvel.test", "--settle", "soon"} << 2
        << "--settle takes a number of seconds";
    QTest::newRow("posted neither") << QStringList{"DIR", "--group", "g", "--posted", "delete"} << 2
                                    << "--posted takes move or remember, not 'delete'";
}

void TestCliWatch::refusesWhatItCannotWatch()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, message);
    TCliProcess cli;
    QVERIFY(writeFile(cli.Dir() + "/file", "x", QIODevice::WriteOnly));
    args.replaceInStrings("DIR", cli.Dir());
    const auto r = cli.Run(QStringList{"watch"} + args, 20000);
    QCOMPARE(r.ExitCode, status);
    QVERIFY2(r.Err.contains(message.replace("DIR", cli.Dir())), qPrintable(r.Err));
}

void TestCliWatch::postsEachItemOnceAfterItSettles()
{
    TCliProcess cli;
    QCOMPARE(cli.SetServer(m_inn.Server()).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "CheckAfterPost", "0"}).ExitCode, 0);
    const QString drop = cli.Dir() + "/drop";
    QVERIFY(QDir().mkpath(drop));
    TWatch w = startWatch(cli, {drop, "--group", "quorvel.test", "--settle", "1.5", "--lines",
                                "100", "--encoding", "yenc"});
    QVERIFY2(waitFor(w, "Watching " + drop), qPrintable(w.Err));

    // Files dropped one by one.
    QMap<QString, QMap<QString, QByteArray>> items; // item -> its files
    items["first.bin"]["first.bin"] = randomBytes(30000, 1);
    items["second.bin"]["second.bin"] = randomBytes(5000, 2);
    for (const QString& name : {QStringLiteral("first.bin"), QStringLiteral("second.bin")}) {
        QVERIFY(writeFile(drop + "/" + name, items[name][name], QIODevice::WriteOnly));
        QVERIFY2(waitFor(w, "Posted " + drop + "/" + name + ", moved to"), qPrintable(w.Err));
    }

    // A folder copied slowly and a file written in pieces: a piece every 0.5 s for 4 s, less
    // than the settle time apart, so neither may be posted before its last piece.
    QVERIFY(QDir().mkpath(drop + "/album"));
    items["album"]["track1.bin"] = randomBytes(12000, 3);
    items["album"]["track2.bin"] = randomBytes(9000, 4);
    items["growing.bin"]["growing.bin"] = randomBytes(16000, 5);
    int piece = 0;
    bool written = false;
    const auto slice = [](const QByteArray& all, int k, int of) {
        return all.mid(k * all.size() / of, (k + 1) * all.size() / of - k * all.size() / of);
    };
    QTimer writer;
    connect(&writer, &QTimer::timeout, this, [&] {
        const int k = piece++;
        writeFile(drop + "/growing.bin", slice(items["growing.bin"]["growing.bin"], k, 8),
                  QIODevice::Append);
        const QString track = k < 4 ? "track1.bin" : "track2.bin";
        writeFile(drop + "/album/" + track, slice(items["album"][track], k % 4, 4),
                  QIODevice::Append);
        if (piece == 8) {
            writer.stop();
            written = true;
        }
    });
    const qsizetype mark = w.Err.size();
    writer.start(500);
    QVERIFY2(waitFor(w, "Posting " + drop + "/", mark), qPrintable(w.Err));
    QVERIFY2(written, "an item was posted while it was still being written");
    QVERIFY2(waitFor(w, "Posted " + drop + "/album, moved to"), qPrintable(w.Err));
    QVERIFY2(waitFor(w, "Posted " + drop + "/growing.bin, moved to"), qPrintable(w.Err));
    QCOMPARE(stop(w), 130);

    // Each file is on the server once, whole, and NZBGet fetches each item by its NZB.
    for (auto item = items.cbegin(); item != items.cend(); ++item)
        for (auto file = item->cbegin(); file != item->cend(); ++file) {
            QVERIFY2(QFile::exists(drop + "/posted/" + item.key()), qPrintable(item.key()));
            const QString wrong = postedOnce(file.key());
            QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        }
    for (auto item = items.cbegin(); item != items.cend(); ++item) {
        const QString nzb = cli.Home() + "/nzb/" + item.key() + ".nzb";
        QVERIFY2(QFile::exists(nzb), qPrintable(nzb + "\n" + w.Out));
        const QString wrong = nzbgetFetches(nzb, item.key(), item.value());
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    }
    QCOMPARE(QDir(drop).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"posted"});
}

void TestCliWatch::sigtermMidPostThenRestartPostsNothingTwice()
{
    TCliProcess cli;
    QCOMPARE(cli.SetServer(m_inn.Server()).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "CheckAfterPost", "0"}).ExitCode, 0);
    // Slow enough to be stopped half-way: 300 KB at 40 KB a second.
    QCOMPARE(cli.Run({"profile", "set", "SpeedLimit", "40"}).ExitCode, 0);
    const QString drop = cli.Dir() + "/drop";
    QVERIFY(QDir().mkpath(drop));
    const QByteArray big = randomBytes(300000, 7);
    QVERIFY(writeFile(drop + "/big.bin", big, QIODevice::WriteOnly));
    const QStringList args = {drop,  "--group",    "quorvel.test", "--settle", "0.3",     "--lines",
                              "100", "--encoding", "yenc",         "--posted", "remember"};
    TWatch first = startWatch(cli, args + QStringList{"--json"});
    QVERIFY2(waitFor(first, "\"part_accepted\""), qPrintable(first.Err));
    QCOMPARE(stop(first), 130);
    QVERIFY2(!first.Out.contains("\"file_ended\""), "the file was through before SIGTERM");

    TWatch second = startWatch(cli, args);
    QVERIFY2(waitFor(second, "Resuming the tasks left"), qPrintable(second.Err));
    QVERIFY2(waitFor(second, "Posted " + drop + "/big.bin\n"), qPrintable(second.Err));
    // A later item shows that the folder was looked at again after the resume.
    QVERIFY(writeFile(drop + "/small.bin", randomBytes(1000, 8), QIODevice::WriteOnly));
    QVERIFY2(waitFor(second, "Posted " + drop + "/small.bin"), qPrintable(second.Err));
    QCOMPARE(stop(second), 130);

    QVERIFY2(!second.Err.contains("Posting " + drop + "/big.bin ("), "big.bin was posted again");
    const QString wrong = postedOnce("big.bin");
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
    QVERIFY(QFile::exists(drop + "/big.bin")); // remembered, not moved
    const QString nzbLine = second.Out.section("NZB: ", 1, 1).section(u'\n', 0, 0);
    QVERIFY2(!nzbLine.isEmpty(), qPrintable(second.Out));
    const QString fetched =
        nzbgetFetches(nzbLine, QFileInfo(nzbLine).completeBaseName(), {{"big.bin", big}});
    QVERIFY2(fetched.isEmpty(), qPrintable(fetched));
}

QTEST_GUILESS_MAIN(TestCliWatch)
#include "tst_cli_watch.moc"
