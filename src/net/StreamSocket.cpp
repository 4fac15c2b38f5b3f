#include "net/StreamSocket.h"

#include "net/SockCtrl.h"
#include "net/SockError.h"

#include <cerrno>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

TStreamSocket::TStreamSocket(TSockCtrl* owner) : TSocketBase(owner) {}

TStreamSocket::~TStreamSocket()
{
    TStreamSocket::Close();
}

void TStreamSocket::SetTls(const TTlsConfig& config, const QString& peerName)
{
    m_tlsConfig = config;
    m_peerName = peerName;
}

void TStreamSocket::SetSocks(const TSocksProxy& proxy, const QString& host, quint16 port)
{
    m_proxy = proxy;
    m_socksHost = host;
    m_socksPort = port;
}

void TStreamSocket::StartTls()
{
    if (State() != ssConnected || m_tls)
        throw ESockError(0, QStringLiteral("TLS cannot start on this connection"));
    m_upgrade = true;
    beginHandshake();
}

QString TStreamSocket::TlsDescription() const
{
    return m_tls ? m_tls->Description() : QString();
}

void TStreamSocket::Close()
{
    if (m_tls && IsOpen() && !m_handshaking)
        m_tls->Shutdown();
    m_tls.reset();
    m_handshaking = false;
    m_socks.reset();
    TSocketBase::Close();
}

void TStreamSocket::beginHandshake()
{
    QString error;
    m_tls = TTlsChannel::Create(m_tlsConfig, m_peerName, Handle(), &error);
    if (!m_tls)
        throw ESockError(0, error);
    m_handshaking = true;
    HandshakeStep();
}

void TStreamSocket::watchFor(TTlsChannel::TWant want)
{
    WatchRead(want == TTlsChannel::TWant::Read);
    WatchWrite(want == TTlsChannel::TWant::Write);
}

void TStreamSocket::HandshakeStep()
{
    if (m_socks)
        socksStep();
    else
        tlsStep();
}

// Sends what the proxy is owed; false while the system takes no more.
bool TStreamSocket::socksSend()
{
    while (!m_socksOut.isEmpty()) {
        const ssize_t n =
            ::send(Handle(), m_socksOut.constData(), size_t(m_socksOut.size()), MSG_NOSIGNAL);
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            WatchRead(false);
            WatchWrite(true);
            return false;
        }
        if (n < 0)
            RaiseErrno(errno, SockFormat::Sending);
        m_socksOut.remove(0, n);
    }
    WatchWrite(false);
    WatchRead(true);
    return true;
}

// One turn of the SOCKS5 negotiation. Exactly the bytes of the proxy's replies are read, so
// whatever follows the CONNECT reply stays for the news server's side of the conversation.
void TStreamSocket::socksStep()
{
    while (socksSend()) {
        char buffer[512];
        const ssize_t n = ::recv(Handle(), buffer, size_t(m_socks->Wanted()), 0);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        if (n == 0 || (n < 0 && errno == ECONNRESET))
            throw ESockError(0, m_socks->ClosedText());
        if (n < 0)
            RaiseErrno(errno, SockFormat::Receiving);
        m_socksOut = m_socks->Take(buffer, n);
        if (!m_socks->Error().isEmpty())
            throw ESockError(0, m_socks->Error());
        if (m_socks->Done()) {
            m_socks.reset();
            connectionMade();
            return;
        }
    }
}

void TStreamSocket::connectionMade()
{
    if (m_tlsConfig.Mode == TTlsMode::Implicit) {
        beginHandshake();
        return;
    }
    Established();
}

void TStreamSocket::tlsStep()
{
    TTlsChannel::TWant want = TTlsChannel::TWant::Nothing;
    QString error;
    if (!m_tls->Handshake(&want, &error)) {
        if (!error.isEmpty())
            throw ESockError(0, error);
        watchFor(want);
        return;
    }
    m_handshaking = false;
    m_peer = m_tls->PeerCertificate();
    if (const QString refusal = m_tls->CheckPeer(); !refusal.isEmpty()) {
        m_peerRefused = true;
        throw ESockError(0, refusal);
    }
    // The server's first reply may have come with the handshake's last bytes.
    QueueReadable();
    if (m_upgrade) {
        WatchWrite(false);
        WatchRead(true);
        if (Owner())
            Owner()->SocketSecured(this);
        return;
    }
    Established();
}

