#pragma once

// ICMP echo codec (RFC 792): building a request and recognising the answers to it. A raw socket
// sees every ICMP message of the machine, so an answer counts only when it carries our
// identifier and sequence and echoes (or quotes) our data: another program pinging the same
// host never makes a silent host look alive.

#include "common/net/IcmpEchoReply.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// What identifies one echo request on the wire.
struct IcmpEchoKey
{
    uint32_t target = 0; // destination, network byte order
    uint16_t identifier = 0; // ignored when !identifierChecked (the kernel owns it)
    uint16_t sequence = 0;
    bool identifierChecked = true;
    std::string_view data; // the request's data
};

inline constexpr int IcmpHeaderSize = 8;

// RFC 1071 one's-complement sum over the bytes.
uint16_t internetChecksum(std::string_view bytes);
// An echo request (type 8) with its checksum.
std::string buildEchoRequest(uint16_t identifier, uint16_t sequence, std::string_view data);

// The echoed data size when `icmp` (an ICMP message without IP header) is the echo reply to the
// request of `key`.
std::optional<uint16_t> matchEchoReply(std::string_view icmp, const IcmpEchoKey& key);
// Whether `quoted` (the ICMP part of a request quoted in an error report) is our request.
bool quotesEchoRequest(std::string_view quoted, const IcmpEchoKey& key);
// A packet as a raw socket reads it, IP header first: the reply header when it is our echo
// reply or a report about our request. The round-trip time is left to the caller.
std::optional<IcmpEchoReply> matchRawPacket(std::string_view packet, const IcmpEchoKey& key);

} // namespace net
