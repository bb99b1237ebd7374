#pragma once

// The texts of the probes as data: the word of their lines, whether the port column stays, and
// what their start and retry lines name after the word. Each service's row (Services.h) holds
// its set; the builders below make every line, transition text and program parameter from it.
// Every line begins with the word ("POP3ing ...", "POP3 Retry: ...", "POP3 OK: ..."), so a
// service that speaks its sibling's protocol over TLS takes the sibling's set with its own
// word (`as`).

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
    // What a start or retry line names after its word.
    enum class Subject
    {
        HostAndIp, // host + " [" + IP + "]"
        HostAndEndpoint, // host + " [" + IP + ":" + port text + "]"
        Target, // the target alone (the HTTP probe's URL)
    };

    const char* word; // "Ping", "TCP", "HTTP", "FTP", "SMTP", "POP3", "IMAP"
    bool keepsPort; // PING empties the port column
    ResultLines resultLines;
    Subject startSubject; // word + "ing " + subject
    Subject retrySubject; // word + " Retry: " + subject
    // What the OK log line, the result lines, the failure text and its parameters name: the
    // IP text, or the HTTP probe's URL.
    std::string (*target)(const TestContext&);

    // The same texts with another word.
    constexpr ProbeTexts as(const char* otherWord) const
    {
        ProbeTexts texts = *this;
        texts.word = otherWord;
        return texts;
    }
};

extern const ProbeTexts PingTexts;
extern const ProbeTexts TcpTexts;
extern const ProbeTexts HttpTexts;
extern const ProbeTexts FtpTexts;
extern const ProbeTexts SmtpTexts;
extern const ProbeTexts Pop3Texts;
extern const ProbeTexts ImapTexts;
extern const ProbeTexts HttpsTexts;

// The HTTP probe's URL: the IP text alone for port 0 (or no number) and 80, else IP:port; an
// IPv6 address as typed, in brackets ("[::1]", "[2001:db8::10]:8080").
std::string httpUrl(const TestContext& context);
// The HTTPS probe's URL: the same with 443 in place of 80.
std::string httpsUrl(const TestContext& context);

std::string startLine(const ProbeTexts& texts, const TestContext& context);
std::string retryLine(const ProbeTexts& texts, const TestContext& context);
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
