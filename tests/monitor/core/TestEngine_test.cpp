// The test run engine with scripted probes: the state table and its alerts, the retry rule,
// passes (empty, aborted, with rows removed, side by side), refused nested tests, the timer's
// interval texts, the pane's trim and the tray.

#include "ControllerFixture.h"
#include "ScriptedProbes.h"

#include "common/core/EventLoop.h"
#include "monitor/core/TestEngine.h"
#include "monitor/core/TestInterval.h"

#include <QTimer>

#include <chrono>
#include <climits>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

const std::string LA = std::string(Stamp) + "  [0 ms]";

struct EngineFixture : ControllerFixture
{
    ScriptedProbes probes;
    RecordingAlerts alerts;

    // A running controller whose log is on, with scripted probes and recorded alerts.
    MonitorController& start(const std::string& extraSen = "")
    {
        test::writeFile(ini,
            "[SEN]\r\nLogFile=1\r\nLogFileName=" + log.string() + "\r\n" + extraSen + "[DestList]\r\nDestCount=0\r\n");
        run();
        controller->setProbeFactory(&probes);
        controller->setAlertSender(&alerts);
        controller->engine().setClock([] { return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9)); });
        controller->activity().setActivityText("");
        frontEnd.tray.clear();
        std::filesystem::remove(log);
        AlertActions& actions = controller->settings().actions;
        actions.failEmail = actions.failRun = actions.okEmail = actions.okRun = true;
        actions.failCommand = "fail.sh";
        actions.okCommand = "ok.sh";
        return *controller;
    }

    void add(const std::string& host,
        const std::string& ip,
        const std::string& service = "TCP",
        const std::string& port = "80",
        const std::string& status = "na")
    {
        Destination row = Destination::added(host, ip, service, port);
        row.SubItems[3] = status;
        controller->list().append(row);
    }

    TestEngine& engine() { return controller->engine(); }

    void pass()
    {
        engine().TestAllDestinations();
        ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 20s));
    }

    void settle()
    {
        ASSERT_TRUE(core::waitFor([&] { return engine().testsUnderWay() == 0; }, 20s));
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        const std::string text = fs::exists(log) ? test::readFile(log) : "";
        for (size_t begin = 0; begin < text.size();) {
            const size_t end = text.find("\r\n", begin);
            lines.push_back(text.substr(begin, end - begin));
            begin = end + 2;
        }
        return lines;
    }

    // The pane without a pass's start and end lines.
    std::vector<std::string> testLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : frontEnd.activity) {
            if (!line.empty() && line.rfind("Start test at ", 0) != 0 && line.rfind("END test at ", 0) != 0)
                lines.push_back(line);
        }
        return lines;
    }
};

} // namespace

