// SEN under a service manager: passes on the timer until SIGTERM, which ends the tests under way
// without a result and closes, also when the save fails or is withheld, and waits for the
// programs it started as a service manager's stop expects; SIGHUP reads the data file again;
// without a display SEN alone runs so.

#include "SenConsole.h"

#include "common/core/EventLoop.h"
#include "tests/support/ChildCheck.h"
#include "tests/support/PrivateNamespace.h"

#include <QProcess>
#include <QRegularExpression>

#include <algorithm>
#include <csignal>
#include <fstream>
#include <thread>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

// A timer of 0.01 minutes: a pass 600 ms after the start and after each pass.
const std::string FastTimer = "EnableTimer=1\r\nAllowFractionOfMinute=1\r\nTimerInterval=0.01\r\n";

int count(const Lines& lines, const std::string& text)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), text));
}

} // namespace

// A service stop does not wait for probes' time-outs, and an ended test is no test: the row
// that was "OK" stays so, with no FAIL line, no retry and no first-failure alert.
TEST_F(SenConsole, SigtermEndsTheTestUnderWayWithoutAResultThenCloses)
{
    const int silent = silentPort();
    const int open = openPort();
    test::writeFile(ini,
        "[SEN]\r\n" + FastTimer + "TcpTimeOutMiliSec=60000\r\nTCPRetryOnFirstFail=1\r\nLogFile=1\r\nLogFileName="
            + log.string() + "\r\n[Actions]\r\nFailRun=1\r\nFailCommand=/bin/true\r\n[DestList]\r\nDestCount=2\r\n"
            + destination(1, "slow", "TCP", silent, "OK") + destination(2, "after", "TCP", open));
    auto sen = start({ "/Console" });
    ASSERT_TRUE(waitForOutput(*sen, "TCPing slow [")) << out.toStdString() << err.toStdString();
    const auto stopped = std::chrono::steady_clock::now();
    EXPECT_EQ(stop(*sen, SIGTERM), 0) << err.toStdString();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(20));

    const std::string shown = withoutStamps(out.toStdString());
    size_t at = 0;
    for (const char* line :
        { "TCPing slow [", "TCP stopped: 127.0.0.1 slow (no result)\n", "END test at <stamp>\n", "Saving - " }) {
        at = shown.find(line, at);
        ASSERT_NE(at, std::string::npos) << line << "\n" << shown;
    }
    EXPECT_EQ(shown.find("TCPing after"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("Retry"), std::string::npos) << shown;
    EXPECT_EQ(logLines(), (Lines { "", "SEN StartUp SEN.INI <stamp>", "SEN ShutDown SEN.INI <stamp>" }));
    EXPECT_NE(test::readFile(ini).find("Stat1=OK\r\n"), std::string::npos);
    EXPECT_NE(test::readFile(ini).find("Stat2=na\r\n"), std::string::npos);
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

// A data file the close cannot write, or one that someone else changed meanwhile: the reason
// on standard error, then the rest of the close (the shut-down line and program), exit 1; the
// check says UNKNOWN and nothing else. The unwritable file lies in a folder mounted read-only.
TEST_F(SenConsole, AFailedOrWithheldSaveIsAnErrorButTheCloseGoesOn)
{
    RUN_IN_PRIVATE_MOUNTS();
    const int open = openPort();
    const fs::path data = dir / "ro" / "net.SEN";
    const fs::path marker = dir / "closed";
    const fs::path closing = dir / "closing.sh";
    test::writeFile(closing, "#!/bin/sh\ntouch " + marker.string() + "\n");
    fs::permissions(closing, fs::perms::owner_all);
    const std::string text = "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string()
        + "\r\n[Actions]\r\nCloseRun=1\r\nCloseCommand=" + closing.string() + "\r\n[DestList]\r\nDestCount=1\r\n"
        + destination(1, "web", "TCP", open);
    test::writeFile(data, text);
    test::mustRun("mount --bind " + data.parent_path().string() + " " + data.parent_path().string());
    test::mustRun("mount -o remount,bind,ro " + data.parent_path().string());
    const QString path = QString::fromStdString(data.string());
    const Lines closed = { "",
        "SEN StartUp net.SEN <stamp>",
        "TCP OK: 127.0.0.1 web <stamp>  [<ms>]",
        "SEN ShutDown net.SEN <stamp>",
        "* Run Program OK: " + closing.string() + " SEN ShutDown net.SEN <stamp>" };

    EXPECT_EQ(run({ "/CONSOLE", "/ONCE", path }), 1);
    EXPECT_TRUE(err.contains("Unable to write to " + path)) << err.toStdString();
    EXPECT_EQ(logLines(), closed);
    EXPECT_TRUE(fs::exists(marker));

    fs::remove(log);
    EXPECT_EQ(run({ "/NAGIOS", path }), 3);
    EXPECT_EQ(out, "SEN UNKNOWN - Unable to write to " + path + "\n");
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();

    auto sen = start({ "/CONSOLE", path });
    EXPECT_FALSE(sen->waitForFinished(500));
    EXPECT_EQ(stop(*sen, SIGTERM), 1);
    EXPECT_TRUE(err.contains("Unable to write to " + path)) << err.toStdString();

    // Edited by hand while the service ran: kept as edited.
    test::writeFile(ini, text);
    sen = start({ "/CONSOLE" });
    ASSERT_TRUE(waitForOutput(*sen, "Loading - "));
    // "Loading - " comes just before the read: an edit then may still be what SEN loads. The
    // start-up line is logged once the load is over.
    core::Timer tick;
    tick.start(50);
    ASSERT_TRUE(core::waitFor(
        [&] { return test::readFile(log).find("SEN StartUp SEN.INI") != std::string::npos; }, std::chrono::seconds(20)));
    std::string edited = text + "NAME2=by hand\r\nIP2=127.0.0.2\r\n";
    edited.replace(edited.find("DestCount=1"), 11, "DestCount=2");
    test::writeFile(ini, edited);
    fs::remove(marker);
    EXPECT_EQ(stop(*sen, SIGTERM), 1);
    EXPECT_TRUE(err.contains("The data file " + QString::fromStdString(ini.string()) + " was changed by someone else"))
        << err.toStdString();
    EXPECT_EQ(test::readFile(ini), edited);
    EXPECT_EQ(logLines().back(), "* Run Program OK: " + closing.string() + " SEN ShutDown SEN.INI <stamp>");
    EXPECT_TRUE(fs::exists(marker));
}

namespace {

// Every process left below this one (the programs SEN started come here once their parents are
// gone, since this process reaps orphans), killed and reaped, as systemd's KillMode=mixed kills
// what is left of a unit once its main process has ended. How many there were.
int killWhatIsLeft()
{
    int killed = 0;
    for (bool any = true; any;) {
        any = false;
        for (const auto& task : fs::directory_iterator("/proc/self/task")) {
            std::ifstream children(task.path() / "children");
            for (pid_t pid; children >> pid;) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, nullptr, 0);
                ++killed;
                any = true;
            }
        }
    }
    return killed;
}

