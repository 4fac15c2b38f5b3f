#include "net/bcsNNTP.h"

#include "article/GroupName.h"
#include "article/NewsArticle.h"
#include "base/SafeFile.h"
#include "net/BufferedSocketException.h"
#include "net/HostResolver.h"
#include "net/LineSocket.h"
#include "net/PhaseTimer.h"
#include "net/SendBudget.h"
#include "net/SockAddress.h"
#include "net/SockError.h"
#include "net/TextClient.h"
#include "article/WireLine.h"

#include <QTimer>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace {

const QByteArray CrLf("\r\n");
constexpr int DefaultPort = 119;
constexpr int DefaultTlsPort = 563;
// Seconds allowed between two lines of a group list.
constexpr int GroupLineTimeout = 60;
constexpr qint64 ArticleWriteBuffer = 64 * 1024;
// Body lines are gathered into batches of about this size: one write into the connection's
// buffer (and one progress-timer re-arm) per batch instead of per line.
constexpr qsizetype BodyBatch = 32 * 1024;
// Lines taken at most at once when they come already in wire form.
constexpr qint64 WireBlockLines = 256;
// STAT commands on their way at once: enough to hide the round trip, few enough that the
// replies never fill the server's send buffer while it waits for us to read.
constexpr qsizetype StatWindow = 64;
// The most an article body fetched may hold.
constexpr qint64 BodyLimit = qint64(64) << 20;

// How long one address of several may take to connect before the next one is tried; the
// last address has what is left of the time-out.
constexpr int AttemptSliceMs = 2000;

} // namespace

TbcsNNTP::TbcsNNTP(QObject* parent)
    : QObject(parent), m_timer(std::make_unique<TPhaseTimer>()),
      m_systemResolver(std::make_unique<THostResolver>()), m_attemptTimer(new QTimer(this)),
      m_budgetTimer(new QTimer(this))
{
    m_attemptTimer->setSingleShot(true);
    m_budgetTimer->setSingleShot(true);
    connect(m_budgetTimer, &QTimer::timeout, this, &TbcsNNTP::budgetResumed);
    connect(m_attemptTimer, &QTimer::timeout, this, &TbcsNNTP::attemptTooSlow);
    qRegisterMetaType<TClientStatus>();
    connect(m_timer.get(), &TPhaseTimer::Fired, this, &TbcsNNTP::timerFired);
    makeConnection();
}

TbcsNNTP::~TbcsNNTP()
{
    delete m_connection;
    m_connection = nullptr;
    if (m_logLines.isEmpty() || m_logFile.isEmpty())
        return;
    // Nobody is left to tell of a failure here; at least the old file stays whole.
    QByteArray bytes;
    for (const QString& line : std::as_const(m_logLines))
        bytes += line.toUtf8() + CrLf;
    TSafeFile::Replace(m_logFile, bytes);
}

void TbcsNNTP::SetHostResolver(THostResolver* resolver)
{
    m_resolver = resolver;
    m_connection->SetResolver(m_resolver ? m_resolver.data() : m_systemResolver.get());
}

void TbcsNNTP::SetSecondLength(int milliseconds)
{
    m_secondLength = milliseconds;
    m_timer->SetSecondLength(milliseconds);
}

void TbcsNNTP::TakeSetup(const TbcsNNTP& other)
{
    m_server = other.m_server;
    m_authenticate = other.m_authenticate;
    m_userName = other.m_userName;
    m_password = other.m_password;
    m_timeout = other.m_timeout;
    m_postTimeout = other.m_postTimeout;
    m_tls = other.m_tls;
    m_proxy = other.m_proxy;
    m_budget = other.m_budget;
    SetHostResolver(other.m_resolver.data());
    SetSecondLength(other.m_secondLength);
}

// ---- the connection object

void TbcsNNTP::makeConnection()
{
    ++m_connectionSerial;
    m_connection = new TTextClient(this);
    m_connection->SetPort(QString::number(DefaultPort));
    m_connection->SetTimeOut(0);
    m_connection->SetLineOptions(lsoAutoFlushAfterWrite | lsoLineReceivedEvents);
    m_connection->SetLineType(lstCRLF);
    // Larger than the default so an article goes out in few large sends instead of one
    // per kilobyte; received lines keep the default read buffer and its line limit.
    m_connection->SetWriteBufferSize(ArticleWriteBuffer);
    m_connection->SetResolver(m_resolver ? m_resolver.data() : m_systemResolver.get());
    connect(m_connection, &TSockCtrl::OnAsyncComplete, this, &TbcsNNTP::asyncComplete);
    connect(m_connection, &TSockCtrl::OnConnect, this, &TbcsNNTP::connectedToServer);
    // The proxy's own connect to the server may take longer than an address's share.
    connect(m_connection, &TSockCtrl::OnProxyConnected, this, [this] {
        m_attemptTimer->stop();
        log("Connected to the SOCKS5 proxy " + m_proxy.Text() + "; asking it for " + serverText());
    });
    connect(m_connection, &TSockCtrl::OnDisconnect, this, &TbcsNNTP::disconnectedByServer);
    connect(m_connection, &TSockCtrl::OnSocketError, this, &TbcsNNTP::socketFailed);
    connect(m_connection, &TSockCtrl::OnSecured, this, &TbcsNNTP::secured);
    connect(m_connection, &TTextClientBase::OnLineReceived, this,
            [this](TLineSocketBase*, const QByteArray& line, bool) { lineReceived(line); });
    connect(m_connection, &TBufferedClientBase::OnWriteBufferEmpty, this,
            &TbcsNNTP::writeBufferEmpty);
    connect(m_connection, &TBufferedClientBase::OnWriteBufferChange, this,
            &TbcsNNTP::writeProgress);
    m_connected = false;
    m_startTlsSent = false;
    m_warnedClearLogin = false;
}

