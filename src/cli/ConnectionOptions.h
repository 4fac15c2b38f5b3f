#pragma once

#include <QString>

#include <optional>

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

// The profile's server that --server names (regardless of case): its security, trust and
// login go into the session values, under the explicit options. Nothing when the option
// names a host rather than a listed server.
void ReadServerOption(const TCliRequest& request, const ProfileSettings& profile,
                      TConnectionOverride& session);
// A SHA-256 fingerprint as --trust-fingerprint takes it (64 hex digits, colons allowed), in
// the form certificates are compared in; an error text naming the option when it is none.
QString ReadFingerprint(const QString& text, std::optional<QString>& fingerprint);
