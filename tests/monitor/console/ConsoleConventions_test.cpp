// What a command-line user expects of the real SEN: help, version and unknown options that
// run nothing and create no file, the check's time limit and its one line, switches it does
// not know, output that cannot be written, and no folder made for files it does not use.

#include "SenConsole.h"

#include "tests/support/PrivateNamespace.h"

#include <QRegularExpression>

#include <csignal>
#include <cstdlib>
#include <set>

namespace {

// Every path below `folder`, to see that a run made nothing.
std::set<std::string> tree(const fs::path& folder)
{
    std::set<std::string> paths;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        paths.insert(entry.path().string());
    return paths;
}

bool matches(const QString& pattern, const QString& text)
{
    return QRegularExpression(pattern, QRegularExpression::DotMatchesEverythingOption).match(text).hasMatch();
}

} // namespace

TEST_F(SenConsole, HelpVersionAndUnknownOptionsRunNothing)
{
    const QString usage = "Usage: SEN \\[/TRAY\\] \\[datafile\\]\n.*-h, --help .*\n$";
    const QString version = "^SEN - Senvigil, ver 1\\.53b\n$";
    const struct
    {
        QStringList arguments;
        int status;
        QString out; // patterns
        QString err;
    } cases[] = {
        { { "--help" }, 0, "^" + usage, "^$" },
        { { "-h" }, 0, "^" + usage, "^$" },
        { { "/?" }, 0, "^" + usage, "^$" },
        { { "/CONSOLE", "/help" }, 0, "^" + usage, "^$" },
        { { "/NAGIOS", "--help" }, 0, "^" + usage, "^$" },
        { { "-V" }, 0, version, "^$" },
        { { "--version" }, 0, version, "^$" },
        { { "/Version" }, 0, version, "^$" },
        { { "--helpme" }, 2, "^$", "^SEN: unknown option --helpme\n" + usage },
        { { "/CONSOLE", "-x", "--help" }, 2, "^$", "^SEN: unknown option -x\n" },
        { { "-t", "5" }, 2, "^$", "^SEN: unknown option -t\n" },
        { { "/NAGIOS", "-x" }, 3, "^SEN UNKNOWN - unknown option -x \\(SEN --help shows the usage\\)\n$", "^$" },
        { { "/NAGIOS", "--timeout=0" }, 3, "^SEN UNKNOWN - option --timeout takes a number of seconds", "^$" },
    };
    const auto before = tree(dir.path());
    for (const auto& c : cases) {
        const std::string shown = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run(c.arguments, std::chrono::seconds(10)), c.status) << shown;
        EXPECT_TRUE(matches(c.out, out)) << shown << "\n" << out.toStdString();
        EXPECT_TRUE(matches(c.err, err)) << shown << "\n" << err.toStdString();
        EXPECT_EQ(tree(dir.path()), before) << shown;
    }
    EXPECT_FALSE(fs::exists("/?"));
}

// The check ends itself before Icinga would, says which destinations were tested and why one
// failed, and writes nothing else; "--" lets a data file begin with "-".
TEST_F(SenConsole, TheCheckKeepsToItsTimeAndItsOneLine)
{
    const int closed = closedPort();
    const int silent = silentPort();
    const fs::path data = program.parent_path() / "-net.SEN";
    test::writeFile(data,
        "[SEN]\r\nTcpTimeOutMiliSec=60000\r\n[DestList]\r\nDestCount=2\r\n"
            + destination(1, "mail relay", "TCP", closed) + destination(2, "slow", "TCP", silent));
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(run({ "/NAGIOS", "-t", "2", "/FOO", "--", QString::fromStdString(data.string()) }), 3);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
    EXPECT_EQ(out, "SEN UNKNOWN - timed out after 2 s, 1 of 2 destinations tested\n");
    EXPECT_EQ(err, "");
    EXPECT_NE(test::readFile(data).find("Stat2=na\r\n"), std::string::npos); // no result for the one cut short

    test::writeFile(data,
        "[DestList]\r\nDestCount=2\r\n" + destination(1, "mail relay", "TCP", closed)
            + destination(2, "web", "TCP", openPort()));
    EXPECT_EQ(run({ "/nagios", "--timeout", "20", "--", QString::fromStdString(data.string()) }), 2);
    EXPECT_TRUE(out.startsWith("SEN CRITICAL - 1 of 2 destinations OK, failing: mail relay (connection refused) | "))
        << out.toStdString();

    // Without a window a switch SEN does not know is ignored, with a warning.
    EXPECT_EQ(run({ "/CONSOLE", "/ONCE", "/FOO", "--", QString::fromStdString(data.string()) }), 1);
    EXPECT_TRUE(err.startsWith("SEN: unknown switch /FOO ignored\n")) << err.toStdString();
}

