// TLS mail against a scripted server that falls silent at one step: every step, the TLS
// handshake included, ends with the time-out; an Abort, or the client destroyed, in the middle
// of a handshake leaves nothing behind; a client destroyed inside the event of a failed
// handshake stops there; a host name is sent as SNI and checked, an address only checked.

#include "SmtpServerFixture.h"

#include "common/core/EventLoop.h"
#include "common/net/MailSequence.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"

#include <QProcess>

#include <gtest/gtest.h>

#include <memory>

using namespace net;

namespace {

// smtp_stall_server.py: one client, silent from the step named on.
class StallServer
{
public:
    StallServer(const std::string& tls, const std::string& stall, const test::TestCa::Server& cert)
    {
        QStringList arguments = { QString::fromStdString(test::fixturePath("smtp_stall_server.py")) };
        for (const std::string& word : { std::string("--tls"), tls, std::string("--stall"), stall,
                 std::string("--cert"), cert.cert, std::string("--key"), cert.key })
            arguments << QString::fromStdString(word);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start("/usr/bin/python3", arguments);
        m_port = line().toInt();
    }
    ~StallServer()
    {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    int port() const { return m_port; }
    // The next line the server prints ("silent" once it has fallen silent).
    QString line()
    {
        core::waitFor([this] { return m_process.canReadLine() || m_process.state() == QProcess::NotRunning; },
            std::chrono::seconds(20));
        return QString::fromUtf8(m_process.readLine()).trimmed();
    }
    bool ended() { return m_process.waitForFinished(10000); }

private:
    QProcess m_process;
    int m_port = 0;
};

struct Composer : MailSequenceEvents
{
    void compose(TSyncSmtpCli& c) override
    {
        c.FromName = c.HdrFrom = "sen@office.test";
        c.RcptName = { "ops@office.test" };
        c.HdrSubject = "stall";
        c.SetMailMessageText("line");
    }
};

void pointAt(TCustomSmtpClient& client, int port, TlsMode security)
{
    client.Host = "127.0.0.1";
    client.Port = std::to_string(port);
    client.Security = security;
    client.Username = "user";
    client.Password = "secret";
    client.AuthType = TSmtpAuthType::smtpAuthAutoSelect;
}

} // namespace

TEST(SmtpTlsHostile, TimeOutAtEveryStep)
{
    const test::TestCa& ca = test::TestCa::instance();
    struct Case
    {
        const char* tls;
        const char* stall;
        bool accepted; // the server took the message before it fell silent
    };
    const std::vector<Case> cases = {
        { "starttls", "greeting", false },
        { "starttls", "ehlo", false },
        { "starttls", "starttls", false },
        { "starttls", "handshake", false },
        { "starttls", "ehlo2", false },
        { "starttls", "auth", false },
        { "starttls", "mail", false },
        { "starttls", "rcpt", false },
        { "starttls", "data", false },
        { "starttls", "body", false },
        { "starttls", "quit", true },
        { "implicit", "handshake", false },
        { "implicit", "greeting", false },
        { "implicit", "body", false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tls) + " silent at " + c.stall);
        StallServer server(c.tls, c.stall, ca.good());
        ASSERT_GT(server.port(), 0);
        TSyncSmtpCli client;
        client.Timeout = 1;
        const MailSettings settings { "127.0.0.1", std::to_string(server.port()),
            c.tls == std::string("implicit") ? "TLS" : "STARTTLS", "user", "secret", {}, {} };
        Composer events;
        MailPasswords passwords;
        EXPECT_EQ(sendMailSequence(client, MailServer { settings, {}, {} }, passwords, events), c.accepted);
        EXPECT_EQ(client.StatusCode(), 426) << client.LastResponse();
        EXPECT_FALSE(client.Connected());
        EXPECT_EQ(client.State(), TSmtpState::smtpReady);
        EXPECT_TRUE(server.ended()) << "the connection was dropped";
    }
}

