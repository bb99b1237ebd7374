// The TLS probes' verdicts beside the monitoring plugins' (check_http -S --sni -C, check_tcp -S
// -D, check_imap) and openssl s_client's on the same servers. The plugins check the days left
// but neither trust, nor name, nor the start of validity; s_client with -verify_return_error
// and -verify_hostname checks those but no days left. So each kind of certificate has the
// verdicts below, and ours is the plugin's where the plugin looks and s_client's where it does:
//   valid, office authority with its trust file   all OK
//   expired                                       all fail
//   expiring in 3 days (14 days asked)            we and the plugins fail (WARNING); s_client OK
//   not yet valid, self-signed, another name      we and s_client fail; the plugins say OK

#include "AppProbeSupport.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/MonitoringPlugin.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/ScriptedServer.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/TestCertificates.h"

#include <QProcess>

#include <memory>

using namespace monitor;
using namespace probetest;

namespace {

constexpr int WarnDays = 14;

bool ourVerdict(const std::string& service, int port, const std::string& trustFile = {})
{
    MonitorSettings settings;
    settings.certExpiryWarnDays = WarnDays;
    settings.tlsTrustFile = trustFile;
    setTimeOuts(settings, SessionServices, std::chrono::seconds(5));
    const auto probe = makeProbe(service, settings);
    return attempt(*probe, contextFor(service, "127.0.0.1", std::to_string(port), "web.test")).ok;
}

bool sClientVerdict(int port, const std::string& trustFile)
{
    QStringList arguments = { "s_client", "-connect", "127.0.0.1:" + QString::number(port), "-servername",
        "web.test", "-verify_return_error", "-verify_hostname", "web.test", "-brief" };
    if (!trustFile.empty())
        arguments << "-CAfile" << QString::fromStdString(trustFile);
    QProcess openssl;
    openssl.start("openssl", arguments);
    openssl.closeWriteChannel();
    return openssl.waitForFinished(20000) && openssl.exitStatus() == QProcess::NormalExit && openssl.exitCode() == 0;
}

struct Kind
{
    const char* name;
    test::CertificateRecipe recipe;
    bool office; // signed by the office authority: the trust file names it
    bool plugin; // the plugins' verdict
    bool sClient;
};

std::vector<Kind> kinds()
{
    return {
        { "valid", { "valid" }, false, true, true },
        { "office authority", { "office-web" , "DNS:web.test", "office" }, true, true, true },
        { "expired", { "expired-web", "DNS:web.test", "root", 0, "20200101000000Z", "20200102000000Z" }, false,
            false, false },
        { "expiring in 3 days", { "soon", "DNS:web.test", "root", 3 }, false, false, true },
        { "not yet valid", { "future", "DNS:web.test", "root", 0, "20990101000000Z", "20991231000000Z" }, false,
            true, false },
        { "self-signed", { "self", "DNS:web.test", "" }, false, true, false },
        { "another name", { "other-web", "DNS:other.test" }, false, true, false },
    };
}

} // namespace

TEST(TlsVerdicts, HttpsBesideCheckHttpAndSClient)
{
    ASSERT_TRUE(test::pluginInstalled("check_http"));
    const std::string office = test::TestCa::instance().officeCa();
    for (const Kind& kind : kinds()) {
        SCOPED_TRACE(kind.name);
        const auto& certificate = test::certificate(kind.recipe);
        test::HttpServerFixture nginx({ {}, {}, certificate.cert, certificate.key });
        ASSERT_TRUE(nginx.started()) << nginx.log();
        const QString port = QString::number(nginx.port());
        const test::PluginRun run = test::runPlugin("check_http",
            { "-H", "web.test", "-I", "127.0.0.1", "-p", port, "-S", "--sni", "-C", QString::number(WarnDays), "-t", "5" });
        EXPECT_EQ(run.ok(), kind.plugin) << run.output;
        const std::string trust = kind.office ? office : std::string();
        EXPECT_EQ(sClientVerdict(nginx.port(), trust), kind.sClient);
        EXPECT_EQ(ourVerdict("HTTPS", nginx.port(), trust), kind.plugin && kind.sClient);
        EXPECT_EQ(ourVerdict("TLS", nginx.port(), trust), kind.plugin && kind.sClient);
    }
}

// The mail and file services over TLS: check_tcp -S -D on dovecot, vsftpd and aiosmtpd.
TEST(TlsVerdicts, MailAndFileBesideCheckTcp)
{
    ASSERT_TRUE(test::pluginInstalled("check_tcp"));
    test::TestCa::instance();
    for (const Kind& kind : kinds()) {
        if (std::string(kind.name) != "valid" && std::string(kind.name) != "expiring in 3 days"
            && std::string(kind.name) != "expired")
            continue; // trust and names: the HTTPS test above
        SCOPED_TRACE(kind.name);
        const auto& c = test::certificate(kind.recipe);
        test::Pop3ServerFixture pop3s({ {}, "Dovecot ready.", false, "pop3", c.cert, c.key });
        test::ImapServerFixture imaps({}, c.cert, c.key);
        test::FtpServerFixture ftps({ {}, {}, c.cert, c.key });
        test::SmtpServerFixture smtps({ "--tls", "implicit", "--cert", c.cert, "--key", c.key });
        ASSERT_TRUE(pop3s.started() && imaps.started() && ftps.started() && smtps.started());
        const std::vector<std::pair<std::string, int>> rows = { { "POP3S", pop3s.port() }, { "IMAPS", imaps.port() },
            { "FTPS", ftps.port() }, { "SMTPS", smtps.port() }, { "TLS", imaps.port() } };
        for (const auto& [service, port] : rows) {
            SCOPED_TRACE(service);
            const test::PluginRun run = test::runPlugin("check_tcp",
                { "-H", "127.0.0.1", "-p", QString::number(port), "-S", "-D", QString::number(WarnDays), "-t", "5" });
            EXPECT_EQ(run.ok(), kind.plugin) << run.output;
            EXPECT_EQ(ourVerdict(service, port), kind.plugin);
        }
    }
}

TEST(TlsVerdicts, ImapBesideCheckImap)
{
    ASSERT_TRUE(test::pluginInstalled("check_imap"));
    test::ImapServerFixture imap;
    ASSERT_TRUE(imap.started()) << imap.log();
    SilentListener silent;
    for (const int port : { imap.port(), silent.port, test::closedLoopbackPort() }) {
        const test::PluginRun run
            = test::runPlugin("check_imap", { "-H", "127.0.0.1", "-p", QString::number(port), "-t", "2" });
        MonitorSettings settings;
        settings.of(Service::Imap).timeOut = std::chrono::seconds(2);
        const auto probe = makeProbe("IMAP", settings);
        EXPECT_EQ(attempt(*probe, contextFor("IMAP", "127.0.0.1", std::to_string(port))).ok, run.ok()) << run.output;
        EXPECT_EQ(run.ok(), port == imap.port());
    }
}
