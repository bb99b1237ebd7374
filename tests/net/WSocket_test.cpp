// TWSocket against loopback peers: look-up, connect, the event order, sending, receiving,
// closing, and the error path with its texts.

#include "ScriptedServer.h"

#include "common/net/WSocket.h"
#include "common/net/WSocketResolve.h"
#include "common/net/WinsockErrors.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>
#include <vector>

using namespace net;
using namespace std::chrono_literals;

namespace {

// A 70-character label: the C library refuses the name itself, so no query leaves the host.
const std::string kUnknownHost = std::string(70, 'q') + ".invalid";

// Records every event of a socket as a line of text.
struct EventLog
{
    std::vector<std::string> events;
    std::vector<std::string> errors;

    void attach(TWSocket& s, bool withOnError = true)
    {
        s.OnDnsLookupDone = [this](TWSocket&, int e) { events.push_back("DnsLookupDone " + std::to_string(e)); };
        s.OnSessionConnected = [this](TWSocket&, int e) { events.push_back("SessionConnected " + std::to_string(e)); };
        s.OnSessionClosed = [this](TWSocket&, int e) { events.push_back("SessionClosed " + std::to_string(e)); };
        s.OnDataSent = [this](TWSocket&, int e) { events.push_back("DataSent " + std::to_string(e)); };
        s.OnChangeState = [this](TWSocket&, TSocketState, TSocketState n) {
            events.push_back("State " + std::to_string(static_cast<int>(n)));
        };
        if (withOnError)
            s.OnError = [this](TWSocket& sock) { errors.push_back(sock.LastErrorMessage()); };
    }
    bool has(const std::string& e) const { return std::find(events.begin(), events.end(), e) != events.end(); }
};

std::string stateText(TSocketState s)
{
    return "State " + std::to_string(static_cast<int>(s));
}

bool connectTo(TWSocket& s, int port)
{
    s.SetProto("tcp");
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(port));
    s.Connect();
    return core::waitFor([&] { return s.State() != TSocketState::wsConnecting; }, 10s)
        && s.State() == TSocketState::wsConnected;
}

} // namespace

TEST(WSocketDnsLookup, DottedAddressCompletesBeforeReturnInCanonicalForm)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.DnsLookup("  127.1");
    ASSERT_EQ(log.events, std::vector<std::string> { "DnsLookupDone 0" });
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
}

// The C library takes the address at the start of "127.0.0.1\r\nQUIT" and ignores the rest;
// such a text is no address, and as a name it resolves to nothing.
TEST(WSocketDnsLookup, TextThatOnlyBeginsWithAnAddressIsNoAddress)
{
    EXPECT_EQ(WSocketNumericIPv4("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(WSocketNumericIPv4("127.1"), htonl(INADDR_LOOPBACK));
    for (const char* text : { "127.0.0.1\r\nQUIT", "127.0.0.1 x", "127.0.0.1\t", "", "host.example" })
        EXPECT_EQ(WSocketNumericIPv4(text), std::nullopt) << text;
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.DnsLookup("127.0.0.1\r\nQUIT");
    EXPECT_TRUE(log.events.empty()); // not completed at once as a dotted address
    ASSERT_TRUE(core::waitFor([&] { return !log.events.empty(); }, 10s));
    EXPECT_NE(log.events.front(), "DnsLookupDone 0");
}

TEST(WSocketDnsLookup, NamesCompleteLaterWithTheLookUpResult)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.DnsLookup(kUnknownHost);
    EXPECT_TRUE(log.events.empty());
    ASSERT_TRUE(core::waitFor([&] { return !log.events.empty(); }, 10s));
    EXPECT_EQ(log.events.front(), "DnsLookupDone 11001");
    EXPECT_EQ(winsockErrorText(11001), "Host not found");

    log.events.clear();
    s.DnsLookup("localhost");
    ASSERT_TRUE(core::waitFor([&] { return !log.events.empty(); }, 10s));
    EXPECT_EQ(log.events.front(), "DnsLookupDone 0");
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
}

TEST(WSocketDnsLookup, NewerLookUpReplacesPendingOneAndCancelReports10004)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.DnsLookup(kUnknownHost);
    s.DnsLookup("localhost");
    ASSERT_TRUE(core::waitFor([&] { return !log.events.empty(); }, 10s));
    core::waitFor([] { return false; }, 200ms); // a late report of the first would show now
    EXPECT_EQ(log.events, std::vector<std::string> { "DnsLookupDone 0" });

    log.events.clear();
    s.DnsLookup(kUnknownHost);
    s.CancelDnsLookup();
    EXPECT_EQ(log.events, std::vector<std::string> { "DnsLookupDone 10004" });
    s.CancelDnsLookup(); // nothing pending: no second report
    core::waitFor([] { return false; }, 200ms);
    EXPECT_EQ(log.events.size(), 1u);
}

