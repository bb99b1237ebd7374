// The open-mail-quit sequence both programs send their mail with, against a real aiosmtpd (and a
// scripted server for a QUIT that fails): the mirror's report lines and the monitor's SMTP pane,
// each written from the sequence's events, come out exactly as the programs must show them.

#include "ScriptedServer.h"
#include "SmtpScript.h"
#include "SmtpServerFixture.h"

#include "common/net/MailSequence.h"
#include "tests/support/TempDir.h"

#include <QJsonArray>

#include <gtest/gtest.h>

using namespace net;
using test::Lines;

namespace {

// The mirror's report (status lines "S:", error lines "E:").
struct MirrorReport : MailSequenceEvents
{
    std::string to = "admin@office.test";
    std::vector<std::string> files;
    Lines lines;

    void status(const std::string& text) { lines.push_back("S: " + text); }
    void error(const std::string& text) { lines.push_back("E: " + text); }

    void connecting(const std::string& host) override { status("Connecting to mail server: " + host); }
    void openFailed(const TSyncSmtpCli& c) override { error("Cannot send mail for some reason: " + c.LastResponse()); }
    void connected() override { status("Successfully Connected to mail server."); }
    void compose(TSyncSmtpCli& c) override
    {
        c.FromName = "rpl@office.test";
        c.HdrFrom = "rpl@office.test";
        c.HdrTo = to;
        c.RcptName = { to };
        c.HdrSubject = "RPL completed";
        c.SetMailMessageText("Summary line one\rSummary line two");
        c.SetEmailFiles(files);
    }
    void sending() override { status("Sending mail to: " + to); }
    void sent() override { status("EMail sent to: " + to); }
    void sendFailed(const TSyncSmtpCli& c) override
    {
        error("Cannot send email to: " + to);
        error("Lastresponse from smtpclient = " + c.LastResponse());
    }
    void closed() override { status("Connection to mail server closed."); }
    void closeFailed(const TSyncSmtpCli& c) override
    {
        error("Cannot close connection to mail server.");
        error("Lastresponse from smtpclient = " + c.LastResponse());
    }
    void failed(const std::string& message) override { error("Exception while trying to send email: " + message); }
};

// The monitor's SMTP pane: its own "*" lines, the client's display lines, "**" error lines.
struct MonitorPane : MailSequenceEvents
{
    std::string addresses = "ops@office.test; boss@office.test";
    std::string subject = "SEN - TEST";
    Lines pane;
    const TSyncSmtpCli* client = nullptr;

    void reportError(const std::string& text, const TSyncSmtpCli& c)
    {
        pane.push_back("** ERROR: " + text);
        pane.push_back("** " + c.LastResponse());
    }

    void connecting(const std::string& host) override { pane.push_back("* Connecting to " + host); }
    void secured(const std::string& security) override { pane.push_back("* Security: " + security); }
    void openFailed(const TSyncSmtpCli& c) override { reportError("Cannot open connection.", c); }
    void compose(TSyncSmtpCli& c) override
    {
        c.RcptName.clear();
        std::size_t start = 0;
        for (;;) {
            const std::size_t end = addresses.find(';', start);
            std::string piece = addresses.substr(start, end == std::string::npos ? std::string::npos : end - start);
            const auto first = piece.find_first_not_of(" \t");
            const auto last = piece.find_last_not_of(" \t");
            c.RcptName.push_back(first == std::string::npos ? "" : piece.substr(first, last - first + 1));
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        c.FromName = "sen@office.test";
        c.HdrFrom = "sen@office.test";
        c.HdrTo = addresses;
        c.HdrSubject = subject;
        c.SetMailMessageText("SEN - TEST MESSAGE\rSMTP Host = 127.0.0.1");
    }
    void sending() override { pane.push_back("* Sending the message."); }
    void sent() override { pane.push_back("* Message sent."); }
    void sendFailed(const TSyncSmtpCli& c) override { reportError("Cannot send message.", c); }
    void closing() override { pane.push_back("* Closing connection."); }
    void closed() override { pane.push_back("* Connection closed."); }
    void closeFailed(const TSyncSmtpCli& c) override { reportError("Cannot quit.", c); }
    void finished() override { pane.push_back("* Done."); }
    void failed(const std::string& message) override { pane.push_back("** ERROR: " + message); }
    void display(const std::string& line) override { pane.push_back(line); }

    Lines ownLines() const
    {
        Lines own;
        for (const auto& line : pane) {
            if (line.rfind("*", 0) == 0)
                own.push_back(line);
        }
        return own;
    }
};

// The loopback server at `port`, with a port of its own in the settings.
MailServer at(int port, std::optional<std::string> signOn = std::nullopt)
{
    return { MailSettings { "127.0.0.1", std::to_string(port) }, {}, std::move(signOn) };
}

std::string text(const QJsonValue& value)
{
    return value.toString().toStdString();
}

} // namespace

TEST(MailSequence, MirrorReportLinesForEveryOutcome)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    test::TempDir dir;
    test::writeFile(dir / "RPL.LOG", "log line\r\n");
    const std::string connecting = "S: Connecting to mail server: 127.0.0.1";
    struct ReportCase
    {
        const char* name;
        std::string to;
        std::vector<std::string> files;
        int port; // 0: the server
        bool accepted;
        Lines expected;
    };
    const std::string missing = (dir / "gone.log").string();
    const std::vector<ReportCase> cases = {
        { "sent with the log attached",
            "admin@office.test",
            { (dir / "RPL.LOG").string() },
            0,
            true,
            { connecting,
                "S: Successfully Connected to mail server.",
                "S: Sending mail to: admin@office.test",
                "S: EMail sent to: admin@office.test",
                "S: Connection to mail server closed." } },
        { "server refuses the connection",
            "admin@office.test",
            {},
            test::closedLoopbackPort(),
            false,
            { connecting, "E: Cannot send mail for some reason: 500 Connection refused (Winsock error #10061)" } },
        { "server refuses the recipient",
            "refused@office.test",
            {},
            0,
            false,
            { connecting,
                "S: Successfully Connected to mail server.",
                "S: Sending mail to: refused@office.test",
                "E: Cannot send email to: refused@office.test",
                "E: Lastresponse from smtpclient = 550 5.1.1 Recipient refused",
                "S: Connection to mail server closed." } },
        { "composing raises",
            "admin@office.test",
            { missing },
            0,
            false,
            { connecting,
                "S: Successfully Connected to mail server.",
                "E: Exception while trying to send email: File not found '" + missing + "'" } },
    };
    TSyncSmtpCli client; // one client for every report, as the mirror keeps it
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MirrorReport report;
        report.to = c.to;
        report.files = c.files;
        MailPasswords passwords;
        EXPECT_EQ(sendMailSequence(client, at(c.port ? c.port : server.port()), passwords, report), c.accepted);
        EXPECT_EQ(report.lines, c.expected);
        EXPECT_EQ(client.State(), TSmtpState::smtpReady);
        EXPECT_FALSE(client.Connected());
    }
    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    const QJsonObject parsed = test::SmtpServerFixture::parse(path);
    const QJsonArray parts = parsed["parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(text(parts[0].toObject()["text"]), "Summary line one\r\nSummary line two\r\n");
    EXPECT_EQ(text(parts[1].toObject()["filename"]), "RPL.LOG");
}

