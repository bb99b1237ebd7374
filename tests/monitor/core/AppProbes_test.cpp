// The HTTP, FTP, SMTP, POP3 and IMAP probes against the real servers a user meets (Debian's
// nginx, vsftpd, aiosmtpd and dovecot) on loopback: on free ports given in the row, and on the
// standard ports inside a private network namespace, where rows without a usable port number
// reach them. Then a refused port, a listener that never answers (bounded by the probe's
// time-out) and Abort during such a wait.

#include "AppProbeSupport.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/net/SmtpServerFixture.h"

#include "monitor/core/SessionProbe.h"
#include "tests/support/PrivateNamespace.h"

#include <memory>

using namespace monitor;
using namespace probetest;
using namespace std::chrono_literals;

namespace {

// Verbose lines come from the attempt (FTP, SMTP, POP3, IMAP) or after the result line (HTTP).
Lines verboseLines(Probe& probe, const Outcome& outcome)
{
    RecordedLines after;
    probe.reportResult(outcome.ok, after);
    Lines all = outcome.lines.activityLines;
    all.insert(all.end(), after.activityLines.begin(), after.activityLines.end());
    return all;
}

bool startsWith(const std::string& text, const std::string& head)
{
    return text.rfind(head, 0) == 0;
}

struct RealServers
{
    test::HttpServerFixture http;
    test::FtpServerFixture ftp;
    test::SmtpServerFixture smtp;
    test::Pop3ServerFixture pop3;
    test::ImapServerFixture imap;

    RealServers() = default;
    // On the standard ports of `address` (inside a private network namespace).
    explicit RealServers(const std::string& address)
        : http({ { address, 80 }, {} })
        , ftp({ { address, 21 }, {} })
        , smtp({ "--listen", address + ":25" })
        , pop3(test::Pop3ServerFixture::Options { { address, 110 } })
        , imap({ address, 143 })
    {
    }

    void check() const
    {
        ASSERT_TRUE(http.started()) << http.log();
        ASSERT_TRUE(ftp.started()) << ftp.log();
        ASSERT_TRUE(smtp.started());
        ASSERT_TRUE(pop3.started()) << pop3.log();
        ASSERT_TRUE(imap.started()) << imap.log();
    }

    int portOf(const std::string& service) const
    {
        if (service == "HTTP")
            return http.port();
        if (service == "FTP")
            return ftp.port();
        if (service == "SMTP")
            return smtp.port();
        if (service == "IMAP")
            return imap.port();
        return pop3.port();
    }
};

const std::vector<std::string> Services = { "HTTP", "FTP", "SMTP", "POP3", "IMAP" };

} // namespace

TEST(AppProbes, TheRowsPortWhenItIsAPortNumber)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        { "", "pop3" },
        { "0", "pop3" },
        { "pop3s", "pop3" },
        { "1", "1" },
        { "2121", "2121" },
        { "0587", "587" },
        { "+25", "25" },
        { "65535", "65535" },
        { "65536", "pop3" },
        { "-110", "pop3" },
        { " 110", "pop3" },
        { "110\r\nX", "pop3" },
        { "99999999999", "pop3" },
    };
    for (const auto& [column, port] : cases)
        EXPECT_EQ(SessionProbe::portOf(contextFor("POP3", "127.0.0.1", column), "pop3"), port) << column;
}

TEST(AppProbes, EachProbeIsOkOnTheRowsPortWithItsVerboseLines)
{
    RealServers servers;
    servers.check();
    MonitorSettings settings;
    settings.Verbose = true;
    for (const std::string& service : Services) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        const std::string port = std::to_string(servers.portOf(service));
        // The same probe object serves test after test, as in a monitor's passes.
        for (int round = 0; round < 3; ++round) {
            const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", port));
            EXPECT_TRUE(outcome.ok) << testing::PrintToString(outcome.lines.activityLines);
            EXPECT_TRUE(outcome.lines.logLines.empty());
            const Lines shown = verboseLines(*probe, outcome);
            if (service == "HTTP") {
                ASSERT_GE(shown.size(), 2u);
                EXPECT_EQ(shown[0], "HTTP/1.1 200 OK");
                EXPECT_NE(std::find(shown.begin(), shown.end(), "Connection: close"), shown.end())
                    << testing::PrintToString(shown);
            } else if (service == "FTP") {
                EXPECT_EQ(shown, Lines { "220 (vsFTPd 3.0.3)" });
            } else if (service == "SMTP") {
                EXPECT_EQ(shown, (Lines { "250 fixture.test", "221 Bye" }));
            } else if (service == "IMAP") {
                ASSERT_EQ(shown.size(), 2u);
                EXPECT_TRUE(startsWith(shown[0], "* OK [CAPABILITY IMAP4rev1 ")) << shown[0];
                EXPECT_TRUE(startsWith(shown[1], "A1 OK Logout completed")) << shown[1];
            } else {
                ASSERT_EQ(shown.size(), 2u);
                EXPECT_TRUE(startsWith(shown[0], "+OK Dovecot ready. <")) << shown[0];
                EXPECT_EQ(shown[1], "+OK Logging out");
            }
            // A retry shows nothing of its own.
            const Outcome retry = attempt(*probe, contextFor(service, "127.0.0.1", port), Attempt::Retry);
            EXPECT_TRUE(retry.ok);
            if (service != "HTTP") {
                EXPECT_TRUE(retry.lines.activityLines.empty());
            }
        }
    }
}

