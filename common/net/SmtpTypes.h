#pragma once

// Enumerations and the exception of the SMTP client. The order of every enumeration is part of
// its contract (values are compared and reported as such).

#include <stdexcept>
#include <string>

namespace net {

enum class TSmtpState
{
    smtpReady,
    smtpDnsLookup,
    smtpConnecting,
    smtpConnected,
    smtpInternalReady,
    smtpWaitingBanner,
    smtpWaitingResponse,
    smtpAbort
};

// The request type reported to OnRequestDone.
enum class TSmtpRequest
{
    smtpRqConnect,
    smtpRqHelo,
    smtpRqMailFrom,
    smtpRqVrfy,
    smtpRqRcptTo,
    smtpRqData,
    smtpRqQuit,
    smtpRqRset,
    smtpRqOpen,
    smtpRqMail,
    smtpRqEhlo,
    smtpRqAuth,
    smtpRqStartTls
};

enum class TSmtpAuthType
{
    smtpAuthNone,
    smtpAuthPlain,
    smtpAuthLogin,
    smtpAuthCramMD5,
    // The best mechanism the server offers: PLAIN, then LOGIN, then CRAM-MD5 over TLS;
    // CRAM-MD5 first without it (which reaches loopback only).
    smtpAuthAutoSelect
};

enum class TSmtpContentType
{
    smtpHTML,
    smtpPlainText
};

class SmtpException : public std::runtime_error
{
public:
    explicit SmtpException(const std::string& message)
        : std::runtime_error(message)
    {
    }
};

} // namespace net
