#pragma once

// The texts of the six probes as data: the word of their log and alert lines, the service word
// a test writes into the row, whether the port column stays, and their start and retry lines.
// The builders below make every result line, transition text and program parameter from them.

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
    const char* serviceWord; // "PING", "TCP", ...: the service column after a test
    bool keepsPort; // PING empties the port column
    ResultLines resultLines;
    std::string (*startLine)(const TestContext&);
    std::string (*retryLine)(const TestContext&);
    // What the OK log line, the result lines, the failure text and its parameters name: the
    // IP text, or the HTTP probe's URL.
    std::string (*target)(const TestContext&);
};

// The texts of a service index (ServiceIndex); PING for an index out of range.
const ProbeTexts& probeTextsOf(int serviceIndex);

// The HTTP probe's URL: the IP text alone for port 0 (or no number) and 80, else IP:port.
std::string httpUrl(const TestContext& context);

std::string okLogLine(const ProbeTexts& texts, const TestContext& context, const std::string& lastAttempt);
std::string failLogLine(const ProbeTexts& texts, const TestContext& context, const std::string& lastAttempt);
std::optional<std::string> resultActivityLine(const ProbeTexts& texts, const TestContext& context, bool ok);
// The tray tip and mail message of a recovery (ok) or a first failure.
std::string transitionText(const ProbeTexts& texts, const TestContext& context, bool ok);
// The parameters of the program run on a recovery (ok) or a first failure.
std::string transitionParameters(const ProbeTexts& texts, const TestContext& context, bool ok);
// The activity line of a test that Abort or the close ended before it had a result.
std::string stoppedActivityLine(const ProbeTexts& texts, const TestContext& context);

} // namespace monitor
