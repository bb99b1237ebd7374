#pragma once

// IP status codes of an echo, and the ICMP messages and send errors that map to them.

#include <string>

namespace net {

inline constexpr int IcmpStatusSuccess = 0;
inline constexpr int IcmpStatusBadRequest = 11011;
inline constexpr int IcmpStatusTimedOut = 11010;
inline constexpr int IcmpStatusBadDestination = 11018;
inline constexpr int IcmpStatusGeneralFailure = 11050;

// The text of a status code; "ICMP error #" and the code for codes outside the table.
std::string IcmpStatusText(int code);
// The status of an ICMP error report (destination unreachable, time exceeded, ...).
int IcmpStatusFromReport(int type, int code);
// The same for an ICMPv6 error report (RFC 4443).
int Icmp6StatusFromReport(int type, int code);
// The status when the kernel refuses to send the request (an errno value).
int IcmpStatusFromSendError(int error);

} // namespace net
