#include "net/SocksHandshake.h"

#include <arpa/inet.h>

#include <iterator>
#include <utility>

namespace {
constexpr char Version = 5;
constexpr char LoginVersion = 1;
constexpr unsigned char NoLogin = 0;
constexpr unsigned char UserPassword = 2;
constexpr unsigned char NoneAcceptable = 0xFF;
constexpr char Connect = 1;
constexpr char AtypIPv4 = 1;
constexpr char AtypName = 3;
constexpr char AtypIPv6 = 4;

QByteArray withLength(const QByteArray& field)
{
    return char(field.size()) + field;
}
} // namespace

TSocksHandshake::TSocksHandshake(const TSocksProxy& proxy, const QString& host, quint16 port)
    : m_proxy(proxy), m_host(host), m_port(port)
{
}

QString TSocksHandshake::ReplyText(int code)
{
    static const char* const texts[] = {
        "succeeded",
        "general SOCKS server failure",
        "connection not allowed by ruleset",
        "network unreachable",
        "host unreachable",
        "connection refused",
        "TTL expired",
        "command not supported",
        "address type not supported",
    };
    if (code >= 0 && code < int(std::size(texts)))
        return QString::fromLatin1(texts[code]);
    return QStringLiteral("unknown reply");
}

QString TSocksHandshake::target() const
{
    const QString host = m_host.contains(':') ? '[' + m_host + ']' : m_host;
    return host + ':' + QString::number(m_port);
}

QByteArray TSocksHandshake::fail(const QString& what)
{
    m_step = TStep::Failed;
    m_error = QStringLiteral("The SOCKS5 proxy %1 %2").arg(m_proxy.Text(), what);
    return QByteArray();
}

QByteArray TSocksHandshake::Start()
{
    m_step = TStep::Method;
    m_held.clear();
    QByteArray offer;
    offer += Version;
    offer += char(m_proxy.User.isEmpty() ? 1 : 2);
    offer += char(NoLogin);
    if (!m_proxy.User.isEmpty())
        offer += char(UserPassword);
    return offer;
}

qint64 TSocksHandshake::Wanted() const
{
    switch (m_step) {
    case TStep::Method:
    case TStep::Login:
        return 2 - m_held.size();
    case TStep::Reply:
        return m_replyLength - m_held.size();
    default:
        return 0;
    }
}

QByteArray TSocksHandshake::Take(const char* data, qint64 size)
{
    m_held.append(data, qMin(size, Wanted()));
    if (Wanted() > 0 && m_step != TStep::Reply)
        return QByteArray();
    switch (m_step) {
    case TStep::Method:
        return takeMethod();
    case TStep::Login:
        return takeLogin();
    case TStep::Reply:
        takeReply();
        return QByteArray();
    default:
        return QByteArray();
    }
}

QByteArray TSocksHandshake::takeMethod()
{
    const QByteArray reply = std::exchange(m_held, QByteArray());
    if (reply[0] != Version)
        return fail(QStringLiteral("answered as no SOCKS5 proxy does (version byte %1)")
                        .arg(uchar(reply[0])));
    const uchar method = uchar(reply[1]);
    if (method == NoLogin)
        return connectRequest();
    if (method == UserPassword && !m_proxy.User.isEmpty()) {
        const QByteArray user = m_proxy.User.toUtf8();
        const QByteArray password = m_proxy.Password.toUtf8();
        if (user.size() > 255 || password.size() > 255)
            return fail(QStringLiteral("cannot take a user name or password longer than 255 "
                                       "bytes"));
        m_step = TStep::Login;
        return LoginVersion + withLength(user) + withLength(password);
    }
    if (method == NoneAcceptable || method == UserPassword)
        return fail(m_proxy.User.isEmpty()
                        ? QStringLiteral("offers none of the login methods we speak (it wants a "
                                         "user name and password)")
                        : QStringLiteral("offers none of the login methods we speak"));
    return fail(QStringLiteral("chose login method %1, which we did not offer").arg(method));
}

QByteArray TSocksHandshake::takeLogin()
{
    const QByteArray reply = std::exchange(m_held, QByteArray());
    // RFC 1929 says version 1; some proxies answer with the SOCKS version.
    if (reply[0] != LoginVersion && reply[0] != Version)
        return fail(QStringLiteral("answered the login as no SOCKS5 proxy does (version byte "
                                   "%1)")
                        .arg(uchar(reply[0])));
    if (reply[1] != 0)
        return fail(QStringLiteral("refused the login for %1 (status %2)")
                        .arg(m_proxy.User)
                        .arg(uchar(reply[1])));
    return connectRequest();
}

QByteArray TSocksHandshake::connectRequest()
{
    QByteArray request;
    request += Version;
    request += Connect;
    request += char(0);
    const QByteArray host = m_host.toUtf8();
    unsigned char address[16];
    if (::inet_pton(AF_INET, host.constData(), address) == 1)
        request += AtypIPv4 + QByteArray(reinterpret_cast<char*>(address), 4);
    else if (::inet_pton(AF_INET6, host.constData(), address) == 1)
        request += AtypIPv6 + QByteArray(reinterpret_cast<char*>(address), 16);
    else if (host.isEmpty() || host.size() > 255)
        return fail(QStringLiteral("cannot be given the host name %1").arg(m_host));
    else
        request += AtypName + withLength(host);
    request += char(m_port >> 8);
    request += char(m_port & 0xFF);
    m_step = TStep::Reply;
    m_replyLength = 4;
    return request;
}

void TSocksHandshake::takeReply()
{
    // The verdict is in the first two bytes: fail on them without waiting for the rest.
    if (!m_held.isEmpty() && m_held[0] != Version) {
        fail(QStringLiteral("answered the connect as no SOCKS5 proxy does (version byte %1)")
                 .arg(uchar(m_held[0])));
        return;
    }
    if (m_held.size() >= 2 && m_held[1] != 0) {
        const int code = uchar(m_held[1]);
        fail(QStringLiteral("could not connect to %1: %2 (reply %3)")
                 .arg(target(), ReplyText(code))
                 .arg(code));
        return;
    }
    if (m_held.size() == 4) {
        switch (m_held[3]) {
        case AtypIPv4:
            m_replyLength = 4 + 4 + 2;
            break;
        case AtypIPv6:
            m_replyLength = 4 + 16 + 2;
            break;
        case AtypName:
            m_replyLength = 5; // the name's length byte comes next
            break;
        default:
            fail(QStringLiteral("answered the connect with an unknown address type %1")
                     .arg(uchar(m_held[3])));
            return;
        }
    } else if (m_held.size() == 5 && m_held[3] == AtypName) {
        m_replyLength = 5 + uchar(m_held[4]) + 2;
    }
    if (m_held.size() == m_replyLength && m_replyLength > 5)
        m_step = TStep::Done;
}

QString TSocksHandshake::ClosedText() const
{
    switch (m_step) {
    case TStep::Method:
        return QStringLiteral("The SOCKS5 proxy %1 closed the connection before it chose a "
                              "login method")
            .arg(m_proxy.Text());
    case TStep::Login:
        return QStringLiteral("The SOCKS5 proxy %1 closed the connection during the login for %2")
            .arg(m_proxy.Text(), m_proxy.User);
    default:
        return QStringLiteral("The SOCKS5 proxy %1 closed the connection before it connected to "
                              "%2")
            .arg(m_proxy.Text(), target());
    }
}
