// Recovery files made with our own creator and checked with the real par2cmdline: a set that
// repairs a damaged copy, its progress, Cancel, names taken literally, and the failures that
// must leave nothing behind.
#include "RunUntil.h"
#include "TestFiles.h"
#include "upload/Par2Maker.h"
#include "upload/RecoverySetting.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

QByteArray randomBytes(qsizetype size)
{
    return TestFiles::Random(size, 7);
}

bool writeFile(const QString& path, const QByteArray& data)
{
    return TestFiles::Write(path, data);
}

int runPar2(const QStringList& args, const QString& folder)
{
    QProcess par2;
    par2.setWorkingDirectory(folder);
    par2.start("par2", args);
    par2.waitForFinished(120000);
    return par2.exitCode();
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void setRepairsADamagedCopy();
    void cancelEndsTheProcessAndRemovesItsFiles();
    void failuresLeaveNothing();
    void namesAreTakenLiterally_data();
    void namesAreTakenLiterally();
    void sizeLimitKeepsEachFileWithin();
    void taskFieldReadsOnlyWhatTheSettingTakes();
};

void TestRecovery::initTestCase()
{
    if (QStandardPaths::findExecutable("par2").isEmpty())
        QSKIP("par2 is not installed (scripts/install-deps.sh)");
}

void TestRecovery::setRepairsADamagedCopy()
{
    QTemporaryDir dir;
    const QByteArray data = randomBytes(600 * 1024);
    QVERIFY(writeFile(dir.filePath("photo.jpg"), data));
    TPar2Maker maker;
    QSignalSpy progress(&maker, &TPar2Maker::Progress);
    QSignalSpy finished(&maker, &TPar2Maker::Finished);
    maker.Start({dir.filePath("photo.jpg"), dir.filePath("work"), 10, 2});
    QVERIFY(finished.wait(120000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));

    QCOMPARE(maker.Files().size(), 3);
    QCOMPARE(QFileInfo(maker.Files().first()).fileName(), QString("photo.jpg.par2"));
    QVERIFY(QFileInfo(maker.Files().at(1)).fileName().startsWith("photo.jpg.vol"));
    QCOMPARE(progress.first().at(0).toInt(), 0);
    QCOMPARE(progress.last().at(0).toInt(), 100);
    QCOMPARE(progress.last().at(1).toString(), QString("Creating recovery files"));
    for (qsizetype i = 1; i < progress.size(); ++i)
        QVERIFY(progress.at(i).at(0).toInt() >= progress.at(i - 1).at(0).toInt());

    // A downloader has the set and a damaged copy of the file beside it: par2 mends it.
    const QString work = dir.filePath("work");
    QByteArray damaged = data;
    for (int i = 0; i < 20000; ++i)
        damaged[100000 + i] = char(~damaged[100000 + i]);
    QVERIFY(writeFile(work + "/photo.jpg", damaged));
    QVERIFY(runPar2({"verify", "photo.jpg.par2"}, work) != 0);
    QCOMPARE(runPar2({"repair", "photo.jpg.par2"}, work), 0);
    QFile repaired(work + "/photo.jpg");
    QVERIFY(repaired.open(QIODevice::ReadOnly));
    QVERIFY(repaired.readAll() == data);

    maker.RemoveFiles();
    QCOMPARE(QDir(work).entryList({"*.par2"}, QDir::Files), QStringList());
}

void TestRecovery::cancelEndsTheProcessAndRemovesItsFiles()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("big.bin"), randomBytes(24 << 20)));
    TPar2Maker maker;
    QSignalSpy progress(&maker, &TPar2Maker::Progress);
    QSignalSpy finished(&maker, &TPar2Maker::Finished);
    maker.Start({dir.filePath("big.bin"), dir.filePath("work"), 30, 0});
    QVERIFY(maker.IsRunning());
    QVERIFY(progress.wait(60000)); // the creator is at work
    maker.Cancel();
    QVERIFY(!maker.IsRunning());
    QVERIFY(NothingMoreAfter([&] { return !maker.IsRunning(); }));
    QCOMPARE(finished.size(), 0);
    QCOMPARE(QDir(dir.filePath("work")).entryList(QDir::Files), QStringList());
}

