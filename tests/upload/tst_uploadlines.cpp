#include "TestFiles.h"
#include "upload/FileLineSource.h"
#include "article/NewsArticle.h"
#include "upload/SubjectLine.h"
#include "upload/UploadLines.h"
#include "upload/FilesBbsCatalog.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

// Subject lines, the lines a file is posted as, and the files.bbs catalog.
class TestUploadLines : public QObject
{
    Q_OBJECT
private slots:
    void subjectLine_data();
    void subjectLine();
    void getSize();
    void encodedLinesMatchWholeFileEncoding_data();
    void encodedLinesMatchWholeFileEncoding();
    void encodedFileChangedWhilePosted_data();
    void encodedFileChangedWhilePosted();
    void textLines_data();
    void textLines();
    void textLineEndAcrossBlocks();
    void catalogLine_data();
    void catalogLine();
    void catalogFile();

private:
    QString write(const QString& name, const QByteArray& bytes);
    QTemporaryDir m_dir;
};

QString TestUploadLines::write(const QString& name, const QByteArray& bytes)
{
    const QString path = m_dir.filePath(name);
    if (!TestFiles::Write(path, bytes))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void TestUploadLines::subjectLine_data()
{
    QTest::addColumn<QString>("tmpl");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<int>("part");
    QTest::addColumn<int>("total");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default template")
        << "%s - %f (%p/%t) %b Bytes"
        << "Holiday" << 2 << 5 << "Holiday - beach.jpg (2/5) 12345 Bytes";
    QTest::newRow("no placeholders") << "Just a subject"
                                     << "Holiday" << 3 << 7 << "Just a subject";
    QTest::newRow("%p twice") << "%p of %t, again %p"
                              << "" << 4 << 9 << "4 of 9, again %p";
    QTest::newRow("%f in the subject text") << "%s / %f"
                                            << "see %f" << 1 << 1 << "see beach.jpg / %f";
    QTest::newRow("%s placed text holding %p") << "[%s] %p"
                                               << "x %p" << 6 << 8 << "[x 6] %p";
    QTest::newRow("unknown placeholders stay") << "%x %s %%"
                                               << "S" << 1 << 1 << "%x S %%";
    QTest::newRow("single article") << "%s (%p/%t)"
                                    << "One" << 1 << 1 << "One (1/1)";
}

void TestUploadLines::subjectLine()
{
    QFETCH(QString, tmpl);
    QFETCH(QString, subject);
    QFETCH(int, part);
    QFETCH(int, total);
    QFETCH(QString, expected);
    const QString path = write("beach.jpg", QByteArray(12345, 'x'));
    QCOMPARE(TSubjectLine::BuildSubjectLine(tmpl, subject, path, part, total), expected);
}

void TestUploadLines::getSize()
{
    QCOMPARE(TSubjectLine::GetSize(write("empty.bin", QByteArray())), 0);
    QCOMPARE(TSubjectLine::GetSize(write("big.bin", QByteArray(70000, 'a'))), 70000);
    QCOMPARE(TSubjectLine::GetSize(m_dir.filePath("missing.bin")), 0);
}

void TestUploadLines::encodedLinesMatchWholeFileEncoding_data()
{
    QTest::addColumn<int>("size");
    for (int size : {0, 1, 2, 3, 44, 45, 46, 59, 90, 91, 45 * 4096, 45 * 4096 + 14, 200000})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

void TestUploadLines::encodedLinesMatchWholeFileEncoding()
{
    QFETCH(int, size);
    const QByteArray bytes = TestFiles::Random(size, quint32(size) + 7);
    const QString path = write(QStringLiteral("data %1.bin").arg(size), bytes);

    TNewsArticle whole;
    whole.EncodeFile(path, TNewsArticle::TempFileName());

    TFileLineSource source;
    QVERIFY(source.Open(path, true));
    QCOMPARE(source.LineCount(), qint64(whole.BodyLines.size()));
    QByteArray line;
    for (const QString& expected : std::as_const(whole.BodyLines)) {
        QVERIFY(source.Next(line));
        QCOMPARE(QString::fromUtf8(line), expected);
    }
    QVERIFY(!source.Next(line));
    QVERIFY(source.ErrorText().isEmpty());
}

void TestUploadLines::encodedFileChangedWhilePosted_data()
{
    QTest::addColumn<qint64>("newSize");
    QTest::newRow("grew") << qint64(45 * 10 + 7);
    QTest::newRow("shrank") << qint64(45 * 3);
}

// The line count was taken from the size: a file that changes while its lines are read fails
// with a message instead of going out cut short or padded.
void TestUploadLines::encodedFileChangedWhilePosted()
{
    QFETCH(qint64, newSize);
    const QString path = write(QStringLiteral("moving.bin"), QByteArray(45 * 10, 'x'));
    TFileLineSource source;
    QVERIFY(source.Open(path, true));
    QByteArray line;
    QVERIFY(source.Next(line)); // the begin line; nothing read from the file yet
    write(QStringLiteral("moving.bin"), QByteArray(newSize, 'y'));
    while (source.Next(line)) {
    }
    QCOMPARE(source.ErrorText(),
             QStringLiteral("The file %1 changed while it was being posted").arg(path));
}

void TestUploadLines::textLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("mixed line ends")
        << QByteArray("a\r\nb\nc\rd") << QStringList{"a", "b", "c", "d"};
    QTest::newRow("last line ended") << QByteArray("a\r\n") << QStringList{"a"};
    QTest::newRow("empty lines kept") << QByteArray("\n\r\n\rx") << QStringList{"", "", "", "x"};
    QTest::newRow("dots doubled") << QByteArray(".\r\n..x\r\na.b")
                                  << QStringList{"..", "...x", "a.b"};
}

void TestUploadLines::textLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    TFileLineSource source;
    QVERIFY(source.Open(write("notes.txt", bytes), false));
    QCOMPARE(source.LineCount(), qint64(lines.size()));
    QStringList got;
    QByteArray line;
    while (source.Next(line))
        got << QString::fromUtf8(line);
    QCOMPARE(got, lines);
}

