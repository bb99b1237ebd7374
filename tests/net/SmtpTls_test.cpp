// Mail over TLS through the sequence both programs use, against the real aiosmtpd with
// certificates this test makes: STARTTLS with a required log-in, TLS on connect, a server that
// offers no STARTTLS, expired, untrusted and misnamed certificates, an office authority in a
// trust file, trust and password files that cannot be used, $CREDENTIALS_DIRECTORY, and a
// log-in refused without encryption to a server that is not on this machine.

#include "SmtpServerFixture.h"

#include "common/net/MailSequence.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"

#include <QJsonArray>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

using namespace net;

namespace {

using Lines = std::vector<std::string>;

// What the sequence reported, one line per event that matters here.
struct Recorder : MailSequenceEvents
{
    Lines lines;
    std::vector<std::string> files;
    void warning(const std::string& text) override { lines.push_back("warning: " + text); }
    void openFailed(const TSyncSmtpCli& c) override { lines.push_back("open failed: " + c.LastResponse()); }
    void secured(const std::string& security) override { lines.push_back("secured: " + security); }
    void compose(TSyncSmtpCli& c) override
    {
        c.FromName = c.HdrFrom = "sen@office.test";
        c.RcptName = { "ops@office.test" };
        c.HdrTo = "ops@office.test";
        c.HdrSubject = "TLS";
        c.SetMailMessageText("over TLS");
        c.SetEmailFiles(files);
    }
    void sent() override { lines.push_back("sent"); }
    void sendFailed(const TSyncSmtpCli& c) override { lines.push_back("send failed: " + c.LastResponse()); }
    void closeFailed(const TSyncSmtpCli& c) override { lines.push_back("close failed: " + c.LastResponse()); }
    void failed(const std::string& message) override { lines.push_back("failed: " + message); }
};

std::vector<std::string> tlsServer(const char* mode, const test::TestCa::Server& cert)
{
    std::vector<std::string> arguments = { "--auth", "user:secret" };
    if (*mode)
        arguments.insert(arguments.end(), { "--tls", mode, "--cert", cert.cert, "--key", cert.key });
    return arguments;
}

bool authTried(const test::SmtpServerFixture& server)
{
    return std::filesystem::exists(server.folder() / "auth.log");
}

} // namespace

TEST(SmtpTls, RealServerSecuritiesAndCertificates)
{
    const test::TestCa& ca = test::TestCa::instance();
    test::TempDir dir;
    test::writeFile(dir / "not-a-cert.pem", "just text\n");
    // Many TLS records each way, and writes the socket takes in parts.
    std::string attachment(2 * 1024 * 1024, '\0');
    for (std::size_t i = 0; i < attachment.size(); ++i)
        attachment[i] = static_cast<char>((i * 2654435761u) >> 13);
    test::writeFile(dir / "attachment.bin", attachment);
    const std::string notCert = (dir / "not-a-cert.pem").string();
    const std::string missing = (dir / "missing.pem").string();
    const std::string secured = "secured: TLS 1.3 with 127.0.0.1";
    struct Case
    {
        const char* name;
        const char* serverTls; // "", "starttls" or "implicit"
        test::TestCa::Server cert;
        const char* security; // as typed in the settings
        std::string trustFile;
        Lines expected;
    };
    const std::vector<Case> cases = {
        { "STARTTLS and a required log-in", "starttls", ca.good(), "STARTTLS", {}, { secured, "sent" } },
        { "TLS on connect, any letter case", "implicit", ca.good(), "tls", {}, { secured, "sent" } },
        { "STARTTLS asked, not offered: no password sent",
            "",
            ca.good(),
            "StartTls",
            {},
            { "open failed: 500 STARTTLS asked for, but the server does not offer it." } },
        { "expired certificate",
            "starttls",
            ca.expired(),
            "STARTTLS",
            {},
            { "open failed: 500 TLS with 127.0.0.1 refused: certificate has expired" } },
        { "untrusted certificate",
            "implicit",
            ca.office(),
            "TLS",
            {},
            { "open failed: 500 TLS with 127.0.0.1 refused: certificate is not trusted" } },
        { "the office authority in the trust file", "implicit", ca.office(), "TLS", ca.officeCa(), { secured, "sent" } },
        { "certificate for another name",
            "starttls",
            ca.otherName(),
            "STARTTLS",
            {},
            { "open failed: 500 TLS with 127.0.0.1 refused: certificate is for other.test, not 127.0.0.1" } },
        { "trust file that is not a certificate",
            "implicit",
            ca.good(),
            "TLS",
            notCert,
            { "open failed: 500 Trust file " + notCert + " holds no certificate" } },
        { "trust file that does not exist",
            "implicit",
            ca.good(),
            "TLS",
            missing,
            { "open failed: 500 Trust file " + missing + ": No such file or directory" } },
        { "log-in in plain text to this machine", "", ca.good(), "None", {}, { "secured: no TLS, plain text", "sent" } },
    };
    TSyncSmtpCli client; // one client for every mail, as the programs keep it
    client.Timeout = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::SmtpServerFixture server(tlsServer(c.serverTls, c.cert));
        ASSERT_TRUE(server.started());
        const MailSettings settings { "127.0.0.1", std::to_string(server.port()), c.security, "user", "secret", {},
            c.trustFile };
        Recorder events;
        events.files = { (dir / "attachment.bin").string() };
        MailPasswords passwords;
        const bool sent = sendMailSequence(client, MailServer { settings, {}, {} }, passwords, events);
        EXPECT_EQ(events.lines, c.expected);
        EXPECT_EQ(sent, c.expected.back() == "sent");
        EXPECT_EQ(authTried(server), sent) << "a password goes out only where the mail does";
        if (sent) {
            const std::string message = server.waitForMessage(1);
            ASSERT_FALSE(message.empty());
            const QJsonArray parts = test::SmtpServerFixture::parse(message)["parts"].toArray();
            ASSERT_EQ(parts.size(), 2);
            EXPECT_EQ(parts[1].toObject()["size"].toInt(), static_cast<int>(attachment.size()));
        }
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.State(), TSmtpState::smtpReady);
    }
}

