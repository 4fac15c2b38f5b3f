#pragma once

#include "FakeNntpServer.h"

#include <QStringList>
#include <QTest>

// The fault matrix: at each phase of a conversation the scripted server closes the
// connection, goes silent, answers garbage or answers an unexpected code. Shared by the
// news client's own matrix and the task queue's.
namespace NntpFaults {

enum class TFault
{
    Close,
    Silent,
    NotDigits,
    Nul,
    Megabyte,
    Unexpected,
};

inline const char* const FaultNames[] = {"closes",
                                         "goes silent",
                                         "answers non-digits",
                                         "answers a NUL",
                                         "answers 1 MB without a line end",
                                         "answers an unexpected code"};

// Every phase: "post" is the answer to POST (340), "body" and "dot" while the article goes
// out, "240" the answer to its final dot.
inline const QStringList AllPhases = {"connect", "greeting", "user", "pass", "list", "newgroups",
                                      "post",    "body",     "dot",  "240",  "quit"};

inline QByteArray MegabyteLine()
{
    return QByteArray(1 << 20, 'x'); // and no line end
}

// Whether a fault can happen at a phase: nothing listens at connect; while the article goes
// out the server only listens, so it can close or stall.
inline bool Applies(const QString& phase, TFault fault)
{
    if (phase == "connect")
        return fault == TFault::Close;
    if (phase == "body" || phase == "dot")
        return fault == TFault::Close || fault == TFault::Silent;
    return true;
}

// Rows "phase: fault" with the columns phase and fault, for a QTest _data function.
inline void AddRows(const QStringList& phases)
{
    QTest::addColumn<QString>("phase");
    QTest::addColumn<int>("fault");
    for (const QString& phase : phases)
        for (int f = 0; f <= int(TFault::Unexpected); ++f)
            if (Applies(phase, TFault(f)))
                QTest::newRow(qPrintable(phase + ": " + FaultNames[f])) << phase << f;
}

// The reply (or raw bytes) a fault sends instead of the right one.
inline TFakeNntpServer::TRule FaultRule(const QByteArray& command, TFault fault,
                                        const QByteArray& code)
{
    TFakeNntpServer::TRule rule;
    rule.Command = command;
    rule.Once = true;
    switch (fault) {
    case TFault::Close:
        rule.Action = TFakeNntpServer::TAction::Drop;
        break;
    case TFault::Silent:
        rule.Action = TFakeNntpServer::TAction::Stall;
        break;
    case TFault::NotDigits:
        rule.Lines = {"hello there"};
        break;
    case TFault::Nul:
        rule.Action = TFakeNntpServer::TAction::Raw;
        rule.Raw = QByteArray("2") + '\0' + "00 ok\r\n";
        break;
    case TFault::Megabyte:
        rule.Action = TFakeNntpServer::TAction::Raw;
        rule.Raw = MegabyteLine();
        break;
    case TFault::Unexpected:
        rule.Lines = {code};
        break;
    }
    return rule;
}

// What the message about a fault says at least, whatever else it adds: the connection
// refused or closed, the time-out, the reply that is no reply, or the server's own text.
inline QString FaultPhrase(const QString& phase, TFault how)
{
    switch (how) {
    case TFault::Close:
        return phase == "connect" ? "Connection refused" : "unexpectedly closed";
    case TFault::Silent:
        return "Timeout while";
    case TFault::NotDigits:
        return phase == "greeting" ? "Bad reply from server: good day"
                                   : "Bad reply from server: hello there";
    case TFault::Nul:
        return "Bad reply from server";
    case TFault::Megabyte:
        return "Read buffer full";
    case TFault::Unexpected:
        return phase == "greeting" ? "go away"
               : phase == "post"   ? "what article"
               : phase == "240"    ? "what"
                                   : "hm";
    }
    return {};
}

// Scripts the server to answer well everywhere but at the phase, where it misbehaves once. A
// login is asked for (480) at the first LIST, NEWGROUPS or POST when the fault is in it.
// The connect phase is the caller's: it points the client at a port nobody listens on.
// articleLines: how many lines the article posted has, up to its final dot.
inline void Arrange(TFakeNntpServer& server, const QString& phase, TFault how, int articleLines)
{
    if (phase == "greeting") {
        if (how == TFault::Close)
            server.SetDropOnConnect(true);
        else if (how == TFault::Silent)
            server.SetRawGreeting({});
        else if (how == TFault::Megabyte)
            server.SetRawGreeting(MegabyteLine());
        else if (how == TFault::Nul)
            server.SetRawGreeting(QByteArray("2") + '\0' + "00 ready\r\n");
        else
            server.SetGreeting(how == TFault::NotDigits ? "good day" : "502 go away");
    }
    const QByteArray commands[] = {"AUTHINFO USER*", "AUTHINFO PASS*", "LIST",
                                   "NEWGROUPS*",     "POST",           "QUIT"};
    const QStringList commandPhases = {"user", "pass", "list", "newgroups", "post", "quit"};
    if (const qsizetype at = commandPhases.indexOf(phase); at >= 0)
        server.Add(FaultRule(commands[at], how, phase == "post" ? "240 what article" : "299 hm"));
    if (phase == "user" || phase == "pass")
        for (const QByteArray command : {"LIST", "NEWGROUPS*", "POST"})
            server.On(command, {"480 login first"}, true);
    server.On("AUTHINFO USER*", {"381 more"}).On("AUTHINFO PASS*", {"281 in"});
    server.On("LIST", {"215 list", "alt.test 1 1 y", "."});
    server.On("NEWGROUPS*", {"231 new", "."});

    TFakeNntpServer::TRule post;
    post.Command = "POST";
    post.Lines = {"340 go ahead"};
    post.TakesArticle = true;
    post.Result = {"240 ok"};
    if (phase == "body" || phase == "dot") {
        // "body": within the headers; "dot": once every line but the final dot is in.
        const int lines = phase == "body" ? 3 : articleLines;
        (how == TFault::Close ? post.DropAfterLines : post.StallAfterLines) = lines;
    }
    if (phase == "240") {
        post.Result = FaultRule("", how, "299 what").Lines;
        if (how == TFault::Close)
            post.DropAfterArticle = true;
        else if (how == TFault::Silent)
            post.Result.clear();
        else if (how == TFault::Nul)
            post.Result = {QByteArray("2") + '\0' + "40 ok"};
        else if (how == TFault::Megabyte)
            post.Result = {MegabyteLine() + MegabyteLine()};
    }
    // The fault happens once; a later POST is answered well.
    if (phase == "body" || phase == "dot" || phase == "240") {
        TFakeNntpServer::TRule faulty = post;
        faulty.Once = true;
        server.Add(faulty);
        post.Result = {"240 ok"};
        post.DropAfterLines = post.StallAfterLines = -1;
        post.DropAfterArticle = false;
    }
    server.Add(post);
}

} // namespace NntpFaults
