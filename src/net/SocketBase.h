#pragma once

#include "net/SockAddress.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QSocketNotifier;
class TSockCtrl;

enum TSocketState
{
    ssClosed,
    ssConnecting,
    ssConnected,
    ssOpen, // datagram and listening sockets: created, not connected
};

// One socket: its handle (-1 when closed), state, remote address and port, owning control
// and last error. Readiness is watched on the event loop; what the socket learns is passed
// to its owning control, which raises the events. A failure while handling a notification
// closes the socket and is reported to the control instead of escaping into the event loop.
class TSocketBase : public QObject
{
    Q_OBJECT

public:
    explicit TSocketBase(TSockCtrl* owner);
    ~TSocketBase() override;

    int Handle() const { return m_handle; }
    TSocketState State() const { return m_state; }
    bool IsOpen() const { return m_handle >= 0; }
    // The address and port connected to.
    const TSockAddress& Remote() const { return m_remote; }
    quint16 RemotePort() const { return m_remote.Port(); }
    void SetRemote(const TSockAddress& remote) { m_remote = remote; }
    TSockCtrl* Owner() const { return m_owner; }
    int LastError() const { return m_lastError; }

    virtual void Close();

protected:
    // Takes over a freshly created non-blocking descriptor.
    void Adopt(int handle, TSocketState state);
    void WatchRead(bool on);
    void WatchWrite(bool on);
    // Handles the socket as readable on the next turn of the event loop.
    void QueueReadable();
    // Records the errno as the last error and throws it with the message format.
    [[noreturn]] void RaiseErrno(int error, int format);

    virtual void HandleReadable() {}
    virtual void HandleWritable() {}
    void SetState(TSocketState state) { m_state = state; }
    void SetLastError(int code) { m_lastError = code; }

private:
    void notified(bool readable);

    int m_handle = -1;
    TSocketState m_state = ssClosed;
    TSockAddress m_remote;
    TSockCtrl* m_owner;
    int m_lastError = 0;
    QSocketNotifier* m_readNotifier = nullptr;
    QSocketNotifier* m_writeNotifier = nullptr;
};
