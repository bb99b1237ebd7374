#include "monitor/core/HistoryTables.h"

#include <sqlite3.h>

namespace monitor {

namespace {

constexpr int64_t PruneStep = 20000; // rows a prune transaction drops at most

constexpr const char* SumUpsert = R"( VALUES(?1, ?2, 1, ?3, ?4, ?4)
    ON CONFLICT DO UPDATE SET tests = tests + 1, failures = failures + excluded.failures,
        total_ms = total_ms + excluded.total_ms, worst_ms = max(worst_ms, excluded.worst_ms))";

int64_t idOf(HistoryDatabase& db, const HistoryKey& key, std::map<HistoryKey, int64_t>& ids)
{
    if (const auto found = ids.find(key); found != ids.end())
        return found->second;
    HistoryStatement insert(db.handle(), "INSERT OR IGNORE INTO destination(address, service, port) VALUES(?1, ?2, ?3)");
    insert.bind(1, key.address).bind(2, key.service).bind(3, key.port).run();
    HistoryStatement select(db.handle(), "SELECT id FROM destination WHERE address = ?1 AND service = ?2 AND port = ?3");
    select.bind(1, key.address).bind(2, key.service).bind(3, key.port);
    if (!select.step())
        throw HistoryError("the destination table lost a row");
    return ids[key] = select.integer(0);
}

} // namespace

void writeResults(HistoryDatabase& db, const std::vector<TestResult>& results, std::map<HistoryKey, int64_t>& ids)
{
    if (results.empty())
        return;
    db.begin();
    try {
        HistoryStatement result(db.handle(), "INSERT INTO result(destination, at_ms, ok, probe_ms) VALUES(?1, ?2, ?3, ?4)");
        HistoryStatement hourly(db.handle(),
            (std::string("INSERT INTO hourly(destination, hour, tests, failures, total_ms, worst_ms)") + SumUpsert).c_str());
        HistoryStatement daily(db.handle(),
            (std::string("INSERT INTO daily(destination, day, tests, failures, total_ms, worst_ms)") + SumUpsert).c_str());
        HistoryStatement state(db.handle(),
            "UPDATE destination SET changed_ms = CASE WHEN ok IS ?2 THEN changed_ms ELSE ?3 END, ok = ?2, last_ms = ?3 "
            "WHERE id = ?1");
        for (const TestResult& r : results) {
            const int64_t ok = r.ok ? 1 : 0;
            int64_t id = idOf(db, r.key, ids);
            state.bind(1, id).bind(2, ok).bind(3, r.endMs).run();
            if (sqlite3_changes(db.handle()) == 0) {
                // Pruned since this connection learnt its number: a key unused for 400 days.
                ids.erase(r.key);
                id = idOf(db, r.key, ids);
                state.bind(1, id).bind(2, ok).bind(3, r.endMs).run();
            }
            result.bind(1, id).bind(2, r.endMs).bind(3, ok).bind(4, r.probeMs).run();
            hourly.bind(1, id).bind(2, hourOf(r.endMs)).bind(3, 1 - ok).bind(4, r.probeMs).run();
            daily.bind(1, id).bind(2, localDayOf(r.endMs)).bind(3, 1 - ok).bind(4, r.probeMs).run();
        }
        db.commit();
    } catch (...) {
        db.rollback();
        // Numbers handed out inside the transaction are gone with it.
        ids.clear();
        throw;
    }
}

