#include "net/TlsChannel.h"

#include <QByteArray>
#include <QStringList>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>

struct TTlsChannel::TState
{
    SSL_CTX* Context = nullptr;
    SSL* Session = nullptr;
    long VerifyResult = X509_V_OK;

    ~TState()
    {
        if (Session)
            SSL_free(Session);
        if (Context)
            SSL_CTX_free(Context);
    }
};

namespace {

QString queuedErrors()
{
    QStringList texts;
    while (const unsigned long code = ERR_get_error()) {
        char buffer[256];
        ERR_error_string_n(code, buffer, sizeof buffer);
        texts << QString::fromLatin1(ERR_reason_error_string(code) ? ERR_reason_error_string(code)
                                                                   : buffer);
    }
    return texts.join(QStringLiteral("; "));
}

QString nameText(const X509_NAME* name)
{
    if (!name)
        return QString();
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    const QString text = QString::fromUtf8(data, int(size));
    BIO_free(out);
    return text;
}

QString timeText(const ASN1_TIME* time)
{
    if (!time)
        return QString();
    BIO* out = BIO_new(BIO_s_mem());
    ASN1_TIME_print(out, time);
    char* data = nullptr;
    const long size = BIO_get_mem_data(out, &data);
    const QString text = QString::fromLatin1(data, int(size));
    BIO_free(out);
    return text;
}

TCertificateInfo describe(X509* certificate)
{
    TCertificateInfo info;
    if (!certificate)
        return info;
    info.Subject = nameText(X509_get_subject_name(certificate));
    info.Issuer = nameText(X509_get_issuer_name(certificate));
    info.NotBefore = timeText(X509_get0_notBefore(certificate));
    info.NotAfter = timeText(X509_get0_notAfter(certificate));
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(certificate, EVP_sha256(), digest, &length) == 1) {
        const QByteArray hex =
            QByteArray(reinterpret_cast<const char*>(digest), int(length)).toHex(':').toUpper();
        info.Sha256 = QString::fromLatin1(hex);
    }
    return info;
}

bool isAddress(const QString& name)
{
    const QByteArray bytes = name.toLatin1();
    unsigned char buffer[16];
    return inet_pton(AF_INET, bytes.constData(), buffer) == 1 ||
           inet_pton(AF_INET6, bytes.constData(), buffer) == 1;
}

} // namespace

TTlsMode TlsModeFromText(const QString& text)
{
    const QString t = text.trimmed().toLower();
    if (t == QStringLiteral("tls") || t == QStringLiteral("implicit"))
        return TTlsMode::Implicit;
    if (t == QStringLiteral("starttls"))
        return TTlsMode::StartTls;
    return TTlsMode::None;
}

TTlsChannel::~TTlsChannel() = default;

QString TTlsChannel::NormalizedFingerprint(const QString& text)
{
    QString hex;
    for (QChar c : text)
        if (c.isLetterOrNumber())
            hex += c.toUpper();
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2)
        pairs << hex.mid(i, 2);
    return pairs.join(':');
}

