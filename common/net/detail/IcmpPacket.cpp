#include "IcmpPacket.h"

#include "common/net/IcmpStatus.h"

#include <algorithm>
#include <cstring>

namespace net {

namespace {

enum IcmpType : uint8_t
{
    EchoReply = 0,
    DestUnreachable = 3,
    SourceQuench = 4,
    EchoRequest = 8,
    TimeExceeded = 11,
    ParameterProblem = 12,
    // ICMPv6
    Dest6Unreachable = 1,
    PacketTooBig = 2,
    Time6Exceeded = 3,
    Parameter6Problem = 4,
    Echo6Request = 128,
    Echo6Reply = 129,
};

constexpr int IpMinHeaderSize = 20;
constexpr int Ip6HeaderSize = 40;
constexpr uint8_t ProtocolIcmp = 1;
constexpr uint8_t ProtocolIcmp6 = 58;

uint8_t requestType(const IcmpEchoKey& key)
{
    return key.target.isIPv6() ? Echo6Request : EchoRequest;
}

uint8_t byteAt(std::string_view bytes, size_t at)
{
    return static_cast<uint8_t>(bytes[at]);
}

uint16_t word16(std::string_view bytes, size_t at)
{
    return uint16_t(byteAt(bytes, at) << 8 | byteAt(bytes, at + 1));
}

uint32_t address32(std::string_view bytes, size_t at)
{
    uint32_t address = 0; // stays in network byte order
    std::memcpy(&address, bytes.data() + at, sizeof address);
    return address;
}

// Compares the data that came back (possibly cut short) with what we sent.
bool dataAgrees(std::string_view echoed, std::string_view sent)
{
    if (echoed.size() > sent.size())
        return false;
    return sent.substr(0, echoed.size()) == echoed;
}

bool idAndSequenceAgree(std::string_view icmp, const IcmpEchoKey& key)
{
    return (!key.identifierChecked || word16(icmp, 4) == key.identifier) && word16(icmp, 6) == key.sequence;
}

// The IP header length when `packet` starts with a plausible IPv4 header of an ICMP message.
std::optional<size_t> icmpOffset(std::string_view packet)
{
    if (packet.size() < IpMinHeaderSize || byteAt(packet, 0) >> 4 != 4)
        return std::nullopt;
    const size_t headerSize = size_t(byteAt(packet, 0) & 0x0f) * 4;
    if (headerSize < IpMinHeaderSize || packet.size() < headerSize + IcmpHeaderSize
        || byteAt(packet, 9) != ProtocolIcmp)
        return std::nullopt;
    return headerSize;
}

} // namespace

uint16_t internetChecksum(std::string_view bytes)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        sum += word16(bytes, i);
    if (bytes.size() % 2)
        sum += uint32_t(byteAt(bytes, bytes.size() - 1)) << 8;
    while (sum >> 16)
        sum = (sum & 0xffff) + (sum >> 16);
    return uint16_t(~sum);
}

std::string buildEchoRequest(uint16_t identifier, uint16_t sequence, std::string_view data, bool ipv6)
{
    std::string packet(IcmpHeaderSize, '\0');
    packet[0] = char(ipv6 ? Echo6Request : EchoRequest);
    packet[4] = char(identifier >> 8);
    packet[5] = char(identifier & 0xff);
    packet[6] = char(sequence >> 8);
    packet[7] = char(sequence & 0xff);
    packet.append(data);
    if (ipv6)
        return packet;
    const uint16_t checksum = internetChecksum(packet);
    packet[2] = char(checksum >> 8);
    packet[3] = char(checksum & 0xff);
    return packet;
}

std::optional<uint16_t> matchEchoReply(std::string_view icmp, const IcmpEchoKey& key)
{
    const uint8_t replyType = key.target.isIPv6() ? Echo6Reply : EchoReply;
    if (icmp.size() < IcmpHeaderSize || byteAt(icmp, 0) != replyType || byteAt(icmp, 1) != 0)
        return std::nullopt;
    const std::string_view echoed = icmp.substr(IcmpHeaderSize);
    if (!idAndSequenceAgree(icmp, key) || !dataAgrees(echoed, key.data))
        return std::nullopt;
    return uint16_t(echoed.size());
}