void TStreamSocket::Connect()
{
    if (State() == ssConnected || State() == ssConnecting)
        throw ESockError::Make(SockCode::IsConnected);
    if (!Remote().IsValid())
        throw ESockError::Make(0, ESockError::Format(SockFormat::NoAddress));
    const int fd = ::socket(Remote().Family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        RaiseErrno(errno, SockFormat::CreatingSocket);
    if (::connect(fd, Remote().Data(), Remote().Length()) != 0 && errno != EINPROGRESS) {
        const int error = errno;
        ::close(fd);
        RaiseErrno(error, SockFormat::Connecting);
    }
    // Completion (also an immediate one) is reported when the socket first becomes writable.
    Adopt(fd, ssConnecting);
    WatchWrite(true);
}

bool TStreamSocket::SetNoDelay(bool on)
{
    const int value = on ? 1 : 0;
    return IsOpen() && ::setsockopt(Handle(), IPPROTO_TCP, TCP_NODELAY, &value, sizeof value) == 0;
}

qint64 TStreamSocket::Send(const char* data, qint64 size)
{
    return RawSend(data, size);
}

qint64 TStreamSocket::Recv(char* data, qint64 size)
{
    return RawRecv(data, size);
}

qint64 TStreamSocket::RawSend(const char* data, qint64 size)
{
    if (!IsOpen())
        throw ESockError::Make(0, ESockError::Format(SockFormat::NotOpen));
    if (m_tls) {
        TTlsChannel::TWant want = TTlsChannel::TWant::Nothing;
        QString error;
        const qint64 sent = m_tls->Write(data, size, &want, &error);
        if (sent == -2)
            throw ESockError(0, error);
        return sent;
    }
    const ssize_t n = ::send(Handle(), data, size_t(size), MSG_NOSIGNAL);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return 0;
    RaiseErrno(errno, SockFormat::Sending);
}

qint64 TStreamSocket::RawRecv(char* data, qint64 size)
{
    if (!IsOpen())
        throw ESockError::Make(0, ESockError::Format(SockFormat::NotOpen));
    if (m_tls) {
        TTlsChannel::TWant want = TTlsChannel::TWant::Nothing;
        QString error;
        const qint64 received = m_tls->Read(data, size, &want, &error);
        if (received == -2)
            throw ESockError(0, error);
        if (want == TTlsChannel::TWant::Write)
            WatchWrite(true);
        return received;
    }
    const ssize_t n = ::recv(Handle(), data, size_t(size), 0);
    if (n >= 0)
        return n;
    if (errno == EAGAIN || errno == EINTR)
        return -1;
    RaiseErrno(errno, SockFormat::Receiving);
}

void TStreamSocket::Disconnected()
{
    Close();
    if (Owner())
        Owner()->SocketDisconnected(this);
}

void TStreamSocket::Established()
{
    WatchWrite(false);
    WatchRead(true);
    if (Owner())
        Owner()->SocketConnected(this);
}

void TStreamSocket::HandleWritable()
{
    if (State() == ssConnecting) {
        int error = 0;
        socklen_t length = sizeof error;
        ::getsockopt(Handle(), SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0)
            RaiseErrno(error, SockFormat::Connecting);
        SetState(ssConnected);
        if (m_proxy.IsSet()) {
            m_socks = std::make_unique<TSocksHandshake>(m_proxy, m_socksHost, m_socksPort);
            m_socksOut = m_socks->Start();
            QPointer<TStreamSocket> self(this);
            if (Owner())
                Owner()->SocketReachedProxy(this);
            if (self && IsOpen())
                socksStep();
            return;
        }
        connectionMade();
        return;
    }
    if (Handshaking()) {
        HandshakeStep();
        return;
    }
    WatchWrite(false);
    if (Owner())
        Owner()->SocketWritable(this);
}

void TStreamSocket::HandleReadable()
{
    if (Handshaking()) {
        HandshakeStep();
        return;
    }
    // A plain stream socket leaves the reading to its user; only the close is ours to see.
    char probe;
    const ssize_t n = ::recv(Handle(), &probe, 1, MSG_PEEK);
    if (n == 0) {
        Disconnected();
        return;
    }
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return;
        if (errno == ECONNRESET) {
            Disconnected();
            return;
        }
        RaiseErrno(errno, SockFormat::Receiving);
    }
    if (Owner())
        Owner()->SocketReadable(this);
}