TEST(FormatLastAttempt, EndTimeAndElapsedMillisecondsWithThousandsSeparators)
{
    const QDateTime start(QDate(2026, 6, 12), QTime(14, 5, 7, 775));
    EXPECT_EQ(TestEngine::FormatLastAttempt(start, start.addMSecs(1234)), std::string(Stamp) + "  [1,234 ms]");
    EXPECT_EQ(TestEngine::FormatLastAttempt(start, start.addMSecs(1234567)), "6/12/26 2:25:42 PM  [1,234,567 ms]");
    EXPECT_EQ(TestEngine::FormatLastAttempt(start, start.addMSecs(7)), "6/12/26 2:05:07 PM  [7 ms]");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(TestEngine::FormatLastAttempt(start, start.addMSecs(1234)), "12.06.26 14:05:09  [1.234 ms]");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST_F(EngineFixture, EveryRowOfTheStateTable)
{
    struct Case
    {
        std::string previous;
        bool ok;
        std::vector<std::string> alerts;
        std::string tip; // empty: the tray is not touched
    };
    const std::string failText = "TCP Fail to: 127.0.0.2 web";
    const std::string okText = "TCP OK to: 127.0.0.2 web";
    const std::vector<Case> cases = {
        { "na", true, {}, "" },
        { "na", false, {}, "" },
        { "OK", true, {}, "" },
        { "OK", false, { "mail " + failText, "run fail.sh | 127.0.0.2 web Fail" }, failText },
        { "Fail", true, { "mail " + okText, "run ok.sh | 127.0.0.2 web OK" }, okText },
        { "Fail", false, {}, "" },
        { "", true, {}, "" },
        { "", false, { "mail " + failText, "run fail.sh | 127.0.0.2 web Fail" }, failText },
        { "ok", true, {}, "" },
        { "FAIL", false, {}, "" },
    };
    start();
    for (const Case& c : cases) {
        const std::string name = "'" + c.previous + "' then " + (c.ok ? "OK" : "Fail");
        controller->list().clear();
        add("web", "127.0.0.2", "Tcp", "80", c.previous);
        frontEnd.activity.clear();
        frontEnd.tray.clear();
        alerts.calls.clear();
        std::filesystem::remove(log);
        probes.script = [&](const TestContext&, Attempt) { return Script { c.ok }; };
        pass();
        const Destination& row = controller->list().at(0);
        const std::string outcome = c.ok ? "OK" : "Fail";
        EXPECT_EQ(row.SubItems, (std::vector<std::string> { "127.0.0.2", "TCP", "80", outcome, LA })) << name;
        EXPECT_EQ(row.State, c.ok ? StateImage::OK : StateImage::Fail) << name;
        EXPECT_EQ(logLines(),
            std::vector<std::string> { std::string("TCP ") + (c.ok ? "OK: " : "FAIL: ") + "127.0.0.2 web " + LA })
            << name;
        EXPECT_EQ(testLines(),
            (std::vector<std::string> { "TCPing web [127.0.0.2:80]", "TCP " + outcome + ": 127.0.0.2 web" }))
            << name;
        EXPECT_EQ(alerts.calls, c.alerts) << name;
        if (c.tip.empty())
            EXPECT_TRUE(frontEnd.tray.empty()) << name;
        else
            EXPECT_EQ(frontEnd.tray, (std::vector<std::pair<int, std::string>> { { 1, c.tip } })) << name;
    }
}

TEST_F(EngineFixture, UncheckedActionsSendNothingAndThePictureWaitsWhileInFront)
{
    start();
    controller->settings().actions = AlertActions {};
    add("web", "127.0.0.2", "TCP", "80", "OK");
    frontEnd.foreground = true;
    probes.script = [](const TestContext&, Attempt) { return Script { false }; };
    pass();
    EXPECT_TRUE(alerts.calls.empty());
    EXPECT_EQ(frontEnd.tray, (std::vector<std::pair<int, std::string>> { { 0, "TCP Fail to: 127.0.0.2 web" } }));
    controller->tray().SetTrayPicture(1);
    controller->tray().SetTrayPicture(7);
    controller->tray().SetTrayPicture(0);
    EXPECT_EQ(frontEnd.tray.size(), 3u);
    EXPECT_EQ(frontEnd.tray.back(), (std::pair<int, std::string> { 0, "TCP Fail to: 127.0.0.2 web" }));
}

TEST_F(EngineFixture, TheRetryLineOnlyAfterOK)
{
    start("PingRetryOnFirstFail=1\r\nTCPRetryOnFirstFail=1\r\n");
    add("gw", "127.0.0.3", "PING", "7", "OK");
    add("db", "127.0.0.4", "TCP", "5432", "OK");
    add("old", "127.0.0.5", "PING", "", "Fail");
    add("new", "127.0.0.6", "PING", "", "na");
    probes.script = [](const TestContext& c, Attempt a) {
        // The TCP destination answers the second time.
        return Script { c.IP == "127.0.0.4" && a == Attempt::Retry, 0, true, { "probe " + c.IP } };
    };
    pass();
    EXPECT_EQ(probes.started,
        (std::vector<std::string> { "127.0.0.3 first",
            "127.0.0.3 retry",
            "127.0.0.4 first",
            "127.0.0.4 retry",
            "127.0.0.5 first",
            "127.0.0.6 first" }));
    EXPECT_EQ(testLines(),
        (std::vector<std::string> { "Pinging gw [127.0.0.3]",
            "probe 127.0.0.3",
            "Ping Retry: gw [127.0.0.3]",
            "probe 127.0.0.3",
            "TCPing db [127.0.0.4:5432]",
            "probe 127.0.0.4",
            "TCP Retry: db [127.0.0.4:5432]",
            "probe 127.0.0.4",
            "TCP OK: 127.0.0.4 db",
            "Pinging old [127.0.0.5]",
            "probe 127.0.0.5",
            "Pinging new [127.0.0.6]",
            "probe 127.0.0.6" }));
    EXPECT_EQ(logLines(),
        (std::vector<std::string> { "Ping Retry: gw [127.0.0.3]",
            "Ping FAIL: 127.0.0.3 gw " + LA,
            "TCP Retry: db [127.0.0.4:5432]",
            "TCP OK: 127.0.0.4 db " + LA,
            "Ping FAIL: 127.0.0.5 old " + LA,
            "Ping FAIL: 127.0.0.6 new " + LA }));
    // A PING row loses its port; only the first failure after OK alerts.
    EXPECT_EQ(controller->list().at(0).SubItems, (std::vector<std::string> { "127.0.0.3", "PING", "", "Fail", LA }));
    EXPECT_EQ(alerts.calls,
        (std::vector<std::string> { "mail Ping Fail to: 127.0.0.3 gw", "run fail.sh | 127.0.0.3 gw Fail" }));
}

TEST_F(EngineFixture, AnEmptyListWritesTheStartAndEndLinesAndRestartsTheTimer)
{
    start("EnableTimer=1\r\nTimerInterval=30\r\n");
    pass();
    const std::string at = std::string(" test at ") + Stamp;
    EXPECT_EQ(frontEnd.activity, (std::vector<std::string> { "", "Start" + at, "", "", "END" + at, "" }));
    EXPECT_FALSE(fs::exists(log));
    EXPECT_EQ(frontEnd.busy, (std::vector<bool> { true, false }));
    EXPECT_TRUE(engine().timerActive());
    EXPECT_EQ(engine().timerInterval(), 30 * 60000);
}

// An aborted test is no test: whether Abort cuts the wait short or lets it run out (an echo),
// and whatever the attempt then says, the row keeps its status, with no line, retry or alert.
TEST_F(EngineFixture, AbortEndsTheRunningTestWithoutAResultAndStartsNoOther)
{
    for (const bool abortable : { true, false }) {
        start("EnableTimer=1\r\nTCPRetryOnFirstFail=1\r\n");
        controller->list().clear();
        add("a", "127.0.0.2", "TCP", "80", "OK");
        add("b", "127.0.0.3");
        add("c", "127.0.0.4");
        probes.started.clear();
        alerts.calls.clear();
        frontEnd.activity.clear();
        // A long wait that Abort cuts short, or an echo's that it lets run out.
        probes.script = [&](const TestContext&, Attempt) {
            Script s { !abortable, abortable ? 60000 : 50, abortable };
            s.onStart = [&] { QTimer::singleShot(0, [&] { engine().Abort(); }); };
            return s;
        };
        engine().TestAllDestinations();
        EXPECT_FALSE(engine().timerActive()) << "stopped for the pass";
        ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 5s));
        EXPECT_EQ(probes.started, std::vector<std::string> { "127.0.0.2 first" });
        EXPECT_EQ(controller->list().at(0).Status(), "OK");
        EXPECT_EQ(controller->list().at(0).State, StateImage::None);
        EXPECT_EQ(testLines(),
            (std::vector<std::string> { "TCPing a [127.0.0.2:80]", "TCP stopped: 127.0.0.2 a (no result)" }));
        EXPECT_TRUE(logLines().empty());
        EXPECT_TRUE(alerts.calls.empty());
        EXPECT_EQ(controller->list().at(1).Status(), "na");
        EXPECT_EQ(controller->list().at(1).State, StateImage::None);
        EXPECT_EQ(frontEnd.activity.at(frontEnd.activity.size() - 2), std::string("END test at ") + Stamp);
        EXPECT_TRUE(engine().timerActive());
        EXPECT_TRUE(controller->settings().StopRequested.raised());
    }
}

