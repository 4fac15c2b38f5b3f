#include "net/SockCtrl.h"

#include "net/HostResolver.h"
#include "net/SockError.h"
#include "net/LineSocketBase.h"

#include <QHostInfo>
#include <QTimerEvent>

#include <arpa/inet.h>
#include <netdb.h>

TSockCtrl::TSockCtrl(QObject* parent) : QObject(parent)
{
    // Event parameters usable in queued connections and signal spies.
    qRegisterMetaType<TSocketBase*>();
    qRegisterMetaType<TBufferedSocketBase*>();
    qRegisterMetaType<TLineSocketBase*>();
    qRegisterMetaType<TAsyncHostInfo>();
}

TSockCtrl::~TSockCtrl()
{
    if (m_socket) {
        m_socket->Close();
        delete m_socket;
    }
}

void TSockCtrl::SetAddress(const QString& address)
{
    m_address = address;
}

void TSockCtrl::SetPort(const QString& port)
{
    m_portText = port;
    bool number = false;
    const uint value = port.toUInt(&number);
    if (number) {
        m_port = value <= 65535 ? quint16(value) : 0;
        return;
    }
    const servent* entry =
        ::getservbyname(port.toLatin1().constData(), m_protocol.toLatin1().constData());
    m_port = entry ? ntohs(quint16(entry->s_port)) : 0;
}

TSockAddress TSockCtrl::ResolveAddress() const
{
    if (m_address.isEmpty())
        throw ESockError::Make(0, ESockError::Format(SockFormat::NoAddress));
    TSockAddress value;
    if (TSockAddress::Parse(m_address, m_port, &value))
        return value;
    // Only reached when a caller opens by host name without looking it up first.
    QStringList found;
    const int code = THostResolver::ErrorCodeOf(QHostInfo::fromName(m_address), &found);
    if (code != 0 || !TSockAddress::Parse(found.value(0), m_port, &value))
        throw ESockError::Make(code ? code : SockCode::NoData,
                               ESockError::Format(SockFormat::FindingAddress));
    return value;
}

void TSockCtrl::SetResolver(THostResolver* resolver)
{
    if (m_resolver)
        disconnect(m_resolver, nullptr, this, nullptr);
    m_resolver = resolver;
    if (!m_resolver) {
        if (!m_ownResolver)
            m_ownResolver = new THostResolver(this);
        m_resolver = m_ownResolver;
    }
    connect(m_resolver, &THostResolver::Finished, this, &TSockCtrl::lookupFinished);
}

int TSockCtrl::StartHostLookup(const QString& name)
{
    if (!m_resolver)
        SetResolver(nullptr);
    TAsyncHostInfo info;
    info.Handle = m_resolver->Start(name);
    m_pending.push_back(info);
    emit OnInfo(siLookUp, m_socket);
    return info.Handle;
}

void TSockCtrl::lookupFinished(int handle, int errorCode, const QStringList& addresses)
{
    // A shared lookup service reports every control's requests: take only ours.
    for (auto it = m_pending.begin(); it != m_pending.end(); ++it) {
        if (it->Handle != handle)
            continue;
        TAsyncHostInfo info = *it;
        m_pending.erase(it);
        info.ErrorCode = errorCode;
        info.Addresses = addresses;
        info.Address = addresses.value(0);
        info.Complete = true;
        emit OnAsyncComplete(info);
        return;
    }
}

void TSockCtrl::SetSocket(TSocketBase* socket)
{
    releaseSocket();
    m_socket = socket;
}

void TSockCtrl::releaseSocket()
{
    if (!m_socket)
        return;
    m_socket->Close();
    // Closing can happen inside the socket's own notification: free it from the loop.
    m_socket->deleteLater();
    m_socket = nullptr;
}

void TSockCtrl::Close()
{
    if (m_connectTimer) {
        killTimer(m_connectTimer);
        m_connectTimer = 0;
    }
    if (m_socket)
        emit OnInfo(siClose, m_socket);
    releaseSocket();
}

bool TSockCtrl::IsOpen() const
{
    return m_socket && m_socket->State() == ssConnected;
}

void TSockCtrl::StartConnectTimer()
{
    if (m_timeOut > 0)
        m_connectTimer = startTimer(m_timeOut * 1000);
}

void TSockCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_connectTimer)
        return;
    killTimer(m_connectTimer);
    m_connectTimer = 0;
    if (m_socket && m_socket->State() == ssConnecting)
        emit OnTimeOut(m_socket);
}

void TSockCtrl::SocketConnected(TSocketBase* socket)
{
    if (m_connectTimer) {
        killTimer(m_connectTimer);
        m_connectTimer = 0;
    }
    emit OnInfo(siConnect, socket);
    emit OnConnect(socket);
}

void TSockCtrl::SocketReachedProxy(TSocketBase* socket)
{
    emit OnProxyConnected(socket);
}

void TSockCtrl::SocketReadable(TSocketBase* socket)
{
    if (m_options & csoRead)
        emit OnRead(socket);
}

void TSockCtrl::SocketWritable(TSocketBase* socket)
{
    if (m_options & csoWrite)
        emit OnWrite(socket);
}

void TSockCtrl::SocketDisconnected(TSocketBase* socket)
{
    emit OnDisconnect(socket);
}

void TSockCtrl::SocketSecured(TSocketBase* socket)
{
    emit OnSecured(socket);
}

void TSockCtrl::SocketFailed(TSocketBase*, int code, const QString& message)
{
    emit OnSocketError(code, message);
}
