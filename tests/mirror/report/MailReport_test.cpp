#include "tests/mirror/engine/RecordingFrontEnd.h"

#include "mirror/core/MailReport.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/StatusOutput.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <netinet/in.h>
#include <sys/stat.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace mirror;

namespace {

std::string text(const QJsonValue& value)
{
    return value.toString().toStdString();
}

std::string header(const QJsonObject& parsed, const std::string& name)
{
    for (const auto& field : parsed["headers"].toArray())
        if (text(field.toArray()[0]) == name)
            return text(field.toArray()[1]);
    return {};
}

// A loopback port with nothing listening on it.
int closedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

struct ReportFixture : ::testing::Test
{
    test::TempDir dir;
    MirrorSettings settings;
    RecordingFrontEnd frontEnd;
    core::StopFlag stop { true };
    StatusOutput status { frontEnd.roles(), settings, stop };
    MailReport report { settings, status, frontEnd };

    void SetUp() override
    {
        settings.smtpServer = "127.0.0.1";
        settings.mailFromAddress = "rpl@office.test";
        settings.mailToAddress = "admin@office.test";
        settings.logFileName = (dir / "RPL.LOG").string();
    }
    void useServer(const test::SmtpServerFixture& server) { settings.smtpPort = std::to_string(server.port()); }
    std::vector<std::string> errors() const
    {
        std::vector<std::string> lines;
        for (const auto& line : frontEnd.activityLines)
            if (line.rfind(" *** ERROR! ", 0) == 0)
                lines.push_back(line);
        return lines;
    }
};

} // namespace

TEST_F(ReportFixture, SummaryIsTheBodyAndTheLogIsAttachedAsWrittenBeforeTheMail)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    useServer(server);
    settings.logFileEnable = true;
    settings.attachLogToEMail = true;
    status.startRun();
    status.WriteStatus("/src  ==>  /dst", StatusLevel::Summary);
    status.WriteStatus(" * Delete file /dst/old.txt", StatusLevel::Change);
    report.SendReport();

    EXPECT_TRUE(errors().empty());
    EXPECT_EQ(frontEnd.activityLines.back(), "Connection to mail server closed.");
    const std::string path = server.waitForMessage(1);
    ASSERT_FALSE(path.empty());
    const QJsonObject parsed = test::SmtpServerFixture::parse(path);
    EXPECT_TRUE(QRegularExpression("^RPL completed at: [0-9]+/[0-9]+/[0-9]+( .*)?$")
                    .match(QString::fromStdString(header(parsed, "Subject")))
                    .hasMatch())
        << header(parsed, "Subject");
    EXPECT_EQ(header(parsed, "From"), "rpl@office.test");
    EXPECT_EQ(header(parsed, "To"), "admin@office.test");
    const QJsonArray parts = parsed["parts"].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_NE(text(parts[0].toObject()["text"]).find("/src  ==>  /dst"), std::string::npos);
    EXPECT_EQ(text(parts[1].toObject()["filename"]), "RPL.LOG");
    const std::string logAtMailTime
        = "\r\n====================\r\n\r\n/src  ==>  /dst\r\n * Delete file /dst/old.txt\r\n"
          "Connecting to mail server: 127.0.0.1\r\nSuccessfully Connected to mail server.\r\n"
          "Mail security: no TLS, plain text\r\nSending mail to: admin@office.test\r\n";
    EXPECT_EQ(parts[1].toObject()["size"].toInt(), static_cast<int>(logAtMailTime.size()));
    // The lines after the mail are in the log file but were not in the attachment.
    EXPECT_EQ(test::readFile(dir / "RPL.LOG"),
        logAtMailTime + "EMail sent to: admin@office.test\r\nConnection to mail server closed.\r\n");
    EXPECT_NE(frontEnd.summary.find("EMail sent to: admin@office.test"), std::string::npos);
}

