// Each client's verdict against the monitoring plugins' (Debian's monitoring-plugins-basic) on
// the same servers: check_http, check_ftp and check_pop say OK exactly when the client does, on
// the real servers, a refused port, a silent listener and a refusing greeting.
//
// The clients are stricter in two places that no case here exercises: the FTP client wants QUIT
// answered with 221 and the POP3 client wants the close after QUIT, where the plugins send QUIT
// and go. check_http runs with "-f follow", since the client follows relocations.

#include "FtpServerFixture.h"
#include "HttpScript.h"
#include "HttpServerFixture.h"
#include "MonitoringPlugin.h"
#include "Pop3ServerFixture.h"

#include "common/net/FtpClient.h"
#include "common/net/HttpCli.h"
#include "common/net/SyncPop3Cli.h"

#include <gtest/gtest.h>


using namespace net;
using test::ScriptedServer;
using test::ScriptSession;

namespace {

constexpr int kTimeout = 2;

using test::PluginRun;
using test::runPlugin;

QStringList hostAndPort(int port)
{
    return { "-H", "127.0.0.1", "-p", QString::number(port), "-t", QString::number(kTimeout) };
}

bool httpVerdict(const std::string& url)
{
    THttpCli client;
    client.URL = url;
    client.Timeout = kTimeout;
    try {
        client.SyncHead();
    } catch (const EHttpException&) {
        return false;
    }
    return true;
}

bool ftpVerdict(int port)
{
    TFtpClient client;
    client.HostName = "127.0.0.1";
    client.Port = std::to_string(port);
    client.Timeout = kTimeout;
    return client.SyncOpen() && client.SyncQuit();
}

bool pop3Verdict(int port)
{
    TSyncPop3Cli client;
    client.Host = "127.0.0.1";
    client.Port = std::to_string(port);
    client.Timeout = kTimeout;
    return client.SyncConnect() && client.SyncQuit();
}

// A server that greets once with `greeting` ("" = never) and waits for the close; one is made
// for each side, so that neither sees what the other left behind.
std::unique_ptr<ScriptedServer> greeter(const std::string& greeting)
{
    return std::make_unique<ScriptedServer>([greeting](ScriptSession& peer) {
        peer.send(greeting);
        peer.waitForClose(15000);
    });
}

} // namespace

class PluginVerdicts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* plugin : { "check_http", "check_ftp", "check_pop" })
            ASSERT_TRUE(test::pluginInstalled(plugin))
                << plugin << " is missing: tools/install-deps installs monitoring-plugins-basic";
    }
};

TEST_F(PluginVerdicts, Http)
{
    test::HttpServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    for (const char* path : { "/", "/empty", "/missing", "/error", "/moved", "/chain1", "/loop" }) {
        SCOPED_TRACE(path);
        const PluginRun plugin = runPlugin("check_http",
            hostAndPort(server.port()) << "-u" << path << "-f"
                                       << "follow");
        EXPECT_EQ(httpVerdict(server.url(path)), plugin.exitCode == 0) << plugin.output;
    }
    const int closed = test::closedLoopbackPort();
    const PluginRun refused = runPlugin("check_http", hostAndPort(closed));
    EXPECT_NE(refused.exitCode, 0) << refused.output;
    EXPECT_FALSE(httpVerdict("127.0.0.1:" + std::to_string(closed)));

    test::ScriptedHttpServer silent([](ScriptSession& peer, const auto&, int) { peer.waitForClose(15000); }, 2);
    EXPECT_FALSE(httpVerdict(silent.url()));
    const PluginRun timedOut = runPlugin("check_http", hostAndPort(silent.port()));
    EXPECT_NE(timedOut.exitCode, 0) << timedOut.output;
}

TEST_F(PluginVerdicts, Ftp)
{
    for (const auto& banner :
        { std::vector<std::string> {}, std::vector<std::string> { "Welcome", "to the fixture" } }) {
        test::FtpServerFixture server({ {}, banner });
        ASSERT_TRUE(server.started()) << server.log();
        const PluginRun plugin = runPlugin("check_ftp", hostAndPort(server.port()));
        EXPECT_EQ(plugin.exitCode, 0) << plugin.output;
        EXPECT_TRUE(ftpVerdict(server.port()));
    }
    const int closed = test::closedLoopbackPort();
    EXPECT_NE(runPlugin("check_ftp", hostAndPort(closed)).exitCode, 0);
    EXPECT_FALSE(ftpVerdict(closed));
    for (const char* greeting : { "", "421 Too many users, try later\r\n" }) {
        SCOPED_TRACE(greeting);
        const auto forPlugin = greeter(greeting);
        const PluginRun plugin = runPlugin("check_ftp", hostAndPort(forPlugin->port()));
        EXPECT_NE(plugin.exitCode, 0) << plugin.output;
        const auto forClient = greeter(greeting);
        EXPECT_FALSE(ftpVerdict(forClient->port()));
    }
}

TEST_F(PluginVerdicts, Pop3)
{
    test::Pop3ServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const PluginRun plugin = runPlugin("check_pop", hostAndPort(server.port()));
    EXPECT_EQ(plugin.exitCode, 0) << plugin.output;
    EXPECT_TRUE(pop3Verdict(server.port()));

    const int closed = test::closedLoopbackPort();
    EXPECT_NE(runPlugin("check_pop", hostAndPort(closed)).exitCode, 0);
    EXPECT_FALSE(pop3Verdict(closed));
    for (const char* greeting : { "", "-ERR maildrop locked\r\n" }) {
        SCOPED_TRACE(greeting);
        const auto forPlugin = greeter(greeting);
        const PluginRun plugin = runPlugin("check_pop", hostAndPort(forPlugin->port()));
        EXPECT_NE(plugin.exitCode, 0) << plugin.output;
        const auto forClient = greeter(greeting);
        EXPECT_FALSE(pop3Verdict(forClient->port()));
    }
}
