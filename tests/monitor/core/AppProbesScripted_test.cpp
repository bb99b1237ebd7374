// The application-layer probes against scripted servers, for what real servers will not do:
// HTTP replies of every odd shape (a 404 on HEAD, no status line, no blank line, a document
// without header, relocation chains and loops, lines longer than the buffer), refusing
// greetings, servers that answer QUIT and keep the connection, and lines longer than the
// clients' buffers.

#include "AppProbeSupport.h"

#include "tests/net/HttpScript.h"
#include "tests/net/ScriptedServer.h"

#include "monitor/core/FtpProbe.h"
#include "monitor/core/HttpProbe.h"
#include "monitor/core/SmtpProbe.h"
#include "monitor/core/TcpProbe.h"
#include "tests/support/PrivateNamespace.h"

#include <atomic>
#include <functional>
#include <memory>

using namespace monitor;
using namespace probetest;
using namespace std::chrono_literals;
using test::ScriptSession;

namespace {

// ---- HTTP -------------------------------------------------------------------------------------

struct HttpCase
{
    const char* name;
    // The reply of every connection.
    std::function<void(ScriptSession&, int session)> reply;
    int sessionsPerAttempt;
    bool firstOk;
    Lines exceptionReasons; // "* Exception: " lines of the first attempt
    bool retryOk;
    Lines header; // shown with Verbose after an OK first attempt
    Lines requestLines; // of the first attempt
};

void sendAndClose(ScriptSession& peer, const std::string& bytes)
{
    peer.send(bytes);
    peer.close();
}

std::vector<HttpCase> httpCases()
{
    const std::string longText(9000, 'x');
    return {
        { "404 on HEAD",
            [](ScriptSession& peer, int) {
                sendAndClose(peer, test::httpReply("HTTP/1.0 404 Not Found", { "Content-Length: 10" }));
            },
            1,
            true,
            { "Not Found" },
            false,
            { "HTTP/1.0 404 Not Found", "Content-Length: 10" },
            { "HEAD / HTTP/1.0" } },
        { "close without a status line",
            [](ScriptSession& peer, int) { peer.close(); },
            1,
            true,
            {},
            true,
            {},
            { "HEAD / HTTP/1.0" } },
        { "status line without the blank line",
            [](ScriptSession& peer, int) { sendAndClose(peer, "HTTP/1.0 200 OK\r\nServer: scripted\r\n"); },
            1,
            true,
            {},
            true,
            { "HTTP/1.0 200 OK", "Server: scripted" },
            { "HEAD / HTTP/1.0" } },
        { "error status without the blank line",
            [](ScriptSession& peer, int) { sendAndClose(peer, "HTTP/1.1 503 Service Unavailable\r\n"); },
            1,
            true,
            { "Service Unavailable" },
            false,
            { "HTTP/1.1 503 Service Unavailable" },
            { "HEAD / HTTP/1.0" } },
        { "<HTML> reply without header",
            [](ScriptSession& peer, int) { sendAndClose(peer, "<html><body>up</body></html>\r\n"); },
            1,
            true,
            {},
            true,
            {},
            { "HEAD / HTTP/1.0" } },
        { "relocation chain",
            [](ScriptSession& peer, int session) {
                if (session == 0)
                    sendAndClose(peer, test::httpReply("HTTP/1.0 302 Found", { "Location: /a" }));
                else if (session == 1)
                    sendAndClose(peer, test::httpReply("HTTP/1.0 301 Moved", { "Location: b" }));
                else
                    sendAndClose(peer, test::httpReply("HTTP/1.0 200 OK", { "Content-Length: 0" }));
            },
            3,
            true,
            {},
            true,
            { "HTTP/1.0 200 OK", "Content-Length: 0" },
            { "HEAD / HTTP/1.0", "HEAD /a HTTP/1.0", "HEAD /b HTTP/1.0" } },
        // Any reply proves the server alive; the retry wants a request that ends well.
        { "relocation loop",
            [](ScriptSession& peer, int) {
                sendAndClose(peer, test::httpReply("HTTP/1.0 302 Found", { "Location: /" }));
            },
            11,
            true,
            { "Too many relocations" },
            false,
            { "HTTP/1.0 302 Found", "Location: /" },
            Lines(11, "HEAD / HTTP/1.0") },
        { "status line longer than the buffer",
            [longText](ScriptSession& peer, int) { sendAndClose(peer, "HTTP/1.0 200 " + longText + "\r\n\r\n"); },
            1,
            false,
            { "HTTP line too long" },
            false,
            {},
            { "HEAD / HTTP/1.0" } },
        { "header line longer than the buffer",
            [longText](ScriptSession& peer, int) {
                sendAndClose(peer, "HTTP/1.0 200 OK\r\nX-Long: " + longText + "\r\n\r\n");
            },
            1,
            true,
            { "HTTP line too long" },
            false,
            { "HTTP/1.0 200 OK" },
            { "HEAD / HTTP/1.0" } },
    };
}

} // namespace