std::map<HistoryKey, HistorySummary> readSummaries(
    HistoryDatabase& db, int64_t nowMs, const std::optional<HistoryKey>& only)
{
    const Windows windows = windowsAt(nowMs);
    std::map<int64_t, HistorySummary*> byId;
    std::map<HistoryKey, HistorySummary> summaries;
    // One read transaction: the three reads see the same file.
    db.execute("BEGIN");
    try {
        HistoryStatement keys(db.handle(),
            "SELECT id, address, service, port, ok, changed_ms FROM destination "
            "WHERE ?1 IS NULL OR (address = ?1 AND service = ?2 AND port = ?3)");
        if (only)
            keys.bind(1, only->address).bind(2, only->service).bind(3, only->port);
        while (keys.step()) {
            HistorySummary& summary = summaries[HistoryKey { keys.text(1), keys.text(2), keys.text(3) }];
            if (!keys.isNull(4))
                summary.lastOk = keys.integer(4) != 0;
            summary.changedMs = keys.integer(5);
            byId[keys.integer(0)] = &summary;
        }
        const auto readSums = [&](const char* sql, int64_t first, auto add) {
            HistoryStatement sums(db.handle(), sql);
            sums.bind(1, first);
            while (sums.step()) {
                if (const auto found = byId.find(sums.integer(0)); found != byId.end())
                    add(*found->second, sums.integer(1), Tally { sums.integer(2), sums.integer(3), sums.integer(4), sums.integer(5) });
            }
        };
        readSums("SELECT destination, hour, tests, failures, total_ms, worst_ms FROM hourly WHERE hour >= ?1",
            windows.firstHour,
            [&](HistorySummary& s, int64_t hour, const Tally& t) { addHour(s, windows, hour, t); });
        readSums("SELECT destination, day, tests, failures, total_ms, worst_ms FROM daily WHERE day >= ?1",
            windows.firstDay,
            [&](HistorySummary& s, int64_t day, const Tally& t) { addDay(s, windows, day, t); });
        db.execute("COMMIT");
    } catch (...) {
        db.rollback();
        throw;
    }
    return summaries;
}

std::vector<ChartPoint> readResults(HistoryDatabase& db, const HistoryKey& key, int64_t sinceMs)
{
    HistoryStatement id(db.handle(), "SELECT id FROM destination WHERE address = ?1 AND service = ?2 AND port = ?3");
    id.bind(1, key.address).bind(2, key.service).bind(3, key.port);
    std::vector<ChartPoint> points;
    if (!id.step())
        return points;
    HistoryStatement select(
        db.handle(), "SELECT at_ms, ok, probe_ms FROM result WHERE destination = ?1 AND at_ms >= ?2 ORDER BY at_ms");
    select.bind(1, id.integer(0)).bind(2, sinceMs);
    while (select.step())
        points.push_back({ select.integer(0), select.integer(1) != 0, select.integer(2) });
    return points;
}

int64_t pruneHistory(HistoryDatabase& db, int64_t nowMs)
{
    // Each step is one short transaction: the writer of the passes waits a few milliseconds at
    // most, however much there is to drop after a long pause.
    const auto drop = [&db](const char* sql, int64_t before) {
        int64_t dropped = 0;
        for (;;) {
            db.begin();
            try {
                HistoryStatement statement(db.handle(), sql);
                statement.bind(1, before).run();
                const int64_t changes = sqlite3_changes64(db.handle());
                db.commit();
                dropped += changes;
                if (changes < PruneStep)
                    return dropped;
            } catch (...) {
                db.rollback();
                throw;
            }
        }
    };
    int64_t dropped = 0;
    dropped += drop("DELETE FROM result WHERE rowid IN "
                    "(SELECT rowid FROM result WHERE at_ms < ?1 ORDER BY rowid LIMIT 20000)",
        nowMs - ResultsKeptMs);
    dropped += drop("DELETE FROM hourly WHERE (hour, destination) IN "
                    "(SELECT hour, destination FROM hourly WHERE hour < ?1 LIMIT 20000)",
        hourOf(nowMs) - SumsKeptDays * 24);
    dropped += drop("DELETE FROM daily WHERE (day, destination) IN "
                    "(SELECT day, destination FROM daily WHERE day < ?1 LIMIT 20000)",
        localDayOf(nowMs) - SumsKeptDays);
    // Results and hours of a key come with its days, and its days outlive them.
    db.begin();
    try {
        db.execute("DELETE FROM destination WHERE id NOT IN (SELECT destination FROM daily)");
        dropped += sqlite3_changes64(db.handle());
        db.commit();
    } catch (...) {
        db.rollback();
        throw;
    }
    return dropped;
}

} // namespace monitor
