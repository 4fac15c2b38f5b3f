#include "InnServer.h"
#include "PeerTools.h"
#include "PostedArticles.h"
#include "UploadFixture.h"
#include "codec/EUUCode.h"
#include "codec/YEncJoiner.h"
#include "tasks/TaskFields.h"
#include "upload/BatchAccount.h"
#include "upload/NzbFile.h"
#include "upload/SubjectLine.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {

constexpr QByteArrayView Group = "quorvel.bulk.0000001";

// size bytes of each kind of content the cases need.
QByteArray content(const QString& kind, qint64 size)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator rng(quint32(size) + 7);
    for (qint64 i = 0; i < size; ++i) {
        if (kind == "all values")
            bytes[i] = char(i % 256);
        else if (kind == "letters") // nothing escaped: every line holds 128 bytes
            bytes[i] = char('a' + i % 26 - 42);
        else
            bytes[i] = char(rng.bounded(256));
    }
    return bytes;
}

} // namespace

// yEnc posts to a real INN server, read back and decoded by uudeview, by our joiner (which
// checks every pcrc32 and the crc32) and by NZBGet, a downloader that checks them too.
class TestUploadYEnc : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();
    void nzbgetDownloads_data();
    void nzbgetDownloads();

private:
    TTask yencTask(UploadFixture& f, const QString& path, int maxLines) const;
    void post(UploadFixture& f, const QList<TTask>& tasks);
    // The articles whose subject contains the marker, in part order.
    QList<TNntpReader::TArticle> fetch(const QByteArray& marker);
    // Saves each article with its headers; the files in part order.
    QStringList save(const QList<TNntpReader::TArticle>& articles, const QString& stem);

    TInnServer m_inn;
    QTemporaryDir m_work;
};

void TestUploadYEnc::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    TInnServer::TOptions options;
    options.Groups = 1;
    QString error;
    QVERIFY2(m_inn.Start(options, &error), qPrintable(error));
}

void TestUploadYEnc::cleanupTestCase()
{
    m_inn.Stop();
}

TTask TestUploadYEnc::yencTask(UploadFixture& f, const QString& path, int maxLines) const
{
    TTask t = f.upload(path, m_inn.Server(), maxLines, QString::fromLatin1(Group));
    UploadFields(t).YEnc = true;
    return t;
}

void TestUploadYEnc::post(UploadFixture& f, const QList<TTask>& tasks)
{
    for (const TTask& task : tasks)
        f.list.Add(task);
    QVERIFY(f.runUntil([&] { return f.list.IsEmpty() && !f.list.RunnerBusy(); }));
    QCOMPARE(f.view.Warnings, QStringList());
}

QList<TNntpReader::TArticle> TestUploadYEnc::fetch(const QByteArray& marker)
{
    return PostedArticles::Fetch(m_inn.Port(), Group, marker);
}

QStringList TestUploadYEnc::save(const QList<TNntpReader::TArticle>& articles, const QString& stem)
{
    QStringList files;
    for (qsizetype k = 0; k < articles.size(); ++k) {
        files << m_work.filePath(QStringLiteral("%1.article%2").arg(stem).arg(k + 1));
        PeerTools::WriteFile(files.last(), PostedArticles::Text(articles[k]));
    }
    return files;
}

void TestUploadYEnc::roundTrip_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<int>("parts");
    QTest::addColumn<bool>("extras"); // include text and signature around the parts
    // One line per part: parts of 128 bytes, so 128 fills one and 129 starts a second.
    for (int size : {0, 1, 127, 128, 129}) {
        QTest::addRow("%d bytes in parts", size)
            << "random" << size << 1 << qMax(1, (size + 127) / 128) << false;
        QTest::addRow("%d bytes in one piece", size) << "random" << size << 0 << 1 << false;
    }
    QTest::newRow("all byte values in parts") << "all values" << 256 * 40 << 8 << 10 << false;
    QTest::newRow("all byte values in one piece") << "all values" << 256 * 40 << 0 << 1 << false;
    QTest::newRow("parts ending on a line end") << "letters" << 3 * 4 * 128 << 4 << 3 << false;
    QTest::newRow("3 MiB with include text and signature")
        << "random" << 3 * 1024 * 1024 << 2000 << 13 << true;
}

