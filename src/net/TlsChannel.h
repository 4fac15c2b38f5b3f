#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

// How a connection is protected.
enum class TTlsMode
{
    None,     // plain NNTP
    Implicit, // TLS from the first byte (NNTPS, port 563)
    StartTls, // a plain connection upgraded with STARTTLS
};

// "tls" (or "implicit"), "starttls"; anything else is none.
TTlsMode TlsModeFromText(const QString& text);

struct TTlsConfig
{
    TTlsMode Mode = TTlsMode::None;
    // A PEM file of authorities trusted besides the system's; empty: the system's only.
    QString CaFile;
    // The SHA-256 fingerprint (hex, colons allowed) of the one certificate trusted for this
    // server whatever its authority; empty: none.
    QString TrustedFingerprint;
};

// What the user sees of a server's certificate.
struct TCertificateInfo
{
    QString Subject;
    QString Issuer;
    QString NotBefore;
    QString NotAfter;
    QString Sha256; // upper-case hex pairs joined by colons

    bool IsEmpty() const { return Sha256.isEmpty(); }
};

// One TLS session over a connected non-blocking descriptor (OpenSSL). It does not own the
// descriptor. Each step says whether it needs the descriptor readable or writable.
class TTlsChannel
{
public:
    enum class TWant
    {
        Nothing,
        Read,
        Write,
    };

    ~TTlsChannel();

    // Null with the reason when OpenSSL cannot set the session up (an unreadable CA file).
    static std::unique_ptr<TTlsChannel> Create(const TTlsConfig& config, const QString& peerName,
                                               int descriptor, QString* error);

    // One step of the handshake: true when it is done; false with Want set to go on, or with
    // an error text when it failed.
    bool Handshake(TWant* want, QString* error);
    // Empty when the peer's certificate is trusted for the peer name (by an authority, or by
    // its trusted fingerprint); otherwise the reason, in words, with the fingerprint.
    QString CheckPeer() const;
    const TCertificateInfo& PeerCertificate() const { return m_peer; }
    QString Description() const; // "TLSv1.3, TLS_AES_256_GCM_SHA384"

    // Bytes moved (> 0); 0 when the peer closed (Read) or nothing could go now (Write);
    // -1 when it would block (Read). A failure gives -2 and the error text.
    qint64 Read(char* data, qint64 size, TWant* want, QString* error);
    qint64 Write(const char* data, qint64 size, TWant* want, QString* error);
    // Decrypted bytes waiting inside the session.
    bool HasPending() const;
    // Tells the peer the session ends (best effort, never blocks).
    void Shutdown();

    static QString NormalizedFingerprint(const QString& text);

private:
    TTlsChannel() = default;
    QString lastError(int result) const;

    struct TState;
    std::unique_ptr<TState> m_state;
    TTlsConfig m_config;
    QString m_peerName;
    TCertificateInfo m_peer;
};