// The password from the settings, a password file (found in $CREDENTIALS_DIRECTORY, then
// beside the settings file), or a file that cannot be used; a file others may read is told once.
TEST(SmtpTls, PasswordFiles)
{
    test::SmtpServerFixture server({ "--auth", "user:secret" });
    ASSERT_TRUE(server.started());
    test::TempDir dir;
    test::TempDir credentials;
    const std::string settingsFile = (dir / "SEN.INI").string();
    test::writeFile(dir / "beside.txt", "secret\r\nsecond line\n");
    test::writeFile(credentials / "smtp", "secret");
    test::writeFile(dir / "smtp", "wrong\n");
    test::writeFile(dir / "empty.txt", "\n");
    std::filesystem::create_directory(dir / "folder");
    for (const char* name : { "beside.txt", "smtp", "empty.txt" })
        ::chmod((dir / name).c_str(), 0600);
    ::chmod((credentials / "smtp").c_str(), 0644);
    const std::string shared = "warning: The password file " + (credentials / "smtp").string()
        + " holds a mail password that other users may read: make it mode 0600";
    struct Case
    {
        const char* name;
        std::string password;
        std::string file;
        Lines expected;
    };
    const std::vector<Case> cases = {
        { "password in the settings", "secret", {}, { "secured: no TLS, plain text", "sent" } },
        { "beside the settings file, first line only", {}, "beside.txt", { "secured: no TLS, plain text", "sent" } },
        { "credentials folder first, shared file told", {}, "smtp", { shared, "secured: no TLS, plain text", "sent" } },
        { "told once per start", {}, "smtp", { "secured: no TLS, plain text", "sent" } },
        { "a folder", {}, (dir / "folder").string(), { "failed: Password file " + (dir / "folder").string() + ": Is a directory" } },
        { "missing", {}, "gone.txt", { "failed: Password file " + (dir / "gone.txt").string() + ": No such file or directory" } },
        { "no password on the first line", {}, "empty.txt",
            { "failed: Password file " + (dir / "empty.txt").string() + " holds no password on its first line" } },
    };
    ::setenv("CREDENTIALS_DIRECTORY", credentials.str().c_str(), 1);
    TSyncSmtpCli client;
    MailPasswords passwords; // one per program start
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const MailSettings settings { "127.0.0.1", std::to_string(server.port()), "", "user", c.password, c.file, {} };
        Recorder events;
        sendMailSequence(client, MailServer { settings, settingsFile, {} }, passwords, events);
        EXPECT_EQ(events.lines, c.expected);
    }
    ::unsetenv("CREDENTIALS_DIRECTORY");
}

// To an address that is not this machine's, a log-in without encryption is refused before
// the password goes out. The server lives in a network namespace of the test's own.
TEST(SmtpTls, PlainLogInOnlyToLoopback)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    test::mustRun("ip addr add 192.0.2.25/32 dev lo");
    test::SmtpServerFixture server({ "--auth", "user:secret", "--listen", "192.0.2.25:0" });
    ASSERT_TRUE(server.started());
    TSyncSmtpCli client;
    MailPasswords passwords;
    Recorder events;
    const MailSettings settings { "192.0.2.25", std::to_string(server.port()), "None", "user", "secret", {}, {} };
    EXPECT_FALSE(sendMailSequence(client, MailServer { settings, {}, {} }, passwords, events));
    EXPECT_EQ(events.lines,
        Lines { "open failed: 500 Log-in refused: the connection to 192.0.2.25 is not encrypted (choose STARTTLS or "
                "TLS)." });
    EXPECT_FALSE(authTried(server));
}
