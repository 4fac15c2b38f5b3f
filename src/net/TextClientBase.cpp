#include "net/TextClientBase.h"

#include "net/LineSocket.h"

TTextClientBase::TTextClientBase(QObject* parent) : TBufferedClientBase(parent) {}

TLineSocket* TTextClientBase::LineSocket() const
{
    return qobject_cast<TLineSocket*>(Socket());
}

TStreamSocket* TTextClientBase::CreateSocket()
{
    auto* socket = new TLineSocket(this);
    SetUp(socket);
    socket->SetLineType(m_lineType);
    socket->SetLineOptions(m_lineOptions);
    connect(socket, &TLineSocketBase::OnLineReceived, this, &TTextClientBase::OnLineReceived);
    return socket;
}