void TbcsNNTP::dropConnection()
{
    m_attemptTimer->stop();
    m_budgetTimer->stop();
    m_phase = TSendPhase::None;
    m_out.clear();
    m_outPos = 0;
    m_awaitReply = false;
    m_written = true;
    TTextClient* old = m_connection;
    old->disconnect(this);
    old->Close();
    // We may be running inside one of its notifications.
    old->deleteLater();
    makeConnection();
}

TLineSocket* TbcsNNTP::openSocket() const
{
    TLineSocket* socket = m_connection->LineSocket();
    return socket && socket->IsOpen() ? socket : nullptr;
}

// ---- operations

void TbcsNNTP::ListGroups()
{
    m_pendingStatus = csListSent;
    m_pendingCommand = "LIST";
    sendPending();
}

void TbcsNNTP::NewGroups(const QString& date)
{
    if (date.size() != 13) {
        fail("Bad Command Syntax");
        return;
    }
    m_pendingStatus = csNewGroupsSent;
    m_pendingCommand = "NEWGROUPS " + date;
    sendPending();
}

void TbcsNNTP::CheckArticles(const QStringList& messageIds)
{
    m_checkIds = messageIds;
    m_checkSent = m_checkDone = 0;
    m_checkDraining = false;
    m_checkRefusal.clear();
    if (messageIds.isEmpty()) {
        emit OnCheckDone();
        return;
    }
    m_pendingStatus = csStatSent;
    m_pendingCommand = "STAT";
    sendPending();
}

void TbcsNNTP::Capabilities()
{
    m_loggedIn = false;
    m_pendingStatus = csCapabilitiesSent;
    m_pendingCommand = "CAPABILITIES";
    sendPending();
}

void TbcsNNTP::handleCapabilitiesReply()
{
    if (m_replyCode == 480) {
        login();
    } else if (m_replyCode == 101) {
        m_capabilities.clear();
        setState(csReceivingCapabilities, false);
        armTimer(m_timeout);
    } else if (m_replyCode >= 500 && m_replyCode <= 503) {
        // A server older than RFC 3977 does not know the command: nothing to report.
        m_pendingCommand.clear();
        emit OnCapabilities({});
    } else {
        m_pendingCommand.clear();
        fail(replyFailure());
    }
}

void TbcsNNTP::handleCapabilityLine(const QByteArray& line)
{
    if (line == ".") {
        stopTimer();
        m_pendingCommand.clear();
        setState(csCapabilitiesSent, false);
        emit OnCapabilities(std::exchange(m_capabilities, {}));
        return;
    }
    // A short list by the RFC; a server sending without end is cut off.
    if (m_capabilities.size() < 1000)
        m_capabilities << QString::fromUtf8(line);
    armTimer(m_timeout);
}

void TbcsNNTP::FetchBodies(const QStringList& messageIds)
{
    m_bodyIds = messageIds;
    m_bodyAt = 0;
    if (messageIds.isEmpty()) {
        emit OnBodiesDone();
        return;
    }
    m_pendingStatus = csBodySent;
    m_pendingCommand = "BODY " + messageIds.first();
    sendPending();
}

void TbcsNNTP::handleBodyReply()
{
    if (m_replyCode == 480) {
        login();
    } else if (m_replyCode == 222) {
        m_body.clear();
        m_bodyBytes = 0;
        setState(csReceivingBody, false);
        armTimer(m_timeout);
    } else if (m_replyCode == 430) {
        emit OnBodyFetched(m_bodyIds.at(m_bodyAt), false, {});
        nextBody();
    } else {
        m_pendingCommand.clear();
        fail(m_replyText);
    }
}

void TbcsNNTP::handleBodyLine(const QByteArray& line)
{
    if (line == ".") {
        stopTimer();
        emit OnBodyFetched(m_bodyIds.at(m_bodyAt), true, std::exchange(m_body, {}));
        nextBody();
        return;
    }
    m_bodyBytes += line.size() + 2;
    if (m_bodyBytes > BodyLimit) {
        // Only a broken or hostile server sends an article this large.
        stopTimer();
        dropConnection();
        m_body.clear();
        fail(QStringLiteral("The server sent more than %1 MiB for the body of %2; it was not used")
                 .arg(BodyLimit >> 20)
                 .arg(m_bodyIds.at(m_bodyAt)));
        return;
    }
    m_body.append(line.startsWith("..") ? line.mid(1) : line);
    armTimer(m_timeout);
}

