// TWSocket used again from inside its own OnSessionClosed, as a client that follows a relocation
// does: Close, new Addr and Port, Connect. The new connection must live on and work.

#include "ScriptedServer.h"

#include "common/net/WSocket.h"

#include <gtest/gtest.h>

using namespace net;
using namespace std::chrono_literals;

namespace {

// Both ends of the reconnection: the first server ends the session, the second answers a line.
struct Relocation
{
    test::ScriptedServer second { [](test::ScriptSession& peer) {
        std::string line;
        if (peer.readLine(line))
            peer.send("echo " + line + "\r\n");
        peer.waitForClose();
    } };
    TWSocket socket;
    std::string received;
    std::vector<std::string> events;

    void connect(int port)
    {
        socket.SetProto("tcp");
        socket.SetAddr("127.0.0.1");
        socket.SetPort(std::to_string(port));
        socket.Connect();
    }

    void attach()
    {
        socket.OnSessionConnected = [this](TWSocket& s, int error) {
            events.push_back("connected " + std::to_string(error));
            if (events.size() > 1)
                s.SendStr("hello\r\n");
        };
        socket.OnSessionClosed = [this](TWSocket& s, int error) {
            events.push_back("closed " + std::to_string(error));
            if (events.size() > 2)
                return;
            s.Close();
            connect(second.port());
        };
        socket.OnDataAvailable = [this](TWSocket& s, int) {
            char buffer[256];
            const int n = s.Receive(buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, static_cast<std::size_t>(n));
        };
    }
};

} // namespace

TEST(WSocketReconnect, FromOnSessionClosedAfterThePeerClosed)
{
    test::ScriptedServer first([](test::ScriptSession& peer) { peer.close(); });
    Relocation r;
    r.attach();
    r.connect(first.port());
    ASSERT_TRUE(core::waitFor([&] { return r.received == "echo hello\r\n"; }, 10s)) << r.received;
    EXPECT_EQ(r.events, (std::vector<std::string> { "connected 0", "closed 0", "connected 0" }));
    EXPECT_EQ(r.socket.State(), TSocketState::wsConnected);
    EXPECT_EQ(r.socket.Port(), std::to_string(r.second.port()));
    r.socket.Close();
    EXPECT_TRUE(r.second.waitDone());
}

TEST(WSocketReconnect, FromOnSessionClosedAfterOurOwnClose)
{
    test::ScriptedServer first([](test::ScriptSession& peer) { peer.waitForClose(); });
    Relocation r;
    r.attach();
    r.connect(first.port());
    ASSERT_TRUE(core::waitFor([&] { return r.socket.State() == TSocketState::wsConnected; }, 10s));
    r.socket.Close(); // OnSessionClosed reconnects from inside this call
    ASSERT_TRUE(core::waitFor([&] { return r.received == "echo hello\r\n"; }, 10s)) << r.received;
    EXPECT_EQ(r.events, (std::vector<std::string> { "connected 0", "closed 0", "connected 0" }));
    EXPECT_EQ(r.socket.State(), TSocketState::wsConnected);
    r.socket.Close();
    EXPECT_TRUE(first.waitDone());
    EXPECT_TRUE(r.second.waitDone());
}

TEST(WSocketReconnect, FromOnSessionClosedAfterAReset)
{
    test::ScriptedServer first([](test::ScriptSession& peer) { peer.reset(); });
    Relocation r;
    r.attach();
    r.connect(first.port());
    ASSERT_TRUE(core::waitFor([&] { return r.received == "echo hello\r\n"; }, 10s)) << r.received;
    ASSERT_EQ(r.events.size(), 3u);
    EXPECT_EQ(r.events[2], "connected 0");
    EXPECT_EQ(r.socket.State(), TSocketState::wsConnected);
    r.socket.Close();
}
