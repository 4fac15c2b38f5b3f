#pragma once

#include "net/SocketBase.h"
#include "net/SocksHandshake.h"
#include "net/TlsChannel.h"

#include <memory>

// A TCP connection: a non-blocking connect whose completion, readable data, write readiness
// and the peer's close are reported to the owning control.
class TStreamSocket : public TSocketBase
{
    Q_OBJECT

public:
    explicit TStreamSocket(TSockCtrl* owner);
    ~TStreamSocket() override;

    // TLS for this connection: with Implicit the handshake follows the connect and the
    // connection counts as made only when it is done and the certificate is trusted for
    // peerName; with StartTls nothing happens until StartTls.
    void SetTls(const TTlsConfig& config, const QString& peerName);
    // Starts the handshake on the connected socket (after the server agreed to STARTTLS);
    // the owner hears SocketSecured when it is done.
    void StartTls();
    // Goes through a SOCKS5 proxy: the remote address is the proxy's, and once connected to
    // it the socket asks it to connect to host and port. Only then does the TLS handshake
    // (for Implicit) start or the connection count as made. An unset proxy connects directly.
    void SetSocks(const TSocksProxy& proxy, const QString& host, quint16 port);
    bool IsSecured() const { return m_tls && !m_handshaking; }
    // The certificate the server showed (also when it was refused), and how the session is
    // protected ("TLSv1.3, TLS_AES_256_GCM_SHA384").
    const TCertificateInfo& PeerCertificate() const { return m_peer; }
    // The handshake went through but the peer's certificate was not trusted.
    bool PeerRefused() const { return m_peerRefused; }
    QString TlsDescription() const;
    void Close() override;

    // Creates the socket and starts connecting to the remote address and port.
    void Connect();

    // Sends small writes at once instead of holding them for the peer's acknowledgement
    // (Nagle's algorithm). False when the system refuses.
    bool SetNoDelay(bool on);

    // Direct transfer. Send returns the bytes the system took (0 when it takes none now);
    // Recv returns the bytes read, 0 when the peer has closed, -1 when nothing is there.
    virtual qint64 Send(const char* data, qint64 size);
    virtual qint64 Recv(char* data, qint64 size);

protected:
    qint64 RawSend(const char* data, qint64 size);
    qint64 RawRecv(char* data, qint64 size);
    // True while the SOCKS5 negotiation or a TLS handshake runs; HandshakeStep takes the
    // notification then.
    bool Handshaking() const { return m_handshaking || m_socks; }
    void HandshakeStep();
    // Decrypted bytes wait inside the TLS session, where no readiness report will tell.
    bool HasPendingInput() const { return m_tls && m_tls->HasPending(); }
    // The peer closed or reset the connection: close and tell the owner.
    void Disconnected();
    // Called once the connect has completed.
    virtual void Established();

    void HandleReadable() override;
    void HandleWritable() override;

private:
    void beginHandshake();
    void watchFor(TTlsChannel::TWant want);
    void tlsStep();
    void socksStep();
    bool socksSend();
    void connectionMade();

    TTlsConfig m_tlsConfig;
    QString m_peerName;
    std::unique_ptr<TTlsChannel> m_tls;
    bool m_handshaking = false;
    bool m_upgrade = false; // the handshake came from StartTls, not from the connect
    TCertificateInfo m_peer;
    bool m_peerRefused = false;
    TSocksProxy m_proxy;
    QString m_socksHost;
    quint16 m_socksPort = 0;
    std::unique_ptr<TSocksHandshake> m_socks; // while the proxy is asked
    QByteArray m_socksOut;                    // what the proxy has yet to be sent
};