// The standard ports are reached by rows without a usable port number; the others by theirs.
TEST(AppProbes, StandardPortsInAPrivateNetwork)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    RealServers servers("127.0.0.1");
    servers.check();
    MonitorSettings settings;
    struct Case
    {
        std::string service;
        std::string port;
    };
    const std::vector<Case> cases = {
        { "HTTP", "" },
        { "HTTP", "80" },
        { "HTTP", "web" },
        { "FTP", "" },
        { "FTP", "21" },
        { "FTP", "0" },
        { "FTP", "ftp-data" },
        { "FTP", "65536" },
        { "SMTP", "" },
        { "SMTP", "25" },
        { "SMTP", "-25" },
        { "SMTP", " 587" },
        { "POP3", "" },
        { "POP3", "110" },
        { "POP3", "0110" },
        { "POP3", "pop" },
        { "IMAP", "" },
        { "IMAP", "143" },
        { "IMAP", "imap2" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service + " port '" + c.port + "'");
        auto probe = makeProbe(c.service, settings);
        const Outcome outcome = attempt(*probe, contextFor(c.service, "127.0.0.1", c.port));
        EXPECT_TRUE(outcome.ok) << testing::PrintToString(outcome.lines.activityLines);
        EXPECT_TRUE(outcome.lines.activityLines.empty()) << testing::PrintToString(outcome.lines.activityLines);
    }
    // A port number the row names is used, and nothing listens there.
    for (const std::string& service : Services) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        EXPECT_FALSE(attempt(*probe, contextFor(service, "127.0.0.1", "2121")).ok);
    }
}

TEST(AppProbes, ARefusedPortFails)
{
    const std::string port = std::to_string(test::closedLoopbackPort());
    MonitorSettings settings;
    settings.Verbose = true;
    for (const std::string& service : Services) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", port));
        EXPECT_FALSE(outcome.ok);
        if (service == "HTTP") {
            EXPECT_EQ(outcome.lines.activityLines, Lines { "* Exception: Connection refused (Error #10061)" });
            EXPECT_EQ(outcome.lines.logLines,
                Lines { "* HTTP Exception [127.0.0.1:" + port + "] Connection refused (Error #10061)" });
        } else {
            // Verbose shows the replies of an open that succeeded only.
            EXPECT_TRUE(outcome.lines.activityLines.empty()) << testing::PrintToString(outcome.lines.activityLines);
            EXPECT_TRUE(outcome.lines.logLines.empty());
        }
        const Outcome retry = attempt(*probe, contextFor(service, "127.0.0.1", port), Attempt::Retry);
        EXPECT_FALSE(retry.ok);
        EXPECT_TRUE(retry.lines.activityLines.empty() && retry.lines.logLines.empty());
    }
}

TEST(AppProbes, ASilentListenerFailsAtTheTimeOut)
{
    SilentListener silent;
    MonitorSettings settings;
    setTimeOuts(settings, AppServices, 1s);
    settings.Verbose = true;
    for (const std::string& service : Services) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", silent.portText()));
        EXPECT_FALSE(outcome.ok);
        EXPECT_GE(outcome.took, 900ms);
        EXPECT_LT(outcome.took, 10s);
        if (service == "HTTP") {
            EXPECT_EQ(outcome.lines.activityLines, Lines { "* Exception: Timeout" });
            EXPECT_EQ(
                outcome.lines.logLines, Lines { "* HTTP Exception [127.0.0.1:" + silent.portText() + "] Timeout" });
        } else {
            EXPECT_TRUE(outcome.lines.activityLines.empty()) << testing::PrintToString(outcome.lines.activityLines);
        }
    }
}

TEST(AppProbes, AbortEndsAWaitAtOnceWithoutLines)
{
    SilentListener silent;
    MonitorSettings settings;
    // As long as a data file may say.
    setTimeOuts(settings, AppServices, std::chrono::seconds(INT32_MAX));
    for (const std::string& service : Services) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        core::Timer abortSoon;
        abortSoon.setOnTimeout([&] { probe->abort(); });
        abortSoon.start(100, true);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", silent.portText()));
        EXPECT_FALSE(outcome.ok);
        EXPECT_LT(outcome.took, 5s);
        EXPECT_TRUE(outcome.lines.activityLines.empty() && outcome.lines.logLines.empty());
        // Ready for the next test at once.
        probe->abort();
    }
}
