#pragma once

#include "net/SocksProxy.h"
#include "net/TlsChannel.h"

#include <QString>
#include <optional>

// The news server login a task carries.
struct TClientLogin
{
    bool Required = false;
    QString UserName;
    QString Password;
};

// How the news client reaches the server for one task: where, as whom, how long it waits.
struct TClientSetup
{
    QString Server;
    TClientLogin Login;
    int Timeout = 0;
    int PostTimeout = 0;
    // The SOCKS5 proxy this server is reached through, if any.
    std::optional<TSocksProxy> Proxy = std::nullopt;
};

// Connection values given for one session only (the terminal's --user, --tls, --starttls,
// --trust-fingerprint, --socks5, and those of the profile's server --server names). The runner
// lays them over the profile's values and the task's login each time it sets up the news client;
// they are never written to the profile, the settings file or a task.
struct TConnectionOverride
{
    std::optional<QString> UserName;
    // The password for UserName once it was asked for; without it the task's password is
    // used when the task names the same user.
    std::optional<QString> Password;
    std::optional<TTlsMode> Security;
    std::optional<QString> TrustedFingerprint;
    std::optional<QString> TrustedAuthorities;
    // False: no login whatever the task says (a server named for the run that takes none).
    std::optional<bool> LoginRequired;
    std::optional<TSocksProxy> Socks;

    TTlsConfig Tls(TTlsConfig profile) const;
    // The session's proxy, else the server's; unset for none.
    TSocksProxy Proxy(const std::optional<TSocksProxy>& server) const;
    TClientLogin Login(TClientLogin task) const;
};
