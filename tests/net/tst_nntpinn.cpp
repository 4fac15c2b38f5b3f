// The NNTP client against a real INN 2 server: LIST, NEWGROUPS, posting composed and large
// uuencoded articles (read back over a raw connection), and AUTHINFO on a server that
// demands a login to post.
#include "InnServer.h"
#include "NntpEventLog.h"

#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QDateTime>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A plain reader on its own connection: sends commands and collects the answers.
class TRawReader
{
public:
    explicit TRawReader(quint16 port)
    {
        m_socket.connectToHost("127.0.0.1", port);
        m_ok = m_socket.waitForConnected(5000) && line().startsWith("200");
    }
    bool Ok() const { return m_ok; }

    QByteArray Command(const QByteArray& command)
    {
        m_socket.write(command + "\r\n");
        return line();
    }

    // The lines of a multi-line answer, dots unstuffed, without the final ".".
    QList<QByteArray> Block()
    {
        QList<QByteArray> lines;
        for (;;) {
            QByteArray l = line();
            if (l == "." || !m_ok)
                return lines;
            lines << (l.startsWith("..") ? l.mid(1) : l);
        }
    }

private:
    QByteArray line()
    {
        while (!m_socket.canReadLine()) {
            if (!m_socket.waitForReadyRead(10000)) {
                m_ok = false;
                return {};
            }
        }
        QByteArray l = m_socket.readLine();
        l.chop(l.endsWith("\r\n") ? 2 : 1);
        return l;
    }

    QTcpSocket m_socket;
    bool m_ok = false;
};

// The newest article of a group: its header lines and body lines.
bool readNewest(quint16 port, const QByteArray& group, QList<QByteArray>* head,
                QList<QByteArray>* body)
{
    TRawReader reader(port);
    if (!reader.Ok())
        return false;
    const QList<QByteArray> selected = reader.Command("GROUP " + group).split(' ');
    if (selected.value(0) != "211")
        return false;
    const QByteArray newest = selected.value(3);
    if (!reader.Command("HEAD " + newest).startsWith("221"))
        return false;
    *head = reader.Block();
    if (!reader.Command("BODY " + newest).startsWith("222"))
        return false;
    *body = reader.Block();
    return true;
}

QByteArray headerValue(const QList<QByteArray>& head, const QByteArray& name)
{
    for (const QByteArray& line : head)
        if (line.startsWith(name + ": "))
            return line.mid(name.size() + 2);
    return {};
}

} // namespace

class TestNntpInn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void listGroups();
    void newGroupsAfterCreatingOne();
    void overIpv6();
    void postComposedText();
    void postLargeUuencodedFile();
    void loginToPost_data();
    void loginToPost();

private:
    void setUp(TbcsNNTP& client, const TInnServer& server);

    TInnServer m_open;
    TInnServer m_login;
};

void TestNntpInn::initTestCase()
{
    QUORVEL_REQUIRE_INN();
    QString error;
    QVERIFY2(m_open.Start(&error), qPrintable(error));
    TInnServer::TOptions options;
    options.Auth = "poster:s3cret";
    QVERIFY2(m_login.Start(options, &error), qPrintable(error));
}

void TestNntpInn::cleanupTestCase()
{
    m_open.Stop();
    m_login.Stop();
}

void TestNntpInn::setUp(TbcsNNTP& client, const TInnServer& server)
{
    client.SetServer(server.Server());
    client.SetTimeout(30);
    client.SetPostTimeout(30);
}

void TestNntpInn::listGroups()
{
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_open);
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    QCOMPARE(events.Events.last(), "groups done");
    QVERIFY(events.LogLines.first().startsWith("200 "));
    QVERIFY(client.Groups().contains("quorvel.test"));
    QVERIFY(client.Groups().contains("junk"));
    QCOMPARE(client.Groups(), events.Groups);
    QCOMPARE(client.ReplyCode(), 215);
}

void TestNntpInn::newGroupsAfterCreatingOne()
{
    QString error;
    QVERIFY2(m_open.NewGroup("quorvel.fresh", &error), qPrintable(error));
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_open);
    const QString since = QDateTime::currentDateTime().addDays(-1).toString("yyMMdd hhmmss");
    client.NewGroups(since);
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    QCOMPARE(events.Events.last(), "groups done");
    QCOMPARE(client.Groups(), QStringList({"quorvel.fresh"}));
    QCOMPARE(client.ReplyCode(), 231);
}

void TestNntpInn::overIpv6()
{
    // The server also listens on ::1: the group list and a post over IPv6, read back.
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_open);
    client.SetServer(QString("[::1]:%1").arg(m_open.Port()));
    client.ListGroups();
    QVERIFY(events.WaitFor({"groups done", "error", "disconnected"}));
    QCOMPARE(events.Events.last(), "groups done");
    QVERIFY(client.Groups().contains("quorvel.test"));

    TNewsArticle article;
    article.From = "Quorvel Test <test@quorvel.test>";
    article.Subject = "over IPv6";
    article.Newsgroups = "quorvel.test";
    article.AddBodyLine("sent to [::1]");
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QCOMPARE(events.Events.last(), "posted");
    QList<QByteArray> head;
    QList<QByteArray> body;
    QVERIFY(readNewest(m_open.Port(), "quorvel.test", &head, &body));
    QCOMPARE(headerValue(head, "Subject"), "over IPv6");
    QCOMPARE(body, QList<QByteArray>({"sent to [::1]"}));
}

