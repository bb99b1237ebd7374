#pragma once

// Enumerations and the exception of the POP3 client. The order of every enumeration is part of
// its contract (values are compared and reported as such).

#include <stdexcept>
#include <string>

namespace net {

enum class TPop3State
{
    pop3Ready,
    pop3DnsLookup,
    pop3Connecting,
    pop3Connected,
    pop3InternalReady,
    pop3WaitingBanner,
    pop3WaitingResponse,
    pop3Abort
};

enum class TPop3ProtocolState
{
    pop3Disconnected,
    pop3WaitingUser,
    pop3WaitingPass,
    pop3Transaction
};

// The request type reported to OnRequestDone.
enum class TPop3Request
{
    pop3RqNone,
    pop3RqConnect,
    pop3RqQuit
};

class Pop3Exception : public std::runtime_error
{
public:
    explicit Pop3Exception(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace net
