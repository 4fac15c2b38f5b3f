#include "net/CustomClientSocket.h"

#include "net/SockError.h"
#include "net/StreamSocket.h"

TCustomClientSocket::TCustomClientSocket(QObject* parent) : TSockCtrl(parent) {}

TStreamSocket* TCustomClientSocket::CreateSocket()
{
    return new TStreamSocket(this);
}

void TCustomClientSocket::SetTls(const TTlsConfig& config, const QString& peerName)
{
    m_tls = config;
    m_peerName = peerName;
}

void TCustomClientSocket::SetSocks(const TSocksProxy& proxy, const QString& host, quint16 port)
{
    m_proxy = proxy;
    m_socksHost = host;
    m_socksPort = port;
}

void TCustomClientSocket::Open()
{
    if (Socket() && Socket()->IsOpen())
        throw ESockError::Make(0, ESockError::Format(SockFormat::AlreadyOpened));
    const TSockAddress address = ResolveAddress();
    TStreamSocket* socket = CreateSocket();
    if (!socket)
        throw ESockError::Make(0, ESockError::Format(SockFormat::NoSocketClass));
    SetSocket(socket);
    socket->SetRemote(address);
    socket->SetTls(m_tls, m_peerName);
    socket->SetSocks(m_proxy, m_socksHost, m_socksPort);
    socket->Connect();
    StartConnectTimer();
}
