// Timing of SEN's result history at the size of a year's use: 1,000 destinations, one year of
// hourly sums and 48 hours of results (a pass every 5 minutes). Prints the figures the budgets
// name and ratios against them, and against reading the month from the hourly sums alone.
//   history_bench [folder]      (the file is made there, 300 MB or so, and removed)

#include "common/core/DateTimeText.h"
#include "monitor/core/HistoryStore.h"
#include "monitor/core/HistoryTables.h"
#include "common/core/LockedFile.h"
#include "monitor/core/StatusPage.h"
#include "monitor/gui/HistoryPane.h"

#include <QApplication>
#include <QDateTime>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <vector>

using namespace monitor;
namespace fs = std::filesystem;

namespace {

constexpr int Destinations = 1000;
constexpr int64_t PassEveryMs = 5 * 60 * 1000;
constexpr int Hours = 365 * 24;

double msOf(const std::function<void()>& work, int runs = 5)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void line(const char* what, double ms, double budget)
{
    std::printf("%-58s %9.2f ms   budget %5.0f ms   %5.2f of it\n", what, ms, budget, ms / budget);
}

HistoryKey keyOf(int i)
{
    return { "10.1." + std::to_string(i / 250) + "." + std::to_string(i % 250), i % 2 ? "TCP" : "PING", i % 2 ? "443" : "" };
}

// Every 97th destination fails now and then, so the sums are not all alike.
bool okAt(int i, int64_t n)
{
    return i % 97 != 0 || n % 13 != 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path folder = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path() / "sen-history-bench";
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string path = (folder / "SEN.history").string();
    const int64_t now = QDateTime::currentMSecsSinceEpoch();
    const int64_t firstResult = now - ResultsKeptMs;

    std::map<HistoryKey, int64_t> ids;
    HistoryDatabase db(path, HistoryDatabase::Mode::Write);
    const auto built = std::chrono::steady_clock::now();
    {
        // A year of sums before the results' 48 hours, written straight into the tables.
        db.begin();
        HistoryStatement destination(db.handle(), "INSERT INTO destination(id, address, service, port, ok, changed_ms, last_ms) VALUES(?1, ?2, ?3, ?4, 1, ?5, ?5)");
        for (int i = 0; i < Destinations; ++i) {
            const HistoryKey key = keyOf(i);
            destination.bind(1, i + 1).bind(2, key.address).bind(3, key.service).bind(4, key.port).bind(5, firstResult).run();
            ids[key] = i + 1;
        }
        // In time order, as the monitor writes them; each day's sums once the day is over.
        HistoryStatement hourly(db.handle(), "INSERT INTO hourly(hour, destination, tests, failures, total_ms, worst_ms) VALUES(?1, ?2, 12, ?3, 36, 9)");
        HistoryStatement daily(db.handle(), "INSERT INTO daily(day, destination, tests, failures, total_ms, worst_ms) VALUES(?1, ?2, ?3, ?4, ?5, 9)");
        std::vector<Tally> days(Destinations);
        int64_t day = localDayOf((hourOf(firstResult) - Hours) * HourMs);
        const auto flushDay = [&] {
            for (int i = 0; i < Destinations; ++i) {
                daily.bind(1, day).bind(2, i + 1).bind(3, days[i].tests).bind(4, days[i].failures).bind(5, days[i].totalMs).run();
                days[i] = {};
            }
        };
        for (int64_t hour = hourOf(firstResult) - Hours; hour < hourOf(firstResult); ++hour) {
            if (localDayOf(hour * HourMs) != day) {
                flushDay();
                day = localDayOf(hour * HourMs);
            }
            for (int i = 0; i < Destinations; ++i) {
                const int64_t failures = okAt(i, hour) ? 0 : 1;
                hourly.bind(1, hour).bind(2, i + 1).bind(3, failures).run();
                days[i] += Tally { 12, failures, 36, 9 };
            }
        }
        // The day the results begin in gets their sums on top of these.
        flushDay();
        db.commit();
    }
    // 48 hours of passes as the monitor writes them, one transaction a pass.
    std::vector<double> passTimes;
    int64_t n = 0;
    for (int64_t at = firstResult; at <= now; at += PassEveryMs, ++n) {
        std::vector<TestResult> pass;
        pass.reserve(Destinations);
        for (int i = 0; i < Destinations; ++i)
            pass.push_back({ keyOf(i), at + i, okAt(i, n), 1 + (i + n) % 40, true });
        const auto start = std::chrono::steady_clock::now();
        writeResults(db, pass, ids);
        passTimes.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        // As SEN's background job does after each pass.
        HistoryDatabase(path, HistoryDatabase::Mode::Checkpoint).checkpoint();
    }
    const double buildSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - built).count();
    db.execute("PRAGMA wal_checkpoint(TRUNCATE)");
    std::printf("history of %d destinations: %d days of hourly sums, %lld passes of results in 48 h; built in %.1f s\n",
        Destinations, Hours / 24, static_cast<long long>(n), buildSeconds);
    std::printf("file size %.1f MB (%s)\n\n", static_cast<double>(fs::file_size(path)) / 1e6, path.c_str());

