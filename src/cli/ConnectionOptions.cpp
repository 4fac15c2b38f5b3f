#include "cli/ConnectionOptions.h"

#include "base/ProfileSettings.h"
#include "base/ServerList.h"
#include "cli/CliRequest.h"
#include "net/SocksProxy.h"
#include "tasks/ConnectionOverride.h"

#include <QRegularExpression>

QString ReadFingerprint(const QString& text, std::optional<QString>& fingerprint)
{
    static const QRegularExpression separators(QStringLiteral("[:\\s]"));
    static const QRegularExpression sha256(QStringLiteral("^[0-9A-Fa-f]{64}$"));
    QString hex = text;
    hex.remove(separators);
    if (!sha256.match(hex).hasMatch())
        return QStringLiteral("--trust-fingerprint: a SHA-256 fingerprint is 64 hex digits, "
                              "colons allowed; not '%1'")
            .arg(text);
    fingerprint = TTlsChannel::NormalizedFingerprint(hex);
    return QString();
}

namespace {

// The password may stay out of the command line (and the process list): the environment
// gives it when the option names a user without one.
QString readProxy(const QString& text, std::optional<TSocksProxy>& proxy)
{
    TSocksProxy value;
    QString error;
    if (!TSocksProxy::Parse(text, &value, &error))
        return QStringLiteral("--socks5: ") + error;
    if (!value.User.isEmpty() && !text.left(text.lastIndexOf('@')).contains(':'))
        value.Password = qEnvironmentVariable("QUORVEL_SOCKS5_PASSWORD");
    proxy = value;
    return QString();
}

} // namespace

QString ReadConnectionOptions(const TCliRequest& request, const ProfileSettings& profile,
                              TConnectionOverride& session)
{
    ReadServerOption(request, profile, session);
    const bool tls = request.Has(QStringLiteral("tls"));
    const bool startTls = request.Has(QStringLiteral("starttls"));
    if (tls && startTls)
        return QStringLiteral("--tls and --starttls exclude each other");
    if (tls)
        session.Security = TTlsMode::Implicit;
    if (startTls)
        session.Security = TTlsMode::StartTls;
    if (request.Has(QStringLiteral("trust-fingerprint"))) {
        const TTlsMode mode = session.Security.value_or(TlsModeFromText(profile.Security));
        if (mode == TTlsMode::None)
            return QStringLiteral("--trust-fingerprint needs an encrypted connection: give --tls "
                                  "or --starttls, or set the profile's Security");
        const QString error = ReadFingerprint(request.Value(QStringLiteral("trust-fingerprint")),
                                              session.TrustedFingerprint);
        if (!error.isEmpty())
            return error;
    }
    if (request.Has(QStringLiteral("user")))
        session.UserName = request.Value(QStringLiteral("user"));
    if (request.Has(QStringLiteral("socks5")))
        return readProxy(request.Value(QStringLiteral("socks5")), session.Socks);
    return QString();
}

void ReadServerOption(const TCliRequest& request, const ProfileSettings& profile,
                      TConnectionOverride& session)
{
    if (!request.Has(QStringLiteral("server")))
        return;
    const TServerList servers = TServerList::FromProfile(profile);
    const TServerEntry* e = servers.Find(request.Value(QStringLiteral("server")));
    if (!e)
        return;
    session.Security = TlsModeFromText(e->Security);
    session.TrustedAuthorities = e->TrustedAuthorities;
    session.TrustedFingerprint = e->TrustedFingerprint;
    session.LoginRequired = e->LoginRequired;
    if (!e->LoginRequired)
        return;
    session.UserName = e->UserID;
    if (!e->Password.isEmpty())
        session.Password = e->Password;
}
