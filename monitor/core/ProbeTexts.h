#pragma once

// The texts of the six probes as data: the word of their log and alert lines, whether the port
// column stays, and their start and retry lines. Each service's row (Services.h) names its set;
// the builders below make every result line, transition text and program parameter from them.

#include "monitor/core/TestContext.h"

#include <optional>
#include <string>

namespace monitor {

struct ProbeTexts
{
    // Which activity line follows the log line of a result.
    enum class ResultLines
    {
        None, // the probe's own lines stand for it (PING)
        AddressAndHost, // "TCP OK: " + IP + " " + host
        TargetOnly, // "HTTP OK: " + URL
    };

    const char* word; // "Ping", "TCP", "HTTP", "FTP", "SMTP", "POP3"
    bool keepsPort; // PING empties the port column
    ResultLines resultLines;
    std::string (*startLine)(const TestContext&);
    std::string (*retryLine)(const TestContext&);
    // What the OK log line, the result lines, the failure text and its parameters name: the
    // IP text, or the HTTP probe's URL.
    std::string (*target)(const TestContext&);
};

extern const ProbeTexts PingTexts;
extern const ProbeTexts TcpTexts;
extern const ProbeTexts HttpTexts;
extern const ProbeTexts FtpTexts;
extern const ProbeTexts SmtpTexts;
extern const ProbeTexts Pop3Texts;

// The HTTP probe's URL: the IP text alone for port 0 (or no number) and 80, else IP:port; an
// IPv6 address as typed, in brackets ("[::1]", "[2001:db8::10]:8080").
std::string httpUrl(const TestContext& context);

std::string okLogLine(const ProbeTexts& texts, const TestContext& context, const std::string& lastAttempt);
std::string failLogLine(const ProbeTexts& texts, const TestContext& context, const std::string& lastAttempt);
std::optional<std::string> resultActivityLine(const ProbeTexts& texts, const TestContext& context, bool ok);
// The tray tip and mail message of a recovery (ok) or a first failure.
std::string transitionText(const ProbeTexts& texts, const TestContext& context, bool ok);
// The parameters of the program run on a recovery (ok) or a first failure.
std::string transitionParameters(const ProbeTexts& texts, const TestContext& context, bool ok);

} // namespace monitor
