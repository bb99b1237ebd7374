#pragma once

// Line breaks in text a caller hands over (a mail body, a list of recipients, a header value,
// a command): CR LF, a lone CR and a lone LF each end a line. The clients split and flatten
// such text here and nowhere else.

#include <string>
#include <string_view>
#include <vector>

namespace net {

enum class FinalBreak
{
    // A text holding a list (MailMessage, RcptName, EmailFiles): a break at the very end closes
    // the last line and adds none; an empty text holds no line.
    EndsLastLine,
    // One value cut at its breaks (a body line that holds breaks): every break starts a line,
    // so "a\n" gives "a" and "", and an empty text is one empty line.
    StartsLine,
};

std::vector<std::string> splitLines(std::string_view text, FinalBreak finalBreak);

// A value that must stay one line (a header value, a command): each CR and each LF becomes a
// blank.
std::string withoutLineBreaks(std::string_view value);

} // namespace net
