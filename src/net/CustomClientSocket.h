#pragma once

#include "net/SockCtrl.h"

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

protected:
    // The data socket class of this control.
    virtual TStreamSocket* CreateSocket();
};
