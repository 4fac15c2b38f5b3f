#include "article/NewsArticle.h"

#include "PeerTools.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace PeerTools;

using TFiles = QList<std::pair<QString, QByteArray>>;
Q_DECLARE_METATYPE(TFiles)

class TestNewsArticle : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void composeChecks_data();
    void composeChecks();
    void needsEncoding_data();
    void needsEncoding();
    void composedBody_data();
    void composedBody();
    void encodedAttachmentFrame();
    void streamedEqualsWholeFile_data();
    void streamedEqualsWholeFile();
    void bodyDecodesWithPeers();
    void changedFileFailsWhileSending_data();
    void changedFileFailsWhileSending();
    void unreadableAttachment();
    void clearKeepsIdentity();
    void filesAndHeaders();
    void tempFileNames();
    void placedLinesAlone();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void fill(TNewsArticle& article) const;
    // Reads the whole body as the sender does, checking the announced count.
    QList<QByteArray> streamed(TNewsArticle& article);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestNewsArticle::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestNewsArticle::fill(TNewsArticle& article) const
{
    article.From = QStringLiteral("poster@example.invalid");
    article.Subject = QStringLiteral("files");
    article.Newsgroups = QStringLiteral("alt.test,alt.binaries.test");
}

QList<QByteArray> TestNewsArticle::streamed(TNewsArticle& article)
{
    QList<QByteArray> lines;
    if (!article.OpenBody()) {
        qWarning("OpenBody: %s", qPrintable(article.ErrorText));
        return {"<OpenBody failed>"};
    }
    QByteArrayView line;
    while (article.NextBodyLine(line))
        lines.append(line.toByteArray());
    if (!article.ErrorText.isEmpty())
        lines.append("<" + article.ErrorText.toUtf8() + ">");
    else if (lines.size() != article.BodyLineCount())
        lines.append("<announced " + QByteArray::number(article.BodyLineCount()) + " lines>");
    return lines;
}

void TestNewsArticle::composeChecks_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("subject");
    QTest::addColumn<QString>("groups");
    QTest::addColumn<bool>("body");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("headers");
    const QString from = QStringLiteral("From: me@example.invalid");
    const QString subject = QStringLiteral("Subject: hello");
    const QString org = QStringLiteral("Organization: Brindlecove");
    const QString reply = QStringLiteral("Reply-To: answers@example.invalid");
    QTest::newRow("nothing") << ""
                             << ""
                             << "" << false << "No from line has been specified" << QStringList();
    QTest::newRow("from missing before subject")
        << ""
        << "hello"
        << "alt.test" << true << "No from line has been specified" << QStringList();
    QTest::newRow("subject missing before groups")
        << "me@example.invalid"
        << ""
        << "" << true << "No subject line has been specified" << QStringList{from};
    QTest::newRow("groups missing")
        << "me@example.invalid"
        << "hello"
        << "" << true << "No newsgroups have been specified" << QStringList{from, subject};
    QTest::newRow("no body, no attachment")
        << "me@example.invalid"
        << "hello"
        << "alt.test" << false << "No article text or file attachment has been specified"
        << QStringList{from, subject, org, reply};
    QTest::newRow("complete") << "me@example.invalid"
                              << "hello"
                              << "alt.test" << true << "" << QStringList{from, subject, org, reply};
}

void TestNewsArticle::composeChecks()
{
    QFETCH(QString, from);
    QFETCH(QString, subject);
    QFETCH(QString, groups);
    QFETCH(bool, body);
    QFETCH(QString, error);
    QFETCH(QStringList, headers);
    TNewsArticle article;
    article.From = from;
    article.Subject = subject;
    article.Newsgroups = groups;
    article.Organization = QStringLiteral("Brindlecove");
    article.ReplyTo = QStringLiteral("answers@example.invalid");
    if (body)
        article.AddBodyLine(QStringLiteral("text"));
    QCOMPARE(article.Compose(), error.isEmpty());
    QCOMPARE(article.ErrorText, error);
    QCOMPARE(article.HeaderLines, headers);
}

