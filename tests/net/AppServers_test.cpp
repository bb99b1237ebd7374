// The HTTP, FTP, POP3 and IMAP clients against the real servers a user meets: Debian's nginx,
// vsftpd and dovecot, each started by its fixture on loopback, on a free port and, inside a private
// network namespace, on the standard port.

#include "FtpServerFixture.h"
#include "HttpServerFixture.h"
#include "Pop3ServerFixture.h"

#include "common/net/FtpClient.h"
#include "common/net/HttpCli.h"
#include "common/net/SyncImapCli.h"
#include "common/net/SyncPop3Cli.h"
#include "tests/support/PrivateNamespace.h"

#include <gtest/gtest.h>

using namespace net;
using Lines = std::vector<std::string>;

namespace {

struct HeadResult
{
    bool raised = false;
    std::string message;
};

HeadResult head(THttpCli& client, const std::string& url)
{
    client.URL = url;
    client.Timeout = 10;
    HeadResult result;
    try {
        client.SyncHead();
    } catch (const EHttpException& e) {
        result.raised = true;
        result.message = e.what();
    }
    return result;
}

bool ftpOpenAndQuit(TFtpClient& client, const std::string& address, const std::string& port)
{
    client.HostName = address;
    client.Port = port;
    client.Timeout = 10;
    return client.SyncOpen() && client.SyncQuit();
}

bool pop3ConnectAndQuit(TSyncPop3Cli& client, const std::string& address, const std::string& port)
{
    client.Host = address;
    client.Port = port;
    client.Timeout = 10;
    return client.SyncConnect() && client.SyncQuit();
}

} // namespace

TEST(HttpRealServer, EveryPathOfTheFixture)
{
    test::HttpServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    struct Case
    {
        const char* path;
        bool raised;
        int status;
        const char* reason;
        const char* finalPath;
    };
    const Case cases[] = {
        { "/", false, 200, "OK", "/" },
        { "/empty", false, 200, "OK", "/empty" },
        { "/missing", true, 404, "Not Found", "/missing" },
        { "/error", true, 500, "Internal Server Error", "/error" },
        { "/moved", false, 200, "OK", "/" },
        { "/chain1", false, 200, "OK", "/" },
        { "/loop", true, 404, "Too many relocations", "/loop" },
        { "/secure", false, 301, "Moved Permanently", "/secure" },
    };
    THttpCli client;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const HeadResult result = head(client, server.url(c.path));
        EXPECT_EQ(result.raised, c.raised) << result.message;
        EXPECT_EQ(client.ReplyStatusCode(), c.status);
        EXPECT_EQ(client.ReplyReason(), c.reason);
        EXPECT_EQ(client.RequestedUrl().path, c.finalPath);
        ASSERT_FALSE(client.ReplyHeader().empty());
        EXPECT_EQ(client.ReplyHeader().front().substr(0, 9), "HTTP/1.1 ");
    }
    head(client, server.url("/empty"));
    EXPECT_EQ(client.ContentLength(), 0);
    head(client, server.url("/"));
    EXPECT_GT(client.ContentLength(), 0);
    EXPECT_EQ(client.ContentType(), "text/html");
}

