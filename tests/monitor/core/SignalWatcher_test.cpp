// Signals reach the event loop as calls, never as work inside the handler, and a program the
// monitor starts meanwhile keeps the default action of each.

#include "monitor/core/SignalWatcher.h"

#include "common/core/EventLoop.h"
#include "common/core/ProgramLauncher.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>

using namespace std::chrono_literals;

TEST(SignalWatcher, SignalsArriveAsCallsOnTheLoop)
{
    std::vector<int> seen;
    {
        monitor::SignalWatcher watcher({ SIGHUP, SIGTERM }, [&](int number) { seen.push_back(number); });
        ::raise(SIGHUP);
        ::raise(SIGTERM);
        // Nothing runs inside the handler: the calls come from the loop.
        EXPECT_TRUE(seen.empty());
        EXPECT_TRUE(core::waitFor([&] { return seen.size() == 2; }, 5s));
        EXPECT_EQ(seen, (std::vector<int> { SIGHUP, SIGTERM }));
    }
    // Gone with the watcher: the default action again.
    struct sigaction now
    {
    };
    ::sigaction(SIGTERM, nullptr, &now);
    EXPECT_EQ(now.sa_handler, SIG_DFL);
}

TEST(SignalWatcher, AStartedProgramHasTheDefaultActionsAndNoPipe)
{
    test::TempDir dir;
    const std::string report = (dir / "status").string();
    monitor::SignalWatcher watcher({ SIGTERM, SIGHUP }, [](int) {});
    // The child's signal dispositions: caught ones are reset by exec, blocked ones would show.
    ASSERT_EQ(
        core::startProgram({ "/bin/sh",
            "-c",
            "grep -E '^Sig(Cgt|Blk|Ign)' /proc/self/status > " + report + "; ls /proc/self/fd > " + report + ".fd" }),
        0);
    // Nothing wakes the loop when the file appears: look every 50 ms.
    for (int i = 0; i < 200 && test::readFile(report + ".fd").empty(); ++i)
        core::waitFor([] { return false; }, 50ms);
    ASSERT_FALSE(test::readFile(report + ".fd").empty());
    core::waitFor([] { return false; }, 100ms);
    const std::string status = test::readFile(report);
    ASSERT_NE(status.find("SigCgt:"), std::string::npos);
    std::istringstream lines(status);
    for (std::string line; std::getline(lines, line);) {
        const unsigned long long mask = std::stoull(line.substr(line.find(':') + 1), nullptr, 16);
        EXPECT_EQ(mask & ((1ull << (SIGTERM - 1)) | (1ull << (SIGHUP - 1))), 0u) << line;
    }
    // Standard streams and the listing's own descriptor only.
    std::istringstream fds(test::readFile(report + ".fd"));
    int count = 0;
    for (std::string fd; fds >> fd;)
        ++count;
    EXPECT_LE(count, 4);
}