void TbcsNNTP::nextBody()
{
    if (++m_bodyAt >= m_bodyIds.size()) {
        m_pendingCommand.clear();
        setState(csBodySent, false);
        log(QStringLiteral("BODY: %1 article(s) fetched").arg(m_bodyIds.size()));
        emit OnBodiesDone();
        return;
    }
    m_pendingCommand = "BODY " + m_bodyIds.at(m_bodyAt);
    setState(csBodySent, false);
    armTimer(m_timeout);
    sendCommand(m_pendingCommand, false, true);
}

void TbcsNNTP::sendStatBatch()
{
    while (m_checkSent < m_checkIds.size() && m_checkSent - m_checkDone < StatWindow) {
        const QString& id = m_checkIds.at(m_checkSent++);
        sendCommand("STAT " + id, false, true);
    }
}

void TbcsNNTP::handleStatReply()
{
    const qsizetype index = m_checkDone++;
    if (m_checkDraining || m_replyCode == 480) {
        // Asked to log in: the replies to the STATs already sent come first, then the login,
        // then those STATs go again.
        if (!m_checkDraining) {
            m_checkDraining = true;
            m_checkIds = m_checkIds.mid(index);
            m_checkSent -= index;
            m_checkDone = 1;
        }
        if (m_checkDone < m_checkSent) {
            armTimer(m_timeout);
            return;
        }
        m_checkDraining = false;
        m_checkSent = m_checkDone = 0;
        login();
        return;
    }
    if (!m_checkRefusal.isEmpty() || (m_replyCode >= 500 && m_replyCode <= 503)) {
        // STAT not known or not allowed: the answers still on their way are let through.
        if (m_checkRefusal.isEmpty())
            m_checkRefusal = "cannot check articles: " + replyFailure();
        if (m_checkDone < m_checkSent) {
            armTimer(m_timeout);
            return;
        }
        stopTimer();
        m_pendingCommand.clear();
        const QString refusal = std::exchange(m_checkRefusal, QString());
        log("Warning: " + refusal);
        emit OnCheckRefused(refusal);
        return;
    }
    if (m_replyCode != 223 && m_replyCode != 430) {
        m_pendingCommand.clear();
        fail(replyFailure());
        return;
    }
    emit OnArticleChecked(m_checkIds.at(index), m_replyCode == 223);
    if (m_checkDone == m_checkIds.size()) {
        stopTimer();
        m_pendingCommand.clear();
        log(QStringLiteral("STAT: %1 article(s) checked").arg(m_checkIds.size()));
        emit OnCheckDone();
        return;
    }
    armTimer(m_timeout);
    sendStatBatch();
}

void TbcsNNTP::Post()
{
    startPost(true);
}

void TbcsNNTP::PostComposed()
{
    startPost(false);
}

void TbcsNNTP::startPost(bool compose)
{
    if (!m_article) {
        fail("No article has been assigned");
        return;
    }
    if (compose) {
        emit OnNewStatus(csComposing);
        if (!m_article->TryCompose()) {
            fail(m_article->ErrorText);
            return;
        }
    }
    m_pendingStatus = csPostSent;
    m_pendingCommand = "POST";
    sendPending();
}

void TbcsNNTP::Quit()
{
    TLineSocket* socket = openSocket();
    if (!socket || socket->State() != ssConnected)
        return;
    log("QUIT");
    try {
        // No reply is awaited: hand the line over and let the system deliver it after close.
        socket->TBufferedSocketBase::WriteLine("QUIT", CrLf);
        socket->Flush();
    } catch (const std::exception& e) {
        log("Error: " + QString::fromUtf8(e.what()));
    }
    dropConnection();
}

void TbcsNNTP::Drop()
{
    stopTimer();
    dropConnection();
}

void TbcsNNTP::Cancel()
{
    m_canceled = true;
    stopTimer();
    dropConnection();
    emit OnCanceled();
}

// ---- connecting

void TbcsNNTP::sendPending()
{
    m_loginSent = false;
    m_loginFirst = m_pendingStatus == csCapabilitiesSent && m_authenticate &&
                   !m_userName.isEmpty() && !m_password.isEmpty();
    try {
        if (m_connected && m_currentServer.compare(m_server, Qt::CaseInsensitive) == 0 &&
            m_currentProxy == m_proxy) {
            sendPendingCommand();
            return;
        }
        if (m_connected)
            Quit();
        m_currentServer = m_server;
        // Kept after the connection ends, so a failure can still tell what the server said.
        m_greeting.clear();
        m_tlsDescription.clear();
        m_currentProxy = m_proxy;
        armTimer(m_timeout);
        const TServerName name = TServerName::Split(
            m_server, m_tls.Mode == TTlsMode::Implicit ? DefaultTlsPort : DefaultPort);
        m_host = name.Host;
        m_port = name.Port;
        // Through a proxy only the proxy's name is looked up here; the server's goes to it.
        const TServerName dial = m_proxy.IsSet() ? TServerName{m_proxy.Host, m_proxy.Port} : name;
        m_dialHost = dial.Host;
        m_dialPort = dial.Port;
        // No name to look up: the connection itself says "No address specified".
        if (dial.Host.isEmpty() || dial.IsNumeric()) {
            connectToAny({dial.Host});
            return;
        }
        setState(csLookingUp);
        m_lookupHandle = m_connection->StartHostLookup(dial.Host);
    } catch (const ESockError& e) {
        log("Error: " + e.Message());
        fail(e.Message());
    }
}

