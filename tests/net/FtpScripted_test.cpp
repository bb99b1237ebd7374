// TFtpClient against scripted loopback servers: greetings a real server will not give (several
// lines with text lines between, 421, LF alone, lines longer than the buffer, none at all),
// QUIT left unanswered, a time-out at every step, and a careless caller.

#include "SmtpScript.h"

#include "common/core/EventLoop.h"
#include "common/net/FtpClient.h"
#include "common/net/WinsockErrors.h"

#include <gtest/gtest.h>

#include <thread>

using namespace net;
using test::ScriptedServer;
using test::ScriptSession;
using Lines = std::vector<std::string>;

namespace {

void configure(TFtpClient& client, int port, int timeout = 5)
{
    client.HostName = "127.0.0.1";
    client.Port = std::to_string(port);
    client.Timeout = timeout;
}

void answerQuit(ScriptSession& peer, const std::string& reply = "221 Goodbye.")
{
    std::string line;
    if (peer.readLine(line) && line == "QUIT")
        peer.send(reply + "\r\n");
}

} // namespace

TEST(FtpScripted, AMultiLineGreetingOpensOnlyOnItsFinalLine)
{
    bool early = false;
    ScriptedServer server([&](ScriptSession& peer) {
        peer.send("220-Welcome\r\n220-second line\r\n   a text line\r\n221 inside the greeting?\r\n");
        std::string line;
        early = peer.readLine(line, 300); // a client that went on too early sends QUIT now
        peer.send("220 ready\r\n");
        answerQuit(peer);
        peer.waitForClose();
    });
    TFtpClient client;
    configure(client, server.port());
    Lines shown;
    client.OnDisplay = [&](TCustomFtpCli&, const std::string& text) { shown.push_back(text); };
    // "221 inside..." is a final line by the rules, and not 220: the greeting fails there.
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "221 inside the greeting?");
    EXPECT_EQ(client.ErrorMessage(), "221 inside the greeting?");
    server.waitDone();

    ScriptedServer proper([&](ScriptSession& peer) {
        peer.send("220-Welcome\r\n220-second line\r\n   a text line\r\n");
        std::string line;
        early = peer.readLine(line, 300);
        peer.send("220 ready\r\n");
        answerQuit(peer);
        peer.waitForClose();
    });
    TFtpClient second;
    configure(second, proper.port());
    shown.clear();
    second.OnDisplay = [&](TCustomFtpCli&, const std::string& text) { shown.push_back(text); };
    EXPECT_TRUE(second.SyncOpen());
    EXPECT_EQ(second.LastResponse(), "220 ready");
    EXPECT_TRUE(second.Connected());
    EXPECT_TRUE(second.SyncQuit());
    EXPECT_EQ(second.LastResponse(), "221 Goodbye.");
    EXPECT_FALSE(second.Connected());
    EXPECT_TRUE(proper.waitDone());
    EXPECT_FALSE(early);
    EXPECT_EQ(shown,
        (Lines {
            "< 220-Welcome", "< 220-second line", "<    a text line", "< 220 ready", "> QUIT", "< 221 Goodbye." }));
}

