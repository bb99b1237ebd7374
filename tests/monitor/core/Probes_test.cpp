// The PING and TCP probes against real sockets: on loopback, and in private network
// namespaces where echoes are ignored or rejected, packets are dropped, names cannot resolve
// and this user may not open an ICMP socket. Then a pass of the real engine over them.

#include "ControllerFixture.h"

#include "common/core/EventLoop.h"
#include "monitor/core/PingProbe.h"
#include "monitor/core/TcpProbe.h"
#include "tests/support/PrivateNamespace.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace monitor;
using namespace std::chrono;
using namespace std::chrono_literals;

namespace {

struct RecordedLines final : ProbeLines
{
    std::vector<std::string> activityLines;
    std::vector<std::string> logLines;
    void activity(const std::string& line) override { activityLines.push_back(line); }
    void log(const std::string& line) override { logLines.push_back(line); }
};

// A listening socket on loopback; closed, its port refuses.
struct Listener
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::string port;

    explicit Listener(const char* address = "127.0.0.1")
    {
        sockaddr_in sin {};
        sin.sin_family = AF_INET;
        sin.sin_addr.s_addr = inet_addr(address);
        ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin);
        ::listen(fd, 64);
        socklen_t length = sizeof sin;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length);
        port = std::to_string(ntohs(sin.sin_port));
    }
    ~Listener() { close(); }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

struct Outcome
{
    bool ended = false;
    bool ok = false;
    milliseconds took {};
    RecordedLines lines;
};

TestContext contextFor(const std::string& ip, const std::string& port = "")
{
    Destination row = Destination::added("host", ip, port.empty() ? "PING" : "TCP", port);
    return TestContext::of(row, 1, QDateTime::currentDateTime());
}

void attempt(Probe& probe, const TestContext& context, Outcome& outcome, Attempt kind = Attempt::First)
{
    const auto started = steady_clock::now();
    outcome = Outcome {};
    probe.start(context, kind, outcome.lines, [&, started](bool ok) {
        outcome.ok = ok;
        outcome.ended = true;
        outcome.took = duration_cast<milliseconds>(steady_clock::now() - started);
    });
    ASSERT_TRUE(core::waitFor([&] { return outcome.ended; }, 30s));
}

class ProbeFixture : public ::testing::Test
{
protected:
    MonitorSettings settings;
    Outcome outcome;

    void SetUp() override
    {
        if (!test::insidePrivateNamespace())
            return;
        test::mustRun("ip link set lo up");
        test::setSysctl("net/ipv4/ping_group_range", "0 2147483647");
    }
};

} // namespace

