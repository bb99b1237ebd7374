// The socket layer's pure parts: error texts and errno mapping, the send buffer, the
// dotted-address test and the address, port and protocol conversions.

#include "tests/support/PrivateNamespace.h"

#include "common/net/ESocketException.h"
#include "common/net/WSocketResolve.h"
#include "common/net/WinsockErrors.h"
#include "common/net/detail/WSockBuf.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>

#include <cerrno>

using namespace net;

namespace {

std::string raised(const std::function<void()>& call)
{
    try {
        call();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "(nothing raised)";
}

} // namespace

TEST(WinsockErrors, TextsAndErrnoMapping)
{
    EXPECT_EQ(winsockErrorText(0), "No Error");
    EXPECT_EQ(winsockErrorText(10061), "Connection refused");
    EXPECT_EQ(winsockErrorText(10071), "Too many levels of remote in path");
    EXPECT_EQ(winsockErrorText(11004), "No Data");
    EXPECT_EQ(winsockErrorText(10000), "Not a WinSock error");
    EXPECT_EQ(winsockErrorText(-1), "Not a WinSock error");

    EXPECT_EQ(winsockErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(winsockErrorFromErrno(ETIMEDOUT), 10060);
    EXPECT_EQ(winsockErrorFromErrno(ECONNRESET), 10054);
    EXPECT_EQ(winsockErrorFromErrno(ENOTCONN), 10057);
    EXPECT_EQ(winsockErrorFromErrno(EHOSTUNREACH), 10065);
    EXPECT_EQ(winsockErrorFromErrno(ENETUNREACH), 10051);
    EXPECT_EQ(winsockErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(winsockErrorFromErrno(EAGAIN), 10035);
    EXPECT_EQ(winsockErrorFromErrno(EINPROGRESS), 10036);

    EXPECT_EQ(winsockCallErrorText(10054, "TryToSend failed"),
        "Error 10054 in function TryToSend failed\r\nConnection reset by peer");
}

TEST(WSockBuf, FillsToItsSizeAndConsumesFromTheFront)
{
    TBuffer buffer;
    EXPECT_EQ(buffer.Size(), 1460u);
    const std::string data(2000, 'a');
    EXPECT_EQ(buffer.Write(data.data(), data.size()), 1460u);
    EXPECT_TRUE(buffer.Full());
    EXPECT_EQ(buffer.Write("b", 1), 0u);
    buffer.Remove(1000);
    EXPECT_EQ(buffer.Count(), 460u);
    EXPECT_TRUE(buffer.Full()); // freed space at the front is not reused for appending
    buffer.Remove(5000);
    EXPECT_EQ(buffer.Count(), 0u);
    EXPECT_FALSE(buffer.Full()); // an empty buffer starts over
    EXPECT_EQ(buffer.Write("xy", 2), 2u);
    EXPECT_EQ(std::string(buffer.Peek(), buffer.Count()), "xy");
}

TEST(WSocketResolve, DottedAddressTest)
{
    for (const char* yes : { "1.2.3.4", "  10.0.0.255", "255.255.255.255", "0.0.0.0  ", "127.000.0.1" })
        EXPECT_TRUE(WSocketIsDottedIP(yes)) << yes;
    for (const char* no : { "",
             ".1.2.3",
             "1.2.3",
             "1.2.3.4.5",
             "1.2.3.",
             "1..2.3",
             "256.1.1.1",
             "1.2.3.4x",
             "1.2.3.4 x",
             "a.b.c.d",
             "1.2.3. 4",
             "localhost" })
        EXPECT_FALSE(WSocketIsDottedIP(no)) << no;
}

TEST(WSocketResolve, Host)
{
    EXPECT_EQ(WSocketAddressText(WSocketResolveHost(" 127.0.0.1 ")), "127.0.0.1");
    EXPECT_EQ(WSocketResolveHost("255.255.255.255"), 0xFFFFFFFFu);
    EXPECT_EQ(WSocketAddressText(WSocketResolveHost("localhost")), "127.0.0.1");
    EXPECT_EQ(raised([] { WSocketResolveHost(""); }), "WSocketResolveHost: '' Invalid Hostname.");
    const std::string longName(257, 'h');
    EXPECT_EQ(
        raised([&] { WSocketResolveHost(longName); }), "WSocketResolveHost: '" + longName + "' Invalid Hostname.");
    const std::string unknown = std::string(70, 'q') + ".invalid";
    EXPECT_EQ(raised([&] { WSocketResolveHost(unknown); }),
        "WSocketResolveHost: Cannot convert host address '" + unknown + "', Error #11001");
}

TEST(WSocketResolve, PortFromDigitsOrTheServiceTable)
{
    EXPECT_EQ(WSocketResolvePort("smtp", "tcp"), 25);
    EXPECT_EQ(WSocketResolvePort("pop3", "tcp"), 110);
    EXPECT_EQ(WSocketResolvePort("ftp", "tcp"), 21);
    EXPECT_EQ(WSocketResolvePort("25", "tcp"), 25);
    EXPECT_EQ(WSocketResolvePort("8080abc", "tcp"), 8080);
    // A leading blank makes the text a service name, and there is no service " 25".
    EXPECT_EQ(raised([] { WSocketResolvePort(" 25", "tcp"); }),
        "WSocketResolvePort: Cannot convert port ' 25', Error #11004");
    EXPECT_EQ(raised([] { WSocketResolvePort("", "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort(std::string(32, '1'), "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("70000", "tcp"); }), "WSocketResolvePort: Invalid Port.");
    EXPECT_EQ(raised([] { WSocketResolvePort("25", ""); }), "WSocketResolvePort: Invalid Proto.");
}

TEST(WSocketResolve, ProtocolFromDigitsOrTheProtocolTable)
{
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto(" udp "), 17);
    EXPECT_EQ(WSocketResolveProto("6"), 6);
    EXPECT_EQ(raised([] { WSocketResolveProto(""); }), "WSocketResolveProto: Invalid Protocol.");
    EXPECT_EQ(raised([] { WSocketResolveProto("nosuchproto"); }),
        "WSocketResolveProto: Cannot convert protocol 'nosuchproto', Error #11004");
}

// Without /etc/services and /etc/protocols (a machine without netbase) the names the programs
// use still resolve, and a connect by protocol name works.
TEST(WSocketResolve, NamesTheProgramsUseWithoutTheSystemTables)
{
    RUN_IN_PRIVATE_MOUNTS();
    ASSERT_TRUE(test::hideFile("/etc/services"));
    ASSERT_TRUE(test::hideFile("/etc/protocols"));
    ASSERT_EQ(getservbyname("smtp", "tcp"), nullptr) << "the service table is still there";
    ASSERT_EQ(getprotobyname("tcp"), nullptr) << "the protocol table is still there";

    const std::vector<std::pair<const char*, int>> services
        = { { "smtp", 25 }, { "ftp", 21 }, { "pop3", 110 }, { "http", 80 } };
    for (const auto& [name, port] : services)
        EXPECT_EQ(WSocketResolvePort(name, "tcp"), port) << name;
    EXPECT_EQ(WSocketResolveProto("tcp"), 6);
    EXPECT_EQ(WSocketResolveProto(" udp "), 17);
    EXPECT_EQ(WSocketResolveProto("icmp"), 1);
    EXPECT_EQ(raised([] { WSocketResolvePort("gopher", "tcp"); }),
        "WSocketResolvePort: Cannot convert port 'gopher', Error #11004");
    EXPECT_EQ(raised([] { WSocketResolveProto("sctp"); }),
        "WSocketResolveProto: Cannot convert protocol 'sctp', Error #11004");
}