// What each greeting makes of SyncOpen, and each reply to QUIT of SyncQuit.
TEST(FtpScripted, GreetingsAndQuitReplies)
{
    struct Case
    {
        const char* name;
        std::string greeting;
        unsigned options;
        bool opened;
        std::string afterOpen; // LastResponse
        // After a successful open: the reply to QUIT ("" = none, the server closes instead).
        std::string quitReply;
        bool quit;
        std::string afterQuit;
        std::string errorMessage; // at the end
    };
    const std::string longText(5000, 'x');
    const std::string kept = longText.substr(0, TCustomFtpCli::kReplyLineLimit - 4);
    const std::vector<Case> cases = {
        { "421",
            "421 Too many users\r\n",
            ftpAcceptLF,
            false,
            "421 Too many users",
            "",
            false,
            "",
            "421 Too many users" },
        { "lines ended by LF alone",
            "220-a\n220 ready\n",
            ftpAcceptLF,
            true,
            "220 ready",
            "221 bye",
            true,
            "221 bye",
            "" },
        { "CR CR LF ends a line", "220 ready\r\r\n", 0, true, "220 ready", "221 bye", true, "221 bye", "" },
        { "a greeting line longer than the buffer is cut",
            "220 " + longText + "\r\n",
            ftpAcceptLF,
            true,
            "220 " + kept,
            "221 bye",
            true,
            "221 bye",
            "" },
        { "the cut rest of a long line is no line of its own",
            "220-" + kept + "421 hidden\r\n220 ready\r\n",
            ftpAcceptLF,
            true,
            "220 ready",
            "221 bye",
            true,
            "221 bye",
            "" },
        { "QUIT refused",
            "220 ready\r\n",
            ftpAcceptLF,
            true,
            "220 ready",
            "500 what?",
            false,
            "500 what?",
            "500 what?" },
        { "QUIT not answered, the server closes",
            "220 ready\r\n",
            ftpAcceptLF,
            true,
            "220 ready",
            "",
            false,
            "220 ready",
            "500 Control connection closed." },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server([&](ScriptSession& peer) {
            peer.send(c.greeting);
            std::string line;
            if (!peer.readLine(line))
                return;
            if (!c.quitReply.empty())
                peer.send(c.quitReply + "\r\n");
            peer.close();
        });
        TFtpClient client;
        configure(client, server.port());
        client.Options = c.options;
        ASSERT_EQ(client.SyncOpen(), c.opened) << client.LastResponse();
        EXPECT_EQ(client.LastResponse(), c.afterOpen);
        if (c.opened) {
            EXPECT_EQ(client.SyncQuit(), c.quit);
            EXPECT_EQ(client.LastResponse(), c.afterQuit);
            EXPECT_FALSE(client.Connected());
        }
        EXPECT_EQ(client.ErrorMessage(), c.errorMessage);
        EXPECT_EQ(client.State(), TFtpState::ftpReady);
        server.waitDone();
    }
}

TEST(FtpScripted, LinesEndedByLfAloneNeedAcceptLf)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("220 ready\n");
        peer.waitForClose();
    });
    TFtpClient client;
    configure(client, server.port(), 1);
    client.Options = 0;
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
}

TEST(FtpScripted, FailuresBeforeAGreeting)
{
    TFtpClient client;
    configure(client, test::closedLoopbackPort());
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
    EXPECT_EQ(client.StatusCode(), 500);

    client.HostName = "no-such-host.test";
    client.ControlSocket().Resolver().setBlockingLookup(
        [](const std::string&, std::vector<std::string>&) { return 11001; });
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 Host not found (Winsock error #11001)");

    client.HostName = "";
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.StatusCode(), 500);

    // A server that accepts and closes without a word gives no greeting: no success.
    ScriptedServer mute([](ScriptSession& peer) { peer.close(); });
    configure(client, mute.port());
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.RequestResult(), WSAEINTR);
    EXPECT_EQ(client.State(), TFtpState::ftpReady);
    // Nobody to say goodbye to: no reply can come, and no wait for one.
    EXPECT_FALSE(client.SyncQuit());
    EXPECT_EQ(client.RequestResult(), WSAENOTCONN);
}

