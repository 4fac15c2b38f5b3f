#include "CliProcess.h"
#include "FakeNntpServer.h"
#include "InnServer.h"
#include "NntpReader.h"
#include "TestFiles.h"
#include "SmallDisk.h"
#include "upload/NzbFile.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <csignal>
#include <cstdio>

// Posting, resuming and logging in through the real executable against a private INN
// server (and the scripted fake server where INN cannot misbehave on demand).
class TestCliPost : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void postAndReadBack_data();
    void postAndReadBack();
    void checkNamesWhatIsMissing();
    void nameNotUtf8IsPosted();
    void optionsLeaveTheProfileAlone();
    void par2OptionPostsTheRecoverySet();
    void optionsReachTheArticle_data();
    void optionsReachTheArticle();
    void refusedInputQueuesNothing_data();
    void refusedInputQueuesNothing();
    void groupOutsideTheListIsPostedTo();
    void refusedPostIsResumedLater();
    void killedSeriesGoesOnWithoutDuplicates();
    void damagedTaskFileIsKept_data();
    void damagedTaskFileIsKept();
    void login_data();
    void login();
    void interruptSavesTheQueue();
    void secondProgramStaysOffTheQueue();
    void downloadAndNewGroups();
    void unsavedTasksEndTheRun();
    void fullDiskKeepsEveryFile();
    void scriptFollowsASeries();
    void partlyPostedRunExitsWithThree();
    void outcomesAreToldTruly_data();
    void outcomesAreToldTruly();
    void checkCutShortLeavesAnIncompleteNzb();

private:
    static QByteArray makeFile(const QString& path, int size);
    static void prepare(const TCliProcess& cli, const QString& server, const QStringList& groups);
    // The file the articles carry, put together from their parts and decoded by GNU uudecode.
    static QByteArray decode(QList<TNntpReader::TArticle> parts, const QString& dir);
    QList<TNntpReader::TArticle> articlesWith(const QString& group, const QString& subject);
    // The names of every group the server carries (LIST ACTIVE), in its order.
    static QStringList serverGroups(quint16 port);

    TInnServer m_inn;
    TInnServer m_guarded; // posting needs a login
};

void TestCliPost::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_inn.Start(&error), qPrintable(error));
    QVERIFY2(m_inn.NewGroup(QStringLiteral("alt.test"), &error), qPrintable(error));
    QVERIFY2(m_guarded.Start({.Auth = QStringLiteral("ann:open sesame")}, &error),
             qPrintable(error));
}

void TestCliPost::cleanupTestCase()
{
    m_inn.Stop();
    m_guarded.Stop();
}

QByteArray TestCliPost::makeFile(const QString& path, int size)
{
    const QByteArray bytes = TestFiles::Random(size, QRandomGenerator::global()->generate());
    if (!TestFiles::Write(path, bytes))
        qWarning("cannot write %s", qPrintable(path));
    return bytes;
}

void TestCliPost::prepare(const TCliProcess& cli, const QString& server, const QStringList& groups)
{
    const QString newsrc = cli.Dir() + QStringLiteral("/groups.newsrc");
    QFile f(newsrc);
    QVERIFY(f.open(QIODevice::WriteOnly));
    for (const QString& g : groups)
        f.write(g.toUtf8() + ": 1-10\n");
    f.close();
    QCOMPARE(cli.SetServer(server).ExitCode, 0);
    QCOMPARE(cli.Run({"profile", "set", "CheckDelay", "0"}).ExitCode, 0);
    QCOMPARE(cli.Run({"groups", "import", newsrc}).ExitCode, 0);
}

QList<TNntpReader::TArticle> TestCliPost::articlesWith(const QString& group, const QString& subject)
{
    QList<TNntpReader::TArticle> all;
    QList<TNntpReader::TArticle> matching;
    QString error;
    TNntpReader reader;
    if (!reader.Connect(m_inn.Port(), &error) || !reader.ReadGroup(group.toUtf8(), all, &error))
        qWarning() << "reading" << group << "failed:" << error;
    for (const auto& a : all)
        if (QString::fromUtf8(a.Header("Subject")).startsWith(subject))
            matching << a;
    return matching;
}

QByteArray TestCliPost::decode(QList<TNntpReader::TArticle> parts, const QString& dir)
{
    static const QRegularExpression partNumber(QStringLiteral("\\((\\d+)/(\\d+)\\)"));
    auto number = [](const TNntpReader::TArticle& a) {
        return partNumber.match(QString::fromUtf8(a.Header("Subject"))).captured(1).toInt();
    };
    std::sort(parts.begin(), parts.end(),
              [&](const auto& a, const auto& b) { return number(a) < number(b); });
    QFile encoded(dir + QStringLiteral("/encoded.uue"));
    if (!encoded.open(QIODevice::WriteOnly))
        return QByteArray();
    for (const auto& part : parts)
        for (const QByteArray& line : part.Body)
            encoded.write(line + '\n');
    encoded.close();
    const QString out = dir + QStringLiteral("/decoded.bin");
    QFile::remove(out);
    QProcess uudecode;
    uudecode.start(QStringLiteral("uudecode"), {QStringLiteral("-o"), out, encoded.fileName()});
    uudecode.waitForFinished();
    QFile decoded(out);
    return decoded.open(QIODevice::ReadOnly) ? decoded.readAll() : QByteArray();
}

void TestCliPost::postAndReadBack_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<int>("articlesPerGroup");
    QTest::addColumn<bool>("crossPosted");
    QTest::newRow("whole file") << QStringList{} << QStringList{"quorvel.test"} << 1 << true;
    QTest::newRow("in parts") << QStringList{"--lines", "500"} << QStringList{"quorvel.test"} << 5
                              << true;
    QTest::newRow("cross-posted") << QStringList{} << QStringList{"quorvel.test", "alt.test"} << 1
                                  << true;
    QTest::newRow("once per group")
        << QStringList{"--no-crosspost"} << QStringList{"quorvel.test", "alt.test"} << 1 << false;
}

