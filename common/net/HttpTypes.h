#pragma once

// Enumerations and the exception of the HTTP client. The order of every enumeration is part of
// its contract (values are compared and reported as such).

#include <stdexcept>
#include <string>

namespace net {

enum class THttpState
{
    httpReady,
    httpNotConnected,
    httpConnected,
    httpDnsLookup,
    httpDnsLookupDone,
    httpWaitingHeader,
    httpWaitingBody,
    httpAborting
};

enum class THttpRequest
{
    httpGET,
    httpPOST,
    httpHEAD
};

// Raised by SyncHead for a reply status of 400 or more and for the client's own failures
// (reported as status 404): the message is the reason, ErrorCode() the status.
class EHttpException : public std::runtime_error
{
public:
    EHttpException(const std::string& message, int errorCode)
        : std::runtime_error(message)
        , m_errorCode(errorCode)
    {
    }
    int ErrorCode() const { return m_errorCode; }

private:
    int m_errorCode;
};

} // namespace net