TEST(FtpScripted, TimeOutAtEveryStepLeavesTheClientReady)
{
    struct Case
    {
        const char* name;
        std::function<std::shared_ptr<void>(TFtpClient&)> serve;
        bool inOpen;
    };
    const auto scripted = [](TFtpClient& c, ScriptedServer::Script script) {
        auto server = std::make_shared<ScriptedServer>(std::move(script));
        c.Port = server->portText();
        return std::shared_ptr<void>(server);
    };
    const std::vector<Case> cases = {
        { "name look-up",
            [](TFtpClient& c) -> std::shared_ptr<void> {
                c.HostName = "slow.example.test";
                c.ControlSocket().Resolver().setBlockingLookup([](const std::string&, std::vector<std::string>& a) {
                    std::this_thread::sleep_for(std::chrono::seconds(3));
                    a = { "127.0.0.1" };
                    return 0;
                });
                return nullptr;
            },
            true },
        { "connect",
            [](TFtpClient& c) -> std::shared_ptr<void> {
                auto listener = std::make_shared<test::FullListener>();
                c.Port = std::to_string(listener->port());
                return listener;
            },
            true },
        { "greeting",
            [&](TFtpClient& c) { return scripted(c, [](ScriptSession& peer) { peer.waitForClose(); }); },
            true },
        { "greeting cut after its first line",
            [&](TFtpClient& c) {
                return scripted(c, [](ScriptSession& peer) {
                    peer.send("220-more to come\r\n");
                    peer.waitForClose();
                });
            },
            true },
        { "QUIT reply",
            [&](TFtpClient& c) {
                return scripted(c, [](ScriptSession& peer) {
                    peer.send("220 ready\r\n");
                    peer.waitForClose();
                });
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TFtpClient client;
        configure(client, 0, 1);
        const auto keep = c.serve(client);
        if (c.inOpen) {
            EXPECT_FALSE(client.SyncOpen());
        } else {
            ASSERT_TRUE(client.SyncOpen());
            EXPECT_FALSE(client.SyncQuit());
        }
        EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
        EXPECT_EQ(client.StatusCode(), 426);
        EXPECT_EQ(client.State(), TFtpState::ftpReady);
        EXPECT_FALSE(client.Connected());

        ScriptedServer next([](ScriptSession& peer) {
            peer.send("220 ready\r\n");
            answerQuit(peer);
        });
        client.HostName = "127.0.0.1";
        client.Port = next.portText();
        client.ControlSocket().Resolver().setBlockingLookup(nullptr);
        EXPECT_TRUE(client.SyncOpen()) << client.LastResponse();
        EXPECT_TRUE(client.SyncQuit()) << client.LastResponse();
        EXPECT_TRUE(client.ErrorMessage().empty()) << client.ErrorMessage();
        EXPECT_TRUE(next.waitDone());
    }
}

TEST(FtpHostileCaller, MisuseRaisesAndTheWrappersSayFalse)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("220 ready\r\n");
        answerQuit(peer);
    });
    TFtpClient client;
    configure(client, server.port());
    ASSERT_TRUE(client.SyncOpen());
    try {
        client.Open();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_STREQ(e.what(), "FTP component already connected");
    }
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_TRUE(client.Connected());

    client.Quit();
    try {
        client.Open();
        FAIL() << "no exception";
    } catch (const FtpException& e) {
        EXPECT_STREQ(e.what(), "FTP component not ready");
    }
    EXPECT_TRUE(core::waitFor([&] { return client.State() == TFtpState::ftpReady; }, std::chrono::seconds(10)));
    EXPECT_EQ(client.RequestResult(), 0);

    TFtpClient other;
    other.ConnectionType = TFtpConnectionType::ftpSocks5;
    EXPECT_THROW(other.Open(), FtpException);
}

TEST(FtpHostileCaller, ACommandChangedToSeveralLinesGoesOutAsOne)
{
    ScriptedServer server([](ScriptSession& peer) {
        peer.send("220 ready\r\n");
        std::string line;
        peer.readLine(line);
        peer.send("221 bye\r\n");
        peer.readLine(line, 500); // anything smuggled after the first line shows up here
        peer.close();
    });
    TFtpClient client;
    configure(client, server.port());
    client.OnCommand = [](TCustomFtpCli&, std::string& command) { command += "\r\nDELE important.txt"; };
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), (Lines { "QUIT  DELE important.txt" }));
}
