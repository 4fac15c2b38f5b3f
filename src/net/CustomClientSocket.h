#pragma once

#include "net/SockCtrl.h"
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

protected:
    // The data socket class of this control.
    virtual TStreamSocket* CreateSocket();

private:
    TTlsConfig m_tls;
    QString m_peerName;
};
