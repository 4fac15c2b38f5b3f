// The data files of the real quorvel-cli under hostile conditions: killed with SIGKILL at
// random moments while it saves the settings, the newsrc and the task file, each file is
// afterwards the one before or the one after, byte for byte, and the program starts again;
// a full or read-only data folder gives a message naming the file and leaves it as it was;
// no new file is created through a link planted where it goes.
#include "CliProcess.h"
#include "SmallDisk.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <functional>

class TestCliFiles : public QObject
{
    Q_OBJECT

private slots:
    void settingsSurviveKills();
    void newsrcSurvivesKills();
    void taskFileSurvivesKills();
    void fullOrReadOnlyFolderKeepsTheFiles();
    void plantedLinksAreNotFollowed();

private:
    // A run that changes the file: its arguments and the file it leaves, from the file now.
    struct TChange
    {
        std::function<QStringList(const QByteArray&)> args;
        std::function<QByteArray(const QByteArray&)> after;
    };

    static constexpr int KillsPerFile = 70;

    using TReader = QByteArray (*)(const QString&);
    static QByteArray contents(const QString& path);
    // The settings file with the scrambled passwords left out: each save scrambles them anew.
    static QByteArray settingsContents(const QString& path);
    // The task file with each upload's batch id left out: every post makes a new one.
    static QByteArray taskContents(const QString& path);
    // Arguments of a post whose server refuses the connection, so its task is saved.
    static QStringList refusedPost(const TCliProcess& cli);
    static qint64 runMicroseconds(const TCliProcess& cli, const QStringList& args);
    static void killRepeatedly(const TCliProcess& cli, const QString& file, const TChange& change,
                               TReader read = contents);
    // Flips the file between the two states the runs a and b leave.
    static TChange flip(const TCliProcess& cli, const QString& file, const QStringList& a,
                        const QStringList& b, TReader read = contents);
};

QByteArray TestCliFiles::contents(const QString& path)
{
    return TestFiles::Read(path, "(missing)");
}

QByteArray TestCliFiles::settingsContents(const QString& path)
{
    QByteArray kept;
    for (const QByteArray& line : contents(path).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        kept += (equals > 0 && line.left(equals).endsWith("Password") ? line.left(equals) : line) +
                '\n';
    }
    return kept;
}

QByteArray TestCliFiles::taskContents(const QString& path)
{
    static const QRegularExpression batch(QStringLiteral(",\\d{8}-\\d{6}-[a-z2-7]{6}\r\n"));
    return QString::fromUtf8(contents(path)).replace(batch, QStringLiteral("\r\n")).toUtf8();
}

qint64 TestCliFiles::runMicroseconds(const TCliProcess& cli, const QStringList& args)
{
    QElapsedTimer timer;
    timer.start();
    cli.Run(args);
    return timer.nsecsElapsed() / 1000;
}

TestCliFiles::TChange TestCliFiles::flip(const TCliProcess& cli, const QString& file,
                                         const QStringList& a, const QStringList& b, TReader read)
{
    cli.Run(a);
    const QByteArray stateA = read(file);
    cli.Run(b);
    const QByteArray stateB = read(file);
    if (stateA == stateB)
        qWarning() << a << "and" << b << "leave the same file";
    return {[=](const QByteArray& now) { return now == stateA ? b : a; },
            [=](const QByteArray& now) { return now == stateA ? stateB : stateA; }};
}

