#include "net/CustomClientSocket.h"

#include "net/SockError.h"
#include "net/StreamSocket.h"

TCustomClientSocket::TCustomClientSocket(QObject* parent) : TSockCtrl(parent) {}

TStreamSocket* TCustomClientSocket::CreateSocket()
{
    return new TStreamSocket(this);
}

void TCustomClientSocket::Open()
{
    if (Socket() && Socket()->IsOpen())
        throw ESockError::Make(0, ESockError::Format(SockFormat::AlreadyOpened));
    const TSockAddress address = ResolveAddress();
    TStreamSocket* socket = CreateSocket();
    if (!socket)
        throw ESockError::Make(0, ESockError::Format(SockFormat::NoSocketClass));
    SetSocket(socket);
    socket->SetRemote(address);
    socket->Connect();
    StartConnectTimer();
}
