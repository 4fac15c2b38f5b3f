// The NNTP client against the scripted fake server: greetings, logins, refusals, stalls,
// drops, malformed replies, progress and connection reuse.
#include "FakeNntpServer.h"
#include "NntpEventLog.h"
#include "RunUntil.h"
#include "ScriptedResolver.h"

#include "article/GroupName.h"
#include "article/NewsArticle.h"
#include "net/bcsNNTP.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using TList = QList<QByteArray>;

namespace {

// A client wired to a fake server, with its events recorded.
struct TRig
{
    TFakeNntpServer Server;
    TbcsNNTP Client;
    TNntpEventLog Events{Client};
    TNewsArticle Article;

    explicit TRig(const QHostAddress& at = QHostAddress(QHostAddress::LocalHost))
    {
        QVERIFY(Server.Start(at));
        Client.SetServer(Server.Server());
        Client.SetTimeout(30);
        Client.SetArticle(&Article);
    }

    void FillArticle(const QStringList& body)
    {
        Article.Clear();
        Article.HeaderLines = {"From: poster@example.com", "Subject: test article"};
        Article.Subject = "test article";
        Article.Newsgroups = "alt.test,alt.test.two";
        Article.BodyLines = body;
    }
};

const TList ListAnswer = {"215 list follows", "alt.test 10 1 y", "comp.misc 5 2 m", "."};

QByteArray expectedArticle(const QStringList& body)
{
    QByteArray text = "From: poster@example.com\r\nSubject: test article\r\n"
                      "Newsgroups: alt.test,alt.test.two\r\n";
    for (const QString& line : body)
        text += "\r\n" + line.toUtf8();
    return text;
}

} // namespace

class TestNntpClient : public QObject
{
    Q_OBJECT

private slots:
    void greetingRefused_data();
    void greetingRefused();
    void listAndNewGroups();
    void newGroupsDateLength_data();
    void newGroupsDateLength();
    void loginDemanded_data();
    void loginDemanded();
    void loginRefused_data();
    void loginRefused();
    void loginAskedAgain_data();
    void loginAskedAgain();
    void endlessGroupListStops();
    void postSendsArticleInOrder();
    void lineBreaksInsideLines();
    void newsgroupsGoAsTheServersBytes();
    void postRefused();
    void postWithoutArticle();
    void postComposesFirst();
    void timeouts_data();
    void timeouts();
    void sendingArticleTimesOut();
    void dropInBody();
    void malformedInput_data();
    void malformedInput();
    void reuseAndServerChange();
    void lookups();
    void ipv6Server();
    void checkArticles();
    void connectFailures_data();
    void connectFailures();
    void postsChainedFromPosted();
    void cancelStopsTransmission();
    void cancelFromHandlers_data();
    void cancelFromHandlers();
    void nextOperationFromFailureHandler_data();
    void nextOperationFromFailureHandler();
    void logFileWrittenOnDestruction();
};

void TestNntpClient::greetingRefused_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<bool>("post");       // else the group list is asked for
    QTest::addColumn<QString>("refusal"); // empty when the operation goes on
    QTest::newRow("201 no posting, then POST")
        << QByteArray("201 server ready, no posting") << true << "201 server ready, no posting";
    QTest::newRow("201 no posting, then LIST")
        << QByteArray("201 server ready, no posting") << false << QString();
    QTest::newRow("400 unavailable") << QByteArray("400 service temporarily unavailable") << false
                                     << "400 service temporarily unavailable";
}

void TestNntpClient::greetingRefused()
{
    QFETCH(QByteArray, greeting);
    QFETCH(bool, post);
    QFETCH(QString, refusal);
    TRig rig;
    rig.Server.SetGreeting(greeting);
    rig.Server.On("LIST", ListAnswer);
    rig.FillArticle({"body"});
    if (post)
        rig.Client.PostComposed();
    else
        rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"error", "groups done"}));
    if (refusal.isEmpty()) {
        QCOMPARE(rig.Events.Events.last(), QStringLiteral("groups done"));
        return;
    }
    // The failure names the reply, the server and the step.
    QCOMPARE(rig.Events.Events,
             QStringList({"status 2", "connected",
                          "error " + refusal + " (" + rig.Server.Server() + ", greeting)"}));
    QTRY_COMPARE(rig.Server.Commands(), TList({"QUIT"}));
    QVERIFY(!rig.Client.Connected());
}

