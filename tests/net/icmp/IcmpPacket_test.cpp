#include "common/net/detail/IcmpPacket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

using namespace net;

namespace {

uint32_t ip(const char* text)
{
    return inet_addr(text);
}

std::string ipPacket(uint32_t source, uint32_t destination, const std::string& payload, uint8_t ttl = 64)
{
    std::string header(20, '\0');
    header[0] = char(0x45);
    const size_t total = header.size() + payload.size();
    header[2] = char(total >> 8);
    header[3] = char(total & 0xff);
    header[8] = char(ttl);
    header[9] = char(1);
    header.replace(12, 4, reinterpret_cast<const char*>(&source), 4);
    header.replace(16, 4, reinterpret_cast<const char*>(&destination), 4);
    return header + payload;
}

std::string echoReply(uint16_t identifier, uint16_t sequence, const std::string& data)
{
    std::string reply = buildEchoRequest(identifier, sequence, data);
    reply[0] = reply[2] = reply[3] = '\0';
    const uint16_t checksum = internetChecksum(reply);
    reply[2] = char(checksum >> 8);
    reply[3] = char(checksum & 0xff);
    return reply;
}

std::string report(uint8_t type, uint8_t code, const std::string& quotedPacket)
{
    return std::string { char(type), char(code), 0, 0, 0, 0, 0, 0 } + quotedPacket;
}

class IcmpPacketMatch : public ::testing::Test
{
protected:
    const std::string data = "signature and padding  ";
    const uint32_t target = ip("127.0.0.9");
    const uint32_t us = ip("127.0.0.1");
    IcmpEchoKey key { SocketAddress::ipv4(target), 0x1234, 7, true, data };

    std::optional<IcmpEchoReply> fromTarget(const std::string& icmp)
    {
        return matchRawPacket(ipPacket(target, us, icmp, 61), key);
    }
    std::string ourRequestAsSent(uint16_t identifier = 0x1234, uint32_t to = 0)
    {
        return ipPacket(us, to ? to : target, buildEchoRequest(identifier, 7, data));
    }
};

} // namespace

TEST_F(IcmpPacketMatch, OnlyTheReplyWithOurIdentifierSequenceAndDataCounts)
{
    ASSERT_TRUE(fromTarget(echoReply(0x1234, 7, data)));
    EXPECT_FALSE(fromTarget(echoReply(0x1235, 7, data))) << "another program's identifier";
    EXPECT_FALSE(fromTarget(echoReply(0x1234, 8, data))) << "another sequence";
    EXPECT_FALSE(fromTarget(echoReply(0x1234, 7, "another program's data!"))) << "a look-alike";
    std::string corrupt = echoReply(0x1234, 7, data);
    corrupt.back() ^= 1;
    EXPECT_FALSE(fromTarget(corrupt)) << "bad checksum";

    const auto cut = fromTarget(echoReply(0x1234, 7, data.substr(0, 5)));
    ASSERT_TRUE(cut) << "a host may echo less than it got";
    EXPECT_EQ(cut->dataSize, 5);

    const std::string whole = ipPacket(target, us, echoReply(0x1234, 7, data));
    for (size_t length = 0; length < 28; ++length)
        EXPECT_FALSE(matchRawPacket(whole.substr(0, length), key)) << length;
}

TEST_F(IcmpPacketMatch, ReportCountsOnlyWhenItQuotesOurRequest)
{
    const uint32_t router = ip("127.0.0.254");
    const auto expired = matchRawPacket(ipPacket(router, us, report(11, 0, ourRequestAsSent().substr(0, 28))), key);
    ASSERT_TRUE(expired) << "a quote of the header alone is enough";
    EXPECT_EQ(expired->status, 11013u);

    EXPECT_FALSE(matchRawPacket(ipPacket(router, us, report(3, 1, ourRequestAsSent(0x4321))), key))
        << "a report about another program's request";
    EXPECT_FALSE(matchRawPacket(ipPacket(router, us, report(3, 1, ourRequestAsSent(0x1234, ip("127.0.0.8")))), key))
        << "a report about a request to another host";
    EXPECT_FALSE(matchRawPacket(ipPacket(router, us, report(3, 1, ourRequestAsSent().substr(0, 27))), key));
}

// ICMPv6 as a raw socket reads it: no IP header; a report quotes the request's IPv6 header.
TEST(Icmp6PacketMatch, ReplyAndReportsAboutOurRequestOnly)
{
    const std::string data = "signature and padding  ";
    const IcmpEchoKey key { *SocketAddress::fromNumeric("fd00::9"), 0x1234, 7, true, data };
    const auto reply = [&](uint16_t identifier, const std::string& echoed) {
        std::string packet = buildEchoRequest(identifier, 7, echoed, true);
        packet[0] = char(129);
        return packet;
    };
    const auto quoting = [&](uint8_t type, uint8_t code, const char* destination, uint16_t identifier) {
        const std::string request = buildEchoRequest(identifier, 7, data, true);
        std::string header(40, '\0');
        header[0] = char(0x60);
        header[4] = char(request.size() >> 8);
        header[5] = char(request.size() & 0xff);
        header[6] = char(58);
        const in6_addr to = SocketAddress::fromNumeric(destination)->ipv6();
        header.replace(24, 16, reinterpret_cast<const char*>(&to), 16);
        return report(type, code, header + request);
    };
    EXPECT_EQ(buildEchoRequest(1, 7, data, true)[0], char(128));
    const auto echoed = matchRawIcmp6(reply(0x1234, data), key);
    ASSERT_TRUE(echoed);
    EXPECT_EQ(echoed->dataSize, data.size());
    EXPECT_FALSE(matchRawIcmp6(reply(0x1235, data), key)) << "another program's identifier";
    EXPECT_FALSE(matchRawIcmp6(reply(0x1234, "another program's data!"), key));

    struct Case
    {
        uint8_t type, code;
        uint32_t status;
    };
    for (const Case c : { Case { 1, 0, 11002 }, Case { 1, 1, 11003 }, Case { 1, 3, 11003 }, Case { 1, 4, 11005 },
             Case { 2, 0, 11009 }, Case { 3, 0, 11013 }, Case { 3, 1, 11014 }, Case { 4, 0, 11015 } }) {
        const auto answer = matchRawIcmp6(quoting(c.type, c.code, "fd00::9", 0x1234), key);
        ASSERT_TRUE(answer) << int(c.type) << "/" << int(c.code);
        EXPECT_EQ(answer->status, c.status);
        EXPECT_EQ(answer->dataSize, 0);
    }
    EXPECT_FALSE(matchRawIcmp6(quoting(1, 3, "fd00::8", 0x1234), key)) << "a request to another host";
    EXPECT_FALSE(matchRawIcmp6(quoting(1, 3, "fd00::9", 0x4321), key)) << "another program's request";
    EXPECT_FALSE(matchRawIcmp6(quoting(1, 3, "fd00::9", 0x1234).substr(0, 55), key)) << "cut short";
}
