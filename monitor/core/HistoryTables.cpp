#include "monitor/core/HistoryTables.h"

#include <sqlite3.h>

namespace monitor {

namespace {

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
            for (const auto& [id, summary] : byId) {
                sums.bind(1, id).bind(2, first);
                while (sums.step())
                    add(*summary, sums.integer(0), Tally { sums.integer(1), sums.integer(2), sums.integer(3), sums.integer(4) });
                sums.reset();
            }
        };
        readSums("SELECT hour, tests, failures, total_ms, worst_ms FROM hourly WHERE destination = ?1 AND hour >= ?2",
            windows.firstHour,
            [&](HistorySummary& s, int64_t hour, const Tally& t) { addHour(s, windows, hour, t); });
        readSums("SELECT day, tests, failures, total_ms, worst_ms FROM daily WHERE destination = ?1 AND day >= ?2",
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
    HistoryStatement select(db.handle(),
        "SELECT r.at_ms, r.ok, r.probe_ms FROM destination d JOIN result r ON r.destination = d.id "
        "WHERE d.address = ?1 AND d.service = ?2 AND d.port = ?3 AND r.at_ms >= ?4 ORDER BY r.at_ms");
    select.bind(1, key.address).bind(2, key.service).bind(3, key.port).bind(4, sinceMs);
    std::vector<ChartPoint> points;
    while (select.step())
        points.push_back({ select.integer(0), select.integer(1) != 0, select.integer(2) });
    return points;
}

int64_t pruneHistory(HistoryDatabase& db, int64_t nowMs)
{
    std::vector<int64_t> ids;
    {
        HistoryStatement select(db.handle(), "SELECT id FROM destination");
        while (select.step())
            ids.push_back(select.integer(0));
    }
    const int64_t resultsBefore = nowMs - ResultsKeptMs;
    const int64_t hoursBefore = hourOf(nowMs) - SumsKeptDays * 24;
    const int64_t daysBefore = localDayOf(nowMs) - SumsKeptDays;
    HistoryStatement results(db.handle(), "DELETE FROM result WHERE destination = ?1 AND at_ms < ?2");
    HistoryStatement hourly(db.handle(), "DELETE FROM hourly WHERE destination = ?1 AND hour < ?2");
    HistoryStatement daily(db.handle(), "DELETE FROM daily WHERE destination = ?1 AND day < ?2");
    HistoryStatement orphan(db.handle(),
        "DELETE FROM destination WHERE id = ?1 AND NOT EXISTS (SELECT 1 FROM daily WHERE destination = ?1) "
        "AND NOT EXISTS (SELECT 1 FROM hourly WHERE destination = ?1) "
        "AND NOT EXISTS (SELECT 1 FROM result WHERE destination = ?1)");
    constexpr size_t Batch = 32; // keys per transaction
    int64_t dropped = 0;
    for (size_t first = 0; first < ids.size(); first += Batch) {
        db.begin();
        try {
            for (size_t i = first; i < ids.size() && i < first + Batch; ++i) {
                results.bind(1, ids[i]).bind(2, resultsBefore).run();
                dropped += sqlite3_changes64(db.handle());
                hourly.bind(1, ids[i]).bind(2, hoursBefore).run();
                dropped += sqlite3_changes64(db.handle());
                daily.bind(1, ids[i]).bind(2, daysBefore).run();
                dropped += sqlite3_changes64(db.handle());
                orphan.bind(1, ids[i]).run();
                dropped += sqlite3_changes64(db.handle());
            }
            db.commit();
        } catch (...) {
            db.rollback();
            throw;
        }
    }
    return dropped;
}

} // namespace monitor