void TestNntpClient::listAndNewGroups()
{
    TRig rig;
    rig.Server.On("LIST", ListAnswer);
    rig.Server.On("NEWGROUPS 240101 000000", {"231 new groups follow", "alt.new 1 1 y", "."});
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take(), QStringList({"status 2", "connected", "status 5", "status 6",
                                             "group alt.test", "group comp.misc", "groups done"}));
    QCOMPARE(rig.Client.Groups(), QStringList({"alt.test", "comp.misc"}));
    QCOMPARE(rig.Client.ReplyCode(), 215);
    QCOMPARE(rig.Client.ReplyText(), "list follows");

    rig.Client.NewGroups("240101 000000");
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take(),
             QStringList({"status 7", "status 8", "group alt.new", "groups done"}));
    QCOMPARE(rig.Client.Groups(), QStringList({"alt.new"}));
    QCOMPARE(rig.Server.Connections(), 1);
    // Group lines are not logged; replies and commands are.
    QCOMPARE(rig.Events.LogLines,
             QStringList({"200 fake news server ready, posting allowed", "LIST", "215 list follows",
                          "NEWGROUPS 240101 000000", "231 new groups follow"}));
}

void TestNntpClient::newGroupsDateLength_data()
{
    QTest::addColumn<QString>("date");
    QTest::newRow("12 characters") << "240101 00000";
    QTest::newRow("14 characters") << "240101 0000000";
    QTest::newRow("empty") << "";
}

void TestNntpClient::newGroupsDateLength()
{
    QFETCH(QString, date);
    TRig rig;
    rig.Client.NewGroups(date);
    QCOMPARE(rig.Events.Events, QStringList({"error Bad Command Syntax"}));
    QVERIFY(NothingMoreAfter([&] { return !rig.Client.Connected(); }));
    QCOMPARE(rig.Server.Connections(), 0);
}

void TestNntpClient::loginDemanded_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QByteArray>("command");
    QTest::addColumn<bool>("authenticate");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("logsIn");
    const QByteArray newGroups = "NEWGROUPS 240101 000000";
    for (const auto& [op, command] : {std::pair<QString, QByteArray>{"list", "LIST"},
                                      {"newgroups", newGroups},
                                      {"post", "POST"}}) {
        const QByteArray name = op.toUtf8();
        QTest::newRow(name + " with login") << op << command << true << "user"
                                            << "secret" << true;
        QTest::newRow(name + " authenticate off") << op << command << false << "user"
                                                  << "secret" << false;
        QTest::newRow(name + " no user") << op << command << true << ""
                                         << "secret" << false;
        QTest::newRow(name + " no password") << op << command << true << "user"
                                             << "" << false;
    }
}

void TestNntpClient::loginDemanded()
{
    QFETCH(QString, operation);
    QFETCH(QByteArray, command);
    QFETCH(bool, authenticate);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, logsIn);
    TRig rig;
    rig.FillArticle({"body"});
    rig.Client.SetAuthenticate(authenticate);
    rig.Client.SetUserName(user);
    rig.Client.SetPassword(password);
    rig.Server.On(command, {"480 authentication required"}, true);
    rig.Server.On("AUTHINFO USER user", {"381 password please"});
    rig.Server.On("AUTHINFO PASS secret", {"281 welcome"});
    rig.Server.On("LIST", ListAnswer);
    rig.Server.On("NEWGROUPS *", {"231 new groups follow", "."});
    rig.Server.OnPost();
    if (operation == "list")
        rig.Client.ListGroups();
    else if (operation == "newgroups")
        rig.Client.NewGroups("240101 000000");
    else
        rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"groups done", "posted", "error"}));
    if (!logsIn) {
        QCOMPARE(rig.Events.Events.last(), "error 480 authentication required (" +
                                               rig.Server.Server() + ", " +
                                               QString::fromUtf8(command.split(' ').first()) + ")");
        QTRY_COMPARE(rig.Server.Commands(), TList({command, "QUIT"}));
        return;
    }
    QVERIFY(!rig.Events.Has("error"));
    QCOMPARE(rig.Server.Commands(),
             TList({command, "AUTHINFO USER user", "AUTHINFO PASS secret", command}));
    // Login is reported as status 11; USER and PASS are not reported themselves.
    const QStringList statuses = rig.Events.Events.filter("status ");
    QCOMPARE(statuses.mid(0, 4),
             QStringList({"status 2", statuses.at(1), "status 11", statuses.at(1)}));
    QVERIFY(rig.Events.LogLines.contains("AUTHINFO PASS *"));
    QVERIFY(rig.Events.LogLines.contains("AUTHINFO USER user"));
    for (const QString& line : rig.Events.LogLines)
        QVERIFY2(!line.contains("secret"), qPrintable(line));
}