void TbcsNNTP::connectToAny(const QStringList& addresses)
{
    m_addresses = addresses;
    connectToNext();
}

// Tries the addresses in the resolver's order (IPv6 and IPv4 as it gives them), moving on
// when one fails or is slow to answer.
void TbcsNNTP::connectToNext()
{
    m_attempt = m_addresses.takeFirst();
    m_connection->SetPort(QString::number(m_dialPort));
    m_connection->SetAddress(m_attempt);
    m_connection->SetTls(m_tls, m_host);
    m_connection->SetSocks(m_proxy, m_host, m_port);
    setState(csConnecting);
    if (!m_addresses.isEmpty())
        m_attemptTimer->start(AttemptSliceMs);
    m_connection->Open();
}

bool TbcsNNTP::tryNextAddress(const QString& failure)
{
    m_attemptTimer->stop();
    if (m_state != csConnecting || m_addresses.isEmpty())
        return false;
    log("Error: " + failure + attemptText());
    dropConnection();
    try {
        connectToNext();
    } catch (const ESockError& e) {
        if (!tryNextAddress(e.Message()))
            fail(e.Message() + attemptText());
    }
    return true;
}

void TbcsNNTP::attemptTooSlow()
{
    tryNextAddress(QStringLiteral("No answer within %1 ms").arg(AttemptSliceMs));
}

// " to 192.0.2.1:119", or " to [2001:db8::1]:119 (news.example.com)" for a looked-up name;
// " to the SOCKS5 proxy 192.0.2.1:1080" through a proxy.
QString TbcsNNTP::attemptText() const
{
    const QString to = m_proxy.IsSet() ? QStringLiteral(" to the SOCKS5 proxy ") : " to ";
    TSockAddress address;
    if (!TSockAddress::Parse(m_attempt, m_dialPort, &address))
        return m_dialHost.isEmpty() ? QString()
                                    : to + m_dialHost + ':' + QString::number(m_dialPort);
    const QString text = to + address.Text();
    return TServerName{m_dialHost, m_dialPort}.IsNumeric() ? text : text + " (" + m_dialHost + ')';
}

void TbcsNNTP::asyncComplete(const TAsyncHostInfo& info)
{
    if (info.Handle != m_lookupHandle)
        return;
    m_lookupHandle = -1;
    if (info.ErrorCode != 0) {
        fail(ESockError::ErrorText(info.ErrorCode) + ": " + m_dialHost +
             (m_proxy.IsSet() ? QStringLiteral(" (the SOCKS5 proxy)") : QString()));
        return;
    }
    try {
        connectToAny(info.Addresses);
    } catch (const ESockError& e) {
        if (tryNextAddress(e.Message()))
            return;
        log("Error: " + e.Message() + attemptText());
        fail(e.Message() + attemptText());
    }
}

void TbcsNNTP::connectedToServer()
{
    m_attemptTimer->stop();
    m_addresses.clear();
    if (isSecured())
        secured();
    // Each command and each article's last bytes are a short write followed by a wait for
    // the reply: held back by Nagle's algorithm, they would wait for a delayed acknowledgement.
    TLineSocket* socket = openSocket();
    if (socket && !socket->SetNoDelay(true))
        log("Error: cannot turn off send delay: " + QString::fromLocal8Bit(std::strerror(errno)));
    emit OnConnected();
}

// The failure paths below replace the connection before they raise their event, so a
// handler that starts the next operation at once gets a fresh connection that stays.
void TbcsNNTP::disconnectedByServer()
{
    m_closedDuring = stepText();
    stopTimer();
    dropConnection();
    emit OnDisconnected();
}

void TbcsNNTP::socketFailed(int code, const QString& message)
{
    takeCertificate();
    const TStreamSocket* socket = m_connection->LineSocket();
    if (socket && socket->PeerRefused())
        emit OnCertificateRefused(socket->PeerCertificate(), message);
    // A refused certificate is no reason to try the server's other addresses.
    if (code != 0 && tryNextAddress(message))
        return;
    // System errors say "connecting"; the address tells where.
    const QString text =
        m_state == csConnecting && code != 0 ? message + attemptText() : message + whereText();
    stopTimer();
    dropConnection();
    m_replyCode = 0; // no reply of the server's is behind this failure
    log("Error: " + text);
    emit OnError(text);
}

// ---- sending