TEST_F(EngineFixture, SingleTestsIgnoreAStaleStopRequest)
{
    start();
    add("a", "127.0.0.2");
    controller->settings().StopRequested.raise(); // left by an aborted pass
    probes.script = [](const TestContext&, Attempt) { return Script { true, 20 }; };
    EXPECT_TRUE(engine().TestDestination(0));
    settle();
    EXPECT_EQ(controller->list().at(0).Status(), "OK");
    EXPECT_TRUE(frontEnd.busy.empty()) << "a single test leaves the buttons alone";
    EXPECT_EQ(frontEnd.activity, (std::vector<std::string> { "TCPing a [127.0.0.2:80]", "TCP OK: 127.0.0.2 a" }));
    EXPECT_EQ(frontEnd.testing, (std::vector<bool> { true, false }));
    EXPECT_FALSE(engine().TestDestination(1));
    EXPECT_FALSE(engine().TestDestination(-1));
}

TEST_F(EngineFixture, IntervalTextsInBothModes)
{
    struct Case
    {
        std::string text;
        bool fraction;
        int interval;
    };
    const std::vector<Case> cases = {
        { "0.5", true, 30000 },
        { "-3", true, 60000 },
        { "abc", true, 60000 },
        { "0", true, 60000 },
        { "2", true, 120000 },
        { "0.5", false, 60000 },
        { "-3", false, 60000 },
        { "abc", false, 60000 },
        { "0", false, 0 },
        { "15", false, 900000 },
        { "99999999", false, INT_MAX },
    };
    start("EnableTimer=1\r\n");
    for (const Case& c : cases) {
        EXPECT_EQ(testTimerInterval(c.text, c.fraction), c.interval) << c.text << " " << c.fraction;
        controller->settings().timerInterval = c.text;
        controller->settings().AllowFractionOfMinute = c.fraction;
        engine().SetupTestTimer();
        EXPECT_EQ(engine().timerActive(), c.interval > 0) << c.text;
        if (c.interval > 0) {
            EXPECT_EQ(engine().timerInterval(), c.interval) << c.text;
        }
    }
    controller->settings().timerInterval = "0.5";
    controller->settings().AllowFractionOfMinute = true;
    engine().SetupTestTimer();
    EXPECT_EQ(frontEnd.timerHint, "Next Time = 6/12/26 2:05:39 PM");
    controller->settings().enableTimer = false;
    engine().SetupTestTimer();
    EXPECT_FALSE(engine().timerActive());
    EXPECT_EQ(frontEnd.timerHint, "Next Time = 6/12/26 2:05:39 PM") << "shown whether or not the timer runs";
}