TEST(AppProbesScripted, HttpRepliesOfEveryShape)
{
    MonitorSettings settings;
    settings.Verbose = true;
    for (const HttpCase& c : httpCases()) {
        SCOPED_TRACE(c.name);
        test::ScriptedHttpServer server(
            [&c](ScriptSession& peer, const std::vector<std::string>&, int session) {
                c.reply(peer, session % c.sessionsPerAttempt);
            },
            2 * c.sessionsPerAttempt);
        const std::string port = std::to_string(server.port());
        const std::string url = "127.0.0.1:" + port;
        settings.of(Service::Http).timeOut = 5s;
        HttpProbe probe(settings);

        const Outcome first = attempt(probe, contextFor("HTTP", "127.0.0.1", port));
        EXPECT_EQ(first.ok, c.firstOk);
        Lines activity;
        Lines log;
        for (const std::string& reason : c.exceptionReasons) {
            activity.push_back("* Exception: " + reason);
            log.push_back("* HTTP Exception [" + url + "] " + reason);
        }
        EXPECT_EQ(first.lines.activityLines, activity);
        EXPECT_EQ(first.lines.logLines, log);
        RecordedLines verbose;
        probe.reportResult(first.ok, verbose);
        EXPECT_EQ(verbose.activityLines, first.ok ? c.header : Lines {});
        EXPECT_EQ(server.requestLines(), c.requestLines);

        const Outcome retry = attempt(probe, contextFor("HTTP", "127.0.0.1", port), Attempt::Retry);
        EXPECT_EQ(retry.ok, c.retryOk);
        EXPECT_TRUE(retry.lines.activityLines.empty() && retry.lines.logLines.empty());
        EXPECT_TRUE(server.waitDone());
        // Every request carried the monitor's fields, on lines of their own.
        for (const auto& request : server.requests()) {
            EXPECT_EQ(request,
                (Lines { request.front(),
                    "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
                    "User-Agent: Mozilla/3.0 (compatible)",
                    "Host: 127.0.0.1" }));
        }
    }
}

// ---- FTP, SMTP, POP3, IMAP ----------------------------------------------------------------------

