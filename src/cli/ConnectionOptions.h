#pragma once

#include "base/ServerEntry.h"

#include <QList>
#include <QString>

#include <optional>

struct TTask;
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
// A listed server's security, trust and login laid into the session values that no option
// has set.
void LayServerUnder(const TServerEntry& server, TConnectionOverride& session);
// The listed server (not the profile's own) that the kept tasks were queued for by
// "post --server NAME": found by the address each task names. Nothing when they name the
// profile's own server; a note to show when they name several others (then none is taken).
QString FindTasksServer(const QList<TTask>& tasks, const ProfileSettings& profile,
                        std::optional<TServerEntry>& server);
// A SHA-256 fingerprint as --trust-fingerprint takes it (64 hex digits, colons allowed), in
// the form certificates are compared in; an error text naming the option when it is none.
QString ReadFingerprint(const QString& text, std::optional<QString>& fingerprint);
