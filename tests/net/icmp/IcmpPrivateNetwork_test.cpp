// Echo failures that need a network of their own: ignored echoes, unreachable reports from a
// packet filter, a small MTU, names that cannot resolve, and another program pinging at the
// same time. Each test runs twice, once with a raw socket and once with a datagram socket
// (the namespace's ping_group_range decides which the echo gets).

#include "common/core/EventLoop.h"
#include "common/net/Ping.h"
#include "common/net/detail/IcmpPacket.h"

#include "RawIcmpSocket.h"
#include "tests/support/DualStackNetwork.h"
#include "tests/support/PrivateNamespace.h"

#include <gtest/gtest.h>

#include <QProcess>

#include <arpa/inet.h>

#include <string>
#include <vector>

using namespace net;

namespace {

enum class SocketKind
{
    Raw,
    Datagram
};

class IcmpPrivateNetwork : public ::testing::TestWithParam<SocketKind>
{
protected:
    std::vector<std::string> events;

    void SetUp() override
    {
        if (!test::insidePrivateNamespace())
            return;
        test::mustRun("ip link set lo up");
        test::setSysctl("net/ipv4/ping_group_range", GetParam() == SocketKind::Raw ? "1 0" : "0 2147483647");
    }

    // A TPing with its events recorded; its socket is the kind of this run.
    std::unique_ptr<TPing> makePing()
    {
        auto ping = std::make_unique<TPing>();
        ping->OnDisplay = [this](TPing&, TICMP& icmp, const std::string& msg) {
            EXPECT_EQ(icmp.usesRawSocket(), GetParam() == SocketKind::Raw);
            events.push_back(msg);
        };
        ping->OnEchoRequest = [this](TPing&, TICMP& icmp) {
            EXPECT_EQ(icmp.usesRawSocket(), GetParam() == SocketKind::Raw);
            events.push_back("request");
        };
        ping->OnEchoReply = [this](TPing&, TICMP&, int status) { events.push_back("reply " + std::to_string(status)); };
        return ping;
    }

    static void rejectEchoesTo(const std::string& address, const std::string& report)
    {
        test::mustRun(
            "iptables -A INPUT -d " + address + " -p icmp --icmp-type echo-request -j REJECT --reject-with " + report);
    }
};

std::string kindName(const ::testing::TestParamInfo<SocketKind>& info)
{
    return info.param == SocketKind::Raw ? "Raw" : "Datagram";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(
    Sockets, IcmpPrivateNetwork, ::testing::Values(SocketKind::Raw, SocketKind::Datagram), kindName);

TEST_P(IcmpPrivateNetwork, IgnoredEchoTimesOut)
{
    RUN_IN_PRIVATE_NETWORK();
    test::setSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    auto ping = makePing();
    ping->setAddress("127.0.0.1");
    ping->setTimeout(300);
    EXPECT_EQ(ping->SendEcho(), 0);
    EXPECT_EQ(events, (std::vector<std::string> { "request", "reply 0" }));
    EXPECT_EQ(ping->ErrorText(), "Request timed out");
    EXPECT_EQ(ping->LastReply().dataSize, 0);
}

TEST_P(IcmpPrivateNetwork, UnreachableReportIsAReplyWithoutData)
{
    RUN_IN_PRIVATE_NETWORK();
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "icmp-net-unreachable", "Destination network unreachable" },
        { "icmp-host-unreachable", "Destination host unreachable" },
        { "icmp-proto-unreachable", "Destination protocol unreachable" },
        { "icmp-port-unreachable", "Destination port unreachable" },
    };
    auto ping = makePing();
    for (size_t i = 0; i < cases.size(); ++i) {
        const std::string address = "127.0.0." + std::to_string(i + 2);
        rejectEchoesTo(address, cases[i].first);
        ping->setAddress(address);
        ASSERT_EQ(ping->SendEcho(), 1) << address << ": " << ping->ErrorText();
        EXPECT_EQ(ping->ErrorText(), cases[i].second);
        EXPECT_EQ(ping->LastReply().status, 11002u + i);
        EXPECT_EQ(ping->LastReply().dataSize, 0) << "a report echoes nothing, so it never passes for a full echo";
        EXPECT_EQ(ping->LastReply().address, inet_addr(address.c_str()));
    }
}

