// THttpCli against scripted loopback servers: the replies a real server will not give (a 404
// that keeps the connection, a close without a status line, a status line without the blank
// line, a document without header, relocation chains and loops, lines longer than the buffer)
// and the exact request sent.

#include "HttpScript.h"
#include "SmtpScript.h"

#include "common/net/HttpCli.h"

#include <gtest/gtest.h>

#include <thread>

using namespace net;
using test::httpReply;
using test::ScriptedHttpServer;
using test::ScriptSession;
using Lines = std::vector<std::string>;

namespace {

// What SyncHead did: returned, or raised with this message and code.
struct Outcome
{
    bool raised = false;
    std::string message;
    int code = 0;
};

Outcome syncHead(THttpCli& client, const std::string& url, int timeout = 5)
{
    client.URL = url;
    client.Timeout = timeout;
    Outcome outcome;
    try {
        client.SyncHead();
    } catch (const EHttpException& e) {
        outcome.raised = true;
        outcome.message = e.what();
        outcome.code = e.ErrorCode();
    }
    return outcome;
}

void replyAndClose(ScriptSession& peer, const std::string& bytes)
{
    peer.send(bytes);
    peer.close();
}

} // namespace

TEST(HttpScripted, SendsTheMonitorsRequestAndReadsTheReply)
{
    ScriptedHttpServer server([](ScriptSession& peer, const Lines&, int) {
        replyAndClose(peer, httpReply("HTTP/1.0 200 OK", { "Server: scripted", "Content-Type: text/plain" }));
    });
    THttpCli client;
    const Outcome outcome = syncHead(client, server.url());
    EXPECT_FALSE(outcome.raised) << outcome.message;
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.requests().at(0),
        (Lines { "HEAD / HTTP/1.0",
            "Accept: image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*",
            "User-Agent: Mozilla/3.0 (compatible)",
            "Host: 127.0.0.1" }));
    EXPECT_EQ(client.ReplyStatusCode(), 200);
    EXPECT_EQ(client.ReplyReason(), "OK");
    EXPECT_EQ(client.ReplyHeader(), (Lines { "HTTP/1.0 200 OK", "Server: scripted", "Content-Type: text/plain" }));
    EXPECT_EQ(client.ContentType(), "text/plain");
    EXPECT_EQ(client.State(), THttpState::httpReady);
}

// How each odd reply ends the request: the status, whether SyncHead raises, what ReplyHeader
// keeps. The server keeps the connection open unless the case closes it, so a request that
// waited for a close would end by the time-out instead ("Timeout").
TEST(HttpScripted, OddRepliesEndTheRequestAsTheyShould)
{
    struct Case
    {
        const char* name;
        std::string reply;
        bool close;
        int status;
        bool raised;
        const char* reason;
        Lines header;
    };
    const std::vector<Case> cases = {
        { "404 on HEAD: the connection goes at once",
            httpReply("HTTP/1.1 404 Not Found", { "Content-Length: 162" }),
            false,
            404,
            true,
            "Not Found",
            { "HTTP/1.1 404 Not Found", "Content-Length: 162" } },
        { "500 without a length",
            httpReply("HTTP/1.0 500 Internal Server Error"),
            false,
            500,
            true,
            "Internal Server Error",
            { "HTTP/1.0 500 Internal Server Error" } },
        { "content length 0 ends without waiting for the close",
            httpReply("HTTP/1.1 200 OK", { "Content-Length: 0" }),
            false,
            200,
            false,
            "OK",
            { "HTTP/1.1 200 OK", "Content-Length: 0" } },
        { "close without a status line", "", true, 0, false, "", {} },
        { "status line without the blank line, then close",
            "HTTP/1.0 200 OK\r\nServer: cut\r\n",
            true,
            200,
            false,
            "OK",
            { "HTTP/1.0 200 OK", "Server: cut" } },
        { "error status without the blank line, then close",
            "HTTP/1.0 503 Busy\r\n",
            true,
            503,
            true,
            "Busy",
            { "HTTP/1.0 503 Busy" } },
        { "a document without header", "<HTML><BODY>old server</BODY></HTML>\r\n", true, 0, false, "", {} },
        { "lines ended by LF alone",
            "HTTP/1.0 204 No Content\nContent-Length: 0\n\n",
            false,
            204,
            false,
            "No Content",
            { "HTTP/1.0 204 No Content", "Content-Length: 0" } },
        { "a header line longer than the buffer",
            "HTTP/1.0 200 OK\r\nX-Long: " + std::string(9000, 'x') + "\r\n\r\n",
            false,
            404,
            true,
            "HTTP line too long",
            { "HTTP/1.0 200 OK" } },
        { "a first line longer than the buffer", std::string(20000, 'y'), false, 404, true, "HTTP line too long", {} },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool clientClosed = false;
        ScriptedHttpServer server([&](ScriptSession& peer, const Lines&, int) {
            peer.send(c.reply);
            if (c.close)
                peer.close();
            else
                clientClosed = peer.waitForClose(15000);
        });
        THttpCli client;
        const Outcome outcome = syncHead(client, server.url(), 8);
        EXPECT_EQ(outcome.raised, c.raised) << outcome.message;
        if (c.raised) {
            EXPECT_EQ(outcome.message, c.reason);
            EXPECT_EQ(outcome.code, c.status);
        }
        EXPECT_EQ(client.ReplyStatusCode(), c.status);
        EXPECT_EQ(client.ReplyReason(), c.reason);
        EXPECT_EQ(client.ReplyHeader(), c.header);
        EXPECT_EQ(client.State(), THttpState::httpReady);
        ASSERT_TRUE(server.waitDone());
        if (!c.close) {
            EXPECT_TRUE(clientClosed) << "the client left the connection open";
        }
    }
}

