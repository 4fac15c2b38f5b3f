#pragma once

#include <QString>
#include <QtGlobal>

struct ProfileSettings;
struct TServerEntry;

// A SOCKS5 proxy the news connection goes through: where it listens, and the login it wants
// (RFC 1929), if any. Plain data: the profile's server list or the session hands it in.
struct TSocksProxy
{
    QString Host;
    quint16 Port = 0;
    QString User;
    QString Password;

    bool IsSet() const { return !Host.isEmpty() && Port != 0; }
    // "host:port", an IPv6 address in brackets.
    QString Text() const;
    // Reads "[USER[:PASSWORD]@]HOST:PORT" (HOST may be a bracketed IPv6 address); false with
    // the reason when the text is none.
    static bool Parse(const QString& text, TSocksProxy* proxy, QString* error);
    // The proxy a server of the profile is reached through; unset for none.
    static TSocksProxy Of(const TServerEntry& server);
    // The proxy of the profile's server at address (host[:port]); unset for none, or for an
    // address none of its servers has.
    static TSocksProxy Of(const ProfileSettings& settings, const QString& address);

    bool operator==(const TSocksProxy&) const = default;
};
