#include "net/LineSocketBase.h"

#include "net/BufferedSocketException.h"

#include <QPointer>

TLineSocketBase::TLineSocketBase(TSockCtrl* owner) : TBufferedSocketBase(owner) {}

void TLineSocketBase::SetLineType(TLineSocketType type)
{
    m_type = type;
    m_terminator = LineTerminator(type);
}

bool TLineSocketBase::WriteLine(const QByteArray& text, const QByteArray& terminator)
{
    if (!TBufferedSocketBase::WriteLine(text, terminator))
        return false;
    if (m_options & lsoAutoFlushAfterWrite)
        Flush();
    return true;
}

bool TLineSocketBase::ReadLine(QByteArray& line)
{
    return TBufferedSocketBase::ReadLine(line, m_terminator, m_options & lsoReturnLineChars);
}

void TLineSocketBase::Received()
{
    if (m_options & lsoLineReceivedEvents)
        splitLines();
}

void TLineSocketBase::splitLines()
{
    // A handler may close the socket (and have it freed later) or change the options.
    QPointer<TLineSocketBase> self(this);
    QByteArray line;
    // No line is handed out while a TLS handshake runs: bytes held from before it are not
    // the secured session's.
    while (self && IsOpen() && !Handshaking() && (m_options & lsoLineReceivedEvents) &&
           ReadLine(line))
        emit OnLineReceived(this, line, true);
}

void TLineSocketBase::ReadBufferFull()
{
    QPointer<TLineSocketBase> self(this);
    splitLines();
    if (!self || !IsOpen() || ReadHeld() < ReadBufferSize())
        return;
    emit OnReadBufferFull(this);
    if (self && IsOpen() && ReadHeld() == ReadBufferSize())
        throw EBufferedSocketException(
            QStringLiteral("Read buffer full, user did not flush: a line received is longer "
                           "than %1 bytes")
                .arg(ReadBufferSize()));
}
