// TSyncSmtpCli against a hostile or careless caller: line breaks smuggled into header values,
// body entries and commands; a time-out at every step of a session; a program that quits while
// a mail is on its way; a time-out of zero.

#include "SmtpScript.h"

#include "common/core/EventLoop.h"
#include "common/net/SyncSmtpCli.h"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace net;
using test::Lines;
using test::ScriptSession;

namespace {

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// Whether `wanted` appears in `lines` as a run of consecutive lines.
bool containsRun(const Lines& lines, const Lines& wanted)
{
    return std::search(lines.begin(), lines.end(), wanted.begin(), wanted.end()) != lines.end();
}

struct InjectionCase
{
    const char* name;
    std::function<void(TSyncSmtpCli&)> setup;
    // Lines that must arrive, in this order, one after the other (header and body alike).
    Lines expected;
};

} // namespace

// Every CR or LF a caller slips in stays data: a header value gets blanks, a body entry becomes
// several dot-stuffed lines, a command stays one line. The server reads exactly one message and
// then QUIT.
TEST(SmtpHostileCaller, LineBreaksInValuesNeverReachTheWireRaw)
{
    const std::vector<InjectionCase> cases = {
        { "header To adds no Bcc",
            [](TSyncSmtpCli& c) { c.HdrTo = "c@d\r\nBcc: evil@x"; },
            { "To: c@d  Bcc: evil@x" } },
        { "subject cannot end DATA early",
            [](TSyncSmtpCli& c) { c.HdrSubject = "hi\r\n.\r\nMAIL FROM:<spoof@x>"; },
            { "Subject: hi  .  MAIL FROM:<spoof@x>" } },
        { "bare LF and CR in From, Cc and Sender",
            [](TSyncSmtpCli& c) {
                c.HdrFrom = "a@b\nX-Evil: 1";
                c.HdrCc = "x\rCc: y";
                c.HdrSender = "s@t\r\n\r\nbody";
            },
            { "From: a@b X-Evil: 1", "To: ops@example.org", "Cc: x Cc: y", "Subject: Report", "Sender: s@t    body" } },
        { "reply-to and return-path",
            [](TSyncSmtpCli& c) {
                c.HdrReplyTo = "r@s\r\n";
                c.HdrReturnPath = "\nb@c";
            },
            { "Reply-To: r@s  ", "Return-Path:  b@c" } },
        { "body entries split at every kind of line break",
            [](TSyncSmtpCli& c) {
                c.MailMessage = { "one\ntwo", "three\rfour", ".five\r\n.six", "\r\n.\r\nRSET", "end" };
            },
            { "", "one", "two", "three", "four", "..five", "..six", "", "..", "RSET", "end" } },
        { "a piece of a split entry is cut like any line",
            [](TSyncSmtpCli& c) { c.MailMessage = { std::string(1500, 'x') + "\n" + "tail" }; },
            { std::string(1023, 'x'), "tail" } },
        { "lines handed over by OnGetData",
            [](TSyncSmtpCli& c) {
                c.MailMessage = { "first" };
                c.OnGetData = [](TCustomSmtpClient&, int number, std::string& line, int, bool& more) {
                    more = number == 1;
                    line = "a\r\n.\r\nQUIT\nb";
                };
            },
            { "first", "a", "..", "QUIT", "b" } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Lines data;
        test::ScriptedServer server([&](ScriptSession& peer) { test::acceptOneMail(peer, data); });
        TSyncSmtpCli client;
        test::configureClient(client, server.port());
        test::fillEnvelope(client);
        client.MailMessage = { "body" };
        c.setup(client);
        ASSERT_TRUE(client.SyncOpen());
        EXPECT_TRUE(client.SyncMail()) << client.LastResponse();
        EXPECT_TRUE(client.SyncQuit());
        ASSERT_TRUE(server.waitDone());
        const Lines lines = server.received();
        // One message, then QUIT: nothing the caller wrote was taken for a command.
        EXPECT_EQ(test::linesAfter(lines, "."), Lines { "QUIT" });
        EXPECT_TRUE(containsRun(data, c.expected)) << ::testing::PrintToString(data);
        const auto headerEnd = std::find(data.begin(), data.end(), std::string());
        for (auto it = data.begin(); it != headerEnd; ++it)
            EXPECT_FALSE(startsWith(*it, "Bcc:") || startsWith(*it, "X-Evil:")) << *it;
        for (const auto& line : lines)
            EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos) << "bare CR or LF in: " << line;
    }
}

TEST(SmtpHostileCaller, LineBreaksInEnvelopeAddressesStayInsideOneCommand)
{
    Lines data;
    test::ScriptedServer server([&](ScriptSession& peer) { test::acceptOneMail(peer, data, 2); });
    TSyncSmtpCli client;
    test::configureClient(client, server.port());
    test::fillEnvelope(client);
    client.FromName = "admin@example.org\r\nRCPT TO:<evil@x>";
    client.RcptName = { "ops@example.org\r\nDATA", "boss@example.org\nRSET" };
    client.MailMessage = { "body" };
    ASSERT_TRUE(client.SyncOpen());
    EXPECT_TRUE(client.SyncMail());
    EXPECT_TRUE(client.SyncQuit());
    ASSERT_TRUE(server.waitDone());
    const Lines lines = server.received();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 5),
        (Lines { "HELO SEN",
            "MAIL FROM:admin@example.org  RCPT TO:<evil@x>",
            "RCPT TO:<ops@example.org  DATA>",
            "RCPT TO:<boss@example.org RSET>",
            "DATA" }));
}