    HistoryDatabase reader(path, HistoryDatabase::Mode::Read);
    std::map<HistoryKey, HistorySummary> summaries;
    line("30-day uptime of all rows (daily and hourly sums)", msOf([&] { summaries = readSummaries(reader, now); }), 50);
    const double hourlyOnly = msOf([&] {
        HistoryStatement month(reader.handle(), "SELECT destination, sum(tests), sum(failures) FROM hourly WHERE hour >= ?1 GROUP BY destination");
        month.bind(1, hourOf(now) - 30 * 24);
        while (month.step()) {
        }
    }, 3);
    std::printf("%-58s %9.2f ms   %5.1f times the above\n", "  peer: the month from the hourly sums alone", hourlyOnly,
        hourlyOnly / msOf([&] { summaries = readSummaries(reader, now); }));

    std::sort(passTimes.begin(), passTimes.end());
    line("adding a pass of 1,000 results (median of the 48 h)", passTimes[passTimes.size() / 2], 20);
    line("adding a pass of 1,000 results (slowest of the 48 h)", passTimes.back(), 20);

    std::vector<StatusRow> rows;
    for (int i = 0; i < Destinations; ++i) {
        const HistoryKey key = keyOf(i);
        rows.push_back({ "host " + std::to_string(i) + " <" + key.address + ">", key.address, key.service, key.port, okAt(i, n) ? "OK" : "Fail", summaries[key] });
    }
    const std::string pagePath = (folder / "status.html").string();
    std::string html;
    const double page = msOf([&] {
        html = statusPageHtml(rows, core::dateTimeText(QDateTime::fromMSecsSinceEpoch(now)), localDayOf(now));
        core::writeWholeFile(pagePath, html);
    });
    line("status page of 1,000 rows, made and written", page, 100);
    std::printf("%-58s %9.0f kB\n", "  its size", static_cast<double>(html.size()) / 1e3);
    line("  with the read of the uptimes (the background job)", msOf([&] {
        auto s = readSummaries(reader, now);
        core::writeWholeFile(pagePath, statusPageHtml(rows, "now", localDayOf(now)));
    }), 150);

    // What the GUI thread does after a test: the result into memory, the uptime column's
    // lookups for 1,000 rows, the chart of 48 hours painted.
    DestinationList list;
    HistoryStore store(list, [](const std::string& text) { std::cerr << text << "\n"; });
    store.passStarted();
    const double perTest = msOf([&] {
        store.resultRecorded({ keyOf(1), now, true, 12, true });
        for (int i = 0; i < Destinations; ++i)
            store.summaryOf(keyOf(i));
    });
    line("GUI thread after a test: recording and 1,000 column lookups", perTest, 50);
    std::vector<ChartPoint> points;
    std::printf("%-58s %9.2f ms   (in the background)\n", "a row's chart of 48 hours read",
        msOf([&] { points = readResults(reader, keyOf(1), now - ResultsKeptMs); }));
    ResponseChart chart;
    chart.resize(800, 200);
    QImage image(chart.size(), QImage::Format_ARGB32);
    chart.setPoints(points, now);
    line(("GUI thread: the chart of " + std::to_string(points.size()) + " results painted").c_str(),
        msOf([&] { chart.render(&image); }), 50);

    std::printf("%-58s %9.2f ms   (in the background, after each pass)\n", "a pass written, then its checkpoint",
        msOf([&] {
            writeResults(db, std::vector<TestResult>(Destinations, TestResult { keyOf(7), now, true, 3, true }), ids);
            HistoryDatabase(path, HistoryDatabase::Mode::Checkpoint).checkpoint();
        }, 3));
    HistoryDatabase pruner(path, HistoryDatabase::Mode::Write);
    const auto pruneStart = std::chrono::steady_clock::now();
    const int64_t dropped = pruneHistory(pruner, now + HourMs);
    std::printf("%-58s %9.0f ms   (%lld rows, in the background)\n", "pruning an hour's worth",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - pruneStart).count(),
        static_cast<long long>(dropped));
    fs::remove_all(folder);
    return 0;
}
