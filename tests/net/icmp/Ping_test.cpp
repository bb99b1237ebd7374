#include "common/core/EventLoop.h"
#include "common/net/Ping.h"

#include <gtest/gtest.h>

#include <QThreadPool>

#include <stdexcept>
#include <string>
#include <vector>

using namespace net;
using namespace std::chrono_literals;

namespace {

class PingLookup : public ::testing::Test
{
protected:
    TPing ping;
    std::vector<int> errors; // of each OnDnsLookupDone, in order

    void SetUp() override
    {
        ping.OnDnsLookupDone = [this](TPing& sender, uint16_t error) {
            EXPECT_EQ(&sender, &ping);
            errors.push_back(error);
        };
    }

    // Lets every look-up thread finish and delivers whatever it posted.
    static void settle()
    {
        QThreadPool::globalInstance()->waitForDone();
        core::waitFor([] { return false; }, 20ms);
    }
};

} // namespace

TEST(Ping, PropertiesPassThroughAndEventsComeFromThePing)
{
    TPing ping;
    ping.setSize(32);
    ping.setTimeout(1500);
    ping.setTTL(40);
    ping.setAddress("127.0.0.1");
    std::vector<std::string> events;
    ping.OnEchoRequest = [&](TPing& sender, TICMP& icmp) {
        EXPECT_EQ(&sender, &ping);
        events.push_back("request size " + std::to_string(icmp.Size()) + " ttl " + std::to_string(icmp.TTL()));
    };
    ping.OnEchoReply = [&](TPing& sender, TICMP& icmp, int status) {
        EXPECT_EQ(&sender, &ping);
        events.push_back("reply " + std::to_string(status) + " timeout " + std::to_string(icmp.Timeout()));
    };
    ping.OnDisplay = [&](TPing& sender, TICMP&, const std::string& msg) {
        EXPECT_EQ(&sender, &ping);
        events.push_back(msg);
    };
    ASSERT_EQ(ping.SendEcho(), 1) << ping.ErrorText();
    EXPECT_EQ(ping.LastReply().dataSize, 32);
    EXPECT_EQ(ping.ResolvedIP(), "127.0.0.1");
    ping.setAddress("255.255.255.255");
    EXPECT_EQ(ping.SendEcho(), 0);
    EXPECT_EQ(events,
        (std::vector<std::string> { "request size 32 ttl 40", "reply 1 timeout 1500", "Invalid host address" }));
}

TEST_F(PingLookup, DottedTextCompletesBeforeTheCallReturns)
{
    ping.DnsLookup("127.000.000.001");
    EXPECT_EQ(errors, (std::vector<int> { 0 }));
    EXPECT_EQ(ping.DnsResult(), "127.0.0.1");
    ping.DnsLookup("127.258"); // the short form: 127.0.1.2
    EXPECT_EQ(ping.DnsResult(), "127.0.1.2");
}

TEST_F(PingLookup, NewerLookupReplacesAPendingOneWithoutItsEvent)
{
    ping.DnsLookup("localhost");
    ping.DnsLookup("localhost");
    EXPECT_TRUE(errors.empty()) << "a name completes later, on this thread";
    ASSERT_TRUE(core::waitFor([&] { return !errors.empty(); }, 10s));
    settle();
    EXPECT_EQ(errors, (std::vector<int> { 0 }));
    EXPECT_EQ(ping.DnsResult(), "127.0.0.1");

    errors.clear();
    ping.DnsLookup("localhost");
    ping.DnsLookup("127.0.0.2");
    settle();
    EXPECT_EQ(errors, (std::vector<int> { 0 }));
    EXPECT_EQ(ping.DnsResult(), "127.0.0.2");
}

TEST_F(PingLookup, CancelReportsAnInterruptedCallOnlyWhenSomethingPends)
{
    ping.CancelDnsLookup();
    EXPECT_TRUE(errors.empty());
    ping.DnsLookup("localhost");
    ping.CancelDnsLookup();
    EXPECT_EQ(errors, (std::vector<int> { 10004 }));
    EXPECT_TRUE(ping.DnsResult().empty());

    // Going away with a look-up pending: no event, and no call into the freed component.
    auto doomed = std::make_unique<TPing>();
    doomed->OnDnsLookupDone = [&](TPing&, uint16_t error) { errors.push_back(error); };
    doomed->DnsLookup("localhost");
    doomed.reset();
    settle();
    EXPECT_EQ(errors, (std::vector<int> { 10004 }));
}

TEST_F(PingLookup, NameTheResolverCannotTakeRaises)
{
    const std::string name(300, 'x');
    try {
        ping.DnsLookup(name);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_EQ(std::string(error.what()), name + ": can't start DNS lookup, error #10022");
    }
    EXPECT_TRUE(errors.empty());
}
