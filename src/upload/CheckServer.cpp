#include "upload/CheckServer.h"

#include "base/ProfileSettings.h"
#include "base/ServerList.h"
#include "net/bcsNNTP.h"

TCheckServer CheckServer::PostServer(const ProfileSettings& s, const TConnectionOverride& session)
{
    TCheckServer server;
    server.Setup = {s.Host, session.Login({s.LoginRequired, s.UserID, s.Password}), s.Timeout,
                    s.PostTimeout};
    server.Tls =
        session.Tls({TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint});
    server.Setup.Proxy = session.Proxy(TSocksProxy::Of(s, s.Host));
    server.DelaySeconds = s.CheckDelay;
    server.Rounds = s.CheckRounds;
    return server;
}

namespace {

TCheckServer fromEntry(const TServerEntry& entry, const ProfileSettings& s)
{
    TCheckServer server;
    server.Setup = {entry.Address(),
                    {entry.LoginRequired, entry.UserID, entry.Password},
                    s.Timeout,
                    s.PostTimeout};
    server.Tls = {TlsModeFromText(entry.Security), entry.TrustedAuthorities,
                  entry.TrustedFingerprint};
    server.Setup.Proxy = TSocksProxy::Of(entry);
    server.DelaySeconds = s.CheckServerDelay;
    server.Rounds = s.CheckRounds;
    server.Separate = true;
    return server;
}

} // namespace

TCheckServer CheckServer::Of(const ProfileSettings& s, const TConnectionOverride& session,
                             const TCheckServerOption& named)
{
    const TServerList servers = TServerList::FromProfile(s);
    const TServerEntry* entry =
        named.Server.isEmpty() ? servers.CheckServer() : servers.Find(named.Server);
    // The posting server itself checks as the session reaches it.
    if (entry && entry->Address() == s.Host && named.Server.isEmpty())
        return PostServer(s, session);
    if (entry)
        return fromEntry(*entry, s);
    if (named.Server.isEmpty())
        return PostServer(s, session);
    // A host named for the run: the session's login and certificate are the posting
    // server's, not this one's.
    TServerEntry host;
    if (!host.SetAddress(named.Server))
        host.Host = named.Server; // the client names what it cannot reach
    host.Security =
        named.Mode == TTlsMode::Implicit ? QStringLiteral("tls") : QStringLiteral("none");
    host.TrustedAuthorities = s.TrustedAuthorities;
    return fromEntry(host, s);
}
void CheckServer::SetUp(TbcsNNTP& client, const TCheckServer& server)
{
    client.SetServer(server.Setup.Server);
    client.SetAuthenticate(server.Setup.Login.Required);
    client.SetUserName(server.Setup.Login.UserName);
    client.SetPassword(server.Setup.Login.Password);
    client.SetTimeout(server.Setup.Timeout);
    client.SetPostTimeout(server.Setup.PostTimeout);
    client.SetTls(server.Tls);
    client.SetSocksProxy(server.Setup.Proxy.value_or(TSocksProxy()));
}
