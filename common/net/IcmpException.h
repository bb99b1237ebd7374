#pragma once

// Raised when the ICMP echo service cannot be set up; carries one of the fixed texts below.

#include <stdexcept>

namespace net {

class TICMPException : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// No IPv4 socket support at all.
inline constexpr const char* IcmpErrorInitialising = "Error initialising Winsock";
// The kernel offers no ICMP sockets.
inline constexpr const char* IcmpErrorRegistering = "Unable to register icmp.dll";
// A socket opened but refused an option the echo needs.
inline constexpr const char* IcmpErrorLoadingFunctions = "Error loading dll functions";
// Neither socket kind is permitted (group range or cap_net_raw missing), or out of descriptors.
inline constexpr const char* IcmpErrorNoHandle = "Unable to get ping handle";

} // namespace net
