#pragma once

#include "net/ClientStatus.h"
#include "net/SocksProxy.h"
#include "net/TlsChannel.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

class QTimer;
class TNewsArticle;
class TTextClient;
class TLineSocket;
class TPhaseTimer;
class THostResolver;
class TSendBudget;
struct TAsyncHostInfo;

// The news-server client: downloads the group list, asks for new groups, posts one article
// and leaves the server, reporting everything through its signals. It connects on demand
// (reusing an open connection to the same server), logs in when the server answers 480
// (RFC 4643 AUTHINFO USER/PASS) and follows the replies through a small state machine fed one
// line at a time. At most one connection and one operation at a time: start the next
// operation from the completion signal of the previous one.
//
// Writing never waits inside a handler: lines go into the connection's write buffer until it
// is full, and sending continues when the connection reports its write buffer empty.
// A failure that ends the connection (drop, time-out, bad reply, socket error, Cancel)
// replaces it before the event is raised, so a handler may start the next operation at once.
class TbcsNNTP : public QObject
{
    Q_OBJECT

public:
    explicit TbcsNNTP(QObject* parent = nullptr);
    // Saves the log lines to LogFile when both are non-empty.
    ~TbcsNNTP() override;

    // Published settings; setting them has no side effect.
    TNewsArticle* Article() const { return m_article; } // not owned
    void SetArticle(TNewsArticle* article) { m_article = article; }
    bool Authenticate() const { return m_authenticate; }
    void SetAuthenticate(bool on) { m_authenticate = on; }
    QString LogFile() const { return m_logFile; }
    void SetLogFile(const QString& path) { m_logFile = path; }
    QString Password() const { return m_password; }
    void SetPassword(const QString& password) { m_password = password; }
    // Seconds a write may make no progress; 0 = no guard.
    int PostTimeout() const { return m_postTimeout; }
    void SetPostTimeout(int seconds) { m_postTimeout = seconds; }
    // Host name or address (IPv4, IPv6 in brackets when a port follows), optionally followed
    // by ":port" (default 119, 563 with TLS from the first byte).
    QString Server() const { return m_server; }
    void SetServer(const QString& server) { m_server = server; }
    // Seconds allowed for the lookup, connect and greeting, and for each command's reply;
    // 0 = no guard.
    int Timeout() const { return m_timeout; }
    void SetTimeout(int seconds) { m_timeout = seconds; }
    // How connections are protected; takes effect at the next connection.
    const TTlsConfig& Tls() const { return m_tls; }
    void SetTls(const TTlsConfig& tls) { m_tls = tls; }
    // The SOCKS5 proxy connections go through (the server's name goes to the proxy, which
    // looks it up); unset: straight to the server. Takes effect at the next connection.
    const TSocksProxy& SocksProxy() const { return m_proxy; }
    void SetSocksProxy(const TSocksProxy& proxy) { m_proxy = proxy; }
    // The certificate the server showed last (also one that was refused).
    const TCertificateInfo& ServerCertificate() const { return m_certificate; }
    QString UserName() const { return m_userName; }
    void SetUserName(const QString& userName) { m_userName = userName; }

    // The greeting of the last connection ("200 news.example.com InterNetNews ready"),
    // empty before one came.
    const QString& Greeting() const { return m_greeting; }
    // The TLS protocol and cipher of the open connection ("TLSv1.3, TLS_AES_256_GCM_SHA384"),
    // empty without TLS.
    const QString& TlsDescription() const { return m_tlsDescription; }
    // Whether the last login the server was asked for was accepted (281).
    bool LoggedIn() const { return m_loggedIn; }
    // True from the greeting until the connection is dropped.
    bool Connected() const { return m_connected; }
    // Group names of the last LIST or NEWGROUPS answer.
    const QStringList& Groups() const { return m_groups; }
    // A list longer than this is refused with an error. The largest servers carry a few
    // hundred thousand groups.
    static constexpr qsizetype DefaultGroupLimit = 2'000'000;
    void SetGroupLimit(qsizetype names) { m_groupLimit = names; }
    // The last reply's code; 0 after a failure no reply was behind (dropped, timed out).
    int ReplyCode() const { return m_replyCode; }
    // What the client was doing when the server last closed the connection ("POST",
    // "sending the article", ...); empty when it was idle.
    const QString& ClosedDuring() const { return m_closedDuring; }
    const QString& ReplyText() const { return m_replyText; }
    // The lines logged while LogFile was set.
    const QStringList& LogLines() const { return m_logLines; }
    TClientStatus Status() const { return m_state; }

