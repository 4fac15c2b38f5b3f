#pragma once

#include <QString>

#include <optional>

// What a server of a profile is used for: posting (in the order of its priority, lower
// first), checking that articles arrived, or both.
enum class TServerRole
{
    Post,
    Check,
    Both,
};

QString ServerRoleText(TServerRole role);
// "post", "check" or "both", regardless of case; std::nullopt for anything else.
std::optional<TServerRole> ServerRoleFromText(const QString& text);

// One news server of a profile: where it is, how it is reached and what it is used for.
// Passwords are plain text here; the store keeps them in the keyring or scrambled.
struct TServerEntry
{
    QString Name;
    QString Host;                              // the host name or address alone
    int Port = 0;                              // 0: the usual port of Security (119, 563 with TLS)
    QString Security = QStringLiteral("none"); // none, tls, starttls
    QString TrustedAuthorities;
    QString TrustedFingerprint;
    bool LoginRequired = false;
    QString UserID;
    QString Password;
    int Connections = 1;
    TServerRole Role = TServerRole::Post;
    int Priority = 0;  // among the post servers: lower first
    QString ProxyHost; // SOCKS5 proxy; empty: none
    int ProxyPort = 1080;
    QString ProxyUser;
    QString ProxyPassword;

    bool Posts() const { return Role != TServerRole::Check; }
    bool Checks() const { return Role != TServerRole::Post; }
    // "host" or "host:port" as the news client takes it ("[::1]:119" for an IPv6 address).
    QString Address() const;
    // The port connected to: Port, else the usual one of Security.
    int EffectivePort() const;
    // Sets Host and Port from an address as Address() writes it; false when the port is no
    // port.
    bool SetAddress(const QString& address);

    bool operator==(const TServerEntry&) const = default;
};

// Why name cannot name a server (empty, '/', control characters), empty when it can.
QString ServerNameProblem(const QString& name);
