#include "net/HostResolver.h"

#include "net/SockError.h"

#include <QHostAddress>
#include <QHostInfo>

THostResolver::THostResolver(QObject* parent) : QObject(parent) {}

int THostResolver::Start(const QString& name)
{
    return QHostInfo::lookupHost(name, this, [this](const QHostInfo& info) {
        QStringList addresses;
        const int code = ErrorCodeOf(info, &addresses);
        emit Finished(info.lookupId(), code, addresses);
    });
}

int THostResolver::ErrorCodeOf(const QHostInfo& info, QStringList* addresses)
{
    switch (info.error()) {
    case QHostInfo::NoError:
        break;
    case QHostInfo::HostNotFound:
        return SockCode::HostNotFound;
    default:
        return SockCode::NoRecovery;
    }
    addresses->clear();
    for (const QHostAddress& a : info.addresses()) {
        const auto family = a.protocol();
        if (family == QAbstractSocket::IPv4Protocol || family == QAbstractSocket::IPv6Protocol)
            addresses->append(a.toString());
    }
    return addresses->isEmpty() ? SockCode::NoData : 0;
}