void TestNewsArticle::needsEncoding_data()
{
    // A file of the name is written with the content when one is given.
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("encoded");
    for (const char* text : {"a.txt", "NOTES.TXT", "run.Bat", "setup.ini", "driver.INF", "x.uue"})
        QTest::newRow(text) << QString::fromLatin1(text) << QByteArray() << false;
    for (const char* binary :
         {"photo.jpg", "README", "notes.txt.gz", "notes.text", "end.", "t.txt/x"})
        QTest::newRow(binary) << QString::fromLatin1(binary) << QByteArray() << true;
    QTest::newRow("text in a .txt") << "t.txt" << QByteArray("line\r\n\xe9t\xe9\n") << false;
    QTest::newRow("NUL at once") << "n.txt" << QByteArray("\0abc", 4) << true;
    QByteArray late(200000, 'a');
    late[150000] = '\0';
    QTest::newRow("NUL in a later block") << "late.ini" << late << true;
}

void TestNewsArticle::needsEncoding()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, encoded);
    QTemporaryDir dir;
    QString path = QStringLiteral("/some/folder/") + name;
    if (!content.isNull()) {
        path = dir.filePath(name);
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    QCOMPARE(TNewsArticle::NeedsEncoding(path), encoded);
}

void TestNewsArticle::composedBody_data()
{
    QTest::addColumn<QStringList>("placed");
    QTest::addColumn<TFiles>("attachments");
    QTest::addColumn<QByteArray>("signature"); // null: no signature file given
    QTest::addColumn<QList<QByteArray>>("body");

    QTest::newRow("include text, empty line, attachment in capitals")
        << QStringList{"Look at this:"} << TFiles{{"notes.TXT", "one\r\ntwo\r\n"}} << QByteArray()
        << QList<QByteArray>{"Look at this:", "", "one", "two"};
    QTest::newRow("dot lines doubled everywhere")
        << QStringList{".include"} << TFiles{{"dots.txt", ".\r\n..x\r\nmid.dle\r\n"}}
        << QByteArray(".sig\n")
        << QList<QByteArray>{"..include", "", "..", "...x", "mid.dle", "", "..sig"};
    QTest::newRow("any line end, bytes unchanged, last line unterminated")
        << QStringList() << TFiles{{"mixed.txt", "a\rb\nc\r\n\r\n\xff\xfe caf\xc3\xa9\rz"}}
        << QByteArray() << QList<QByteArray>{"a", "b", "c", "", "\xff\xfe caf\xc3\xa9", "z"};
    // The reader takes 256 KiB at a time: a CR LF pair split between two reads is one end.
    const QByteArray longLine(256 * 1024 - 1, 'x');
    QTest::newRow("CR LF split between reads")
        << QStringList() << TFiles{{"long.txt", longLine + "\r\ny\r\n"}} << QByteArray()
        << QList<QByteArray>{longLine, "y"};
    QTest::newRow("two attachments separated")
        << QStringList() << TFiles{{"a.txt", "first\n"}, {"b.ini", "[second]\n"}} << QByteArray()
        << QList<QByteArray>{"first", "", "[second]"};
    QTest::newRow("an empty first attachment needs no separator")
        << QStringList() << TFiles{{"empty.txt", ""}, {"b.txt", "b"}} << QByteArray()
        << QList<QByteArray>{"b"};
    QTest::newRow("signature after an empty line")
        << QStringList{"body"} << TFiles() << QByteArray("-- \r\nme\r\n")
        << QList<QByteArray>{"body", "", "-- ", "me"};
    QTest::newRow("missing signature ignored")
        << QStringList{"body"} << TFiles() << QByteArray("<missing>") << QList<QByteArray>{"body"};
    QTest::newRow("placed text sent as UTF-8") << QStringList{QString::fromUtf8("Gr\xc3\xbc\xc3\x9f"
                                                                                "e")}
                                               << TFiles() << QByteArray()
                                               << QList<QByteArray>{"Gr\xc3\xbc\xc3\x9f"
                                                                    "e"};
}

void TestNewsArticle::composedBody()
{
    QFETCH(QStringList, placed);
    QFETCH(TFiles, attachments);
    QFETCH(QByteArray, signature);
    QFETCH(QList<QByteArray>, body);
    TNewsArticle article;
    fill(article);
    for (const QString& line : placed)
        article.AddBodyLine(line);
    for (const auto& [name, content] : attachments) {
        WriteFile(path(name), content);
        article.AddFile(path(name));
    }
    if (signature == "<missing>") {
        article.SignatureFile = path("no-such.sig");
    } else if (!signature.isNull()) {
        WriteFile(path("my.sig"), signature);
        article.SignatureFile = path("my.sig");
    }
    QVERIFY2(article.Compose(), qPrintable(article.ErrorText));
    QCOMPARE(streamed(article), body);
    // Reading again gives the same body.
    QCOMPARE(streamed(article), body);
}