void TestNntpClient::loginRefused_data()
{
    QTest::addColumn<TList>("userReply");
    QTest::addColumn<TList>("passReply");
    QTest::addColumn<QString>("error");
    QTest::newRow("user refused") << TList{"482 no such user"} << TList{} << "482 no such user";
    QTest::newRow("password refused")
        << TList{"381 password please"} << TList{"481 authentication failed"}
        << "481 authentication failed";
}

void TestNntpClient::loginRefused()
{
    QFETCH(TList, userReply);
    QFETCH(TList, passReply);
    QFETCH(QString, error);
    TRig rig;
    rig.Client.SetAuthenticate(true);
    rig.Client.SetUserName("user");
    rig.Client.SetPassword("secret");
    rig.Server.On("LIST", {"480 authentication required"});
    rig.Server.On("AUTHINFO USER user", userReply);
    rig.Server.On("AUTHINFO PASS secret", passReply);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"error"}));
    QCOMPARE(rig.Events.Events.last(), "error " + error + " (" + rig.Server.Server() + ", login)");
    QVERIFY(!rig.Events.Has("status 6"));
}

void TestNntpClient::loginAskedAgain_data()
{
    QTest::addColumn<QByteArray>("command");
    QTest::newRow("list") << QByteArray("LIST");
    QTest::newRow("post") << QByteArray("POST");
}

void TestNntpClient::loginAskedAgain()
{
    // A server that accepts the login and asks for it again must not get the password
    // for ever.
    QFETCH(QByteArray, command);
    TRig rig;
    rig.FillArticle({"body"});
    rig.Client.SetAuthenticate(true);
    rig.Client.SetUserName("user");
    rig.Client.SetPassword("secret");
    rig.Server.On(command, {"480 login first"});
    rig.Server.On("AUTHINFO USER user", {"381 password please"});
    rig.Server.On("AUTHINFO PASS secret", {"281 welcome"});
    if (command == "LIST")
        rig.Client.ListGroups();
    else
        rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"groups done", "posted", "error"}));
    QVERIFY2(rig.Events.Events.last().startsWith("error ") &&
                 rig.Events.Events.last().contains("480 login first (" + rig.Server.Server()),
             qPrintable(rig.Events.Events.last()));
    QTRY_COMPARE(rig.Server.Commands(),
                 TList({command, "AUTHINFO USER user", "AUTHINFO PASS secret", command, "QUIT"}));
}

void TestNntpClient::endlessGroupListStops()
{
    TRig rig;
    rig.Client.SetGroupLimit(3);
    rig.Server.On("LIST", {"215 list follows", "a.one 1 1 y", "a.two 1 1 y", "a.three 1 1 y",
                           "a.four 1 1 y", "."});
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QVERIFY2(rig.Events.Events.last().contains("went past 3 names"),
             qPrintable(rig.Events.Events.last()));
    QVERIFY(!rig.Events.Has("groups done"));
    QVERIFY(rig.Client.Groups().isEmpty());
}

void TestNntpClient::postSendsArticleInOrder()
{
    TRig rig;
    // Trailing blanks go; a leading dot is the article's business, not the client's.
    const QStringList body = {"first line  ", "..dotted", "third\t"};
    rig.FillArticle(body);
    rig.Server.OnPost();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "error", "post failed", "disconnected"}));
    QCOMPARE(rig.Events.Events,
             QStringList({"status 2", "connected", "status 13", "status 14", "progress 33",
                          "progress 67", "progress 100", "progress 0", "status 15", "posted"}));
    QCOMPARE(rig.Server.Articles(), TList({expectedArticle({"first line", "..dotted", "third"})}));
    QCOMPARE(rig.Events.LogLines.mid(1),
             QStringList({"POST", "340 send article to be posted. End with <CR-LF>.<CR-LF>",
                          "test article", ".", "240 article posted ok"}));
    QCOMPARE(rig.Client.ReplyCode(), 240);
}

void TestNntpClient::lineBreaksInsideLines()
{
    TRig rig;
    rig.FillArticle({"body\r\n.\r\nmore", "end"});
    rig.Article.HeaderLines[1] = "Subject: two\nlines";
    rig.Article.Newsgroups = "alt.test,\r\nalt.test.two";
    rig.Server.OnPost();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QCOMPARE(rig.Events.Events.last(), "posted");
    QCOMPARE(rig.Server.Articles(),
             TList({"From: poster@example.com\r\nSubject: two lines\r\n"
                    "Newsgroups: alt.test,  alt.test.two\r\n\r\nbody  .  more\r\nend"}));
}