void TestUploadYEnc::roundTrip()
{
    QFETCH(QString, kind);
    QFETCH(int, size);
    QFETCH(int, maxLines);
    QFETCH(int, parts);
    QFETCH(bool, extras);
    UploadFixture f;
    const QString name = QStringLiteral("y%1-%2-%3.bin").arg(kind.left(3)).arg(size).arg(maxLines);
    const QByteArray bytes = content(kind, size);
    const QString path = f.write(name, bytes);
    TTask t = yencTask(f, path, maxLines);
    if (extras) {
        UploadFields(t).IncludeText = CommaText::Write({"Holiday pictures", ".dotted"});
        UploadFields(t).SignatureFile = f.write("sig.txt", "-- \r\nMe\r\n");
    }
    post(f, {t});

    const QList<TNntpReader::TArticle> articles = fetch(name.toUtf8());
    QCOMPARE(articles.size(), parts);
    for (int k = 0; k < parts; ++k) {
        const QList<QByteArray>& body = articles[k].Body;
        QCOMPARE(articles[k].Header("Subject"), QStringLiteral("Pics - %1 (%2/%3) %4 Bytes")
                                                    .arg(name)
                                                    .arg(k + 1)
                                                    .arg(parts)
                                                    .arg(size)
                                                    .toUtf8());
        const qsizetype head = extras && k == 0 ? 2 : 0;
        const qsizetype tail = extras && k + 1 == parts ? 2 : 0;
        QVERIFY(body.size() >= head + 2 + tail);
        const QByteArray ybegin = body[head];
        QCOMPARE(ybegin,
                 (maxLines > 0 && size > 0 // an empty file goes in one piece
                      ? QStringLiteral("=ybegin part=%1 total=%2 line=128 size=%3 name=%4")
                            .arg(k + 1)
                            .arg(parts)
                            .arg(size)
                            .arg(name)
                      : QStringLiteral("=ybegin line=128 size=%1 name=%2").arg(size).arg(name))
                     .toUtf8());
        const QByteArray yend = body[body.size() - 1 - tail];
        QVERIFY2(yend.startsWith("=yend size="), yend.constData());
        QCOMPARE(yend.contains(" crc32="), k + 1 == parts);
        for (const QByteArray& line : body)
            QVERIFY2(line.size() <= 129, line.left(40).constData());
        if (kind == "letters") // a part of four full lines ends with the fourth
            QCOMPARE(body.size(), 2 + 4 + 1);
    }
    if (extras) {
        QCOMPARE(articles.first().Body.first(), QByteArray("Holiday pictures"));
        QCOMPARE(articles.first().Body.at(1), QByteArray(".dotted"));
        QCOMPARE(articles.last().Body.last(), QByteArray("Me"));
    }
    const QStringList files = save(articles, name);

    // uudeview finds the parts by their headers and decodes them.
    const QString outDir = m_work.filePath("uudeview-" + name);
    QVERIFY(QDir().mkpath(outDir));
    QString output;
    QCOMPARE(PostedArticles::RunTool("uudeview",
                                     QStringList{"-i", "-q", "-p", outDir + "/"} + files, &output),
             0);
    QVERIFY2(QFileInfo::exists(outDir + "/" + name), qPrintable(output));
    QVERIFY2(PeerTools::ReadFile(outDir + "/" + name) == bytes, qPrintable(output));

    // Our joiner checks the sizes, every pcrc32 and the crc32.
    const QString joined = m_work.filePath("joined-" + name);
    try {
        // In any order.
        QCOMPARE(TYEncJoiner(joined).Join(QStringList(files.rbegin(), files.rend())), joined);
    } catch (const EUUCode& e) {
        QFAIL(qPrintable(e.Message()));
    }
    QVERIFY(PeerTools::ReadFile(joined) == bytes);
}

