#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>

class QTcpServer;
class QTcpSocket;

// A scripted NNTP server on 127.0.0.1 at a port it picks, running on the test's event loop.
// It greets each connection, then answers each command line by the first rule that matches
// (an exact command, or a prefix ending in "*"); rules marked once are used up. A rule replies
// with lines (CR LF added), raw bytes, nothing at all (a stall) or by closing the connection.
// After a rule that accepts an article, the lines up to "." are collected as one article and
// answered with the rule's result lines. Without a matching rule: "500 What?"; QUIT without a
// rule gets "205 Bye" and a close.
class TFakeNntpServer : public QObject
{
    Q_OBJECT

public:
    enum class TAction
    {
        Reply, // send Lines
        Raw,   // send Raw as it is
        Stall, // send nothing
        Drop,  // close the connection
    };

    struct TRule
    {
        QByteArray Command;
        TAction Action = TAction::Reply;
        QList<QByteArray> Lines;
        QByteArray Raw;
        bool Once = false;
        // Close the connection once the reply is out.
        bool CloseAfter = false;
        // Accepting an article: Lines is the 340 reply, Result the answer to its ".".
        bool TakesArticle = false;
        QList<QByteArray> Result;
        // With an article: close the connection once the result is out (none: at the ".").
        bool DropAfterArticle = false;
        // With an article: close the connection / stop answering after this many lines.
        int DropAfterLines = -1;
        int StallAfterLines = -1;
    };

    explicit TFakeNntpServer(QObject* parent = nullptr);
    ~TFakeNntpServer() override;

    // Speaks TLS from the first byte with the certificate and key given (PEM files): the
    // greeting and everything after go over TLS. Before Start; false when a file is unusable.
    bool UseTls(const QString& certificateFile, const QString& keyFile);
    // Listens on a free port of the loopback address given (IPv4 unless told otherwise).
    bool Start(const QHostAddress& at = QHostAddress(QHostAddress::LocalHost));
    quint16 Port() const;
    // "127.0.0.1:port", for the client's Server setting.
    QString Server() const;

    // The greeting line; empty: say nothing (a stall). DropOnConnect closes at once.
    void SetGreeting(const QByteArray& line) { m_greeting = line + "\r\n"; }
    // The greeting bytes exactly as given (no CR LF added).
    void SetRawGreeting(const QByteArray& bytes) { m_greeting = bytes; }
    void SetDropOnConnect(bool on) { m_dropOnConnect = on; }
    // Plays a SOCKS5 proxy in front of the news server: the first requestBytes bytes a client
    // sends are the proxy's (kept in ProxyRequest(), not read as commands), and the proxy's
    // replies go out as the slices given, one per turn of the event loop, before the greeting;
    // closeAfter ends the connection after the last slice instead.
    void SetProxyReplies(int requestBytes, const QList<QByteArray>& slices, bool closeAfter = false)
    {
        m_proxyRequestBytes = requestBytes;
        m_proxySlices = slices;
        m_proxyCloseAfter = closeAfter;
    }
    const QByteArray& ProxyRequest() const { return m_proxyRequest; }
    // While open connections are open, a further one is greeted with refusal and closed (a
    // server that limits its connections). 0: no limit.
    void SetConnectionLimit(int open, const QByteArray& refusal)
    {
        m_limit = open;
        m_limitRefusal = refusal + "\r\n";
    }
    // The answers to the articles of the nth connection accepted (from 1) go out ms late.
    void SetAnswerDelay(int connection, int ms)
    {
        m_delayedConnection = connection;
        m_answerDelay = ms;
    }
    // A small receive buffer makes a client's writes block sooner when the server stalls.
    void SetReceiveBufferSize(int bytes) { m_receiveBufferSize = bytes; }

    TFakeNntpServer& On(const QByteArray& command, const QList<QByteArray>& lines,
                        bool once = false);
    TFakeNntpServer& OnRaw(const QByteArray& command, const QByteArray& raw, bool once = false);
    TFakeNntpServer& OnStall(const QByteArray& command, bool once = false);
    TFakeNntpServer& OnDrop(const QByteArray& command, bool once = false);
    // POST: "340 send article", then result (default "240 article posted ok").
    TFakeNntpServer& OnPost(const QList<QByteArray>& result = {"240 article posted ok"},
                            bool once = false);
    TFakeNntpServer& Add(const TRule& rule);

    // What happened.
    int Connections() const { return m_connections; }
    int Closed() const { return m_closed; }
    // Command lines received, in order, over every connection (article lines not included).
    const QList<QByteArray>& Commands() const { return m_commands; }
    // Each complete article as received, lines joined with CR LF, the "." line left out.
    const QList<QByteArray>& Articles() const { return m_articles; }
    // For each of them, the connection it came over (from 1, in the order they were accepted).
    const QList<int>& ArticleConnections() const { return m_articleConnections; }
    // Connections greeted with the limit's refusal.
    int Refused() const { return m_refused; }
    // Message-IDs STAT finds (223) besides those of the articles received and not refused
    // (answered 4xx or 5xx); any other is 430.
    void AddStoredId(const QByteArray& messageId) { m_storedIds.append(messageId); }
    // Every nth article received is answered as the rule says but not kept: STAT does not
    // find it (a server that loses articles after taking them). 0: none is lost.
    void SetLoseEvery(int n) { m_loseEvery = n; }
    // An article whose Message-ID the server has kept already is refused as INN refuses it
    // ("441 435 Duplicate") and not kept again.
    void SetRefuseDuplicates(bool on) { m_refuseDuplicates = on; }
    // The articles kept: received and not refused.
    const QList<QByteArray>& Kept() const { return m_kept; }
    // Article lines received so far for the article in progress.
    int ArticleLinesSoFar() const { return m_articleLines; }

signals:
    void CommandReceived(const QByteArray& command);
    void ArticleReceived();
    void ConnectionClosed();

private:
    struct TSession;

    void accept();
    void readFrom(QTcpSocket* socket);
    void handleCommand(QTcpSocket* socket, TSession& session, const QByteArray& line);
    void handleArticleLine(QTcpSocket* socket, TSession& session, const QByteArray& line);
    std::optional<TRule> match(const QByteArray& command);
    void sendLines(QTcpSocket* socket, const QList<QByteArray>& lines);
    void sendOpening(QTcpSocket* socket, qsizetype slice);

    QTcpServer* m_server;
    QByteArray m_greeting = "200 fake news server ready, posting allowed\r\n";
    bool m_dropOnConnect = false;
    int m_proxyRequestBytes = 0;
    QList<QByteArray> m_proxySlices;
    bool m_proxyCloseAfter = false;
    QByteArray m_proxyRequest;
    QList<QByteArray> m_storedIds;
    QList<QByteArray> m_lostIds;
    int m_loseEvery = 0;
    bool m_refuseDuplicates = false;
    int m_receiveBufferSize = 0;
    QList<TRule> m_rules;
    int m_connections = 0;
    int m_closed = 0;
    int m_open = 0;
    int m_limit = 0;
    QByteArray m_limitRefusal;
    int m_refused = 0;
    int m_delayedConnection = 0;
    int m_answerDelay = 0;
    QList<int> m_articleConnections;
    QList<QByteArray> m_commands;
    QList<QByteArray> m_articles;
    QList<QByteArray> m_kept; // those not refused
    int m_articleLines = 0;
};
