// Each application-layer probe's verdict beside that of the monitoring plugins (Debian's
// monitoring-plugins-basic) on the same local servers: check_http, check_ftp, check_smtp and
// check_pop say OK exactly when the probe does, on the real servers, a refused port, a listener
// that never answers and a refusing greeting.
//
// The HTTP probe's first attempt takes any status line for a live server, which is check_http
// with "-e HTTP/" (the status line alone decides); its retry wants a request that ends below
// 400, which is check_http's own rule with "-f follow" (the client follows relocations). To
// reach the paths of the nginx fixture, the IP column holds "127.0.0.1:port/path": the probe's
// URL is the IP text when the port column is empty.
//
// Where the probes are stricter, by design (the last test): they want HELO answered with 250,
// QUIT answered with 221 (FTP, SMTP) or "+" and the server's close (POP3); the plugins send
// HELO and QUIT without looking at the answers.

#include "AppProbeSupport.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/MonitoringPlugin.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/net/SmtpServerFixture.h"

#include <functional>
#include <memory>

using namespace monitor;
using namespace probetest;
using test::ScriptSession;

namespace {

constexpr int TimeOutSeconds = 2;

using test::PluginRun;

PluginRun runPlugin(const std::string& name, QStringList arguments)
{
    arguments << "-t" << QString::number(TimeOutSeconds);
    return test::runPlugin(name, arguments);
}

QStringList at(int port)
{
    return { "-H", "127.0.0.1", "-p", QString::number(port) };
}

MonitorSettings shortTimeOuts()
{
    MonitorSettings settings;
    setTimeOuts(settings, AppServices, std::chrono::seconds(TimeOutSeconds));
    return settings;
}

// The verdict of a first attempt of a fresh probe of the service.
bool probeVerdict(
    const std::string& service, const std::string& ip, const std::string& port, Attempt kind = Attempt::First)
{
    const MonitorSettings settings = shortTimeOuts();
    const auto probe = makeProbe(service, settings);
    return attempt(*probe, contextFor(service, ip, port), kind).ok;
}

// A server for one client that plays `script`; one is made for each side, so that neither sees
// what the other left behind.
using Script = std::function<void(ScriptSession&)>;

Script greets(const std::string& greeting)
{
    return [greeting](ScriptSession& peer) {
        peer.send(greeting);
        peer.waitForClose(15000);
    };
}

Script silence()
{
    return [](ScriptSession& peer) { peer.waitForClose(15000); };
}

struct ScriptedVerdicts
{
    bool plugin;
    bool probe;
    std::string output;
};

ScriptedVerdicts bothAgainst(
    const Script& script, const std::string& service, const std::string& plugin, const QStringList& extra = {})
{
    test::ScriptedServer forPlugin(script);
    const PluginRun run = runPlugin(plugin, at(forPlugin.port()) << extra);
    test::ScriptedServer forProbe(script);
    return { run.ok(), probeVerdict(service, "127.0.0.1", forProbe.portText()), run.output };
}

class ProbeVerdicts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        for (const char* plugin : { "check_http", "check_ftp", "check_smtp", "check_pop" })
            ASSERT_TRUE(test::pluginInstalled(plugin))
                << plugin << " is missing: tools/install-deps installs monitoring-plugins-basic";
    }

    // A refused port: both fail.
    void refused(const std::string& service, const std::string& plugin)
    {
        const int closed = test::closedLoopbackPort();
        const PluginRun run = runPlugin(plugin, at(closed));
        EXPECT_FALSE(run.ok()) << run.output;
        EXPECT_FALSE(probeVerdict(service, "127.0.0.1", std::to_string(closed)));
    }
};

} // namespace

TEST_F(ProbeVerdicts, Http)
{
    test::HttpServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const std::string port = std::to_string(server.port());
    for (const char* path : { "/", "/empty", "/missing", "/error", "/moved", "/chain1", "/loop" }) {
        SCOPED_TRACE(path);
        const std::string ip = "127.0.0.1:" + port + path;
        const PluginRun alive = runPlugin("check_http",
            at(server.port()) << "-u" << path << "-e"
                              << "HTTP/");
        EXPECT_EQ(probeVerdict("HTTP", ip, ""), alive.ok()) << alive.output;
        const PluginRun strict = runPlugin("check_http",
            at(server.port()) << "-u" << path << "-f"
                              << "follow");
        EXPECT_EQ(probeVerdict("HTTP", ip, "", Attempt::Retry), strict.ok()) << strict.output;
    }
    refused("HTTP", "check_http");
    const ScriptedVerdicts silent = bothAgainst(silence(), "HTTP", "check_http");
    EXPECT_FALSE(silent.plugin) << silent.output;
    EXPECT_FALSE(silent.probe);
}