void TestNntpInn::postComposedText()
{
    TNewsArticle article;
    article.From = "Quorvel Test <test@quorvel.test>";
    article.Subject = "composed text article";
    article.Newsgroups = "quorvel.test";
    article.Organization = "Quorvel tests";
    article.AddBodyLine("first line of the body");
    article.AddBodyLine(".a line with a leading dot");
    article.AddBodyLine("trailing blanks go   ");
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_open);
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    QCOMPARE(events.Events.filter("progress"),
             QStringList({"progress 33", "progress 67", "progress 100", "progress 0"}));

    QList<QByteArray> head;
    QList<QByteArray> body;
    QVERIFY(readNewest(m_open.Port(), "quorvel.test", &head, &body));
    QCOMPARE(headerValue(head, "Subject"), "composed text article");
    QCOMPARE(headerValue(head, "From"), "Quorvel Test <test@quorvel.test>");
    QCOMPARE(headerValue(head, "Organization"), "Quorvel tests");
    QCOMPARE(headerValue(head, "Newsgroups"), "quorvel.test");
    QCOMPARE(body, QList<QByteArray>({"first line of the body", ".a line with a leading dot",
                                      "trailing blanks go"}));
}

void TestNntpInn::postLargeUuencodedFile()
{
    QTemporaryDir dir;
    // 5,000 full uuencoded lines of 45 bytes each, plus one short line.
    QByteArray data(5000 * 45 + 17, '\0');
    QRandomGenerator random(20240101);
    for (char& c : data)
        c = char(random.bounded(256));
    const QString path = dir.filePath("payload.bin");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();

    TNewsArticle article;
    article.From = "test@quorvel.test";
    article.Subject = "payload.bin (1/1)";
    article.Newsgroups = "quorvel.test";
    QCOMPARE(article.AddFile(path), 1);
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_open);
    client.SetArticle(&article);
    client.Post();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}, 60000));
    QVERIFY2(events.Events.last() == "posted", qPrintable(events.Events.join(" | ")));
    QVERIFY(article.BodyLineCount() > 5000);
    // Progress grows by one per cent at a time up to 100, then 0.
    const QStringList progress = events.Events.filter("progress");
    QCOMPARE(progress.size(), 101);
    QCOMPARE(progress.at(99), "progress 100");
    QCOMPARE(progress.last(), "progress 0");

    QList<QByteArray> head;
    QList<QByteArray> body;
    QVERIFY(readNewest(m_open.Port(), "quorvel.test", &head, &body));
    QCOMPARE(headerValue(head, "Subject"), "payload.bin (1/1)");
    QCOMPARE(body.first(), "begin 644 payload.bin");
    QCOMPARE(body.last(), "end");
    // GNU uudecode reads back what the server stored, byte for byte.
    const QString encoded = dir.filePath("readback.uue");
    const QString decoded = dir.filePath("decoded.bin");
    QFile out(encoded);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(body.join('\n') + '\n');
    out.close();
    QProcess uudecode;
    uudecode.start("uudecode", {"-o", decoded, encoded});
    QVERIFY(uudecode.waitForFinished(30000));
    QCOMPARE(uudecode.exitCode(), 0);
    QFile back(decoded);
    QVERIFY(back.open(QIODevice::ReadOnly));
    QVERIFY(back.readAll() == data);
}

void TestNntpInn::loginToPost_data()
{
    QTest::addColumn<bool>("authenticate");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("login accepted") << true << "s3cret"
                                    << "posted";
    QTest::newRow("wrong password") << true << "wrong"
                                    << "error";
    QTest::newRow("login off") << false << "s3cret"
                               << "error";
}

void TestNntpInn::loginToPost()
{
    QFETCH(bool, authenticate);
    QFETCH(QString, password);
    QFETCH(QString, outcome);
    TNewsArticle article;
    article.HeaderLines = {"From: test@quorvel.test", "Subject: posted after login"};
    article.Subject = "posted after login";
    article.Newsgroups = "quorvel.test";
    article.BodyLines = {"needs a login"};
    TbcsNNTP client;
    TNntpEventLog events(client);
    setUp(client, m_login);
    client.SetAuthenticate(authenticate);
    client.SetUserName("poster");
    client.SetPassword(password);
    client.SetArticle(&article);
    client.PostComposed();
    QVERIFY(events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QVERIFY2(events.Events.last().startsWith(outcome), qPrintable(events.Events.join(" | ")));
    // The server greets without posting rights and asks for the login at POST.
    const int asked = events.LogLines.indexOf("POST") + 1;
    QVERIFY(events.LogLines.value(asked).startsWith("480 "));
    if (!authenticate) {
        QCOMPARE(events.Events.last(),
                 "error " + events.LogLines.value(asked) + " (" + client.Server() + ", POST)");
        QVERIFY(events.LogLines.contains("QUIT"));
        return;
    }
    QVERIFY(events.Events.contains("status 11"));
    // A plain connection: the log says once that the password goes in clear text.
    QVERIFY(events.LogLines.value(asked + 1).contains("in clear text"));
    events.LogLines.removeAt(asked + 1);
    QCOMPARE(
        events.LogLines.mid(asked + 1, 3),
        QStringList({"AUTHINFO USER poster", events.LogLines.value(asked + 2), "AUTHINFO PASS *"}));
    QVERIFY(events.LogLines.value(asked + 2).startsWith("381 "));
    const QString passReply = events.LogLines.value(asked + 4);
    if (outcome == "posted") {
        QVERIFY(passReply.startsWith("281 "));
        QCOMPARE(events.LogLines.value(asked + 5), "POST");
        QCOMPARE(client.ReplyCode(), 240);
    } else {
        QVERIFY(passReply.startsWith("481 "));
        QCOMPARE(events.Events.last(), "error " + passReply + " (" + client.Server() + ", login)");
    }
}

QTEST_GUILESS_MAIN(TestNntpInn)
#include "tst_nntpinn.moc"