TEST(WSocketDnsLookup, EmptyHostGoesThroughTheErrorPathThenReports10022)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.DnsLookup("  ");
    EXPECT_EQ(log.errors, std::vector<std::string> { "DNS lookup: invalid host name." });
    EXPECT_EQ(log.events, std::vector<std::string> { "DnsLookupDone 10022" });

    TWSocket bare; // without OnError the text is raised
    try {
        bare.DnsLookup("");
        FAIL() << "no exception";
    } catch (const ESocketException& e) {
        EXPECT_STREQ(e.what(), "DNS lookup: invalid host name.");
    }
}

TEST(WSocketConnect, ClosedPortConnectsWith10061ThenCloses)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    EXPECT_FALSE(connectTo(s, test::closedLoopbackPort()));
    ASSERT_TRUE(core::waitFor([&] { return s.State() == TSocketState::wsClosed; }, 10s));
    const std::vector<std::string> expected = { stateText(TSocketState::wsOpened),
        stateText(TSocketState::wsConnecting),
        stateText(TSocketState::wsConnected),
        "SessionConnected 10061",
        stateText(TSocketState::wsClosed),
        "SessionClosed 0" };
    EXPECT_EQ(log.events, expected);
    EXPECT_TRUE(log.errors.empty());
}

TEST(WSocketConnect, MissingSettingsAreReportedInOrder)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.Connect();
    s.SetPort("25");
    s.Connect();
    s.SetAddr("127.0.0.1");
    s.SetProto("");
    s.Connect();
    s.SetProto("tcp");
    s.SetPort("no-such-service-here");
    s.Connect();
    const std::vector<std::string> expected = { "Connect: No Port Specified",
        "Connect: No IP Address Specified",
        "Connect: No Protocol Specified",
        "connect: WSocketResolvePort: Cannot convert port 'no-such-service-here', Error #11004" };
    EXPECT_EQ(log.errors, expected);
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
}

TEST(WSocketProperties, ChangeOnlyWhileClosedAndForgetThemAfterClose)
{
    test::ScriptedServer server([](test::ScriptSession& peer) { peer.waitForClose(); });
    TWSocket s;
    EventLog log;
    log.attach(s);
    s.SetPort(" 25 ");
    EXPECT_EQ(s.Port(), "25");
    s.SetLocalAddr("");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    ASSERT_TRUE(connectTo(s, server.port()));

    s.SetAddr("127.0.0.1"); // the same value is accepted in any state
    s.SetAddr("127.0.0.2");
    s.SetPort("80");
    s.SetProto("udp");
    s.SetLocalAddr("127.0.0.1");
    s.SetLocalPort("1234");
    const std::vector<std::string> expected = { "Cannot change Addr if not closed",
        "Cannot change Port if not closed",
        "Cannot change Proto if not closed",
        "Cannot change LocalAddr if not closed",
        "Cannot change LocalPort if not closed" };
    EXPECT_EQ(log.errors, expected);
    EXPECT_EQ(s.Addr(), "127.0.0.1");

    s.Close();
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_TRUE(log.has("SessionClosed 0"));
    EXPECT_EQ(s.Addr(), "");
    EXPECT_EQ(s.Proto(), "tcp");
    EXPECT_EQ(s.LocalPort(), "0");
    log.errors.clear();
    s.Connect();
    EXPECT_EQ(log.errors, std::vector<std::string> { "Connect: No Port Specified" });
}

TEST(WSocketSend, WhileNotConnectedReturnsMinusOneWithTheSocketErrorText)
{
    TWSocket s;
    EventLog log;
    log.attach(s);
    EXPECT_EQ(s.SendStr("x"), -1);
    EXPECT_EQ(s.LastError(), 10057);
    EXPECT_EQ(log.errors, std::vector<std::string> { "Error 10057 in function Send\r\nSocket is not connected" });

    TWSocket bare;
    EXPECT_THROW(bare.SendStr("x"), ESocketException);
    EXPECT_EQ(bare.SendStr(""), 0);
}