void TbcsNNTP::sendPendingCommand()
{
    if (m_pendingCommand.isEmpty())
        return;
    if (std::exchange(m_loginFirst, false)) {
        login();
        return;
    }
    setState(m_pendingStatus);
    armTimer(m_timeout);
    if (m_pendingStatus == csStatSent)
        sendStatBatch();
    else
        sendCommand(m_pendingCommand, true, true);
}

void TbcsNNTP::sendCommand(const QString& line, bool logIt, bool awaitReply)
{
    const quint64 serial = m_connectionSerial;
    if (logIt)
        log(line);
    // A handler of the state or log event may have dropped the connection meanwhile.
    if (serial != m_connectionSerial || !openSocket())
        return;
    claimOutput();
    m_out += WireLine::OneLine(line.toUtf8()) + CrLf;
    m_awaitReply = awaitReply;
    m_written = false;
    armTimer(m_postTimeout);
    pump();
}

void TbcsNNTP::pump()
{
    if (m_pumping || !stillSending())
        return;
    m_pumping = true;
    TTextClient* connection = m_connection;
    try {
        for (;;) {
            TLineSocket* socket = connection == m_connection ? openSocket() : nullptr;
            if (!socket)
                break;
            if (m_outPos >= m_out.size()) {
                m_out.resize(0); // keeps its capacity for the next batch
                m_outPos = 0;
                if (!nextArticleLine())
                    break;
                continue;
            }
            const qint64 chunk =
                meteredChunk(qMin<qint64>(m_out.size() - m_outPos, socket->WriteBufferSize()));
            if (chunk == 0)
                break; // the speed limit's pause: budgetResumed goes on
            const qint64 taken = socket->Write(m_out.constData() + m_outPos, chunk);
            m_outPos += taken;
            if (m_budget && m_phase != TSendPhase::None)
                m_budget->Spent(taken);
            if (taken == chunk)
                continue;
            socket->Flush();
            if (connection != m_connection || !openSocket() || socket->WriteFree() == 0)
                break; // the rest follows when the write buffer reports itself empty
        }
        if (connection == m_connection && openSocket())
            openSocket()->Flush();
    } catch (const std::exception& e) {
        m_pumping = false;
        if (connection == m_connection)
            dropConnection();
        log("Error: " + QString::fromUtf8(e.what()));
        fail(QString::fromUtf8(e.what()));
        return;
    }
    m_pumping = false;
    if (connection == m_connection)
        checkWritten();
}

// Article bytes keep to the speed limit; when none may go now, sending resumes from the
// timer once some may.
qint64 TbcsNNTP::meteredChunk(qint64 wanted)
{
    if (!m_budget || m_phase == TSendPhase::None)
        return wanted;
    if (m_budgetTimer->isActive())
        return 0;
    const qint64 allowed = m_budget->Allowed(wanted);
    if (allowed == 0) {
        // Nothing stalls while we hold back: the post time-out starts again on resuming.
        stopTimer();
        m_budgetTimer->start(m_budget->WaitMs());
    }
    return allowed;
}

void TbcsNNTP::budgetResumed()
{
    if (!stillSending() || m_phase == TSendPhase::None)
        return;
    // The pause was ours, not a stalled connection.
    armTimer(m_postTimeout);
    pump();
}

void TbcsNNTP::claimOutput()
{
    if (stillSending())
        return;
    m_out.clear();
    m_outPos = 0;
    m_phase = TSendPhase::None;
    m_outSerial = m_connectionSerial;
}

void TbcsNNTP::checkWritten()
{
    TLineSocket* socket = openSocket();
    if (m_written || m_phase != TSendPhase::None || m_outPos < m_out.size() || !socket ||
        socket->WriteHeld() > 0)
        return;
    m_written = true;
    stopTimer();
    // The reply is guarded as well: a server that goes silent must not hold the run forever.
    if (m_awaitReply)
        armTimer(m_timeout);
}

void TbcsNNTP::writeBufferEmpty()
{
    if (!m_pumping)
        pump();
}

void TbcsNNTP::writeProgress()
{
    // While the speed limit holds us back the buffer only drains: nothing can stall.
    if (m_budgetTimer->isActive())
        return;
    if (m_state == csSendingArticle && m_phase != TSendPhase::None)
        armTimer(m_postTimeout);
}

// ---- the article

void TbcsNNTP::startArticle()
{
    const quint64 serial = m_connectionSerial;
    log(m_article->Subject);
    // A handler of the state or log event may have dropped the connection meanwhile.
    if (serial != m_connectionSerial || !openSocket())
        return;
    claimOutput();
    m_canceled = false;
    m_headerIndex = 0;
    m_bodyLine = 0;
    m_lastProgress = 0;
    m_progressDue = 1;
    m_bodyCount = m_article->BodyLineCount();
    m_article->ErrorText.clear();
    if (!m_article->OpenBody()) {
        abortArticle(m_article->ErrorText);
        return;
    }
    m_phase = TSendPhase::Headers;
    m_awaitReply = false;
    m_written = false;
    armTimer(m_postTimeout);
    pump();
}

