#include "net/SockAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <cstring>

namespace {

QString withoutBrackets(const QString& text)
{
    if (text.size() >= 2 && text.startsWith('[') && text.endsWith(']'))
        return text.mid(1, text.size() - 2);
    return text;
}

} // namespace

bool TSockAddress::Parse(const QString& text, quint16 port, TSockAddress* address)
{
    // A host name can be long; an address never is.
    if (text.isEmpty() || text.size() > 100)
        return false;
    const QByteArray bare = withoutBrackets(text).toLatin1();
    TSockAddress parsed;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&parsed.m_storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&parsed.m_storage);
    if (::inet_pton(AF_INET, bare.constData(), &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(port);
        parsed.m_length = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, bare.constData(), &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(port);
        parsed.m_length = sizeof(sockaddr_in6);
    } else {
        return false;
    }
    *address = parsed;
    return true;
}

quint16 TSockAddress::Port() const
{
    if (Family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_port);
    return ntohs(reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_port);
}

QString TSockAddress::Text() const
{
    char buffer[INET6_ADDRSTRLEN] = {};
    if (Family() == AF_INET6) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_addr, buffer,
                    sizeof buffer);
        return '[' + QString::fromLatin1(buffer) + "]:" + QString::number(Port());
    }
    if (Family() == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_addr, buffer,
                    sizeof buffer);
        return QString::fromLatin1(buffer) + ':' + QString::number(Port());
    }
    return QString();
}

TServerName TServerName::Split(const QString& server, quint16 defaultPort)
{
    TServerName name{server, defaultPort};
    auto portOf = [](QStringView digits, quint16* port) {
        bool ok = false;
        const uint value = digits.toUInt(&ok);
        if (!ok || value == 0 || value > 65535)
            return false;
        *port = quint16(value);
        return true;
    };
    if (server.startsWith('[')) {
        const qsizetype close = server.indexOf(']');
        if (close < 0)
            return name;
        const QStringView rest = QStringView(server).mid(close + 1);
        if (rest.isEmpty() || (rest.startsWith(':') && portOf(rest.mid(1), &name.Port)))
            name.Host = server.mid(1, close - 1);
        return name;
    }
    const qsizetype colon = server.lastIndexOf(':');
    // Two colons or more without brackets: a bare IPv6 address, no port.
    if (colon <= 0 || server.indexOf(':') != colon)
        return name;
    if (portOf(QStringView(server).mid(colon + 1), &name.Port))
        name.Host = server.left(colon);
    return name;
}

bool TServerName::IsNumeric() const
{
    TSockAddress unused;
    return TSockAddress::Parse(Host, 0, &unused);
}
