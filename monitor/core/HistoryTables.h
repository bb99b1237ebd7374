#pragma once

// The reads and writes of the history tables (HistoryDatabase.h has them), on one connection.
// Every function here may take long on a large file, except writeResults: the GUI thread
// calls only that one, the others run in background jobs or in "SEN /HISTORY".

#include "monitor/core/HistoryDatabase.h"
#include "monitor/core/ResultSink.h"
#include "monitor/core/Uptime.h"

#include <map>
#include <optional>
#include <vector>

namespace monitor {

inline constexpr int64_t ResultsKeptMs = 48 * HourMs;
inline constexpr int64_t SumsKeptDays = 400;

// Adds the results in one transaction: each one's row, its hour's and its day's sums and its
// key's last state. `ids` remembers the keys' numbers between calls on one connection.
void writeResults(HistoryDatabase& db, const std::vector<TestResult>& results, std::map<HistoryKey, int64_t>& ids);

// The windows of every key in the file at `nowMs`, or of `only` alone.
std::map<HistoryKey, HistorySummary> readSummaries(
    HistoryDatabase& db, int64_t nowMs, const std::optional<HistoryKey>& only = std::nullopt);

struct ChartPoint
{
    int64_t atMs;
    bool ok;
    int64_t probeMs;
};
// The results of `key` since `sinceMs`, oldest first.
std::vector<ChartPoint> readResults(HistoryDatabase& db, const HistoryKey& key, int64_t sinceMs);

// Drops results older than 48 hours, sums older than 400 days and keys left without sums, in
// short transactions so that the writer never waits long. The rows dropped.
int64_t pruneHistory(HistoryDatabase& db, int64_t nowMs);

} // namespace monitor