TEST(HttpScripted, ADocumentWithoutHeaderIsHtml)
{
    ScriptedHttpServer server([](ScriptSession& peer, const Lines&, int) {
        replyAndClose(peer, "<html>\r\nHTTP/1.0 500 not a header any more\r\n\r\n");
    });
    THttpCli client;
    EXPECT_FALSE(syncHead(client, server.url()).raised);
    EXPECT_EQ(client.ContentType(), "text/html");
    EXPECT_EQ(client.ReplyStatusCode(), 0);
    EXPECT_TRUE(client.ReplyHeader().empty());
}

TEST(HttpScripted, FollowsARelocationChainInEveryForm)
{
    std::unique_ptr<ScriptedHttpServer> server;
    int port = 0;
    server = std::make_unique<ScriptedHttpServer>(
        [&](ScriptSession& peer, const Lines&, int session) {
            switch (session) {
            case 0:
                return replyAndClose(peer, httpReply("HTTP/1.1 302 Found", { "Location: /dir/a" }));
            case 1:
                return replyAndClose(peer, httpReply("HTTP/1.1 301 Moved", { "location:   b?x=1" }));
            case 2:
                return replyAndClose(peer,
                    httpReply(
                        "HTTP/1.1 307 Temporary", { "LOCATION: http://127.0.0.1:" + std::to_string(port) + "/c" }));
            case 3:
                // A relocation whose header is cut by the close still relocates.
                return replyAndClose(peer, "HTTP/1.1 302 Found\r\nLocation: /final\r\n");
            default:
                return replyAndClose(peer, httpReply("HTTP/1.1 200 OK", { "Content-Length: 5" }));
            }
        },
        5);
    port = server->port();
    THttpCli client;
    std::vector<std::string> changes;
    client.OnLocationChange = [&](THttpCli&, const std::string& url) { changes.push_back(url); };
    const Outcome outcome = syncHead(client, server->url("/start"));
    EXPECT_FALSE(outcome.raised) << outcome.message;
    ASSERT_TRUE(server->waitDone());
    EXPECT_EQ(server->requestLines(),
        (Lines { "HEAD /start HTTP/1.0",
            "HEAD /dir/a HTTP/1.0",
            "HEAD /dir/b?x=1 HTTP/1.0",
            "HEAD /c HTTP/1.0",
            "HEAD /final HTTP/1.0" }));
    const std::string base = "http://127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(changes, (Lines { base + "/dir/a", base + "/dir/b?x=1", base + "/c", base + "/final" }));
    EXPECT_EQ(client.ReplyStatusCode(), 200);
    EXPECT_EQ(client.ReplyHeader(), (Lines { "HTTP/1.1 200 OK", "Content-Length: 5" }));
    EXPECT_EQ(client.RequestedUrl().path, "/final");
}

