#include "net/SockError.h"

#include <QHash>

#include <cerrno>

namespace {

// String numbers: error code + 5000 and message format + 5000.
const QHash<int, QString>& stringTable()
{
    static const QHash<int, QString> table = {
        {5000, "No Error"},
        {15004, "Interrupted system call"},
        {15009, "Bad file number"},
        {15013, "Permission denied"},
        {15014, "Bad address"},
        {15022, "Invalid argument"},
        {15024, "Too many open files"},
        {15035, "Operation would block"},
        {15036, "Operation now in progress"},
        {15037, "Operation, already in progress"},
        {15038, "Socket operation on non-socket"},
        {15039, "Destination address required"},
        {15040, "Message too long"},
        {15041, "Protocol wrong type for socket"},
        {15042, "Bad protocol option"},
        {15043, "Protocol not supported"},
        {15044, "Socket type not supported"},
        {15045, "Operation not supported on socket"},
        {15046, "Protocol family not supported"},
        {15047, "Address family not supported by protocol family"},
        {15048, "Address already in use"},
        {15049, "Can't assign requested address"},
        {15050, "Network is down"},
        {15051, "Network is unreachable"},
        {15052, "Net dropped connection or reset"},
        {15053, "Software caused connection abort"},
        {15054, "Connection reset by peer"},
        {15055, "No buffer space available"},
        {15056, "Socket is already connected"},
        {15057, "Socket is not connected"},
        {15058, "Can't send after socket shutdown"},
        {15059, "Too many references, can't splice"},
        {15060, "Connection timed out"},
        {15061, "Connection refused"},
        {15062, "Too many levels of symbolic links"},
        {15063, "File name too long"},
        {15064, "Host is down"},
        {15065, "No Route to Host"},
        {15066, "Directory not empty"},
        {15067, "Too many processes"},
        {15068, "Too many users"},
        {15069, "Disc Quota Exceeded"},
        {15070, "Stale NFS file handle"},
        {15071, "Too many levels of remote in path"},
        {15091, "Network SubSystem is unavailable"},
        {15092, "WINSOCK DLL Version out of range"},
        {15093, "Successful WSASTARTUP not yet performed"},
        {15101, "Socket Disconnected"},
        {16001, "Host not found"},
        {16002, "Non-Authoritative Host not found"},
        {16003, "Non-Recoverable errors: FORMERR, REFUSED, NOTIMP"},
        {16004, "Valid name, no data record of requested type"},
        {25001, "Error %d (%s) finding address for host"},
        {25002, "Error %d (%s) calling WSAAsyncGetHostByAddr"},
        {25003, "Error %d (%s) calling WSAAsyncGetHostByName"},
        {25004, "Error %d (%s) calling WSAAsyncGetServByName"},
        {25005, "Error %d (%s) calling WSAAsyncGetServByPort"},
        {25006, "Error %d (%s) finding host for address"},
        {25007, "Error %d (%s) Binding Socket"},
        {25008, "Error %d (%s) connecting"},
        {25009, "Error %d (%s) creating new socket"},
        {25010, "Error %d (%s) calling getpeername"},
        {25011, "Error %d (%s) calling getsockname"},
        {25012, "Error %d (%s) getting # of bytes in Receive Buffer"},
        {25013, "Error %d (%s) listining"},
        {25014, "Error %d (%s) recieving"},
        {25015, "Error %d (%s) sending"},
        {25016, "Error %d (%s) starting up WinSock"},
        {25017, "No address specified"},
        {25018, "Socket not open"},
        {25019, "Can't do reverse lookup on address 0.0.0.0"},
        {25020, "Socket Already opened"},
        {25021, "Datagram exceeds Winsock's max UDP packet size"},
        {25022, "Winsock DLL Already Loaded, Cannot change name"},
        {25023, "Invalid type for a Stream socket"},
        {25024, "Invalid type for a Datagram socket"},
        {25025, "Error %d (%s) peeking"},
        {25026, "No Socket Class Defined"},
    };
    return table;
}

} // namespace

ESockError::ESockError(int code, const QString& message)
    : std::runtime_error(message.toStdString()), m_code(code)
{
}

ESockError ESockError::Make(int code, const QString& format)
{
    return ESockError(code, FormatMessage(format, code));
}

QString ESockError::StringText(int number)
{
    return stringTable().value(number);
}

QString ESockError::ErrorText(int code)
{
    const QString text = StringText(code + 5000);
    return text.isEmpty() ? QString("Unknown Error %1").arg(code) : text;
}

QString ESockError::FormatMessage(const QString& format, int code)
{
    if (format.isEmpty())
        return ErrorText(code);
    const qsizetype d = format.indexOf("%d");
    const qsizetype s = format.indexOf("%s");
    if (d < 0 || s < 0)
        return format;
    // Fill in place, in the order the two appear, so a "%" in the text cannot be re-read.
    const QString number = QString::number(code);
    const QString text = ErrorText(code);
    if (d < s)
        return format.left(d) + number + format.mid(d + 2, s - d - 2) + text + format.mid(s + 2);
    return format.left(s) + text + format.mid(s + 2, d - s - 2) + number + format.mid(d + 2);
}

int ESockError::CodeFromErrno(int error)
{
    switch (error) {
    case 0:
        return 0;
    case EINTR:
        return 10004;
    case EBADF:
        return 10009;
    case EACCES:
        return 10013;
    case EFAULT:
        return 10014;
    case EINVAL:
        return 10022;
    case EMFILE:
        return 10024;
    case EAGAIN:
        return 10035;
    case EINPROGRESS:
        return 10036;
    case EALREADY:
        return 10037;
    case ENOTSOCK:
        return 10038;
    case EDESTADDRREQ:
        return 10039;
    case EMSGSIZE:
        return 10040;
    case EPROTOTYPE:
        return 10041;
    case ENOPROTOOPT:
        return 10042;
    case EPROTONOSUPPORT:
        return 10043;
    case ESOCKTNOSUPPORT:
        return 10044;
    case EOPNOTSUPP:
        return 10045;
    case EPFNOSUPPORT:
        return 10046;
    case EAFNOSUPPORT:
        return 10047;
    case EADDRINUSE:
        return 10048;
    case EADDRNOTAVAIL:
        return 10049;
    case ENETDOWN:
        return 10050;
    case ENETUNREACH:
        return 10051;
    case ENETRESET:
        return 10052;
    case ECONNABORTED:
        return 10053;
    // A send to a peer that has gone is a reset connection here as well.
    case ECONNRESET:
    case EPIPE:
        return 10054;
    case ENOBUFS:
        return 10055;
    case EISCONN:
        return 10056;
    case ENOTCONN:
        return 10057;
    case ESHUTDOWN:
        return 10058;
    case ETOOMANYREFS:
        return 10059;
    case ETIMEDOUT:
        return 10060;
    case ECONNREFUSED:
        return 10061;
    case ELOOP:
        return 10062;
    case ENAMETOOLONG:
        return 10063;
    case EHOSTDOWN:
        return 10064;
    case EHOSTUNREACH:
        return 10065;
    case ENOTEMPTY:
        return 10066;
    case EUSERS:
        return 10068;
    case EDQUOT:
        return 10069;
    case ESTALE:
        return 10070;
    case EREMOTE:
        return 10071;
    default:
        return error;
    }
}
