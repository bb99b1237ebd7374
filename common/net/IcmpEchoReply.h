#pragma once

// The header of one answer to an echo request, as the echo classes report it. The echoed data
// itself is never kept.

#include <cstdint>

namespace net {

// Bit of `TICMP::Flags` that forbids fragmentation of the request (path-MTU discovery on).
inline constexpr int IcmpFlagDontFragment = 0x02;

struct IcmpEchoReply
{
    uint32_t address = 0; // replying node, network byte order
    uint32_t status = 0; // IP status code: 0 for an echo reply, 11002 and up for a report
    uint32_t roundTripTime = 0; // milliseconds from sending to receiving
    uint16_t dataSize = 0; // bytes echoed back; 0 for a report, which echoes nothing
    uint8_t ttl = 0; // time-to-live of the answer as it arrived
    uint8_t tos = 0; // type of service of the answer
    uint8_t flags = 0; // IP header flags of the answer (raw socket only)
    uint8_t optionsSize = 0; // bytes of IP options in the answer (raw socket only)
};

} // namespace net
