// TSyncPop3Cli against scripted loopback servers: greetings and QUIT endings a real server will
// not give (refusals, a QUIT answered but the connection kept, a close without an answer,
// lines longer than the buffer), and a careless caller. What POP3 shares with FTP is in
// LineClientsScripted_test.

#include "SmtpScript.h"

#include "common/core/EventLoop.h"
#include "common/net/SyncPop3Cli.h"

#include <gtest/gtest.h>

#include <thread>

using namespace net;
using test::ScriptedServer;
using test::ScriptSession;
using Lines = std::vector<std::string>;

namespace {

void configure(TSyncPop3Cli& client, int port, int timeout = 5)
{
    client.Host = "127.0.0.1";
    client.Port = std::to_string(port);
    client.Timeout = timeout;
}

} // namespace

TEST(Pop3Scripted, GreetingWithTimeStampThenQuitEndedByTheClose)
{
    bool closedByClient = false;
    ScriptedServer server([&](ScriptSession& peer) {
        peer.send("+OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>\r\n");
        std::string line;
        if (peer.readLine(line) && line == "QUIT")
            peer.send("+OK dewey POP3 server signing off\r\n");
        // The client must wait for this close, not make its own.
        closedByClient = peer.waitForClose(300);
        peer.close();
    });
    TSyncPop3Cli client;
    configure(client, server.port());
    Lines shown;
    client.OnDisplay = [&](TCustomPop3Cli&, const std::string& text) { shown.push_back(text); };
    ASSERT_TRUE(client.SyncConnect());
    EXPECT_EQ(client.TimeStamp(), "<1896.697170952@dbc.mtview.ca.us>");
    EXPECT_EQ(client.ProtocolState(), TPop3ProtocolState::pop3WaitingUser);
    EXPECT_TRUE(client.Connected());
    EXPECT_TRUE(client.SyncQuit());
    EXPECT_EQ(client.LastResponse(), "+OK dewey POP3 server signing off");
    EXPECT_EQ(client.ProtocolState(), TPop3ProtocolState::pop3Disconnected);
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.waitDone());
    EXPECT_FALSE(closedByClient);
    EXPECT_EQ(shown,
        (Lines { "< +OK POP3 server ready <1896.697170952@dbc.mtview.ca.us>",
            "> QUIT",
            "< +OK dewey POP3 server signing off" }));
}

// What each greeting and each ending of QUIT makes of SyncConnect and SyncQuit.
TEST(Pop3Scripted, GreetingsAndQuitEndings)
{
    enum class End
    {
        AnswerAndClose,
        AnswerAndStay,
        CloseWithoutAnswer,
    };
    struct Case
    {
        const char* name;
        std::string greeting;
        bool connected;
        std::string afterConnect;
        std::string quitReply;
        End end;
        bool quit;
        std::string errorMessage;
    };
    const std::string longText(5000, 'x');
    const std::string firstPiece = ("+OK " + longText).substr(0, TCustomPop3Cli::kReplyLineLimit);
    const std::vector<Case> cases = {
        { "-ERR greeting",
            "-ERR maildrop busy\r\n",
            false,
            "-ERR maildrop busy",
            "",
            End::AnswerAndClose,
            false,
            "-ERR maildrop busy" },
        { "no time stamp", "+OK ready\r\n", true, "+OK ready", "+OK bye", End::AnswerAndClose, true, "" },
        { "QUIT answered, the connection kept open",
            "+OK ready\r\n",
            true,
            "+OK ready",
            "+OK bye",
            End::AnswerAndStay,
            false,
            "426 Timeout" },
        { "QUIT refused, then closed",
            "+OK ready\r\n",
            true,
            "+OK ready",
            "-ERR not now",
            End::AnswerAndClose,
            false,
            "-ERR not now" },
        { "closed without an answer to QUIT",
            "+OK ready\r\n",
            true,
            "+OK ready",
            "",
            End::CloseWithoutAnswer,
            false,
            "" },
        { "a greeting longer than the buffer comes in pieces",
            "+OK " + longText + "\r\n",
            true,
            firstPiece,
            "+OK bye",
            End::AnswerAndClose,
            true,
            "" },
        { "a long -ERR greeting",
            "-ERR " + longText + "\r\n",
            false,
            ("-ERR " + longText).substr(0, TCustomPop3Cli::kReplyLineLimit),
            "",
            End::AnswerAndClose,
            false,
            ("-ERR " + longText).substr(0, TCustomPop3Cli::kReplyLineLimit) },
        { "a bare LF does not end a line",
            "+OK one\nstill one\r\n",
            true,
            "+OK one\nstill one",
            "+OK bye",
            End::AnswerAndClose,
            true,
            "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server([&](ScriptSession& peer) {
            peer.send(c.greeting);
            std::string line;
            if (!c.connected || !peer.readLine(line))
                return (void)peer.waitForClose();
            if (c.end != End::CloseWithoutAnswer)
                peer.send(c.quitReply + "\r\n");
            if (c.end == End::AnswerAndStay)
                peer.waitForClose();
            peer.close();
        });
        TSyncPop3Cli client;
        configure(client, server.port(), 1);
        Lines responses;
        client.OnResponse = [&](TCustomPop3Cli&, const std::string& line) { responses.push_back(line); };
        ASSERT_EQ(client.SyncConnect(), c.connected) << client.LastResponse();
        ASSERT_FALSE(responses.empty());
        EXPECT_EQ(responses.front(), c.afterConnect);
        if (c.connected) {
            EXPECT_EQ(client.SyncQuit(), c.quit);
        }
        EXPECT_EQ(client.ErrorMessage(), c.errorMessage);
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.State(), TPop3State::pop3Ready);
        server.waitDone();
    }
}