TEST_F(EngineFixture, RowsRemovedDuringAPass)
{
    start();
    for (int i = 0; i < 4; ++i)
        add("r" + std::to_string(i), "127.0.0." + std::to_string(i + 2), "TCP", "80", "OK");
    // While r0 is under test, r0 itself and r1 leave the list.
    probes.script = [&](const TestContext& c, Attempt) {
        Script s { false };
        if (c.host == "r0")
            s.onStart = [&] { controller->list().remove({ 0, 1 }); };
        return s;
    };
    pass();
    // Index 1 is now r3; index 2 and 3 lie beyond the end. r2 moved to index 0 and is skipped.
    EXPECT_EQ(probes.started, (std::vector<std::string> { "127.0.0.2 first", "127.0.0.5 first" }));
    ASSERT_EQ(controller->list().count(), 2);
    EXPECT_EQ(controller->list().at(0).Status(), "OK");
    EXPECT_EQ(controller->list().at(1).Status(), "Fail");
    // The removed row's test is on record, but nothing alerts about a row that is gone.
    EXPECT_EQ(
        logLines(), (std::vector<std::string> { "TCP FAIL: 127.0.0.2 r0 " + LA, "TCP FAIL: 127.0.0.5 r3 " + LA }));
    EXPECT_EQ(alerts.calls,
        (std::vector<std::string> { "mail TCP Fail to: 127.0.0.5 r3", "run fail.sh | 127.0.0.5 r3 Fail" }));
}

TEST_F(EngineFixture, NestedTestsAreRefused)
{
    start();
    add("a", "127.0.0.2");
    add("b", "127.0.0.3");
    add("c", "127.0.0.4", "HTTP");
    bool checked = false;
    probes.script = [&](const TestContext& c, Attempt) {
        Script s { true, 30 };
        if (c.host == "a") {
            s.onStart = [&] {
                EXPECT_FALSE(engine().TestDestination(0)) << "its test runs";
                EXPECT_TRUE(engine().TestDestination(1)) << "another row has a probe of its own";
                EXPECT_FALSE(engine().TestDestination(2)) << "no probe for HTTP yet";
                engine().TestAllDestinations(); // a second pass is refused
                checked = true;
            };
        }
        return s;
    };
    pass();
    settle();
    EXPECT_TRUE(checked);
    // The pass waited for b's single test, then tested b itself.
    EXPECT_EQ(probes.started, (std::vector<std::string> { "127.0.0.2 first", "127.0.0.3 first", "127.0.0.3 first" }));
    int starts = 0;
    for (const std::string& line : frontEnd.activity)
        starts += line.rfind("Start test at", 0) == 0;
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(controller->list().at(2).Status(), "na");
}

