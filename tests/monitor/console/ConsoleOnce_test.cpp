// One pass from cron or a monitoring system: the start, the pass and the close with their log
// lines, mails and saved data file, and what the exit status and the check's line say.

#include "SenConsole.h"

#include "tests/net/FtpServerFixture.h"
#include "tests/net/HttpServerFixture.h"
#include "tests/net/Pop3ServerFixture.h"
#include "tests/net/SmtpServerFixture.h"
#include "tests/support/TestCa.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

std::string subjectOf(const std::string& message)
{
    const QJsonArray headers = test::SmtpServerFixture::parse(message)["decoded_headers"].toArray();
    for (const QJsonValue& header : headers)
        if (header.toArray().at(0).toString() == "Subject")
            return SenConsole::withoutStamps(header.toArray().at(1).toString().toStdString());
    return {};
}

} // namespace

// The alert mail has no port setting: the real server listens on port 25 of a loopback
// address of this test's own.
TEST_F(SenConsole, OnceRunsStartPassAndCloseWithLogMailsAndSavedFile)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "port 25 and the echo need root";
    const std::string address = "127.84." + std::to_string(getpid() % 250) + ".9";
    test::SmtpServerFixture server({ "--listen", address + ":25" });
    ASSERT_TRUE(server.started());
    const int open = openPort();
    const int closed = closedPort();
    test::writeFile(ini,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[Actions]\r\nSMTPServer=" + address
            + "\r\nEmailAddress=admin@office.test\r\nFromAddress=sen@office.test\r\nStartEmail=1\r\nCloseEmail=1\r\n"
              "FailEmail=1\r\nOKEmail=1\r\n[DestList]\r\nDestCount=3\r\n"
            + destination(1, "loopback", "PING", 7) + destination(2, "web", "TCP", open, "Fail")
            + destination(3, "gone", "TCP", closed, "OK"));

    EXPECT_EQ(run({ "/console", "/Once" }), 1) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    EXPECT_EQ(logLines(),
        (Lines {
            "",
            "SEN StartUp SEN.INI <stamp>",
            "* Send Mail OK: SEN StartUp SEN.INI <stamp>",
            "Ping OK: 127.0.0.1 loopback <stamp>  [<ms>]",
            "TCP OK: 127.0.0.1 web <stamp>  [<ms>]",
            "* Send Mail OK: TCP OK to: 127.0.0.1 web <stamp>",
            "TCP FAIL: 127.0.0.1 gone <stamp>  [<ms>]",
            "* Send Mail OK: TCP Fail to: 127.0.0.1 gone <stamp>",
            "SEN ShutDown SEN.INI <stamp>",
            "* Send Mail OK: SEN ShutDown SEN.INI <stamp>",
        }));

    Lines subjects;
    for (int n = 1; n <= 4; ++n) {
        const std::string message = server.waitForMessage(n);
        ASSERT_FALSE(message.empty()) << n;
        subjects.push_back(subjectOf(message));
    }
    EXPECT_EQ(subjects,
        (Lines { "SEN StartUp SEN.INI <stamp>",
            "TCP OK to: 127.0.0.1 web <stamp>",
            "TCP Fail to: 127.0.0.1 gone <stamp>",
            "SEN ShutDown SEN.INI <stamp>" }));
    EXPECT_TRUE(server.waitForMessage(5, 200).empty());

    // The activity lines, in pass order, on standard output.
    const std::string shown = withoutStamps(out.toStdString());
    size_t at = 0;
    for (const char* line : { "Loading - ",
             "Start test at <stamp>\n",
             "Pinging loopback [127.0.0.1]\n",
             "TCPing web [127.0.0.1:",
             "TCP OK: 127.0.0.1 web\n",
             "* Email: TCP OK to: 127.0.0.1 web <stamp>\n",
             "Send OK.\n",
             "TCP Fail: 127.0.0.1 gone\n",
             "END test at <stamp>\n",
             "Saving - " }) {
        at = shown.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << shown;
    }

    // Saved as the window saves at its close, keys written where they stand: the states, the
    // PING row without its port.
    const std::string saved = withoutStamps(test::readFile(ini));
    for (const char* key : { "VersionInfo=SEN - Senvigil, ver 1.53b\r\n",
             "Service1=PING\r\nPort1=\r\nStat1=OK\r\n",
             "Stat2=OK\r\n",
             "Stat3=Fail\r\n",
             "SortList=0\r\nLast1=<stamp>  [<ms>]\r\nLast2=<stamp>  [<ms>]\r\n",
             "SaveOnExit=1\r\n" })
        EXPECT_NE(saved.find(key), std::string::npos) << key << "\n" << saved;
}