TEST(WSocketSend, FiveThousandBytesGoInFourBuffersWithOneDataSentEvent)
{
    std::size_t got = 0;
    test::ScriptedServer server([&](test::ScriptSession& peer) { got = peer.drain(2000); });
    TWSocket s;
    EventLog log;
    log.attach(s);
    std::vector<int> sends;
    s.OnSendData = [&](TWSocket&, int count) { sends.push_back(count); };
    ASSERT_TRUE(connectTo(s, server.port()));
    log.events.clear();

    const std::string data(5000, 'z');
    EXPECT_EQ(s.SendStr(data), 5000);
    EXPECT_TRUE(log.events.empty()); // "data sent" is always posted, never immediate
    ASSERT_TRUE(core::waitFor([&] { return !log.events.empty(); }, 10s));
    core::waitFor([] { return false; }, 200ms);
    EXPECT_EQ(log.events, std::vector<std::string> { "DataSent 0" });
    EXPECT_EQ(sends, (std::vector<int> { 1460, 1460, 1460, 620 }));
    EXPECT_EQ(s.BufferedByteCount(), 0u);
    s.Close();
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(got, 5000u);
}

TEST(WSocketReceive, PeerCloseDeliversDataThenSessionClosedWhileStillConnected)
{
    test::ScriptedServer server([](test::ScriptSession& peer) {
        peer.send("hello\r\n");
        peer.close();
    });
    TWSocket s;
    EventLog log;
    log.attach(s);
    std::string received;
    TSocketState stateAtClose = TSocketState::wsInvalidState;
    s.OnDataAvailable = [&](TWSocket& sock, int) {
        char buffer[3]; // small on purpose: the receive loop calls again until all is read
        const int n = sock.Receive(buffer, sizeof buffer);
        if (n > 0)
            received.append(buffer, static_cast<std::size_t>(n));
    };
    s.OnSessionClosed = [&](TWSocket& sock, int e) {
        stateAtClose = sock.State();
        log.events.push_back("SessionClosed " + std::to_string(e));
    };
    ASSERT_TRUE(connectTo(s, server.port()));
    ASSERT_TRUE(core::waitFor([&] { return s.State() == TSocketState::wsClosed; }, 10s));
    EXPECT_EQ(received, "hello\r\n");
    EXPECT_EQ(s.ReadCount(), 7u);
    EXPECT_EQ(stateAtClose, TSocketState::wsConnected);
    EXPECT_TRUE(log.has("SessionClosed 0"));
}

TEST(WSocketReceive, PeerResetIsReportedAs10054)
{
    test::ScriptedServer server([](test::ScriptSession& peer) {
        std::string line;
        peer.readLine(line);
        peer.reset();
    });
    TWSocket s;
    EventLog log;
    log.attach(s);
    ASSERT_TRUE(connectTo(s, server.port()));
    s.SendStr("go\r\n");
    ASSERT_TRUE(core::waitFor([&] { return s.State() == TSocketState::wsClosed; }, 10s));
    EXPECT_TRUE(log.has("SessionClosed 10054"));
}

TEST(WSocketEvents, ExceptionInAHandlerGoesToOnBgExceptionAndAbortsTheSocket)
{
    test::ScriptedServer server([](test::ScriptSession& peer) {
        peer.send("boom");
        peer.waitForClose();
    });
    TWSocket s;
    std::string caught;
    s.OnDataAvailable = [](TWSocket&, int) { throw std::runtime_error("handler failed"); };
    s.OnBgException = [&](TWSocket&, const std::exception& e, bool& canClose) {
        caught = e.what();
        EXPECT_TRUE(canClose);
    };
    connectTo(s, server.port()); // the data may come with the connect: closed already then
    ASSERT_TRUE(core::waitFor([&] { return s.State() == TSocketState::wsClosed; }, 10s));
    EXPECT_EQ(caught, "handler failed");
    ASSERT_TRUE(server.waitDone());
}

TEST(WSocketEvents, OwnerMayDestroyTheSocketInsideAnEvent)
{
    test::ScriptedServer server([](test::ScriptSession& peer) { peer.close(); });
    auto s = std::make_unique<TWSocket>();
    bool connected = false;
    s->OnSessionConnected = [&](TWSocket&, int error) { connected = error == 0; };
    s->OnSessionClosed = [&](TWSocket&, int) { s.reset(); };
    // The peer closes at once, so the close may come inside any wait for the connect: only the
    // owner's pointer tells whether the socket is still there.
    s->SetProto("tcp");
    s->SetAddr("127.0.0.1");
    s->SetPort(std::to_string(server.port()));
    s->Connect();
    EXPECT_TRUE(core::waitFor([&] { return !s; }, 10s));
    EXPECT_TRUE(connected);
}
