#include "net/BufferedClientBase.h"

#include "net/BufferedSocketBase.h"

TBufferedClientBase::TBufferedClientBase(QObject* parent) : TCustomClientSocket(parent) {}

TBufferedSocketBase* TBufferedClientBase::BufferedSocket() const
{
    return qobject_cast<TBufferedSocketBase*>(Socket());
}

void TBufferedClientBase::SetUp(TBufferedSocketBase* socket)
{
    socket->SetReadBufferSize(m_readBufferSize);
    socket->SetWriteBufferSize(m_writeBufferSize);
    socket->SetRecordSize(m_recordSize);
    using B = TBufferedSocketBase;
    using C = TBufferedClientBase;
    connect(socket, &B::OnWriteBufferEmpty, this, &C::OnWriteBufferEmpty);
    connect(socket, &B::OnReadBufferEmpty, this, &C::OnReadBufferEmpty);
    connect(socket, &B::OnWriteBufferFull, this, &C::OnWriteBufferFull);
    connect(socket, &B::OnReadBufferFull, this, &C::OnReadBufferFull);
    connect(socket, &B::OnWriteBufferChange, this, &C::OnWriteBufferChange);
    connect(socket, &B::OnReadBufferChange, this, &C::OnReadBufferChange);
    connect(socket, &B::OnFileSent, this, &C::OnFileSent);
    connect(socket, &B::OnFileReceived, this, &C::OnFileReceived);
}
