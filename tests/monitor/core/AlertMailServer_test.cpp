// The alert mails as a real SMTP server (aiosmtpd) stores them, parsed back with Python's email
// package: subjects and bodies under each "Include current status" choice, the keep-alive line,
// the recipients, the start-up and shut-down mails, Test SMTP, and the failures with their
// pane, activity and log lines.

#include "AlertFixture.h"

#include "tests/net/SmtpScript.h"

#include <unistd.h>

using namespace monitor;
using Lines = std::vector<std::string>;

namespace {

const std::string Failure = "Ping Fail to: 127.0.0.2 router";
const std::string Recovery = "HTTP OK to: 127.0.0.3 web server";

} // namespace

TEST_F(AlertFixture, SubjectAndBodyUnderEveryStatusChoice)
{
    ASSERT_TRUE(server.started());
    begin();
    controller->list().append(row("router", "127.0.0.2"));
    controller->list().append(row("web server", "127.0.0.3", "HTTP", "8080"));
    controller->list().append(row("never tested", "127.0.0.4", "TCP", "22"));
    controller->list().setState(0, StateImage::Fail);
    controller->list().setState(1, StateImage::OK);
    controller->list().setState(2, StateImage::UnderTest);
    actions().sendKeepAlive = true;
    actions().keepAliveInterval = "12";
    alerts().SetupKeepAlive();

    const std::string status = "X router 127.0.0.2 PING  na na\r\n"
                               "+ web server 127.0.0.3 HTTP 8080 na na\r\n"
                               "? never tested 127.0.0.4 TCP 22 na na\r\n";
    const std::string next = "\r\nNext scheduled keep alive message expected at: 6/13/26 2:05:09 AM\r\n\r\n";
    struct Case
    {
        int32_t choice;
        bool emptyMessageText;
        std::string message;
        bool keepAlive;
        bool withStatus;
    };
    const std::vector<Case> cases = {
        { -1, false, Failure, false, false },
        { -1, false, "SEN - Keep Alive", true, false },
        { 0, false, Recovery, false, false },
        { 0, false, "SEN - Keep Alive", true, false },
        { 1, false, Failure, false, false },
        { 1, false, "SEN - Keep Alive", true, true },
        { 2, false, Recovery, false, true },
        { 2, false, "SEN - Keep Alive", true, true },
        { 2, true, Failure, false, false },
        { 1, true, "SEN - Keep Alive", true, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.choice) + " " + c.message + (c.emptyMessageText ? " empty" : ""));
        actions().sendCurrentStatus = c.choice;
        controller->settings().EmptyMessageText = c.emptyMessageText;
        alerts().SendAlertMail(c.message, c.keepAlive);
        const QJsonObject mail = nextMail();
        const std::string subject = c.message + " " + Stamp;
        EXPECT_EQ(header(mail, "Subject"), subject);
        std::string body;
        if (!c.emptyMessageText)
            body = subject + "\r\n\r\n" + (c.withStatus ? status : "") + (c.keepAlive ? next : "");
        EXPECT_EQ(text(mail), body);
    }
    EXPECT_EQ(frontEnd.activity.back(), "Send OK.");
}

TEST_F(AlertFixture, AnEmptyListGivesNoStatusLines)
{
    ASSERT_TRUE(server.started());
    begin();
    actions().sendCurrentStatus = 2;
    alerts().SendAlertMail(Failure, false);
    EXPECT_EQ(text(nextMail()), Failure + " " + Stamp + "\r\n\r\n");
}

TEST_F(AlertFixture, RecipientsAreSplitAndTrimmedWhileToKeepsTheText)
{
    ASSERT_TRUE(server.started());
    begin();
    actions().emailAddress = " ops@office.test ;\tboss@office.test ; ";
    alerts().SendAlertMail(Failure, false);
    const QJsonObject mail = nextMail();
    EXPECT_EQ(header(mail, "To"), "ops@office.test ;\tboss@office.test ; ");
    EXPECT_EQ(header(mail, "From"), "sen@office.test");
    const QJsonObject envelope = envelopeOf(1);
    EXPECT_EQ(envelope["mail_from"].toString(), "sen@office.test");
    const QJsonArray to = envelope["rcpt_tos"].toArray();
    ASSERT_EQ(to.size(), 2);
    EXPECT_EQ(to[0].toString(), "ops@office.test");
    EXPECT_EQ(to[1].toString(), "boss@office.test");
    const Lines& lines = pane.lines;
    for (const char* shown : { "> RCPT TO:<ops@office.test>", "> RCPT TO:<boss@office.test>" })
        EXPECT_NE(std::find(lines.begin(), lines.end(), shown), lines.end()) << shown;
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(), [](const std::string& l) { return l.rfind("> RCPT", 0) == 0; }), 2);
}