void TestNewsArticle::encodedAttachmentFrame()
{
    for (const QString& name : {QStringLiteral("picture.jpg"), QStringLiteral("program")}) {
        WriteFile(path(name), RandomBytes(90, 7));
        TNewsArticle article;
        fill(article);
        article.AddBodyLine(QStringLiteral("include"));
        QCOMPARE(article.AddFile(path(name)), 1);
        QVERIFY(article.Compose());
        const QList<QByteArray> lines = streamed(article);
        // A multiple of 45 bytes: the encoder's own grave accent line, then ours.
        const QList<QByteArray> expected = {
            "include", "",   "begin 644 " + name.toUtf8(), lines.value(3), lines.value(4), "`",
            "`",       "end"};
        QCOMPARE(lines, expected);
        QVERIFY(lines[3].startsWith('M') && lines[3].size() == 61);
        QVERIFY(lines[4].startsWith('M') && lines[4].size() == 61);
    }
}

void TestNewsArticle::streamedEqualsWholeFile_data()
{
    QTest::addColumn<qint64>("size");
    // 59 bytes leave 14 for the last line, whose length character is "."
    for (qint64 size : {0, 1, 2, 44, 45, 46, 59, 90, 91, 45 * 57 * 10, 1024 * 1024})
        QTest::addRow("%lld bytes", size) << size;
}

void TestNewsArticle::streamedEqualsWholeFile()
{
    QFETCH(qint64, size);
    WriteFile(path("data.bin"), RandomBytes(size, quint32(size)));

    TNewsArticle whole;
    const QString temp = TNewsArticle::TempFileName();
    whole.EncodeFile(path("data.bin"), temp);
    QVERIFY2(!QFileInfo::exists(temp), "the temporary file is removed");

    TNewsArticle article;
    fill(article);
    article.AddFile(path("data.bin"));
    QVERIFY(article.Compose());
    QList<QByteArray> expected;
    for (const QString& line : std::as_const(whole.BodyLines))
        expected.append(line.toLatin1());
    QCOMPARE(streamed(article), expected);
    if (size == 59)
        QVERIFY(expected[2].startsWith(".."));
}

// What a reader gets after the server removed the dot stuffing decodes to the file.
void TestNewsArticle::bodyDecodesWithPeers()
{
    if (!Have(QStringLiteral("uudecode")) || !Have(QStringLiteral("uudeview")))
        QSKIP("GNU uudecode or uudeview is not installed");
    for (qint64 size : {0, 1, 59, 90, 104, 1024 * 1024}) {
        const QByteArray data = RandomBytes(size, quint32(size) + 1);
        WriteFile(path("file.dat"), data);
        TNewsArticle article;
        fill(article);
        article.AddFile(path("file.dat"));
        QVERIFY(article.Compose());
        QByteArray received;
        for (QByteArray line : streamed(article)) {
            if (line.startsWith('.'))
                line.remove(0, 1);
            received += line + "\r\n";
        }
        QVERIFY(QDir().mkpath(path("view")));
        WriteFile(path("article.txt"), received);
        WriteFile(path("view/article.txt"), AsMessage(received));
        // After a doubled grave accent line (sizes that are multiples of 45) GNU uudecode
        // has written every byte but exits with "No `end' line".
        const int gnu =
            Run(QStringLiteral("uudecode"),
                {QStringLiteral("-o"), path("gnu.dat"), path("article.txt")}, m_dir->path());
        if (size % 45 != 0)
            QCOMPARE(gnu, 0);
        QVERIFY2(ReadFile(path("gnu.dat")) == data, qPrintable(QString::number(size)));
        QCOMPARE(Run(QStringLiteral("uudeview"),
                     {QStringLiteral("-i"), QStringLiteral("-o"), QStringLiteral("-q"),
                      QStringLiteral("article.txt")},
                     path("view")),
                 0);
        QVERIFY2(ReadFile(path("view/file.dat")) == data, qPrintable(QString::number(size)));
        QDir(path("view")).removeRecursively();
    }
}

void TestNewsArticle::changedFileFailsWhileSending_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("grow"); // else shrink after the first line was read
    QTest::newRow("encoded file grows") << "data.bin" << true;
    QTest::newRow("encoded file shrinks") << "data.bin" << false;
    QTest::newRow("text file grows") << "text.txt" << true;
    QTest::newRow("text file shrinks") << "text.txt" << false;
}

