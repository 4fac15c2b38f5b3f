#pragma once

#include <QString>
#include <QtGlobal>

#include <sys/socket.h>

// One numeric socket address, IPv4 or IPv6, with its port.
class TSockAddress
{
public:
    TSockAddress() = default;

    // A numeric address in either family ("192.0.2.1", "2001:db8::1", "[::1]"); false when
    // the text is none (a host name, or nothing).
    static bool Parse(const QString& text, quint16 port, TSockAddress* address);

    bool IsValid() const { return m_length > 0; }
    int Family() const { return m_storage.ss_family; }
    const sockaddr* Data() const { return reinterpret_cast<const sockaddr*>(&m_storage); }
    socklen_t Length() const { return m_length; }
    quint16 Port() const;
    // "192.0.2.1:119" or "[2001:db8::1]:119".
    QString Text() const;

private:
    sockaddr_storage m_storage{};
    socklen_t m_length = 0;
};

// How a server is written: "host", "host:port", "[v6address]:port", or a bare v6 address.
struct TServerName
{
    QString Host; // without brackets
    quint16 Port = 0;

    static TServerName Split(const QString& server, quint16 defaultPort);
    // True when Host is a numeric address of either family, so nothing is looked up.
    bool IsNumeric() const;
};
