// Recovery files posted with an upload, against the real peers: our creator makes the set, INN
// takes it, and NZBGet repairs a post that lost articles on the server with it. Failures to
// make the set and an Abort while it is made post nothing and leave no files.
#include "InnServer.h"
#include "PeerTools.h"
#include "PostedArticles.h"
#include "SmallDisk.h"
#include "TestFiles.h"
#include "UploadFixture.h"
#include "tasks/TaskFields.h"
#include "upload/BatchAccount.h"
#include "upload/NzbFile.h"
#include "upload/SubjectLine.h"

#include <QDir>
#include <QDirIterator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

namespace {

constexpr QByteArrayView Group = "quorvel.bulk.0000001";

QByteArray randomBytes(qint64 size, quint32 seed)
{
    return TestFiles::Random(size, seed);
}

// par2 processes this one started and has not reaped.
int par2Children()
{
    int count = 0;
    const QString self = QString::number(QCoreApplication::applicationPid());
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QString line = QString::fromLatin1(stat.readAll());
        const qsizetype close = line.lastIndexOf(')');
        const QStringList rest = line.mid(close + 2).split(' ');
        count += line.contains("(par2)") && rest.value(1) == self;
    }
    return count;
}

// The tasks the task file holds.
QList<TTask> savedTasks(const UploadFixture& f)
{
    QList<TTask> tasks;
    TaskLine::TSplitError error;
    const auto records = TaskLine::Split(QString::fromUtf8(f.fileBytes()), 1, &error);
    for (qsizetype i = 1; records && i < records->size(); ++i) {
        QString why;
        if (const auto task = TaskLine::Read(records->at(i).Text, &why))
            tasks << *task;
    }
    return tasks;
}

} // namespace

class TestUploadPar2 : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void nzbgetRepairsAYEncPost();
    void uuencodedPostRepairedWithPar2();
    void abortStopsTheMakingAndKeepsTheTask();
    void failuresPostNothing_data();
    void failuresPostNothing();
    void failureAfterThePostIsNoSuccess();

private:
    TTask recoveryTask(UploadFixture& f, const QString& path, const QString& subject,
                       const QString& recovery) const;
    // Runs the event loop until the queue is through, for up to seconds.
    static bool runQueue(UploadFixture& f, int seconds);
    static bool waitUntil(UploadFixture&, const std::function<bool()>& done, int seconds)
    {
        return RunUntil(done, seconds * 1000);
    }
    QString runNzbget(const QString& dir, const QString& nzb, const QStringList& options = {});
    // Cancels the parts of the NZB's first file on the server.
    void cancelParts(const QString& nzb, const QList<int>& parts);

    TInnServer m_inn;
    QTemporaryDir m_work;
};

void TestUploadPar2::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    if (QStandardPaths::findExecutable("par2").isEmpty())
        QSKIP("par2 is not installed (scripts/install-deps.sh)");
    TInnServer::TOptions options;
    options.Groups = 1;
    QString error;
    QVERIFY2(m_inn.Start(options, &error), qPrintable(error));
}

void TestUploadPar2::cleanupTestCase()
{
    m_inn.Stop();
}

TTask TestUploadPar2::recoveryTask(UploadFixture& f, const QString& path, const QString& subject,
                                   const QString& recovery) const
{
    TTask t = f.upload(path, m_inn.Server(), 3000, QString::fromLatin1(Group));
    const TUploadFields<TTask> upload = UploadFields(t);
    upload.YEnc = true;
    upload.SubjectParts = CommaText::Write({TSubjectLine::YEncTemplate(), subject, path});
    upload.Batch = subject;
    upload.Recovery = recovery;
    return t;
}

bool TestUploadPar2::runQueue(UploadFixture& f, int seconds)
{
    return waitUntil(
        f,
        [&] { return f.list.IsEmpty() && !f.list.RunnerBusy() && !f.poster.Account().Checking(); },
        seconds);
}

