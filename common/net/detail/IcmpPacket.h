#pragma once

// ICMP echo codec, IPv4 (RFC 792) and IPv6 (RFC 4443): building a request and recognising the
// answers to it. A raw socket sees every ICMP message of the machine, so an answer counts only
// when it carries our identifier and sequence and echoes (or quotes) our data: another program
// pinging the same host never makes a silent host look alive.

#include "common/net/IcmpEchoReply.h"
#include "common/net/SocketAddress.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace net {

// What identifies one echo request on the wire.
struct IcmpEchoKey
{
    SocketAddress target; // destination; its family says ICMP or ICMPv6
    uint16_t identifier = 0; // ignored when !identifierChecked (the kernel owns it)
    uint16_t sequence = 0;
    bool identifierChecked = true;
    std::string_view data; // the request's data
};

inline constexpr int IcmpHeaderSize = 8;

// RFC 1071 one's-complement sum over the bytes.
uint16_t internetChecksum(std::string_view bytes);
// An echo request: type 8 with its checksum, or for IPv6 type 128 with the checksum left to
// the kernel (it covers a pseudo-header that only the kernel knows in full).
std::string buildEchoRequest(uint16_t identifier, uint16_t sequence, std::string_view data, bool ipv6 = false);

// The echoed data size when `icmp` (an ICMP or ICMPv6 message without IP header, as the key's
// family says) is the echo reply to the request of `key`.
std::optional<uint16_t> matchEchoReply(std::string_view icmp, const IcmpEchoKey& key);
// Whether `quoted` (the ICMP part of a request quoted in an error report) is our request.
bool quotesEchoRequest(std::string_view quoted, const IcmpEchoKey& key);
// A packet as a raw IPv4 socket reads it, IP header first: the reply header when it is our echo
// reply or a report about our request. The round-trip time is left to the caller.
std::optional<IcmpEchoReply> matchRawPacket(std::string_view packet, const IcmpEchoKey& key);
// An ICMPv6 message as a raw IPv6 socket reads it (no IP header; the hop limit comes apart):
// the same for IPv6. A report quotes the request's IPv6 header and the request.
std::optional<IcmpEchoReply> matchRawIcmp6(std::string_view icmp, const IcmpEchoKey& key);

} // namespace net
