#include "FakeClock.h"
#include "base/Logger.h"
#include "base/SessionLog.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QFileInfo>
#include <QTest>

#include <cerrno>
#include <cstring>

class TestLogs : public QObject
{
    Q_OBJECT
private slots:
    void lineFormat_data();
    void lineFormat();
    void appendsAcrossRuns();
    void sessionLogFile();
    void unwritableLogToldOnce();
    void fullDiskIsReported();
    void longSessionKeepsNewestLinesInMemory();
};

void TestLogs::lineFormat_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << "Startup"
                           << "03/04/26 05:06:07   Startup";
    QTest::newRow("leading blanks") << "   200 ready"
                                    << "03/04/26 05:06:07   200 ready";
    QTest::newRow("trailing CR LF") << "Posted OK\r\n"
                                    << "03/04/26 05:06:07   Posted OK";
    QTest::newRow("tabs and blanks") << "\t x y \t"
                                     << "03/04/26 05:06:07   x y";
    QTest::newRow("line breaks inside")
        << "saved to /x: full\nThey stay\r\nhere\rnow"
        << "03/04/26 05:06:07   saved to /x: full They stay here now";
    QTest::newRow("escape sequences, C0 and C1")
        << QString::fromUtf8("wrote \x1b]0;owned\x07"
                             "a\tb\xc2\x9b"
                             "31m.bin")
        << "03/04/26 05:06:07   wrote \\x1B]0;owned\\x07a\tb\\x9B31m.bin";
}

void TestLogs::lineFormat()
{
    QFETCH(QString, text);
    QFETCH(QString, line);
    TFakeClock clock;
    TSessionLog session(clock);
    TLogger logger(session, clock);
    logger.LogIt(text);
    QCOMPARE(session.Lines(), QStringList{line});
}

void TestLogs::appendsAcrossRuns()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("quorvel.log");
    TFakeClock clock;
    for (const char* text : {"first run", "second run"}) {
        TSessionLog session(clock);
        TLogger logger(session, clock);
        logger.SetFileName(file);
        logger.LogIt(QString::fromLatin1(text));
    }
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("03/04/26 05:06:07   first run\r\n"
                                     "03/04/26 05:06:07   second run\r\n"));
}

void TestLogs::sessionLogFile()
{
    QTemporaryDir dir;
    const QString file = dir.filePath("qvsession.log");
    TFakeClock clock;
    TSessionLog session(clock);
    session.AddLine("one");
    clock.Current = clock.Current.addSecs(1);
    session.AddLine("two");
    QVERIFY(session.SaveToFile(file).isEmpty());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("03/04/26 05:06:07   one\r\n03/04/26 05:06:08   two\r\n"));
}

void TestLogs::unwritableLogToldOnce()
{
    QTemporaryDir dir;
    TFakeClock clock;
    TSessionLog session(clock);
    TLogger logger(session, clock);
    // A folder where the file should be: opening it for appending always fails.
    const QString file = dir.filePath("quorvel.log");
    QVERIFY(QDir().mkpath(file));
    logger.SetFileName(file);
    QSignalSpy failed(&logger, &TLogger::LogFileFailed);
    logger.LogIt("a");
    logger.LogIt("b");
    logger.LogIt("c");
    QCOMPARE(failed.count(), 1);
    QVERIFY(failed.first().first().toString().contains(file));
    QCOMPARE(session.Lines().size(), 3); // nothing lost from the session log
}

void TestLogs::fullDiskIsReported()
{
    // The file opens, but no byte can be written: the reason reaches the user.
    if (!QFileInfo::exists("/dev/full"))
        QSKIP("no /dev/full here");
    TFakeClock clock;
    TSessionLog session(clock);
    TLogger logger(session, clock);
    logger.SetFileName("/dev/full");
    QSignalSpy failed(&logger, &TLogger::LogFileFailed);
    logger.LogIt("posted");
    QCOMPARE(failed.count(), 1);
    const QString message = failed.first().first().toString();
    QVERIFY2(message.startsWith("Cannot write the log file /dev/full: "), qPrintable(message));
    QVERIFY2(message.contains(QString::fromLocal8Bit(std::strerror(ENOSPC))), qPrintable(message));
}

void TestLogs::longSessionKeepsNewestLinesInMemory()
{
    // Older lines leave memory for a temporary file, yet the file written at close holds
    // every line of the run, in order.
    QTemporaryDir dir;
    TFakeClock clock;
    TSessionLog session(clock);
    session.SetMemoryLines(10);
    QStringList all;
    for (int i = 1; i <= 95; ++i) {
        session.AddLine(QStringLiteral("line %1").arg(i));
        all << QStringLiteral("line %1").arg(i);
        QVERIFY(session.Lines().size() <= 10);
    }
    QVERIFY(session.Lines().size() >= 9);
    QVERIFY(session.Lines().last().endsWith("   line 95"));
    const QString file = dir.filePath("qvsession.log");
    QVERIFY(session.SaveToFile(file).isEmpty());
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QStringList saved = QString::fromUtf8(f.readAll()).split("\r\n");
    QCOMPARE(saved.takeLast(), QString());
    QCOMPARE(saved.size(), all.size());
    for (qsizetype i = 0; i < all.size(); ++i)
        QVERIFY2(saved[i].endsWith("   " + all[i]), qPrintable(saved[i]));
}

QTEST_GUILESS_MAIN(TestLogs)
#include "tst_logs.moc"