TEST_P(IcmpPrivateNetwork, DontFragmentFlagRefusesWhatTheLinkCannotCarry)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo mtu 1280");
    auto ping = makePing();
    ping->setAddress("127.0.0.1");
    ping->setSize(2000);
    ping->setFlags(IcmpFlagDontFragment);
    EXPECT_EQ(ping->SendEcho(), 0);
    EXPECT_EQ(ping->ErrorText(), "Packet too big");
    ping->setFlags(0);
    ASSERT_EQ(ping->SendEcho(), 1) << ping->ErrorText();
    EXPECT_EQ(ping->LastReply().dataSize, 2000) << "sent in fragments";
}

TEST_P(IcmpPrivateNetwork, NameThatDoesNotResolve)
{
    RUN_IN_PRIVATE_NETWORK();
    const std::string name = "no-such-host.invalid";
    auto ping = makePing();
    ping->setAddress(name);
    EXPECT_EQ(ping->SendEcho(), 0);
    EXPECT_EQ(ping->SendEcho(), 0) << "a failed resolution is tried again";
    EXPECT_EQ(events,
        (std::vector<std::string> { "Unable to resolve " + name,
            "Invalid host address",
            "Unable to resolve " + name,
            "Invalid host address" }));
    EXPECT_EQ(ping->ErrorText(), "Bad Destination");

    std::vector<int> errors;
    ping->OnDnsLookupDone = [&](TPing&, uint16_t error) { errors.push_back(error); };
    ping->DnsLookup(name);
    ASSERT_TRUE(core::waitFor([&] { return !errors.empty(); }, std::chrono::seconds(30)));
    EXPECT_GE(errors.at(0), 11001);
    EXPECT_LE(errors.at(0), 11004);
    EXPECT_TRUE(ping->DnsResult().empty());
}

// ICMPv6 echoes with the same outcomes as IPv4's: answered (::1, a unique-local address, a
// name with only IPv6 addresses), dropped by a packet filter, refused with each kind of
// ICMPv6 report; a name's look-up gives its first address, whatever its family.
TEST_P(IcmpPrivateNetwork, Ipv6EchoesAndReports)
{
    TEST_RUN_IN_CHILD(test::rerunInPrivateNetworkAndMounts());
    test::dualstack::setUp();
    struct Case
    {
        std::string address;
        std::string reject; // an ip6tables REJECT type for echo requests to the address, or ""
        int replies;
        std::string text;
        uint32_t status; // of the reply; 0 also when none came
    };
    const std::vector<Case> cases = {
        { "::1", "", 1, "No error", 0 },
        { "[::1]", "", 1, "No error", 0 },
        { test::dualstack::Ula, "", 1, "No error", 0 },
        { "v6only.test", "", 1, "No error", 0 },
        { test::dualstack::Dead, "", 0, "Request timed out", 0 },
        { "fd00:24::2", "icmp6-no-route", 1, "Destination network unreachable", 11002 },
        { "fd00:24::3", "icmp6-adm-prohibited", 1, "Destination host unreachable", 11003 },
        { "fd00:24::4", "icmp6-addr-unreachable", 1, "Destination host unreachable", 11003 },
        { "fd00:24::5", "icmp6-port-unreachable", 1, "Destination port unreachable", 11005 },
    };
    auto ping = makePing();
    ping->setTimeout(500);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        if (!c.reject.empty()) {
            test::mustRun("ip -6 addr add " + c.address + "/128 dev lo");
            test::mustRun("ip6tables -A INPUT -d " + c.address
                + " -p icmpv6 --icmpv6-type echo-request -j REJECT --reject-with " + c.reject);
        }
        ping->setAddress(c.address);
        EXPECT_EQ(ping->SendEcho(), c.replies);
        EXPECT_EQ(ping->ErrorText(), c.text);
        EXPECT_EQ(ping->LastReply().status, c.status);
        const bool answered = c.replies == 1 && c.status == 0;
        EXPECT_EQ(ping->LastReply().dataSize, answered ? ping->Size() : 0);
        if (answered) {
            EXPECT_EQ(ping->LastReply().ttl, 64) << "the hop limit";
        }
    }

    std::vector<std::string> found;
    ping->OnDnsLookupDone = [&](TPing& sender, uint16_t error) {
        found.push_back(error == 0 ? sender.DnsResult() : std::to_string(error));
    };
    // A newer look-up replaces a pending one: each is waited for in turn.
    for (const char* name : { "v6only.test", "both.test", "v4only.test", "fd00:0024:0::1" }) {
        const std::size_t before = found.size();
        ping->DnsLookup(name);
        ASSERT_TRUE(core::waitFor([&] { return found.size() > before; }, std::chrono::seconds(30)));
    }
    EXPECT_EQ(found, (std::vector<std::string> { "::1", test::dualstack::Dead, "127.0.0.1", test::dualstack::Ula }));
}

