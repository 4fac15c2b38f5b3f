#pragma once

#include <QString>

#include <stdexcept>

// A socket failure: an error code of the socket error table and a readable message.
class ESockError : public std::runtime_error
{
public:
    ESockError(int code, const QString& message);
    // The message built from a format (a string number or text) and a code.
    static ESockError Make(int code, const QString& format = QString());

    int Code() const { return m_code; }
    QString Message() const { return QString::fromUtf8(what()); }

    // The table's text for a code, or "Unknown Error %d".
    static QString ErrorText(int code);
    // The text of one string number (code + 5000, message format + 5000); empty when none.
    static QString StringText(int number);
    // Message format 20001..20026 by number.
    static QString Format(int number) { return StringText(number + 5000); }
    // With no format the code's text; a format holding "%d" and "%s" gets the code and its
    // text in the order they appear; any other format is used unchanged.
    static QString FormatMessage(const QString& format, int code);
    // The table code for a POSIX errno value.
    static int CodeFromErrno(int error);

private:
    int m_code;
};

// Message format numbers.
namespace SockFormat {
constexpr int FindingAddress = 20001;
constexpr int Binding = 20007;
constexpr int Connecting = 20008;
constexpr int CreatingSocket = 20009;
constexpr int Receiving = 20014;
constexpr int Sending = 20015;
constexpr int NoAddress = 20017;
constexpr int NotOpen = 20018;
constexpr int AlreadyOpened = 20020;
constexpr int InvalidStreamType = 20023;
constexpr int InvalidDatagramType = 20024;
constexpr int NoSocketClass = 20026;
} // namespace SockFormat

// Error codes the layer itself raises or maps onto.
namespace SockCode {
constexpr int WouldBlock = 10035;
constexpr int ConnReset = 10054;
constexpr int IsConnected = 10056;
constexpr int NotStarted = 10093;
constexpr int HostNotFound = 11001;
constexpr int NoRecovery = 11003;
constexpr int NoData = 11004;
} // namespace SockCode
