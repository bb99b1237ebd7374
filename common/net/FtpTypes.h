#pragma once

// Enumerations and the exception of the FTP client. The order of every enumeration is part of
// its contract (values are compared and reported as such).

#include <stdexcept>
#include <string>

namespace net {

enum class TFtpState
{
    ftpNotConnected,
    ftpReady,
    ftpInternalReady,
    ftpDnsLookup,
    ftpConnected,
    ftpAbort,
    ftpWaitingBanner,
    ftpWaitingResponse
};

// The request type reported to OnRequestDone.
enum class TFtpRequest
{
    ftpRqNone,
    ftpRqOpen,
    ftpRqQuit
};

// Members of the Options set.
enum TFtpOption : unsigned
{
    ftpAcceptLF = 1u << 0, // a reply line may end with LF alone
    ftpNoAutoResumeAt = 1u << 1
};

enum class TFtpShareMode
{
    ftpShareCompat,
    ftpShareExclusive,
    ftpShareDenyWrite,
    ftpShareDenyRead,
    ftpShareDenyNone
};

enum class TFtpConnectionType
{
    ftpDirect,
    ftpProxy,
    ftpSocks4,
    ftpSocks4A,
    ftpSocks5
};

class FtpException : public std::runtime_error
{
public:
    explicit FtpException(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace net