bool TbcsNNTP::nextArticleLine()
{
    if (m_canceled || !stillSending()) {
        m_phase = TSendPhase::None;
        return false;
    }
    switch (m_phase) {
    case TSendPhase::None:
        return false;
    case TSendPhase::Headers:
        if (m_headerIndex < m_article->HeaderCount()) {
            m_out = WireLine::OneLine(m_article->GetHeader(m_headerIndex++).toUtf8()) + CrLf;
            return true;
        }
        // The Newsgroups header always goes last, then the empty line before the body.
        m_out = "Newsgroups: " + WireLine::OneLine(GroupName::ToBytes(m_article->Newsgroups)) +
                CrLf + CrLf;
        m_phase = TSendPhase::Body;
        return true;
    case TSendPhase::Body:
        return nextBodyLine();
    case TSendPhase::Dot:
        m_phase = TSendPhase::None;
        return false;
    }
    return false;
}

bool TbcsNNTP::nextBodyLine()
{
    QByteArrayView line;
    m_out.reserve(BodyBatch + 1024);
    while (m_out.size() < BodyBatch) {
        if (m_bodyLine >= m_progressDue) {
            reportProgress();
            if (!stillSending())
                return false; // a progress handler dropped the connection
        }
        // Lines already in wire form go in blocks, each ending where the percentage next
        // goes up, so progress is reported exactly as line by line.
        QByteArrayView block;
        const qint64 lines = m_article->NextWireLines(
            qMin<qint64>(m_progressDue - m_bodyLine, WireBlockLines), block);
        if (lines > 0) {
            m_out.append(block.data(), block.size());
            m_bodyLine += lines;
            continue;
        }
        if (!m_article->NextBodyLine(line))
            break;
        ++m_bodyLine;
        WireLine::Append(m_out, line);
    }
    // The end (or a failure) of the body is taken up by the next call, after this batch.
    if (!m_out.isEmpty())
        return true;
    if (!m_article->ErrorText.isEmpty()) {
        abortArticle(m_article->ErrorText);
        return false;
    }
    emit OnProgress(0);
    setState(csArticleSent);
    log(".");
    if (!stillSending())
        return false;
    m_out = "." + CrLf;
    m_phase = TSendPhase::Dot;
    m_awaitReply = true;
    return true;
}

void TbcsNNTP::reportProgress()
{
    if (m_bodyLine == 0 || m_bodyCount <= 0)
        return;
    // An article that yields more lines than it announced still stops at 100.
    const int percent =
        int(qMin<qint64>(100, (m_bodyLine * 200 + m_bodyCount) / (m_bodyCount * 2)));
    if (percent > m_lastProgress) {
        m_lastProgress = percent;
        emit OnProgress(percent);
    }
    // The first line count that rounds to the next percentage; nothing is due after 100.
    m_progressDue = m_lastProgress >= 100 ? std::numeric_limits<qint64>::max()
                                          : (m_bodyCount * (2 * m_lastProgress + 1) + 199) / 200;
}

void TbcsNNTP::abortArticle(const QString& message)
{
    // Ending the article with "." would post it cut short: drop the connection instead.
    stopTimer();
    dropConnection();
    log("Error: " + message);
    fail(message);
}

// ---- receiving

void TbcsNNTP::lineReceived(const QByteArray& line)
{
    switch (m_state) {
    case csReceivingList:
    case csReceivingNewGroups:
        handleGroupLine(line);
        return;
    case csReceivingBody:
        handleBodyLine(line);
        return;
    case csReceivingCapabilities:
        handleCapabilityLine(line);
        return;
    case csConnecting:
        if (m_startTlsSent)
            handleStartTlsReply(QString::fromUtf8(line));
        else
            handleGreeting(QString::fromUtf8(line));
        return;
    case csClosing:
        parseReply(QString::fromUtf8(line));
        return;
    case csListSent:
    case csNewGroupsSent:
    case csUserSent:
    case csPassSent:
    case csPostSent:
    case csArticleSent:
    case csStatSent:
    case csBodySent:
    case csCapabilitiesSent:
        stopTimer();
        if (parseReply(QString::fromUtf8(line)))
            handleReply();
        return;
    default:
        log(QString::fromUtf8(line));
        return;
    }
}

void TbcsNNTP::handleGreeting(const QString& line)
{
    stopTimer();
    m_connected = true;
    if (!parseReply(line))
        return;
    m_greeting = line;
    // RFC 3977 5.1.1: 201 says posting is not allowed; reading (the group list, STAT) is.
    const bool posting = m_pendingCommand == QLatin1String("POST");
    if (m_replyCode == 200 || (m_replyCode == 201 && !posting)) {
        if (m_tls.Mode == TTlsMode::StartTls && !isSecured())
            startTls();
        else
            sendPendingCommand();
        return;
    }
    const QString refusal = replyFailure();
    Quit();
    fail(refusal);
}

bool TbcsNNTP::ParseReplyLine(const QString& line, int& code, QString& text)
{
    bool ok = line.size() >= 3;
    for (int i = 0; ok && i < 3; ++i)
        ok = line.at(i).isDigit() && line.at(i).unicode() < 128;
    if (!ok)
        return false;
    code = line.left(3).toInt();
    const qsizetype blank = line.indexOf(' ');
    text = blank < 0 ? line : line.mid(blank + 1);
    return true;
}

