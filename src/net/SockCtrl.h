#pragma once

#include "net/AsyncHostInfo.h"
#include "net/SockAddress.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <vector>

class TSocketBase;
class THostResolver;

// What OnInfo tells about.
enum TSockInfo
{
    siLookUp,
    siConnect,
    siClose,
    siRecv,
    siSend,
};

enum TAsyncOptionsType
{
    csoRead = 1,
    csoWrite = 2,
    csoOOB = 4,
};
using TAsyncOptions = int;

// The component that owns one data socket and its settings, runs asynchronous name lookups
// and turns what its socket reports into events.
class TSockCtrl : public QObject
{
    Q_OBJECT

public:
    explicit TSockCtrl(QObject* parent = nullptr);
    ~TSockCtrl() override;

    // Host name or numeric address (IPv4, or IPv6 with or without brackets).
    QString Address() const { return m_address; }
    void SetAddress(const QString& address);
    // Port number text or service name, looked up for Protocol; 0 when the lookup fails.
    QString Port() const { return m_portText; }
    void SetPort(const QString& port);
    quint16 PortNumber() const { return m_port; }
    QString Protocol() const { return m_protocol; }
    void SetProtocol(const QString& protocol) { m_protocol = protocol; }
    // Seconds a connect may take before OnTimeOut; 0 = no limit.
    int TimeOut() const { return m_timeOut; }
    void SetTimeOut(int seconds) { m_timeOut = seconds; }
    TAsyncOptions Options() const { return m_options; }
    void SetOptions(TAsyncOptions options) { m_options = options; }

    // The lookup service (not owned; nullptr = the system's).
    void SetResolver(THostResolver* resolver);
    // Starts an asynchronous lookup and returns its handle; OnAsyncComplete reports it.
    int StartHostLookup(const QString& name);
    const std::vector<TAsyncHostInfo>& PendingRequests() const { return m_pending; }

    void Close();
    bool IsOpen() const;
    TSocketBase* Socket() const { return m_socket; }

    // Reports from the data socket.
    void SocketConnected(TSocketBase* socket);
    void SocketReadable(TSocketBase* socket);
    void SocketWritable(TSocketBase* socket);
    void SocketDisconnected(TSocketBase* socket);
    void SocketFailed(TSocketBase* socket, int code, const QString& message);
    void SocketSecured(TSocketBase* socket);
    void SocketReachedProxy(TSocketBase* socket);

signals:
    void OnInfo(TSockInfo icode, TSocketBase* socket);
    void OnConnect(TSocketBase* socket);
    // The connection to the SOCKS5 proxy is up; the proxy is asked for the server next.
    void OnProxyConnected(TSocketBase* socket);
    // The connection now runs over TLS (after StartTls).
    void OnSecured(TSocketBase* socket);
    void OnTimeOut(TSocketBase* socket);
    void OnDisconnect(TSocketBase* socket);
    void OnRead(TSocketBase* socket);
    void OnWrite(TSocketBase* socket);
    void OnAsyncComplete(const TAsyncHostInfo& info);
    // A failure while a notification was handled; the socket is closed.
    void OnSocketError(int code, const QString& message);

protected:
    // Takes ownership of a new data socket (the previous one must be closed).
    void SetSocket(TSocketBase* socket);
    // The numeric address and port to connect to, looking a host name up if needed (the
    // first address the resolver gives).
    TSockAddress ResolveAddress() const;
    void StartConnectTimer();

private:
    void lookupFinished(int handle, int errorCode, const QStringList& addresses);
    void releaseSocket();

    QString m_address;
    QString m_portText;
    quint16 m_port = 0;
    QString m_protocol = "tcp";
    int m_timeOut = 0;
    TAsyncOptions m_options = csoRead | csoWrite;
    TSocketBase* m_socket = nullptr;
    QPointer<THostResolver> m_resolver;
    THostResolver* m_ownResolver = nullptr;
    std::vector<TAsyncHostInfo> m_pending;
    int m_connectTimer = 0;

protected:
    void timerEvent(QTimerEvent* event) override;
};
