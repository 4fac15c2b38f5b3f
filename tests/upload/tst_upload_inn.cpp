#include "InnServer.h"
#include "PostedArticles.h"
#include "TestFiles.h"
#include "UploadFixture.h"

#include "base/ServerEntry.h"
#include "tasks/TaskFields.h"
#include "upload/BatchAccount.h"

#include <QDir>
#include <QTest>

namespace {

constexpr QByteArrayView Group1 = "quorvel.bulk.0000001";
constexpr QByteArrayView Group2 = "quorvel.bulk.0000002";

QByteArray readAll(const QString& path)
{
    return TestFiles::Read(path);
}

} // namespace

using PostedArticles::RunTool;

// Uploads to a real INN server, read back over NNTP and decoded by GNU uudecode and by
// uudeview: what we post is what other news software reads.
class TestUploadInn : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void binaryRoundTrip_data();
    void binaryRoundTrip();
    void textFileInParts();
    void eightBitText_data();
    void eightBitText();
    void crossPostAndOnePerGroup();
    void checkOnTheServerFedFromThePostingOne();

private:
    // Posts the tasks and waits until the queue is done; no warnings allowed.
    void post(UploadFixture& f, const QList<TTask>& tasks);
    // The articles of the group whose subject contains the marker, in part order.
    QList<TNntpReader::TArticle> fetch(QByteArrayView group, const QByteArray& marker);

    TInnServer m_inn;
    QTemporaryDir m_work;
};

void TestUploadInn::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    TInnServer::TOptions options;
    options.Groups = 2;
    QString error;
    QVERIFY2(m_inn.Start(options, &error), qPrintable(error));
}

void TestUploadInn::cleanupTestCase()
{
    m_inn.Stop();
}

void TestUploadInn::post(UploadFixture& f, const QList<TTask>& tasks)
{
    for (const TTask& t : tasks)
        f.list.Add(t);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(f.view.Warnings, QStringList());
}

QList<TNntpReader::TArticle> TestUploadInn::fetch(QByteArrayView group, const QByteArray& marker)
{
    return PostedArticles::Fetch(m_inn.Port(), group, marker);
}

void TestUploadInn::binaryRoundTrip_data()
{
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("parts");
    QTest::addColumn<int>("connections");
    // 3 MiB uuencoded: 69905 lines of 45 bytes, plus begin, the short last line, "`", "end".
    QTest::newRow("parts of 5000 lines") << 5000 << 14 << 1;
    QTest::newRow("one article") << 0 << 1 << 1;
    QTest::newRow("40 parts over 4 connections") << 1748 << 40 << 4;
    QTest::newRow("one article over 4 connections") << 0 << 1 << 4;
}

void TestUploadInn::binaryRoundTrip()
{
    QFETCH(int, maxLines);
    QFETCH(int, parts);
    QFETCH(int, connections);
    UploadFixture f;
    f.state.Settings.Connections = qint16(connections);
    const QString name = QStringLiteral("random%1-%2.bin").arg(maxLines).arg(connections);
    const QString path = f.writeRandom(name, 3 * 1024 * 1024, quint32(maxLines) + 11);
    TTask t = f.upload(path, m_inn.Server(), maxLines, QString::fromLatin1(Group1));
    t.Text3 = "back@example.com";
    t.Text4 = "Quorvel Tests";
    // When the first part is taken, the other connections still carry theirs.
    int carried = 0;
    connect(&f.poster, &TUploadPoster::PartAccepted, this,
            [&] { carried = std::max(carried, f.poster.MultiPart().Connections().Busy() + 1); });
    post(f, {t});
    QCOMPARE(f.poster.MultiPart().Parallel(), connections > 1);
    if (parts > 1)
        QCOMPARE(carried, connections);

    const QList<TNntpReader::TArticle> articles = fetch(Group1, name.toUtf8());
    QCOMPARE(articles.size(), parts);
    QByteArray joined;
    QStringList articleFiles;
    for (int k = 0; k < parts; ++k) {
        const TNntpReader::TArticle& a = articles[k];
        QCOMPARE(a.Header("Subject"), QStringLiteral("Pics - %1 (%2/%3) %4 Bytes")
                                          .arg(name)
                                          .arg(k + 1)
                                          .arg(parts)
                                          .arg(3 * 1024 * 1024)
                                          .toUtf8());
        QCOMPARE(a.Header("From"), QByteArray("me@example.com (Me)"));
        QCOMPARE(a.Header("Reply-To"), QByteArray("back@example.com"));
        QCOMPARE(a.Header("Organization"), QByteArray("Quorvel Tests"));
        QCOMPARE(a.Header("Newsgroups"), Group1.toByteArray());
        if (maxLines > 0 && k + 1 < parts)
            QCOMPARE(a.Body.size(), maxLines);
        const QByteArray whole = PostedArticles::Text(a);
        for (const QByteArray& line : a.Body)
            joined += line + '\n';
        articleFiles << m_work.filePath(QStringLiteral("%1.part%2").arg(name).arg(k + 1));
        QFile out(articleFiles.last());
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(whole) == whole.size());
    }
    QVERIFY(joined.startsWith("begin 644 " + name.toUtf8() + "\n"));

    // GNU uudecode on the joined bodies, into a file of our own.
    const QString encoded = m_work.filePath(name + ".uue");
    QFile uue(encoded);
    QVERIFY(uue.open(QIODevice::WriteOnly) && uue.write(joined) == joined.size());
    uue.close();
    const QString decoded = m_work.filePath(name + ".uudecode");
    QString output;
    QCOMPARE(RunTool("uudecode", {"-o", decoded, encoded}, &output), 0);
    QVERIFY2(readAll(decoded) == readAll(path), qPrintable(output));

    // uudeview on the articles themselves, finding and ordering the parts by their subjects.
    const QString outDir = m_work.filePath("uudeview-" + name);
    QVERIFY(QDir().mkpath(outDir));
    QCOMPARE(
        RunTool("uudeview", QStringList{"-i", "-q", "-p", outDir + "/"} + articleFiles, &output),
        0);
    QVERIFY2(readAll(outDir + "/" + name) == readAll(path), qPrintable(output));
}