QString TestUploadPar2::runNzbget(const QString& dir, const QString& nzb,
                                  const QStringList& options)
{
    PeerTools::WriteFile(dir + "/nzbget.conf", PostedArticles::NzbgetConf(dir, m_inn.Port()));
    // On a connection failure nzbget retries for ever: timeout ends it.
    QString output;
    PostedArticles::RunTool("timeout",
                            QStringList{"300", "nzbget", "-c", dir + "/nzbget.conf"} + options +
                                QStringList{nzb},
                            &output);
    return output;
}

void TestUploadPar2::cancelParts(const QString& nzb, const QList<int>& parts)
{
    QString error;
    const auto listed = NzbFile::Read(PeerTools::ReadFile(nzb), &error);
    QVERIFY2(listed && !listed->isEmpty(), qPrintable(error));
    for (int part : parts) {
        const QString id = listed->first().Segments.at(part - 1).MessageId;
        QVERIFY2(m_inn.CancelArticle("<" + id + ">", &error), qPrintable(error));
    }
}

void TestUploadPar2::nzbgetRepairsAYEncPost()
{
    if (!PeerTools::Have(QStringLiteral("nzbget")))
        QSKIP("nzbget is not installed (apt-get install nzbget)");
    UploadFixture f;
    const QString dir = m_work.filePath("yenc");
    QVERIFY(QDir().mkpath(dir));
    f.state.Settings.NzbFolder = dir;
    const QString name = QStringLiteral("repairable.bin");
    const QByteArray bytes = randomBytes(20 << 20, 21);
    QSignalSpy written(&f.poster.Account(), &TBatchAccount::NzbWritten);
    const QString path = f.write(name, bytes);
    f.list.Add(recoveryTask(f, path, "R", "10,0,0"));
    QVERIFY(runQueue(f, 600));
    QCOMPARE(f.view.Warnings, QStringList());
    // The set was made from the posting's own reads: the file was read once.
    QVERIFY(f.logged("Recovery files of " + path + " made from the bytes posted: 9 files in " +
                     f.poster.Recovery().FolderFor(recoveryTask(f, path, "R", "10,0,0"))));

    // The making's progress was shown, and its files are gone with the task.
    const QRegularExpression making("^Creating recovery files \\d+%$");
    QVERIFY(!f.view.StatusTexts.filter(making).isEmpty());
    QVERIFY(!QFileInfo::exists(f.state.DataFile("recovery")));

    // The NZB lists the file, then its recovery files, each under its own name.
    QCOMPARE(written.size(), 1);
    QString error;
    const auto listed = NzbFile::Read(PeerTools::ReadFile(dir + "/R.nzb"), &error);
    QVERIFY2(listed && listed->size() > 2, qPrintable(error));
    QVERIFY(listed->first().Subject.startsWith("R - \"" + name + "\" yEnc (1/55)"));
    QCOMPARE(listed->first().Segments.size(), 55); // 384,000 bytes a part
    QVERIFY(listed->at(1).Subject.startsWith("R - \"" + name + ".par2\" yEnc (1/1)"));
    for (qsizetype i = 2; i < listed->size(); ++i)
        QVERIFY2(listed->at(i).Subject.contains("R - \"" + name + ".vol"),
                 qPrintable(listed->at(i).Subject));

    // Three articles of the file go missing on the server.
    cancelParts(dir + "/R.nzb", {10, 30, 50});
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, "\"" + name.toUtf8() + "\"").size(), 52);

    const QString output = runNzbget(dir, dir + "/R.nzb");
    QVERIFY2(output.contains("Successfully repaired"), qPrintable(output));
    QVERIFY2(PeerTools::ReadFile(dir + "/dst/R/" + name) == bytes, qPrintable(output));

    // The set read back from the server checks the file.
    const QList<TNntpReader::TArticle> set =
        PostedArticles::Fetch(m_inn.Port(), Group, ".par2\" yEnc");
    QStringList files;
    for (qsizetype k = 0; k < set.size(); ++k) {
        files << m_work.filePath(QStringLiteral("set.article%1").arg(k));
        PeerTools::WriteFile(files.last(), PostedArticles::Text(set[k]));
    }
    const QString back = m_work.filePath("read-back");
    QVERIFY(QDir().mkpath(back));
    QString decoded;
    PostedArticles::RunTool("uudeview", QStringList{"-i", "-q", "-p", back + "/"} + files,
                            &decoded);
    PeerTools::WriteFile(back + "/" + name, bytes);
    QString verified;
    QCOMPARE(PostedArticles::RunTool("par2", {"verify", back + "/" + name + ".par2"}, &verified),
             0);
    QVERIFY2(verified.contains("All files are correct"), qPrintable(verified));
}

