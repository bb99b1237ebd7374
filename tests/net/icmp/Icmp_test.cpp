#include "common/net/Icmp.h"
#include "common/net/IcmpStatus.h"

#include "RawIcmpSocket.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

#include <string>
#include <vector>

using namespace net;

namespace {

class IcmpLoopback : public ::testing::Test
{
protected:
    TICMP icmp;
    std::vector<std::string> events;

    void SetUp() override
    {
        icmp.OnDisplay = [this](TICMP& sender, const std::string& msg) {
            EXPECT_EQ(&sender, &icmp);
            events.push_back("display " + msg);
        };
        icmp.OnEchoRequest = [this](TICMP&) { events.push_back("request"); };
        icmp.OnEchoReply = [this](TICMP&, int status) { events.push_back("reply " + std::to_string(status)); };
    }
};

} // namespace

TEST_F(IcmpLoopback, EchoOfTheDefaultSizeReportsItsReply)
{
    EXPECT_EQ(icmp.Size(), 56);
    EXPECT_EQ(icmp.TTL(), 64);
    EXPECT_EQ(icmp.Timeout(), 4000u);
    icmp.setAddress("127.0.0.1");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.ErrorText();
    EXPECT_EQ(events, (std::vector<std::string> { "request", "reply 1" }));
    const IcmpEchoReply& reply = icmp.LastReply();
    EXPECT_EQ(reply.status, 0u);
    EXPECT_EQ(reply.dataSize, 56);
    EXPECT_EQ(reply.ttl, 64);
    EXPECT_LE(reply.roundTripTime, icmp.Timeout());
    EXPECT_EQ(reply.address, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(icmp.LastError(), 0);
    EXPECT_EQ(icmp.ErrorText(), "No error");
    EXPECT_EQ(icmp.ResolvedIP(), "127.0.0.1");
    EXPECT_EQ(icmp.ResolvedName(), "127.0.0.1");
}

TEST_F(IcmpLoopback, RequestDataIsTheSignatureCutOrPaddedWithSpaces)
{
    test::RawIcmpSocket watcher;
    icmp.setAddress("127.0.0.1");
    std::vector<std::string> sent;
    for (const int size : { 10, 45, 100, 0 }) {
        icmp.setSize(size);
        ASSERT_EQ(icmp.SendEcho(), 1) << size;
        EXPECT_EQ(icmp.LastReply().dataSize, size);
        std::string data;
        for (const auto& echo : test::RawIcmpSocket::echoes(watcher.readAll(), 8))
            data = echo.data.size() == size_t(size) ? echo.data : data;
        sent.push_back(data);
    }
    const std::string& longest = sent[2];
    ASSERT_EQ(longest.size(), 100u);
    EXPECT_EQ(sent[0], longest.substr(0, 10));
    EXPECT_EQ(sent[1], longest.substr(0, 45));
    EXPECT_NE(longest[44], ' ');
    EXPECT_EQ(longest.substr(45), std::string(55, ' '));
}

TEST_F(IcmpLoopback, NameIsResolvedAgainOnlyWhenTheAddressTextChanges)
{
    int lookups = 0;
    icmp.setNameLookup([&](const std::string& host, std::string& name, std::string& address) {
        ++lookups;
        return TICMP::lookupName(host, name, address);
    });
    icmp.setAddress("localhost");
    ASSERT_EQ(icmp.SendEcho(), 1) << icmp.ErrorText();
    icmp.setAddress("localhost");
    ASSERT_EQ(icmp.SendEcho(), 1);
    EXPECT_EQ(lookups, 1);
    EXPECT_EQ(icmp.ResolvedName().rfind("localhost", 0), 0u) << icmp.ResolvedName(); // the official name
    // The first address of either family: a system's hosts file may give ::1 first.
    EXPECT_TRUE(icmp.ResolvedIP() == "127.0.0.1" || icmp.ResolvedIP() == "::1") << icmp.ResolvedIP();

    icmp.setAddress("127.1"); // numeric text needs no look-up
    ASSERT_EQ(icmp.SendEcho(), 1);
    EXPECT_EQ(icmp.ResolvedName(), "127.1");
    EXPECT_EQ(icmp.ResolvedIP(), "127.0.0.1");
    icmp.setAddress("localhost");
    ASSERT_EQ(icmp.SendEcho(), 1);
    EXPECT_EQ(lookups, 2);
}

TEST_F(IcmpLoopback, AllOnesAddressAndOversizedRequestAreRefused)
{
    icmp.setAddress("255.255.255.255");
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(events, (std::vector<std::string> { "display Invalid host address" }));
    EXPECT_EQ(icmp.LastError(), 11018);

    events.clear();
    icmp.setAddress("127.0.0.1");
    icmp.setSize(65501);
    EXPECT_EQ(icmp.SendEcho(), 0);
    EXPECT_EQ(events, (std::vector<std::string> { "request", "reply 0" }));
    EXPECT_EQ(icmp.ErrorText(), "Bad request");
}

TEST(IcmpStatus, CodesOutsideTheTableReadAsNumbers)
{
    EXPECT_EQ(IcmpStatusText(11022), "ICMP error #11022");
    EXPECT_EQ(IcmpStatusText(-7), "ICMP error #-7");
}