void TestCliPost::postAndReadBack()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, groups);
    QFETCH(int, articlesPerGroup);
    QFETCH(bool, crossPosted);
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test", "alt.test"});
    const QString subject = QStringLiteral("cli %1").arg(QTest::currentDataTag());
    const QString path = cli.Dir() + QStringLiteral("/Holiday Pics/Beach 01.jpg");
    const QByteArray original = makeFile(path, 100000);

    QStringList args{"post", path, "--subject", subject, "--from", "ann@example.org (Ann)"};
    for (const QString& g : groups)
        args << "--group" << g;
    const auto r = cli.Run(args + options);
    QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    QVERIFY(r.Err.contains(QLatin1String("task(s) ended well")));
    QVERIFY(!QFile::exists(cli.TaskFile()));

    for (const QString& group : groups) {
        const auto articles = articlesWith(group, subject);
        QCOMPARE(articles.size(), articlesPerGroup);
        for (const auto& a : articles) {
            QCOMPARE(a.Header("From"), QByteArray("ann@example.org (Ann)"));
            QVERIFY(a.Header("Subject").contains("Beach 01.jpg"));
            QCOMPARE(a.Header("Newsgroups"),
                     crossPosted ? groups.join(u',').toUtf8() : group.toUtf8());
        }
        QCOMPARE(decode(articles, cli.Dir()), original);
    }

    // The batch's NZB file is named on standard output and lists each article posted once.
    QVERIFY2(r.Out.startsWith("NZB: "), qPrintable(r.Out));
    QFile nzb(r.Out.mid(5).trimmed());
    QVERIFY2(nzb.open(QIODevice::ReadOnly), qPrintable(nzb.fileName()));
    QString error;
    const auto files = NzbFile::Read(nzb.readAll(), &error);
    QVERIFY2(files, qPrintable(error));
    QStringList listed, posted;
    for (const TNzbFile& file : *files)
        for (const TNzbSegment& segment : file.Segments)
            listed << "<" + segment.MessageId + ">";
    for (const QString& group : groups)
        for (const auto& a : articlesWith(group, subject))
            if (!posted.contains(QString::fromUtf8(a.Header("Message-ID"))))
                posted << QString::fromUtf8(a.Header("Message-ID"));
    listed.sort();
    posted.sort();
    QCOMPARE(listed, posted);
    // ... and the server has every one of them.
    const auto check = cli.Run({"check", nzb.fileName()});
    QVERIFY2(check.ExitCode == 0, qPrintable(check.Err));
    QCOMPARE(check.Out, QString());
}

// File names are bytes: "caf\xe9.bin" under a UTF-8 locale is opened by its bytes and shown
// with a replacement character.
void TestCliPost::nameNotUtf8IsPosted()
{
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const QByteArray raw = QFile::encodeName(cli.Dir()) + "/caf\xe9.bin";
    const QByteArray original = makeFile(cli.Dir() + "/plain.bin", 20000);
    QCOMPARE(std::rename(QFile::encodeName(cli.Dir() + "/plain.bin").constData(), raw.constData()),
             0);
    // Qt cannot remove what it cannot name.
    const auto removed = qScopeGuard([&] { std::remove(raw.constData()); });
    // QProcess cannot pass bytes that are not UTF-8: the shell makes the last argument.
    cli.SetEnv("QV_DIR", cli.Dir());
    cli.SetWrapper({"sh", "-c", R"sh(exec "$@" "$(printf '%s/caf\351.bin' "$QV_DIR")")sh", "sh"});
    const auto r = cli.Run({"post", "--group", "quorvel.test", "--subject", "raw name"});
    QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    const auto articles = articlesWith("quorvel.test", "raw name");
    QCOMPARE(articles.size(), 1);
    QVERIFY2(articles[0].Header("Subject").contains("caf\xef\xbf\xbd.bin"),
             articles[0].Header("Subject").constData());
    QCOMPARE(decode(articles, cli.Dir()), original);
}

void TestCliPost::checkNamesWhatIsMissing()
{
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const QString path = cli.Dir() + "/holiday.nzb";
    TNzbFile file{"ann@example.org", 0, "Holiday (1/2)", {"quorvel.test"}, {}};
    // One that no server takes is named and left out; the rest are checked.
    file.Segments = {{1, 100, "never-posted-1@quorvel.invalid"},
                     {2, 100, "<no-at-sign>"},
                     {3, 100, "<never-posted-3@quorvel.invalid>"}};
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(NzbFile::Document("Holiday", {file}));
    out.close();
    const auto missing = cli.Run({"check", path});
    QCOMPARE(missing.ExitCode, 1);
    QCOMPARE(missing.Out, QString("<never-posted-1@quorvel.invalid>  Holiday (1/2), part 1\n"
                                  "<never-posted-3@quorvel.invalid>  Holiday (1/2), part 3\n"));
    QVERIFY2(missing.Err.contains("file 1 (Holiday (1/2)), segment 2: the Message-ID "
                                  "<no-at-sign> is not of the form <left@right>"),
             qPrintable(missing.Err));
    QVERIFY2(missing.Err.contains("2 of 2 article(s) missing; 1 unusable"),
             qPrintable(missing.Err));

    // A server that allows reading only (201) is enough for a check.
    TFakeNntpServer readOnly;
    readOnly.SetGreeting("201 reading only");
    readOnly.AddStoredId("<never-posted-1@quorvel.invalid>");
    QVERIFY(readOnly.Start());
    QCOMPARE(cli.SetServer(readOnly.Server()).ExitCode, 0);
    const auto oneMissing = cli.Run({"check", path});
    QCOMPARE(oneMissing.Out, QString("<never-posted-3@quorvel.invalid>  Holiday (1/2), part 3\n"));
    QVERIFY2(oneMissing.Err.contains("1 of 2 article(s) missing"), qPrintable(oneMissing.Err));

    QCOMPARE(cli.Run({"check"}).ExitCode, 2);
    const auto unreadable = cli.Run({"check", cli.Dir() + "/none.nzb"});
    QCOMPARE(unreadable.ExitCode, 1);
    QVERIFY2(unreadable.Err.contains("cannot read " + cli.Dir() + "/none.nzb"),
             qPrintable(unreadable.Err));
    QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    out.write("<html/>");
    out.close();
    const auto notNzb = cli.Run({"check", path});
    QCOMPARE(notNzb.ExitCode, 1);
    QVERIFY2(notNzb.Err.contains("is no NZB file"), qPrintable(notNzb.Err));
}

