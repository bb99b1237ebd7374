// The console front end's order with scripted probes: a reload asked for during a pass waits
// for the pass's end; a close asked for during a pass ends the running test without a result,
// starts no other, and saves; one asked for before the start ended follows it; a check ends by
// itself.

#include "ScriptedProbes.h"

#include "monitor/core/ConsoleMonitor.h"
#include "tests/support/TempDir.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <sstream>

using namespace monitor;

namespace {

struct ConsoleMonitorFixture : ::testing::Test
{
    test::TempDir dir;
    std::filesystem::path ini = dir / "SEN.INI";
    std::ostringstream out;
    std::ostringstream err;
    ScriptedProbes probes;

    static std::string row(int n, const std::string& name)
    {
        const std::string i = std::to_string(n);
        return "NAME" + i + "=" + name + "\r\nIP" + i + "=127.0.0." + i + "\r\nService" + i + "=TCP\r\nPort" + i
            + "=80\r\n";
    }

    // Runs the monitor with `arguments`; a guard ends a run that would not end by itself.
    int run(ConsoleMonitor& monitor)
    {
        monitor.controller().setProbeFactory(&probes);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&] {
            ADD_FAILURE() << "the run did not end";
            monitor.terminate();
            monitor.terminate();
        });
        guard.start(30000);
        return monitor.run();
    }

    // Where `text` stands in the output; npos when it is not there.
    size_t at(const std::string& text, size_t from = 0) const { return out.str().find(text, from); }
};

} // namespace

TEST_F(ConsoleMonitorFixture, AReloadWaitsForThePassAndACloseForTheRunningProbe)
{
    const std::string head
        = "[SEN]\r\nEnableTimer=1\r\nAllowFractionOfMinute=1\r\nTimerInterval=0.002\r\n[DestList]\r\n";
    test::writeFile(ini, head + "DestCount=2\r\n" + row(1, "a") + row(2, "b"));
    ConsoleMonitor monitor((dir / "SEN").string(), parseCommandLine({ "SEN", "/CONSOLE" }), out, err);
    int passesOfC = 0;
    probes.script = [&](const TestContext& context, Attempt) {
        Script script(true, 100);
        if (context.host == "a" && passesOfC == 0 && at("Loading - ", at("Loading - ") + 1) == std::string::npos) {
            // Asked for during the pass: the file changes under it.
            test::writeFile(ini, head + "DestCount=3\r\n" + row(1, "a") + row(2, "b") + row(3, "c"));
            monitor.reload();
        }
        // A signal comes from the event loop, as here.
        if (context.host == "c" && ++passesOfC == 2)
            QTimer::singleShot(0, [&] { monitor.terminate(); });
        return script;
    };
    EXPECT_EQ(run(monitor), 0) << err.str();

    const std::string loading = "Loading - " + ini.string() + "\n";
    const size_t reloaded = at(loading, at(loading) + 1);
    ASSERT_NE(reloaded, std::string::npos) << out.str();
    // The reload came after the pass that was running, and before a pass that tested c.
    EXPECT_NE(at("TCP OK: 127.0.0.2 b\n"), std::string::npos);
    EXPECT_LT(at("END test at "), reloaded);
    EXPECT_LT(reloaded, at("TCPing c ["));
    // The close: c's second test ended without a result, no row after it started, then the save.
    const size_t secondC = at("TCPing c [", at("TCPing c [") + 1);
    ASSERT_NE(secondC, std::string::npos) << out.str();
    const size_t resultC = at("TCP stopped: 127.0.0.3 c (no result)\n", secondC);
    ASSERT_NE(resultC, std::string::npos) << out.str();
    EXPECT_LT(resultC, at("END test at ", secondC));
    EXPECT_LT(at("END test at ", secondC), at("Saving - "));
    EXPECT_EQ(at("TCPing", resultC), std::string::npos);
    EXPECT_NE(test::readFile(ini).find("DestCount=3\r\n"), std::string::npos);
}

// As a signal that comes while the start waits for its mail: the start runs to its end, then
// the close, and no pass.
TEST_F(ConsoleMonitorFixture, ACloseAskedForBeforeTheStartEndedComesAfterItWithoutAPass)
{
    test::writeFile(ini, "[DestList]\r\nDestCount=1\r\n" + row(1, "a"));
    ConsoleMonitor monitor((dir / "SEN").string(), parseCommandLine({ "SEN", "/CONSOLE", "/ONCE" }), out, err);
    monitor.terminate();
    EXPECT_EQ(run(monitor), 1);
    EXPECT_EQ(at("Start test at"), std::string::npos) << out.str();
    EXPECT_NE(at("Saving - "), std::string::npos) << out.str();
    EXPECT_TRUE(probes.started.empty());
}

TEST_F(ConsoleMonitorFixture, ACheckEndsByItselfWithItsLine)
{
    test::writeFile(ini, "[DestList]\r\nDestCount=2\r\n" + row(1, "a") + row(2, "b"));
    ConsoleMonitor monitor((dir / "SEN").string(), parseCommandLine({ "SEN", "/nagios" }), out, err);
    probes.script = [](const TestContext& context, Attempt) { return Script(context.host == "a", 10); };
    EXPECT_EQ(run(monitor), 2);
    const std::string text = out.str();
    EXPECT_EQ(text.rfind("SEN CRITICAL - 1 of 2 destinations OK, failing: b | 'a'=", 0), 0u) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}
