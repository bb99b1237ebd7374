#pragma once

// The test run engine: passes over the whole list (on the test timer, "Test All Now", the Test
// menu), single tests (double click, "Test Selected"), and the skeleton every probe runs in:
// start line, outcome "Fail", first attempt, the retry of a first failure after "OK", the row's
// texts and picture, the log line, the result line, and on a change of state the tray, the
// alert mail and the program.
//
// Probes are operations that call back when an attempt is over; nothing here waits. A pass
// starts up to MaxParallelTests probes at once (1: one at a time, in list order), each with a
// probe of its own, and releases each destination's lines, row update and alert actions
// strictly in list order: the destination first in line writes as it goes, the others hold
// their lines until their turn. A pass is therefore, in the log, the pane, the mails and the
// programs started, exactly a sequential pass, only sooner.
//
// A test that Abort or the close ends before its result is no test: its row keeps its status
// and picture, no OK or FAIL line is logged, no retry, alert or metrics follow, and the pane
// says that it was stopped (its lines still come out in list order).
//
// Re-entrancy: a second pass while one runs is refused (the timer is stopped during a pass and
// the menu item's pass does nothing); a test of a row that is already under test is refused;
// a pass that comes to a row under a single test waits for it. Rows are followed by their key:
// a row removed while under test still gets its lines, but no row update and no alert.
// Single tests ignore StopRequested (a stale flag of an aborted pass does not cut them short),
// but Abort ends their waits too.

#include "common/core/EventLoop.h"
#include "common/core/RunIndicator.h"
#include "monitor/core/AlertSender.h"
#include "monitor/core/MetricsFile.h"
#include "monitor/core/Probe.h"
#include "monitor/core/ProbeTexts.h"
#include "monitor/core/ResultSink.h"

#include <QDateTime>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace monitor {

class ActivityLines;
class DestinationList;
class EventLog;
class TestView;
class TrayStatus;
struct MonitorSettings;

class TestEngine
{
public:
    using Clock = std::function<QDateTime()>;

    // The pane holds this many lines at most when a pass starts; the oldest this many go.
    static constexpr size_t ActivityLimit = 200;
    static constexpr size_t ActivityTrim = 100;
    // The most probes a pass runs at once, whatever the data file says.
    static constexpr int MaxParallelLimit = 256;

    struct Parts
    {
        MonitorSettings& settings;
        DestinationList& list;
        EventLog& log;
        ActivityLines& activity;
        TrayStatus& tray;
        core::RunIndicator& indicator; // setBusy: a pass runs ("Test All Now" off, "Abort" on)
        TestView& view;
    };

    TestEngine(const Parts& parts, ProbeFactory& probes, AlertSender& alerts);
    // Drops every test under way without a result.
    ~TestEngine();
    TestEngine(const TestEngine&) = delete;
    TestEngine& operator=(const TestEngine&) = delete;

    void setProbeFactory(ProbeFactory& probes);
    void setAlertSender(AlertSender& alerts) { m_alerts = &alerts; }
    // Start and end times of the tests, and the timer's hint; the local time by default.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    // Told of every test's result as it is recorded (before its alerts): the row, the outcome,
    // how long the test took, retry included, and why it failed (the probe's short reason).
    using RecordedCall
        = std::function<void(uint64_t rowKey, bool ok, qint64 elapsedMs, const std::string& failureReason)>;
    void setOnRecorded(RecordedCall call) { m_onRecorded = std::move(call); }
    // Told of each pass's start and end and of every result, after the row shows it; none
    // when null.
    void setResultSink(ResultSink* sink) { m_results = sink; }

    // One pass over the list as it stands; refused while a pass runs.
    void TestAllDestinations();
    // Tests the row at `index` alone; false when there is no such row, no probe for its
    // service, or the row is under test already.
    bool TestDestination(int index);
    // "Abort": no further test of the pass starts, and running probes end as soon as they can;
    // their tests end without a result, and so does a first failure that would need its retry.
    // Attempts that have answered already keep their result.
    void Abort();
    // The close of the window: no further test starts, by any command or the timer; tests
    // under way are dropped at once without a result and a pass ends.
    void stopForClose();
    // A close that did not go through (the data file could not be saved): tests and the timer
    // work again.
    void reopenAfterFailedClose();
    // Keeps the test timer stopped whatever the settings say, for a run that tests once.
    void holdTimer();

    // Applies "EnableTimer" and "TimerInterval" to the test timer and shows the next run time.
    void SetupTestTimer();
    bool timerActive() const { return m_timer.isActive(); }
    int timerInterval() const { return m_timer.interval(); }

    bool passing() const { return m_passing; }
    // Tests started and not yet released.
    int testsUnderWay() const { return static_cast<int>(m_tests.size()); }

    // End time's date-time text, "  [", the elapsed milliseconds with the locale's thousands
    // separator, " ms]".
    static std::string FormatLastAttempt(const QDateTime& start, const QDateTime& end);

private:
    struct Test;
    struct HeldLine
    {
        bool log;
        std::string text;
    };

    Test* startTest(int index, bool inPass);
    void startAttempt(Test& test);
    void attemptDone(uint64_t id, bool ok);
    void release();
    void record(std::unique_ptr<Test> test);
    // The held lines of a test that ends without a result, the stopped line, its picture back.
    void endWithoutResult(Test& test);
    void transition(const Test& test, bool recovery);
    void promoteHead();
    void schedule();
    void finishPass();
    // A line of a test: written now when the test is first in line, held otherwise.
    void hold(Test& test, bool log, const std::string& text);
    void write(bool log, const std::string& text);
    bool rowUnderTest(uint64_t rowKey) const;
    int runningInPass() const;
    std::unique_ptr<Probe> takeProbe(Service service);
    void giveBack(Test& test);
    void updateTestingPointer();
    std::unique_ptr<Test> extract(uint64_t id);
    QDateTime now() const { return m_clock(); }

    MonitorSettings& m_settings;
    DestinationList& m_list;
    EventLog& m_log;
    ActivityLines& m_activity;
    TrayStatus& m_tray;
    core::RunIndicator& m_indicator;
    TestView& m_view;
    ProbeFactory* m_probes;
    AlertSender* m_alerts;
    Clock m_clock;

    // Declared before the tests: probes' call backs are posted through it, and it must outlive them.
    core::Poster m_poster;
    core::Timer m_timer;
    std::map<Service, std::vector<std::unique_ptr<Probe>>> m_idleProbes;
    std::map<uint64_t, std::unique_ptr<Test>> m_tests;
    std::deque<uint64_t> m_passOrder; // the pass's tests in list order, first in line first
    std::deque<uint64_t> m_singlesDone; // single tests over, in the order they ended
    uint64_t m_nextId = 0;

    RecordedCall m_onRecorded;
    ResultSink* m_results = nullptr;
    bool m_passing = false;
    bool m_closed = false; // stopForClose: nothing starts any more
    bool m_timerHeld = false;
    int m_passCount = 0; // rows the pass saw at its start
    int m_nextIndex = 0;
    bool m_releasing = false;
    bool m_testingShown = false;
    MetricsFile m_metrics; // rewritten after every pass when "MetricsFile" names it
};

} // namespace monitor