void TestCliPost::optionsLeaveTheProfileAlone()
{
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const QString before = cli.Run({"profile", "show"}).Out;
    const QString a = cli.Dir() + QStringLiteral("/one/a.bin");
    const QString b = cli.Dir() + QStringLiteral("/two/b.bin");
    makeFile(a, 3000);
    makeFile(b, 3000);
    const auto r = cli.Run({"post", a, b, "--group", "quorvel.test", "--subject", "two folders",
                            "--lines", "20", "--template", "%s [%p/%t] %f", "--no-crosspost",
                            "--timeout", "20", "--post-timeout", "20"});
    QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    QCOMPARE(cli.Run({"profile", "show"}).Out, before);

    const auto posted = articlesWith("quorvel.test", "two folders [");
    QStringList subjects;
    for (const auto& p : posted)
        subjects << QString::fromUtf8(p.Header("Subject"));
    QVERIFY2(subjects.filter("a.bin").size() >= 2, qPrintable(subjects.join('\n')));
    QVERIFY2(subjects.filter("b.bin").size() >= 2, qPrintable(subjects.join('\n')));
}

void TestCliPost::par2OptionPostsTheRecoverySet()
{
    // The program makes the set itself: no par2 is needed.
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const QString before = cli.Run({"profile", "show"}).Out;
    QVERIFY(before.contains("Par2Percent = 0\n"));
    const QString file = cli.Dir() + QStringLiteral("/set/album.bin");
    makeFile(file, 200000);
    const auto r = cli.Run({"post", file, "--group", "quorvel.test", "--subject", "with a set",
                            "--encoding", "yenc", "--par2", "10"},
                           180000); // the set is made on a machine shared with the other tests
    QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    QCOMPARE(cli.Run({"profile", "show"}).Out, before);
    QStringList subjects;
    for (const auto& p : articlesWith("quorvel.test", "with a set - "))
        subjects << QString::fromUtf8(p.Header("Subject"));
    QVERIFY2(subjects.filter("album.bin (1/1)").size() == 1, qPrintable(subjects.join('\n')));
    QVERIFY2(subjects.filter("album.bin.par2 (1/1)").size() == 1, qPrintable(subjects.join('\n')));
    QVERIFY2(subjects.filter(QRegularExpression("album\\.bin\\.vol\\d+\\+\\d+\\.par2")).size() > 1,
             qPrintable(subjects.join('\n')));
}

void TestCliPost::optionsReachTheArticle_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("expected"); // in this order in the article
    QTest::newRow("include text and signature")
        << QStringList{"@dir/note.txt", "--include-text", "@dir/intro.txt", "--signature",
                       "@dir/sig.txt",  "--subject",      "with extras"}
        << QStringList{"Subject: with extras - note.txt (1/1)", "Opening words", "the note itself",
                       "Signed, Ann"};
    QTest::newRow("catalog descriptions")
        << QStringList{"--catalog", "@dir/files.bbs"}
        << QStringList{"Subject: A fine note - my note.txt (1/1)", "the note itself"};
    QTest::newRow("yEnc") << QStringList{"@dir/pic.bin", "--encoding", "yenc", "--subject", "y"}
                          << QStringList{"Subject: y - pic.bin (1/1) 300 Bytes",
                                         "=ybegin line=128 size=300 name=pic.bin",
                                         "=yend size=300 crc32="};
    QTest::newRow("identity and server options")
        << QStringList{"@dir/note.txt", "--from", "bob@example.net (Bob)", "--subject", "ids"}
        << QStringList{"From: bob@example.net (Bob)", "Subject: ids - note.txt (1/1)"};
}

void TestCliPost::optionsReachTheArticle()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, expected);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TCliProcess cli;
    prepare(cli, QStringLiteral("127.0.0.1:1"), {"quorvel.test"});
    const auto write = [&](const QString& name, const QByteArray& text) {
        QFile f(cli.Dir() + u'/' + name);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    };
    write("note.txt", "the note itself\n");
    write("my note.txt", "the note itself\n");
    write("intro.txt", "Opening words\n");
    write("sig.txt", "Signed, Ann\n");
    write("pic.bin", QByteArray(300, '\xd6')); // every byte escaped: "=@"
    write("files.bbs", "my note.txt   A fine note\n  more about it\nmissing.bin nothing\n");
    options.replaceInStrings(QStringLiteral("@dir"), cli.Dir());

    // --server overrides the profile's (unreachable) server for this run only.
    // Each file goes whole, as one article (a new profile cuts files into parts).
    const auto r = cli.Run(QStringList{"post", "--group", "quorvel.test", "--lines", "0",
                                       "--server", server.Server()} +
                           options);
    QVERIFY2(r.ExitCode == 0, qPrintable(r.Err));
    QCOMPARE(server.Articles().size(), 1);
    const QList<QByteArray> lines = server.Articles().first().split('\n');
    int at = 0;
    for (const QString& want : expected) {
        while (at < lines.size() && !lines[at].trimmed().startsWith(want.toUtf8()))
            ++at;
        QVERIFY2(at < lines.size(),
                 qPrintable(want + " missing or out of order in:\n" + server.Articles().first()));
    }
    QVERIFY(cli.Run({"profile", "show"}).Out.contains(QLatin1String("Host = 127.0.0.1:1\n")));
}

void TestCliPost::refusedInputQueuesNothing_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("status");
    QTest::newRow("missing file") << QStringList{"post", "/no/such/file", "--group", "quorvel.test"}
                                  << "/no/such/file: no such file" << 1;
    QTest::newRow("folder") << QStringList{"post", "/tmp", "--group", "quorvel.test"}
                            << "not a regular file" << 1;
    QTest::newRow("no group") << QStringList{"post", "/etc/hostname"} << "at least one --group"
                              << 2;
    QTest::newRow("no file") << QStringList{"post", "--group", "quorvel.test"}
                             << "needs files or --catalog FILE" << 2;
    QTest::newRow("not a group name")
        << QStringList{"post", "/etc/hostname", "--group", "alt.one,alt.two"}
        << "--group: 'alt.one,alt.two' is not a newsgroup name" << 2;
    QTest::newRow("bad number") << QStringList{"post",         "/etc/hostname", "--group",
                                               "quorvel.test", "--lines",       "lots"}
                                << "--lines: MaxLines takes a whole number" << 2;
    QTest::newRow("negative lines")
        << QStringList{"post", "/etc/hostname", "--group", "quorvel.test", "--lines", "-5"}
        << "MaxLines takes a whole number from 0 to 2147483647, not '-5'" << 2;
    QTest::newRow("unknown encoding")
        << QStringList{"post", "/etc/hostname", "--group", "quorvel.test", "--encoding", "base64"}
        << "--encoding: Encoding takes uuencode, yenc, not 'base64'" << 2;
    QTest::newRow("recovery over 100 per cent")
        << QStringList{"post", "/etc/hostname", "--group", "quorvel.test", "--par2", "200"}
        << "--par2: Par2Percent takes a whole number from 0 to 100, not '200'" << 2;
    QTest::newRow("missing include text")
        << QStringList{"post",         "/etc/hostname",  "--group",
                       "quorvel.test", "--include-text", "/no/such/intro"}
        << "cannot read /no/such/intro" << 1;
    QTest::newRow("example From address")
        << QStringList{"post",         "/etc/hostname", "--group",
                       "quorvel.test", "--from",        "Poster@Example.com (Quorvel User)"}
        << "set yours with 'quorvel-cli profile set EmailAddress ADDRESS'" << 1;
    // A new profile starts with no address: nothing goes out under an empty From.
    QTest::newRow("no From address")
        << QStringList{"post", "/etc/hostname", "--group", "quorvel.test", "--from", ""}
        << "no e-mail address to post from is set" << 1;
    QTest::newRow("missing catalog")
        << QStringList{"post", "--catalog", "/no/files.bbs", "--group", "quorvel.test"}
        << "/no/files.bbs: no such file" << 1;
    QTest::newRow("line break in the subject")
        << QStringList{"post",         "/etc/hostname", "--group",
                       "quorvel.test", "--subject",     "two\nlines"}
        << "--subject: the subject holds a control character (U+000A)" << 2;
}