void TestUploadLines::textLineEndAcrossBlocks()
{
    // A CR LF pair split by the reader's block boundary is still one line end.
    QByteArray bytes(256 * 1024 - 1, 'a');
    bytes += "\r\nb\r\n";
    TFileLineSource source;
    QVERIFY(source.Open(write("split.txt", bytes), false));
    QCOMPARE(source.LineCount(), 2);
    QByteArray line;
    QVERIFY(source.Next(line));
    QCOMPARE(line.size(), 256 * 1024 - 1);
    QVERIFY(source.Next(line));
    QCOMPARE(line, QByteArray("b"));
    QVERIFY(!source.Next(line));
}

void TestUploadLines::catalogLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("description");
    QTest::newRow("name and description") << "plain.zip A nice file"
                                          << "plain.zip"
                                          << "A nice file";
    QTest::newRow("blank in the name") << "my file.zip    Two words"
                                       << "my file.zip"
                                       << "Two words";
    QTest::newRow("longest name wins") << "my file.zip.bak old copy"
                                       << "my file.zip.bak"
                                       << "old copy";
    QTest::newRow("whole line names a file") << "my file.zip"
                                             << "my file.zip"
                                             << "";
    QTest::newRow("trailing control characters") << "plain.zip\tdesc \t"
                                                 << "plain.zip"
                                                 << "desc";
    QTest::newRow("continuation line") << "   more about it"
                                       << ""
                                       << "";
    QTest::newRow("tab continuation") << "\tplain.zip again"
                                      << ""
                                      << "";
    QTest::newRow("no such file") << "nothing.zip here"
                                  << ""
                                  << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void TestUploadLines::catalogLine()
{
    QFETCH(QString, line);
    QFETCH(QString, file);
    QFETCH(QString, description);
    write("plain.zip", "p");
    write("my file.zip", "m");
    write("my file.zip.bak", "b");
    TFilesBbsCatalog::TEntry entry;
    const bool found = TFilesBbsCatalog::ParseLine(line, m_dir.path() + "/", entry);
    QCOMPARE(found, !file.isEmpty());
    if (found) {
        QCOMPARE(entry.File, m_dir.filePath(file));
        QCOMPARE(entry.Description, description);
    }
}

void TestUploadLines::catalogFile()
{
    write("plain.zip", "p");
    write("my file.zip", "m");
    QDir(m_dir.path()).mkpath("cat");
    QDir(m_dir.path()).mkpath("other");
    const QString elsewhere = write("other/abs.zip", "a");
    const QByteArray text = "my file.zip  Holiday pictures\r\n"
                            "  taken in June\r\n"
                            "\r\n" +
                            elsewhere.toUtf8() +
                            " Absolute\r\n"
                            "missing.zip nothing\r\n"
                            "../plain.zip Up one\n";
    const QString catalog = write("cat/files.bbs", text);
    write("cat/my file.zip", "in the catalog's folder");
    QList<TFilesBbsCatalog::TEntry> entries;
    QString error;
    QVERIFY(TFilesBbsCatalog::Read(catalog, entries, &error));
    QCOMPARE(entries.size(), 3);
    QCOMPARE(entries[0].File, m_dir.filePath("cat/my file.zip"));
    QCOMPARE(entries[0].Description, "Holiday pictures");
    QCOMPARE(entries[1].File, elsewhere);
    QCOMPARE(entries[1].Description, "Absolute");
    QCOMPARE(entries[2].File, m_dir.filePath("cat/../plain.zip"));
    QCOMPARE(entries[2].Description, "Up one");
}

QTEST_GUILESS_MAIN(TestUploadLines)
#include "tst_uploadlines.moc"
