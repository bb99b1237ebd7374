#include "monitor/core/ProbeTexts.h"

#include "common/net/SocketAddress.h"

namespace monitor {

namespace {

std::string ip(const TestContext& c)
{
    return c.IP;
}

// "<verb> host [IP:port]": the start line of every probe but PING and HTTP.
template <const char* Verb> std::string hostAndEndpoint(const TestContext& c)
{
    return Verb + c.host + " [" + c.IP + ":" + c.portText + "]";
}

// "<word> Retry: host [IP]".
template <const char* Word> std::string retryHostAndIp(const TestContext& c)
{
    return std::string(Word) + " Retry: " + c.host + " [" + c.IP + "]";
}

constexpr char TcpVerb[] = "TCPing ";
constexpr char FtpVerb[] = "FTPing ";
constexpr char SmtpVerb[] = "SMTPing ";
constexpr char Pop3Verb[] = "POP3ing ";
constexpr char PingWord[] = "Ping";
constexpr char FtpWord[] = "FTP";
constexpr char SmtpWord[] = "SMTP";
constexpr char Pop3Word[] = "POP3";

std::string pingStart(const TestContext& c)
{
    return "Pinging " + c.host + " [" + c.IP + "]";
}

// The TCP probe names the port in its retry line as in its start line: a host is often
// watched on several ports.
std::string tcpRetry(const TestContext& c)
{
    return "TCP Retry: " + c.host + " [" + c.IP + ":" + c.portText + "]";
}

std::string httpStart(const TestContext& c)
{
    return "HTTPing " + httpUrl(c);
}

std::string httpRetry(const TestContext& c)
{
    return "HTTP Retry: " + httpUrl(c);
}

using Lines = ProbeTexts::ResultLines;

} // namespace

const ProbeTexts PingTexts = { "Ping", false, Lines::None, pingStart, retryHostAndIp<PingWord>, ip };
const ProbeTexts TcpTexts = { "TCP", true, Lines::AddressAndHost, hostAndEndpoint<TcpVerb>, tcpRetry, ip };
const ProbeTexts HttpTexts = { "HTTP", true, Lines::TargetOnly, httpStart, httpRetry, httpUrl };
const ProbeTexts FtpTexts
    = { "FTP", true, Lines::AddressAndHost, hostAndEndpoint<FtpVerb>, retryHostAndIp<FtpWord>, ip };
const ProbeTexts SmtpTexts
    = { "SMTP", true, Lines::AddressAndHost, hostAndEndpoint<SmtpVerb>, retryHostAndIp<SmtpWord>, ip };
const ProbeTexts Pop3Texts
    = { "POP3", true, Lines::AddressAndHost, hostAndEndpoint<Pop3Verb>, retryHostAndIp<Pop3Word>, ip };

std::string httpUrl(const TestContext& c)
{
    const std::string host = net::bracketedHost(c.IP);
    if (c.portNumber == 0 || c.portNumber == 80)
        return host;
    return host + ":" + c.portText;
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

} // namespace monitor