void TestCliPost::refusedInputQueuesNothing()
{
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QFETCH(int, status);
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const auto r = cli.Run(args);
    QCOMPARE(r.ExitCode, status);
    QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    // A usage error points to the command's own help.
    QCOMPARE(r.Err.contains(QLatin1String("Try 'quorvel-cli post --help'.")), status == 2);
    QVERIFY(!QFile::exists(cli.TaskFile()));
}

void TestCliPost::groupOutsideTheListIsPostedTo()
{
    // The profile lists quorvel.test only; the server carries alt.test as well.
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.test"});
    const QString newsrc = cli.Home() + QStringLiteral("/newsrc.Default");
    QFile before(newsrc);
    QVERIFY(before.open(QIODevice::ReadOnly));
    const QByteArray listed = before.readAll();
    before.close();
    const QString path = cli.Dir() + QStringLiteral("/outside.bin");
    makeFile(path, 3000);

    const auto alone = cli.Run({"post", path, "--group", "alt.test", "--subject", "outside"});
    QVERIFY2(alone.ExitCode == 0, qPrintable(alone.Err));
    QVERIFY2(alone.Err.contains(QLatin1String("Note: 'alt.test' is not in the profile's group "
                                              "list; posting to it anyway.\n")),
             qPrintable(alone.Err));
    QCOMPARE(articlesWith("alt.test", "outside").size(), 1);
    QVERIFY(before.open(QIODevice::ReadOnly));
    QCOMPARE(before.readAll(), listed); // no row, no count, no new entry
    before.close();

    // Beside a listed group: one article in both, counted for the listed one only.
    const auto both = cli.Run(
        {"post", path, "--group", "alt.test", "--group", "quorvel.test", "--subject", "beside"});
    QVERIFY2(both.ExitCode == 0, qPrintable(both.Err));
    const auto articles = articlesWith("alt.test", "beside");
    QCOMPARE(articles.size(), 1);
    QCOMPARE(articles.first().Header("Newsgroups"), QByteArray("quorvel.test,alt.test"));
    QCOMPARE(cli.Run({"groups", "list"}).Out, QStringLiteral("quorvel.test\tsubscribed\t1\n"));
}

void TestCliPost::refusedPostIsResumedLater()
{
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.later"});
    const QString path = cli.Dir() + QStringLiteral("/later.bin");
    const QByteArray original = makeFile(path, 20000);

    // The server does not carry the group yet: it refuses, and the queue is kept.
    const auto refused =
        cli.Run({"post", path, "--group", "quorvel.later", "--subject", "resumed post"});
    QCOMPARE(refused.ExitCode, 1);
    // What stopped the work is an error, and the way on names what the server refused.
    QVERIFY2(refused.Err.contains(QLatin1String("quorvel-cli: error: ")), qPrintable(refused.Err));
    QVERIFY(refused.Err.contains(QLatin1String("The server's refusal stands")));
    QVERIFY(refused.Err.contains(QLatin1String("tasks run")));
    QVERIFY(QFile::exists(cli.TaskFile()));

    const auto shown = cli.Run({"tasks", "show"});
    QCOMPARE(shown.ExitCode, 0);
    QVERIFY(shown.Out.startsWith(QLatin1String("Profile: Default\n1. Upload\n")));
    QVERIFY(shown.Out.contains(path));
    QVERIFY(shown.Out.contains(QLatin1String("2. Disconnect")));
    QVERIFY(!shown.Out.contains(QLatin1String("3.")));
    QVERIFY(QFile::exists(cli.TaskFile())); // showing does not consume the file

    QString error;
    QVERIFY2(m_inn.NewGroup(QStringLiteral("quorvel.later"), &error), qPrintable(error));
    const auto resumed = cli.Run({"tasks", "run"});
    QVERIFY2(resumed.ExitCode == 0, qPrintable(resumed.Err));
    QVERIFY(!QFile::exists(cli.TaskFile()));
    const auto posted = articlesWith("quorvel.later", "resumed post");
    QCOMPARE(posted.size(), 1);
    QCOMPARE(decode(posted, cli.Dir()), original);

    const auto nothing = cli.Run({"tasks", "run"});
    QCOMPARE(nothing.ExitCode, 1);
    QVERIFY(nothing.Err.contains(QLatin1String("no tasks to resume")));
}

namespace {

// How many articles the batch journals in folder record as taken (a part taken again after
// a resume counts again).
int takenInJournals(const QString& folder)
{
    int taken = 0;
    for (const QFileInfo& info : QDir(folder).entryInfoList({"*.journal"}, QDir::Files)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            taken += int(file.readAll().count(",accepted,"));
    }
    return taken;
}

} // namespace

