#include "cli/ConnectionOptions.h"

#include "base/ProfileSettings.h"
#include "base/ServerList.h"
#include "cli/CliRequest.h"
#include "net/SocksProxy.h"
#include "tasks/ConnectionOverride.h"
#include "tasks/Task.h"
#include "tasks/TaskFields.h"

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
    if (const TServerEntry* e = servers.Find(request.Value(QStringLiteral("server"))))
        LayServerUnder(*e, session);
}

void LayServerUnder(const TServerEntry& e, TConnectionOverride& session)
{
    if (!session.Security)
        session.Security = TlsModeFromText(e.Security);
    if (!session.TrustedAuthorities)
        session.TrustedAuthorities = e.TrustedAuthorities;
    if (!session.TrustedFingerprint)
        session.TrustedFingerprint = e.TrustedFingerprint;
    if (session.UserName)
        return;
    session.LoginRequired = e.LoginRequired;
    if (!e.LoginRequired)
        return;
    session.UserName = e.UserID;
    if (!e.Password.isEmpty())
        session.Password = e.Password;
}

QString FindTasksServer(const QList<TTask>& tasks, const ProfileSettings& profile,
                        std::optional<TServerEntry>& server)
{
    const QList<TServerEntry> entries = TServerList::FromProfile(profile).Entries();
    QStringList others;
    for (const TTask& task : tasks) {
        const QString address = task.Kind == tkUpload ? UploadFields(task).Server
                                : task.Kind == tkGroupDownload || task.Kind == tkNewGroups
                                    ? GroupTaskFields(task).Server
                                    : QString();
        // The profile's own server, or one no entry lists: the profile's values, as ever.
        if (address.compare(entries.first().Address(), Qt::CaseInsensitive) == 0 ||
            address.compare(profile.Host, Qt::CaseInsensitive) == 0)
            continue;
        for (const TServerEntry& e : entries.mid(1)) {
            if (e.Address().compare(address, Qt::CaseInsensitive) != 0)
                continue;
            if (!server)
                server = e;
            if (!others.contains(e.Name))
                others << e.Name;
        }
    }
    if (others.size() < 2)
        return QString();
    server.reset();
    return QStringLiteral("the kept tasks were queued for several servers (%1): they go with "
                          "the profile's security and login; --tls, --starttls and --user "
                          "change them for this run")
        .arg(others.join(QStringLiteral(", ")));
}
