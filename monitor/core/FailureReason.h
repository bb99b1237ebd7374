#pragma once

// Why an attempt failed, in a few words, for the one line a monitoring system shows of a check
// ("mail relay (connection refused)"). Probes keep the reason of their last attempt.

#include <string>

namespace monitor {

inline constexpr const char* TimedOutReason = "timed out";

// A socket error number as a reason: "connection refused", "host not found".
std::string socketFailureReason(int winsockError);
// A text as a reason: its first line without a trailing " (Error #N)", begun in a small letter
// unless its first word is in capitals (a server's "ERR", "HTTP 503"), at most 60 characters.
std::string shortReason(const std::string& text);

} // namespace monitor
