#include "WinsockErrors.h"

#include <cerrno>
#include <utility>

namespace net {

namespace {

struct ErrorText
{
    int number;
    const char* text;
};

constexpr ErrorText kErrorTexts[] = {
    { 0, "No Error" },
    { WSAEINTR, "Interrupted system call" },
    { WSAEBADF, "Bad file number" },
    { WSAEACCES, "Permission denied" },
    { WSAEFAULT, "Bad address" },
    { WSAEINVAL, "Invalid argument" },
    { WSAEMFILE, "Too many open files" },
    { WSAEWOULDBLOCK, "Operation would block" },
    { WSAEINPROGRESS, "Operation now in progress" },
    { WSAEALREADY, "Operation already in progress" },
    { WSAENOTSOCK, "Socket operation on non-socket" },
    { WSAEDESTADDRREQ, "Destination address required" },
    { WSAEMSGSIZE, "Message too long" },
    { WSAEPROTOTYPE, "Protocol wrong type for socket" },
    { WSAENOPROTOOPT, "Protocol not available" },
    { WSAEPROTONOSUPPORT, "Protocol not supported" },
    { WSAESOCKTNOSUPPORT, "Socket type not supported" },
    { WSAEOPNOTSUPP, "Operation not supported on socket" },
    { WSAEPFNOSUPPORT, "Protocol family not supported" },
    { WSAEAFNOSUPPORT, "Address family not supported by protocol family" },
    { WSAEADDRINUSE, "Address already in use" },
    { WSAEADDRNOTAVAIL, "Address not available" },
    { WSAENETDOWN, "Network is down" },
    { WSAENETUNREACH, "Network is unreachable" },
    { WSAENETRESET, "Network dropped connection on reset" },
    { WSAECONNABORTED, "Connection aborted" },
    { WSAECONNRESET, "Connection reset by peer" },
    { WSAENOBUFS, "No buffer space available" },
    { WSAEISCONN, "Socket is already connected" },
    { WSAENOTCONN, "Socket is not connected" },
    { WSAESHUTDOWN, "Can't send after socket shutdown" },
    { WSAETOOMANYREFS, "Too many references: can't splice" },
    { WSAETIMEDOUT, "Connection timed out" },
    { WSAECONNREFUSED, "Connection refused" },
    { WSAELOOP, "Too many levels of symbolic links" },
    { WSAENAMETOOLONG, "File name too long" },
    { WSAEHOSTDOWN, "Host is down" },
    { WSAEHOSTUNREACH, "No route to host" },
    { WSAENOTEMPTY, "Directory not empty" },
    { WSAEPROCLIM, "Too many processes" },
    { WSAEUSERS, "Too many users" },
    { WSAEDQUOT, "Disc quota exceeded" },
    { WSAESTALE, "Stale NFS file handle" },
    { WSAEREMOTE, "Too many levels of remote in path" },
    { WSASYSNOTREADY, "Network sub-system is unusable" },
    { WSAVERNOTSUPPORTED, "WinSock DLL cannot support this application" },
    { WSANOTINITIALISED, "WinSock not initialized" },
    { WSAHOST_NOT_FOUND, "Host not found" },
    { WSATRY_AGAIN, "Non-authoritative host not found" },
    { WSANO_RECOVERY, "Non-recoverable error" },
    { WSANO_DATA, "No Data" },
};

// The Winsock numbers are the BSD errno values plus 10000; Linux numbers its errno values
// differently, so each one is named here.
constexpr std::pair<int, int> kErrnoMap[] = {
    { EINTR, WSAEINTR },
    { EBADF, WSAEBADF },
    { EACCES, WSAEACCES },
    { EPERM, WSAEACCES },
    { EFAULT, WSAEFAULT },
    { EINVAL, WSAEINVAL },
    { EMFILE, WSAEMFILE },
    { ENFILE, WSAEMFILE },
    { EWOULDBLOCK, WSAEWOULDBLOCK },
    { EINPROGRESS, WSAEINPROGRESS },
    { EALREADY, WSAEALREADY },
    { ENOTSOCK, WSAENOTSOCK },
    { EDESTADDRREQ, WSAEDESTADDRREQ },
    { EMSGSIZE, WSAEMSGSIZE },
    { EPROTOTYPE, WSAEPROTOTYPE },
    { ENOPROTOOPT, WSAENOPROTOOPT },
    { EPROTONOSUPPORT, WSAEPROTONOSUPPORT },
    { ESOCKTNOSUPPORT, WSAESOCKTNOSUPPORT },
    { EOPNOTSUPP, WSAEOPNOTSUPP },
    { EPFNOSUPPORT, WSAEPFNOSUPPORT },
    { EAFNOSUPPORT, WSAEAFNOSUPPORT },
    { EADDRINUSE, WSAEADDRINUSE },
    { EADDRNOTAVAIL, WSAEADDRNOTAVAIL },
    { ENETDOWN, WSAENETDOWN },
    { ENETUNREACH, WSAENETUNREACH },
    { ENETRESET, WSAENETRESET },
    { ECONNABORTED, WSAECONNABORTED },
    { ECONNRESET, WSAECONNRESET },
    // A send on a connection the peer has reset or closed: the same event for the owner.
    { EPIPE, WSAECONNRESET },
    { ENOBUFS, WSAENOBUFS },
    { ENOMEM, WSAENOBUFS },
    { EISCONN, WSAEISCONN },
    { ENOTCONN, WSAENOTCONN },
    { ESHUTDOWN, WSAESHUTDOWN },
    { ETOOMANYREFS, WSAETOOMANYREFS },
    { ETIMEDOUT, WSAETIMEDOUT },
    { ECONNREFUSED, WSAECONNREFUSED },
    { ELOOP, WSAELOOP },
    { ENAMETOOLONG, WSAENAMETOOLONG },
    { EHOSTDOWN, WSAEHOSTDOWN },
    { EHOSTUNREACH, WSAEHOSTUNREACH },
    { ENOTEMPTY, WSAENOTEMPTY },
    { EUSERS, WSAEUSERS },
    { EDQUOT, WSAEDQUOT },
    { ESTALE, WSAESTALE },
    { EREMOTE, WSAEREMOTE },
};

} // namespace

std::string winsockErrorText(int error)
{
    for (const auto& entry : kErrorTexts) {
        if (entry.number == error)
            return entry.text;
    }
    return "Not a WinSock error";
}

int winsockErrorFromErrno(int errnoValue)
{
    for (const auto& [posix, winsock] : kErrnoMap) {
        if (posix == errnoValue)
            return winsock;
    }
    return WSAEINVAL;
}

std::string winsockCallErrorText(int error, const std::string& callName)
{
    return "Error " + std::to_string(error) + " in function " + callName + "\r\n" + winsockErrorText(error);
}

} // namespace net