void TestUploadInn::textFileInParts()
{
    UploadFixture f;
    QByteArray text;
    for (int i = 1; i <= 2500; ++i)
        text +=
            (i % 100 == 0 ? "." : "") + QByteArray("text line ") + QByteArray::number(i) + "\r\n";
    const QString path = f.write("story.txt", text);
    post(f, {f.upload(path, m_inn.Server(), 1000, QString::fromLatin1(Group1))});

    const QList<TNntpReader::TArticle> articles = fetch(Group1, "story.txt");
    QCOMPARE(articles.size(), 3);
    QList<QByteArray> lines;
    for (int k = 0; k < 3; ++k) {
        QVERIFY(articles[k].Header("Subject").contains(QByteArray::number(k + 1) + "/3)"));
        lines += articles[k].Body;
    }
    QList<QByteArray> expected = text.split('\n');
    expected.removeLast();
    for (QByteArray& line : expected)
        line.chop(1); // the CR
    QCOMPARE(lines, expected);
}

void TestUploadInn::eightBitText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QString>("fallback");
    QTest::addColumn<QByteArray>("charset"); // empty: no MIME header lines at all
    const QByteArray utf8 = "Gr\xc3\xbc\xc3\x9f \xe2\x82\xac 5\r\nzweite Zeile\r\ndritte\r\n";
    const QByteArray latin1 = "Gr\xfc\xdf aus K\xf6ln\r\nzweite Zeile\r\ndritte\r\n";
    QTest::newRow("UTF-8 in one article") << utf8 << 0 << "ISO-8859-1" << QByteArray("UTF-8");
    QTest::newRow("UTF-8 in parts") << utf8 << 2 << "ISO-8859-1" << QByteArray("UTF-8");
    QTest::newRow("Latin-1") << latin1 << 0 << "ISO-8859-1" << QByteArray("ISO-8859-1");
    QTest::newRow("Latin-1 in parts, own charset")
        << latin1 << 2 << "windows-1252" << QByteArray("windows-1252");
    QTest::newRow("a forged charset falls back")
        << latin1 << 0 << "x\r\nX-Evil: 1" << QByteArray("ISO-8859-1");
    QTest::newRow("ASCII as always")
        << QByteArray("plain\r\n") << 0 << "ISO-8859-1" << QByteArray();
}

// Text with 8-bit bytes says which charset it is in; the bytes go out untouched.
void TestUploadInn::eightBitText()
{
    QFETCH(QByteArray, text);
    QFETCH(int, maxLines);
    QFETCH(QString, fallback);
    QFETCH(QByteArray, charset);
    UploadFixture f;
    f.state.Settings.TextCharset = fallback;
    const QString tag = QString::fromLatin1(QTest::currentDataTag())
                            .remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")));
    const QString name = QStringLiteral("charset%1.txt").arg(tag);
    const QString path = f.write(name, text);
    post(f, {f.upload(path, m_inn.Server(), maxLines, QString::fromLatin1(Group2))});

    const QList<TNntpReader::TArticle> articles = fetch(Group2, name.toUtf8());
    QCOMPARE(articles.size(), maxLines == 2 ? 2 : 1);
    QList<QByteArray> lines;
    for (const TNntpReader::TArticle& a : articles) {
        lines += a.Body;
        QVERIFY(a.Header("X-Evil").isEmpty());
        if (charset.isEmpty()) {
            QVERIFY(a.Header("MIME-Version").isEmpty() && a.Header("Content-Type").isEmpty());
            continue;
        }
        QCOMPARE(a.Header("MIME-Version"), QByteArray("1.0"));
        QCOMPARE(a.Header("Content-Type"), "text/plain; charset=" + charset);
        QCOMPARE(a.Header("Content-Transfer-Encoding"), QByteArray("8bit"));
    }
    QCOMPARE(lines.join("\r\n") + "\r\n", text);
}

