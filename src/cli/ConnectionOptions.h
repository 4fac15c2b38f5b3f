#pragma once

#include <QString>

struct ProfileSettings;
struct TCliRequest;
struct TConnectionOverride;

// The options of the commands that connect which hold for this run only, on top of the
// profile: --user NAME, --tls, --starttls, --trust-fingerprint SHA256,
// --socks5 [USER[:PASSWORD]@]HOST:PORT. They go into the
// runner's session values, never into the profile. Returns what is wrong with them, or
// nothing.
QString ReadConnectionOptions(const TCliRequest& request, const ProfileSettings& profile,
                              TConnectionOverride& session);
