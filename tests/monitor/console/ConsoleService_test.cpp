// SEN under a service manager: passes on the timer until SIGTERM, which lets the running probe
// end and then closes; SIGHUP reads the data file again; without a display SEN alone runs so.

#include "SenConsole.h"

#include "tests/support/PrivateNamespace.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>

namespace {

using Lines = std::vector<std::string>;

// A timer of 0.01 minutes: a pass 600 ms after the start and after each pass.
const std::string FastTimer = "EnableTimer=1\r\nAllowFractionOfMinute=1\r\nTimerInterval=0.01\r\n";

int count(const Lines& lines, const std::string& text)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

} // namespace

TEST_F(SenConsole, SigtermLetsTheRunningProbeEndThenCloses)
{
    const int silent = silentPort();
    const int open = openPort();
    test::writeFile(ini,
        "[SEN]\r\n" + FastTimer + "TcpTimeOutMiliSec=3000\r\nLogFile=1\r\nLogFileName=" + log.string()
            + "\r\n[DestList]\r\nDestCount=2\r\n" + destination(1, "slow", "TCP", silent)
            + destination(2, "after", "TCP", open));
    auto sen = start({ "/Console" });
    ASSERT_TRUE(waitForOutput(*sen, "TCPing slow [")) << out.toStdString() << err.toStdString();
    EXPECT_EQ(stop(*sen, SIGTERM), 0) << err.toStdString();

    // The probe ran to its time-out; no further test started; the pass ended, then the close.
    const std::string shown = withoutStamps(out.toStdString());
    size_t at = 0;
    for (const char* line : { "TCPing slow [", "TCP Fail: 127.0.0.1 slow\n", "END test at <stamp>\n", "Saving - " }) {
        at = shown.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << shown;
    }
    EXPECT_EQ(shown.find("TCPing after"), std::string::npos) << shown;
    EXPECT_EQ(logLines(),
        (Lines { "",
            "SEN StartUp SEN.INI <stamp>",
            "TCP FAIL: 127.0.0.1 slow <stamp>  [<ms>]",
            "SEN ShutDown SEN.INI <stamp>" }));
    const QRegularExpression took(QStringLiteral(R"(Last1=.*\[(\d),(\d{3}) ms\])"));
    const auto match = took.match(QString::fromStdString(test::readFile(ini)));
    ASSERT_TRUE(match.hasMatch()) << test::readFile(ini);
    EXPECT_GE(match.captured(1).toInt() * 1000 + match.captured(2).toInt(), 2000); // not cut short
    EXPECT_NE(test::readFile(ini).find("Stat1=Fail\r\n"), std::string::npos);
    EXPECT_NE(test::readFile(ini).find("Stat2=na\r\n"), std::string::npos);
}

TEST_F(SenConsole, ASecondSigtermClosesWithoutWaitingForTheProbe)
{
    const int silent = silentPort();
    test::writeFile(ini,
        "[SEN]\r\n" + FastTimer + "TcpTimeOutMiliSec=60000\r\nLogFile=1\r\nLogFileName=" + log.string()
            + "\r\n[DestList]\r\nDestCount=1\r\n" + destination(1, "slow", "TCP", silent, "OK"));
    auto sen = start({ "/CONSOLE" });
    ASSERT_TRUE(waitForOutput(*sen, "TCPing slow [")) << out.toStdString() << err.toStdString();
    ::kill(static_cast<pid_t>(sen->processId()), SIGTERM);
    EXPECT_FALSE(sen->waitForFinished(300));
    EXPECT_EQ(stop(*sen, SIGINT), 0) << err.toStdString();
    // The test ended without a result: no line, no alert, the state kept.
    EXPECT_EQ(logLines(), (Lines { "", "SEN StartUp SEN.INI <stamp>", "SEN ShutDown SEN.INI <stamp>" }));
    EXPECT_NE(test::readFile(ini).find("Stat1=OK\r\n"), std::string::npos);
}