void TestCliFiles::killRepeatedly(const TCliProcess& cli, const QString& file,
                                  const TChange& change, TReader read)
{
    // Kills fall anywhere in the time a whole run takes, start-up included.
    const QByteArray first = read(file);
    const qint64 span = qMax<qint64>(runMicroseconds(cli, change.args(first)), 1000);
    QVERIFY2(read(file) == change.after(first), "an uninterrupted run gives the new file");

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill moments from seed %u, up to %lld us", seed, span);
    QRandomGenerator random(seed);
    int kills = 0;
    for (int attempt = 0; kills < KillsPerFile && attempt < 4 * KillsPerFile; ++attempt) {
        const QByteArray before = read(file);
        const QByteArray after = change.after(before);
        const std::unique_ptr<QProcess> p = cli.Start(change.args(before));
        QThread::usleep(random.bounded(quint64(span)));
        if (p->state() == QProcess::Running && ::kill(pid_t(p->processId()), SIGKILL) == 0)
            ++kills;
        p->waitForFinished();
        const QByteArray now = read(file);
        QVERIFY2(now == before || now == after,
                 qPrintable(QStringLiteral("after kill %1 %2 is neither the old file (%3 bytes) "
                                           "nor the new (%4 bytes): %5 bytes")
                                .arg(kills)
                                .arg(file)
                                .arg(before.size())
                                .arg(after.size())
                                .arg(now.size())));
        const auto shown = cli.Run({"profile", "show"});
        QVERIFY2(shown.ExitCode == 0, qPrintable(shown.Err));
    }
    QCOMPARE(kills, KillsPerFile);
}

void TestCliFiles::settingsSurviveKills()
{
    TCliProcess cli;
    killRepeatedly(cli, cli.SettingsFile(),
                   flip(cli, cli.SettingsFile(), {"profile", "set", "Host", "news.one.example"},
                        {"profile", "set", "Host", "news.two.example:119"}, settingsContents),
                   settingsContents);
}

void TestCliFiles::newsrcSurvivesKills()
{
    TCliProcess cli;
    QByteArray list;
    QStringList groups;
    for (int i = 0; i < 200; ++i) {
        groups << QStringLiteral("alt.kill.group%1").arg(i);
        list += groups.last().toUtf8() + "! 1-" + QByteArray::number(i) + '\n';
    }
    QCOMPARE(cli.ImportGroups(list).ExitCode, 0);
    const QString newsrc = cli.Home() + QStringLiteral("/newsrc.Default");
    killRepeatedly(cli, newsrc,
                   flip(cli, newsrc, QStringList{"groups", "subscribe"} + groups,
                        QStringList{"groups", "unsubscribe"} + groups));
}

QStringList TestCliFiles::refusedPost(const TCliProcess& cli)
{
    cli.SetServer("127.0.0.1:1");
    cli.ImportGroups("alt.kill: 1-10\nalt.other: 1-5\n");
    const QString file = cli.Dir() + QStringLiteral("/killed.txt");
    QFile f(file);
    if (f.open(QIODevice::WriteOnly))
        f.write("a file that is never posted\n");
    return {"post", file, "--group", "alt.kill"};
}

void TestCliFiles::taskFileSurvivesKills()
{
    // Each post leaves its task in the file, after the tasks saved there before.
    TCliProcess cli;
    const QStringList post = refusedPost(cli);
    cli.Run(post);
    const QByteArray once = taskContents(cli.TaskFile());
    cli.Run(post);
    const QByteArray twice = taskContents(cli.TaskFile());
    QVERIFY2(twice.startsWith(once) && twice.size() > once.size(), twice.constData());
    const QByteArray added = twice.mid(once.size());
    killRepeatedly(cli, cli.TaskFile(),
                   {[=](const QByteArray&) { return post; },
                    [=](const QByteArray& now) { return now + added; }},
                   taskContents);
}