QString TbcsNNTP::GroupOfLine(const QByteArray& line)
{
    // RFC 3977 7.6.3: the name ends at the first blank. Its bytes are kept as they came.
    qsizetype end = line.indexOf(' ');
    if (end < 0)
        end = line.size();
    const QByteArray name = line.left(end);
    return GroupName::IsUsable(name) ? GroupName::FromBytes(name) : QString();
}

bool TbcsNNTP::parseReply(const QString& line)
{
    log(line);
    if (!ParseReplyLine(line, m_replyCode, m_replyText)) {
        badReply(line);
        return false;
    }
    return true;
}

void TbcsNNTP::badReply(const QString& line)
{
    stopTimer();
    dropConnection();
    fail("Bad reply from server: " + line + whereText());
}

void TbcsNNTP::handleReply()
{
    switch (m_state) {
    case csListSent:
    case csNewGroupsSent:
        if (m_replyCode == 480) {
            login();
        } else if (m_replyCode == (m_state == csListSent ? 215 : 231)) {
            m_groups.clear();
            m_skippedGroups = 0;
            setState(m_state == csListSent ? csReceivingList : csReceivingNewGroups);
            // A list that never starts is as stuck as one that stops.
            armTimer(GroupLineTimeout);
        } else {
            fail(replyFailure());
        }
        return;
    case csUserSent:
        if (m_replyCode != 381) {
            fail(replyFailure());
            return;
        }
        armTimer(m_timeout);
        setState(csPassSent, false);
        log("AUTHINFO PASS *");
        sendCommand("AUTHINFO PASS " + m_password, false, true);
        return;
    case csPassSent:
        m_loggedIn = m_replyCode == 281;
        if (m_replyCode == 281)
            sendPendingCommand();
        else
            fail(replyFailure());
        return;
    case csPostSent:
        if (m_replyCode == 480) {
            login();
        } else if (m_replyCode == 340) {
            m_pendingCommand.clear();
            setState(csSendingArticle);
            startArticle();
        } else {
            fail(replyFailure());
        }
        return;
    case csArticleSent:
        if (m_replyCode == 240)
            emit OnPosted();
        else
            emit OnPostFailed(replyFailure());
        return;
    case csStatSent:
        handleStatReply();
        return;
    case csBodySent:
        handleBodyReply();
        return;
    case csCapabilitiesSent:
        handleCapabilitiesReply();
        return;
    default:
        return;
    }
}

// ---- TLS

bool TbcsNNTP::isSecured() const
{
    const TLineSocket* socket = openSocket();
    return socket && socket->IsSecured();
}

void TbcsNNTP::takeCertificate()
{
    if (const TStreamSocket* socket = m_connection->LineSocket())
        if (!socket->PeerCertificate().IsEmpty())
            m_certificate = socket->PeerCertificate();
}

// RFC 4642: the connection is upgraded before anything else is said, and never goes on in
// clear text when the upgrade fails.
void TbcsNNTP::startTls()
{
    m_startTlsSent = true;
    armTimer(m_timeout);
    sendCommand(QStringLiteral("STARTTLS"), true, true);
}

void TbcsNNTP::handleStartTlsReply(const QString& line)
{
    stopTimer();
    m_startTlsSent = false;
    if (!parseReply(line))
        return;
    if (m_replyCode != 382) {
        const QString refusal = "The server refused STARTTLS: " + line + whereText();
        Quit();
        log("Error: " + refusal);
        fail(refusal);
        return;
    }
    // Whatever came after the 382 was sent in clear text and must not pass for a reply over
    // TLS (the plaintext injection known from STARTTLS in mail).
    if (openSocket()->ReadHeld() > 0) {
        const QString violation = "The server sent more after its 382 reply to STARTTLS, "
                                  "before the TLS handshake; connection" +
                                  attemptText() + " dropped";
        stopTimer();
        dropConnection();
        log("Error: " + violation);
        fail(violation);
        return;
    }
    armTimer(m_timeout);
    try {
        openSocket()->StartTls();
    } catch (const ESockError& e) {
        socketFailed(0, e.Message());
    }
}

void TbcsNNTP::secured()
{
    takeCertificate();
    if (const TLineSocket* socket = openSocket()) {
        m_tlsDescription = socket->TlsDescription();
        log("TLS: " + m_tlsDescription);
    }
    // After STARTTLS the command that waited goes out, now encrypted.
    if (m_state == csConnecting && m_connected)
        sendPendingCommand();
}