TEST(HttpScripted, ARelocationLoopEndsAfterTenRelocations)
{
    ScriptedHttpServer server(
        [](ScriptSession& peer, const Lines&, int) {
            replyAndClose(peer, httpReply("HTTP/1.1 302 Found", { "Location: /loop" }));
        },
        THttpCli::kMaxRelocations + 1);
    THttpCli client;
    const Outcome outcome = syncHead(client, server.url("/loop"));
    EXPECT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.message, "Too many relocations");
    EXPECT_EQ(outcome.code, 404);
    ASSERT_TRUE(server.waitDone());
    EXPECT_EQ(server.requests().size(), std::size_t(THttpCli::kMaxRelocations + 1));
    // The last reply stays: the server did answer.
    EXPECT_EQ(client.ReplyHeader().at(0), "HTTP/1.1 302 Found");

    // The count starts again with the next request.
    ScriptedHttpServer again(
        [](ScriptSession& peer, const Lines&, int session) {
            replyAndClose(peer,
                session < THttpCli::kMaxRelocations ? httpReply("HTTP/1.1 302 Found", { "Location: /x" })
                                                    : httpReply("HTTP/1.1 200 OK"));
        },
        THttpCli::kMaxRelocations + 1);
    EXPECT_FALSE(syncHead(client, again.url("/x")).raised);
    EXPECT_EQ(client.ReplyStatusCode(), 200);
}

TEST(HttpScripted, ARelocationToAnotherSchemeIsNotFollowed)
{
    ScriptedHttpServer server([](ScriptSession& peer, const Lines&, int) {
        replyAndClose(peer, httpReply("HTTP/1.1 301 Moved Permanently", { "Location: https://127.0.0.1/" }));
    });
    THttpCli client;
    EXPECT_FALSE(syncHead(client, server.url()).raised);
    EXPECT_EQ(client.ReplyStatusCode(), 301);
    EXPECT_EQ(client.Location(), "https://127.0.0.1/");
    EXPECT_EQ(server.requests().size(), 1u);
}

TEST(HttpScripted, FailuresBeforeAReplyAreStatus404WithAnEmptyHeader)
{
    THttpCli client;
    const Outcome refused = syncHead(client, "127.0.0.1:" + std::to_string(test::closedLoopbackPort()));
    EXPECT_TRUE(refused.raised);
    EXPECT_EQ(refused.message, "Connection refused (Error #10061)");
    EXPECT_EQ(refused.code, 404);
    EXPECT_TRUE(client.ReplyHeader().empty());

    client.CtrlSocket().Resolver().setBlockingLookup(
        [](const std::string&, std::vector<std::string>&) { return 11001; });
    const Outcome unknown = syncHead(client, "no-such-host.test");
    EXPECT_EQ(unknown.message, "can't resolve hostname to IP address");
    EXPECT_EQ(client.ReplyStatusCode(), 404);
    EXPECT_TRUE(client.ReplyHeader().empty());

    const Outcome badPort = syncHead(client, "127.0.0.1:no-such-service");
    EXPECT_TRUE(badPort.raised);
    EXPECT_EQ(badPort.message.rfind("can't connect: ", 0), 0u) << badPort.message;

    const Outcome empty = syncHead(client, "");
    EXPECT_TRUE(empty.raised);
    EXPECT_EQ(empty.code, 404);
    EXPECT_EQ(client.State(), THttpState::httpReady);
}

