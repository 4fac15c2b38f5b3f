#pragma once

#include "net/CustomClientSocket.h"

class TBufferedSocketBase;

// A client control whose data socket is buffered: it holds the buffer sizes and the buffer
// events and copies them into each data socket it opens.
class TBufferedClientBase : public TCustomClientSocket
{
    Q_OBJECT

public:
    explicit TBufferedClientBase(QObject* parent = nullptr);

    qint64 ReadBufferSize() const { return m_readBufferSize; }
    void SetReadBufferSize(qint64 size) { m_readBufferSize = size; }
    qint64 WriteBufferSize() const { return m_writeBufferSize; }
    void SetWriteBufferSize(qint64 size) { m_writeBufferSize = size; }
    qint64 RecordSize() const { return m_recordSize; }
    void SetRecordSize(qint64 size) { m_recordSize = size; }

    // The open data socket, or nullptr.
    TBufferedSocketBase* BufferedSocket() const;

signals:
    void OnWriteBufferEmpty(TBufferedSocketBase* socket);
    void OnReadBufferEmpty(TBufferedSocketBase* socket);
    void OnWriteBufferFull(TBufferedSocketBase* socket);
    void OnReadBufferFull(TBufferedSocketBase* socket);
    void OnWriteBufferChange(TBufferedSocketBase* socket);
    void OnReadBufferChange(TBufferedSocketBase* socket);
    void OnFileSent(TBufferedSocketBase* socket);
    void OnFileReceived(TBufferedSocketBase* socket);

protected:
    // Copies the settings and events into a new data socket.
    virtual void SetUp(TBufferedSocketBase* socket);

private:
    qint64 m_readBufferSize = 1024;
    qint64 m_writeBufferSize = 1024;
    qint64 m_recordSize = 16;
};
