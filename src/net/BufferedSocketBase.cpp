#include "net/BufferedSocketBase.h"

#include "net/BufferedSocketException.h"
#include "net/SockCtrl.h"
#include "net/SockError.h"

#include <QIODevice>
#include <QPointer>

#include <cstring>

namespace {
const char* const SizeLoses = "Cannot change buffer size - data will be lost.";
const char* const BlockTooLarge = "Block size is larger than buffer size.";
// Received bytes handled per readiness report, so one busy connection cannot starve the loop.
constexpr qint64 ReceiveSlice = 1 << 20;
} // namespace

TBufferedSocketBase::TBufferedSocketBase(TSockCtrl* owner)
    : TStreamSocket(owner), m_readBuffer(1024, '\0'), m_writeBuffer(1024, '\0')
{
}

TBufferedSocketBase::~TBufferedSocketBase()
{
    dropStream(m_sendStream, m_sendOwned);
    dropStream(m_receiveStream, m_receiveOwned);
}

void TBufferedSocketBase::resize(QByteArray& buffer, qint64 held, qint64 head, qint64 size)
{
    if (size <= 0 || size < held)
        throw EBufferedSocketException(SizeLoses);
    QByteArray block(size, '\0');
    std::memcpy(block.data(), buffer.constData() + head, size_t(held));
    buffer = block;
}

void TBufferedSocketBase::SetReadBufferSize(qint64 size)
{
    resize(m_readBuffer, m_readHeld, m_readHead, size);
    m_readHead = 0;
}

void TBufferedSocketBase::SetWriteBufferSize(qint64 size)
{
    resize(m_writeBuffer, m_writeHeld, 0, size);
}

void TBufferedSocketBase::SetRecordSize(qint64 size)
{
    if (size > m_readBuffer.size() || size > m_writeBuffer.size())
        throw EBufferedSocketException(SizeLoses);
    m_recordSize = size;
}

void TBufferedSocketBase::PullUpRead(qint64 n)
{
    if (n > m_readBuffer.size())
        throw EBufferedSocketException(
            "Cannot pull up buffer - amount to pull up larger than total buffer.");
    n = qMin(n, m_readHeld);
    m_readHead += n;
    m_readHeld -= n;
    if (m_readHeld > 0)
        return;
    m_readHead = 0;
    if (m_readStalled) {
        m_readStalled = false;
        WatchRead(true);
        if (HasPendingInput())
            QueueReadable();
    }
    emit OnReadBufferEmpty(this);
}

void TBufferedSocketBase::PullUpWrite(qint64 n)
{
    if (n > m_writeBuffer.size())
        throw EBufferedSocketException(
            "Cannot pull up buffer - amount to pull up larger than total buffer.");
    n = qMin(n, m_writeHeld);
    std::memmove(m_writeBuffer.data(), m_writeBuffer.constData() + n, size_t(m_writeHeld - n));
    m_writeHeld -= n;
    if (m_writeHeld == 0)
        writeBufferEmptied();
}

qint64 TBufferedSocketBase::Read(char* data, qint64 size)
{
    const qint64 n = qMax<qint64>(0, qMin(size, m_readHeld));
    std::memcpy(data, ReadData(), size_t(n));
    if (n > 0)
        PullUpRead(n);
    return n;
}

bool TBufferedSocketBase::ReadBlock(char* data, qint64 size)
{
    if (size == 0)
        throw EBufferedSocketException("Cannot read block/record - size is zero.");
    if (size > m_readBuffer.size())
        throw EBufferedSocketException(BlockTooLarge);
    if (m_readHeld < size)
        return false;
    Read(data, size);
    return true;
}

qint64 TBufferedSocketBase::Write(const char* data, qint64 size)
{
    if (size > m_writeBuffer.size())
        throw EBufferedSocketException("Write buffer full, user did not flush");
    const qint64 n = qMin(size, WriteFree());
    std::memcpy(m_writeBuffer.data() + m_writeHeld, data, size_t(n));
    m_writeHeld += n;
    if (n > 0)
        emit OnWriteBufferChange(this);
    if (m_writeHeld == m_writeBuffer.size())
        emit OnWriteBufferFull(this);
    return n;
}

bool TBufferedSocketBase::WriteBlock(const char* data, qint64 size)
{
    if (size > WriteFree())
        throw EBufferedSocketException(BlockTooLarge);
    Write(data, size);
    return true;
}

qint64 TBufferedSocketBase::Find(const QByteArray& text, qint64 from) const
{
    if (from < 0 || from >= m_readHeld)
        return -1;
    const QByteArrayView held(ReadData(), m_readHeld);
    const qsizetype at = held.indexOf(text, from);
    return at < 0 ? -1 : at + text.size();
}

bool TBufferedSocketBase::ReadLine(QByteArray& line, const QByteArray& terminator,
                                   bool keepTerminator)
{
    const qint64 end = Find(terminator);
    if (end < 0)
        return false;
    line = QByteArray(ReadData(), keepTerminator ? end : end - terminator.size());
    PullUpRead(end);
    return true;
}

bool TBufferedSocketBase::WriteLine(const QByteArray& text, const QByteArray& terminator)
{
    if (WriteFree() < text.size() + terminator.size())
        return false;
    Write(text.constData(), text.size());
    Write(terminator.constData(), terminator.size());
    return true;
}

