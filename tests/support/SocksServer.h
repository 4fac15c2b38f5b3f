#pragma once

#include <QProcess>
#include <QString>

// A SOCKS5 proxy for one test binary: microsocks on 127.0.0.1 at a free port, with or without
// a user name and password (RFC 1929), waited for until it accepts a connection, stopped by
// its process id when this goes.
class TSocksServer
{
public:
    ~TSocksServer() { Stop(); }

    // Whether microsocks is installed; a test without it is skipped.
    static bool Available();
    static QString SkipReason() { return "microsocks is not installed (scripts/install-deps.sh)"; }

    bool Start(const QString& user, const QString& password, QString* error);
    void Stop();
    quint16 Port() const { return m_port; }
    qint64 ProcessId() const { return m_process.processId(); }
    // What the proxy logged so far: a line for each destination it connected to, as it was
    // asked for ("connected to localhost:119").
    QByteArray Log();

private:
    QProcess m_process;
    QByteArray m_log;
    quint16 m_port = 0;
};

#define QUORVEL_REQUIRE_MICROSOCKS()                                                               \
    do {                                                                                           \
        if (!TSocksServer::Available())                                                            \
            QSKIP(qPrintable(TSocksServer::SkipReason()));                                         \
    } while (false)