// Output that cannot be written (a reader gone, a full disk, a closed stream) ends nothing
// early: the run and its close go on, then one line says so and the status is 1.
TEST_F(SenConsole, OutputThatCannotBeWrittenIsToldOnceAtTheEnd)
{
    const int open = openPort();
    const struct
    {
        const char* redirection;
        const char* reason;
    } cases[] = {
        { "| { exec <&-; sleep 0.2; }", "Broken pipe" },
        { "> /dev/full", "No space left on device" },
        { ">&-", "Bad file descriptor" },
    };
    for (const auto& c : cases) {
        test::writeFile(ini,
            "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[DestList]\r\nDestCount=1\r\n"
                + destination(1, "web", "TCP", open));
        fs::remove(log);
        QProcess shell;
        shell.setProcessEnvironment(environment());
        const fs::path errors = dir / "err";
        shell.start("/bin/bash",
            { "-c",
                QString::fromStdString("'" + program.string() + "' /CONSOLE /ONCE 2>'" + errors.string() + "' "
                    + c.redirection + "; exit ${PIPESTATUS[0]}") });
        ASSERT_TRUE(shell.waitForFinished(60000));
        EXPECT_EQ(shell.exitCode(), 1) << c.redirection;
        EXPECT_EQ(test::readFile(errors), std::string("SEN: cannot write to standard output: ") + c.reason + "\n");
        EXPECT_EQ(logLines().back(), "SEN ShutDown SEN.INI <stamp>") << c.redirection;
        EXPECT_NE(test::readFile(ini).find("Stat1=OK\r\n"), std::string::npos) << c.redirection;
    }
}

// A program in a folder it may not write keeps its default files in the user's folders; a run
// that names its data file (and whose data file names the log) makes none of them.
TEST_F(SenConsole, ARunThatNamesItsFilesMakesNoFolders)
{
    RUN_IN_PRIVATE_MOUNTS();
    const fs::path home = dir / "home";
    fs::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_STATE_HOME");
    const fs::path data = dir / "net.SEN";
    test::writeFile(data,
        "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n[DestList]\r\nDestCount=1\r\n"
            + destination(1, "web", "TCP", openPort()));
    test::mustRun("mount --bind " + program.parent_path().string() + " " + program.parent_path().string());
    test::mustRun("mount -o remount,bind,ro " + program.parent_path().string());
    EXPECT_EQ(run({ "/CONSOLE", "/ONCE", QString::fromStdString(data.string()) }), 0) << err.toStdString();
    EXPECT_TRUE(fs::is_empty(home));
    // Without a data file named, the close's save makes the configuration folder it writes.
    auto sen = start({ "/CONSOLE" });
    EXPECT_FALSE(sen->waitForFinished(500));
    EXPECT_EQ(stop(*sen, SIGTERM), 0) << err.toStdString();
    EXPECT_TRUE(fs::exists(home / ".config" / "SEN" / "SEN.INI"));
    EXPECT_FALSE(fs::exists(home / ".local"));
}
