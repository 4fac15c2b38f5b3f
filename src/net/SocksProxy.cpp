#include "net/SocksProxy.h"

#include "base/ProfileSettings.h"
#include "base/ServerList.h"

TSocksProxy TSocksProxy::Of(const TServerEntry& server)
{
    if (server.ProxyHost.isEmpty())
        return {};
    return {server.ProxyHost, quint16(server.ProxyPort), server.ProxyUser, server.ProxyPassword};
}

TSocksProxy TSocksProxy::Of(const ProfileSettings& settings, const QString& address)
{
    const TServerList servers = TServerList::FromProfile(settings);
    for (const TServerEntry& e : servers.Entries())
        if (e.Address().compare(address, Qt::CaseInsensitive) == 0)
            return Of(e);
    return {};
}

QString TSocksProxy::Text() const
{
    const QString host = Host.contains(':') ? '[' + Host + ']' : Host;
    return host + ':' + QString::number(Port);
}

bool TSocksProxy::Parse(const QString& text, TSocksProxy* proxy, QString* error)
{
    TSocksProxy result;
    QString where = text;
    if (const qsizetype at = text.lastIndexOf('@'); at >= 0) {
        const QString login = text.left(at);
        where = text.mid(at + 1);
        const qsizetype colon = login.indexOf(':');
        result.User = colon < 0 ? login : login.left(colon);
        if (colon >= 0)
            result.Password = login.mid(colon + 1);
        if (result.User.isEmpty()) {
            *error = QStringLiteral("no user name before the @ in %1").arg(where);
            return false;
        }
    }
    qsizetype colon = where.lastIndexOf(':');
    if (where.startsWith('[')) {
        const qsizetype close = where.indexOf(']');
        result.Host = close < 0 ? QString() : where.mid(1, close - 1);
        colon = close < 0 || where.mid(close + 1, 1) != ":" ? -1 : close + 1;
    } else if (colon >= 0) {
        result.Host = where.left(colon);
        if (result.Host.contains(':')) {
            *error = QStringLiteral("write an IPv6 proxy address in brackets: [%1]:PORT")
                         .arg(result.Host);
            return false;
        }
    }
    bool numeric = false;
    const uint port = colon < 0 ? 0 : where.mid(colon + 1).toUInt(&numeric);
    if (result.Host.isEmpty() || !numeric || port == 0 || port > 65535) {
        *error = QStringLiteral("%1 is no proxy address: HOST:PORT expected").arg(where);
        return false;
    }
    result.Port = quint16(port);
    *proxy = result;
    return true;
}