bool quotesEchoRequest(std::string_view quoted, const IcmpEchoKey& key)
{
    // The quote holds at least the 8 header bytes; whatever data it carries must be ours.
    return quoted.size() >= IcmpHeaderSize && byteAt(quoted, 0) == requestType(key) && idAndSequenceAgree(quoted, key)
        && dataAgrees(quoted.substr(IcmpHeaderSize), key.data);
}

std::optional<IcmpEchoReply> matchRawPacket(std::string_view packet, const IcmpEchoKey& key)
{
    const auto offset = icmpOffset(packet);
    if (!offset)
        return std::nullopt;
    const size_t totalLength = word16(packet, 2);
    if (totalLength >= *offset + IcmpHeaderSize && totalLength < packet.size())
        packet = packet.substr(0, totalLength);
    const std::string_view icmp = packet.substr(*offset);

    IcmpEchoReply reply;
    reply.address = address32(packet, 12);
    reply.ttl = byteAt(packet, 8);
    reply.tos = byteAt(packet, 1);
    reply.flags = byteAt(packet, 6) >> 5;
    reply.optionsSize = uint8_t(*offset - IpMinHeaderSize);

    const uint8_t type = byteAt(icmp, 0);
    if (type == EchoReply) {
        // A raw socket may be handed messages whose checksum the kernel has not checked yet.
        if (internetChecksum(icmp) != 0)
            return std::nullopt;
        const auto size = matchEchoReply(icmp, key);
        if (!size)
            return std::nullopt;
        reply.dataSize = *size;
        return reply;
    }
    if (type != DestUnreachable && type != SourceQuench && type != TimeExceeded && type != ParameterProblem)
        return std::nullopt;
    // A report quotes the IP header and the start of the request that caused it.
    std::string_view quote = icmp.substr(IcmpHeaderSize);
    const auto quotedOffset = icmpOffset(quote);
    if (quotedOffset && word16(quote, 2) >= *quotedOffset + IcmpHeaderSize && word16(quote, 2) < quote.size())
        quote = quote.substr(0, word16(quote, 2)); // padding after the quoted request
    if (!quotedOffset || address32(quote, 16) != key.target.ipv4()
        || !quotesEchoRequest(quote.substr(*quotedOffset), key))
        return std::nullopt;
    reply.status = uint32_t(IcmpStatusFromReport(type, byteAt(icmp, 1)));
    return reply;
}

std::optional<IcmpEchoReply> matchRawIcmp6(std::string_view icmp, const IcmpEchoKey& key)
{
    if (icmp.size() < IcmpHeaderSize)
        return std::nullopt;
    IcmpEchoReply reply;
    const uint8_t type = byteAt(icmp, 0);
    if (type == Echo6Reply) {
        // The kernel has checked the checksum of an ICMPv6 message before a raw socket sees it.
        const auto size = matchEchoReply(icmp, key);
        if (!size)
            return std::nullopt;
        reply.dataSize = *size;
        return reply;
    }
    if (type != Dest6Unreachable && type != PacketTooBig && type != Time6Exceeded && type != Parameter6Problem)
        return std::nullopt;
    // A report quotes the IPv6 header and the start of the request that caused it.
    const std::string_view quote = icmp.substr(IcmpHeaderSize);
    if (quote.size() < Ip6HeaderSize + IcmpHeaderSize || byteAt(quote, 0) >> 4 != 6 || byteAt(quote, 6) != ProtocolIcmp6)
        return std::nullopt;
    const in6_addr target = key.target.ipv6();
    if (std::memcmp(quote.data() + 24, &target, sizeof target) != 0)
        return std::nullopt;
    std::string_view request = quote.substr(Ip6HeaderSize);
    const size_t payload = word16(quote, 4);
    if (payload >= IcmpHeaderSize && payload < request.size())
        request = request.substr(0, payload);
    if (!quotesEchoRequest(request, key))
        return std::nullopt;
    reply.status = uint32_t(Icmp6StatusFromReport(type, byteAt(icmp, 1)));
    return reply;
}

} // namespace net
