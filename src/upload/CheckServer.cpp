#include "upload/CheckServer.h"

#include "base/ProfileSettings.h"
#include "net/bcsNNTP.h"

TCheckServer CheckServer::PostServer(const ProfileSettings& s, const TConnectionOverride& session)
{
    TCheckServer server;
    server.Setup = {s.Host, session.Login({s.LoginRequired, s.UserID, s.Password}), s.Timeout,
                    s.PostTimeout};
    server.Tls =
        session.Tls({TlsModeFromText(s.Security), s.TrustedAuthorities, s.TrustedFingerprint});
    server.DelaySeconds = s.CheckDelay;
    server.Rounds = s.CheckRounds;
    return server;
}

TCheckServer CheckServer::Of(const ProfileSettings& s, const TConnectionOverride& session,
                             const TCheckServerOption& named)
{
    TCheckServer server = PostServer(s, session);
    if (named.Server.isEmpty())
        return server;
    // The session's login and certificate are the posting server's, not this one's.
    server.Setup.Server = named.Server;
    server.Setup.Login = {};
    server.Tls = {named.Mode, s.TrustedAuthorities, QString()};
    server.DelaySeconds = DefaultDelaySeconds;
    server.Separate = true;
    return server;
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
}