void TestRecovery::failuresLeaveNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("data.bin"), "some data"));
    struct TCase
    {
        QString file, work, error;
    };
    const QList<TCase> cases = {
        {"missing.bin", "work", "Cannot read " + dir.filePath("missing.bin")},
        {"data.bin", "data.bin/work", "Cannot make the folder " + dir.filePath("data.bin/work")},
    };
    for (const TCase& c : cases) {
        TPar2Maker maker;
        QSignalSpy finished(&maker, &TPar2Maker::Finished);
        maker.Start({dir.filePath(c.file), dir.filePath(c.work), 10, 0});
        QVERIFY(finished.size() == 1 || finished.wait(60000));
        QVERIFY(!finished.first().at(0).toBool());
        QVERIFY2(finished.first().at(1).toString().contains(c.error),
                 qPrintable(finished.first().at(1).toString()));
        QVERIFY(maker.Files().isEmpty());
        QCOMPARE(QDir(dir.path()).entryList({"*.par2"}, QDir::Files), QStringList());
    }
}

void TestRecovery::namesAreTakenLiterally_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("files"); // the index file and its volumes
    QTest::newRow("brackets") << "a[1].bin" << 100000 << 3;
    QTest::newRow("question mark") << "what?.bin" << 100000 << 3;
    QTest::newRow("star") << "all*.bin" << 100000 << 3;
    QTest::newRow("empty file") << "empty.bin" << 0 << 1;
}

void TestRecovery::namesAreTakenLiterally()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    QFETCH(int, files);
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(name), randomBytes(size)));
    TPar2Maker maker;
    QSignalSpy finished(&maker, &TPar2Maker::Finished);
    maker.Start({dir.filePath(name), dir.filePath("work"), 10, 2});
    QVERIFY(finished.wait(60000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    QCOMPARE(maker.Files().size(), files);
    QCOMPARE(maker.Files().first(), dir.filePath("work/" + name + ".par2"));
    for (const QString& f : maker.Files())
        QVERIFY2(QFileInfo(f).isFile() && QFileInfo(f).fileName().startsWith(name), qPrintable(f));
}

void TestRecovery::sizeLimitKeepsEachFileWithin()
{
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath("album.zip"), randomBytes(6 << 20)));
    const qint64 limit = 300 * 1024;
    TPar2Maker maker;
    QSignalSpy finished(&maker, &TPar2Maker::Finished);
    maker.Start({dir.filePath("album.zip"), dir.filePath("work"), 20, 0, limit});
    QVERIFY(finished.wait(300000));
    QVERIFY2(finished.first().at(0).toBool(), qPrintable(finished.first().at(1).toString()));
    const QStringList volumes = maker.Files().mid(1);
    QCOMPARE(volumes.size(), TPar2Maker::FilesWithin(6 << 20, 20, limit));
    qint64 total = 0;
    for (const QString& v : volumes) {
        QVERIFY2(QFileInfo(v).size() <= limit, qPrintable(v));
        total += QFileInfo(v).size();
    }
    // No more files than the limit needs: one fewer would not hold the set.
    QVERIFY(total > (volumes.size() - 1) * limit);
}

void TestRecovery::taskFieldReadsOnlyWhatTheSettingTakes()
{
    QString error;
    QVERIFY(TRecoverySetting::Read("", &error) == TRecoverySetting());
    QVERIFY(TRecoverySetting::Read("10,4,0", &error) == (TRecoverySetting{10, 4, 0}));
    QVERIFY(TRecoverySetting::Read((TRecoverySetting{5, 0, 20}).Write(), &error) ==
            (TRecoverySetting{5, 0, 20}));
    for (const QString bad : {"ten", "10,4", "0,0,0", "101,0,0", "10,-1,0", "10,0,x"}) {
        QVERIFY2(!TRecoverySetting::Read(bad, &error), qPrintable(bad));
        QVERIFY(error.contains("\"" + bad + "\""));
    }
}

QTEST_GUILESS_MAIN(TestRecovery)
#include "tst_recovery.moc"