// Abort or destruction while the handshake waits for the server, at once after the connect and
// after STARTTLS.
TEST(SmtpTlsHostile, AbortOrDestroyDuringTheHandshake)
{
    const test::TestCa& ca = test::TestCa::instance();
    struct Case
    {
        const char* tls;
        bool destroy;
    };
    for (const Case& c : { Case { "implicit", false }, Case { "implicit", true }, Case { "starttls", false },
             Case { "starttls", true } }) {
        SCOPED_TRACE(std::string(c.tls) + (c.destroy ? ", destroyed" : ", aborted"));
        StallServer server(c.tls, "handshake", ca.good());
        auto client = std::make_unique<TSmtpCli>();
        pointAt(*client, server.port(), c.tls == std::string("implicit") ? TlsMode::Implicit : TlsMode::StartTls);
        int done = 0;
        int error = -1;
        client->OnRequestDone = [&](auto&, TSmtpRequest, int e) {
            ++done;
            error = e;
        };
        client->Open();
        ASSERT_EQ(server.line(), "silent") << "the handshake has begun";
        if (c.destroy) {
            client.reset();
        } else {
            client->Abort();
            core::waitFor([&] { return done > 0; }, std::chrono::seconds(5));
            EXPECT_EQ(done, 1);
            EXPECT_EQ(error, 426);
            EXPECT_FALSE(client->Connected());
            EXPECT_FALSE(client->TlsActive());
        }
        EXPECT_TRUE(server.ended()) << "the connection was dropped";
        core::waitFor([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_EQ(done, c.destroy ? 0 : 1);
    }
}

// The client destroyed inside the events that tell of a refused certificate: the state's
// return to ready and the end of the request.
TEST(SmtpTlsHostile, DestroyedInTheEventsOfARefusedCertificate)
{
    const test::TestCa& ca = test::TestCa::instance();
    for (const bool inStateChange : { true, false }) {
        SCOPED_TRACE(inStateChange ? "OnStateChange" : "OnRequestDone");
        test::SmtpServerFixture server(
            { "--tls", "implicit", "--cert", ca.expired().cert, "--key", ca.expired().key });
        ASSERT_TRUE(server.started());
        auto client = std::make_unique<TSmtpCli>();
        pointAt(*client, server.port(), TlsMode::Implicit);
        std::string response;
        const auto destroy = [&](TCustomSmtpClient& sender) {
            response = sender.LastResponse();
            client.reset(); // last: the handler itself goes with the client
        };
        client->OnStateChange = [&](auto& sender) {
            if (inStateChange && sender.State() == TSmtpState::smtpReady)
                destroy(sender);
        };
        client->OnRequestDone = [&](auto& sender, TSmtpRequest, int) { destroy(sender); };
        client->Open();
        core::waitFor([&] { return !client; }, std::chrono::seconds(10));
        EXPECT_EQ(response, "500 TLS with 127.0.0.1 refused: certificate has expired");
        core::waitFor([] { return false; }, std::chrono::milliseconds(100));
    }
}

// Names from a hosts file of the test's own mount namespace: the name is sent as SNI and must be
// the certificate's; an address is checked too but never sent.
TEST(SmtpTlsHostile, HostNamesAreSentAndChecked)
{
    RUN_IN_PRIVATE_MOUNTS();
    test::TempDir dir;
    test::writeFile(dir / "hosts", "127.0.0.1 localhost mail.test other.test\n");
    test::mustRun("mount --bind " + (dir / "hosts").string() + " /etc/hosts");
    const test::TestCa& ca = test::TestCa::instance();
    struct Case
    {
        std::string host;
        const test::TestCa::Server* cert;
        std::string sni;
        std::string failure; // empty: the handshake succeeds
    };
    const std::vector<Case> cases = {
        { "mail.test", &ca.good(), "sni mail.test", "" },
        { "127.0.0.1", &ca.good(), "sni -", "" },
        { "mail.test", &ca.otherName(), "sni mail.test",
            "500 TLS with mail.test refused: certificate is for other.test, not mail.test" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.host);
        StallServer server("implicit", "quit", *c.cert);
        TSyncSmtpCli client;
        client.Timeout = 5;
        pointAt(client, server.port(), TlsMode::Implicit);
        client.Host = c.host;
        const bool opened = client.SyncOpen();
        EXPECT_EQ(server.line().toStdString(), c.sni);
        EXPECT_EQ(opened, c.failure.empty()) << client.LastResponse();
        if (opened) {
            EXPECT_EQ(client.SecurityText(), "TLS 1.3 with " + c.host);
            EXPECT_EQ(client.TlsPeer().names, (std::vector<std::string> { "mail.test", "127.0.0.1", "::1" }));
            EXPECT_GT(client.TlsPeer().notAfter, std::time(nullptr));
            client.Abort();
        } else {
            EXPECT_EQ(client.LastResponse(), c.failure);
            EXPECT_EQ(client.TlsPeer().names, std::vector<std::string> { "other.test" });
        }
    }
}
