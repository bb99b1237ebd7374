#include "monitor/core/ProbeTexts.h"

#include "common/net/SocketAddress.h"

namespace monitor {

namespace {

std::string ip(const TestContext& c)
{
    return c.IP;
}

std::string subject(ProbeTexts::Subject subject, const ProbeTexts& t, const TestContext& c)
{
    switch (subject) {
    case ProbeTexts::Subject::HostAndIp:
        return c.host + " [" + c.IP + "]";
    case ProbeTexts::Subject::HostAndEndpoint:
        return c.host + " [" + c.IP + ":" + c.portText + "]";
    case ProbeTexts::Subject::Target:
        return t.target(c);
    }
    return {};
}

using Lines = ProbeTexts::ResultLines;
using Subject = ProbeTexts::Subject;

} // namespace

// Constants: the service table copies them whenever it is first made.
constexpr ProbeTexts PingTexts = { "Ping", false, Lines::None, Subject::HostAndIp, Subject::HostAndIp, ip };
// The TCP probe names the port in its retry line as in its start line: a host is often watched
// on several ports.
constexpr ProbeTexts TcpTexts
    = { "TCP", true, Lines::AddressAndHost, Subject::HostAndEndpoint, Subject::HostAndEndpoint, ip };
constexpr ProbeTexts HttpTexts = { "HTTP", true, Lines::TargetOnly, Subject::Target, Subject::Target, httpUrl };
constexpr ProbeTexts FtpTexts = { "FTP", true, Lines::AddressAndHost, Subject::HostAndEndpoint, Subject::HostAndIp, ip };
constexpr ProbeTexts SmtpTexts = FtpTexts.as("SMTP");
constexpr ProbeTexts Pop3Texts = FtpTexts.as("POP3");
constexpr ProbeTexts ImapTexts = FtpTexts.as("IMAP");
constexpr ProbeTexts HttpsTexts = { "HTTPS", true, Lines::TargetOnly, Subject::Target, Subject::Target, httpsUrl };

std::string httpUrl(const TestContext& c)
{
    const std::string host = net::bracketedHost(c.IP);
    if (c.portNumber == 0 || c.portNumber == 80)
        return host;
    return host + ":" + c.portText;
}

std::string httpsUrl(const TestContext& c)
{
    const std::string host = net::bracketedHost(c.IP);
    if (c.portNumber == 0 || c.portNumber == 443)
        return host;
    return host + ":" + c.portText;
}

std::string startLine(const ProbeTexts& t, const TestContext& c)
{
    return std::string(t.word) + "ing " + subject(t.startSubject, t, c);
}

std::string retryLine(const ProbeTexts& t, const TestContext& c)
{
    return std::string(t.word) + " Retry: " + subject(t.retrySubject, t, c);
}

std::string okLogLine(const ProbeTexts& t, const TestContext& c, const std::string& lastAttempt)
{
    return std::string(t.word) + " OK: " + t.target(c) + " " + c.host + " " + lastAttempt;
}

std::string failLogLine(const ProbeTexts& t, const TestContext& c, const std::string& lastAttempt)
{
    return std::string(t.word) + " FAIL: " + c.IP + " " + c.host + " " + lastAttempt;
}

std::optional<std::string> resultActivityLine(const ProbeTexts& t, const TestContext& c, bool ok)
{
    const std::string head = std::string(t.word) + (ok ? " OK: " : " Fail: ");
    switch (t.resultLines) {
    case Lines::None:
        return std::nullopt;
    case Lines::AddressAndHost:
        return head + c.IP + " " + c.host;
    case Lines::TargetOnly:
        return head + t.target(c);
    }
    return std::nullopt;
}

std::string transitionText(const ProbeTexts& t, const TestContext& c, bool ok)
{
    if (ok)
        return std::string(t.word) + " OK to: " + c.IP + " " + c.host;
    return std::string(t.word) + " Fail to: " + t.target(c) + " " + c.host;
}

std::string transitionParameters(const ProbeTexts& t, const TestContext& c, bool ok)
{
    if (ok)
        return c.IP + " " + c.host + " OK";
    return t.target(c) + " " + c.host + " Fail";
}

std::string stoppedActivityLine(const ProbeTexts& t, const TestContext& c)
{
    return std::string(t.word) + " stopped: " + t.target(c) + " " + c.host + " (no result)";
}

} // namespace monitor
