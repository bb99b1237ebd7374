// IPv6 in the socket layer: the numeric address texts it reads and writes, the brackets of
// URLs, and a connect that falls back over the addresses of a name (refused
// ones at once, a silent one when its share of the time is up).

#include "common/net/SocketAddress.h"
#include "common/net/WSocket.h"

#include "tests/support/DualStackNetwork.h"
#include "tests/support/PrivateNamespace.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

using namespace net;
using namespace std::chrono;
using namespace std::chrono_literals;

TEST(SocketAddress, NumericTextsInAndOut)
{
    struct Case
    {
        const char* typed;
        const char* text; // nullptr: no numeric address
        int family;
    };
    const Case cases[] = {
        { "127.0.0.1", "127.0.0.1", AF_INET },
        { "127.1", "127.0.0.1", AF_INET }, // the C library's short form
        { "::1", "::1", AF_INET6 },
        { "[::1]", "::1", AF_INET6 },
        { "2001:DB8:0:0::10", "2001:db8::10", AF_INET6 }, // RFC 5952 form out
        { "::ffff:10.0.0.1", "::ffff:10.0.0.1", AF_INET6 },
        { "fe80::1%lo", "fe80::1%lo", AF_INET6 },
        { "fe80::1%1", "fe80::1%lo", AF_INET6 }, // interface 1 is the loopback device
        { "fe80::1%no-such-if", nullptr, 0 },
        { "fe80::1%", nullptr, 0 },
        { "fe80::1%4294967296", nullptr, 0 }, // beyond 32 bits
        { "::1\r\nQUIT", nullptr, 0 },
        { " ::1", nullptr, 0 },
        { "[::1]:80", nullptr, 0 },
        { "2001:db8::10::1", nullptr, 0 },
        { "host.test", nullptr, 0 },
        { "", nullptr, 0 },
    };
    for (const Case& c : cases) {
        const auto address = SocketAddress::fromNumeric(c.typed);
        ASSERT_EQ(address.has_value(), c.text != nullptr) << c.typed;
        if (!address)
            continue;
        EXPECT_EQ(address->text(), c.text);
        EXPECT_EQ(address->family(), c.family);
    }
}

TEST(SocketAddress, BracketsWhereAUrlNeedsThem)
{
    EXPECT_EQ(bracketedHost("::1"), "[::1]");
    EXPECT_EQ(bracketedHost("[::1]"), "[::1]");
    EXPECT_EQ(bracketedHost("fe80::1%lo"), "[fe80::1%lo]");
    for (const char* asItStands : { "10.0.0.1", "127.0.0.1:8080/path", "web.test:81" })
        EXPECT_EQ(bracketedHost(asItStands), asItStands);
}

namespace {

// A listener on one address; closed, its port refuses.
struct Listener
{
    int fd = -1;
    std::uint16_t port = 0;

    explicit Listener(const std::string& address)
    {
        SocketAddress where = *SocketAddress::fromNumeric(address);
        fd = ::socket(where.family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_storage bound {};
        socklen_t length = sizeof bound;
        if (::bind(fd, where.data(), where.length()) != 0 || ::listen(fd, 8) != 0
            || ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length) != 0)
            throw std::runtime_error("cannot listen on " + address);
        port = SocketAddress(reinterpret_cast<sockaddr*>(&bound), length).port();
    }
    ~Listener() { ::close(fd); }
};

struct Connected
{
    std::vector<int> events; // the errors of OnSessionConnected
    std::string remote;
    milliseconds took {};
};

// Connects `s` (Addr or the address list set already) to `port` and waits for the outcome.
Connected connect(TWSocket& s, std::uint16_t port, int timeoutMs = 0)
{
    Connected result;
    s.OnSessionConnected = [&](TWSocket&, int error) { result.events.push_back(error); };
    s.SetProto("tcp");
    s.SetPort(std::to_string(port));
    s.SetConnectTimeout(timeoutMs);
    const auto started = steady_clock::now();
    s.Connect();
    core::waitFor([&] { return !result.events.empty(); }, 20s);
    result.took = duration_cast<milliseconds>(steady_clock::now() - started);
    result.remote = s.RemoteAddress().text();
    s.Close();
    return result;
}

} // namespace

TEST(WSocketFallback, RefusedAddressesGiveWayToTheNextInOrder)
{
    Listener open("127.0.0.1");
    struct Case
    {
        std::vector<std::string> addresses;
        int error;
        const char* remote;
    };
    const Case cases[] = {
        { { "127.0.0.2", "127.0.0.3", "127.0.0.1" }, 0, "127.0.0.1" },
        { { "127.0.0.1", "127.0.0.2" }, 0, "127.0.0.1" },
        { { "127.0.0.2", "127.0.0.3" }, 10061, "127.0.0.3" }, // the last attempt's outcome only
        { { "not an address", "127.0.0.1" }, 0, "127.0.0.1" },
    };
    for (const Case& c : cases) {
        TWSocket s;
        s.SetAddrList(c.addresses);
        const Connected result = connect(s, open.port);
        EXPECT_EQ(result.events, std::vector<int> { c.error }) << testing::PrintToString(c.addresses);
        EXPECT_EQ(result.remote, c.remote);
    }
    // Addr set on its own afterwards stands for itself alone, even when it was the list's first.
    TWSocket s;
    s.SetAddrList({ "127.0.0.2", "127.0.0.1" });
    s.SetAddr("127.0.0.2");
    EXPECT_EQ(connect(s, open.port).events, std::vector<int> { 10061 });
}

TEST(WSocketFallback, ASilentAddressGivesWayWhenItsShareOfTheTimeIsUp)
{
    RUN_IN_PRIVATE_NETWORK_AND_MOUNTS();
    test::dualstack::setUp();
    Listener ipv4("127.0.0.1");
    Listener ipv6(test::dualstack::Ula);
    struct Case
    {
        std::string addr;
        std::uint16_t port;
        int timeoutMs;
        int error;
        std::string remote;
        bool dropped;
    };
    const std::vector<Case> cases = {
        { "both.test", ipv4.port, 1000, 0, "127.0.0.1", true }, // the dead IPv6 address first
        { "v6only.test", ipv6.port, 1000, 0, test::dualstack::Ula, false }, // ::1 refuses
        { "[" + test::dualstack::Ula + "]", ipv6.port, 1000, 0, test::dualstack::Ula, false },
        { "::1", ipv6.port, 0, 10061, "::1", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.addr);
        const long droppedBefore = test::dualstack::droppedPackets();
        TWSocket s;
        s.SetAddr(c.addr);
        const Connected result = connect(s, c.port, c.timeoutMs);
        EXPECT_EQ(result.events, std::vector<int> { c.error });
        EXPECT_EQ(result.remote, c.remote);
        EXPECT_EQ(test::dualstack::droppedPackets() > droppedBefore, c.dropped);
        EXPECT_LT(result.took, milliseconds(c.timeoutMs) + 500ms);
    }
}
