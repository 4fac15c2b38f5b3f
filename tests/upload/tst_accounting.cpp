// Keeping account of every article: client Message-IDs, the upload journal, NZB files (read
// back by xmllint against the NZB 1.1 DTD).
#include "article/MessageId.h"
#include "upload/NzbFile.h"
#include "upload/UploadJournal.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

class TestAccounting : public QObject
{
    Q_OBJECT

private slots:
    void messageIds();
    void journalKeepsTheLatestStateOfEachArticle();
    void journalCountsOnlyAFilesLatestForm_data();
    void journalCountsOnlyAFilesLatestForm();
    void nzbValidatesAndNeverReplaces();
};

void TestAccounting::messageIds()
{
    QSet<QString> seen;
    const QRegularExpression form("^<[a-z2-7]{26}@quorvel\\.invalid>$");
    for (int i = 0; i < 20000; ++i) {
        const QString id = MessageId::Make();
        QVERIFY2(form.match(id).hasMatch(), qPrintable(id));
        seen.insert(id);
    }
    QCOMPARE(seen.size(), 20000);
    QVERIFY(MessageId::Make("posts.example.org").endsWith("@posts.example.org>"));
    // Domains the syntax cannot take fall back to the default.
    for (const QString& bad :
         QStringList{"", "a b", "x@y", "a..b", "[1.2.3.4]", QString(240, QChar(97))})
        QVERIFY2(MessageId::Make(bad).endsWith("@quorvel.invalid>"), qPrintable(bad));
    QVERIFY(MessageId::Make(QString(200, 'a')).size() <= 250);
}

void TestAccounting::journalKeepsTheLatestStateOfEachArticle()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("batch.journal");
    TJournalArticle a{"/data/a, b.bin",
                      1,
                      2,
                      1,
                      100,
                      180,
                      "<a1@x>",
                      TArticleState::Sent,
                      "T - \"a, b.bin\" (1/2)",
                      {"alt.test", "alt.two"},
                      "me <me@x>",
                      1700000000,
                      "news.example:563"}; // the server that took it
    TJournalArticle b = a;
    b.Part = 2;
    b.Begin = 101;
    b.End = 150;
    b.MessageId = "<a2@x>";
    TJournalArticle c = a;
    c.File = "/data/c\nd\\x0a.bin"; // a line break and a backslash in the name
    c.Total = 1;
    c.MessageId = "<c1@x>";
    QString error;
    {
        TUploadJournal journal;
        QVERIFY2(journal.Open(path, &error), qPrintable(error));
        QVERIFY(journal.Record(b, &error)); // part 2 first: the reader puts parts in order
        QVERIFY(journal.Record(c, &error));
        QVERIFY(journal.Record(a, &error));
        a.State = TArticleState::Accepted;
        QVERIFY(journal.Record(a, &error));
        QVERIFY(journal.Sync(&error));
    }
    {
        // Opened again (a resumed batch): appended to. Part 2 went missing and was posted again.
        TUploadJournal journal;
        QVERIFY(journal.Open(path, &error));
        b.State = TArticleState::Missing;
        QVERIFY(journal.Record(b, &error));
        b.MessageId = "<a2-again@x>";
        b.State = TArticleState::Checked;
        QVERIFY(journal.Record(b, &error));
    }
    // A crash while a line was written leaves it torn: it is left out, the rest is read.
    QFile raw(path);
    QVERIFY(raw.open(QIODevice::Append));
    raw.write("article,/data/c.bin,1,1,1,100,180,<c1@x>,chec");
    raw.close();
    {
        // Opened after the crash: the torn line goes, the next record is whole.
        TUploadJournal journal;
        QVERIFY(journal.Open(path, &error));
        c.State = TArticleState::Checked;
        QVERIFY(journal.Record(c, &error));
    }

    const auto read = TUploadJournal::Read(path, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->Articles(), (QList<TJournalArticle>{a, b, c}));

    QVERIFY(!TUploadJournal::Read(dir.filePath("none"), &error));
    QVERIFY(error.contains(dir.filePath("none")));
    TUploadJournal journal;
    QVERIFY(!journal.Open(dir.filePath("no/such/folder/j"), &error));
    QVERIFY(error.contains("no/such/folder"));
}

void TestAccounting::journalCountsOnlyAFilesLatestForm_data()
{
    QTest::addColumn<QByteArray>("lines");
    QTest::addColumn<QStringList>("ids"); // of the articles that count
    const QByteArray file1 = "file,/d/a,alt.test,10,1,aa,\"\"\n";
    const QByteArray part1 = "part,/d/a,1,2,1,5,9,<1@x>,accepted,S,alt.test,me,1\n";
    const QByteArray part2 = "part,/d/a,2,2,6,10,9,<2@x>,accepted,S,alt.test,me,1\n";
    QTest::newRow("the same file again")
        << file1 + part1 + part2 + file1 << QStringList{"<1@x>", "<2@x>"};
    QTest::newRow("the file changed")
        << file1 + part1 + "file,/d/a,alt.test,10,2,aa,\"\"\n" + part2 << QStringList{"<2@x>"};
    QTest::newRow("written before files were recorded")
        << "article,/d/a,1,2,1,5,9,<1@x>,accepted,S,alt.test,me,1\n" + file1
        << QStringList{"<1@x>"};
    QTest::newRow("cut into another number of parts")
        << "article,/d/a,5,13,1,5,9,<5@x>,accepted,S,alt.test,me,1\n" + part1
        << QStringList{"<1@x>"};
}