void TestCliPost::killedSeriesGoesOnWithoutDuplicates()
{
    // A 60-part series killed with SIGKILL at ten moments spread over its run (after every
    // sixth part or so, at a random moment of the next), each time followed by "tasks run":
    // in the end every part is on the server exactly once, and the NZB file lists each once.
    constexpr int Parts = 60;
    constexpr int Kills = 10;
    QString error;
    QVERIFY2(m_inn.NewGroup(QStringLiteral("quorvel.resume"), &error), qPrintable(error));
    TCliProcess cli;
    prepare(cli, m_inn.Server(), {"quorvel.resume"});
    // 20 uuencoded lines a part: 1190 lines make 60 parts.
    const QString path = cli.Dir() + QStringLiteral("/series.bin");
    makeFile(path, (1190 - 4) * 45);
    const QString journals = cli.Home() + QStringLiteral("/journals");

    const quint32 seed = QRandomGenerator::global()->generate();
    qInfo("kill moments from seed %u", seed);
    QRandomGenerator random(seed);
    QString nzbPath;
    int kills = 0;
    QStringList args{"post",    path, "--group",   "quorvel.resume",
                     "--lines", "20", "--subject", "resumed"};
    for (int i = 1; i <= Kills && (i == 1 || QFile::exists(cli.TaskFile())); ++i) {
        const std::unique_ptr<QProcess> p = cli.Start(args);
        QElapsedTimer waited;
        waited.start();
        while (p->state() == QProcess::Running &&
               takenInJournals(journals) < i * Parts / (Kills + 1) && waited.elapsed() < 20000)
            QThread::usleep(200);
        QThread::usleep(random.bounded(3000));
        if (p->state() == QProcess::Running && ::kill(pid_t(p->processId()), SIGKILL) == 0)
            ++kills;
        const auto r = TCliProcess::Finish(*p);
        if (r.Out.startsWith(QLatin1String("NZB: ")))
            nzbPath = r.Out.mid(5).trimmed();
        args = QStringList{"tasks", "run"};
    }
    QCOMPARE(kills, Kills);
    const auto last = cli.Run(args);
    QVERIFY2(last.ExitCode == 0, qPrintable(last.Err));
    nzbPath = last.Out.mid(5).trimmed();
    QVERIFY(!QFile::exists(cli.TaskFile()));

    const auto articles = articlesWith("quorvel.resume", "resumed");
    QMap<QString, int> perSubject;
    QStringList posted;
    for (const auto& a : articles) {
        ++perSubject[QString::fromUtf8(a.Header("Subject"))];
        posted << QString::fromUtf8(a.Header("Message-ID"));
    }
    QCOMPARE(perSubject.size(), Parts);
    for (auto it = perSubject.cbegin(); it != perSubject.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));

    QFile nzb(nzbPath);
    QVERIFY2(nzb.open(QIODevice::ReadOnly), qPrintable(nzbPath));
    const auto files = NzbFile::Read(nzb.readAll(), &error);
    QVERIFY2(files && files->size() == 1, qPrintable(error));
    QStringList listed;
    for (const TNzbSegment& segment : files->first().Segments)
        listed << "<" + segment.MessageId + ">";
    listed.sort();
    posted.sort();
    QCOMPARE(listed, posted);
}

void TestCliPost::damagedTaskFileIsKept_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::newRow("too few fields") << QByteArray("Default\r\n1,/tmp/a,b\r\n") << "line 2";
    QTest::newRow("kind not a number")
        << QByteArray("Default\r\nx,,,,,,,,,,,60,30,0,n,n\r\n") << "line 2";
    QTest::newRow("open quote") << QByteArray("Default\r\n4,\"127.0.0.1,,,,,,,,,,60,30,0,n,n\r\n")
                                << "line 2";
}

void TestCliPost::damagedTaskFileIsKept()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    TCliProcess cli;
    QDir().mkpath(cli.Home());
    QFile file(cli.TaskFile());
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();

    const auto shown = cli.Run({"tasks", "show"});
    QCOMPARE(shown.ExitCode, 1);
    QVERIFY2(shown.Err.contains(message), qPrintable(shown.Err));
    const auto run = cli.Run({"tasks", "run"});
    QCOMPARE(run.ExitCode, 1);
    QVERIFY(!run.Err.contains(QLatin1String("Connecting")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content); // nothing lost: the user can mend it by hand
}

void TestCliPost::login_data()
{
    QTest::addColumn<QString>("password"); // empty: none given
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("right password") << "open sesame" << 0 << "task(s) ended well";
    QTest::newRow("wrong password") << "guess" << 1 << "quorvel-cli: error: ";
    QTest::newRow("no password in a script") << "" << 1 << "QUORVEL_PASSWORD";
}

void TestCliPost::login()
{
    QFETCH(QString, password);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    TCliProcess cli;
    prepare(cli, m_guarded.Server(), {"quorvel.test"});
    if (!password.isEmpty())
        cli.SetEnv("QUORVEL_PASSWORD", password);
    const QString path = cli.Dir() + QStringLiteral("/guarded.bin");
    makeFile(path, 5000);
    const auto r =
        cli.Run({"post", path, "--group", "quorvel.test", "--user", "ann", "--subject", "guarded"});
    QCOMPARE(r.ExitCode, exitCode);
    QVERIFY2(r.Err.contains(message), qPrintable(r.Err));
    QVERIFY(!r.Err.contains(password.isEmpty() ? QStringLiteral("\x01") : password));
    // A password that went without TLS is told once on the terminal.
    if (!password.isEmpty())
        QCOMPARE(r.Err.count(QStringLiteral("the password for %1 goes in clear text: set Security "
                                            "tls or starttls")
                                 .arg(m_guarded.Server().section(u':', 0, 0))),
                 1);
    // Nothing was queued without a password; a refused login keeps the queue.
    QCOMPARE(QFile::exists(cli.TaskFile()), exitCode != 0 && !password.isEmpty());
    // The login was the run's: the profile still has none.
    const QString shown = cli.Run({"profile", "show"}).Out;
    QVERIFY2(shown.contains("UserID = \n") && shown.contains("LoginRequired = 0\n"),
             qPrintable(shown));
    if (!QFile::exists(cli.TaskFile()))
        return;
    // The kept tasks hold the profile's login, not the run's: the resumed run names its own.
    cli.SetEnv("QUORVEL_PASSWORD", "open sesame");
    const auto resumed = cli.Run({"tasks", "run", "--user", "ann"});
    QVERIFY2(resumed.ExitCode == 0, qPrintable(resumed.Err));
    QVERIFY(!QFile::exists(cli.TaskFile()));
}

void TestCliPost::interruptSavesTheQueue()
{
    TFakeNntpServer server;
    QVERIFY(server.Start());
    TFakeNntpServer::TRule post;
    post.Command = "POST";
    post.TakesArticle = true;
    post.Lines = {"340 send article"};
    post.StallAfterLines = 5;
    server.Add(post);
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    const QString path = cli.Dir() + QStringLiteral("/stalled.bin");
    makeFile(path, 200000);

    const auto process = cli.Start({"post", path, "--group", "quorvel.test"});
    QTRY_VERIFY_WITH_TIMEOUT(server.ArticleLinesSoFar() >= 5, 20000);
    ::kill(pid_t(process->processId()), SIGINT);
    const auto r = TCliProcess::Finish(*process);
    QCOMPARE(r.ExitCode, 130);
    QVERIFY2(r.Err.contains(QLatin1String("interrupted")), qPrintable(r.Err));
    QVERIFY(QFile::exists(cli.TaskFile()));
    QVERIFY(cli.Run({"tasks", "show"}).Out.contains(path));
}

