// TSyncSmtpCli against scripted loopback servers: the replies and misbehaviour a real server
// will not produce (multi-line and refused greetings, silence, a QUIT left open, refusals,
// cut, over-long and binary replies, a reset during DATA) and the exact lines sent.

#include "ScriptedServer.h"
#include "SmtpScript.h"

#include "common/core/EventLoop.h"
#include "common/net/SyncSmtpCli.h"
#include "common/net/detail/SmtpCodecs.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <random>
#include <thread>

using namespace net;
using test::Lines;
using test::ScriptSession;

using test::answer;
using test::fillEnvelope;
using test::greetAndHelo;
using test::quitAndClose;

TEST(SmtpSession, MultiLineBannerCompletesTheConnectOnlyOnItsFinalLine)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        peer.send("220-first line\r\n220-second line\r\n");
        std::string early;
        peer.readLine(early, 300); // a client that went on too early shows up here
        peer.send("220 final line\r\n");
        answer(peer, "250 hello");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    Lines shown;
    client.OnDisplay = [&](TCustomSmtpClient&, const std::string& text) { shown.push_back(text); };
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "250 hello");
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), (Lines { "HELO SEN", "QUIT" }));
    EXPECT_EQ(shown,
        (Lines { "< 220-first line",
            "< 220-second line",
            "< 220 final line",
            "> HELO SEN",
            "< 250 hello",
            "> QUIT",
            "< 221 bye" }));
}

TEST(SmtpSession, RefusedGreetingFailsOpenWithTheServersLine)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        peer.send("421 too busy\r\n");
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "421 too busy");
    EXPECT_EQ(client.ErrorMessage(), "421 too busy");
    EXPECT_FALSE(client.Connected());
    EXPECT_TRUE(server.waitDone());
    EXPECT_TRUE(server.received().empty());
}

TEST(SmtpSession, SilentServerEndsWith426TimeoutAndAnAbort)
{
    test::ScriptedServer server([](ScriptSession& peer) { peer.waitForClose(); });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 1);
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.StatusCode(), 426);
    EXPECT_EQ(client.LastResponse(), "");
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
    EXPECT_TRUE(server.waitDone()); // the abort closed the connection
}

TEST(SmtpSession, QuitAnsweredButLeftOpenTimesOutKeepingTheReply)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "221 bye");
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 1);
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_FALSE(client.SyncQuit());
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.LastResponse(), "221 bye");
    EXPECT_TRUE(server.waitDone());
}

TEST(SmtpSession, QuitWithoutAConnectionSucceedsAtOnce)
{
    TSyncSmtpCli client;
    EXPECT_TRUE(client.SyncQuit());
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
}

TEST(SmtpSession, ConnectFailuresBecomeMadeUpReplies)
{
    TSyncSmtpCli client;
    test::configureClient(client, test::closedLoopbackPort());
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 Connection refused (Winsock error #10061)");
    EXPECT_EQ(client.ErrorMessage(), client.LastResponse());
    EXPECT_FALSE(client.Connected());

    client.Host = std::string(70, 'q') + ".invalid"; // refused by the C library, no query sent
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 Host not found (Winsock error #11001)");

    client.Host = " ";
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 ESocketException: DNS lookup: invalid host name.");
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);

    client.Host = "127.0.0.1";
    client.Port = "no-such-service-here";
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(),
        "500 ESocketException: connect: WSocketResolvePort: Cannot convert port 'no-such-service-here', "
        "Error #11004");
}

TEST(SmtpSession, SecondOperationDuringAWaitFailsAndLeavesTheFirstAlone)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        greetAndHelo(peer);
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    std::vector<bool> nested;
    core::Timer timer;
    timer.setOnTimeout([&] {
        nested.push_back(client.SyncQuit());
        nested.push_back(client.SyncOpen());
        nested.push_back(client.SyncMail());
    });
    timer.start(100, true);
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_EQ(nested, (std::vector<bool> { false, false, false }));
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(), (Lines { "HELO SEN", "QUIT" }));
}

TEST(SmtpMail, FirstRecipientRefusedSecondAcceptedStillSendsTheMessage)
{
    Lines data;
    test::ScriptedServer server([&](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 sender ok");
        answer(peer, "550 no such user");
        answer(peer, "250 recipient ok");
        answer(peer, "354 go ahead");
        peer.readData(data);
        peer.send("250 queued\r\n");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    fillEnvelope(client);
    client.FromName = " Admin <admin@example.org> ";
    client.SetRcptNameText("nobody@example.org\r\n<ops@example.org>\r\n");
    client.MailMessage = { "hello" };
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncMail());
    EXPECT_EQ(client.LastResponse(), "250 queued");
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    const Lines lines = server.received();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin() + 1, lines.begin() + 5),
        (Lines { "MAIL FROM:Admin <admin@example.org>",
            "RCPT TO:<nobody@example.org>",
            "RCPT TO:<ops@example.org>",
            "DATA" }));
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back(), "hello");
}