TEST_F(AlertFixture, ThePaneShowsTheStepsWithTheClientsLinesBetween)
{
    ASSERT_TRUE(server.started());
    beginLogged();
    const size_t before = frontEnd.activity.size();
    alerts().SendAlertMail(Failure, false);
    nextMail();
    const std::string subject = Failure + " " + Stamp;
    Lines own;
    for (const std::string& line : pane.lines) {
        if (line.rfind("* ", 0) == 0)
            own.push_back(line);
        else
            EXPECT_TRUE(line.rfind("> ", 0) == 0 || line.rfind("< ", 0) == 0) << line;
    }
    EXPECT_EQ(own,
        (Lines { "* Sending email: " + subject,
            "* Connecting to 127.0.0.1",
            "* Security: no TLS, plain text",
            "* Sending the message.",
            "* Message sent.",
            "* Closing connection.",
            "* Connection closed.",
            "* Done." }));
    // HELO carries the computer's network name.
    EXPECT_NE(
        std::find(pane.lines.begin(), pane.lines.end(), "> HELO " + AlertMailer::computerName()), pane.lines.end());
    EXPECT_NE(std::find(pane.lines.begin(), pane.lines.end(), "> Subject: " + subject), pane.lines.end());
    // Free when the pane was attached, busy during the send, free again.
    EXPECT_EQ(pane.busy, (std::vector<bool> { false, true, false }));
    EXPECT_EQ(activitySince(before), (Lines { "* Email: " + subject, "Send OK." }));
    EXPECT_EQ(logLines().back(), "* Send Mail OK: " + subject);
}

TEST_F(AlertFixture, StartUpAndShutDownMails)
{
    ASSERT_TRUE(server.started());
    begin("[Actions]\r\nSMTPServer=127.0.0.1\r\nEmailAddress=ops@office.test\r\nFromAddress=sen@office.test\r\n"
          "StartEmail=1\r\nCloseEmail=1\r\nSendCurrentStatus=2\r\n[DestList]\r\nDestCount=1\r\nNAME1=router\r\n"
          "IP1=127.0.0.2\r\nStat1=OK\r\nLast1=earlier\r\n");
    controller->StartupActions();
    QJsonObject mail = nextMail();
    EXPECT_EQ(header(mail, "Subject"), std::string("SEN StartUp SEN.INI ") + Stamp);
    EXPECT_EQ(
        text(mail), std::string("SEN StartUp SEN.INI ") + Stamp + "\r\n\r\n? router 127.0.0.2 PING  OK earlier\r\n");

    controller->settings().saveOnExit = false;
    controller->prepareClose();
    mail = nextMail();
    EXPECT_EQ(header(mail, "Subject"), std::string("SEN ShutDown SEN.INI ") + Stamp);
    EXPECT_EQ(
        text(mail), std::string("SEN ShutDown SEN.INI ") + Stamp + "\r\n\r\n? router 127.0.0.2 PING  OK earlier\r\n");
    EXPECT_EQ(frontEnd.activity.back(), "Send OK.");
}

TEST_F(AlertFixture, ARefusingServerFailsAtTheOpen)
{
    beginLogged();
    actions().smtpPort = std::to_string(test::closedLoopbackPort());
    const size_t before = frontEnd.activity.size();
    alerts().SendAlertMail(Failure, false);
    const std::string subject = Failure + " " + Stamp;
    EXPECT_EQ(pane.lines,
        (Lines { "* Sending email: " + subject,
            "* Connecting to 127.0.0.1",
            "** ERROR: Cannot open connection.",
            "** 500 Connection refused (Winsock error #10061)" }));
    EXPECT_EQ(activitySince(before), (Lines { "* Email: " + subject, "Send FAILED." }));
    EXPECT_EQ(logLines().back(), "* Send Mail FAILED: " + subject);
}

TEST_F(AlertFixture, ARejectedRecipientFailsTheMailAndStillQuits)
{
    ASSERT_TRUE(server.started());
    beginLogged();
    actions().emailAddress = "@@"; // no address at all: the server refuses it
    alerts().SendAlertMail(Recovery, false);
    const std::string subject = Recovery + " " + Stamp;
    const auto error = std::find(pane.lines.begin(), pane.lines.end(), "** ERROR: Cannot send message.");
    ASSERT_NE(error, pane.lines.end());
    ASSERT_NE(error + 1, pane.lines.end());
    EXPECT_EQ(error[1].substr(0, 6), "** 553") << error[1];
    // The connection is still closed with QUIT.
    EXPECT_NE(std::find(error, pane.lines.end(), "> QUIT"), pane.lines.end());
    EXPECT_NE(std::find(pane.lines.begin(), pane.lines.end(), "* Connection closed."), pane.lines.end());
    EXPECT_EQ(pane.lines.back(), "* Done.");
    EXPECT_EQ(frontEnd.activity.back(), "Send FAILED.");
    EXPECT_EQ(logLines().back(), "* Send Mail FAILED: " + subject);
    EXPECT_TRUE(server.waitForMessage(1, 200).empty());
}