void TestUploadYEnc::nzbgetDownloads_data()
{
    QTest::addColumn<int>("connections");
    QTest::addColumn<int>("smallFiles"); // of one article each, behind the large one
    QTest::newRow("one file over one connection") << 1 << 0;
    QTest::newRow("a batch of three over four connections") << 4 << 2;
}

void TestUploadYEnc::nzbgetDownloads()
{
    if (!PeerTools::Have(QStringLiteral("nzbget")))
        QSKIP("nzbget is not installed (apt-get install nzbget)");
    QFETCH(int, connections);
    QFETCH(int, smallFiles);
    UploadFixture f;
    f.state.Settings.Connections = qint16(connections);
    const QString tag = QString::number(connections);
    QMap<QString, QByteArray> files; // by name
    files["fetched" + tag + ".bin"] = content("random", 1000000);
    for (int k = 1; k <= smallFiles; ++k)
        files[QStringLiteral("small%1-%2.bin").arg(k).arg(tag)] = content("random", 5000 + k);
    QList<TTask> tasks;
    for (auto it = files.cbegin(); it != files.cend(); ++it) {
        TTask t = yencTask(f, f.write(it.key(), it.value()), 1000);
        UploadFields(t).SubjectParts =
            CommaText::Write({TSubjectLine::YEncTemplate(), "N" + tag, t.Text1});
        UploadFields(t).Batch = "nzbget" + tag;
        tasks << t;
    }
    const QString dir = m_work.filePath("nzbget" + tag);
    QVERIFY(QDir().mkpath(dir + "/dst"));
    f.state.Settings.NzbFolder = dir;
    QSignalSpy written(&f.poster.Account(), &TBatchAccount::NzbWritten);
    post(f, tasks);
    QVERIFY(f.runUntil([&] { return !f.poster.Account().Checking(); }));

    // The NZB file the post wrote lists the articles the server holds, file by file.
    QCOMPARE(written.size(), 1);
    const QString nzb = written.first().first().toString();
    QCOMPARE(nzb, dir + "/N" + tag + ".nzb");
    QString error;
    const auto listed = NzbFile::Read(PeerTools::ReadFile(nzb), &error);
    QVERIFY2(listed && listed->size() == files.size(), qPrintable(error));
    const QString first = files.firstKey();
    const QList<TNntpReader::TArticle> articles = fetch("\"" + first.toUtf8() + "\"");
    QCOMPARE(articles.size(), 8); // 128,000 bytes a part
    QVERIFY2(listed->first().Subject.contains(first), qPrintable(listed->first().Subject));
    QCOMPARE(listed->first().Segments.size(), 8);
    for (int k = 0; k < 8; ++k)
        QCOMPARE("<" + listed->first().Segments[k].MessageId.toUtf8() + ">",
                 articles[k].Header("Message-ID"));
    PeerTools::WriteFile(dir + "/nzbget.conf", PostedArticles::NzbgetConf(dir, m_inn.Port()));
    // On a connection failure nzbget retries for ever: timeout ends it.
    QString output;
    PostedArticles::RunTool("timeout", {"60", "nzbget", "-c", dir + "/nzbget.conf", nzb}, &output);
    QVERIFY2(!output.contains("CRC-Error") && !output.contains("failed"), qPrintable(output));
    for (auto it = files.cbegin(); it != files.cend(); ++it)
        QVERIFY2(PeerTools::ReadFile(dir + "/dst/N" + tag + "/" + it.key()) == it.value(),
                 qPrintable(it.key() + "\n" + output));
}

QTEST_GUILESS_MAIN(TestUploadYEnc)
#include "tst_upload_yenc.moc"
