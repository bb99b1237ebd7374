#pragma once

// The monitor's result history ("HistoryFile" in section "SEN") and the status page
// ("StatusPageFile") it feeds. The test engine reports every result here (ResultSink); the
// window asks for uptimes and charts.
//
// Writing: results wait in memory and go into the file once per pass, in one transaction on
// the GUI thread's one connection (a single test outside a pass goes at once). The file is
// made when missing. One that cannot be opened or written (held by another writer for more
// than a second, disk full, not SQLite, folder missing or read-only, not a regular file) gives
// at most one line per pass, "*** ERROR: Cannot write history file " + path + ": " + cause,
// through the reporter (activity pane and log), and nothing else: the results stay in memory
// (up to MaxPending) for the next pass.
//
// Everything that may take long runs through core::runInBackground on a connection of its
// own, never on the GUI thread: pruning (at most hourly, at the start of a pass), the uptimes
// of all rows after a write, the status page, a chart. A reply that a later write made stale is
// asked again before it is shown, and the results not yet written are added to every reply.

#include "common/core/EventLoop.h"
#include "monitor/core/DestinationList.h"
#include "monitor/core/HistoryTables.h"
#include "monitor/core/ResultSink.h"
#include "monitor/core/Uptime.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace monitor {

class HistoryStore final : public ResultSink
{
public:
    using Clock = std::function<int64_t()>; // Unix time in milliseconds
    using Reporter = std::function<void(const std::string& line)>;

    static constexpr size_t MaxPending = 100000;
    static constexpr int64_t PruneEveryMs = HourMs;

    struct Chart
    {
        HistoryKey key;
        std::vector<ChartPoint> points; // the last 48 hours, oldest first
        HistorySummary summary;
    };

    HistoryStore(const DestinationList& list, Reporter report);
    // Cancels background work: nothing is delivered any more.
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    void setClock(Clock clock) { m_clock = std::move(clock); }
    // Empty history path: no history; empty page path: no page.
    void setFiles(const std::string& historyPath, const std::string& statusPagePath);
    const std::string& historyPath() const { return m_path; }

    void passStarted() override;
    void resultRecorded(const TestResult& result) override;
    void passEnded() override;

    // What is known of a key now: the last read of the file and the results since. Nothing
    // when neither has a result of it.
    const HistorySummary* summaryOf(const HistoryKey& key) const;
    // The key's chart, later, on the GUI thread; a newer request replaces one not yet delivered.
    void requestChart(const HistoryKey& key, std::function<void(const Chart&)> deliver);
    // No chart is wanted any more (the pane goes, or nothing is selected).
    void dropChart();
    // After each result (its key) and after a fresh read of all uptimes (null).
    void setOnChanged(std::function<void(const HistoryKey* key)> call) { m_onChanged = std::move(call); }

    // Before the program ends: writes what waits and lets the status page be finished, at
    // most `timeout`; pruning is left for the next start.
    void finish(std::chrono::milliseconds timeout);
    // Results not in the file yet.
    size_t pending() const { return m_pending.size(); }

private:
    bool write();
    // The history file's line, once a pass.
    void report(const std::string& cause);
    // Reads the uptimes again, and writes the page when asked to.
    void afterWrite(bool withPage);
    void prune();
    void requestChartAgain();
    void changed(const HistoryKey* key);

    const DestinationList& m_list;
    Reporter m_report;
    Clock m_clock;
    std::string m_path;
    std::string m_pagePath;
    std::unique_ptr<HistoryDatabase> m_db; // the writer, kept open between passes
    uint64_t m_dbInode = 0; // the file it has open
    uint64_t m_dbDevice = 0;
    std::map<HistoryKey, int64_t> m_ids;
    std::vector<TestResult> m_pending;
    uint64_t m_writes = 0; // transactions committed: a reply read before the last one is stale
    bool m_passing = false;
    bool m_reported = false; // this pass's line was given
    int64_t m_lastPruneMs = 0;
    std::map<HistoryKey, HistorySummary> m_summaries;

    core::BackgroundJob m_pruneJob;
    core::BackgroundJob m_readJob; // uptimes, and the page after a pass
    bool m_readAgain = false; // asked for while a read was on its way
    bool m_pageWanted = false;
    core::BackgroundJob m_chartJob;
    std::optional<HistoryKey> m_chartKey;
    std::function<void(const Chart&)> m_chartDeliver;
    std::function<void(const HistoryKey*)> m_onChanged;
};

} // namespace monitor