TEST(MailSequence, MonitorPaneWithTheClientsOwnLines)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    TSyncSmtpCli client;
    MailPasswords passwords;
    MonitorPane pane;
    pane.pane.push_back("* Sending email: " + pane.subject);
    EXPECT_TRUE(sendMailSequence(client, at(server.port(), "SEN-HOST"), passwords, pane));
    EXPECT_EQ(pane.ownLines(),
        (Lines { "* Sending email: SEN - TEST",
            "* Connecting to 127.0.0.1",
            "* Security: no TLS, plain text",
            "* Sending the message.",
            "* Message sent.",
            "* Closing connection.",
            "* Connection closed.",
            "* Done." }));
    const auto shows = [&](const std::string& line) {
        return std::find(pane.pane.begin(), pane.pane.end(), line) != pane.pane.end();
    };
    for (const char* line : { "> HELO SEN-HOST",
             "> MAIL FROM:<sen@office.test>",
             "> RCPT TO:<ops@office.test>",
             "> RCPT TO:<boss@office.test>",
             "> DATA",
             "> To: ops@office.test; boss@office.test",
             "> SEN - TEST MESSAGE",
             "> .",
             "> QUIT" })
        EXPECT_TRUE(shows(line)) << line;
    for (const auto& line : pane.pane)
        EXPECT_TRUE(line.rfind("* ", 0) == 0 || line.rfind("> ", 0) == 0 || line.rfind("< ", 0) == 0) << line;
    EXPECT_FALSE(client.OnDisplay) << "the sequence leaves the client's own handler as it was";

    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(test::SmtpServerFixture::envelope(path)["rcpt_tos"].toArray().size(), 2);

    // Nobody listening: the open fails, nothing else is tried.
    MonitorPane unreachable;
    EXPECT_FALSE(sendMailSequence(client, at(test::closedLoopbackPort(), "SEN-HOST"), passwords, unreachable));
    EXPECT_EQ(unreachable.pane,
        (Lines { "* Connecting to 127.0.0.1",
            "** ERROR: Cannot open connection.",
            "** 500 Connection refused (Winsock error #10061)" }));
}

// A QUIT answered but never followed by the close: the mail still counts as sent.
TEST(MailSequence, FailedQuitAfterTheMailStillCountsAsSent)
{
    Lines data;
    test::ScriptedServer server([&](test::ScriptSession& peer) {
        test::greetAndHelo(peer);
        test::answer(peer, "250 ok");
        test::answer(peer, "250 ok");
        test::answer(peer, "354 go");
        if (peer.readData(data))
            peer.send("250 queued\r\n");
        test::answer(peer, "500 not now");
        peer.waitForClose();
    });
    TSyncSmtpCli client;
    client.Timeout = 1;
    MirrorReport report;
    MailPasswords passwords;
    EXPECT_TRUE(sendMailSequence(client, at(server.port()), passwords, report));
    ASSERT_GE(report.lines.size(), 2u);
    EXPECT_EQ(Lines(report.lines.end() - 3, report.lines.end()),
        (Lines { "S: EMail sent to: admin@office.test",
            "E: Cannot close connection to mail server.",
            "E: Lastresponse from smtpclient = 500 not now" }));
    EXPECT_TRUE(server.waitDone());
}