void TestNntpClient::newsgroupsGoAsTheServersBytes()
{
    TRig rig;
    rig.FillArticle({"body"});
    // As the group list gave them: one name in UTF-8, one in Latin-1.
    rig.Article.Newsgroups = GroupName::FromBytes("alt.\xc5\x91.test,alt.m\xfcnchen");
    rig.Server.OnPost();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "error"}));
    QCOMPARE(rig.Server.Articles().size(), 1);
    QVERIFY(rig.Server.Articles().first().contains(
        "\r\nNewsgroups: alt.\xc5\x91.test,alt.m\xfcnchen\r\n"));
}

void TestNntpClient::postRefused()
{
    TRig rig;
    rig.FillArticle({"a", "b"});
    rig.Server.OnPost({"441 posting failed"});
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "post failed", "error"}));
    QCOMPARE(rig.Events.Events.last(),
             "post failed 441 posting failed (" + rig.Server.Server() + ", sending the article)");
    QCOMPARE(rig.Client.ReplyCode(), 441);
    // The connection stays usable for the next article.
    rig.Events.Take();
    rig.Server.OnPost();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "post failed", "error"}));
    QCOMPARE(rig.Events.Events.last(),
             "post failed 441 posting failed (" + rig.Server.Server() + ", sending the article)");
    QCOMPARE(rig.Server.Connections(), 1);
}

void TestNntpClient::postWithoutArticle()
{
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.Post();
    client.PostComposed();
    QCOMPARE(events.Events, QStringList({"error No article has been assigned",
                                         "error No article has been assigned"}));
}

void TestNntpClient::postComposesFirst()
{
    TRig rig;
    rig.Article.From = "poster@example.com";
    rig.Article.Subject = "composed";
    rig.Client.Post();
    // No newsgroups: the article's own text, after status 12, and nothing sent.
    QCOMPARE(rig.Events.Events,
             QStringList({"status 12", "error No newsgroups have been specified"}));

    rig.Events.Take();
    rig.Article.Clear();
    rig.Article.From = "poster@example.com";
    rig.Article.Subject = "composed";
    rig.Article.Newsgroups = "alt.test";
    rig.Article.BodyLines = {"hello"};
    rig.Server.OnPost();
    rig.Client.Post();
    QVERIFY(rig.Events.WaitFor({"posted", "error"}));
    QCOMPARE(rig.Events.Events.first(), "status 12");
    QCOMPARE(rig.Server.Articles().size(), 1);
    QVERIFY(rig.Server.Articles().first().startsWith(
        "From: poster@example.com\r\nSubject: composed\r\n"));
    QVERIFY(rig.Server.Articles().first().endsWith("Newsgroups: alt.test\r\n\r\nhello"));
}

void TestNntpClient::timeouts_data()
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<QString>("error");
    QTest::newRow("lookup") << "lookup"
                            << "Timeout while looking up stalling.example:119";
    QTest::newRow("greeting") << "greeting"
                              << "Timeout while connecting to ";
    QTest::newRow("list reply") << "list"
                                << "Timeout while waiting for server response";
    QTest::newRow("group lines") << "groups"
                                 << "Timeout while receiving groups";
    QTest::newRow("authinfo user") << "user"
                                   << "Timeout while logging in";
    QTest::newRow("authinfo pass") << "pass"
                                   << "Timeout while logging in";
    QTest::newRow("post reply") << "post"
                                << "Timeout while waiting for server response";
    QTest::newRow("article reply") << "article"
                                   << "Timeout while waiting for server response";
}

void TestNntpClient::timeouts()
{
    QFETCH(QString, phase);
    QFETCH(QString, error);
    TRig rig;
    TScriptedResolver resolver;
    resolver.Stalling.insert("stalling.example");
    rig.Client.SetHostResolver(&resolver);
    // One second of the client lasts 20 ms here; the fixed 60 s between group lines 1.2 s.
    rig.Client.SetSecondLength(20);
    rig.Client.SetTimeout(5);
    rig.Client.SetAuthenticate(true);
    rig.Client.SetUserName("user");
    rig.Client.SetPassword("secret");
    rig.FillArticle({"one", "two"});
    if (phase == "lookup")
        rig.Client.SetServer("stalling.example:119");
    if (phase == "greeting")
        rig.Server.SetRawGreeting({});
    if (phase == "list")
        rig.Server.OnStall("LIST");
    rig.Server.On("LIST", {"215 list follows", "alt.one 1 1 y"});
    if (phase == "user" || phase == "pass")
        rig.Server.On("POST", {"480 login"}, true);
    if (phase == "user")
        rig.Server.OnStall("AUTHINFO USER user");
    rig.Server.On("AUTHINFO USER user", {"381 more"});
    rig.Server.OnStall("AUTHINFO PASS secret");
    if (phase == "post")
        rig.Server.OnStall("POST");
    rig.Server.OnPost({});
    if (phase == "list" || phase == "groups")
        rig.Client.ListGroups();
    else
        rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"error"}));
    QVERIFY2(rig.Events.Events.last().startsWith("error " + error),
             qPrintable(rig.Events.Events.join(" | ")));
    if (phase == "greeting")
        QCOMPARE(rig.Events.Events.last(), "error " + error + rig.Server.Server());
    QVERIFY(!rig.Client.Connected());
    if (phase != "lookup")
        QTRY_COMPARE(rig.Server.Closed(), 1);
}

