// TSyncImapCli against scripted loopback servers: greetings and LOGOUT endings a real server will
// not give (refusals, a tagged NO or BAD, no BYE, a close before the tagged reply, replies of
// other tags, a greeting longer than the buffer, lines ended by LF alone). What IMAP shares
// with FTP and POP3 is in LineClientsScripted_test.

#include "SmtpScript.h"

#include "common/net/SyncImapCli.h"
#include "common/net/WinsockErrors.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace net;
using test::ScriptedServer;
using test::ScriptSession;
using Lines = std::vector<std::string>;
using State = TImapProtocolState;

TEST(ImapScripted, GreetingsAndLogoutEndings)
{
    struct Case
    {
        const char* name;
        std::string greeting;
        State greeted; // imapDisconnected: refused
        std::string reply; // to "A1 LOGOUT"; then the server closes
        int result; // of the logout
        std::string errorMessage;
    };
    const std::string okGreeting = "* OK [CAPABILITY IMAP4rev1 LOGIN-REFERRALS] ready\r\n";
    const std::string longGreeting = "* OK " + std::string(5000, 'x') + " A1 OK spoofed\r\n";
    const std::vector<Case> cases = {
        { "OK greeting", okGreeting, State::imapNotAuthenticated, "* BYE bye\r\nA1 OK done\r\n", 0, "" },
        { "PREAUTH, status words and tags in any case, lines ended by LF",
            "* preauth welcome back\n",
            State::imapAuthenticated,
            "* CAPABILITY IMAP4rev1\n* bye\na1 ok\n",
            0,
            "" },
        { "BYE greeting", "* BYE too busy\r\n", State::imapDisconnected, "", 0, "* BYE too busy" },
        { "a POP3 greeting", "+OK POP3 ready\r\n", State::imapDisconnected, "", 0, "+OK POP3 ready" },
        { "OKAY is no OK", "* OKAY\r\n", State::imapDisconnected, "", 0, "* OKAY" },
        { "tagged NO", okGreeting, State::imapNotAuthenticated, "* BYE bye\r\nA1 NO not now\r\n", 500, "A1 NO not now" },
        { "tagged BAD", okGreeting, State::imapNotAuthenticated, "A1 BAD what?\r\n", 500, "A1 BAD what?" },
        { "tagged OK without BYE", okGreeting, State::imapNotAuthenticated, "A1 OK done\r\n", 500, "A1 OK done" },
        { "BYE, then the close without the tagged reply",
            okGreeting,
            State::imapNotAuthenticated,
            "* BYE bye\r\n",
            WSAEINTR,
            "" },
        { "replies of other tags and a continuation request are no answer",
            okGreeting,
            State::imapNotAuthenticated,
            "A0 NO old\r\n+ go on\r\n* BYE bye\r\nA1 OK done\r\n",
            0,
            "" },
        // The rest of the cut line is dropped: its "A1 OK" is never taken for a reply.
        { "a greeting longer than the buffer", longGreeting, State::imapNotAuthenticated, "* BYE bye\r\nA1 OK done\r\n", 0, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool greets = c.greeted != State::imapDisconnected;
        ScriptedServer server([&](ScriptSession& peer) {
            peer.send(c.greeting);
            std::string line;
            if (!greets || !peer.readLine(line))
                return (void)peer.waitForClose();
            peer.send(c.reply);
            peer.close();
        });
        TSyncImapCli client;
        client.Host = "127.0.0.1";
        client.Port = server.portText();
        client.Timeout = 5;
        Lines responses;
        client.OnResponse = [&](TCustomImapCli&, const std::string& line) { responses.push_back(line); };
        ASSERT_EQ(client.SyncConnect(), greets) << client.LastResponse();
        const std::string firstLine = c.greeting.substr(0, c.greeting.find_first_of("\r\n"));
        EXPECT_EQ(responses, Lines { firstLine.substr(0, TCustomImapCli::kReplyLineLimit) });
        EXPECT_EQ(client.ProtocolState(), c.greeted);
        if (greets) {
            EXPECT_EQ(client.SyncLogout(), c.result == 0);
            EXPECT_EQ(client.RequestResult(), c.result);
            EXPECT_EQ(responses.size(), 1 + static_cast<size_t>(std::count(c.reply.begin(), c.reply.end(), '\n')));
        }
        EXPECT_EQ(client.ErrorMessage(), c.errorMessage);
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.State(), TImapState::imapReady);
        EXPECT_TRUE(server.waitDone());
        EXPECT_EQ(server.received(), greets ? Lines { "A1 LOGOUT" } : Lines {});
    }
}
