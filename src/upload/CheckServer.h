#pragma once

#include "net/TlsChannel.h"
#include "tasks/ConnectionOverride.h"

#include <QString>

struct ProfileSettings;
class TbcsNNTP;

// Where the articles of a batch are asked for after the post, and when: a server other than
// the one that took them (an article a server accepted may never reach the others), or the
// posting server when the profile names none.
struct TCheckServer
{
    TClientSetup Setup;
    TTlsConfig Tls;
    int DelaySeconds = 0;  // asked for no sooner than this after the post
    int Rounds = 1;        // asked again, as often, for what was not found
    bool Separate = false; // another server than the one posted to
};

// A server named for one run to check on: a server of the profile by its name, or host[:port]
// (TLS or not); empty: the profile's check server.
struct TCheckServerOption
{
    QString Server;
    TTlsMode Mode = TTlsMode::None;
};

namespace CheckServer {

// The profile's posting server as the session reaches it (its --user, --tls and the rest).
TCheckServer PostServer(const ProfileSettings& settings, const TConnectionOverride& session);
// The server to check on: one named for the run, else the profile's check server (TServerList),
// with the profile's CheckServerDelay, else the posting server with its CheckDelay; the
// profile's CheckRounds.
TCheckServer Of(const ProfileSettings& settings, const TConnectionOverride& session,
                const TCheckServerOption& named = {});
// Sets client up for server: its address, login, time-outs and protection.
void SetUp(TbcsNNTP& client, const TCheckServer& server);

} // namespace CheckServer