void TestNntpClient::sendingArticleTimesOut()
{
    TRig rig;
    rig.Client.SetSecondLength(20);
    rig.Client.SetPostTimeout(10);
    rig.Server.SetReceiveBufferSize(4096);
    TFakeNntpServer::TRule rule;
    rule.Command = "POST";
    rule.Lines = {"340 go ahead"};
    rule.TakesArticle = true;
    rule.StallAfterLines = 10;
    rig.Server.Add(rule);
    // Far more than the socket buffers between client and server hold.
    QStringList body;
    for (int i = 0; i < 200000; ++i)
        body << QString("line %1 ").arg(i).leftJustified(60, 'x');
    rig.FillArticle(body);
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"error", "posted"}, 30000));
    QCOMPARE(rig.Events.Events.last(), "error Timeout while sending article (" +
                                           rig.Server.Server() + ", sending the article)");
    QVERIFY(!rig.Events.Has("progress 100"));
}

void TestNntpClient::dropInBody()
{
    TRig rig;
    TFakeNntpServer::TRule rule;
    rule.Command = "POST";
    rule.Lines = {"340 go ahead"};
    rule.TakesArticle = true;
    rule.DropAfterLines = 5;
    rig.Server.Add(rule);
    QStringList body;
    for (int i = 0; i < 20000; ++i)
        body << QString("body line %1").arg(i);
    rig.FillArticle(body);
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"disconnected", "error", "posted"}));
    QVERIFY(!rig.Events.Has("posted"));
    QVERIFY(!rig.Client.Connected());
    // The next operation starts a fresh connection.
    rig.Events.Take();
    rig.Server.On("LIST", ListAnswer);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Server.Connections(), 2);
}

void TestNntpClient::malformedInput_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<QByteArray>("listReply");
    QTest::addColumn<bool>("closeAfter");
    QTest::addColumn<QString>("expected");
    const QByteArray ok = "200 ok\r\n";
    QTest::newRow("greeting not a number") << QByteArray("hello there\r\n") << QByteArray() << false
                                           << "error Bad reply from server: hello there";
    QTest::newRow("short greeting")
        << QByteArray("20\r\n") << QByteArray() << false << "error Bad reply from server: 20";
    QTest::newRow("binary greeting") << QByteArray("\x01\xff\xfe\x00zz\r\n", 8) << QByteArray()
                                     << false << "error Bad reply from server: ";
    QTest::newRow("reply not a number")
        << ok << QByteArray("2x5 huh\r\n") << false << "error Bad reply from server: 2x5 huh";
    QTest::newRow("reply longer than the read buffer")
        << ok << QByteArray("215 " + QByteArray(3000, 'a') + "\r\n") << false
        << "error Read buffer full, user did not flush";
    QTest::newRow("group line longer than the read buffer")
        << ok << QByteArray("215 list\r\nalt.a 1 1 y\r\n" + QByteArray(1500, 'g')) << false
        << "error Read buffer full, user did not flush";
    QTest::newRow("close in the middle of a reply")
        << ok << QByteArray("21") << true << "disconnected";
    QTest::newRow("close in the middle of the list")
        << ok << QByteArray("215 list\r\nalt.a 1 1 y\r\nalt.") << true << "disconnected";
    QTest::newRow("close before the greeting")
        << QByteArray() << QByteArray() << false << "disconnected";
}

void TestNntpClient::malformedInput()
{
    QFETCH(QByteArray, greeting);
    QFETCH(QByteArray, listReply);
    QFETCH(bool, closeAfter);
    QFETCH(QString, expected);
    TRig rig;
    rig.Server.SetRawGreeting(greeting);
    rig.Server.SetDropOnConnect(greeting.isEmpty());
    if (!listReply.isEmpty()) {
        TFakeNntpServer::TRule rule;
        rule.Command = "LIST";
        rule.Action = TFakeNntpServer::TAction::Raw;
        rule.Raw = listReply;
        rule.CloseAfter = closeAfter;
        rule.Once = true;
        rig.Server.Add(rule);
    }
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"error", "disconnected"}));
    QVERIFY2(rig.Events.Events.last().startsWith(expected),
             qPrintable(rig.Events.Events.join(" | ")));
    QVERIFY(!rig.Client.Connected());
    QVERIFY(!rig.Events.Has("groups done"));
    QTRY_COMPARE(rig.Server.Closed(), 1);

    // The client carries on with the next operation.
    rig.Events.Take();
    rig.Server.SetRawGreeting("200 ok\r\n");
    rig.Server.SetDropOnConnect(false);
    rig.Server.On("LIST", ListAnswer);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error", "disconnected"}));
    QCOMPARE(rig.Events.Events.last(), "groups done");
}

