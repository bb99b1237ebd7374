// The echo that waits in the event loop: nothing happens inside start, the reply, the time-out,
// an unreachable report and a name that does not resolve arrive as events with TICMP's texts,
// echoes run side by side, and a handler may start the next echo or drop this one. Each case
// in a private network runs once with a raw and once with a datagram socket.

#include "common/core/EventLoop.h"
#include "common/net/AsyncEcho.h"

#include "tests/support/PrivateNamespace.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

using namespace net;
using namespace std::chrono_literals;

namespace {

// An echo with its events recorded in order.
struct RecordedEcho
{
    AsyncEcho echo;
    std::vector<std::string> events;
    bool ended = false;

    explicit RecordedEcho(const std::string& address, uint32_t timeout = 2000)
    {
        echo.setAddress(address);
        echo.setTimeout(timeout);
        echo.OnDisplay = [this](const std::string& msg) { events.push_back(msg); };
        echo.OnEchoReply = [this](int status) { events.push_back("reply " + std::to_string(status)); };
    }

    void start()
    {
        ended = false;
        echo.start([this](int replies) {
            events.push_back("done " + std::to_string(replies));
            ended = true;
        });
    }

    bool wait()
    {
        return core::waitFor([this] { return ended; }, 30s);
    }
};

enum class SocketKind
{
    Raw,
    Datagram
};

class AsyncEchoNetwork : public ::testing::TestWithParam<SocketKind>
{
protected:
    void SetUp() override
    {
        if (!test::insidePrivateNamespace())
            return;
        test::mustRun("ip link set lo up");
        test::setSysctl("net/ipv4/ping_group_range", GetParam() == SocketKind::Raw ? "1 0" : "0 2147483647");
    }
};

std::string kindName(const ::testing::TestParamInfo<SocketKind>& info)
{
    return info.param == SocketKind::Raw ? "Raw" : "Datagram";
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Sockets, AsyncEchoNetwork, ::testing::Values(SocketKind::Raw, SocketKind::Datagram), kindName);

TEST(AsyncEcho, AnsweredEchoArrivesAsEventsAfterStartReturns)
{
    RecordedEcho e("127.0.0.1");
    e.start();
    EXPECT_TRUE(e.events.empty()) << "nothing happens inside start";
    EXPECT_TRUE(e.echo.busy());
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "reply 1", "done 1" }));
    EXPECT_EQ(e.echo.LastReply().dataSize, 56);
    EXPECT_EQ(e.echo.ErrorText(), "No error");
    EXPECT_EQ(e.echo.ResolvedIP(), "127.0.0.1");
    EXPECT_FALSE(e.echo.busy());
}

TEST(AsyncEcho, AHandlerMayStartTheNextEchoOrDropThisOne)
{
    RecordedEcho e("127.0.0.1");
    int rounds = 0;
    e.echo.OnEchoReply = [&](int) {
        if (++rounds == 1)
            e.echo.cancel(); // dropped: no done for it
    };
    e.start();
    EXPECT_FALSE(core::waitFor([&] { return e.ended; }, 200ms));
    EXPECT_EQ(rounds, 1);
    // From inside done, the next echo starts and ends in its turn.
    int ends = 0;
    std::function<void(int)> again = [&](int) {
        if (++ends < 3)
            e.echo.start(again);
    };
    e.echo.start(again);
    ASSERT_TRUE(core::waitFor([&] { return ends == 3; }, 10s));
    EXPECT_EQ(rounds, 4);
}

TEST(AsyncEcho, ABadSizeIsABadRequestWithoutASend)
{
    RecordedEcho e("127.0.0.1");
    e.echo.setSize(70000);
    e.start();
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "reply 0", "done 0" }));
    EXPECT_EQ(e.echo.ErrorText(), "Bad request");
}

TEST_P(AsyncEchoNetwork, IgnoredEchoTimesOut)
{
    RUN_IN_PRIVATE_NETWORK();
    test::setSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    RecordedEcho e("127.0.0.1", 300);
    e.start();
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "reply 0", "done 0" }));
    EXPECT_EQ(e.echo.ErrorText(), "Request timed out");
    EXPECT_EQ(e.echo.usesRawSocket(), GetParam() == SocketKind::Raw);
}

TEST_P(AsyncEchoNetwork, UnreachableReportIsAReplyWithoutData)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("iptables -A INPUT -d 127.0.0.3 -p icmp --icmp-type echo-request -j REJECT --reject-with "
                  "icmp-host-unreachable");
    RecordedEcho e("127.0.0.3");
    e.start();
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "reply 1", "done 1" }));
    EXPECT_EQ(e.echo.ErrorText(), "Destination host unreachable");
    EXPECT_EQ(e.echo.LastReply().dataSize, 0);
}

TEST_P(AsyncEchoNetwork, NameThatDoesNotResolve)
{
    RUN_IN_PRIVATE_NETWORK();
    const std::string name = "no-such-host.invalid";
    RecordedEcho e(name);
    e.start();
    EXPECT_TRUE(e.events.empty());
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "Unable to resolve " + name, "Invalid host address", "done 0" }));
    EXPECT_EQ(e.echo.ErrorText(), "Bad Destination");
    RecordedEcho empty("");
    empty.start();
    ASSERT_TRUE(empty.wait());
    EXPECT_EQ(empty.events, (std::vector<std::string> { "Unable to resolve ", "Invalid host address", "done 0" }));
}

// Twenty echoes in flight at once, to hosts that answer and to hosts that do not: each gets
// its own answer, and the silent ones all time out together rather than one after another.
TEST_P(AsyncEchoNetwork, EchoesSideBySide)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("iptables -A INPUT -s 127.0.0.0/8 -d 127.0.1.0/24 -p icmp --icmp-type echo-request -j DROP");
    std::vector<std::unique_ptr<RecordedEcho>> echoes;
    for (int i = 0; i < 20; ++i) {
        const std::string address = (i % 2 ? "127.0.1." : "127.0.0.") + std::to_string(i + 1);
        echoes.push_back(std::make_unique<RecordedEcho>(address, 500));
    }
    const auto started = std::chrono::steady_clock::now();
    for (auto& e : echoes)
        e->start();
    for (auto& e : echoes)
        ASSERT_TRUE(e->wait());
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    for (size_t i = 0; i < echoes.size(); ++i) {
        const int expected = i % 2 ? 0 : 1;
        EXPECT_EQ(echoes[i]->events.back(), "done " + std::to_string(expected)) << echoes[i]->echo.Address();
        if (expected) {
            EXPECT_EQ(echoes[i]->echo.LastReply().address, inet_addr(echoes[i]->echo.Address().c_str()));
        }
    }
}

TEST(AsyncEchoPermission, WithoutTheRightStartThrowsAndNothingElseHappens)
{
    RUN_IN_PRIVATE_NETWORK({ "setpriv", "--bounding-set=-net_raw", "--inh-caps=-net_raw" });
    test::mustRun("ip link set lo up");
    test::setSysctl("net/ipv4/ping_group_range", "1 0");
    RecordedEcho e("127.0.0.1");
    EXPECT_THROW(e.start(), TICMPException);
    EXPECT_FALSE(e.echo.busy());
    EXPECT_FALSE(core::waitFor([&] { return !e.events.empty(); }, 100ms));
    // Granted later, the next echo opens its socket.
    test::setSysctl("net/ipv4/ping_group_range", "0 2147483647");
    e.start();
    ASSERT_TRUE(e.wait());
    EXPECT_EQ(e.events, (std::vector<std::string> { "reply 1", "done 1" }));
}