    // Operations: each connects first when needed.
    void ListGroups();
    // date: "yymmdd hhmmss"; anything not 13 characters long is refused.
    void NewGroups(const QString& date);
    // Composes the article, then posts it.
    void Post();
    // Posts the article as its caller filled it.
    void PostComposed();
    // Asks whether each article is on the server (STAT, several at once as RFC 3977
    // allows); OnArticleChecked reports each in order, then OnCheckDone.
    void CheckArticles(const QStringList& messageIds);
    // Fetches each article's body (BODY), one after the other; OnBodyFetched reports each in
    // order (its lines with the dot rule undone; none when the server has no such article),
    // then OnBodiesDone.
    void FetchBodies(const QStringList& messageIds);
    // Asks what the server offers (RFC 3977 5.2 CAPABILITIES), logging in first when a login
    // is set (RFC 4643 2.2: a server may offer more, POST among it, once logged in);
    // OnCapabilities reports the list, empty when the server does not know the command.
    void Capabilities();
    // Sends QUIT (no reply awaited) and drops the connection, if one is open.
    void Quit();
    // Stops whatever runs and drops the connection.
    void Cancel();
    // Drops the connection, open or being made, without an event: the client is to reach
    // another server now.
    void Drop();

    // A status reply: three ASCII digits, then the text after the first blank (the whole
    // line when it has none). False for any other line, which leaves code and text as they were.
    static bool ParseReplyLine(const QString& line, int& code, QString& text);
    // The group name of one line of a LIST or NEWGROUPS answer: its bytes up to the first
    // blank; empty when the line names none a newsrc can hold (NUL, control characters).
    static QString GroupOfLine(const QByteArray& line);

    // For tests: the host-name lookup to use (not owned; nullptr = the system's) and the
    // length of one time-out second in milliseconds.
    void SetHostResolver(THostResolver* resolver);
    void SetSecondLength(int milliseconds);
    // The speed limit the article bytes keep to (not owned; nullptr = none), shared with
    // other clients. Commands go unmetered. A pause of the limit is not a stalled write: the
    // post time-out starts again when sending resumes.
    TSendBudget* SendBudget() const { return m_budget; }
    void SetSendBudget(TSendBudget* budget) { m_budget = budget; }
    // Takes every setting of another client (server, login, time-outs, protection, the
    // lookup, the time-out second and the speed limit): a further connection set up as
    // that one is.
    void TakeSetup(const TbcsNNTP& other);

signals:
    void OnCanceled();
    void OnConnected();
    void OnDisconnected();
    void OnError(const QString& errorText);
    // The server's certificate was refused (reason in words); OnError follows.
    void OnCertificateRefused(const TCertificateInfo& certificate, const QString& reason);
    void OnGroupReceived(const QString& group);
    void OnGroupsDone();
    void OnLogEvent(const QString& logText);
    // A login is about to send the password over a connection without TLS (once per client).
    void OnClearTextLogin(const QString& host);
    void OnNewStatus(TClientStatus newStatus);
    void OnPosted();
    void OnPostFailed(const QString& reason);
    void OnArticleChecked(const QString& messageId, bool present);
    void OnCheckDone();
    // The server cannot check articles (STAT answered 500 to 503): nothing was checked; the
    // connection stays usable. The text names the server and its answer.
    void OnCheckRefused(const QString& text);
    void OnBodyFetched(const QString& messageId, bool present, const QByteArrayList& lines);
    void OnBodiesDone();
    void OnCapabilities(const QStringList& capabilities);
    // Body progress 1..100 while the article goes out, then 0 once at its end.
    void OnProgress(int percent);

private:
    // Where an article transmission stands.
    enum class TSendPhase
    {
        None,
        Headers,
        Body,
        Dot,
    };

    void makeConnection();
    void dropConnection();
    TLineSocket* openSocket() const;
    void sendPending();
    void startPost(bool compose);
    void sendPendingCommand();
    void sendCommand(const QString& line, bool log, bool awaitReply);
    void login();
    void sendStatBatch();
    void handleStatReply();
    void handleBodyReply();
    void handleBodyLine(const QByteArray& line);
    void nextBody();
    void handleCapabilitiesReply();
    void handleCapabilityLine(const QByteArray& line);

    void asyncComplete(const TAsyncHostInfo& info);
    void connectedToServer();
    void disconnectedByServer();
    void socketFailed(int code, const QString& message);
    void badReply(const QString& line);
    void writeBufferEmpty();
    void writeProgress();
    void lineReceived(const QByteArray& line);

    bool parseReply(const QString& line);
    void handleGreeting(const QString& line);
    void handleGroupLine(const QByteArray& line);
    void handleReply();