TEST_F(ProbeVerdicts, Ftp)
{
    for (const auto& banner :
        { std::vector<std::string> {}, std::vector<std::string> { "Welcome", "to the fixture" } }) {
        test::FtpServerFixture server({ {}, banner });
        ASSERT_TRUE(server.started()) << server.log();
        const PluginRun run = runPlugin("check_ftp", at(server.port()));
        EXPECT_TRUE(run.ok()) << run.output;
        EXPECT_TRUE(probeVerdict("FTP", "127.0.0.1", std::to_string(server.port())));
    }
    refused("FTP", "check_ftp");
    for (const Script& script : { silence(), greets("421 Too many users, try later\r\n") }) {
        const ScriptedVerdicts verdicts = bothAgainst(script, "FTP", "check_ftp");
        EXPECT_FALSE(verdicts.plugin) << verdicts.output;
        EXPECT_FALSE(verdicts.probe);
    }
}

TEST_F(ProbeVerdicts, Smtp)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    const PluginRun run = runPlugin("check_smtp",
        at(server.port()) << "-F"
                          << "SEN");
    EXPECT_TRUE(run.ok()) << run.output;
    EXPECT_TRUE(probeVerdict("SMTP", "127.0.0.1", std::to_string(server.port())));
    refused("SMTP", "check_smtp");
    for (const Script& script : { silence(), greets("554 No SMTP service here\r\n") }) {
        const ScriptedVerdicts verdicts = bothAgainst(script, "SMTP", "check_smtp", { "-F", "SEN" });
        EXPECT_FALSE(verdicts.plugin) << verdicts.output;
        EXPECT_FALSE(verdicts.probe);
    }
}

TEST_F(ProbeVerdicts, Pop3)
{
    test::Pop3ServerFixture server;
    ASSERT_TRUE(server.started()) << server.log();
    const PluginRun run = runPlugin("check_pop", at(server.port()));
    EXPECT_TRUE(run.ok()) << run.output;
    EXPECT_TRUE(probeVerdict("POP3", "127.0.0.1", std::to_string(server.port())));
    refused("POP3", "check_pop");
    for (const Script& script : { silence(), greets("-ERR maildrop locked\r\n") }) {
        const ScriptedVerdicts verdicts = bothAgainst(script, "POP3", "check_pop");
        EXPECT_FALSE(verdicts.plugin) << verdicts.output;
        EXPECT_FALSE(verdicts.probe);
    }
}

// The plugins do not read the answers to HELO and QUIT; the probes do.
TEST_F(ProbeVerdicts, WhereTheProbesAreStricter)
{
    const auto answers
        = [](const std::string& greeting, const std::string& toHelo, const std::string& toQuit, bool close) -> Script {
        return [=](ScriptSession& peer) {
            peer.send(greeting);
            std::string line;
            while (peer.readLine(line, 5000)) {
                if (line != "QUIT") {
                    peer.send(toHelo);
                    continue;
                }
                peer.send(toQuit);
                if (close)
                    return;
                peer.waitForClose(15000);
                return;
            }
        };
    };
    struct Case
    {
        const char* name;
        const char* service;
        const char* plugin;
        Script script;
    };
    const std::vector<Case> cases = {
        { "SMTP HELO refused", "SMTP", "check_smtp", answers("220 mail\r\n", "501 go away\r\n", "221 bye\r\n", true) },
        { "FTP QUIT refused", "FTP", "check_ftp", answers("220 ready\r\n", "", "500 what?\r\n", true) },
        { "POP3 QUIT answered, connection kept",
            "POP3",
            "check_pop",
            answers("+OK ready\r\n", "", "+OK bye\r\n", false) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ScriptedVerdicts verdicts = bothAgainst(c.script, c.service, c.plugin);
        EXPECT_TRUE(verdicts.plugin) << verdicts.output;
        EXPECT_FALSE(verdicts.probe);
    }
}