// ---- time-outs ------------------------------------------------------------------------------

namespace {

struct StepCase
{
    const char* name;
    // Starts what the client will connect to; the server object is kept until the case ends.
    std::function<std::shared_ptr<void>(TSyncSmtpCli&)> serve;
    // true: the time-out hits SyncOpen; false: SyncOpen succeeds and SyncMail times out.
    bool inOpen;
};

std::shared_ptr<void> scripted(TSyncSmtpCli& client, test::ScriptedServer::Script script)
{
    auto server = std::make_shared<test::ScriptedServer>(std::move(script));
    client.Port = server->portText();
    return server;
}

} // namespace

// A time-out at any step ends the whole request: the client is ready again, SyncQuit on the
// dropped session succeeds at once, and the next SyncOpen works.
TEST(SmtpHostileCaller, TimeOutAtEveryStepLeavesTheClientReady)
{
    const std::vector<StepCase> cases = {
        { "name look-up",
            [](TSyncSmtpCli& c) -> std::shared_ptr<void> {
                c.Host = "slow.example.test";
                test::slowLookup(c.Socket());
                return nullptr;
            },
            true },
        { "connect",
            [](TSyncSmtpCli& c) -> std::shared_ptr<void> {
                auto listener = std::make_shared<test::FullListener>();
                c.Port = std::to_string(listener->port());
                return listener;
            },
            true },
        { "greeting",
            [](TSyncSmtpCli& c) { return scripted(c, [](ScriptSession& peer) { peer.waitForClose(); }); },
            true },
        { "HELO reply",
            [](TSyncSmtpCli& c) {
                return scripted(c, [](ScriptSession& peer) {
                    peer.send("220 hi\r\n");
                    peer.waitForClose();
                });
            },
            true },
        { "MAIL FROM reply",
            [](TSyncSmtpCli& c) {
                return scripted(c, [](ScriptSession& peer) {
                    test::greetAndHelo(peer);
                    peer.waitForClose();
                });
            },
            false },
        { "reply to the end of DATA",
            [](TSyncSmtpCli& c) {
                return scripted(c, [](ScriptSession& peer) {
                    test::greetAndHelo(peer);
                    test::answer(peer, "250 ok");
                    test::answer(peer, "250 ok");
                    test::answer(peer, "354 go");
                    Lines data;
                    peer.readData(data);
                    peer.waitForClose();
                });
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSyncSmtpCli client;
        test::configureClient(client, 0, 1);
        test::fillEnvelope(client);
        client.MailMessage = { "body" };
        const auto keep = c.serve(client);
        if (c.inOpen) {
            EXPECT_FALSE(client.SyncOpen());
        } else {
            ASSERT_TRUE(client.SyncOpen());
            EXPECT_FALSE(client.SyncMail());
        }
        EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
        EXPECT_EQ(client.StatusCode(), 426);
        EXPECT_EQ(client.State(), TSmtpState::smtpReady);
        EXPECT_FALSE(client.Connected());
        EXPECT_TRUE(client.SyncQuit());
        EXPECT_EQ(client.State(), TSmtpState::smtpReady);

        Lines data;
        test::ScriptedServer next([&](ScriptSession& peer) { test::acceptOneMail(peer, data); });
        client.Host = "127.0.0.1";
        client.Port = next.portText();
        client.Socket().Resolver().setBlockingLookup(nullptr);
        EXPECT_TRUE(client.SyncOpen()) << client.LastResponse();
        EXPECT_TRUE(client.SyncMail()) << client.LastResponse();
        EXPECT_TRUE(client.SyncQuit());
        EXPECT_TRUE(next.waitDone());
        EXPECT_FALSE(data.empty());
    }
}

// The program quits while SyncOpen waits on a server that never answers, with no time limit of
// its own: the wait ends with the quit, as a time-out would, and the main loop can end.
TEST(SmtpHostileCaller, QuittingTheProgramEndsAWaitWithoutLimit)
{
    test::ScriptedServer server([](ScriptSession& peer) { peer.waitForClose(30000); });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), 0);
    bool opened = true;
    bool waited = false;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    QTimer::singleShot(0, [&] {
        opened = client.SyncOpen();
        waited = true;
    });
    QTimer::singleShot(200, [] { QCoreApplication::exit(0); });
    // Only a wait that missed the quit is still running then.
    QTimer::singleShot(20000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(waited);
    EXPECT_FALSE(opened);
    EXPECT_LT(std::chrono::steady_clock::now(), limit);
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
    EXPECT_EQ(client.State(), TSmtpState::smtpReady);
    EXPECT_TRUE(server.waitDone());
}

// A time-out of zero or below is the default limit, not an endless wait.
TEST(SmtpHostileCaller, NonPositiveTimeoutMeansTheDefault)
{
    test::ScriptedServer server([](ScriptSession& peer) { peer.waitForClose(30000); });
    TSyncSmtpCli client;
    test::configureClient(client, server.port(), -1);
    bool opened = true;
    bool waited = false;
    QTimer::singleShot(0, [&] {
        opened = client.SyncOpen();
        waited = true;
        QCoreApplication::exit(0);
    });
    // Far beyond the default of 15 s: only an endless wait gets here.
    QTimer::singleShot(45000, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_TRUE(waited);
    EXPECT_FALSE(opened);
    EXPECT_EQ(client.ErrorMessage(), "426 Timeout");
}