bool waitForFile(const fs::path& path, const std::string& text, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (fs::exists(path) && test::readFile(path).find(text) != std::string::npos)
            return true;
        ::usleep(20000);
    }
    return false;
}

// SEN /CONSOLE as the main process of a unit: in a process group of its own, below a process
// that reaps orphans (the child this runs in). Once `log` tells that an alert program started,
// it is stopped as systemd's KillMode=mixed stops it; "" when SEN then exited with 0.
std::string stopAsAUnit(const fs::path& program, const fs::path& output, const fs::path& log)
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    const pid_t sen = ::fork();
    if (sen == 0) {
        ::setpgid(0, 0);
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
            ::unsetenv(name);
        ::setenv("LC_ALL", "en_US.UTF-8", 1);
        if (!::freopen(output.c_str(), "w", stdout))
            ::_exit(126);
        ::execl(program.c_str(), "SEN", "/CONSOLE", nullptr);
        ::_exit(127);
    }
    if (!waitForFile(log, "Run Program OK", std::chrono::seconds(30)))
        return "no alert program was started";
    ::kill(sen, SIGTERM);
    int status = 0;
    ::waitpid(sen, &status, 0);
    killWhatIsLeft();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "" : "SEN did not exit with 0";
}

} // namespace

// A service stop as systemd does it with KillMode=mixed: SIGTERM to SEN alone, and once SEN has
// exited, whatever is left of the unit is killed. The shut-down program and an alert program
// still running have finished by then.
TEST_F(SenConsole, AServiceStopLetsTheProgramsItStartedFinish)
{
    const int closed = closedPort();
    const auto script = [this](const std::string& name) {
        const fs::path path = dir / (name + ".sh");
        test::writeFile(path, "#!/bin/sh\nsleep 2\ntouch " + (dir / name).string() + "\n");
        fs::permissions(path, fs::perms::owner_all);
        return path.string();
    };
    test::writeFile(ini,
        "[SEN]\r\n" + FastTimer + "LogFile=1\r\nLogFileName=" + log.string()
            + "\r\n[Actions]\r\nFailRun=1\r\nFailCommand=" + script("alerted") + "\r\nCloseRun=1\r\nCloseCommand="
            + script("closed") + "\r\n[DestList]\r\nDestCount=1\r\n" + destination(1, "gone", "TCP", closed, "OK"));
    const fs::path output = dir / "out.txt";
    int status = 0;
    const std::string complaint
        = test::runInChild({ nullptr, [&] { return stopAsAUnit(program, output, log); } }, status);
    EXPECT_EQ(complaint, "") << test::readFile(output);
    EXPECT_TRUE(fs::exists(dir / "alerted"));
    EXPECT_TRUE(fs::exists(dir / "closed"));
    EXPECT_EQ(logLines().back(), "* Run Program OK: " + (dir / "closed.sh").string() + " SEN ShutDown SEN.INI <stamp>");
}
