// TFtpClient against scripted loopback servers: greetings a real server will not give (several
// lines with text lines between, 421, LF alone, lines longer than the buffer), QUIT left
// unanswered, and a careless caller. What FTP shares with POP3 is in LineClientsScripted_test.

#include "SmtpScript.h"

#include "common/core/EventLoop.h"
#include "common/net/FtpClient.h"

#include <gtest/gtest.h>


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

TEST(FtpHostileCaller, OnlyADirectConnectionIsSupported)
{
    TFtpClient client;
    client.ConnectionType = TFtpConnectionType::ftpSocks5;
    EXPECT_THROW(client.Open(), FtpException);
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
