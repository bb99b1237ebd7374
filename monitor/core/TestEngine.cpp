#include "monitor/core/TestEngine.h"

#include "common/core/DateTimeText.h"
#include "monitor/core/ActivityLines.h"
#include "monitor/core/DestinationList.h"
#include "monitor/core/EventLog.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Services.h"
#include "monitor/core/TestInterval.h"
#include "monitor/core/TestView.h"
#include "monitor/core/TrayStatus.h"

#include <QLocale>

#include <algorithm>
#include <exception>

namespace monitor {

namespace {

const std::string OK = "OK";
const std::string Fail = "Fail";

} // namespace

// One destination under test, from its start line to its release.
struct TestEngine::Test final : ProbeLines
{
    Test(TestEngine& engine, uint64_t id)
        : engine(engine)
        , id(id)
    {
    }

    void activity(const std::string& line) override { engine.hold(*this, false, line); }
    void log(const std::string& line) override { engine.hold(*this, true, line); }

    TestEngine& engine;
    const uint64_t id;
    bool inPass = false;
    const ServiceRow* service = nullptr;
    std::unique_ptr<Probe> probe;
    TestContext context;
    StateImage pictureBefore = StateImage::None;
    Attempt attempt = Attempt::First;
    bool finished = false;
    bool ok = false;
    bool answered = false; // the probe has called back for the attempt under way
    bool stopAsked = false; // Abort came: no retry starts
    bool aborted = false; // ends without a result
    // Writes as it goes; otherwise its lines wait in `held` until it is first in line.
    bool streaming = false;
    std::vector<HeldLine> held;
};

TestEngine::TestEngine(const Parts& parts, ProbeFactory& probes, AlertSender& alerts)
    : m_settings(parts.settings)
    , m_list(parts.list)
    , m_log(parts.log)
    , m_activity(parts.activity)
    , m_tray(parts.tray)
    , m_indicator(parts.indicator)
    , m_view(parts.view)
    , m_probes(&probes)
    , m_alerts(&alerts)
    , m_clock([] { return QDateTime::currentDateTime(); })
{
    m_timer.setOnTimeout([this] { TestAllDestinations(); });
}

TestEngine::~TestEngine()
{
    m_poster.cancelAll();
    m_tests.clear();
    m_idleProbes.clear();
}

void TestEngine::setProbeFactory(ProbeFactory& probes)
{
    m_probes = &probes;
    m_idleProbes.clear();
}

std::string TestEngine::FormatLastAttempt(const QDateTime& start, const QDateTime& end)
{
    const qint64 elapsed = start.msecsTo(end);
    return core::dateTimeText(end) + "  [" + QLocale().toString(elapsed).toLocal8Bit().toStdString() + " ms]";
}

// ---- passes -------------------------------------------------------------------------------

void TestEngine::TestAllDestinations()
{
    if (m_passing || m_closed)
        return;
    m_timer.stop();
    m_passing = true;
    m_indicator.setBusy(true);
    m_settings.StopRequested.clear();
    m_metrics.passStarted(now());
    if (m_results)
        m_results->passStarted();
    m_activity.trim(ActivityLimit, ActivityTrim);
    write(false, "");
    write(false, "Start test at " + core::dateTimeText(now()));
    write(false, "");
    m_passCount = m_list.count();
    m_nextIndex = 0;
    schedule();
}

// Starts what the pass may start now, and ends the pass when nothing is left.
void TestEngine::schedule()
{
    if (!m_passing || m_releasing)
        return;
    const int parallel = std::clamp(m_settings.MaxParallelTests, 1, MaxParallelLimit);
    while (!m_settings.StopRequested.raised() && m_nextIndex < m_passCount && runningInPass() < parallel) {
        const int index = m_nextIndex;
        if (index < m_list.count() && rowUnderTest(m_list.keyOf(index)))
            break; // its test ends and calls here again
        ++m_nextIndex;
        if (index < m_list.count())
            startTest(index, true);
    }
    if (m_passOrder.empty() && (m_settings.StopRequested.raised() || m_nextIndex >= m_passCount))
        finishPass();
}

void TestEngine::finishPass()
{
    m_passing = false;
    if (const auto error = m_metrics.passEnded(m_settings.metricsFile, m_list, now()))
        write(false, *error);
    if (m_results)
        m_results->passEnded();
    write(false, "");
    write(false, "END test at " + core::dateTimeText(now()));
    write(false, "");
    m_indicator.setBusy(false);
    SetupTestTimer();
}

int TestEngine::runningInPass() const
{
    int running = 0;
    for (const uint64_t id : m_passOrder)
        running += m_tests.at(id)->finished ? 0 : 1;
    return running;
}

bool TestEngine::rowUnderTest(uint64_t rowKey) const
{
    for (const auto& [id, test] : m_tests) {
        if (test->context.row == rowKey)
            return true;
    }
    return false;
}

bool TestEngine::TestDestination(int index)
{
    if (m_closed || index < 0 || index >= m_list.count() || rowUnderTest(m_list.keyOf(index)))
        return false;
    return startTest(index, false) != nullptr;
}

void TestEngine::Abort()
{
    m_settings.StopRequested.raise();
    std::vector<Probe*> running;
    for (auto& [id, test] : m_tests) {
        if (test->finished)
            continue;
        test->stopAsked = true;
        // An attempt that has answered already keeps its result, queued as it is.
        if (!test->answered) {
            test->aborted = true;
            running.push_back(test->probe.get());
        }
    }
    for (Probe* probe : running)
        probe->abort();
}

void TestEngine::stopForClose()
{
    // The shut-down mail waits in the event loop, where the timer would start a pass again.
    m_closed = true;
    m_timer.stop();
    m_settings.StopRequested.raise();
    m_poster.cancelAll();
    auto tests = std::move(m_tests);
    m_tests.clear();
    // The pass's tests in list order, then the single tests.
    std::vector<Test*> order;
    for (const uint64_t id : m_passOrder)
        order.push_back(tests.at(id).get());
    for (auto& [id, test] : tests)
        if (!test->inPass)
            order.push_back(test.get());
    m_passOrder.clear();
    m_singlesDone.clear();
    for (Test* test : order)
        endWithoutResult(*test);
    tests.clear();
    updateTestingPointer();
    if (m_passing)
        finishPass();
}

void TestEngine::reopenAfterFailedClose()
{
    m_closed = false;
    SetupTestTimer();
}

void TestEngine::holdTimer()
{
    m_timerHeld = true;
    m_timer.stop();
}

// ---- one test -----------------------------------------------------------------------------

std::unique_ptr<Probe> TestEngine::takeProbe(Service service)
{
    auto& idle = m_idleProbes[service];
    if (!idle.empty()) {
        auto probe = std::move(idle.back());
        idle.pop_back();
        return probe;
    }
    return m_probes->createProbe(service);
}

void TestEngine::giveBack(Test& test)
{
    if (test.probe)
        m_idleProbes[test.service->service].push_back(std::move(test.probe));
}

TestEngine::Test* TestEngine::startTest(int index, bool inPass)
{
    const Destination& row = m_list.at(index);
    const ServiceRow& service = rowOf(serviceOf(row.Service()));
    auto probe = takeProbe(service.service);
    if (!probe)
        return nullptr; // no probe for this service: the row stays as it is
    auto owned = std::make_unique<Test>(*this, ++m_nextId);
    Test& test = *owned;
    test.inPass = inPass;
    test.service = &service;
    test.probe = std::move(probe);
    test.context = TestContext::of(row, m_list.keyOf(index), now());
    test.pictureBefore = row.State;
    if (inPass) {
        m_passOrder.push_back(test.id);
        test.streaming = m_passOrder.size() == 1;
    } else {
        test.streaming = true;
    }
    m_tests.emplace(test.id, std::move(owned));
    m_list.setState(index, StateImage::UnderTest);
    updateTestingPointer();
    hold(test, false, startLine(test.service->texts, test.context));
    startAttempt(test);
    return &test;
}

void TestEngine::startAttempt(Test& test)
{
    const uint64_t id = test.id;
    test.answered = false;
    // Always through the queue: the probe's own event handler is never re-entered from here.
    auto done = [this, id](bool ok) {
        if (const auto found = m_tests.find(id); found != m_tests.end())
            found->second->answered = true;
        m_poster.post([this, id, ok] { attemptDone(id, ok); });
    };
    try {
        test.probe->start(test.context, test.attempt, test, done);
    } catch (const std::exception& e) {
        if (test.attempt == Attempt::First)
            hold(test, false, e.what());
        done(false);
        return;
    }
    if (test.aborted)
        test.probe->abort();
}

void TestEngine::attemptDone(uint64_t id, bool ok)
{
    const auto found = m_tests.find(id);
    if (found == m_tests.end() || found->second->finished)
        return;
    Test& test = *found->second;
    // Only a first failure after success is tried again, so a failing destination costs one
    // attempt per pass. After Abort none is, and the failure that needed it is no result.
    const bool retry = test.attempt == Attempt::First && !ok && m_settings.of(test.service->service).retryOnFirstFail
        && test.context.previousStatus == OK;
    if (retry && !test.aborted && !test.stopAsked) {
        test.attempt = Attempt::Retry;
        const std::string line = retryLine(test.service->texts, test.context);
        hold(test, false, line);
        hold(test, true, line);
        startAttempt(test);
        return;
    }
    if (retry)
        test.aborted = true;
    test.ok = ok;
    test.finished = true;
    test.context.endTime = now();
    if (!test.inPass)
        m_singlesDone.push_back(id);
    release();
}

// ---- release in list order ----------------------------------------------------------------

std::unique_ptr<TestEngine::Test> TestEngine::extract(uint64_t id)
{
    auto node = m_tests.extract(id);
    return node ? std::move(node.mapped()) : nullptr;
}

void TestEngine::release()
{
    // An alert mail waits in the event loop, where more tests end: they queue up behind it.
    if (m_releasing)
        return;
    m_releasing = true;
    for (;;) {
        if (!m_singlesDone.empty()) {
            const uint64_t id = m_singlesDone.front();
            m_singlesDone.pop_front();
            if (auto test = extract(id))
                record(std::move(test));
            continue;
        }
        if (!m_passOrder.empty() && m_tests.at(m_passOrder.front())->finished) {
            auto test = extract(m_passOrder.front());
            m_passOrder.pop_front();
            record(std::move(test));
            promoteHead();
            continue;
        }
        break;
    }
    m_releasing = false;
    updateTestingPointer();
    schedule();
}

// The pass's first test in line writes from now on, after what it held so far.
void TestEngine::promoteHead()
{
    if (m_passOrder.empty())
        return;
    Test& head = *m_tests.at(m_passOrder.front());
    if (head.streaming)
        return;
    head.streaming = true;
    for (const HeldLine& line : head.held)
        write(line.log, line.text);
    head.held.clear();
}

void TestEngine::hold(Test& test, bool log, const std::string& text)
{
    if (test.streaming)
        write(log, text);
    else
        test.held.push_back({ log, text });
}

void TestEngine::write(bool log, const std::string& text)
{
    if (log)
        m_log.WriteLogLine(text);
    else
        m_activity.appendActivityLine(text);
}

void TestEngine::endWithoutResult(Test& test)
{
    test.streaming = true;
    for (const HeldLine& line : test.held)
        write(line.log, line.text);
    test.held.clear();
    write(false, stoppedActivityLine(test.service->texts, test.context));
    m_list.setState(m_list.rowOf(test.context.row), test.pictureBefore);
}

void TestEngine::record(std::unique_ptr<Test> owned)
{
    Test& test = *owned;
    if (test.aborted) {
        endWithoutResult(test);
        giveBack(test);
        return;
    }
    // Lines of a test that was not first in line come out now, before its result.
    test.streaming = true;
    for (const HeldLine& line : test.held)
        write(line.log, line.text);
    test.held.clear();

    const ProbeTexts& texts = test.service->texts;
    const TestContext& c = test.context;
    const std::string lastAttempt = FormatLastAttempt(c.startTime, c.endTime);
    const int row = m_list.rowOf(c.row);
    if (row >= 0) {
        Destination value = m_list.at(row);
        value.SubItems = {
            c.IP, test.service->name, texts.keepsPort ? c.portText : std::string(), test.ok ? OK : Fail, lastAttempt
        };
        value.State = test.ok ? StateImage::OK : StateImage::Fail;
        m_list.update(row, std::move(value));
    }
    write(true, test.ok ? okLogLine(texts, c, lastAttempt) : failLogLine(texts, c, lastAttempt));
    if (const auto line = resultActivityLine(texts, c, test.ok))
        write(false, *line);
    test.probe->reportResult(test.ok, test);
    const std::string reason = test.ok ? std::string() : test.probe->failureReason();
    giveBack(test);
    m_metrics.testRecorded(c.row, test.ok, c.previousStatus, c.startTime, c.endTime, test.inPass);
    if (m_onRecorded)
        m_onRecorded(c.row, test.ok, c.startTime.msecsTo(c.endTime), reason);
    if (m_results)
        m_results->resultRecorded({ historyKeyOf(c.IP, c.serviceText, c.portText),
            c.endTime.toMSecsSinceEpoch(),
            test.ok,
            c.startTime.msecsTo(c.endTime),
            test.inPass });
    // A destination that left the list raises no alert.
    if (row < 0)
        return;
    if (test.ok && c.previousStatus == Fail)
        transition(test, true);
    else if (!test.ok && (c.previousStatus == OK || c.previousStatus.empty()))
        transition(test, false);
}

void TestEngine::transition(const Test& test, bool recovery)
{
    const std::string text = transitionText(test.service->texts, test.context, recovery);
    const std::string parameters = transitionParameters(test.service->texts, test.context, recovery);
    const AlertActions& actions = m_settings.actions;
    m_tray.SignalChange(text);
    // The mail goes before the program is started.
    if (recovery ? actions.okEmail : actions.failEmail)
        m_alerts->SendAlertMail(text, false);
    if (recovery ? actions.okRun : actions.failRun)
        m_alerts->RunProgram(recovery ? actions.okCommand : actions.failCommand, parameters);
}

void TestEngine::updateTestingPointer()
{
    const bool testing = !m_tests.empty();
    if (testing == m_testingShown)
        return;
    m_testingShown = testing;
    m_view.showTesting(testing);
}

// ---- timer --------------------------------------------------------------------------------

void TestEngine::SetupTestTimer()
{
    const int interval = testTimerInterval(m_settings.timerInterval, m_settings.AllowFractionOfMinute);
    // During a pass the timer stays stopped; the pass's end comes back here.
    if (!m_settings.enableTimer || interval <= 0 || m_passing || m_closed || m_timerHeld)
        m_timer.stop();
    else if (!m_timer.isActive() || m_timer.interval() != interval)
        m_timer.start(interval);
    m_view.showTimerHint("Next Time = " + core::dateTimeText(now().addMSecs(interval)));
}

} // namespace monitor