// The file on disk is older than what the tests found: the reload takes the file's settings
// and rows, keeps the states found, and raises no alert a second time.
TEST_F(SenConsole, SighupReloadsTheDataFile)
{
    const int closed = closedPort();
    const int open = openPort();
    const std::string head = "[SEN]\r\n" + FastTimer + "LogFile=1\r\nLogFileName=" + log.string()
        + "\r\n[Actions]\r\nFailRun=1\r\nFailCommand=/bin/true\r\n[DestList]\r\n";
    test::writeFile(ini, head + "DestCount=1\r\n" + destination(1, "a", "TCP", closed, "OK"));
    auto sen = start({ "/CONSOLE", ini.c_str() });
    ASSERT_TRUE(waitForOutput(*sen, "TCP Fail: 127.0.0.1 a\n")) << out.toStdString() << err.toStdString();

    test::writeFile(
        ini, head + "DestCount=2\r\n" + destination(1, "a", "TCP", closed, "OK") + destination(2, "b", "TCP", open));
    ::kill(static_cast<pid_t>(sen->processId()), SIGHUP);
    ASSERT_TRUE(waitForOutput(*sen, "TCP OK: 127.0.0.1 b\n", 2)) << out.toStdString() << err.toStdString();
    EXPECT_EQ(out.count("Loading - " + QString::fromStdString(ini.string()) + "\n"), 2);

    // Gone: the list stays as it is, and standard error says why.
    const std::string before = test::readFile(ini);
    std::filesystem::remove(ini);
    ::kill(static_cast<pid_t>(sen->processId()), SIGHUP);
    ASSERT_TRUE(waitForOutput(*sen, "TCP OK: 127.0.0.1 b\n", 3)) << out.toStdString();
    EXPECT_EQ(stop(*sen, SIGTERM), 0) << err.toStdString();
    EXPECT_TRUE(err.contains("File Not Found: " + QString::fromStdString(ini.string()))) << err.toStdString();

    const Lines lines = logLines();
    EXPECT_EQ(count(lines, "* Run Program OK: /bin/true 127.0.0.1 a Fail <stamp>"), 1);
    EXPECT_GE(count(lines, "TCP FAIL: 127.0.0.1 a <stamp>  [<ms>]"), 3);
    EXPECT_EQ(lines.back(), "SEN ShutDown SEN.INI <stamp>");
    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("DestCount=2\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Stat1=Fail\r\n"), std::string::npos);
    EXPECT_NE(saved.find("Stat2=OK\r\n"), std::string::npos);
}

TEST_F(SenConsole, WithoutADisplaySenAloneRunsInTheConsole)
{
    auto sen = start({});
    // Nothing to test yet, and it says so on standard error, then waits for a signal.
    EXPECT_FALSE(sen->waitForFinished(1500));
    EXPECT_EQ(stop(*sen, SIGTERM), 0);
    EXPECT_TRUE(err.contains("does not exist yet")) << err.toStdString();
    EXPECT_TRUE(err.contains("the test timer is off")) << err.toStdString();
    // The close saved the settings, as the window's close does.
    EXPECT_EQ(test::readFile(ini).rfind("[SEN]\r\nVersionInfo=SEN - Senvigil, ver 1.53b\r\n", 0), 0u);
    EXPECT_NE(out.toStdString().find("Saving - " + ini.string()), std::string::npos);
}

// A data file the close cannot write: the error on standard error, no shut-down line, exit 1;
// the check says UNKNOWN. The file lies in a folder mounted read-only.
TEST_F(SenConsole, AFailedSaveAtTheCloseIsAnError)
{
    RUN_IN_PRIVATE_MOUNTS();
    const int open = openPort();
    const fs::path data = dir / "ro" / "net.SEN";
    test::writeFile(data,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[DestList]\r\nDestCount=1\r\n"
            + destination(1, "web", "TCP", open));
    test::mustRun("mount --bind " + data.parent_path().string() + " " + data.parent_path().string());
    test::mustRun("mount -o remount,bind,ro " + data.parent_path().string());
    const QString path = QString::fromStdString(data.string());

    EXPECT_EQ(run({ "/CONSOLE", "/ONCE", path }), 1);
    EXPECT_TRUE(err.contains("Unable to write to " + path)) << err.toStdString();
    EXPECT_EQ(logLines(), (Lines { "", "SEN StartUp net.SEN <stamp>", "TCP OK: 127.0.0.1 web <stamp>  [<ms>]" }));

    EXPECT_EQ(run({ "/NAGIOS", path }), 3);
    EXPECT_EQ(out, "SEN UNKNOWN - Unable to write to " + path + "\n");

    auto sen = start({ "/CONSOLE", path });
    EXPECT_FALSE(sen->waitForFinished(500));
    EXPECT_EQ(stop(*sen, SIGTERM), 1);
    EXPECT_TRUE(err.contains("Unable to write to " + path)) << err.toStdString();
}

// Output into a pipe whose reader is gone: the lines are lost, the run and its close are not.
TEST_F(SenConsole, AReaderThatWentAwayDoesNotCutTheCloseShort)
{
    const int open = openPort();
    test::writeFile(ini,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[DestList]\r\nDestCount=1\r\n"
            + destination(1, "web", "TCP", open));
    QProcess shell;
    shell.setProcessEnvironment(environment());
    shell.start("/bin/bash",
        { "-c",
            QString::fromStdString(
                "'" + program.string() + "' /CONSOLE /ONCE | { exec <&-; }; exit ${PIPESTATUS[0]}") });
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0) << shell.readAllStandardError().toStdString();
    EXPECT_EQ(logLines().back(), "SEN ShutDown SEN.INI <stamp>");
    EXPECT_NE(test::readFile(ini).find("Stat1=OK\r\n"), std::string::npos);
}