TEST_F(EngineFixture, AParallelPassReleasesExactlyWhatASequentialPassWrites)
{
    const std::vector<std::string> statuses = { "OK", "Fail", "na", "" };
    auto runPass = [&](int parallel) {
        start(
            "PingRetryOnFirstFail=1\r\nTCPRetryOnFirstFail=1\r\nMaxParallelTests=" + std::to_string(parallel) + "\r\n");
        alerts.calls.clear();
        probes.mostRunning = 0;
        for (int i = 0; i < 40; ++i) {
            add("host" + std::to_string(i),
                "127.0.1." + std::to_string(i),
                i % 3 ? "TCP" : "PING",
                std::to_string(1000 + i),
                statuses[size_t(i) % statuses.size()]);
        }
        // Outcomes fixed per row; delays scrambled so that the probes end out of order, some
        // of them inside start.
        probes.script = [](const TestContext& c, Attempt a) {
            const int n = c.portNumber - 1000;
            Script s { (n * 7 + (a == Attempt::Retry ? 1 : 0)) % 3 == 0, (n * 37) % 11 - 1 };
            s.lines = { "line of " + c.host };
            return s;
        };
        // A mail waits in the event loop as a real one does, while other probes end.
        alerts.duringMail = [] { core::waitFor([] { return false; }, 3ms); };
        pass();
        settle();
        return std::tuple(frontEnd.activity, test::readFile(log), alerts.calls, controller->list().rows());
    };
    const auto sequential = runPass(1);
    EXPECT_EQ(probes.mostRunning, 1);
    const auto parallel = runPass(8);
    EXPECT_EQ(probes.mostRunning, 8);
    EXPECT_EQ(std::get<0>(parallel), std::get<0>(sequential));
    EXPECT_EQ(std::get<1>(parallel), std::get<1>(sequential));
    EXPECT_EQ(std::get<2>(parallel), std::get<2>(sequential));
    EXPECT_EQ(std::get<3>(parallel), std::get<3>(sequential));
    EXPECT_GT(std::get<2>(sequential).size(), 10u);
}

TEST_F(EngineFixture, ThePaneIsTrimmedAtTheStartOfAPass)
{
    start();
    for (int i = 0; i < 201; ++i)
        controller->activity().appendActivityLine("old " + std::to_string(i));
    pass();
    ASSERT_EQ(frontEnd.activity.size(), 101u + 6u);
    EXPECT_EQ(frontEnd.activity.front(), "old 100");
    EXPECT_EQ(controller->activity().lineCount(), 107u);
    frontEnd.activity.clear();
    pass(); // 107 lines: nothing to cut
    EXPECT_EQ(frontEnd.activity.size(), 6u);
}

TEST_F(EngineFixture, TheCloseDropsTestsUnderWayWithoutAResult)
{
    start("EnableTimer=1\r\n");
    add("a", "127.0.0.2", "TCP", "80", "OK");
    controller->list().setState(0, StateImage::OK);
    probes.script = [](const TestContext&, Attempt) { return Script { false, 60000, false }; };
    engine().TestAllDestinations();
    EXPECT_EQ(controller->list().at(0).State, StateImage::UnderTest);
    controller->settings().saveOnExit = false;
    controller->prepareClose();
    EXPECT_FALSE(engine().passing());
    EXPECT_EQ(engine().testsUnderWay(), 0);
    EXPECT_EQ(controller->list().at(0).State, StateImage::OK);
    EXPECT_EQ(controller->list().at(0).Status(), "OK");
    EXPECT_TRUE(alerts.calls.empty());
    EXPECT_EQ(frontEnd.testing, (std::vector<bool> { true, false }));
}

TEST_F(EngineFixture, AWindowClosedWhileAnAlertMailIsOnItsWay)
{
    start("MaxParallelTests=4\r\n");
    for (int i = 0; i < 8; ++i)
        add("r" + std::to_string(i), "127.0.0." + std::to_string(i + 2), "TCP", "80", "OK");
    probes.script = [](const TestContext& c, Attempt) { return Script { false, c.IP == "127.0.0.2" ? 20 : 0 }; };
    controller->settings().saveOnExit = false;
    alerts.duringMail = [&] {
        core::waitFor([] { return false; }, 5ms);
        controller->prepareClose();
    };
    engine().TestAllDestinations();
    ASSERT_TRUE(core::waitFor([&] { return !engine().passing(); }, 5s));
    EXPECT_EQ(engine().testsUnderWay(), 0);
    // The mail of the first row was on its way; no later row was released.
    EXPECT_EQ(alerts.calls.front(), "mail TCP Fail to: 127.0.0.2 r0");
    EXPECT_EQ(logLines().back(), std::string("SEN ShutDown SEN.INI ") + Stamp);
    EXPECT_EQ(controller->list().at(1).Status(), "OK");
    EXPECT_NE(controller->list().at(1).State, StateImage::UnderTest);
}
