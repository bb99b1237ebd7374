#pragma once

// The texts of the monitor's mails, without sending anything: the subject and body of an
// alert, start-up, shut-down or keep-alive mail, the one-line summary of a destination, the
// recipients of the address field and the body of the "Test SMTP" mail. Line breaks inside a
// body are single CRs; the SMTP client turns each into a line break of the message.

#include "monitor/core/Destination.h"

#include <cstdint>
#include <string>
#include <vector>

namespace monitor {

// The "Include current status" choice, as stored in "SendCurrentStatus". Any other number
// (-1 when nothing was chosen) acts as Never.
enum class CurrentStatusChoice
{
    Never = 0,
    KeepAliveOnly = 1,
    Always = 2,
};

inline constexpr const char* CurrentStatusChoices[] = { "Never", "KeepAlive Only", "Always" };

// "+" (last outcome OK), "X" (Fail) or "?" (never tested, or under test), the caption, then
// every column the row has, each after one blank.
std::string StatusLine(const Destination& row);

// What a body is made of besides the subject.
struct AlertBodyParts
{
    bool emptyMessageText = false; // the mail carries its subject only
    int32_t sendCurrentStatus = -1;
    bool keepAlive = false;
    // The date-time text of the next keep-alive mail; used when keepAlive is set.
    std::string nextKeepAlive;
};

// Subject, CR, CR, the status block when the choice asks for it, and for a keep-alive mail the
// line that says when the next one is due.
std::string alertBody(const std::string& subject, const AlertBodyParts& parts, const std::vector<Destination>& rows);

// The address field split at every ";", each piece without blanks and control characters at
// its ends. Empty pieces (a trailing ";", ";;") are left out: the last recipient's answer decides
// whether the message goes out, so an empty one at the end would stop every mail. A field
// without any address gives one empty recipient, which the server answers for itself.
std::vector<std::string> recipientsOf(const std::string& emailAddress);

// The body of the "Test SMTP" mail.
std::string testMailBody(
    const std::string& stamp, const std::string& server, const std::string& emailAddress, const std::string& from);

// Blanks and control characters off both ends.
std::string trimmed(const std::string& text);

} // namespace monitor