TEST_F(SenConsole, OnceExitStatusAndTheNagiosLine)
{
    const int open = openPort();
    const int closed = closedPort();
    const std::string both = "[DestList]\r\nDestCount=2\r\n" + destination(1, "web", "TCP", open)
        + destination(2, "mail's = box", "TCP", closed);
    const fs::path other = dir / "net.SEN";
    const struct
    {
        const char* name;
        std::string ini; // "" for none
        QStringList arguments;
        int status;
        QString line; // a pattern of the check's one line; empty for /ONCE
    } cases[] = {
        { "all OK",
            "[DestList]\r\nDestCount=1\r\n" + destination(1, "web", "TCP", open),
            { "/CONSOLE", "/ONCE" },
            0,
            "" },
        { "one fails", both, { "/ONCE", "/CONSOLE" }, 1, "" },
        { "no data file", "", { "/CONSOLE", "/ONCE" }, 1, "" },
        { "empty list", "[DestList]\r\nDestCount=0\r\n", { "/CONSOLE", "/ONCE" }, 1, "" },
        { "all OK",
            "[DestList]\r\nDestCount=1\r\n" + destination(1, "web", "TCP", open),
            { "/nagios" },
            0,
            R"(SEN OK - 1 of 1 destinations OK \| 'web'=0\.\d{3}s;;;0)" },
        { "one fails",
            both,
            { "/CONSOLE", "/ONCE", "/NAGIOS" },
            2,
            R"(SEN CRITICAL - 1 of 2 destinations OK, failing: mail's = box \(connection refused\) \| 'web'=0\.\d{3}s;;;0 'mail''s _ box'=0\.\d{3}s;;;0)" },
        { "no data file",
            "",
            { "/NAGIOS" },
            3,
            "SEN UNKNOWN - cannot read the data file "
                + QRegularExpression::escape(QString::fromStdString(ini.string())) + ": No such file or directory" },
        { "a folder as data file",
            "",
            { "/NAGIOS", QString::fromStdString(dir.str()) },
            3,
            "SEN UNKNOWN - cannot read the data file .*: Is a directory" },
        { "empty list",
            "[DestList]\r\nDestCount=0\r\n",
            { "/NAGIOS" },
            3,
            "SEN UNKNOWN - no destination in the data file" },
        { "the data file named",
            "",
            { "/NAGIOS", QString::fromStdString(other.string()) },
            0,
            R"(SEN OK - 1 of 1 destinations OK \| 'other'=0\.\d{3}s;;;0)" },
    };
    test::writeFile(other, "[DestList]\r\nDestCount=1\r\n" + destination(1, "other", "TCP", open));
    for (const auto& c : cases) {
        fs::remove(ini);
        if (!c.ini.empty())
            test::writeFile(ini, c.ini);
        EXPECT_EQ(run(c.arguments), c.status) << c.name << " " << c.arguments.join(' ').toStdString();
        if (c.line.isEmpty()) {
            if (c.status != 0 && c.ini.empty()) { // nothing was tested: says why
                EXPECT_TRUE(err.contains("cannot read the data file")) << c.name << err.toStdString();
            }
            continue;
        }
        // Nothing but the one line on standard output.
        const QRegularExpression line(QRegularExpression::anchoredPattern(c.line + "\n"));
        EXPECT_TRUE(line.match(out).hasMatch()) << c.name << "\n" << out.toStdString();
    }
}