void TestNntpClient::reuseAndServerChange()
{
    TRig rig;
    rig.FillArticle({"x"});
    rig.Server.On("LIST", ListAnswer);
    rig.Server.OnPost();
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    rig.Events.Take();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "error"}));
    QCOMPARE(rig.Events.Take(), QStringList({"status 13", "status 14", "progress 100", "progress 0",
                                             "status 15", "posted"}));
    QCOMPARE(rig.Server.Connections(), 1);

    // Another server: QUIT on the old connection, a new one to the new server.
    TFakeNntpServer second;
    QVERIFY(second.Start());
    second.On("LIST", ListAnswer);
    rig.Client.SetServer(second.Server());
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Server.Commands(), TList({"LIST", "POST", "QUIT"}));
    QTRY_COMPARE(rig.Server.Closed(), 1);
    QCOMPARE(second.Connections(), 1);
    QCOMPARE(second.Commands(), TList({"LIST"}));
    QVERIFY(rig.Events.LogLines.contains("QUIT"));

    // Quit sends QUIT and drops the connection without an event.
    rig.Events.Take();
    rig.Client.Quit();
    QVERIFY(!rig.Client.Connected());
    QTRY_COMPARE(second.Closed(), 1);
    QCOMPARE(second.Commands().last(), "QUIT");
    QVERIFY(rig.Events.Take().isEmpty());
}

void TestNntpClient::lookups()
{
    TRig rig;
    TScriptedResolver resolver;
    resolver.Addresses.insert("news.example", "127.0.0.1");
    rig.Client.SetHostResolver(&resolver);
    rig.Server.On("LIST", ListAnswer);

    rig.Client.SetServer("nowhere.example");
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"error"}));
    QCOMPARE(rig.Events.Take(), QStringList({"status 1", "error Host not found: nowhere.example"}));

    rig.Client.SetServer(QString("news.example:%1").arg(rig.Server.Port()));
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take().mid(0, 3), QStringList({"status 1", "status 2", "connected"}));
    QCOMPARE(resolver.Asked, QStringList({"nowhere.example", "news.example"}));

    // A name with an IPv6 address that refuses and an IPv4 one that answers, in that order:
    // the second is used, and the log names the first one's failure.
    rig.Client.Quit();
    resolver.Addresses.insert("dual.example", "::1,127.0.0.1");
    rig.Client.SetServer(QString("dual.example:%1").arg(rig.Server.Port()));
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take().last(), "groups done");
    QVERIFY(rig.Events.LogLines.contains(
        QString("Error: Error 10061 (Connection refused) connecting to [::1]:%1 (dual.example)")
            .arg(rig.Server.Port())));

    // The system's lookup of a real name.
    rig.Client.Quit();
    rig.Client.SetHostResolver(nullptr);
    rig.Client.SetServer(QString("localhost:%1").arg(rig.Server.Port()));
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take().last(), "groups done");
}

void TestNntpClient::ipv6Server()
{
    // "[::1]:port": a group list and a post over IPv6.
    TRig rig(QHostAddress(QHostAddress::LocalHostIPv6));
    QVERIFY(rig.Client.Server().startsWith("[::1]:"));
    rig.Server.On("LIST", ListAnswer);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Events.last(), "groups done");
    rig.FillArticle({"over six"});
    rig.Server.OnPost();
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"posted", "post failed", "error", "disconnected"}));
    QCOMPARE(rig.Events.Events.last(), "posted");
    QCOMPARE(rig.Server.Articles(), TList({expectedArticle({"over six"})}));
}

