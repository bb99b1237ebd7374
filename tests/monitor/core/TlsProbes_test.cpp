// The services over TLS against real servers on loopback with certificates the test makes
// (nginx, dovecot's pop3s and imaps, vsftpd with implicit TLS, aiosmtpd with TLS): the
// certificate checks and their lines, the expiry warning, the name checked, a handshake that
// never ends and a plain-text server on a TLS row.

#include "AppProbeSupport.h"

#include "common/core/DateTimeText.h"
#include "monitor/core/CertificateCheck.h"
#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"

#include <QDateTime>

#include <algorithm>
#include <memory>

using namespace monitor;
using namespace probetest;
using namespace std::chrono_literals;

namespace {

const test::TestCa::Server& valid()
{
    return test::certificate({ "valid" });
}

bool anyContains(const Lines& lines, const std::string& part)
{
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

std::unique_ptr<test::HttpServerFixture> nginx(const test::TestCa::Server& certificate)
{
    return std::make_unique<test::HttpServerFixture>(
        test::HttpServerFixture::Options { {}, {}, certificate.cert, certificate.key });
}

} // namespace

TEST(CertificateCheck, TheNameCheckedAndSent)
{
    const std::vector<std::pair<std::string, bool>> names = {
        { "web.test", true },
        { "Web.Example.", true },
        { "a", true },
        { "x-1.test", true },
        { std::string(63, 'a') + ".test", true },
        { std::string(64, 'a') + ".test", false },
        { std::string(4 * 63 + 3, 'a').replace(63, 1, ".").replace(127, 1, ".").replace(191, 1, "."), false },
        { "-web.test", false },
        { "web-.test", false },
        { "web..test", false },
        { "Router 2nd floor", false },
        { "web_1.test", false },
        { "127.0.0.1", false },
        { "10", false },
        { "::1", false },
        { "", false },
        { "web.test\r\nQUIT", false },
    };
    for (const auto& [name, valid] : names)
        EXPECT_EQ(isDnsHostName(name), valid) << name;

    struct Case
    {
        std::string host, ip, checked;
    };
    const std::vector<Case> cases = {
        { "anything", "web.test", "web.test" }, // the IP column's host name
        { "mail.test", "127.0.0.1", "mail.test" }, // the caption, the usual row
        { "Mail server", "127.0.0.1", "127.0.0.1" }, // no name: the address
        { "Mail server", "::1", "::1" },
    };
    for (const Case& c : cases) {
        const net::TlsSettings s = tlsSettingsFor(contextFor("HTTPS", c.ip, "443", c.host), "/trust.pem");
        EXPECT_EQ(s.verifyName, c.checked) << c.host;
        EXPECT_EQ(s.trustFile, "/trust.pem");
        EXPECT_FALSE(s.sniName) << "the socket layer sends a name, never an address";
    }
    EXPECT_EQ(daysLeft(1000 + 86400 * 3 - 1, 1000), 2);
    EXPECT_EQ(daysLeft(1000, 1000), 0);
    EXPECT_EQ(daysLeft(999, 1000), -1);
}

// Every kind of certificate behind nginx, on the HTTPS row and on the TLS row.
TEST(TlsProbes, CertificateKindsOnHttpsAndTls)
{
    test::TestCa::instance(); // trusted before any TLS context is made
    // The trust file by a name relative to the data file's folder.
    test::TempDir dir;
    test::writeFile(dir / "office.pem", test::readFile(test::TestCa::instance().officeCa()));
    struct Case
    {
        const char* name;
        test::CertificateRecipe recipe;
        bool trustOffice;
        bool ok;
        std::string line; // in the log, on HTTPS as its exception, on TLS as its line
    };
    const std::vector<Case> cases = {
        { "valid", { "valid" }, false, true, "" },
        { "expired", { "expired", "DNS:web.test", "root", 0, "20200101000000Z", "20200102000000Z" }, false, false,
            "TLS with web.test refused: certificate has expired" },
        { "not yet valid", { "future", "DNS:web.test", "root", 0, "20990101000000Z", "20991231000000Z" }, false,
            false, "TLS with web.test refused: certificate is not yet valid" },
        { "self-signed", { "self", "DNS:web.test", "" }, false, false,
            "TLS with web.test refused: certificate is not trusted" },
        { "another name", { "other", "DNS:other.test,IP:127.0.0.2" }, false, false,
            "TLS with web.test refused: certificate is for other.test, 127.0.0.2, not web.test" },
        { "expiring in 3 days", { "soon", "DNS:web.test", "root", 3 }, false, false, " days left" },
        { "office authority, no trust file", { "office", "DNS:web.test", "office" }, false, false,
            "certificate is not trusted" },
        { "office authority, trust file", { "office", "DNS:web.test", "office" }, true, true, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto server = nginx(test::certificate(c.recipe));
        ASSERT_TRUE(server->started()) << server->log();
        MonitorSettings settings;
        settings.Verbose = true;
        settings.dataFile = (dir / "SEN.INI").string();
        settings.tlsTrustFile = c.trustOffice ? "office.pem" : "";
        const std::string port = std::to_string(server->port());
        for (const char* service : { "HTTPS", "TLS" }) {
            SCOPED_TRACE(service);
            auto probe = makeProbe(service, settings);
            const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", port, "web.test"));
            EXPECT_EQ(outcome.ok, c.ok) << testing::PrintToString(outcome.lines.activityLines);
            if (c.line.empty()) {
                EXPECT_TRUE(outcome.lines.logLines.empty()) << testing::PrintToString(outcome.lines.logLines);
            } else {
                ASSERT_EQ(outcome.lines.logLines.size(), 1u) << testing::PrintToString(outcome.lines.logLines);
                EXPECT_NE(outcome.lines.logLines[0].find(c.line), std::string::npos) << outcome.lines.logLines[0];
                EXPECT_EQ(outcome.lines.logLines[0].rfind(std::string("* ") + service, 0), 0u);
            }
            // The certificate's end of validity is known whenever one came, also on a failure.
            EXPECT_TRUE(probe->certificateNotAfter().has_value());
            RecordedLines after;
            probe->reportResult(outcome.ok, after);
            EXPECT_EQ(anyContains(after.activityLines, "Issuer: CN=Test "), c.ok)
                << testing::PrintToString(after.activityLines);
            // A retry says nothing, whatever it finds.
            const Outcome retry = attempt(*probe, contextFor(service, "127.0.0.1", port, "web.test"), Attempt::Retry);
            EXPECT_EQ(retry.ok, c.ok);
            EXPECT_TRUE(retry.lines.logLines.empty() && retry.lines.activityLines.empty());
        }
    }
}

// A caption that is no host name: the address is checked against the certificate's addresses.
// With 0 days the early warning is off; an expired certificate fails all the same.
TEST(TlsProbes, AddressChecksAndNoEarlyWarning)
{
    test::TestCa::instance(); // trusted before any TLS context is made
    MonitorSettings settings;
    settings.certExpiryWarnDays = 0;
    struct Case
    {
        test::CertificateRecipe recipe;
        bool ok;
    };
    const std::vector<Case> cases = {
        { { "valid" }, true },
        { { "soon", "DNS:web.test", "root", 3 }, false }, // no address in it
        { { "soon-ip", "IP:127.0.0.1", "root", 3 }, true },
        { { "expired-ip", "IP:127.0.0.1", "root", 0, "20200101000000Z", "20200102000000Z" }, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.recipe.name);
        const auto server = nginx(test::certificate(c.recipe));
        ASSERT_TRUE(server->started()) << server->log();
        auto probe = makeProbe("TLS", settings);
        EXPECT_EQ(attempt(*probe, contextFor("TLS", "127.0.0.1", std::to_string(server->port()), "Web server")).ok, c.ok);
    }
}

// The mail and file services over TLS, on the real servers: OK with a valid certificate, with
// the certificate's lines under Verbose; failed with the expired one, saying why.
TEST(TlsProbes, MailAndFileServicesOverTls)
{
    test::TestCa::instance(); // trusted before any TLS context is made
    const auto& expired
        = test::certificate({ "expired-all", "DNS:web.test,IP:127.0.0.1", "root", 0, "20200101000000Z", "20200102000000Z" });
    for (const test::TestCa::Server* certificate : { &valid(), &expired }) {
        const bool good = certificate == &valid();
        SCOPED_TRACE(good ? "valid" : "expired");
        test::Pop3ServerFixture pop3s(
            test::Pop3ServerFixture::Options { {}, "Dovecot ready.", false, "pop3", certificate->cert, certificate->key });
        test::ImapServerFixture imaps({}, certificate->cert, certificate->key);
        test::FtpServerFixture ftps(test::FtpServerFixture::Options { {}, {}, certificate->cert, certificate->key });
        test::SmtpServerFixture smtps({ "--tls", "implicit", "--cert", certificate->cert, "--key", certificate->key });
        ASSERT_TRUE(pop3s.started()) << pop3s.log();
        ASSERT_TRUE(imaps.started()) << imaps.log();
        ASSERT_TRUE(ftps.started()) << ftps.log();
        ASSERT_TRUE(smtps.started());
        const std::vector<std::pair<std::string, int>> rows
            = { { "POP3S", pop3s.port() }, { "IMAPS", imaps.port() }, { "FTPS", ftps.port() }, { "SMTPS", smtps.port() } };
        MonitorSettings settings;
        settings.Verbose = true;
        setTimeOuts(settings, SessionServices, 5s);
        for (const auto& [service, port] : rows) {
            SCOPED_TRACE(service);
            auto probe = makeProbe(service, settings);
            const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", std::to_string(port), "web.test"));
            EXPECT_EQ(outcome.ok, good) << testing::PrintToString(outcome.lines.activityLines);
            RecordedLines after;
            probe->reportResult(outcome.ok, after);
            if (good) {
                EXPECT_TRUE(outcome.lines.logLines.empty()) << testing::PrintToString(outcome.lines.logLines);
                EXPECT_EQ(after.activityLines.at(0), "Certificate: CN=valid.test");
                EXPECT_EQ(after.activityLines.at(1), "Issuer: CN=Test root authority");
                EXPECT_TRUE(anyContains(after.activityLines, " days left)"));
            } else {
                EXPECT_EQ(outcome.lines.logLines,
                    Lines { "* " + service + " [127.0.0.1] TLS with web.test refused: certificate has expired (on "
                        + core::dateTimeText(QDateTime(QDate(2020, 1, 2), QTime(0, 0), Qt::UTC).toLocalTime()) + ")" });
            }
            EXPECT_TRUE(probe->certificateNotAfter().has_value());
        }
    }
}

// A listener that never finishes the handshake fails at the time-out; a plain-text server on a
// TLS row fails with a line that says the handshake failed; a TLS row needs its port.
TEST(TlsProbes, SilentHandshakesPlainServersAndNoPort)
{
    test::TestCa::instance(); // trusted before any TLS context is made
    SilentListener silent;
    test::HttpServerFixture plainWeb;
    test::Pop3ServerFixture plainPop3;
    ASSERT_TRUE(plainWeb.started() && plainPop3.started());
    MonitorSettings settings;
    setTimeOuts(settings, SessionServices, 1s);
    settings.of(Service::Http).timeOut = 1s;
    settings.of(Service::Tcp).timeOut = 1s;
    for (const char* service : { "HTTPS", "FTPS", "SMTPS", "POP3S", "IMAPS", "TLS" }) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", silent.portText(), "web.test"));
        EXPECT_FALSE(outcome.ok);
        EXPECT_GE(outcome.took, 900ms);
        EXPECT_LT(outcome.took, 10s);
        EXPECT_FALSE(probe->certificateNotAfter());
    }
    const std::vector<std::pair<std::string, int>> plain
        = { { "HTTPS", plainWeb.port() }, { "TLS", plainWeb.port() }, { "POP3S", plainPop3.port() } };
    for (const auto& [service, port] : plain) {
        SCOPED_TRACE(service);
        auto probe = makeProbe(service, settings);
        const Outcome outcome = attempt(*probe, contextFor(service, "127.0.0.1", std::to_string(port), "web.test"));
        EXPECT_FALSE(outcome.ok);
        EXPECT_TRUE(anyContains(outcome.lines.logLines, "TLS with web.test failed: "))
            << testing::PrintToString(outcome.lines.logLines);
    }
    for (const char* port : { "", "0", "ldaps", "65536" }) {
        auto probe = makeProbe("TLS", settings);
        const Outcome outcome = attempt(*probe, contextFor("TLS", "127.0.0.1", port, "web.test"));
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.lines.logLines,
            Lines { "* TLS [127.0.0.1] No port: a TLS test needs the row's port number" });
    }
}