void TestCliPost::secondProgramStaysOffTheQueue()
{
    // The first POST stalls, so the first program holds the queue; later ones are taken.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    TFakeNntpServer::TRule post;
    post.Command = "POST";
    post.TakesArticle = true;
    post.Lines = {"340 send article"};
    post.StallAfterLines = 5;
    post.Once = true;
    server.Add(post);
    server.OnPost();
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    const QString path = cli.Dir() + QStringLiteral("/held.bin");
    makeFile(path, 200000);
    const auto first = cli.Start({"post", path, "--group", "quorvel.test"});
    QTRY_VERIFY_WITH_TIMEOUT(server.ArticleLinesSoFar() >= 5, 20000);

    const QString holder = QStringLiteral("process %1").arg(first->processId());
    for (const QStringList& args :
         {QStringList{"tasks", "run"}, QStringList{"post", path, "--group", "quorvel.test"}}) {
        const auto second = cli.Run(args);
        QCOMPARE(second.ExitCode, 1);
        QVERIFY2(second.Err.contains(holder), qPrintable(second.Err));
    }
    QCOMPARE(server.Connections(), 1); // the second ones never connected

    // A lock left by a killed program is taken over: its kept task goes, once.
    ::kill(pid_t(first->processId()), SIGKILL);
    TCliProcess::Finish(*first);
    const auto resumed = cli.Run({"tasks", "run"});
    QVERIFY2(resumed.ExitCode == 0, qPrintable(resumed.Err));
    QCOMPARE(server.Kept().size(), 1);
}

QStringList TestCliPost::serverGroups(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    auto line = [&socket] {
        while (!socket.canReadLine())
            if (!socket.waitForReadyRead(10000))
                return QByteArray(".");
        return socket.readLine().trimmed();
    };
    QStringList names;
    if (!socket.waitForConnected(10000) || !line().startsWith("200"))
        return names;
    socket.write("LIST ACTIVE\r\n");
    if (!line().startsWith("215"))
        return names;
    for (QByteArray l = line(); l != "."; l = line())
        names << QString::fromUtf8(l.left(l.indexOf(' ')));
    socket.write("QUIT\r\n");
    socket.waitForBytesWritten(1000);
    return names;
}

void TestCliPost::downloadAndNewGroups()
{
    TCliProcess cli;
    QCOMPARE(cli.SetServer(m_inn.Server()).ExitCode, 0);
    const QString before = cli.Run({"groups", "list"}).Out;

    // Without a terminal the overwrite question cannot be answered: nothing changes.
    const auto refused = cli.Run({"groups", "download"});
    QCOMPARE(refused.ExitCode, 1);
    QVERIFY(refused.Err.contains(QLatin1String("overwrite your newsrc")));
    QVERIFY(refused.Err.contains(QLatin1String("--yes")));
    QCOMPARE(cli.Run({"groups", "list"}).Out, before);
    const auto tooEarly = cli.Run({"groups", "new"});
    QCOMPARE(tooEarly.ExitCode, 1);
    QVERIFY(tooEarly.Err.contains(QLatin1String("groups download")));

    const auto downloaded = cli.Run({"--yes", "groups", "download"});
    QVERIFY2(downloaded.ExitCode == 0, qPrintable(downloaded.Err));
    const QStringList onServer = serverGroups(m_inn.Port());
    QVERIFY(!onServer.isEmpty());
    QString error;
    QStringList expected;
    for (const QString& g : onServer)
        expected << g + QStringLiteral("\tunsubscribed\t0");
    QCOMPARE(cli.Run({"groups", "list"}).Out.trimmed().split(u'\n'), expected);
    const QString lastUpdate = cli.Run({"profile", "show"}).Out;
    QVERIFY(QRegularExpression(QStringLiteral("LastUpdate = \\d\\d/\\d\\d/\\d\\d \\d\\d:"))
                .match(lastUpdate)
                .hasMatch());

    QVERIFY2(m_inn.NewGroup(QStringLiteral("quorvel.fresh"), &error), qPrintable(error));
    const auto fresh = cli.Run({"groups", "new"});
    QVERIFY2(fresh.ExitCode == 0, qPrintable(fresh.Err));
    // The server counts in whole seconds, so a group made in the second of the download may
    // come again; the one made since must be there, and what is printed is the new list.
    const QStringList printed = fresh.Out.split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(printed.contains(QStringLiteral("quorvel.fresh")), qPrintable(fresh.Out));
    QStringList listed;
    for (const QString& line :
         cli.Run({"groups", "list", "--new"}).Out.split(u'\n', Qt::SkipEmptyParts))
        listed << line.section(u'\t', 0, 0);
    QCOMPARE(listed, printed);

    // Both move, from two lists; the next start reads them in the newsrc file's order.
    QCOMPARE(cli.Run({"groups", "subscribe", "quorvel.fresh", "quorvel.test"}).ExitCode, 0);
    QCOMPARE(cli.Run({"groups", "list", "--subscribed"}).Out,
             QStringLiteral("quorvel.test\tsubscribed\t0\nquorvel.fresh\tsubscribed\t0\n"));
    QCOMPARE(cli.Run({"groups", "unsubscribe", "quorvel.test"}).ExitCode, 0);
    QCOMPARE(cli.Run({"groups", "list", "--subscribed"}).Out,
             QStringLiteral("quorvel.fresh\tsubscribed\t0\n"));
    const auto typo = cli.Run({"groups", "unsubscribe", "quorvel.fresh", "quorvel.tset"});
    QCOMPARE(typo.ExitCode, 1);
    QVERIFY(typo.Err.contains(QLatin1String("'quorvel.tset' is not in the profile's group list")));
    QCOMPARE(cli.Run({"groups", "list", "--subscribed"}).Out,
             QStringLiteral("quorvel.fresh\tsubscribed\t0\n"));
}

namespace {

QByteArray contents(const QString& path)
{
    return TestFiles::Read(path, "<unreadable>");
}

void refusePosts(TFakeNntpServer& server)
{
    server.OnPost({"441 posting failed"});
    server.On("LIST*", {"215 list follows", "alt.one 10 1 y", "alt.two 5 1 y", "."});
}

} // namespace