void TestUploadPar2::uuencodedPostRepairedWithPar2()
{
    if (!PeerTools::Have(QStringLiteral("nzbget")))
        QSKIP("nzbget is not installed (apt-get install nzbget)");
    UploadFixture f;
    const QString dir = m_work.filePath("uu");
    QVERIFY(QDir().mkpath(dir));
    f.state.Settings.NzbFolder = dir;
    const QString name = QStringLiteral("mendable.bin");
    const QByteArray bytes = randomBytes(8 << 20, 22);
    TTask t = recoveryTask(f, f.write(name, bytes), "U", "10,0,0");
    UploadFields(t).YEnc = false;
    f.list.Add(t);
    QVERIFY(runQueue(f, 600));
    QCOMPARE(f.view.Warnings, QStringList());
    cancelParts(dir + "/U.nzb", {10, 30, 50});

    // NZBGet 21 cannot decode uuencoded articles: it fetches them whole, recovery files too.
    const QString output =
        runNzbget(dir, dir + "/U.nzb", {"-o", "RawArticle=yes", "-o", "ParCheck=force"});
    QStringList articles;
    QDirIterator it(dir + "/inter", QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        articles << it.next();
    QVERIFY2(articles.size() > 60, qPrintable(output));
    const QString out = m_work.filePath("uu-decoded");
    QVERIFY(QDir().mkpath(out));
    QString decoded;
    PostedArticles::RunTool("uudeview", QStringList{"-i", "-d", "-q", "-p", out + "/"} + articles,
                            &decoded);
    QVERIFY2(PeerTools::ReadFile(out + "/" + name) != bytes, qPrintable(decoded));
    QString repaired;
    QCOMPARE(
        PostedArticles::RunTool("par2", {"repair", "-q", out + "/" + name + ".par2"}, &repaired),
        0);
    QVERIFY2(PeerTools::ReadFile(out + "/" + name) == bytes, qPrintable(repaired));
}

void TestUploadPar2::abortStopsTheMakingAndKeepsTheTask()
{
    UploadFixture f;
    const QString name = QStringLiteral("aborted.bin");
    f.list.Add(recoveryTask(f, f.write(name, randomBytes(16 << 20, 5)), "A", "40,0,0"));
    // The file is posted while its set is made, the window going on: progress arrives through
    // the event loop. No par2 program runs for the set.
    QVERIFY(waitUntil(
        f, [&] { return !f.view.Progress.isEmpty() && f.view.Progress.last() > 0; }, 120));
    QCOMPARE(par2Children(), 0);
    QVERIFY(QFileInfo::exists(f.poster.Recovery().FolderFor(f.list.Head())));

    f.runner.Abort();
    QVERIFY(!QFileInfo::exists(f.state.DataFile("recovery")));
    QVERIFY(f.list.IsEmpty());
    QVERIFY(NothingMoreAfter([&] { return !f.client.Connected(); }));
    // Nothing of the set went out.
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, (name + ".par2").toUtf8()).size(), 0);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, (name + ".vol").toUtf8()).size(), 0);
    // The task is kept with its setting, so that run again it makes the same set.
    const QList<TTask> saved = savedTasks(f);
    QCOMPARE(saved.size(), 1);
    QCOMPARE(UploadFields(saved.first()).Recovery, QStringLiteral("40,0,0"));
}

