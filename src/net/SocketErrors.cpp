#include "net/SocketErrors.h"

#include <cerrno>

#include <utility>

namespace net {

namespace {

constexpr std::pair<int, const char*> kErrorTexts[] = {
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on non-socket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Wrong protocol type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Can't assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Can't send after socket shutdown"},
    {10059, "Too many references, can't splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to Host"},
    {10066, "Directory not empty"},
    {10067, "Too many processes"},
    {10068, "Too many users"},
    {10069, "Disc quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Incompatible version of WINSOCK.DLL"},
    {10093, "Successful WSAStartup not yet performed"},
    {11001, "Host not found"},
    {11002, "Non-Authoritative Host not found"},
    {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
};

int NetworkErrorNumber(const QString& text)
{
    // The texts of Qt's native socket engine for the system errors it reports as NetworkError.
    if (text.contains(QLatin1String("Network unreachable"), Qt::CaseInsensitive))
        return 10051;
    if (text.contains(QLatin1String("Host unreachable"), Qt::CaseInsensitive))
        return 10065;
    if (text.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return 10060;
    if (text.contains(QLatin1String("refused"), Qt::CaseInsensitive))
        return kErrConnectionRefused;
    if (text.contains(QLatin1String("reset"), Qt::CaseInsensitive))
        return kErrConnectionReset;
    return 10050;
}

} // namespace

std::string SocketErrorMessage(int errorNumber)
{
    for (const auto& [number, text] : kErrorTexts)
        if (number == errorNumber)
            return std::to_string(number) + ':' + text;
    return "Unknown Error No. " + std::to_string(errorNumber);
}

bool IsReportedSocketError(int errorNumber)
{
    return errorNumber > 10000 && errorNumber != kErrWouldBlock;
}

int SocketErrorNumber(QAbstractSocket::SocketError error, const QString& errorText)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionRefusedError:
        return kErrConnectionRefused;
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::ProxyConnectionClosedError:
        return kErrConnectionReset;
    case QAbstractSocket::HostNotFoundError:
    case QAbstractSocket::ProxyNotFoundError:
        return 11001;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return errorText.contains(QLatin1String("Too many open"), Qt::CaseInsensitive) ? 10024 : 10055;
    case QAbstractSocket::SocketTimeoutError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
        return 10060;
    case QAbstractSocket::DatagramTooLargeError:
        return 10040;
    case QAbstractSocket::NetworkError:
        return NetworkErrorNumber(errorText);
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError:
        return 10037;
    case QAbstractSocket::TemporaryError:
        return kErrWouldBlock;
    case QAbstractSocket::OperationError:
        return kErrNotConnected;
    default:
        // Nothing in the table fits; a number outside it still gets logged ("Unknown Error No.").
        return 10000 + 100 + static_cast<int>(error);
    }
}

int SocketErrorNumberFromSystem(int systemError)
{
    switch (systemError) {
    case ECONNREFUSED:
        return kErrConnectionRefused;
    case ECONNRESET:
        return kErrConnectionReset;
    case ECONNABORTED:
        return 10053;
    case ETIMEDOUT:
        return 10060;
    case EHOSTUNREACH:
        return 10065;
    case EHOSTDOWN:
        return 10064;
    case ENETUNREACH:
        return 10051;
    case ENETDOWN:
        return 10050;
    case EADDRNOTAVAIL:
        return 10049;
    case EADDRINUSE:
        return 10048;
    case EAFNOSUPPORT:
        return 10047;
    case EACCES:
    case EPERM:
        return 10013;
    case EMFILE:
    case ENFILE:
        return 10024;
    case ENOBUFS:
    case ENOMEM:
        return 10055;
    default:
        return 10000 + 100 + QAbstractSocket::UnknownSocketError;
    }
}

} // namespace net