void TestCliPost::unsavedTasksEndTheRun()
{
    // The task file cannot be written: the refused post is reported, posted once, and the
    // run ends instead of waiting for a queue that never empties.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    refusePosts(server);
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    QVERIFY(QDir().mkpath(cli.TaskFile()));
    const QString path = cli.Dir() + QStringLiteral("/refused.bin");
    makeFile(path, 3000);

    const auto r = cli.Run({"post", path, "--group", "quorvel.test"}, 20000);
    QCOMPARE(r.ExitCode, 1);
    QVERIFY2(r.Err.contains(QLatin1String("could not be saved to ") + cli.TaskFile()),
             qPrintable(r.Err));
    QVERIFY(!r.Err.contains(QLatin1String("are kept in")));
    QCOMPARE(server.Articles().size(), 1);
}

void TestCliPost::fullDiskKeepsEveryFile()
{
    TFakeNntpServer server;
    QVERIFY(server.Start());
    refusePosts(server);
    TCliProcess cli;
    TSmallDisk disk(cli.Home());
    QString why;
    if (!disk.Mount(512, &why))
        QSKIP(qPrintable(QStringLiteral("no small disk for the data folder: ") + why));
    const QString settings = cli.Home() + QStringLiteral("/quorvel.ini");
    cli.SetEnv(QStringLiteral("QUORVEL_SETTINGS"), settings);
    prepare(cli, server.Server(), {"quorvel.test"});
    const QString sessionLog = cli.Home() + QStringLiteral("/qvsession.log");
    const QString newsrc = cli.Home() + QStringLiteral("/newsrc.Default");
    QFile old(sessionLog);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an earlier session\r\n");
    old.close();
    const QByteArray before[] = {contents(settings), contents(sessionLog)};
    const QString path = cli.Dir() + QStringLiteral("/full.bin");
    makeFile(path, 3000);
    QVERIFY2(disk.Fill(&why), qPrintable(why));

    // Not even the queue's lock can be written: nothing is queued or posted.
    const QString noLock = QStringLiteral("qvqueue.lock cannot be made: the disk is full");
    const auto posted = cli.Run({"--verbose", "post", path, "--group", "quorvel.test"}, 20000);
    QCOMPARE(posted.ExitCode, 1);
    QVERIFY2(posted.Err.contains(noLock), qPrintable(posted.Err));
    QVERIFY(!posted.Err.contains(QLatin1String("are kept in")));
    QVERIFY(!posted.Err.contains(QLatin1String("Tasks saved")));
    QVERIFY(!QFile::exists(cli.TaskFile()));
    QVERIFY(server.Articles().isEmpty());

    const QByteArray groups = contents(newsrc);
    const auto downloaded = cli.Run({"--yes", "groups", "download"}, 20000);
    QCOMPARE(downloaded.ExitCode, 1);
    QVERIFY(!downloaded.Err.contains(QLatin1String("ended well")));
    QVERIFY2(downloaded.Err.contains(noLock), qPrintable(downloaded.Err));

    QCOMPARE(cli.Run({"profile", "set", "Host", "news.elsewhere"}).ExitCode, 1);
    QCOMPARE(contents(newsrc), groups);
    QCOMPARE(contents(settings), before[0]);
    QCOMPARE(contents(sessionLog), before[1]);
}

namespace {

// The JSON objects of a run's standard output, one a line; an empty list when a line is not one.
QList<QJsonObject> jsonLines(const QString& out)
{
    QList<QJsonObject> events;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonDocument doc = QJsonDocument::fromJson(line.toUtf8());
        if (!doc.isObject())
            return {};
        events << doc.object();
    }
    return events;
}

QList<QJsonObject> eventsOf(const QList<QJsonObject>& events, const char* name)
{
    QList<QJsonObject> found;
    for (const QJsonObject& e : events)
        if (e.value(QLatin1String("event")).toString() == QLatin1String(name))
            found << e;
    return found;
}

} // namespace

void TestCliPost::scriptFollowsASeries()
{
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    const QString path = cli.Dir() + QStringLiteral("/series.bin");
    makeFile(path, 20000);
    const QStringList post{"post", path, "--group", "quorvel.test", "--lines", "100"};

    // Without a terminal: the file started and posted, no per cents.
    const auto plain = cli.Run(post);
    QVERIFY2(plain.ExitCode == 0, qPrintable(plain.Err));
    const qsizetype parts = server.Articles().size();
    QVERIFY(parts > 2);
    QVERIFY2(plain.Err.startsWith(
                 QStringLiteral("Posting %1\nPosted %1: %2 part(s)\n").arg(path).arg(parts)),
             qPrintable(plain.Err));
    QVERIFY2(!plain.Err.contains(u'%'), qPrintable(plain.Err));
    QVERIFY(plain.Out.startsWith(QLatin1String("NZB: ")));

    // --json: one object a line, and nothing else on standard output.
    const auto json = cli.Run(post + QStringList{"--json"});
    QVERIFY2(json.ExitCode == 0, qPrintable(json.Err));
    const QList<QJsonObject> events = jsonLines(json.Out);
    QVERIFY2(!events.isEmpty(), qPrintable(json.Out));
    const QList<QJsonObject> accepted = eventsOf(events, "part_accepted");
    QCOMPARE(accepted.size(), parts);
    for (int i = 0; i < accepted.size(); ++i)
        QCOMPARE(accepted[i].value(QLatin1String("part")).toInteger(), qint64(i + 1));
    QCOMPARE(accepted.last().value(QLatin1String("batch_bytes_done")).toInteger(), 20000LL);
    QCOMPARE(accepted.last().value(QLatin1String("batch_bytes_total")).toInteger(), 20000LL);
    const QList<QJsonObject> ended = eventsOf(events, "file_ended");
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended[0].value(QLatin1String("result")).toString(), QStringLiteral("posted"));
    const QList<QJsonObject> batch = eventsOf(events, "batch_summary");
    QCOMPARE(batch.size(), 1);
    QVERIFY(QFile::exists(batch[0].value(QLatin1String("nzb")).toString()));
    QCOMPARE(events.last().value(QLatin1String("event")).toString(), QStringLiteral("run_ended"));
    QCOMPARE(events.last().value(QLatin1String("exit_status")).toInt(), 0);
}