// A time-out at any step ends the request with "Timeout"; the client is ready for the next.
TEST(HttpScripted, TimeOutAtEveryStep)
{
    struct Case
    {
        const char* name;
        std::function<std::shared_ptr<void>(THttpCli&, std::string& url)> serve;
        bool headerKept;
    };
    const auto scripted = [](std::string& url, ScriptedHttpServer::Script script, int sessions = 1) {
        auto server = std::make_shared<ScriptedHttpServer>(std::move(script), sessions);
        url = server->url();
        return std::shared_ptr<void>(server);
    };
    const std::vector<Case> cases = {
        { "name look-up",
            [](THttpCli& c, std::string& url) -> std::shared_ptr<void> {
                c.CtrlSocket().Resolver().setBlockingLookup([](const std::string&, std::vector<std::string>& a) {
                    std::this_thread::sleep_for(std::chrono::seconds(3));
                    a = { "127.0.0.1" };
                    return 0;
                });
                url = "slow.example.test:1";
                return nullptr;
            },
            false },
        { "connect",
            [](THttpCli&, std::string& url) -> std::shared_ptr<void> {
                auto listener = std::make_shared<test::FullListener>();
                url = "127.0.0.1:" + std::to_string(listener->port());
                return listener;
            },
            false },
        { "silence after the request",
            [&](THttpCli&, std::string& url) {
                return scripted(url, [](ScriptSession& peer, const Lines&, int) { peer.waitForClose(); });
            },
            false },
        { "status line, then silence",
            [&](THttpCli&, std::string& url) {
                return scripted(url, [](ScriptSession& peer, const Lines&, int) {
                    peer.send("HTTP/1.0 200 OK\r\n");
                    peer.waitForClose();
                });
            },
            true },
        { "whole header, the close never comes",
            [&](THttpCli&, std::string& url) {
                return scripted(url, [](ScriptSession& peer, const Lines&, int) {
                    peer.send(httpReply("HTTP/1.0 200 OK"));
                    peer.waitForClose();
                });
            },
            true },
        { "relocation, then silence",
            [&](THttpCli&, std::string& url) {
                return scripted(
                    url,
                    [](ScriptSession& peer, const Lines&, int session) {
                        if (session == 0)
                            return replyAndClose(peer, httpReply("HTTP/1.0 302 Found", { "Location: /next" }));
                        peer.waitForClose();
                    },
                    2);
            },
            false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        THttpCli client;
        std::string url;
        const auto keep = c.serve(client, url);
        const Outcome outcome = syncHead(client, url, 1);
        EXPECT_TRUE(outcome.raised);
        EXPECT_EQ(outcome.message, "Timeout");
        EXPECT_EQ(outcome.code, 404);
        EXPECT_EQ(client.State(), THttpState::httpReady);
        EXPECT_EQ(!client.ReplyHeader().empty(), c.headerKept);
        if (c.headerKept) {
            EXPECT_EQ(client.ReplyHeader().front(), "HTTP/1.0 200 OK");
        }

        client.CtrlSocket().Resolver().setBlockingLookup(nullptr);
        ScriptedHttpServer next(
            [](ScriptSession& peer, const Lines&, int) { replyAndClose(peer, httpReply("HTTP/1.0 200 OK")); });
        EXPECT_FALSE(syncHead(client, next.url()).raised);
        EXPECT_EQ(client.ReplyStatusCode(), 200);
    }
}

TEST(HttpHostileCaller, ValuesWithLineBreaksStayInsideTheirLines)
{
    ScriptedHttpServer server(
        [](ScriptSession& peer, const Lines&, int) { replyAndClose(peer, httpReply("HTTP/1.0 200 OK")); });
    THttpCli client;
    client.Agent = "agent\r\nX-Evil: 1";
    client.Accept = "*/*\nX-Evil: 2";
    client.Cookie = "a=b\r\n\r\nGET /admin HTTP/1.0";
    EXPECT_FALSE(syncHead(client, server.url("/a b\r\nX-Evil: 3")).raised);
    ASSERT_TRUE(server.waitDone());
    const Lines request = server.requests().at(0);
    EXPECT_EQ(request,
        (Lines { "HEAD /a%20b%20%20X-Evil:%203 HTTP/1.0",
            "Accept: */* X-Evil: 2",
            "User-Agent: agent  X-Evil: 1",
            "Host: 127.0.0.1",
            "Cookie: a=b    GET /admin HTTP/1.0" }));
}

TEST(HttpHostileCaller, ASecondRequestWhileBusyRaisesAndLeavesTheFirstAlone)
{
    ScriptedHttpServer server(
        [](ScriptSession& peer, const Lines&, int) { replyAndClose(peer, httpReply("HTTP/1.0 200 OK")); });
    THttpCli client;
    client.URL = server.url();
    bool done = false;
    client.OnRequestDone = [&](THttpCli&, THttpRequest, int) { done = true; };
    client.Head();
    EXPECT_THROW(client.Head(), EHttpException);
    try {
        client.SyncHead();
        FAIL() << "no exception";
    } catch (const EHttpException& e) {
        EXPECT_STREQ(e.what(), "HTTP component is busy");
    }
    EXPECT_TRUE(core::waitFor([&] { return done; }, std::chrono::seconds(10)));
    EXPECT_EQ(client.ReplyStatusCode(), 200);
}

TEST(HttpHostileCaller, AbortEndsTheRequestAtOnce)
{
    ScriptedHttpServer server([](ScriptSession& peer, const Lines&, int) { peer.waitForClose(); });
    THttpCli client;
    client.URL = server.url();
    std::vector<int> done;
    client.OnRequestDone = [&](THttpCli&, THttpRequest request, int error) {
        EXPECT_EQ(request, THttpRequest::httpHEAD);
        done.push_back(error);
    };
    client.OnSessionConnected = [](THttpCli& sender, int) { sender.Abort(); };
    client.Head();
    EXPECT_TRUE(core::waitFor([&] { return !done.empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(done, std::vector<int> { 404 });
    EXPECT_EQ(client.ReplyReason(), "Request aborted");
    EXPECT_EQ(client.State(), THttpState::httpReady);
    EXPECT_TRUE(server.waitDone());
}