TEST(Pop3Scripted, QuitAfterTheServerClosedSucceedsAtOnce)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("+OK ready\r\n");
        peer.close();
    });
    TSyncPop3Cli client;
    configure(client, server.port());
    ASSERT_TRUE(client.SyncConnect());
    ASSERT_TRUE(core::waitFor([&] { return !client.Connected(); }, std::chrono::seconds(10)));
    EXPECT_TRUE(client.SyncQuit());
    EXPECT_EQ(client.ProtocolState(), TPop3ProtocolState::pop3Disconnected);
}

// Each reply line restarts the time-out: a server that answers QUIT and then sends more lines,
// each within the limit, before it closes, is waited for however long it takes in all.
TEST(Pop3Scripted, EveryLineRestartsTheTimeOut)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("+OK ready\r\n");
        std::string line;
        if (!peer.readLine(line))
            return;
        peer.send("+OK bye\r\n");
        // Four gaps of 1 s against a limit of 2 s: 4 s in all.
        for (int i = 0; i < 3; ++i) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            peer.send("* still here\r\n");
        }
        std::this_thread::sleep_for(std::chrono::seconds(1));
        peer.close();
    });
    TSyncPop3Cli client;
    configure(client, server.port(), 2);
    ASSERT_TRUE(client.SyncConnect());
    EXPECT_TRUE(client.SyncQuit()) << client.ErrorMessage();
    EXPECT_EQ(client.LastResponse(), "* still here");
    server.waitDone();
}

// A timer that fires while QUIT waits for the server's close (answered, not yet closed) cannot
// start a second QUIT: the first one ends as it should.
TEST(Pop3HostileCaller, NoSecondQuitWhileTheFirstWaitsForTheClose)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("+OK ready\r\n");
        std::string line;
        if (peer.readLine(line))
            peer.send("+OK bye\r\n");
        peer.readLine(line, 800); // a second QUIT would arrive here
        peer.close();
    });
    TSyncPop3Cli client;
    configure(client, server.port());
    ASSERT_TRUE(client.SyncConnect());
    std::string refusal;
    core::Timer timer;
    timer.setOnTimeout([&] {
        try {
            client.Quit();
        } catch (const Pop3Exception& e) {
            refusal = e.what();
        }
    });
    client.OnResponse = [&](TCustomPop3Cli&, const std::string& line) {
        if (line == "+OK bye")
            timer.start(200, true);
    };
    EXPECT_TRUE(client.SyncQuit());
    EXPECT_EQ(refusal, "POP3 component not ready");
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), (Lines { "QUIT" }));
}