void TestNewsArticle::changedFileFailsWhileSending()
{
    QFETCH(QString, name);
    QFETCH(bool, grow);
    const QByteArray text = QByteArray("line\n").repeated(100000);
    WriteFile(path(name), text);
    TNewsArticle article;
    fill(article);
    article.AddFile(path(name));
    QVERIFY(article.Compose());
    QVERIFY(article.OpenBody());
    QByteArrayView line;
    QVERIFY(article.NextBodyLine(line));
    QFile file(path(name));
    QVERIFY(grow ? file.open(QIODevice::Append) && file.write("more\n") == 5
                 : file.resize(text.size() / 2));
    file.close();
    int lines = 1;
    while (article.NextBodyLine(line))
        ++lines;
    QVERIFY2(article.ErrorText.contains(path(name)), qPrintable(article.ErrorText));
    QVERIFY(lines <= article.BodyLineCount());
    // Opening again notices the change before any line.
    if (name.endsWith(QLatin1String(".bin")))
        QVERIFY(!article.OpenBody() && article.ErrorText.contains(path(name)));
}

void TestNewsArticle::unreadableAttachment()
{
    for (const QString& name : {QStringLiteral("gone.bin"), QStringLiteral("gone.txt")}) {
        WriteFile(path(name), "x");
        TNewsArticle article;
        fill(article);
        QCOMPARE(article.AddFile(path(name)), 1);
        QVERIFY(QFile::remove(path(name)));
        QVERIFY(!article.Compose());
        QVERIFY2(article.ErrorText.contains(path(name)), qPrintable(article.ErrorText));
        QCOMPARE(article.BodyLineCount(), 0);
    }
}

void TestNewsArticle::clearKeepsIdentity()
{
    WriteFile(path("a.txt"), "a");
    TNewsArticle article;
    fill(article);
    article.Organization = QStringLiteral("org");
    article.ReplyTo = QStringLiteral("reply@example.invalid");
    article.SignatureFile = path("sig");
    article.AddFile(path("a.txt"));
    article.AddBodyLine(QStringLiteral("text"));
    article.AddHeader(QStringLiteral("X-Test: 1"));
    QVERIFY(article.Compose());
    article.ErrorText = QStringLiteral("earlier failure");
    article.Clear();
    QVERIFY(article.From.isEmpty() && article.Subject.isEmpty() && article.Newsgroups.isEmpty());
    QVERIFY(article.HeaderLines.isEmpty() && article.BodyLines.isEmpty() &&
            article.Attachments.isEmpty());
    QCOMPARE(article.BodyLineCount(), 0);
    QCOMPARE(article.Organization, QStringLiteral("org"));
    QCOMPARE(article.ReplyTo, QStringLiteral("reply@example.invalid"));
    QCOMPARE(article.SignatureFile, path("sig"));
    QCOMPARE(article.ErrorText, QStringLiteral("earlier failure"));
}

void TestNewsArticle::filesAndHeaders()
{
    WriteFile(path("one.bin"), "1");
    TNewsArticle article;
    QCOMPARE(article.AddFile(path("one.bin")), 1);
    QCOMPARE(article.AddFile(path("missing.bin")), 1);
    QCOMPARE(article.AddFile(m_dir->path()), 1);
    QCOMPARE(article.AddFile(path("one.bin")), 2);
    article.AddHeader(QString());
    QCOMPARE(article.HeaderCount(), 0);
}

void TestNewsArticle::tempFileNames()
{
    const QString first = TNewsArticle::TempFileName();
    const QString second = TNewsArticle::TempFileName();
    QVERIFY(first != second);
    for (const QString& name : {first, second}) {
        const QFileInfo info(name);
        QVERIFY(info.isFile() && info.size() == 0);
        QVERIFY(info.fileName().startsWith(QLatin1String("qv")));
        QCOMPARE(info.absolutePath(), QFileInfo(QDir::tempPath()).absoluteFilePath());
        QFile::remove(name);
    }
}

void TestNewsArticle::placedLinesAlone()
{
    TNewsArticle article;
    article.BodyLines = {QStringLiteral("part line"), QString(), QStringLiteral("M...")};
    QCOMPARE(article.BodyLineCount(), 3);
    QCOMPARE(streamed(article), (QList<QByteArray>{"part line", "", "M..."}));
    QByteArrayView line;
    QVERIFY(!article.NextBodyLine(line));
    QVERIFY(article.ErrorText.isEmpty());
}

QTEST_GUILESS_MAIN(TestNewsArticle)
#include "tst_newsarticle.moc"