void TestUploadInn::crossPostAndOnePerGroup()
{
    UploadFixture f;
    const QString crossed = f.writeRandom("crossed.bin", 70000, 5);
    const QString single = f.writeRandom("pergroup.bin", 50000, 6);
    const QString both = QString::fromLatin1(Group1) + "," + QString::fromLatin1(Group2);
    post(f, {f.upload(crossed, m_inn.Server(), 600, both),
             f.upload(single, m_inn.Server(), 600, QString::fromLatin1(Group1)),
             f.upload(single, m_inn.Server(), 600, QString::fromLatin1(Group2))});

    // The cross-post is one set of articles that both groups show.
    const QList<TNntpReader::TArticle> in1 = fetch(Group1, "crossed.bin");
    const QList<TNntpReader::TArticle> in2 = fetch(Group2, "crossed.bin");
    QCOMPARE(in1.size(), 3);
    QCOMPARE(in2.size(), 3);
    for (int k = 0; k < 3; ++k) {
        QCOMPARE(in1[k].Header("Message-ID"), in2[k].Header("Message-ID"));
        QCOMPARE(in1[k].Header("Newsgroups"), both.toUtf8());
    }
    // One per group: each group has its own copy.
    const QList<TNntpReader::TArticle> own1 = fetch(Group1, "pergroup.bin");
    const QList<TNntpReader::TArticle> own2 = fetch(Group2, "pergroup.bin");
    QCOMPARE(own1.size(), 2);
    QCOMPARE(own2.size(), 2);
    for (int k = 0; k < 2; ++k) {
        QVERIFY(own1[k].Header("Message-ID") != own2[k].Header("Message-ID"));
        QCOMPARE(own1[k].Body, own2[k].Body);
        QCOMPARE(own2[k].Header("Newsgroups"), Group2.toByteArray());
    }
}

QTEST_GUILESS_MAIN(TestUploadInn)
#include "tst_upload_inn.moc"

void TestUploadInn::checkOnTheServerFedFromThePostingOne()
{
    // A feeds B, the profile's check server. Part 2 reaches B and is cancelled there before
    // the check asks B for it, its delay after A took it: B's answer is what counts, so the
    // part goes again through A under a new Message-ID, reaches B, and is found there.
    TInnPair pair;
    QString error;
    QVERIFY2(pair.Start(&error), qPrintable(error));
    UploadFixture f;
    TServerEntry b;
    b.Name = "fed";
    QVERIFY(b.SetAddress(pair.B.Server()));
    b.Role = TServerRole::Check;
    f.state.Settings.FurtherServers = {b};
    f.state.Settings.CheckServerDelay = 8; // time for the feed and the cancel
    f.state.Settings.CheckRounds = 2;
    const QString path = f.writeLines("fed.txt", 3000);
    TTask t = f.upload(path, pair.A.Server(), 1000, "quorvel.test");
    t.Text5 = CommaText::Write({"%s (%p/%t)", "fed check", path});
    UploadFields(t).Batch = "fed";
    f.list.Add(t);
    QString cancelled;
    QVERIFY(RunUntil(
        [&] {
            if (cancelled.isEmpty()) {
                const QList<TJournalArticle> journal = f.journal("fed");
                if (journal.size() < 2 || journal[1].State != TArticleState::Accepted)
                    return false;
                for (const auto& a : PostedArticles::Fetch(pair.B.Port(), "quorvel.test", "(2/3)"))
                    if (a.Header("Message-ID") == journal[1].MessageId.toUtf8() &&
                        pair.B.CancelArticle(journal[1].MessageId, &error))
                        cancelled = journal[1].MessageId;
                return false;
            }
            return f.list.IsEmpty() && !f.poster.Account().Checking();
        },
        60000));
    QCOMPARE(f.session.Lines().filter("3 posted, 3 checked, 1 re-posted, 0 missing").size(), 1);
    const QList<TJournalArticle> journal = f.journal("fed");
    QCOMPARE(journal.size(), 3);
    QVERIFY(journal[1].MessageId != cancelled);
    for (const TJournalArticle& a : journal)
        QCOMPARE(a.State, TArticleState::Checked);
    const auto onB = PostedArticles::Fetch(pair.B.Port(), "quorvel.test", "(2/3)");
    QCOMPARE(onB.size(), 1);
    QCOMPARE(onB[0].Header("Message-ID"), journal[1].MessageId.toUtf8());
}