TEST_F(ProbeFixture, TcpOpenRefusedAndTheSocketLayersErrors)
{
    TcpProbe probe(settings);
    Listener open;
    attempt(probe, contextFor("127.0.0.1", open.port), outcome);
    EXPECT_TRUE(outcome.ok);
    EXPECT_TRUE(outcome.lines.activityLines.empty());

    Listener closed;
    closed.close();
    attempt(probe, contextFor("127.0.0.1", closed.port), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_TRUE(outcome.lines.activityLines.empty());

    struct Case
    {
        std::string ip;
        std::string port;
        std::string message;
    };
    const std::vector<Case> cases = {
        { "127.0.0.1", "", "Connect: No Port Specified" },
        { "127.0.0.1", "99999", "connect: WSocketResolvePort: Invalid Port." },
        { "127.0.0.1",
            "no-such-service",
            "connect: WSocketResolvePort: Cannot convert port 'no-such-service', Error #11004" },
        { "", "80", "Connect: No IP Address Specified" },
        { std::string(300, 'x'),
            "80",
            "connect: WSocketResolveHost: '" + std::string(300, 'x') + "' Invalid Hostname." },
    };
    for (const Case& c : cases) {
        attempt(probe, contextFor(c.ip, c.port), outcome);
        EXPECT_FALSE(outcome.ok) << c.message;
        EXPECT_EQ(outcome.lines.activityLines, std::vector<std::string> { c.message });
        attempt(probe, contextFor(c.ip, c.port), outcome, Attempt::Retry);
        EXPECT_TRUE(outcome.lines.activityLines.empty()) << "a retry's errors give no message";
    }
    // Still whole after all that.
    attempt(probe, contextFor("127.0.0.1", open.port), outcome);
    EXPECT_TRUE(outcome.ok);
}

TEST_F(ProbeFixture, TcpDroppedFailsAtTheTimeOutOrAtOnceOnAbort)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("iptables -A INPUT -d 127.0.0.9 -p tcp -j DROP");
    settings.of(Service::Tcp).timeOut = 500ms;
    TcpProbe probe(settings);
    attempt(probe, contextFor("127.0.0.9", "80"), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_GE(outcome.took, 450ms);
    EXPECT_LT(outcome.took, 5s);

    settings.of(Service::Tcp).timeOut = 60s;
    core::Timer abortSoon;
    abortSoon.setOnTimeout([&] { probe.abort(); });
    abortSoon.start(50, true);
    attempt(probe, contextFor("127.0.0.9", "80"), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_LT(outcome.took, 5s);
}

TEST_F(ProbeFixture, TcpLooksUpANameInTheIpColumn)
{
    RUN_IN_PRIVATE_NETWORK();
    Listener open;
    TcpProbe probe(settings);
    attempt(probe, contextFor("localhost", open.port), outcome);
    EXPECT_TRUE(outcome.ok) << testing::PrintToString(outcome.lines.activityLines);

    for (const std::string name : { "no-such-host.invalid", "127.0.0.1\r\nX" }) {
        attempt(probe, contextFor(name, open.port), outcome);
        EXPECT_FALSE(outcome.ok);
        ASSERT_EQ(outcome.lines.activityLines.size(), 1u);
        EXPECT_EQ(outcome.lines.activityLines[0].rfind(
                      "connect: WSocketResolveHost: Cannot convert host address '" + name + "', Error #110", 0),
            0u)
            << outcome.lines.activityLines[0];
    }
}

TEST_F(ProbeFixture, PingAnswered)
{
    PingProbe probe(settings);
    attempt(probe, contextFor("127.0.0.1"), outcome);
    EXPECT_TRUE(outcome.ok);
    ASSERT_EQ(outcome.lines.activityLines.size(), 1u);
    const std::string& line = outcome.lines.activityLines[0];
    EXPECT_EQ(line.rfind("Received 56 bytes from 127.0.0.1 in ", 0), 0u) << line;
    EXPECT_EQ(line.substr(line.size() - 11), " ms, TTL=64") << line;

    settings.echo.size = 32;
    attempt(probe, contextFor("127.0.0.1"), outcome);
    EXPECT_TRUE(outcome.ok);
    EXPECT_EQ(outcome.lines.activityLines[0].rfind("Received 32 bytes", 0), 0u);
}

TEST_F(ProbeFixture, PingIgnoredRejectedAndUnresolvable)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("iptables -A INPUT -d 127.0.0.3 -p icmp --icmp-type echo-request -j REJECT --reject-with "
                  "icmp-host-unreachable");
    settings.of(Service::Ping).timeOut = 300ms;
    PingProbe probe(settings);
    attempt(probe, contextFor("127.0.0.3"), outcome);
    EXPECT_FALSE(outcome.ok) << "a report echoes nothing";
    ASSERT_EQ(outcome.lines.activityLines.size(), 1u);
    EXPECT_EQ(outcome.lines.activityLines[0].rfind("Received 0 bytes from 127.0.0.3 in ", 0), 0u)
        << outcome.lines.activityLines[0];

    attempt(probe, contextFor("no-such-host.invalid"), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.lines.activityLines,
        (std::vector<std::string> { "Unable to resolve no-such-host.invalid", "Invalid host address" }));

    test::setSysctl("net/ipv4/icmp_echo_ignore_all", "1");
    attempt(probe, contextFor("127.0.0.1"), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(
        outcome.lines.activityLines, std::vector<std::string> { "Cannot ping host 127.0.0.1 : Request timed out" });
    EXPECT_GE(outcome.took, 250ms);
}

TEST_F(ProbeFixture, PingWithoutIcmpPermissionFailsWithAClearLine)
{
    RUN_IN_PRIVATE_NETWORK({ "setpriv", "--bounding-set=-net_raw", "--inh-caps=-net_raw" });
    test::setSysctl("net/ipv4/ping_group_range", "1 0");
    PingProbe probe(settings);
    attempt(probe, contextFor("127.0.0.1"), outcome);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.lines.activityLines,
        std::vector<std::string> { "Cannot ping host 127.0.0.1 : Unable to get ping handle (this user may not send "
                                   "ICMP echoes; see \"ICMP permissions\" in the README)" });
    // TCP is not touched by it.
    Listener open;
    TcpProbe tcp(settings);
    attempt(tcp, contextFor("127.0.0.1", open.port), outcome);
    EXPECT_TRUE(outcome.ok);
}

// The program's own probes in a pass, side by side.
TEST_F(ControllerFixture, APassOverRealProbes)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    test::setSysctl("net/ipv4/ping_group_range", "0 2147483647");
    test::mustRun("iptables -A INPUT -d 127.0.0.9 -j DROP");
    Listener open;
    Listener closed;
    closed.close();
    run();
    controller->settings().MaxParallelTests = 4;
    controller->settings().of(Service::Tcp).timeOut = 300ms;
    controller->settings().of(Service::Ping).timeOut = 300ms;
    const std::vector<std::pair<std::string, std::string>> rows = {
        { "127.0.0.1", open.port },
        { "127.0.0.1", closed.port },
        { "127.0.0.9", "80" },
        { "127.0.0.1", "" },
        { "127.0.0.9", "" },
        { "localhost", open.port },
    };
    for (const auto& [ip, port] : rows)
        controller->list().append(row("h", ip, port.empty() ? "PING" : "TCP", port));
    controller->engine().TestAllDestinations();
    ASSERT_TRUE(core::waitFor([&] { return !controller->engine().passing(); }, 30s));
    std::vector<std::string> statuses;
    for (const Destination& d : controller->list().rows())
        statuses.push_back(d.Status());
    EXPECT_EQ(statuses, (std::vector<std::string> { "OK", "Fail", "Fail", "OK", "Fail", "OK" }));
}
