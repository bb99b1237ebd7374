// What Close and Shutdown do to data that has not reached the peer yet, under each linger
// setting: 64 MiB are queued while the peer does not read, the connection is ended at once,
// then the peer reads what reaches it.

#include "ScriptedServer.h"

#include "common/net/WSocket.h"
#include "common/net/WinsockErrors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace net;
using namespace std::chrono_literals;

namespace {

struct EndingCase
{
    const char* name;
    TSocketLingerOnOff linger;
    bool shutdown; // Shutdown and wait for the peer's close, instead of Close
    bool everything; // the peer receives every byte
    bool reset; // the peer sees a reset rather than the end of the data
};

} // namespace

TEST(WSocketClose, UnsentDataUnderEachWayOfEnding)
{
    const std::vector<EndingCase> cases = {
        { "Close, linger on with 0 s (the default)", TSocketLingerOnOff::wsLingerOn, false, false, true },
        { "Close, linger off", TSocketLingerOnOff::wsLingerOff, false, false, false },
        { "Shutdown, then Close at the peer's close", TSocketLingerOnOff::wsLingerOn, true, true, false },
    };
    const std::string data(64 << 20, 'd');
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::size_t got = 0;
        bool reset = false;
        std::atomic<bool> read { false };
        test::ScriptedServer server([&](test::ScriptSession& peer) {
            while (!read)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            got = peer.drainToEnd(20000, reset);
            peer.close();
        });
        TWSocket s;
        s.OnError = [](TWSocket&) {};
        bool closed = false;
        s.OnSessionClosed = [&](TWSocket& sock, int) {
            closed = true;
            sock.Close();
        };
        s.SetLingerOnOff(c.linger);
        s.SetAddr("127.0.0.1");
        s.SetPort(server.portText());
        s.Connect();
        ASSERT_TRUE(core::waitFor([&] { return s.State() == TSocketState::wsConnected; }, 10s));
        ASSERT_EQ(s.SendStr(data), static_cast<int>(data.size()));
        ASSERT_GT(s.BufferedByteCount(), 0u) << "the system took everything at once: no unsent data to lose";
        if (c.shutdown) {
            s.Shutdown();
            EXPECT_EQ(s.SendStr("late"), -1); // nothing may follow the end of the data
            EXPECT_EQ(s.LastError(), WSAESHUTDOWN);
            read = true;
            EXPECT_TRUE(core::waitFor([&] { return closed; }, 30s));
        } else {
            s.Close();
            read = true;
        }
        ASSERT_TRUE(server.waitDone(30000));
        EXPECT_EQ(got == data.size(), c.everything) << got;
        EXPECT_EQ(reset, c.reset);
        EXPECT_EQ(s.State(), TSocketState::wsClosed);
    }
}
