#include "net/HostResolver.h"

#include "net/SockError.h"

#include <QHostAddress>
#include <QHostInfo>

THostResolver::THostResolver(QObject* parent) : QObject(parent) {}

int THostResolver::Start(const QString& name)
{
    return QHostInfo::lookupHost(name, this, [this](const QHostInfo& info) {
        QString address;
        const int code = ErrorCodeOf(info, &address);
        emit Finished(info.lookupId(), code, address);
    });
}

int THostResolver::ErrorCodeOf(const QHostInfo& info, QString* address)
{
    switch (info.error()) {
    case QHostInfo::NoError:
        break;
    case QHostInfo::HostNotFound:
        return SockCode::HostNotFound;
    default:
        return SockCode::NoRecovery;
    }
    for (const QHostAddress& a : info.addresses()) {
        if (a.protocol() == QAbstractSocket::IPv4Protocol) {
            *address = a.toString();
            return 0;
        }
    }
    // Only IPv6 (or nothing) for this name: the connection is IPv4.
    return SockCode::NoData;
}