// Our requests (TTL 33) are dropped; everyone else's are answered, by a reply at 127.0.0.1 and
// by a host-unreachable report at 127.0.0.7. Neither answer may be taken for ours.
TEST_P(IcmpPrivateNetwork, AnotherPingersAnswersAreNotOurs)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("iptables -A INPUT -p icmp --icmp-type echo-request -m ttl --ttl-eq 33 -j DROP");
    rejectEchoesTo("127.0.0.7", "icmp-host-unreachable");
    QProcess iputils[2];
    const char* targets[2] = { "127.0.0.1", "127.0.0.7" };
    for (int i = 0; i < 2; ++i)
        iputils[i].start("ping", { "-n", "-q", "-i", "0.01", "-w", "2", targets[i] });

    // A second pinger inside the test sends look-alikes (our data and sequence numbers, another
    // identifier) at the moment each of our requests goes out. It learns our data from an echo
    // that passes the filter.
    test::RawIcmpSocket other;
    const uint16_t otherId = 0x5a5a;
    auto ping = makePing();
    ping->setAddress("127.0.0.1");
    ASSERT_EQ(ping->SendEcho(), 1);
    std::string ourData;
    for (const auto& echo : test::RawIcmpSocket::echoes(other.readAll(), 8))
        ourData = echo.data.size() == size_t(ping->Size()) ? echo.data : ourData;
    ASSERT_FALSE(ourData.empty());
    ping->setTTL(33);
    ping->setTimeout(500);
    ping->OnEchoRequest = [&](TPing&, TICMP& icmp) {
        for (uint16_t sequence = 1; sequence <= 4; ++sequence)
            other.send(buildEchoRequest(otherId, sequence, ourData), icmp.ResolvedIP());
    };
    for (const char* target : targets) {
        ping->setAddress(target);
        EXPECT_EQ(ping->SendEcho(), 0) << target << ": " << ping->ErrorText();
        EXPECT_EQ(ping->ErrorText(), "Request timed out") << target;
    }

    const auto packets = other.readAll();
    int otherReplies = 0;
    for (const auto& echo : test::RawIcmpSocket::echoes(packets, 0))
        otherReplies += echo.identifier == otherId;
    EXPECT_GE(otherReplies, 1) << "the look-alikes were answered";
    std::string output;
    for (auto& process : iputils) {
        // The echoes wait in the event loop, which may have seen a ping end already.
        ASSERT_TRUE(process.state() == QProcess::NotRunning || process.waitForFinished(20000));
        output += process.readAll().toStdString();
    }
    EXPECT_EQ(iputils[0].exitCode(), 0) << "ping received replies: " << output;
    EXPECT_NE(iputils[1].exitCode(), 0) << output;
    EXPECT_NE(output.find("errors"), std::string::npos) << "ping received unreachable reports: " << output;
}

// Without cap_net_raw only a datagram socket is possible, and only where the group range
// admits us: the two ways of granting the right that the README describes.
TEST(IcmpPermission, NeedsTheGroupRangeOrRawSockets)
{
    RUN_IN_PRIVATE_NETWORK({ "setpriv", "--bounding-set=-net_raw", "--inh-caps=-net_raw" });
    test::mustRun("ip link set lo up");
    test::setSysctl("net/ipv4/ping_group_range", "1 0");
    try {
        TICMP icmp;
        FAIL() << "opened a socket without the right";
    } catch (const TICMPException& error) {
        EXPECT_EQ(std::string(error.what()), "Unable to get ping handle");
    }
    // The look-up needs no ICMP socket: a program without the right still looks up names.
    TPing ping;
    uint16_t lookupError = 1;
    ping.OnDnsLookupDone = [&](TPing&, uint16_t error) { lookupError = error; };
    ping.DnsLookup("127.0.0.1");
    EXPECT_EQ(lookupError, 0);
    EXPECT_EQ(ping.DnsResult(), "127.0.0.1");
    ping.setAddress("127.0.0.1");
    EXPECT_THROW(ping.SendEcho(), TICMPException);

    test::setSysctl("net/ipv4/ping_group_range", "0 0");
    TICMP icmp;
    EXPECT_FALSE(icmp.usesRawSocket());
    icmp.setAddress("127.0.0.1");
    EXPECT_EQ(icmp.SendEcho(), 1) << icmp.ErrorText();
}