namespace {

struct SessionCase
{
    const char* name;
    const char* service;
    std::function<void(ScriptSession&)> script;
    bool ok;
    Lines verbose; // shown with Verbose
    bool lastsTheTimeOut; // the probe gives up after its time-out (1 s here)
};

// Greets, answers each command with the reply given for it, and waits for the close.
std::function<void(ScriptSession&)> dialogue(const std::string& greeting,
    const std::vector<std::pair<std::string, std::string>>& replies,
    bool closeAfterLast = true)
{
    return [=](ScriptSession& peer) {
        peer.send(greeting);
        std::string line;
        for (const auto& [expected, reply] : replies) {
            if (!peer.readLine(line) || line != expected)
                return;
            peer.send(reply);
        }
        if (closeAfterLast)
            peer.close();
        else
            peer.waitForClose(15000);
    };
}

std::vector<SessionCase> sessionCases()
{
    const std::string longText(5000, 'x');
    return {
        { "FTP greeting and goodbye",
            "FTP",
            dialogue("220 ready\r\n", { { "QUIT", "221 bye\r\n" } }),
            true,
            { "220 ready" },
            false },
        { "FTP multi-line greeting ended by LF alone",
            "FTP",
            dialogue("220-Welcome\n220-to the\n220 scripted server\n", { { "QUIT", "221 bye\n" } }),
            true,
            { "220 scripted server" },
            false },
        { "FTP 421 greeting", "FTP", dialogue("421 Too many users, try later\r\n", {}, false), false, {}, false },
        { "FTP QUIT refused",
            "FTP",
            dialogue("220 ready\r\n", { { "QUIT", "500 what?\r\n" } }, false),
            false,
            { "220 ready" },
            false },
        { "FTP QUIT not answered", "FTP", dialogue("220 ready\r\n", {}, false), false, { "220 ready" }, true },
        { "FTP greeting longer than the buffer",
            "FTP",
            dialogue("220 " + longText + "\r\n", { { "QUIT", "221 bye\r\n" } }),
            true,
            { ("220 " + longText).substr(0, 4095) },
            false },
        { "SMTP greeting, HELO and goodbye",
            "SMTP",
            dialogue("220 mail ESMTP\r\n", { { "HELO SEN", "250 mail\r\n" }, { "QUIT", "221 bye\r\n" } }),
            true,
            { "250 mail", "221 bye" },
            false },
        { "SMTP 554 greeting", "SMTP", dialogue("554 no service\r\n", {}, false), false, {}, false },
        { "SMTP answers QUIT and keeps the connection",
            "SMTP",
            dialogue("220 mail\r\n", { { "HELO SEN", "250 mail\r\n" }, { "QUIT", "221 bye\r\n" } }, false),
            false,
            { "250 mail", "221 bye" },
            true },
        { "SMTP greeting longer than the buffer",
            "SMTP",
            dialogue("220 " + longText + "\r\n", { { "HELO SEN", "250 mail\r\n" }, { "QUIT", "221 bye\r\n" } }),
            true,
            { "250 mail", "221 bye" },
            false },
        { "POP3 greeting and goodbye",
            "POP3",
            dialogue("+OK ready <1.2@host>\r\n", { { "QUIT", "+OK bye\r\n" } }),
            true,
            { "+OK ready <1.2@host>", "+OK bye" },
            false },
        { "POP3 -ERR greeting", "POP3", dialogue("-ERR maildrop locked\r\n", {}, false), false, {}, false },
        { "POP3 answers QUIT and keeps the connection",
            "POP3",
            dialogue("+OK ready\r\n", { { "QUIT", "+OK bye\r\n" } }, false),
            false,
            { "+OK ready", "+OK bye" },
            true },
        { "POP3 QUIT refused, then closed",
            "POP3",
            dialogue("+OK ready\r\n", { { "QUIT", "-ERR no\r\n" } }),
            false,
            { "+OK ready", "-ERR no" },
            false },
        { "POP3 greeting longer than the buffer",
            "POP3",
            dialogue("+OK " + longText + "\r\n", { { "QUIT", "+OK bye\r\n" } }),
            true,
            // The greeting comes in pieces of 4093 bytes; the last one is the last line read.
            { std::string(5004 - 4093, 'x'), "+OK bye" },
            false },
        { "IMAP greeting and LOGOUT",
            "IMAP",
            dialogue("* OK IMAP4rev1 ready\r\n", { { "A1 LOGOUT", "* BYE bye\r\nA1 OK done\r\n" } }, false),
            true,
            { "* OK IMAP4rev1 ready", "A1 OK done" },
            false },
        { "IMAP BYE greeting", "IMAP", dialogue("* BYE too busy\r\n", {}, false), false, {}, false },
        { "IMAP LOGOUT without BYE",
            "IMAP",
            dialogue("* PREAUTH hi\r\n", { { "A1 LOGOUT", "A1 OK done\r\n" } }, false),
            false,
            { "* PREAUTH hi", "A1 OK done" },
            false },
        { "IMAP LOGOUT not answered", "IMAP", dialogue("* OK ready\r\n", {}, false), false, { "* OK ready", "* OK ready" }, true },
    };
}

} // namespace

TEST(AppProbesScripted, GreetingsAndGoodbyes)
{
    MonitorSettings settings;
    setTimeOuts(settings, SessionServices, 1s);
    for (const SessionCase& c : sessionCases()) {
        SCOPED_TRACE(c.name);
        for (const bool verbose : { true, false }) {
            settings.Verbose = verbose;
            test::ScriptedServer server(c.script);
            auto probe = makeProbe(c.service, settings);
            // The row's port is a number: it is used, and the start line's port is its text.
            const Outcome outcome = attempt(*probe, contextFor(c.service, "127.0.0.1", server.portText()));
            EXPECT_EQ(outcome.ok, c.ok);
            EXPECT_EQ(outcome.lines.activityLines, verbose ? c.verbose : Lines {});
            EXPECT_TRUE(outcome.lines.logLines.empty());
            if (c.lastsTheTimeOut) {
                EXPECT_GE(outcome.took, 900ms);
                EXPECT_LT(outcome.took, 10s);
            }
            // The client leaves no connection behind, whatever the server does.
            EXPECT_TRUE(server.waitDone()) << "the server still waits for the close";
        }
    }
}