TEST(FtpRealServer, GreetingsAndQuit)
{
    struct Case
    {
        const char* name;
        std::vector<std::string> banner;
        Lines shownGreeting;
    };
    const std::vector<Case> cases = {
        { "vsftpd's own", {}, { "< 220 (vsFTPd 3.0.3)" } },
        { "one line", { "Fixture FTP ready" }, { "< 220 Fixture FTP ready" } },
        { "several lines", { "Welcome", "to the fixture" }, { "< 220-Welcome", "< 220-to the fixture", "< 220 " } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::FtpServerFixture server({ {}, c.banner });
        ASSERT_TRUE(server.started()) << server.log();
        for (const unsigned options : { unsigned(ftpAcceptLF), 0u }) {
            TFtpClient client;
            client.Options = options;
            Lines shown;
            client.OnDisplay = [&](TCustomFtpCli&, const std::string& text) { shown.push_back(text); };
            client.HostName = server.address();
            client.Port = std::to_string(server.port());
            ASSERT_TRUE(client.SyncOpen()) << client.LastResponse();
            EXPECT_EQ(shown, c.shownGreeting);
            EXPECT_TRUE(client.SyncQuit()) << client.LastResponse();
            EXPECT_EQ(client.LastResponse(), "221 Goodbye.");
            EXPECT_FALSE(client.Connected());
        }
    }
}

TEST(Pop3RealServer, GreetingWithAndWithoutApopAndQuit)
{
    for (const bool apop : { true, false }) {
        SCOPED_TRACE(apop ? "APOP offered" : "no APOP");
        test::Pop3ServerFixture server({ {}, "Fixture POP3 ready.", apop });
        ASSERT_TRUE(server.started()) << server.log();
        TSyncPop3Cli client;
        client.Host = server.address();
        client.Port = std::to_string(server.port());
        ASSERT_TRUE(client.SyncConnect()) << client.LastResponse();
        EXPECT_EQ(client.LastResponse().rfind("+OK Fixture POP3 ready.", 0), 0u) << client.LastResponse();
        if (apop) {
            const std::string& stamp = client.TimeStamp();
            ASSERT_GE(stamp.size(), 3u);
            EXPECT_TRUE(stamp.front() == '<' && stamp.back() == '>' && stamp.find('@') != std::string::npos) << stamp;
            EXPECT_NE(client.LastResponse().find(client.TimeStamp()), std::string::npos);
        } else {
            EXPECT_EQ(client.TimeStamp(), "");
        }
        EXPECT_TRUE(client.SyncQuit()) << client.ErrorMessage();
        EXPECT_EQ(client.LastResponse(), "+OK Logging out");
        EXPECT_FALSE(client.Connected());
    }
}

TEST(ImapRealServer, GreetingAndLogoutRoundAfterRound)
{
    test::ImapServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    TSyncImapCli client;
    client.Host = server.address();
    client.Port = std::to_string(server.port());
    Lines shown;
    client.OnDisplay = [&](TCustomImapCli&, const std::string& text) { shown.push_back(text); };
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        shown.clear();
        ASSERT_TRUE(client.SyncConnect()) << client.LastResponse();
        EXPECT_EQ(client.ProtocolState(), TImapProtocolState::imapNotAuthenticated);
        EXPECT_EQ(client.LastResponse().rfind("* OK [CAPABILITY IMAP4rev1 ", 0), 0u) << client.LastResponse();
        EXPECT_TRUE(client.SyncLogout()) << client.ErrorMessage();
        EXPECT_EQ(client.LastResponse().rfind("A1 OK Logout completed", 0), 0u) << client.LastResponse();
        EXPECT_FALSE(client.Connected());
        ASSERT_EQ(shown.size(), 4u);
        EXPECT_EQ(Lines(shown.begin() + 1, shown.begin() + 3), (Lines { "> A1 LOGOUT", "< * BYE Logging out" }));
    }
}

// One client object serves test after test, as a monitor's does: nothing piles up, on either side.
TEST(AppRealServers, OneClientManyRounds)
{
    test::HttpServerFixture http;
    test::FtpServerFixture ftp;
    test::Pop3ServerFixture pop3;
    ASSERT_TRUE(http.started() && ftp.started() && pop3.started()) << http.log() << ftp.log() << pop3.log();
    THttpCli httpClient;
    TFtpClient ftpClient;
    TSyncPop3Cli pop3Client;
    for (int round = 0; round < 25; ++round) {
        SCOPED_TRACE(round);
        EXPECT_FALSE(head(httpClient, http.url()).raised);
        EXPECT_TRUE(ftpOpenAndQuit(ftpClient, ftp.address(), std::to_string(ftp.port())));
        EXPECT_TRUE(pop3ConnectAndQuit(pop3Client, pop3.address(), std::to_string(pop3.port())));
    }
}

// Inside a network namespace of its own the fixtures listen on the standard ports, where the
// clients find them by the service names, and the HTTP URL is the bare address.
TEST(AppRealServers, StandardPortsInAPrivateNetwork)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    test::HttpServerFixture http({ { "127.0.0.1", 80 }, { "127.0.0.2" } });
    test::FtpServerFixture ftp({ { "127.0.0.1", 21 }, {} });
    test::Pop3ServerFixture pop3(test::Pop3ServerFixture::Options { { "127.0.0.1", 110 } });
    ASSERT_TRUE(http.started()) << http.log();
    ASSERT_TRUE(ftp.started()) << ftp.log();
    ASSERT_TRUE(pop3.started()) << pop3.log();
    EXPECT_EQ(http.url(), "127.0.0.1:80");

    THttpCli httpClient;
    for (const char* url : { "127.0.0.1", "127.0.0.2", "http://127.0.0.1/" }) {
        SCOPED_TRACE(url);
        EXPECT_FALSE(head(httpClient, url).raised);
        EXPECT_EQ(httpClient.ReplyStatusCode(), 200);
    }
    TFtpClient ftpClient;
    EXPECT_TRUE(ftpOpenAndQuit(ftpClient, "127.0.0.1", "ftp")) << ftpClient.LastResponse();
    TSyncPop3Cli pop3Client;
    EXPECT_TRUE(pop3ConnectAndQuit(pop3Client, "127.0.0.1", "pop3")) << pop3Client.LastResponse();
}