TEST_F(ReportFixture, CustomSubjectAndTextAndAttachmentOnlyWithBothFlags)
{
    test::SmtpServerFixture server;
    ASSERT_TRUE(server.started());
    useServer(server);
    settings.mailCustomSubject = "Backup %NOW% / %NOW% / %now%";
    settings.mailCustomText = "Nightly mirror of the file server.";
    settings.attachLogToEMail = true; // but the log file is not enabled
    test::writeFile(dir / "RPL.LOG", "old log");
    status.WriteStatus("summary line", StatusLevel::Summary);
    report.SendReport();

    const QJsonObject parsed = test::SmtpServerFixture::parse(server.waitForMessage(1));
    const std::string subject = header(parsed, "Subject");
    EXPECT_EQ(subject.rfind("Backup ", 0), 0u);
    EXPECT_EQ(subject.find("%NOW%"), subject.size() - std::string(" / %now%").size() - 5);
    EXPECT_NE(subject.find(" / %now%"), std::string::npos);
    EXPECT_FALSE(parsed["multipart"].toBool());
    const std::string body = text(parsed["parts"].toArray()[0].toObject()["text"]);
    EXPECT_EQ(body.rfind("Nightly mirror of the file server.\r\n\r\nsummary line", 0), 0u) << body;
}

TEST(MailReportSubject, ReplacesOnlyTheFirstExactPlaceholder)
{
    EXPECT_EQ(MailReport::subjectFor("", "1/2/26"), "RPL completed at: 1/2/26");
    EXPECT_EQ(MailReport::subjectFor("%NOW% and %NOW%", "X"), "X and %NOW%");
    EXPECT_EQ(MailReport::subjectFor("at %now%", "X"), "at %now%");
}

TEST_F(ReportFixture, MissingSettingsWriteOneErrorAndConnectNowhere)
{
    settings.smtpServer.clear();
    report.SendReport();
    EXPECT_EQ(errors(), std::vector<std::string> { " *** ERROR! Missing mail settings, EMail NOT sent!" });
    EXPECT_EQ(frontEnd.activityLines.size(), 1u);
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(ReportFixture, RefusedConnectionWritesOneErrorWithTheClientsReply)
{
    settings.smtpPort = std::to_string(closedPort());
    report.SendReport();
    ASSERT_EQ(errors().size(), 1u);
    EXPECT_EQ(errors()[0].rfind(" *** ERROR! Cannot send mail for some reason: ", 0), 0u);
    EXPECT_EQ(errors()[0].substr(std::string(" *** ERROR! Cannot send mail for some reason: ").size()),
        report.client().LastResponse());
    EXPECT_NE(errors()[0].find("10061"), std::string::npos);
    EXPECT_EQ(frontEnd.activityLines.size(), 2u); // "Connecting to mail server: " and the error
    EXPECT_TRUE(frontEnd.messages.empty());
}

// A provider's set-up: STARTTLS, a log-in with the password from $CREDENTIALS_DIRECTORY, and
// the office authority in a trust file named beside the settings file; then a server whose
// certificate has expired, which gets nothing.
TEST_F(ReportFixture, ReportOverStartTlsWithALogIn)
{
    const test::TestCa& ca = test::TestCa::instance();
    for (const bool expired : { false, true }) {
        SCOPED_TRACE(expired ? "expired" : "office authority");
        const test::TestCa::Server& cert = expired ? ca.expired() : ca.office();
        test::SmtpServerFixture server({ "--auth", "user:secret", "--tls", "starttls", "--cert", cert.cert, "--key",
            cert.key });
        ASSERT_TRUE(server.started());
        useServer(server);
        test::TempDir credentials;
        test::writeFile(credentials / "rpl-smtp", "secret\n");
        ::chmod((credentials / "rpl-smtp").c_str(), 0600);
        ::setenv("CREDENTIALS_DIRECTORY", credentials.str().c_str(), 1);
        test::writeFile(dir / "office.pem", test::readFile(ca.officeCa()));
        report.setSettingsFile((dir / "RPL.INI").string());
        settings.smtpSecurity = "STARTTLS";
        settings.smtpUser = "user";
        settings.smtpPasswordFile = "rpl-smtp";
        settings.smtpTrustFile = "office.pem";
        frontEnd.activityLines.clear();
        report.SendReport();
        ::unsetenv("CREDENTIALS_DIRECTORY");
        if (expired) {
            EXPECT_EQ(errors(),
                std::vector<std::string> { " *** ERROR! Cannot send mail for some reason: 500 TLS with 127.0.0.1 "
                                           "refused: certificate has expired" });
        } else {
            EXPECT_TRUE(errors().empty());
            EXPECT_FALSE(server.waitForMessage(1).empty());
            EXPECT_NE(std::find(frontEnd.activityLines.begin(), frontEnd.activityLines.end(),
                          "Mail security: TLS 1.3 with 127.0.0.1"),
                frontEnd.activityLines.end());
        }
    }
}
