// SEN as a service in a hostile world: a log and a metrics file that are no files, a second
// watch of one data file, a mail server that never speaks while alerts queue at the close, and
// command lines and data files that leave nothing to test.

#include "SenConsole.h"

#include "tests/support/PrivateNamespace.h"

#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

mode_t kindOf(const fs::path& path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

} // namespace

TEST_F(SenConsole, LogAndMetricsFilesThatAreNoFilesAreRefusedWithALine)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "making a device node needs root";
    const int open = openPort();
    const struct
    {
        const char* name;
        mode_t kind;
        dev_t device;
    } nodes[] = { { "fifo", S_IFIFO, 0 }, { "device", S_IFCHR, makedev(1, 7) } }; // /dev/full's numbers
    for (const auto& node : nodes) {
        SCOPED_TRACE(node.name);
        const fs::path logNode = dir / (std::string(node.name) + ".LOG");
        const fs::path metricsNode = dir / (std::string(node.name) + ".prom");
        for (const fs::path& path : { logNode, metricsNode })
            ASSERT_EQ(::mknod(path.c_str(), node.kind | 0600, node.device), 0);
        test::writeFile(ini,
            "[SEN]\r\nLogFile=1\r\nLogFileName=" + logNode.string() + "\r\nMetricsFile=" + metricsNode.string()
                + "\r\n[DestList]\r\nDestCount=1\r\n" + destination(1, "web", "TCP", open));
        EXPECT_EQ(run({ "/CONSOLE", "/ONCE" }, 30s), 0) << err.toStdString();
        const std::string shown = out.toStdString();
        EXPECT_NE(shown.find("*** ERROR: Cannot write to log file " + logNode.string() + "\n"), std::string::npos)
            << shown;
        EXPECT_NE(shown.find("*** ERROR: Cannot write metrics file " + metricsNode.string() + ": not a regular file\n"),
            std::string::npos)
            << shown;
        EXPECT_EQ(kindOf(logNode), node.kind);
        EXPECT_EQ(kindOf(metricsNode), node.kind);
    }
}

TEST_F(SenConsole, ASecondWatchOfOneDataFileRefusesToStart)
{
    const int open = openPort();
    test::writeFile(ini, "[DestList]\r\nDestCount=1\r\n" + destination(1, "web", "TCP", open));
    auto first = start({ "/CONSOLE" });
    ASSERT_TRUE(waitForOutput(*first, "Loading - ")) << out.toStdString() << err.toStdString();

    EXPECT_EQ(run({ "/CONSOLE" }, 20s), 1);
    EXPECT_TRUE(err.contains("another SEN /CONSOLE is watching " + QString::fromStdString(ini.string()) + " already"))
        << err.toStdString();
    // A single pass beside the watch takes its turn at the file; the watch's close comes last.
    EXPECT_EQ(run({ "/CONSOLE", "/ONCE" }), 0) << err.toStdString();
    EXPECT_NE(test::readFile(ini).find("Stat1=OK\r\n"), std::string::npos);
    EXPECT_EQ(stop(*first, SIGTERM), 0) << err.toStdString();
    EXPECT_NE(test::readFile(ini).find("DestCount=1\r\nNAME1=web\r\n"), std::string::npos);
}

// Sixty first failures, each with an alert mail, behind a mail server that takes every
// connection and never says a word. SIGTERM: the data file is saved at once, mail gets 30 s
// altogether, one line names what was not sent, and SEN ends.
TEST_F(SenConsole, AHungMailServerHoldsTheCloseForHalfAMinuteAtMost)
{
    RUN_IN_PRIVATE_NETWORK();
    test::mustRun("ip link set lo up");
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in smtp {};
    smtp.sin_family = AF_INET;
    smtp.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    smtp.sin_port = htons(25);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&smtp), sizeof smtp), 0);
    ASSERT_EQ(::listen(silent, 128), 0);
    sockets.push_back(silent);
    const int closed = closedPort();
    std::string rows = "[DestList]\r\nDestCount=60\r\n";
    for (int n = 1; n <= 60; ++n)
        rows += destination(n, "host" + std::to_string(n), "TCP", closed, "OK");
    test::writeFile(ini,
        "[SEN]\r\nEnableTimer=1\r\nAllowFractionOfMinute=1\r\nTimerInterval=0.01\r\nMaxParallelTests=60\r\n"
        "LogFile=1\r\nLogFileName="
            + log.string()
            + "\r\n[Actions]\r\nSMTPServer=127.0.0.1\r\nEmailAddress=admin@example.test\r\n"
              "FromAddress=sen@example.test\r\nSMTPTimeOut=600\r\nFailEmail=1\r\nCloseEmail=1\r\n"
            + rows);
    auto sen = start({ "/CONSOLE" });
    ASSERT_TRUE(waitForOutput(*sen, "* Email: TCP Fail to: 127.0.0.1 host1 ")) << out.toStdString() << err.toStdString();
    // The other tests end at once (the port refuses) and wait behind the first mail with their
    // results; a signal would end any still under way without one.
    std::this_thread::sleep_for(2s);
    const auto stopped = std::chrono::steady_clock::now();
    ::kill(static_cast<pid_t>(sen->processId()), SIGTERM);

    // Saved before the wait for mail: what was found so far is on disk.
    const auto saved = [&] { return test::readFile(ini).find("Stat1=Fail\r\n") != std::string::npos; };
    while (!saved() && std::chrono::steady_clock::now() - stopped < 5s)
        std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(saved()) << test::readFile(ini);

    ASSERT_TRUE(sen->waitForFinished(45000)) << "still closing";
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, 40s);
    EXPECT_EQ(sen->exitCode(), 0);
    out += QString::fromLocal8Bit(sen->readAllStandardOutput());
    const std::string notSent = "*** ERROR: Mail not sent at the close: TCP Fail to: 127.0.0.1 host2 <stamp>; ";
    const std::string shown = withoutStamps(out.toStdString());
    EXPECT_NE(shown.find(notSent), std::string::npos) << shown;
    const std::vector<std::string> logged = logLines();
    ASSERT_GE(logged.size(), 2u);
    EXPECT_EQ(logged[logged.size() - 2], "SEN ShutDown SEN.INI <stamp>");
    EXPECT_EQ(logged.back().rfind(notSent, 0), 0u) << logged.back();
    EXPECT_TRUE(logged.back().ends_with("; TCP Fail to: 127.0.0.1 host60 <stamp>; SEN ShutDown SEN.INI <stamp>"))
        << logged.back();
    EXPECT_NE(test::readFile(ini).find("Stat60=Fail\r\n"), std::string::npos);
}

TEST_F(SenConsole, ARunWithNothingToTestSaysWhy)
{
    const struct
    {
        const char* name;
        std::string data;
        QStringList arguments;
        int status;
        QString says;
    } cases[] = {
        { "empty data file", "", { "/CONSOLE", "/ONCE" }, 1, "lists no destinations; nothing is tested" },
        { "not text", std::string("\0\x01\x02\xff", 4), { "/CONSOLE", "/ONCE" }, 1, "lists no destinations" },
        { "two data files",
            "[DestList]\r\nDestCount=0\r\n",
            { "/CONSOLE", "/ONCE", "other.SEN", "" },
            1,
            "more than one data file named; using the last one" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFile(ini, c.data);
        QStringList arguments = c.arguments;
        if (arguments.last().isEmpty())
            arguments.last() = QString::fromStdString(ini.string());
        EXPECT_EQ(run(arguments), c.status);
        EXPECT_TRUE(err.contains(c.says)) << err.toStdString();
    }
}