void TbcsNNTP::login()
{
    // RFC 4643: a 480 asks for AUTHINFO USER, then PASS after 381.
    if (!m_authenticate || m_userName.isEmpty() || m_password.isEmpty()) {
        const QString refusal = replyFailure();
        Quit();
        fail(refusal);
        return;
    }
    // Once per command: a server that asks again after accepting the login would have the
    // password sent over and over.
    if (m_loginSent) {
        const QString refusal = replyFailure();
        Quit();
        fail("The server asked for a login again after accepting it: " + refusal);
        return;
    }
    m_loginSent = true;
    if (!isSecured() && !m_warnedClearLogin) {
        m_warnedClearLogin = true;
        log("Warning: the password goes to " + m_host +
            " in clear text: this connection is not protected by TLS");
        emit OnClearTextLogin(m_host);
    }
    setState(csUserSent, false);
    emit OnNewStatus(csLoggingIn);
    armTimer(m_timeout);
    sendCommand("AUTHINFO USER " + m_userName, true, true);
}

void TbcsNNTP::handleGroupLine(const QByteArray& line)
{
    if (line == ".") {
        stopTimer();
        if (m_skippedGroups > 0)
            log(QStringLiteral("%1 group name(s) were skipped: empty, or holding a NUL, a "
                               "control character or a blank")
                    .arg(m_skippedGroups));
        emit OnGroupsDone();
        m_pendingCommand.clear();
        return;
    }
    if (m_groups.size() >= m_groupLimit) {
        // Only a broken or hostile server sends this much: stop before memory runs out.
        stopTimer();
        dropConnection();
        m_groups = QStringList();
        fail(QStringLiteral("The server's group list went past %1 names, far more than any "
                            "news server carries; the list was not used")
                 .arg(m_groupLimit));
        return;
    }
    const QString group = GroupOfLine(line);
    if (!group.isEmpty()) {
        m_groups.append(group);
        emit OnGroupReceived(group);
    } else {
        ++m_skippedGroups;
    }
    armTimer(GroupLineTimeout);
}

// ---- state, timer, events

void TbcsNNTP::setState(TClientStatus state, bool report)
{
    m_state = state;
    if (report)
        emit OnNewStatus(state);
}

void TbcsNNTP::armTimer(int seconds)
{
    m_timer->Arm(seconds);
}

void TbcsNNTP::stopTimer()
{
    m_timer->Stop();
}

QString TbcsNNTP::timeoutText() const
{
    switch (m_state) {
    case csLookingUp:
        return "looking up " + m_currentServer;
    case csConnecting:
        return "connecting to " + m_currentServer +
               (m_proxy.IsSet() ? " through the SOCKS5 proxy " + m_proxy.Text() : QString());
    case csListSent:
    case csNewGroupsSent:
    case csPostSent:
    case csArticleSent:
    case csStatSent:
    case csBodySent:
        return "waiting for server response";
    case csReceivingBody:
        return "receiving an article";
    case csReceivingList:
    case csReceivingNewGroups:
        return "receiving groups";
    case csUserSent:
    case csPassSent:
        return "logging in";
    case csSendingArticle:
        return "sending article";
    default:
        return QString();
    }
}

void TbcsNNTP::timerFired()
{
    // Looking up and connecting name the server already.
    const bool named = m_state == csLookingUp || m_state == csConnecting;
    const QString text = "Timeout while " + timeoutText() + (named ? QString() : whereText());
    m_canceled = true;
    m_lookupHandle = -1;
    dropConnection();
    m_replyCode = 0;
    emit OnError(text);
}

QString TbcsNNTP::stepText() const
{
    switch (m_state) {
    case csLookingUp:
        return QStringLiteral("looking up");
    case csConnecting:
        return m_startTlsSent ? QStringLiteral("STARTTLS")
               : m_connected  ? QStringLiteral("greeting")
                              : QStringLiteral("connecting");
    case csListSent:
    case csReceivingList:
        return QStringLiteral("LIST");
    case csNewGroupsSent:
    case csReceivingNewGroups:
        return QStringLiteral("NEWGROUPS");
    case csUserSent:
    case csPassSent:
        return QStringLiteral("login");
    case csPostSent:
        return QStringLiteral("POST");
    case csSendingArticle:
    case csArticleSent:
        return QStringLiteral("sending the article");
    case csStatSent:
        return QStringLiteral("STAT check");
    case csCapabilitiesSent:
    case csReceivingCapabilities:
        return QStringLiteral("CAPABILITIES");
    default:
        return QString();
    }
}

QString TbcsNNTP::serverText() const
{
    if (m_host.isEmpty())
        return m_server;
    const QString host = m_host.contains(':') ? '[' + m_host + ']' : m_host;
    return host + ':' + QString::number(m_port);
}

QString TbcsNNTP::whereText() const
{
    const QString step = stepText();
    return " (" + serverText() + (step.isEmpty() ? QString() : ", " + step) + ')';
}

QString TbcsNNTP::replyFailure() const
{
    return QString::number(m_replyCode) + ' ' + m_replyText + whereText();
}

void TbcsNNTP::fail(const QString& text)
{
    stopTimer();
    emit OnError(text);
}

void TbcsNNTP::log(const QString& text)
{
    // The list exists to be saved to LogFile. Without one nobody reads it, and a long
    // upload (five lines per article) would only make it grow.
    if (!m_logFile.isEmpty())
        m_logLines.append(text);
    emit OnLogEvent(text);
}
