#pragma once

// Enumerations and the exception of the IMAP client. The order of every enumeration is part of
// its contract (values are compared and reported as such).

#include <stdexcept>
#include <string>

namespace net {

enum class TImapState
{
    imapReady,
    imapDnsLookup,
    imapConnecting,
    imapConnected,
    imapInternalReady,
    imapWaitingBanner,
    imapWaitingResponse,
    imapAbort
};

// The session's state as RFC 3501 section 3 names it.
enum class TImapProtocolState
{
    imapDisconnected,
    imapNotAuthenticated, // greeted with "* OK"
    imapAuthenticated, // greeted with "* PREAUTH"
    imapSelected,
    imapLogout // the server said "* BYE"
};

// The request type reported to OnRequestDone.
enum class TImapRequest
{
    imapRqNone,
    imapRqConnect,
    imapRqLogout
};

class ImapException : public std::runtime_error
{
public:
    explicit ImapException(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace net