std::unique_ptr<TTlsChannel> TTlsChannel::Create(const TTlsConfig& config, const QString& peerName,
                                                 int descriptor, QString* error)
{
    std::unique_ptr<TTlsChannel> channel(new TTlsChannel);
    channel->m_config = config;
    channel->m_peerName = peerName;
    channel->m_state = std::make_unique<TState>();
    TState& s = *channel->m_state;
    ERR_clear_error();
    s.Context = SSL_CTX_new(TLS_client_method());
    if (!s.Context) {
        *error = "Cannot set up TLS: " + queuedErrors();
        return nullptr;
    }
    SSL_CTX_set_min_proto_version(s.Context, TLS1_2_VERSION);
    // A news reply ends with its own terminator: a peer that just closes is a plain close.
    SSL_CTX_set_options(s.Context, SSL_OP_NO_COMPRESSION | SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(s.Context,
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // The result is judged after the handshake (CheckPeer), so that a refusal can say why
    // and a trusted fingerprint can stand in for an authority.
    SSL_CTX_set_verify(s.Context, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_default_verify_paths(s.Context);
    if (!config.CaFile.isEmpty() &&
        SSL_CTX_load_verify_locations(s.Context, config.CaFile.toLocal8Bit().constData(),
                                      nullptr) != 1) {
        *error = "Cannot read the trusted authorities in " + config.CaFile + ": " + queuedErrors();
        return nullptr;
    }
    s.Session = SSL_new(s.Context);
    if (!s.Session || SSL_set_fd(s.Session, descriptor) != 1) {
        *error = "Cannot set up TLS: " + queuedErrors();
        return nullptr;
    }
    const QByteArray name = peerName.toUtf8();
    X509_VERIFY_PARAM* param = SSL_get0_param(s.Session);
    if (isAddress(peerName)) {
        X509_VERIFY_PARAM_set1_ip_asc(param, name.constData());
    } else {
        SSL_set_tlsext_host_name(s.Session, name.constData());
        X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        X509_VERIFY_PARAM_set1_host(param, name.constData(), size_t(name.size()));
    }
    SSL_set_connect_state(s.Session);
    return channel;
}

bool TTlsChannel::Handshake(TWant* want, QString* error)
{
    ERR_clear_error();
    const int result = SSL_do_handshake(m_state->Session);
    if (result == 1) {
        *want = TWant::Nothing;
        X509* certificate = SSL_get1_peer_certificate(m_state->Session);
        m_peer = describe(certificate);
        X509_free(certificate);
        m_state->VerifyResult = SSL_get_verify_result(m_state->Session);
        return true;
    }
    switch (SSL_get_error(m_state->Session, result)) {
    case SSL_ERROR_WANT_READ:
        *want = TWant::Read;
        return false;
    case SSL_ERROR_WANT_WRITE:
        *want = TWant::Write;
        return false;
    default:
        *want = TWant::Nothing;
        *error = "TLS handshake failed: " + lastError(result);
        return false;
    }
}

QString TTlsChannel::lastError(int result) const
{
    // errno tells only of a failed system call: after an end of stream it still holds 0
    // ("Success"), and after OpenSSL's own errors whatever an earlier call left.
    const int systemError = errno;
    const int kind = SSL_get_error(m_state->Session, result);
    const QString queued = queuedErrors();
    if (!queued.isEmpty())
        return queued;
    switch (kind) {
    case SSL_ERROR_ZERO_RETURN:
        return QStringLiteral("the server ended the TLS session");
    case SSL_ERROR_SYSCALL:
        if (result == 0 || systemError == 0)
            return QStringLiteral("the server closed the connection");
        return QString::fromLocal8Bit(strerror(systemError));
    case SSL_ERROR_SSL:
        return QStringLiteral("a TLS protocol error");
    default:
        return QStringLiteral("OpenSSL error %1").arg(kind);
    }
}

QString TTlsChannel::CheckPeer() const
{
    const QString print = " (SHA-256 fingerprint " + m_peer.Sha256 + ")";
    if (m_peer.IsEmpty())
        return QStringLiteral("The server sent no certificate");
    if (!m_config.TrustedFingerprint.isEmpty()) {
        const QString trusted = NormalizedFingerprint(m_config.TrustedFingerprint);
        if (trusted == m_peer.Sha256)
            return QString();
        return "The server's certificate has changed: the trusted one has the SHA-256 "
               "fingerprint " +
               trusted + ", this one " + m_peer.Sha256 + ". It was refused";
    }
    QString why;
    switch (m_state->VerifyResult) {
    case X509_V_OK:
        return QString();
    case X509_V_ERR_CERT_HAS_EXPIRED:
        why = "it expired on " + m_peer.NotAfter;
        break;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        why = "it is not valid before " + m_peer.NotBefore;
        break;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        why = "it is self-signed";
        break;
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
        why = "it was issued by an unknown authority (" + m_peer.Issuer + ")";
        break;
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        why = "it was issued for another name (" + m_peer.Subject + "), not " + m_peerName;
        break;
    default:
        why = QString::fromLatin1(X509_verify_cert_error_string(m_state->VerifyResult));
        break;
    }
    return "The server's certificate was refused: " + why + print;
}

QString TTlsChannel::Description() const
{
    return QString::fromLatin1(SSL_get_version(m_state->Session)) + ", " +
           QString::fromLatin1(SSL_get_cipher_name(m_state->Session));
}

qint64 TTlsChannel::Read(char* data, qint64 size, TWant* want, QString* error)
{
    ERR_clear_error();
    size_t done = 0;
    const int result = SSL_read_ex(m_state->Session, data, size_t(size), &done);
    *want = TWant::Nothing;
    if (result == 1)
        return qint64(done);
    switch (SSL_get_error(m_state->Session, result)) {
    case SSL_ERROR_WANT_READ:
        *want = TWant::Read;
        return -1;
    case SSL_ERROR_WANT_WRITE:
        *want = TWant::Write;
        return -1;
    case SSL_ERROR_ZERO_RETURN:
        return 0;
    case SSL_ERROR_SYSCALL:
        // The peer went without a close notify: as good as closed for a line protocol.
        if (ERR_peek_error() == 0)
            return 0;
        [[fallthrough]];
    default:
        *error = "TLS error while receiving: " + lastError(result);
        return -2;
    }
}

qint64 TTlsChannel::Write(const char* data, qint64 size, TWant* want, QString* error)
{
    if (size <= 0)
        return 0;
    ERR_clear_error();
    size_t done = 0;
    const int result = SSL_write_ex(m_state->Session, data, size_t(size), &done);
    *want = TWant::Nothing;
    if (result == 1)
        return qint64(done);
    switch (SSL_get_error(m_state->Session, result)) {
    case SSL_ERROR_WANT_WRITE:
        *want = TWant::Write;
        return 0;
    case SSL_ERROR_WANT_READ:
        *want = TWant::Read;
        return 0;
    default:
        *error = "TLS error while sending: " + lastError(result);
        return -2;
    }
}

bool TTlsChannel::HasPending() const
{
    return SSL_pending(m_state->Session) > 0;
}

void TTlsChannel::Shutdown()
{
    ERR_clear_error();
    SSL_shutdown(m_state->Session);
    ERR_clear_error();
}