void TestUploadPar2::failuresPostNothing_data()
{
    QTest::addColumn<bool>("blocked"); // a file where the recovery folder goes
    QTest::addColumn<int>("diskKB");   // a data folder this small; 0: as it is
    QTest::addColumn<QString>("message");
    QTest::newRow("folder blocked") << true << 0 << "Cannot make the folder ";
    QTest::newRow("no room") << false << 512 << "Not enough room in ";
}

void TestUploadPar2::failuresPostNothing()
{
    QFETCH(bool, blocked);
    QFETCH(int, diskKB);
    QFETCH(QString, message);
    UploadFixture f;
    QFile block(f.state.DataFile("recovery"));
    QVERIFY(!blocked || block.open(QIODevice::WriteOnly));
    TSmallDisk disk(f.state.DataFile("recovery"));
    if (diskKB > 0) {
        QString why;
        QVERIFY(QDir().mkpath(f.state.DataFile("recovery")));
        if (!disk.Mount(diskKB, &why))
            QSKIP(qPrintable(why));
    }
    const QString name = QString(QTest::currentDataTag()).replace(' ', '-') + ".bin";
    const TTask task = recoveryTask(f, f.write(name, randomBytes(4 << 20, 9)), "F", "10,0,0");
    f.list.Add(task);
    QVERIFY(runQueue(f, 300));

    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().contains(message), qPrintable(f.view.Warnings.first()));
    if (diskKB > 0) // names the folder and the size
        QVERIFY2(f.view.Warnings.first().contains(QRegularExpression(" \\d+ MB needed")),
                 qPrintable(f.view.Warnings.first()));
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, name.toUtf8()).size(), 0);
    QCOMPARE(savedTasks(f), QList<TTask>{task});
    QCOMPARE(QDir(f.state.DataFile("recovery")).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList());
}

void TestUploadPar2::failureAfterThePostIsNoSuccess()
{
    UploadFixture f;
    const QString folder = f.state.DataFile("recovery");
    QVERIFY(QDir().mkpath(folder));
    auto disk = std::make_unique<TSmallDisk>(folder);
    QString why;
    if (!disk->Mount(8192, &why))
        QSKIP(qPrintable(why));
    const QString name = QStringLiteral("unprotected.bin");
    const QString path = f.write(name, randomBytes(4 << 20, 13));
    const TTask task = recoveryTask(f, path, "L", "10,0,0");
    // The disk turns read-only once the file's first part is on the server: the set, made from
    // the reads of the parts, cannot be written before the last part is read.
    bool readOnly = false;
    connect(&f.poster, &TUploadPoster::PartAccepted, &f.poster,
            [&] { readOnly = readOnly || disk->MakeReadOnly(&why); });
    f.list.Add(task);
    QVERIFY(runQueue(f, 300));
    QVERIFY2(readOnly, qPrintable(why));

    // The user is told what was posted and what failed; the task is kept, not through.
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY2(f.view.Warnings.first().startsWith("The file " + path +
                                                " was posted, but its recovery files could not "
                                                "be made: Cannot "),
             qPrintable(f.view.Warnings.first()));
    QCOMPARE(savedTasks(f), QList<TTask>{task});
    const QByteArray quoted = "\"" + name.toUtf8() + "\"";
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, quoted).size(), 11);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, (name + ".par2").toUtf8()).size(), 0);

    // Run again with room: the set is made and posted, the file's articles not again.
    disk.reset();
    f.list.Add(task);
    QVERIFY(runQueue(f, 300));
    QCOMPARE(f.view.Warnings.size(), 1);
    QVERIFY(f.logged("Posted before: " + path));
    // Reading past the parts taken before, in order, fed the set.
    QCOMPARE(f.session.Lines()
                 .filter("Recovery files of " + path + " made from the bytes posted")
                 .size(),
             1);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, quoted).size(), 11);
    QCOMPARE(PostedArticles::Fetch(m_inn.Port(), Group, (name + ".par2").toUtf8()).size(), 1);
}

QTEST_GUILESS_MAIN(TestUploadPar2)
#include "tst_upload_par2.moc"
