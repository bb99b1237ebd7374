// Every probe over IPv6, in the dual-stack network of DualStackNetwork.h: PING and TCP to IPv6
// addresses that answer, refuse or are dropped; HTTP, FTP, SMTP, POP3 and IMAP against the real
// servers listening on ::1 and on the unique-local address; a name with only IPv6 addresses;
// a name whose first address (IPv6) is dropped and whose second (IPv4) works. Each verdict
// stands beside that of fping -6, check_tcp, check_http (or the service's own plugin) on the
// same destination.

#include "AppProbeSupport.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/MonitoringPlugin.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/DualStackNetwork.h"
#include "tests/support/PrivateNamespace.h"

#include <QProcess>

using namespace monitor;
using namespace probetest;
using namespace std::chrono_literals;
namespace dualstack = test::dualstack;

namespace {

constexpr int TimeOutSeconds = 2;

// What a peer program says of a destination: true for alive / OK.
bool fpingAlive(const std::string& ip)
{
    QProcess fping;
    fping.start("fping", { "-6", "-r", "0", "-t", QString::number(TimeOutSeconds * 1000), QString::fromStdString(ip) });
    return fping.waitForFinished(30000) && fping.exitStatus() == QProcess::NormalExit && fping.exitCode() == 0;
}

bool pluginOk(const std::string& service, const std::string& ip, const std::string& port)
{
    static const std::map<std::string, std::string> plugins
        = { { "TCP", "check_tcp" }, { "HTTP", "check_http" }, { "FTP", "check_ftp" }, { "SMTP", "check_smtp" },
              { "POP3", "check_pop" }, { "IMAP", "check_imap" } };
    // check_http writes a numeric IPv6 address in its Host field without brackets: -I gives
    // the address to connect to, -H the name it asks for.
    const bool numeric = ip.find(':') != std::string::npos;
    QStringList arguments = { numeric && service == "HTTP" ? "-I" : "-H", QString::fromStdString(ip), "-p",
        QString::fromStdString(port), "-t", QString::number(TimeOutSeconds) };
    if (service == "HTTP")
        arguments << "-e" << "HTTP/";
    return test::runPlugin(plugins.at(service), arguments).ok();
}

bool peerVerdict(const std::string& service, const std::string& typed, const std::string& port)
{
    // The peers take no brackets.
    const bool bracketed = typed.size() > 2 && typed.front() == '[' && typed.back() == ']';
    const std::string ip = bracketed ? typed.substr(1, typed.size() - 2) : typed;
    return service == "PING" ? fpingAlive(ip) : pluginOk(service, ip, port);
}

} // namespace

TEST(Ipv6Probes, VerdictsBesideThePeers)
{
    RUN_IN_PRIVATE_NETWORK_AND_MOUNTS();
    dualstack::setUp();
    test::setSysctl("net/ipv4/ping_group_range", "0 2147483647");
    for (const char* plugin : { "check_tcp", "check_http", "check_ftp", "check_smtp", "check_pop", "check_imap" })
        ASSERT_TRUE(test::pluginInstalled(plugin)) << plugin;

    // nginx on ::1, the unique-local address and 127.0.0.1 (for the name that falls back).
    test::HttpServerFixture http({ { "::1", 0 }, { dualstack::Ula, "127.0.0.1" } });
    test::FtpServerFixture ftp(test::FtpServerFixture::Options { { "::1", 0 }, {} });
    test::Pop3ServerFixture pop3(test::Pop3ServerFixture::Options { { "::1", 0 } });
    test::ImapServerFixture imap({ "::1", 0 });
    test::SmtpServerFixture smtp({ "--listen", "::1:0" });
    ASSERT_TRUE(http.started() && ftp.started() && pop3.started() && imap.started() && smtp.started())
        << http.log() << ftp.log() << pop3.log();
    const std::string web = std::to_string(http.port());
    const std::string closed = std::to_string(test::freePort("::1"));

    struct Case
    {
        std::string service;
        std::string ip;
        std::string port;
        bool ok;
        bool peer; // the peer's verdict, where it differs from ours
    };
    const std::vector<Case> cases = {
        { "PING", "::1", "", true, true },
        { "PING", dualstack::Ula, "", true, true },
        { "PING", "v6only.test", "", true, true },
        { "PING", dualstack::Dead, "", false, false },
        { "TCP", "::1", web, true, true },
        { "TCP", "[::1]", web, true, true },
        { "TCP", "::1", closed, false, false },
        { "TCP", dualstack::Dead, web, false, false },
        { "TCP", "v6only.test", web, true, true },
        // The plugin gives the dropped first address the whole time-out; we give it half.
        { "TCP", "both.test", web, true, false },
        { "HTTP", "::1", web, true, true },
        { "HTTP", dualstack::Ula, web, true, true },
        { "HTTP", "v6only.test", web, true, true },
        { "HTTP", "both.test", web, true, false },
        { "HTTP", dualstack::Dead, web, false, false },
        { "FTP", "::1", std::to_string(ftp.port()), true, true },
        { "FTP", "v6only.test", std::to_string(ftp.port()), true, true },
        { "SMTP", "::1", std::to_string(smtp.port()), true, true },
        { "POP3", "::1", std::to_string(pop3.port()), true, true },
        { "POP3", "::1", closed, false, false },
        { "IMAP", "v6only.test", std::to_string(imap.port()), true, true },
    };
    MonitorSettings settings;
    setTimeOuts(settings, AppServices, std::chrono::seconds(TimeOutSeconds));
    settings.of(Service::Tcp).timeOut = std::chrono::seconds(TimeOutSeconds);
    settings.of(Service::Ping).timeOut = std::chrono::seconds(TimeOutSeconds);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service + " " + c.ip + " " + c.port);
        const long droppedBefore = dualstack::droppedPackets();
        const auto probe = makeProbe(c.service, settings);
        const Outcome outcome = attempt(*probe, contextFor(c.service, c.ip, c.port));
        EXPECT_EQ(outcome.ok, c.ok) << testing::PrintToString(outcome.lines.activityLines);
        EXPECT_LT(outcome.took, std::chrono::seconds(TimeOutSeconds) + 1s);
        if (c.ip == "both.test") {
            EXPECT_GT(dualstack::droppedPackets(), droppedBefore) << "the dropped address was tried first";
        }
        EXPECT_EQ(peerVerdict(c.service, c.ip, c.port), c.peer);
    }
}

// The lines keep the address text as the row holds it.
TEST(Ipv6Probes, LinesShowTheAddressAsTyped)
{
    RUN_IN_PRIVATE_NETWORK_AND_MOUNTS();
    dualstack::setUp();
    test::setSysctl("net/ipv4/ping_group_range", "0 2147483647");
    MonitorSettings settings;
    const auto ping = makeProbe("PING", settings);
    Outcome outcome = attempt(*ping, contextFor("PING", "::1", ""));
    ASSERT_EQ(outcome.lines.activityLines.size(), 1u);
    EXPECT_EQ(outcome.lines.activityLines[0].rfind("Received 56 bytes from ::1 in ", 0), 0u)
        << outcome.lines.activityLines[0];
    EXPECT_EQ(outcome.lines.activityLines[0].substr(outcome.lines.activityLines[0].size() - 11), " ms, TTL=64");

    settings.of(Service::Ping).timeOut = 300ms;
    outcome = attempt(*ping, contextFor("PING", dualstack::Dead, ""));
    EXPECT_EQ(outcome.lines.activityLines,
        Lines { "Cannot ping host " + dualstack::Dead + " : Request timed out" });
}
