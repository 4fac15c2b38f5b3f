#pragma once

#include "net/SocksProxy.h"

#include <QByteArray>
#include <QString>

// The client side of a SOCKS5 CONNECT (RFC 1928), with the user/password login of RFC 1929,
// fed the proxy's bytes as they come. The destination goes to the proxy by name (the proxy
// looks it up) unless it is a numeric address. Wanted() never asks for more than the rest of
// the current reply, so the bytes that follow the CONNECT reply stay in the connection: they
// are the news server's (its greeting, or its side of the TLS handshake).
class TSocksHandshake
{
public:
    TSocksHandshake(const TSocksProxy& proxy, const QString& host, quint16 port);

    // The method offer, the first bytes to send.
    QByteArray Start();
    // Takes bytes the proxy sent (at most Wanted()); returns what to send next (often
    // nothing). Afterwards either more is wanted, or Done(), or Error() says what failed.
    QByteArray Take(const char* data, qint64 size);
    qint64 Wanted() const;
    bool Done() const { return m_step == TStep::Done; }
    const QString& Error() const { return m_error; }
    // What to say when the proxy closes the connection now.
    QString ClosedText() const;

    // The RFC 1928 text of a CONNECT reply code ("connection refused").
    static QString ReplyText(int code);

private:
    enum class TStep
    {
        Method,
        Login,
        Reply,
        Done,
        Failed,
    };

    QByteArray takeMethod();
    QByteArray takeLogin();
    void takeReply();
    QByteArray connectRequest();
    QByteArray fail(const QString& what);
    QString target() const;

    TSocksProxy m_proxy;
    QString m_host;
    quint16 m_port;
    TStep m_step = TStep::Method;
    QByteArray m_held;        // the current reply so far
    qint64 m_replyLength = 4; // of the CONNECT reply, once its address type is known
    QString m_error;
};
