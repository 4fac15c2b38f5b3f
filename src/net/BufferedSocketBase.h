#pragma once

#include "net/StreamSocket.h"

#include <QByteArray>

class QIODevice;

// A stream socket with a read buffer and a write buffer of fixed sizes. Received bytes wait
// in the read buffer until they are read; written bytes wait in the write buffer until a
// flush hands them to the system. Sizes and refusals are those of the program's buffered
// sockets: a line longer than the read buffer cannot be received.
class TBufferedSocketBase : public TStreamSocket
{
    Q_OBJECT

public:
    explicit TBufferedSocketBase(TSockCtrl* owner);
    ~TBufferedSocketBase() override;

    qint64 ReadBufferSize() const { return m_readBuffer.size(); }
    void SetReadBufferSize(qint64 size);
    qint64 WriteBufferSize() const { return m_writeBuffer.size(); }
    void SetWriteBufferSize(qint64 size);
    qint64 RecordSize() const { return m_recordSize; }
    void SetRecordSize(qint64 size);
    qint64 ReadHeld() const { return m_readHeld; }
    qint64 WriteHeld() const { return m_writeHeld; }
    qint64 WriteFree() const { return m_writeBuffer.size() - m_writeHeld; }

    qint64 Read(char* data, qint64 size);
    bool ReadBlock(char* data, qint64 size);
    bool ReadRecord(char* data) { return ReadBlock(data, m_recordSize); }
    qint64 Write(const char* data, qint64 size);
    bool WriteBlock(const char* data, qint64 size);
    bool WriteRecord(const char* data) { return WriteBlock(data, m_recordSize); }
    // Position just after the first occurrence of text at or after from, or -1.
    qint64 Find(const QByteArray& text, qint64 from = 0) const;
    // Takes the bytes up to and including the terminator; false when there is none yet.
    bool ReadLine(QByteArray& line, const QByteArray& terminator, bool keepTerminator);
    // Appends text and terminator when both fit, else writes nothing and returns false.
    virtual bool WriteLine(const QByteArray& text, const QByteArray& terminator);
    // Hands held write bytes to the system until it takes no more.
    void Flush();

    // Streams whose contents go out through the write buffer, or into which the next count
    // received bytes are stored. Owned streams are freed when done.
    void SendFile(QIODevice* stream, bool owned);
    void ReceiveFile(QIODevice* stream, qint64 count, bool owned);

    // Refused: bytes go through the buffers.
    qint64 Send(const char* data, qint64 size) override;
    qint64 Recv(char* data, qint64 size) override;

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
    // The held read bytes.
    const char* ReadData() const { return m_readBuffer.constData() + m_readHead; }
    // Removes n bytes from the front of the read / write buffer.
    void PullUpRead(qint64 n);
    void PullUpWrite(qint64 n);
    // Runs after bytes were added to the read buffer.
    virtual void Received() {}
    // Runs when the read buffer has no free space left.
    virtual void ReadBufferFull();

    void HandleReadable() override;
    void HandleWritable() override;
    void Established() override;

private:
    static void resize(QByteArray& buffer, qint64 held, qint64 head, qint64 size);
    void compactRead();
    void refillFromFile();
    void storeToFile();
    void writeBufferEmptied();
    void dropStream(QIODevice*& stream, bool owned);

    QByteArray m_readBuffer;
    QByteArray m_writeBuffer;
    qint64 m_readHead = 0;
    qint64 m_readHeld = 0;
    qint64 m_writeHeld = 0;
    qint64 m_recordSize = 16;
    QIODevice* m_sendStream = nullptr;
    bool m_sendOwned = false;
    QIODevice* m_receiveStream = nullptr;
    bool m_receiveOwned = false;
    qint64 m_receiveLeft = 0;
    bool m_readStalled = false;
};
