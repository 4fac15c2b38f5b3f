#pragma once

#include "net/SockCtrl.h"
#include "net/SocksProxy.h"
#include "net/TlsChannel.h"

class TStreamSocket;

// A control that opens one outgoing TCP connection.
class TCustomClientSocket : public TSockCtrl
{
    Q_OBJECT

public:
    explicit TCustomClientSocket(QObject* parent = nullptr);

    // Refused with "Socket Already opened" while a connection is open or being made;
    // otherwise creates the data socket and starts connecting to Address and Port.
    void Open();
    // TLS for the next connections, checked against peerName (a host name or address).
    void SetTls(const TTlsConfig& config, const QString& peerName);
    // A SOCKS5 proxy for the next connections (Address and Port are then the proxy's), asked
    // to connect to host and port; an unset one connects directly.
    void SetSocks(const TSocksProxy& proxy, const QString& host, quint16 port);

protected:
    // The data socket class of this control.
    virtual TStreamSocket* CreateSocket();

private:
    TTlsConfig m_tls;
    QString m_peerName;
    TSocksProxy m_proxy;
    QString m_socksHost;
    quint16 m_socksPort = 0;
};