// Each application-layer probe against its real server (nginx, vsftpd, aiosmtpd, dovecot), then
// against the same ports with the servers gone.
TEST_F(SenConsole, OnceAndTheCheckWithTheApplicationProbesAndRealServers)
{
    auto http = std::make_unique<test::HttpServerFixture>();
    auto ftp = std::make_unique<test::FtpServerFixture>();
    auto smtp = std::make_unique<test::SmtpServerFixture>();
    auto pop3 = std::make_unique<test::Pop3ServerFixture>();
    ASSERT_TRUE(http->started() && ftp->started() && smtp->started() && pop3->started());
    const std::string url = "127.0.0.1:" + std::to_string(http->port());
    test::writeFile(ini,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\nFtpTimeOutSeconds=5\r\nSmtpTimeOutSeconds=5\r\n"
            + "POP3TimeOutSeconds=5\r\n[DestList]\r\nDestCount=4\r\n" + destination(1, "web", "HTTP", http->port())
            + destination(2, "files", "FTP", ftp->port()) + destination(3, "mail in", "SMTP", smtp->port())
            + destination(4, "mail out", "POP3", pop3->port()));

    EXPECT_EQ(run({ "/CONSOLE", "/ONCE" }), 0) << out.toStdString() << err.toStdString();
    EXPECT_EQ(logLines(),
        (Lines {
            "",
            "SEN StartUp SEN.INI <stamp>",
            "HTTP OK: " + url + " web <stamp>  [<ms>]",
            "FTP OK: 127.0.0.1 files <stamp>  [<ms>]",
            "SMTP OK: 127.0.0.1 mail in <stamp>  [<ms>]",
            "POP3 OK: 127.0.0.1 mail out <stamp>  [<ms>]",
            "SEN ShutDown SEN.INI <stamp>",
        }));
    EXPECT_TRUE(out.contains(QString::fromStdString("HTTP OK: " + url + "\n"))) << out.toStdString();

    http.reset();
    ftp.reset();
    smtp.reset();
    pop3.reset();
    fs::remove(log);
    EXPECT_EQ(run({ "/NAGIOS" }), 2) << err.toStdString();
    const QRegularExpression line(QRegularExpression::anchoredPattern(
        R"(SEN CRITICAL - 0 of 4 destinations OK, failing: web \(connection refused\), files \(connection refused\), mail in \(connection refused\), mail out \(connection refused\) \| 'web'=\d+\.\d{3}s;;;0 'files'=\d+\.\d{3}s;;;0 'mail in'=\d+\.\d{3}s;;;0 'mail out'=\d+\.\d{3}s;;;0\n)"));
    EXPECT_TRUE(line.match(out).hasMatch()) << out.toStdString();
    EXPECT_EQ(logLines(),
        (Lines {
            "",
            "SEN StartUp SEN.INI <stamp>",
            "* HTTP Exception [" + url + "] Connection refused (Error #10061)",
            "HTTP FAIL: 127.0.0.1 web <stamp>  [<ms>]",
            "FTP FAIL: 127.0.0.1 files <stamp>  [<ms>]",
            "SMTP FAIL: 127.0.0.1 mail in <stamp>  [<ms>]",
            "POP3 FAIL: 127.0.0.1 mail out <stamp>  [<ms>]",
            "SEN ShutDown SEN.INI <stamp>",
        }));
    for (const char* key : { "Stat1=Fail\r\n", "Stat2=Fail\r\n", "Stat3=Fail\r\n", "Stat4=Fail\r\n" })
        EXPECT_NE(test::readFile(ini).find(key), std::string::npos) << key;
}

// A row deleted from the data file by hand (row 3 of 4) does not end the list: the row after it
// is tested, and the close's save keeps it.
TEST_F(SenConsole, ARowDeletedByHandKeepsTheRowsAfterIt)
{
    const int open = openPort();
    test::writeFile(ini,
        "[DestList]\r\nDestCount=4\r\n" + destination(1, "a", "TCP", open) + destination(2, "b", "TCP", open)
            + destination(4, "d", "TCP", open));
    EXPECT_EQ(run({ "/CONSOLE", "/ONCE" }), 1); // the empty row has no address to test
    EXPECT_TRUE(out.contains("TCP OK: 127.0.0.1 d\n")) << out.toStdString();
    const std::string saved = test::readFile(ini);
    for (const char* key : { "DestCount=4\r\n", "NAME3=\r\n", "Service3=PING\r\n", "NAME4=d\r\n", "Stat4=OK\r\n" })
        EXPECT_NE(saved.find(key), std::string::npos) << key << "\n" << saved;
}

// As a service runs it with a mail provider: STARTTLS on the port of the server field, a
// log-in with the password from a file beside the data file that other users may read (told
// once, as an error line), the certificate checked against SSL_CERT_FILE.
TEST_F(SenConsole, OnceMailsOverStartTlsWithAPasswordFile)
{
    const test::TestCa& ca = test::TestCa::instance();
    test::SmtpServerFixture server(
        { "--auth", "user:secret", "--tls", "starttls", "--cert", ca.good().cert, "--key", ca.good().key });
    ASSERT_TRUE(server.started());
    test::writeFile(ini.parent_path() / "smtp-password", "secret\n");
    ::chmod((ini.parent_path() / "smtp-password").c_str(), 0644);
    test::writeFile(ini,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[Actions]\r\nSMTPServer=127.0.0.1:"
            + std::to_string(server.port())
            + "\r\nEmailAddress=admin@office.test\r\nFromAddress=sen@office.test\r\nStartEmail=1\r\nCloseEmail=1\r\n"
              "SMTPSecurity=STARTTLS\r\nSMTPUser=user\r\nSMTPPasswordFile=smtp-password\r\n[DestList]\r\nDestCount=0\r\n");
    run({ "/console", "/Once" });
    EXPECT_TRUE(server.waitForMessage(2).size() > 0) << out.toStdString() << err.toStdString();
    const Lines lines = logLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "* Send Mail OK: SEN StartUp SEN.INI <stamp>"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "* Send Mail OK: SEN ShutDown SEN.INI <stamp>"), lines.end());
    const std::string warning = "*** ERROR! The password file " + (ini.parent_path() / "smtp-password").string()
        + " holds a mail password that other users may read: make it mode 0600";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), warning), 1) << out.toStdString();
}