void TestAccounting::journalCountsOnlyAFilesLatestForm()
{
    // A file whose records say it changed, or that was cut anew, counts with what was recorded
    // since; a journal of an earlier version is read as it was.
    QFETCH(QByteArray, lines);
    QFETCH(QStringList, ids);
    QTemporaryDir dir;
    QFile file(dir.filePath("batch.journal"));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(lines) == lines.size());
    file.close();
    QString error;
    const auto read = TUploadJournal::Read(file.fileName(), &error);
    QVERIFY2(read, qPrintable(error));
    QStringList counted;
    for (const TJournalArticle& a : read->Articles())
        counted << a.MessageId;
    QCOMPARE(counted, ids);
}

void TestAccounting::nzbValidatesAndNeverReplaces()
{
    TNzbFile file{"Me & <me@example.com>",
                  1700000000,
                  "Pics - \"a&b.jpg\"\tyEnc (1/3)", // a tab is no blank
                  {"alt.binaries.test", "alt.test"},
                  {}};
    file.Segments = {{3, 5000, "<p3@x>"}, {1, 740123, "<p1@x>"}, {2, 740123, "p2@x"}};
    TNzbFile second{"me", 1700000001, QString("ctl\x01 char"), {"alt.test"}, {{1, 10, "<q@x>"}}};
    const QByteArray doc = NzbFile::Document("Pics & more", {file, second});

    QTemporaryDir dir;
    QString error;
    const QString first = NzbFile::WriteNew(dir.path(), "Pics/../x", ".nzb", doc, &error);
    QVERIFY2(!first.isEmpty(), qPrintable(error));
    QCOMPARE(QFileInfo(first).dir().path(), dir.path());
    const QString again = NzbFile::WriteNew(dir.path(), "Pics/../x", ".nzb", "other", &error);
    QCOMPARE(QFileInfo(again).fileName(), QFileInfo(first).completeBaseName() + " (2).nzb");
    QFile written(first);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QCOMPARE(written.readAll(), doc);

    QProcess xmllint;
    const QString dtd = QString(QUORVEL_SOURCE_DIR_DEFAULT) + "/tests/data/nzb-1.1.dtd";
    xmllint.start("xmllint", {"--noout", "--dtdvalid", dtd, first});
    QVERIFY(xmllint.waitForFinished());
    QVERIFY2(xmllint.exitCode() == 0, xmllint.readAllStandardError().constData());

    // Part order, ids without brackets, and the texts as they were.
    xmllint.start("xmllint", {"--xpath", "//*[local-name()='segment']/text()", first});
    QVERIFY(xmllint.waitForFinished());
    QCOMPARE(xmllint.readAllStandardOutput(), QByteArray("p1@x\np2@x\np3@x\nq@x\n"));
    xmllint.start("xmllint", {"--xpath", "string(//*[local-name()='file'][1]/@subject)", first});
    QVERIFY(xmllint.waitForFinished());
    QCOMPARE(xmllint.readAllStandardOutput().trimmed(),
             QByteArray("Pics - \"a&b.jpg\"\tyEnc (1/3)"));

    // What is written reads back; what is not an NZB says why.
    const auto read = NzbFile::Read(doc, &error);
    QVERIFY2(read, qPrintable(error));
    QCOMPARE(read->size(), 2);
    QCOMPARE(read->first().Subject, file.Subject);
    QCOMPARE(read->first().Poster, file.Poster);
    QCOMPARE(read->first().Groups, file.Groups);
    QCOMPARE(read->first().Segments.size(), 3);
    QCOMPARE(read->first().Segments.first().MessageId, QString("p1@x"));
    QCOMPARE(read->first().Segments.first().Bytes, 740123);
    QVERIFY(!NzbFile::Read("<nzb><file subject='x'>", &error));
    QVERIFY(error.startsWith("line 1: "));
    QVERIFY(!NzbFile::Read("<html/>", &error));

    QVERIFY(NzbFile::WriteNew("/proc/no-such-place", "x", ".nzb", doc, &error).isEmpty());
    QVERIFY(error.contains("/proc/no-such-place"));

    // A subject longer than a file name can hold (255 bytes) is cut between characters.
    const QString cjk = QString(102, QChar(0x6F22)) + "\U0001F600";
    const QString named = NzbFile::WriteNew(dir.path(), cjk, ".incomplete.nzb", doc, &error);
    QVERIFY2(!named.isEmpty(), qPrintable(error));
    const QByteArray name = QFileInfo(named).fileName().toUtf8();
    QVERIFY(name.size() <= 255 && name.endsWith(".incomplete.nzb"));
    QVERIFY(cjk.startsWith(QString::fromUtf8(name.chopped(15))));
}

QTEST_GUILESS_MAIN(TestAccounting)
#include "tst_accounting.moc"
