// The alert mails through a server that takes mail only over STARTTLS and after a log-in, as a
// mail provider does, with the password in a file beside the data file; Test SMTP through TLS
// on connect; and the data file's keys and mode once it holds a password.

#include "AlertFixture.h"

#include "tests/support/TestCa.h"

#include <sys/stat.h>

using namespace monitor;
using Lines = std::vector<std::string>;

namespace {

struct AlertTlsFixture : ControllerFixture
{
    const test::TestCa& ca = test::TestCa::instance();
    RecordingPane pane;

    void begin(const test::SmtpServerFixture& server, const std::string& security)
    {
        open();
        AlertActions& a = controller->settings().actions;
        a.smtpServer = "127.0.0.1:" + std::to_string(server.port()); // the field's port wins
        a.smtpPort = "1";
        a.smtpSecurity = security;
        a.smtpUser = "user";
        a.emailAddress = "ops@office.test";
        a.fromAddress = "sen@office.test";
        controller->alerts().mailer().setView(&pane);
        controller->StartupActions();
        controller->log().setEnabled(true);
    }
    std::vector<std::string> serverArguments(const char* mode) const
    {
        return { "--auth", "user:secret", "--tls", mode, "--cert", ca.good().cert, "--key", ca.good().key };
    }
    bool paneShows(const std::string& line) const
    {
        return std::find(pane.lines.begin(), pane.lines.end(), line) != pane.lines.end();
    }
};

} // namespace

TEST_F(AlertTlsFixture, AlertsOverStartTlsWithAPasswordFile)
{
    test::SmtpServerFixture server(serverArguments("starttls"));
    ASSERT_TRUE(server.started());
    test::writeFile(dir / "smtp-password", "secret\n");
    ::chmod((dir / "smtp-password").c_str(), 0644);
    begin(server, "STARTTLS");
    controller->settings().actions.smtpPasswordFile = "smtp-password";
    const std::string warning = "*** ERROR! The password file " + (dir / "smtp-password").string()
        + " holds a mail password that other users may read: make it mode 0600";
    for (int n = 1; n <= 2; ++n) {
        pane.lines.clear();
        controller->alerts().SendAlertMail("Ping Fail to: 127.0.0.2 router", false);
        EXPECT_FALSE(server.waitForMessage(n).empty());
        EXPECT_TRUE(paneShows("* Security: TLS 1.3 with 127.0.0.1"));
        EXPECT_TRUE(paneShows("> STARTTLS"));
    }
    const std::string logged = test::readFile(log);
    for (std::size_t at = 0, n = 0; n < 2; ++n, ++at) {
        at = logged.find("* Send Mail OK: Ping Fail to: 127.0.0.2 router", at);
        EXPECT_NE(at, std::string::npos) << logged;
    }
    EXPECT_EQ(std::count(frontEnd.activity.begin(), frontEnd.activity.end(), warning), 1) << "once per start";

    // TLS from the first byte asked of the submission port: the handshake meets a plain
    // greeting, nothing is sent and the pane says so.
    controller->settings().actions.smtpSecurity = "TLS";
    EXPECT_FALSE(controller->alerts().TestSMTP());
    EXPECT_TRUE(paneShows("** ERROR: Cannot open connection."));
    EXPECT_EQ(pane.lines.back().rfind("** 500 TLS with 127.0.0.1 failed: ", 0), 0u) << pane.lines.back();
}

TEST_F(AlertTlsFixture, TestSmtpOverTlsAndTheSavedDataFile)
{
    test::SmtpServerFixture server(serverArguments("implicit"));
    ASSERT_TRUE(server.started());
    begin(server, "tls");
    controller->save();
    ::chmod(ini.c_str(), 0644);
    controller->settings().actions.smtpPassword = "secret";
    EXPECT_TRUE(controller->alerts().TestSMTP());
    EXPECT_TRUE(paneShows("* Security: TLS 1.3 with 127.0.0.1"));
    EXPECT_EQ(frontEnd.messages, Lines { "Send OK." });

    controller->save();
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u) << "a data file holding a password is its owner's alone";
    const std::string text = test::readFile(ini);
    const std::string keys = "KeepAliveInterval=12\r\nSMTPPort=1\r\nSMTPSecurity=tls\r\nSMTPUser=user\r\n"
                             "SMTPPassword=secret\r\nSMTPPasswordFile=\r\nSMTPTrustFile=\r\n";
    EXPECT_NE(text.find(keys), std::string::npos) << text;
}