TEST_F(AlertFixture, TestSmtpShowsItsResultAndWritesNoActivity)
{
    ASSERT_TRUE(server.started());
    beginLogged();
    actions().emailAddress = "ops@office.test; boss@office.test";
    const size_t before = frontEnd.activity.size();
    const std::string logBefore = test::readFile(log);
    EXPECT_TRUE(alerts().TestSMTP());
    const QJsonObject mail = nextMail();
    EXPECT_EQ(header(mail, "Subject"), "SEN - TEST");
    EXPECT_EQ(text(mail),
        std::string("SEN - TEST MESSAGE\r\nTime = ") + Stamp
            + "\r\nSMTP Host = 127.0.0.1\r\nDestination address = ops@office.test; boss@office.test\r\n"
              "From address = sen@office.test\r\n");
    EXPECT_EQ(frontEnd.messages, Lines { "Send OK." });
    EXPECT_EQ(pane.lines.front(), "* Sending email: SEN - TEST");
    EXPECT_EQ(frontEnd.activity.size(), before);
    EXPECT_EQ(test::readFile(log), logBefore);

    actions().smtpPort = std::to_string(test::closedLoopbackPort());
    EXPECT_FALSE(alerts().TestSMTP());
    EXPECT_EQ(frontEnd.messages, (Lines { "Send OK.", "Send FAILED." }));
}

// A server that falls silent at each step in turn: the send gives up after "SMTPTimeOut"
// seconds of the data file and says which step failed; a QUIT that is answered but never
// followed by the close still leaves the mail sent. The next mail goes out normally.
TEST_F(AlertFixture, ATimeOutAtEveryStep)
{
    ASSERT_TRUE(server.started());
    using Script = test::ScriptedServer::Script;
    const auto unanswered = [](test::ScriptSession& peer) {
        std::string line;
        peer.readLine(line);
        peer.waitForClose();
    };
    struct Case
    {
        const char* step;
        Script script;
        const char* error;
        bool sent;
    };
    const std::vector<Case> cases = {
        { "greeting", [](test::ScriptSession& peer) { peer.waitForClose(); }, "Cannot open connection.", false },
        { "HELO",
            [&](test::ScriptSession& peer) {
                peer.send("220 scripted\r\n");
                unanswered(peer);
            },
            "Cannot open connection.",
            false },
        { "MAIL FROM",
            [&](test::ScriptSession& peer) {
                test::greetAndHelo(peer);
                unanswered(peer);
            },
            "Cannot send message.",
            false },
        { "end of data",
            [](test::ScriptSession& peer) {
                test::greetAndHelo(peer);
                test::answer(peer, "250 sender ok");
                test::answer(peer, "250 recipient ok");
                test::answer(peer, "354 go ahead");
                Lines data;
                peer.readData(data);
                peer.waitForClose();
            },
            "Cannot send message.",
            false },
        { "close after QUIT",
            [](test::ScriptSession& peer) {
                test::greetAndHelo(peer);
                test::answer(peer, "250 sender ok");
                test::answer(peer, "250 recipient ok");
                test::answer(peer, "354 go ahead");
                Lines data;
                if (peer.readData(data))
                    peer.send("250 queued\r\n");
                test::answer(peer, "221 bye"); // and never closes
                peer.waitForClose();
            },
            "Cannot quit.",
            true },
    };
    beginLogged("[Actions]\r\nSMTPServer=127.0.0.1\r\nEmailAddress=ops@office.test\r\nSMTPTimeOut=1\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        test::ScriptedServer silent(c.script);
        actions().smtpPort = silent.portText();
        alerts().SendAlertMail(Failure, false);
        EXPECT_NE(
            std::find(pane.lines.begin(), pane.lines.end(), std::string("** ERROR: ") + c.error), pane.lines.end());
        EXPECT_EQ(frontEnd.activity.back(), c.sent ? "Send OK." : "Send FAILED.");
        EXPECT_EQ(logLines().back(),
            std::string(c.sent ? "* Send Mail OK: " : "* Send Mail FAILED: ") + Failure + " " + Stamp);
        EXPECT_TRUE(silent.waitDone());
    }
    actions().smtpPort = std::to_string(server.port());
    alerts().SendAlertMail(Recovery, false);
    EXPECT_EQ(header(nextMail(), "Subject"), Recovery + " " + Stamp);
}

// Without the port seam the client goes to the standard SMTP port of the server named in the
// settings; a server of the test's own listens there on a loopback address (as root).
TEST(AlertMailStandardPort, GoesToPort25OfTheNamedServer)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "port 25 needs root";
    test::SmtpServerFixture server({ "--listen", "127.0.25.25:25" });
    if (!server.started())
        GTEST_SKIP() << "port 25 of 127.0.25.25 is taken";
    AlertActions actions;
    actions.smtpServer = "127.0.25.25";
    actions.emailAddress = "ops@office.test";
    AlertMailer mailer(actions);
    EXPECT_TRUE(mailer.SendMail("SEN - port", "body"));
    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(AlertFixture::header(test::SmtpServerFixture::parse(path), "Subject"), "SEN - port");
}