void TestCliFiles::fullOrReadOnlyFolderKeepsTheFiles()
{
    TCliProcess cli;
    TSmallDisk disk(cli.Home());
    QString why;
    if (!disk.Mount(512, &why))
        QSKIP(qPrintable(QStringLiteral("no small disk for the data folder: ") + why));
    const QStringList post = refusedPost(cli);
    QCOMPARE(cli.Run(post).ExitCode, 1);
    const QString newsrc = cli.Home() + QStringLiteral("/newsrc.Default");
    const QByteArray tasks = contents(cli.TaskFile());
    const QByteArray groups = contents(newsrc);
    QVERIFY(tasks.contains("killed.txt"));

    // Not even the queue's lock can be written there: nothing is queued.
    QVERIFY2(disk.Fill(&why), qPrintable(why));
    const auto full = cli.Run(post);
    QCOMPARE(full.ExitCode, 1);
    QVERIFY2(full.Err.contains(QLatin1String("qvqueue.lock cannot be made: the disk is full")),
             qPrintable(full.Err));
    QCOMPARE(contents(cli.TaskFile()), tasks);

    QVERIFY2(disk.MakeReadOnly(&why), qPrintable(why));
    const auto readOnly = cli.Run(post);
    QCOMPARE(readOnly.ExitCode, 1);
    QVERIFY2(readOnly.Err.contains(QLatin1String("qvqueue.lock cannot be written")),
             qPrintable(readOnly.Err));
    for (const QStringList& change :
         {QStringList{"groups", "unsubscribe", "alt.kill"},
          QStringList{"groups", "unsubscribe", "alt.kill", "alt.other"}}) {
        const auto r = cli.Run(change);
        QCOMPARE(r.ExitCode, 1);
        QVERIFY2(r.Err.contains(newsrc), qPrintable(r.Err));
    }
    QCOMPARE(contents(cli.TaskFile()), tasks);
    QCOMPARE(contents(newsrc), groups);
    QCOMPARE(cli.Run({"tasks", "show"}).ExitCode, 0);
}

void TestCliFiles::plantedLinksAreNotFollowed()
{
    // A save writes a new file under a random name beside the old one and renames it over
    // that; a link planted at such a name cannot be predicted, and must not be followed
    // either: each name is made by link(2) of an unnamed file or by an exclusive open, and
    // both fail on any name that exists, a link included. strace shows the calls.
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        QSKIP("strace is not installed");
    TCliProcess cli;
    const QStringList post = refusedPost(cli);
    cli.Run(post); // so that the next save replaces the task file
    const QString trace = cli.Dir() + QStringLiteral("/trace");
    cli.SetWrapper({QStringLiteral("strace"), QStringLiteral("-f"), QStringLiteral("-qq"),
                    QStringLiteral("-e"), QStringLiteral("trace=open,openat,creat,linkat,rename"),
                    QStringLiteral("-o"), trace});
    const QString newsrc = cli.Home() + QStringLiteral("/newsrc.Default");
    const QList<QPair<QStringList, QString>> saves{
        {{"profile", "set", "Host", "127.0.0.2:1"}, cli.SettingsFile()},
        {{"groups", "unsubscribe", "alt.kill", "alt.other"}, newsrc},
        {post, cli.TaskFile()}};
    for (const auto& [args, file] : saves) {
        cli.Run(args);
        QFile log(trace);
        QVERIFY2(log.open(QIODevice::ReadOnly), "strace wrote no trace");
        const QString calls = QString::fromUtf8(log.readAll());
        const QRegularExpression renamed(QStringLiteral("rename\\(\"(%1\\.[^\"]+)\", \"%1\"\\) = 0")
                                             .arg(QRegularExpression::escape(file)));
        const QRegularExpressionMatch match = renamed.match(calls);
        QVERIFY2(match.hasMatch(),
                 qPrintable(file + QStringLiteral(" was not replaced:\n") + calls));
        const QString temporary = QRegularExpression::escape(match.captured(1));
        const QRegularExpression made(
            QStringLiteral("linkat\\([^\n]*\"%1\", AT_SYMLINK_FOLLOW\\) = 0|"
                           "open(at)?\\([^\n]*\"%1\", [^\n]*O_CREAT\\|O_EXCL")
                .arg(temporary));
        QVERIFY2(
            made.match(calls).hasMatch(),
            qPrintable(match.captured(1) + QStringLiteral(" not made exclusively:\n") + calls));
    }
}

QTEST_GUILESS_MAIN(TestCliFiles)
#include "tst_cli_files.moc"