    void startArticle();
    void pump();
    qint64 meteredChunk(qint64 wanted);
    void budgetResumed();
    bool nextArticleLine();
    bool nextBodyLine();
    void reportProgress();
    void abortArticle(const QString& message);
    void claimOutput();
    bool stillSending() const { return m_outSerial == m_connectionSerial; }
    void checkWritten();

    void setState(TClientStatus state, bool report = true);
    QString timeoutText() const;
    // What the client was doing, in the words a failure names it: "connecting", "POST", ...
    QString stepText() const;
    // "host:port" of the server connected to, or as set when not connected yet.
    QString serverText() const;
    // The last reply as a failure: "CODE TEXT (host:port, step)".
    QString replyFailure() const;
    // Where a failure without a reply of the server happened: " (host:port, step)".
    QString whereText() const;
    void armTimer(int seconds);
    void stopTimer();
    void timerFired();
    void fail(const QString& text);
    void log(const QString& text);
    void connectToAny(const QStringList& addresses);
    void connectToNext();
    bool tryNextAddress(const QString& failure);
    void attemptTooSlow();
    QString attemptText() const;
    void startTls();
    void handleStartTlsReply(const QString& line);
    void secured();
    bool isSecured() const;
    void takeCertificate();

    std::unique_ptr<TPhaseTimer> m_timer;
    int m_secondLength = 1000;
    TTextClient* m_connection = nullptr; // a child; replaced after every drop
    QPointer<THostResolver> m_resolver;  // a test's lookup, when set
    std::unique_ptr<THostResolver> m_systemResolver;
    int m_lookupHandle = -1;
    QTimer* m_attemptTimer; // one address's share of the connect time-out
    TSendBudget* m_budget = nullptr;
    QTimer* m_budgetTimer; // resumes sending after a pause of the speed limit
    QString m_host;        // the server's host part, without brackets
    quint16 m_port = 0;
    QString m_attempt;       // the address being connected to
    QStringList m_addresses; // those still to try
    TTlsConfig m_tls;
    TSocksProxy m_proxy;
    TSocksProxy m_currentProxy; // the one the open connection went through
    QString m_dialHost;         // what is looked up and connected to: the server or the proxy
    quint16 m_dialPort = 0;
    TCertificateInfo m_certificate;
    bool m_startTlsSent = false;
    bool m_warnedClearLogin = false; // once per connection
    // Checking articles: the ids, how many were asked and answered; after a 480 the answers
    // still on their way are let through before the login.
    QStringList m_checkIds;
    qsizetype m_checkSent = 0;
    qsizetype m_checkDone = 0;
    bool m_checkDraining = false;
    QString m_checkRefusal; // the first refusal of a STAT, while the others are let through
    QString m_closedDuring;
    QStringList m_bodyIds;
    qsizetype m_bodyAt = 0;
    QByteArrayList m_body;
    qint64 m_bodyBytes = 0;
    TClientStatus m_state = csIdle;
    TClientStatus m_pendingStatus = csIdle;
    bool m_connected = false;
    QString m_pendingCommand;
    QString m_replyText;
    int m_replyCode = 0;
    int m_timeout = 0;
    int m_postTimeout = 0;
    QString m_server;
    QString m_currentServer;
    QString m_userName;
    QString m_password;
    QString m_logFile;
    bool m_authenticate = false;
    bool m_loginSent = false;  // for the command in progress
    bool m_loginFirst = false; // log in before the pending command is sent
    bool m_loggedIn = false;
    QString m_greeting;
    QString m_tlsDescription;
    QStringList m_capabilities;
    qsizetype m_groupLimit = DefaultGroupLimit;
    int m_skippedGroups = 0; // unusable names in the list being received
    bool m_written = true;
    bool m_canceled = false;
    QStringList m_logLines;
    QStringList m_groups;
    TNewsArticle* m_article = nullptr;

    // Sending: bytes handed over but not yet taken by the connection, and the article's place.
    // Both belong to one connection (by its serial number): a handler that drops the
    // connection while they are being filled must not let them leak onto the next one.
    quint64 m_connectionSerial = 0;
    quint64 m_outSerial = 0;
    QByteArray m_out;
    qsizetype m_outPos = 0;
    bool m_awaitReply = false;
    bool m_pumping = false;
    TSendPhase m_phase = TSendPhase::None;
    int m_headerIndex = 0;
    qint64 m_bodyLine = 0;
    qint64 m_bodyCount = 0;
    int m_lastProgress = 0;
    qint64 m_progressDue = 0; // the body line at which the percentage next goes up
};