// A retry shows nothing, whatever comes back.
TEST(AppProbesScripted, ARetryIsSilent)
{
    MonitorSettings settings;
    settings.Verbose = true;
    for (const char* service : { "FTP", "SMTP", "POP3", "IMAP" }) {
        SCOPED_TRACE(service);
        const std::string name = service;
        test::ScriptedServer server(name == "POP3" ? dialogue("+OK ready\r\n", { { "QUIT", "+OK bye\r\n" } })
                : name == "IMAP"
                ? dialogue("* OK ready\r\n", { { "A1 LOGOUT", "* BYE bye\r\nA1 OK done\r\n" } })
                : name == "FTP"
                ? dialogue("220 ready\r\n", { { "QUIT", "221 bye\r\n" } })
                : dialogue("220 ready\r\n", { { "HELO SEN", "250 mail\r\n" }, { "QUIT", "221 bye\r\n" } }));
        auto probe = makeProbe(service, settings);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", server.portText()), Attempt::Retry);
        EXPECT_TRUE(outcome.ok);
        EXPECT_TRUE(outcome.lines.activityLines.empty()) << testing::PrintToString(outcome.lines.activityLines);
    }
}

// A server that refuses HELO keeps the session open after the failed open; the probe drops it,
// so that its next test opens a session of its own instead of failing as "already connected".
TEST(AppProbesScripted, ARefusedHeloLeavesNoSessionBehind)
{
    MonitorSettings settings;
    settings.of(Service::Smtp).timeOut = 2s;
    SmtpProbe probe(settings);
    test::ScriptedServer refusing(dialogue("220 mail\r\n", { { "HELO SEN", "501 go away\r\n" } }, false));
    EXPECT_FALSE(attempt(probe, contextFor("SMTP", "127.0.0.1", refusing.portText())).ok);
    EXPECT_TRUE(refusing.waitDone(5000)) << "the refused session was kept";

    test::ScriptedServer normal(
        dialogue("220 mail\r\n", { { "HELO SEN", "250 mail\r\n" }, { "QUIT", "221 bye\r\n" } }));
    EXPECT_TRUE(attempt(probe, contextFor("SMTP", "127.0.0.1", normal.portText()), Attempt::Retry).ok);
}

// An address text with a line break in it is no address: it is looked up as a name, which finds
// nothing (in a network namespace of its own, should a resolver be asked), so no probe reaches
// a server and nothing after the break is ever sent.
TEST(AppProbesScripted, ALineBreakInTheAddressReachesNoServer)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    MonitorSettings settings;
    setTimeOuts(settings, AppServices, 2s);
    const std::string ip = "127.0.0.1\r\nQUIT";

    test::ScriptedHttpServer http([](ScriptSession& peer, const std::vector<std::string>&, int) { peer.close(); });
    HttpProbe httpProbe(settings);
    EXPECT_FALSE(attempt(httpProbe, contextFor("HTTP", ip, std::to_string(http.port()))).ok);
    EXPECT_TRUE(http.requests().empty());

    for (const char* service : { "FTP", "SMTP", "POP3", "IMAP" }) {
        SCOPED_TRACE(service);
        test::ScriptedServer server([](ScriptSession& peer) { peer.send("220 ready\r\n"); });
        auto probe = makeProbe(service, settings);
        EXPECT_FALSE(attempt(*probe, contextFor(service, ip, server.portText())).ok);
        EXPECT_FALSE(server.waitDone(200)) << "a connection reached the server";
    }
}

// A server that sends as fast as we read holds no other test: a 2 s TCP connect beside an FTP
// greeting of endless empty lines (each one a little work for the client) ends on time,
// loosely: its time-out plus a margin for a loaded machine.
TEST(AppProbesScripted, AFloodingServerHoldsNoOtherTest)
{
    MonitorSettings settings;
    settings.of(Service::Ftp).timeOut = 30s;
    settings.of(Service::Tcp).timeOut = 2000ms;
    const std::string flood(64 * 1024, '\n');
    const auto until = std::chrono::steady_clock::now() + 20s;
    std::atomic<bool> over { false };
    test::ScriptedServer server([&](ScriptSession& peer) {
        while (!over && std::chrono::steady_clock::now() < until)
            peer.send(flood);
        peer.close();
    });
    FullListener full;
    FtpProbe ftp(settings);
    RecordedLines ftpLines;
    ftp.start(contextFor("FTP", "127.0.0.1", server.portText()), Attempt::First, ftpLines, [](bool) {});

    TcpProbe tcp(settings);
    const Outcome outcome = attempt(tcp, contextFor("TCP", "127.0.0.1", full.portText()));
    EXPECT_FALSE(outcome.ok);
    EXPECT_LT(outcome.took, 5s);
    over = true;
    ftp.abort();
}