void TBufferedSocketBase::Flush()
{
    QPointer<TBufferedSocketBase> self(this);
    while (m_writeHeld > 0 && IsOpen()) {
        qint64 sent = 0;
        try {
            sent = RawSend(m_writeBuffer.constData(), m_writeHeld);
        } catch (const ESockError& e) {
            if (e.Code() != SockCode::ConnReset)
                throw;
            Disconnected();
            return;
        }
        if (sent == 0)
            break;
        if (Owner())
            emit Owner()->OnInfo(siSend, this);
        PullUpWrite(sent);
        if (!self || !IsOpen())
            return;
        emit OnWriteBufferChange(this);
        refillFromFile();
    }
    if (IsOpen())
        WatchWrite(m_writeHeld > 0);
}

void TBufferedSocketBase::writeBufferEmptied()
{
    if (m_sendStream && m_sendStream->atEnd()) {
        dropStream(m_sendStream, m_sendOwned);
        emit OnFileSent(this);
    }
    emit OnWriteBufferEmpty(this);
}

void TBufferedSocketBase::SendFile(QIODevice* stream, bool owned)
{
    dropStream(m_sendStream, m_sendOwned);
    m_sendStream = stream;
    m_sendOwned = owned;
    refillFromFile();
    Flush();
}

void TBufferedSocketBase::refillFromFile()
{
    if (!m_sendStream || WriteFree() == 0)
        return;
    const qint64 n = m_sendStream->read(m_writeBuffer.data() + m_writeHeld, WriteFree());
    if (n > 0)
        m_writeHeld += n;
    else if (m_writeHeld == 0)
        writeBufferEmptied();
}

void TBufferedSocketBase::ReceiveFile(QIODevice* stream, qint64 count, bool owned)
{
    dropStream(m_receiveStream, m_receiveOwned);
    m_receiveStream = stream;
    m_receiveOwned = owned;
    m_receiveLeft = count;
    storeToFile();
}

void TBufferedSocketBase::storeToFile()
{
    if (!m_receiveStream || m_readHeld == 0)
        return;
    const qint64 n = qMin(m_readHeld, m_receiveLeft);
    m_receiveStream->write(ReadData(), n);
    m_receiveLeft -= n;
    PullUpRead(n);
    if (m_receiveLeft == 0) {
        dropStream(m_receiveStream, m_receiveOwned);
        emit OnFileReceived(this);
    }
}

void TBufferedSocketBase::dropStream(QIODevice*& stream, bool owned)
{
    if (stream && owned)
        delete stream;
    stream = nullptr;
}

qint64 TBufferedSocketBase::Send(const char*, qint64)
{
    throw EBufferedSocketException("Recv or Send cannot be called on a buffered socket.");
}

qint64 TBufferedSocketBase::Recv(char*, qint64)
{
    throw EBufferedSocketException("Recv or Send cannot be called on a buffered socket.");
}

void TBufferedSocketBase::compactRead()
{
    if (m_readHead == 0)
        return;
    std::memmove(m_readBuffer.data(), m_readBuffer.constData() + m_readHead, size_t(m_readHeld));
    m_readHead = 0;
}

void TBufferedSocketBase::ReadBufferFull()
{
    emit OnReadBufferFull(this);
    // Nobody made room: wait until a read does, instead of spinning on the ready socket.
    if (m_readHeld == m_readBuffer.size()) {
        m_readStalled = true;
        WatchRead(false);
    }
}

void TBufferedSocketBase::HandleReadable()
{
    if (Handshaking()) {
        HandshakeStep();
        return;
    }
    QPointer<TBufferedSocketBase> self(this);
    qint64 taken = 0;
    while (IsOpen() && taken < ReceiveSlice) {
        if (m_readHeld == m_readBuffer.size()) {
            ReadBufferFull();
            if (!self || !IsOpen() || m_readHeld == m_readBuffer.size())
                return;
        }
        compactRead();
        qint64 n = 0;
        try {
            n = RawRecv(m_readBuffer.data() + m_readHeld, m_readBuffer.size() - m_readHeld);
        } catch (const ESockError& e) {
            if (e.Code() != SockCode::ConnReset)
                throw;
            Disconnected();
            return;
        }
        if (n < 0)
            return;
        if (n == 0) {
            Disconnected();
            return;
        }
        taken += n;
        m_readHeld += n;
        if (Owner())
            emit Owner()->OnInfo(siRecv, this);
        emit OnReadBufferChange(this);
        if (!self || !IsOpen())
            return;
        storeToFile();
        Received();
        if (!self)
            return;
    }
    // What TLS has decrypted already raises no readiness report of its own.
    if (IsOpen() && taken >= ReceiveSlice && HasPendingInput())
        QueueReadable();
}

void TBufferedSocketBase::HandleWritable()
{
    if (State() == ssConnecting || Handshaking()) {
        TStreamSocket::HandleWritable();
        return;
    }
    Flush();
    if (IsOpen() && Owner())
        Owner()->SocketWritable(this);
}

void TBufferedSocketBase::Established()
{
    TStreamSocket::Established();
    // Bytes written before the connection was up go out now.
    if (IsOpen() && m_writeHeld > 0)
        Flush();
}