void TestNntpClient::checkArticles()
{
    // More ids than go out at once; the server asks for a login after the first few.
    TRig rig;
    QStringList ids;
    QStringList expected;
    for (int i = 0; i < 150; ++i) {
        ids << QString("<part%1@quorvel.test>").arg(i);
        if (i % 7 != 3)
            rig.Server.AddStoredId(ids.last().toUtf8());
        expected << "checked " + ids.last() + (i % 7 != 3 ? " 1" : " 0");
    }
    rig.Server.On("STAT <part2@quorvel.test>", {"480 log in first"}, true);
    rig.Server.On("AUTHINFO USER*", {"381 password"}).On("AUTHINFO PASS*", {"281 welcome"});
    rig.Client.SetAuthenticate(true);
    rig.Client.SetUserName("poster");
    rig.Client.SetPassword("secret");
    rig.Client.CheckArticles(ids);
    QVERIFY(rig.Events.WaitFor({"check done", "error"}));
    QCOMPARE(rig.Events.Events.filter(QRegularExpression("^(checked|check done|error)")),
             expected + QStringList{"check done"});
    const auto count = [&](const QByteArray& prefix) {
        return std::count_if(rig.Server.Commands().begin(), rig.Server.Commands().end(),
                             [&](const QByteArray& c) { return c.startsWith(prefix); });
    };
    QCOMPARE(count("AUTHINFO USER"), 1);
    // The one refused is asked again after the login; those answered before it are not.
    QCOMPARE(count("STAT <part2@"), 2);
    QCOMPARE(count("STAT <part1@"), 1);
    // Those sent with it before its answer came were answered, let through, and asked again.
    QCOMPARE(count("STAT <part3@"), 2);
    QCOMPARE(count("STAT <part149@"), 1);

    // A server that does not know STAT ends the check with its answer, once every answer
    // is in, and the connection stays.
    rig.Server.On("STAT*", {"500 unknown command"});
    rig.Events.Take();
    rig.Client.CheckArticles(ids.mid(0, 3));
    QVERIFY(rig.Events.WaitFor({"check done", "check refused", "error"}));
    QCOMPARE(rig.Events.Events.last(),
             "check refused cannot check articles: 500 unknown command (" + rig.Server.Server() +
                 ", STAT check)");
    QCOMPARE(count("STAT <part0@"), 2);
    QVERIFY(rig.Client.Connected());
}

void TestNntpClient::connectFailures_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("error");
    quint16 port = 0;
    {
        TFakeNntpServer closed;
        QVERIFY(closed.Start());
        port = closed.Port();
    }
    QTest::newRow("refused")
        << QString("127.0.0.1:%1").arg(port)
        << QString("Error 10061 (Connection refused) connecting to 127.0.0.1:%1").arg(port);
    QTest::newRow("refused v6")
        << QString("[::1]:%1").arg(port)
        << QString("Error 10061 (Connection refused) connecting to [::1]:%1").arg(port);
    QTest::newRow("no server") << QString() << "No address specified";
}

void TestNntpClient::connectFailures()
{
    QFETCH(QString, server);
    QFETCH(QString, error);
    TbcsNNTP client;
    TNntpEventLog events(client);
    client.SetServer(server);
    client.ListGroups();
    QVERIFY(events.WaitFor({"error"}));
    QCOMPARE(events.Events.last(), "error " + error);
    QVERIFY(events.LogLines.contains("Error: " + error));
    QVERIFY(!client.Connected());
}

void TestNntpClient::postsChainedFromPosted()
{
    // The next part is posted from the handler of the previous part's 240.
    TRig rig;
    rig.Server.OnPost();
    int posted = 0;
    connect(&rig.Client, &TbcsNNTP::OnPosted, this, [&] {
        if (++posted >= 3)
            return;
        rig.FillArticle({QString("part %1").arg(posted + 1)});
        rig.Client.PostComposed();
    });
    rig.FillArticle({"part 1"});
    rig.Client.PostComposed();
    QTRY_COMPARE(posted, 3);
    QCOMPARE(rig.Server.Articles(), TList({expectedArticle({"part 1"}), expectedArticle({"part 2"}),
                                           expectedArticle({"part 3"})}));
    QCOMPARE(rig.Server.Connections(), 1);
    QVERIFY(!rig.Events.Has("error"));
}

void TestNntpClient::cancelStopsTransmission()
{
    TRig rig;
    rig.Server.SetReceiveBufferSize(4096);
    TFakeNntpServer::TRule rule;
    rule.Command = "POST";
    rule.Lines = {"340 go ahead"};
    rule.TakesArticle = true;
    rule.StallAfterLines = 10;
    rig.Server.Add(rule);
    QStringList body;
    for (int i = 0; i < 200000; ++i)
        body << QString("line %1").arg(i).leftJustified(60, 'y');
    rig.FillArticle(body);
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"status 14"}));
    QTRY_VERIFY(rig.Server.ArticleLinesSoFar() >= 10);
    rig.Client.Cancel();
    QCOMPARE(rig.Events.Events.last(), "canceled");
    QVERIFY(!rig.Events.Has("progress 100"));
    QVERIFY(!rig.Client.Connected());
    // Nothing more arrives from the dropped transmission; the next operation connects anew.
    rig.Events.Take();
    rig.Server.On("LIST", ListAnswer);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Take(), QStringList({"status 2", "connected", "status 5", "status 6",
                                             "group alt.test", "group comp.misc", "groups done"}));
    QCOMPARE(rig.Server.Connections(), 2);
}

