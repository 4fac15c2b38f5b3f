#include "base/ServerEntry.h"

namespace {

constexpr int UsualPort = 119;
constexpr int UsualTlsPort = 563;

} // namespace

QString ServerRoleText(TServerRole role)
{
    switch (role) {
    case TServerRole::Check:
        return QStringLiteral("check");
    case TServerRole::Both:
        return QStringLiteral("both");
    case TServerRole::Post:
        break;
    }
    return QStringLiteral("post");
}

std::optional<TServerRole> ServerRoleFromText(const QString& text)
{
    for (TServerRole role : {TServerRole::Post, TServerRole::Check, TServerRole::Both})
        if (text.compare(ServerRoleText(role), Qt::CaseInsensitive) == 0)
            return role;
    return std::nullopt;
}

QString TServerEntry::Address() const
{
    if (Port <= 0)
        return Host;
    const QString host = Host.contains(u':') ? u'[' + Host + u']' : Host;
    return host + u':' + QString::number(Port);
}

int TServerEntry::EffectivePort() const
{
    if (Port > 0)
        return Port;
    return Security.compare(QLatin1String("tls"), Qt::CaseInsensitive) == 0 ? UsualTlsPort
                                                                            : UsualPort;
}

bool TServerEntry::SetAddress(const QString& address)
{
    QString host = address.trimmed();
    QString port;
    if (host.startsWith(u'[')) {
        const qsizetype close = host.indexOf(u']');
        if (close < 0)
            return false;
        const QString rest = host.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(u':'))
            return false;
        port = rest.mid(1);
        host = host.mid(1, close - 1);
    } else if (host.count(u':') == 1) {
        port = host.section(u':', 1);
        host = host.section(u':', 0, 0);
    }
    for (const QChar c : host)
        if (c.isSpace() || c.unicode() < 32)
            return false;
    int number = 0;
    if (!port.isEmpty()) {
        bool ok = false;
        number = port.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return false;
    }
    Host = host;
    Port = number;
    return true;
}

QString ServerNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("a server needs a name");
    for (const QChar c : name)
        if (c == u'/' || c.unicode() < 32 || c.unicode() == 127)
            return QStringLiteral("a server name cannot hold '/' or control characters");
    return QString();
}
