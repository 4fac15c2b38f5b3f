#pragma once

#include "net/SocketBase.h"

// A TCP connection: a non-blocking connect whose completion, readable data, write readiness
// and the peer's close are reported to the owning control.
class TStreamSocket : public TSocketBase
{
    Q_OBJECT

public:
    explicit TStreamSocket(TSockCtrl* owner);

    // Creates the socket and starts connecting to the remote address and port.
    void Connect();

    // Sends small writes at once instead of holding them for the peer's acknowledgement
    // (Nagle's algorithm). False when the system refuses.
    bool SetNoDelay(bool on);

    // Direct transfer. Send returns the bytes the system took (0 when it takes none now);
    // Recv returns the bytes read, 0 when the peer has closed, -1 when nothing is there.
    virtual qint64 Send(const char* data, qint64 size);
    virtual qint64 Recv(char* data, qint64 size);

protected:
    qint64 RawSend(const char* data, qint64 size);
    qint64 RawRecv(char* data, qint64 size);
    // The peer closed or reset the connection: close and tell the owner.
    void Disconnected();
    // Called once the connect has completed.
    virtual void Established();

    void HandleReadable() override;
    void HandleWritable() override;
};