void TestNntpClient::cancelFromHandlers_data()
{
    QTest::addColumn<QString>("event");
    QTest::newRow("progress 50") << "progress 50";
    QTest::newRow("status 14") << "status 14";
    QTest::newRow("status 15") << "status 15";
    QTest::newRow("status 13") << "status 13";
}

void TestNntpClient::cancelFromHandlers()
{
    // Abort pressed while an event is handled: nothing of the article reaches the next
    // connection.
    QFETCH(QString, event);
    TRig rig;
    rig.Server.OnPost();
    rig.Server.On("LIST", ListAnswer);
    QStringList body;
    for (int i = 0; i < 100; ++i)
        body << QString("line %1").arg(i);
    rig.FillArticle(body);
    connect(&rig.Client, &TbcsNNTP::OnProgress, this, [&](int percent) {
        if (event == QString("progress %1").arg(percent))
            rig.Client.Cancel();
    });
    connect(&rig.Client, &TbcsNNTP::OnNewStatus, this, [&](TClientStatus status) {
        if (event == QString("status %1").arg(int(status)))
            rig.Client.Cancel();
    });
    rig.Client.PostComposed();
    QVERIFY(rig.Events.WaitFor({"canceled"}));
    QCOMPARE(rig.Events.Events.last(), "canceled");
    rig.Events.Take();
    event.clear();
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(rig.Events.Events.last(), "groups done");
    QCOMPARE(rig.Server.Commands().last(), "LIST");
    QCOMPARE(rig.Server.Commands().count("LIST"), 1);
    QCOMPARE(rig.Server.Connections(), 2);
    QVERIFY(rig.Server.Articles().isEmpty());
    QVERIFY(!rig.Events.Has("posted"));
}

void TestNntpClient::nextOperationFromFailureHandler_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("failure");
    using A = TFakeNntpServer::TAction;
    QTest::newRow("drop") << int(A::Drop) << QByteArray() << "disconnected";
    QTest::newRow("bad reply") << int(A::Raw) << QByteArray("oops\r\n") << "error Bad reply";
    QTest::newRow("time-out") << int(A::Stall) << QByteArray() << "error Timeout";
    QTest::newRow("refusal") << int(A::Raw) << QByteArray("502 not now\r\n") << "error 502 not now";
}

void TestNntpClient::nextOperationFromFailureHandler()
{
    // A caller that starts the next operation right from the failure event gets a
    // connection that is not torn down behind it.
    QFETCH(int, action);
    QFETCH(QByteArray, raw);
    QFETCH(QString, failure);
    TRig rig;
    rig.Client.SetSecondLength(20);
    rig.Client.SetTimeout(5);
    TFakeNntpServer::TRule rule;
    rule.Command = "LIST";
    rule.Action = TFakeNntpServer::TAction(action);
    rule.Raw = raw;
    rule.Once = true;
    rig.Server.Add(rule);
    rig.Server.On("LIST", ListAnswer);
    bool retried = false;
    auto retry = [&] {
        if (!retried) {
            retried = true;
            rig.Client.ListGroups();
        }
    };
    connect(&rig.Client, &TbcsNNTP::OnError, this, retry);
    connect(&rig.Client, &TbcsNNTP::OnDisconnected, this, retry);
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done"}));
    QVERIFY2(rig.Events.Has(failure), qPrintable(rig.Events.Events.join(" | ")));
    QCOMPARE(rig.Client.Groups(), QStringList({"alt.test", "comp.misc"}));
}

void TestNntpClient::logFileWrittenOnDestruction()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("nntp.log");
    {
        TRig rig;
        rig.Server.On("LIST", ListAnswer);
        rig.Client.SetLogFile(path);
        rig.Client.ListGroups();
        QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(
        file.readAll(),
        QByteArray("200 fake news server ready, posting allowed\r\nLIST\r\n215 list follows\r\n"));

    // Without a log file the lines still go out as events, but none pile up in memory.
    TRig rig;
    rig.Server.On("LIST", ListAnswer);
    QStringList logged;
    connect(&rig.Client, &TbcsNNTP::OnLogEvent, this, [&](const QString& line) { logged << line; });
    rig.Client.ListGroups();
    QVERIFY(rig.Events.WaitFor({"groups done", "error"}));
    QCOMPARE(logged.size(), 3);
    QVERIFY(rig.Client.LogLines().isEmpty());
}

QTEST_GUILESS_MAIN(TestNntpClient)
#include "tst_nntpclient.moc"