TEST(SmtpMail, DataRefusedSendsNoMessageLine)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 sender ok");
        answer(peer, "250 recipient ok");
        answer(peer, "554 no thanks");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    fillEnvelope(client);
    client.MailMessage = { "never sent" };
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_FALSE(client.SyncMail());
    EXPECT_EQ(client.LastResponse(), "554 no thanks");
    EXPECT_EQ(client.ErrorMessage(), "554 no thanks");
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(test::linesAfter(server.received(), "DATA"), Lines { "QUIT" });
}

TEST(SmtpMail, HeaderLinesInOrderThenStuffedAndCutBodyLines)
{
    Lines data;
    test::ScriptedServer server([&](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 ok");
        answer(peer, "250 ok");
        answer(peer, "354 go");
        peer.readData(data);
        peer.send("250 queued\r\n");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    fillEnvelope(client);
    client.HdrCc = "boss@example.org";
    client.HdrReplyTo = "   "; // blank values leave their line out
    client.HdrReturnPath = "bounce@example.org";
    client.MailMessage = { ".", ".hidden", std::string(1500, 'a'), "last" };
    int asked = 0;
    client.OnGetData = [&](TCustomSmtpClient&, int number, std::string& line, int maxLength, bool& more) {
        EXPECT_EQ(maxLength, 1023);
        asked = number;
        more = number <= 2;
        line = "extra " + std::to_string(number);
    };
    ASSERT_TRUE(client.SyncOpen());
    ASSERT_TRUE(client.SyncMail());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    ASSERT_EQ(data.size(), 17u);
    const Lines head(data.begin(), data.begin() + 10);
    EXPECT_EQ(Lines(head.begin(), head.begin() + 8),
        (Lines { "Return-Path: bounce@example.org",
            "From: admin@example.org",
            "To: ops@example.org",
            "Cc: boss@example.org",
            "Subject: Report",
            "Sender: admin@example.org",
            "Mime-Version: 1.0",
            "Content-Type: text/plain; charset=\"iso-8859-1\"" }));
    const QRegularExpression date("^Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [1-9][0-9]? "
                                  "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
                                  "[0-9]{4} [0-9]{2}:[0-9]{2}:[0-9]{2} GMT$");
    EXPECT_TRUE(date.match(QString::fromStdString(head[8])).hasMatch()) << head[8];
    EXPECT_EQ(head[9], "X-Mailer: NetClients SMTP Component V2.32");
    EXPECT_EQ(Lines(data.begin() + 10, data.end()),
        (Lines { "", "..", "..hidden", std::string(1023, 'a'), "last", "extra 1", "extra 2" }));
    EXPECT_EQ(asked, 3);
}

TEST(SmtpMail, AttachmentThatCannotBeOpenedEndsTheBodyButTheMessageEnds)
{
    Lines data;
    test::ScriptedServer server([&](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 ok");
        answer(peer, "250 ok");
        answer(peer, "354 go");
        peer.readData(data);
        peer.send("250 queued\r\n");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    fillEnvelope(client);
    client.MailMessage = { "body text" };
    client.EmailFiles = { "/nonexistent/report.log" }; // filled directly: not checked
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncMail());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(data.back(), "body text");
    EXPECT_EQ(std::count_if(data.begin(), data.end(), [](const std::string& l) { return l.rfind("--=", 0) == 0; }),
        1); // only the text part's boundary line
}

TEST(SmtpMail, EmailFilesAssignedAsAListAreChecked)
{
    test::TempDir dir;
    test::writeFile(dir / "a.txt", "a");
    TSyncSmtpCli client;
    client.SetEmailFiles({ "  " + (dir / "a.txt").string() + " ", "", "  " });
    EXPECT_EQ(client.EmailFiles, Lines { (dir / "a.txt").string() });
    const std::string missing = (dir / "missing.bin").string();
    try {
        client.SetEmailFilesText((dir / "a.txt").string() + "\r\n" + missing + "\r\n");
        FAIL() << "no exception";
    } catch (const SmtpException& e) {
        EXPECT_EQ(std::string(e.what()), "File not found '" + missing + "'");
    }
    EXPECT_EQ(client.EmailFiles.size(), 1u);
}

TEST(SmtpMail, EmptyRecipientListFailsTheMail)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 ok");
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    fillEnvelope(client);
    client.RcptName.clear();
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_FALSE(client.SyncMail()); // ends by the abort, not by the time-out
    EXPECT_NE(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
    EXPECT_TRUE(server.waitDone());
}

TEST(SmtpAuth, CramMd5AnswersTheChallenge)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        peer.send("220 scripted ESMTP\r\n");
        answer(peer, "250-scripted\r\n250 AUTH CRAM-MD5");
        answer(peer, "334 " + base64Encode("<1896.697170952@postoffice.reston.mci.net>"));
        answer(peer, "235 welcome");
        quitAndClose(peer);
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    client.AuthType = TSmtpAuthType::smtpAuthCramMD5;
    client.Username = "tim";
    client.Password = "tanstaaftanstaaf";
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.received(),
        (Lines { "EHLO SEN", "AUTH CRAM-MD5", "dGltIGI5MTNhNjAyYzdlZGE3YTQ5NWI0ZTZlNzMzNGQzODkw", "QUIT" }));
}

TEST(SmtpAuth, MalformedChallengeAndRefusedEhlo)
{
    test::ScriptedServer malformed([](ScriptSession& peer) {
        peer.send("220 scripted ESMTP\r\n");
        answer(peer, "250 AUTH CRAM-MD5");
        answer(peer, "334");
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, malformed.port());
    client.AuthType = TSmtpAuthType::smtpAuthCramMD5;
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "500 Malformed MD5 Challege: 334");
    client.Abort();

    // Without ESMTP the open falls back to HELO.
    test::ScriptedServer old([](ScriptSession& peer) {
        peer.send("220 old server\r\n");
        answer(peer, "502 what?");
        answer(peer, "250 hello");
        quitAndClose(peer);
    });
    test::configureClient(client, old.port());
    EXPECT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(old.waitDone());
    EXPECT_EQ(old.received(), (Lines { "EHLO SEN", "HELO SEN", "QUIT" }));
}

// ---- bad input: every case ends, within the time-out at the latest, with a false result ----

TEST(SmtpBadInput, OverlongLineWithoutLineEndInBannerOrReply)
{
    const std::string flood(100 * 1024, 'x');
    test::ScriptedServer banner([&](ScriptSession& peer) {
        peer.send(flood);
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, banner.port(), 3);
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse().size(), 4096u);
    EXPECT_TRUE(banner.waitDone());

    test::ScriptedServer reply([&](ScriptSession& peer) {
        peer.send("220 scripted ESMTP\r\n");
        std::string line;
        peer.readLine(line);
        peer.send(flood);
        peer.waitForClose();
    });
    test::configureClient(client, reply.port(), 3);
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_LE(client.LastResponse().size(), 4096u);
    EXPECT_FALSE(client.ErrorMessage().empty());
    client.Abort();
    EXPECT_TRUE(reply.waitDone());
}

TEST(SmtpBadInput, BinaryGarbageInsteadOfAGreeting)
{
    std::string garbage(64 * 1024, '\0');
    std::mt19937 random(7);
    for (auto& c : garbage)
        c = static_cast<char>(random());
    test::ScriptedServer server([&](ScriptSession& peer) {
        peer.send(garbage);
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 3);
    Lines shown;
    client.OnDisplay = [&](TCustomSmtpClient&, const std::string& text) { shown.push_back(text); };
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_LE(client.LastResponse().size(), 4096u);
    for (const auto& line : shown)
        EXPECT_LE(line.size(), 4096u + 2);
    client.Abort();
    EXPECT_TRUE(server.waitDone());
}

TEST(SmtpBadInput, ReplyCutOffByAClose)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        peer.send("220 scripted ESMTP\r\n");
        std::string line;
        peer.readLine(line);
        peer.send("250 half a rep");
        peer.close();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 3);
    EXPECT_FALSE(client.SyncOpen());
    EXPECT_EQ(client.LastResponse(), "220 scripted ESMTP");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
}

TEST(SmtpBadInput, ResetInTheMiddleOfData)
{
    test::ScriptedServer server([](ScriptSession& peer) {
        greetAndHelo(peer);
        answer(peer, "250 ok");
        answer(peer, "250 ok");
        answer(peer, "354 go");
        std::string line;
        for (int i = 0; i < 50 && peer.readLine(line); ++i) { }
        peer.reset();
    });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 3);
    fillEnvelope(client);
    for (int i = 0; i < 200000; ++i)
        client.MailMessage.push_back("line " + std::to_string(i) + " of a long report");
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_FALSE(client.SyncMail());
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
    EXPECT_TRUE(server.waitDone());
}