void TestCliPost::partlyPostedRunExitsWithThree()
{
    // Two parts are taken, the third refused: exit status 3, the rest kept in the task file.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost({"240 article posted ok"}, true);
    server.OnPost({"240 article posted ok"}, true);
    server.OnPost({"441 posting failed"});
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    const QString path = cli.Dir() + QStringLiteral("/partly.bin");
    makeFile(path, 20000);

    const auto r =
        cli.Run({"post", path, "--group", "quorvel.test", "--lines", "100", "--json"}, 20000);
    QCOMPARE(r.ExitCode, 3);
    QVERIFY(QFile::exists(cli.TaskFile()));
    const QList<QJsonObject> events = jsonLines(r.Out);
    QCOMPARE(eventsOf(events, "part_accepted").size(), 2);
    const QList<QJsonObject> ended = eventsOf(events, "file_ended");
    QCOMPARE(ended.size(), 1);
    QCOMPARE(ended[0].value(QLatin1String("result")).toString(), QStringLiteral("failed"));
    QCOMPARE(ended[0].value(QLatin1String("file")).toString(), path);
    QVERIFY(ended[0]
                .value(QLatin1String("reason"))
                .toString()
                .contains(QLatin1String("posting failed")));
    QCOMPARE(eventsOf(events, "run_ended").value(0).value(QLatin1String("exit_status")).toInt(), 3);

    // Nothing taken at all: 1.
    TFakeNntpServer refusing;
    QVERIFY(refusing.Start());
    refusePosts(refusing);
    QCOMPARE(cli.SetServer(refusing.Server()).ExitCode, 0);
    QFile::remove(cli.TaskFile());
    QCOMPARE(cli.Run({"post", path, "--group", "quorvel.test", "--lines", "100"}, 20000).ExitCode,
             1);
}

void TestCliPost::outcomesAreToldTruly_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said"); // on standard error
    QTest::newRow("the server keeps nothing")
        << "lose" << 4
        << "2 article(s) still missing on the server after the last check: @dir/out.bin (parts "
           "1, 2)";
    QTest::newRow("STAT not known") << "stat" << 0
                                    << "warning: cannot check articles: 500 What? (@server, "
                                       "STAT check)";
    QTest::newRow("NZB folder through a file")
        << "nzb" << 1 << "Cannot make the folder @dir/plain/nzb: @dir/plain is not a folder";
    QTest::newRow("journals a plain file")
        << "journals" << 1
        << "Cannot make the folder @home/journals: @home/journals is not a folder";
    QTest::newRow("a subject longer than a file name") << "subject" << 0 << "ended well";
}

void TestCliPost::outcomesAreToldTruly()
{
    // Whatever keeps the post from being whole on the server or from being recorded is said,
    // naming the file and the reason, and the run does not exit 0 for it.
    QFETCH(QString, fault);
    QFETCH(int, status);
    QFETCH(QString, said);
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    QString subject = QStringLiteral("outcome");
    if (fault == "lose")
        server.SetLoseEvery(1);
    else if (fault == "stat")
        server.On("STAT*", {"500 What?"});
    else if (fault == "nzb")
        QCOMPARE(cli.Run({"profile", "set", "NzbFolder", cli.Dir() + "/plain/nzb"}).ExitCode, 0);
    else if (fault == "subject")
        subject = QString(102, QChar(0x6F22)); // 306 bytes of UTF-8
    makeFile(cli.Dir() + (fault == "nzb" ? "/plain" : "/unused"), 10);
    makeFile(cli.Home() + (fault == "journals" ? "/journals" : "/unused"), 10);
    const QString path = cli.Dir() + "/out.bin";
    makeFile(path, 4000); // two parts of 50 lines

    const auto r = cli.Run(
        {"post", path, "--group", "quorvel.test", "--lines", "50", "--subject", subject, "--json"},
        20000);
    said.replace("@dir", cli.Dir())
        .replace("@home", cli.Home())
        .replace("@server", server.Server());
    QCOMPARE(r.ExitCode, status);
    QVERIFY2(r.Err.contains(said), qPrintable(r.Err));
    QCOMPARE(r.Err.contains("ended well"), status == 0);
    QVERIFY(!QFile::exists(cli.TaskFile()));
    const QJsonObject batch = eventsOf(jsonLines(r.Out), "batch_summary").value(0);
    QCOMPARE(batch.value(QLatin1String("articles_missing")).toInt(), fault == "lose" ? 2 : 0);
    if (status == 0)
        QVERIFY2(QFile::exists(batch.value(QLatin1String("nzb")).toString()), qPrintable(r.Out));
}

void TestCliPost::checkCutShortLeavesAnIncompleteNzb()
{
    // The check after posting loses the server: the NZB file lists only what was found and
    // says it is incomplete; the next run checks the rest and completes that same file.
    TFakeNntpServer server;
    QVERIFY(server.Start());
    server.OnPost();
    server.OnDrop("STAT*", true);
    TCliProcess cli;
    prepare(cli, server.Server(), {"quorvel.test"});
    // Asked for once the post is through: a check beside the posting that loses its
    // connection only waits for the end of the batch to ask again.
    QCOMPARE(cli.Run({"profile", "set", "CheckDelay", "2"}).ExitCode, 0);
    const QString path = cli.Dir() + "/cut.bin";
    makeFile(path, 4000);
    const auto cut = cli.Run(
        {"post", path, "--group", "quorvel.test", "--lines", "50", "--subject", "cut"}, 20000);
    QCOMPARE(cut.ExitCode, 3);
    const QString incomplete = cli.Home() + "/nzb/cut.incomplete.nzb";
    QCOMPARE(cut.Out, "NZB: " + incomplete + "\n");
    QString error;
    const auto listed = NzbFile::Read(contents(incomplete), &error);
    QVERIFY2(listed && listed->isEmpty(), qPrintable(error)); // nothing was found yet

    const auto resumed = cli.Run({"tasks", "run"}, 20000);
    QVERIFY2(resumed.ExitCode == 0, qPrintable(resumed.Err));
    QCOMPARE(resumed.Out, "NZB: " + cli.Home() + "/nzb/cut.nzb\n");
    QVERIFY(!QFile::exists(incomplete));
    QCOMPARE(server.Articles().size(), 2);
    const auto complete = NzbFile::Read(contents(cli.Home() + "/nzb/cut.nzb"), &error);
    QVERIFY2(complete && complete->size() == 1, qPrintable(error));
    QCOMPARE(complete->first().Segments.size(), 2);
}

QTEST_GUILESS_MAIN(TestCliPost)
#include "tst_cli_post.moc"
