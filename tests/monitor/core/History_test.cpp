// The result history: the uptime arithmetic, the tables' sums and pruning at chosen times, the
// engine's passes writing it under address, service and port, and files it cannot write.

#include "PassFixture.h"

#include "monitor/core/HistoryReport.h"
#include "monitor/core/HistoryTables.h"
#include "tests/support/PrivateNamespace.h"

#include <sqlite3.h>

#include <chrono>
#include <sstream>
#include <sys/stat.h>

using namespace monitor;
using namespace std::chrono_literals;

namespace {

// 2026-06-12 12:00 UTC, at the start of an hour.
constexpr int64_t T0 = 1781265600000;
constexpr int64_t DayMs = 24 * HourMs;

TestResult result(const HistoryKey& key, int64_t at, bool ok, int64_t ms)
{
    return { key, at, ok, ms, true };
}

int64_t count(HistoryDatabase& db, const std::string& sql)
{
    HistoryStatement statement(db.handle(), sql.c_str());
    return statement.step() ? statement.integer(0) : -1;
}

const HistoryKey Web { "127.0.0.1", "TCP", "80" };
const HistoryKey Down { "127.0.0.2", "TCP", "22" };

} // namespace

TEST(Uptime, PercentagesAreCutAndMeansRounded)
{
    struct Case
    {
        Tally tally;
        const char* uptime;
        const char* mean;
    };
    const std::vector<Case> cases = {
        { {}, "-", "-" },
        { { 1, 0, 7, 7 }, "100.0%", "7 ms" },
        { { 10000, 1, 0, 0 }, "99.9%", "0 ms" }, // one failure never shows as 100.0%
        { { 3, 1, 5, 4 }, "66.6%", "2 ms" },
        { { 2, 2, 3, 2 }, "0.0%", "2 ms" },
    };
    for (const Case& c : cases) {
        EXPECT_EQ(uptimeText(c.tally), c.uptime) << c.tally.tests;
        EXPECT_EQ(meanProbeText(c.tally), c.mean) << c.tally.tests;
    }
}

TEST(Uptime, EachSumCountsInTheWindowsItFallsIn)
{
    const Windows w = windowsAt(T0 + 5 * 60000);
    EXPECT_EQ(w.firstHour, hourOf(T0) - 23);
    struct Case
    {
        bool hour; // an hour's sums, else a day's
        int64_t offset; // from the present hour or day
        bool day, week, month;
        int bar; // index of the day's bar, -1 for none
    };
    const std::vector<Case> cases = {
        { true, 0, true, false, false, -1 },
        { true, -23, true, false, false, -1 },
        { true, -24, false, false, false, -1 },
        { false, 0, false, true, true, 29 },
        { false, -6, false, true, true, 23 },
        { false, -7, false, false, true, 22 },
        { false, -29, false, false, true, 0 },
        { false, -30, false, false, false, -1 },
        { false, 1, false, false, false, -1 }, // a clock set back
    };
    const Tally one { 1, 0, 5, 5 };
    for (const Case& c : cases) {
        HistorySummary s;
        if (c.hour)
            addHour(s, w, hourOf(T0) + c.offset, one);
        else
            addDay(s, w, w.today + c.offset, one);
        EXPECT_EQ(s.day.tests, c.day) << c.offset;
        EXPECT_EQ(s.week.tests, c.week) << c.offset;
        EXPECT_EQ(s.month.tests, c.month) << c.offset;
        for (int i = 0; i < DaysShown; ++i)
            EXPECT_EQ(s.days[static_cast<size_t>(i)].tests, i == c.bar ? 1 : 0) << c.offset << " bar " << i;
    }
}

TEST(Uptime, HistoryKeysAndFileNames)
{
    EXPECT_EQ(historyKeyOf("10.0.0.1", "Tcp", "80"), (HistoryKey { "10.0.0.1", "TCP", "80" }));
    EXPECT_EQ(historyKeyOf("10.0.0.1", "PING", "7"), (HistoryKey { "10.0.0.1", "PING", "" }));
    EXPECT_EQ(historyKeyOf("10.0.0.1", "bogus", ""), (HistoryKey { "10.0.0.1", "PING", "" }));

    struct Case
    {
        std::optional<std::string> key;
        std::string log;
        std::string expected;
    };
    const std::vector<Case> cases = {
        { std::nullopt, "/srv/sen/SEN.LOG", "/srv/sen/SEN.history" },
        { std::nullopt, "/srv/sen.d/log", "/srv/sen.d/log.history" },
        { std::nullopt, "/srv/.hidden", "/srv/.hidden.history" },
        { std::nullopt, "a.b.log", "a.b.history" },
        { "", "/srv/SEN.LOG", "" },
        { "/var/lib/sen/h.db", "/srv/SEN.LOG", "/var/lib/sen/h.db" },
    };
    for (const Case& c : cases) {
        MonitorSettings settings;
        settings.historyFile = c.key;
        EXPECT_EQ(historyFileOf(settings, c.log), c.expected) << c.log;
    }
}

TEST(HistoryTables, AddingKeepsResultsHourlySumsAndTheLastChange)
{
    test::TempDir dir;
    HistoryDatabase db((dir / "SEN.history").string(), HistoryDatabase::Mode::Write);
    std::map<HistoryKey, int64_t> ids;
    writeResults(db,
        { result(Web, T0 + 1000, true, 10),
            result(Web, T0 + 2000, false, 30),
            result(Down, T0 + 3000, true, 5),
            result(Web, T0 + HourMs + 5, true, 20) },
        ids);
    HistoryStatement hours(db.handle(), "SELECT hour, tests, failures, total_ms, worst_ms FROM hourly ORDER BY destination, hour");
    std::vector<std::vector<int64_t>> rows;
    while (hours.step())
        rows.push_back({ hours.integer(0) - hourOf(T0), hours.integer(1), hours.integer(2), hours.integer(3), hours.integer(4) });
    EXPECT_EQ(rows, (std::vector<std::vector<int64_t>> { { 0, 2, 1, 40, 30 }, { 1, 1, 0, 20, 20 }, { 0, 1, 0, 5, 5 } }));

    auto summaries = readSummaries(db, T0 + 2 * HourMs);
    EXPECT_EQ(summaries[Web].day, (Tally { 3, 1, 60, 30 }));
    EXPECT_EQ(summaries[Web].month, (Tally { 3, 1, 60, 30 }));
    EXPECT_EQ(summaries[Web].lastOk, true);
    EXPECT_EQ(summaries[Web].changedMs, T0 + HourMs + 5); // Fail, then OK
    EXPECT_EQ(summaries[Down].changedMs, T0 + 3000);
    EXPECT_EQ(readResults(db, Web, T0 + 1500).size(), 2u);
    // A day later the hours have left "24 h"; the days stay in "7 d".
    summaries = readSummaries(db, T0 + DayMs + HourMs, Web);
    EXPECT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[Web].day.tests, 0);
    EXPECT_EQ(summaries[Web].week.tests, 3);
}

TEST(HistoryTables, PruningKeepsResults48HoursAndSums400Days)
{
    test::TempDir dir;
    HistoryDatabase db((dir / "SEN.history").string(), HistoryDatabase::Mode::Write);
    std::map<HistoryKey, int64_t> ids;
    writeResults(db, { result(Web, T0, true, 1), result(Web, T0 + 47 * HourMs, true, 1), result(Down, T0, false, 1) }, ids);
    struct Case
    {
        int64_t at;
        int64_t results, hours, days, destinations;
    };
    const std::vector<Case> cases = {
        { T0 + 47 * HourMs, 3, 3, 3, 2 },
        { T0 + 48 * HourMs + 1, 1, 3, 3, 2 },
        { T0 + 400 * DayMs + HourMs, 0, 1, 3, 2 }, // days go by the day
        { T0 + 401 * DayMs + HourMs, 0, 1, 1, 1 }, // the row that went is forgotten after 400 days
        { T0 + 403 * DayMs, 0, 0, 0, 0 },
    };
    for (const Case& c : cases) {
        pruneHistory(db, c.at);
        EXPECT_EQ(count(db, "SELECT count(*) FROM result"), c.results) << c.at;
        EXPECT_EQ(count(db, "SELECT count(*) FROM hourly"), c.hours) << c.at;
        EXPECT_EQ(count(db, "SELECT count(*) FROM daily"), c.days) << c.at;
        EXPECT_EQ(count(db, "SELECT count(*) FROM destination"), c.destinations) << c.at;
    }
    // A key pruned while this connection remembered its number is written under a new one.
    writeResults(db, { result(Web, T0 + 403 * DayMs, true, 1) }, ids);
    EXPECT_EQ(readSummaries(db, T0 + 403 * DayMs)[Web].day.tests, 1);
}

namespace {

struct HistoryEngine : PassFixture
{
    fs::path history = dir / "SEN.history";

    void start(const std::string& senKeys)
    {
        startWith("[SEN]\r\nLogFile=1\r\n" + senKeys
                + "[DestList]\r\nDestCount=3\r\n"
                  "NAME1=web\r\nIP1=127.0.0.1\r\nService1=TCP\r\nPort1=80\r\nStat1=OK\r\n"
                  "NAME2=web again\r\nIP2=127.0.0.1\r\nService2=Tcp\r\nPort2=80\r\nStat2=OK\r\n"
                  "NAME3=down\r\nIP3=127.0.0.2\r\nService3=TCP\r\nPort3=22\r\nStat3=OK\r\n");
    }

    std::map<HistoryKey, HistorySummary> summaries()
    {
        HistoryDatabase db(history.string(), HistoryDatabase::Mode::Read);
        return readSummaries(db, QDateTime::currentMSecsSinceEpoch());
    }

    std::vector<std::string> errorLines() const
    {
        std::vector<std::string> lines;
        for (const std::string& line : frontEnd.activity) {
            if (line.starts_with("*** ERROR: Cannot write history file"))
                lines.push_back(line);
        }
        return lines;
    }
};

} // namespace

TEST_F(HistoryEngine, RowsAlikeShareOneHistoryThatARenameKeeps)
{
    start("");
    EXPECT_EQ(controller->historyFile(), history.string()); // beside the log, whether or not it is on
    pass();
    EXPECT_EQ(summaries()[Web].day.tests, 2);
    EXPECT_EQ(summaries()[Down].day.failures, 1);

    Destination renamed = controller->list().at(0);
    renamed.HostName = "intranet";
    controller->list().update(0, renamed);
    controller->list().remove({ 1 });
    pass();
    controller->engine().TestDestination(0); // a single test goes in at once
    ASSERT_TRUE(core::waitFor([&] { return controller->history().pending() == 0 && controller->engine().testsUnderWay() == 0; }, 5s));
    EXPECT_EQ(summaries()[Web].day.tests, 4);
    EXPECT_EQ(errorLines(), std::vector<std::string>());

    // The window's column and chart read the same, without waiting for the file.
    ASSERT_TRUE(core::waitFor([&] { const auto* s = controller->history().summaryOf(Web); return s && s->day.tests == 4; }, 5s));

    // Saved after "MetricsFile", with the path in use.
    controller->save();
    const std::string saved = test::readFile(ini);
    EXPECT_NE(saved.find("MetricsFile=\r\nHistoryFile=" + history.string() + "\r\nStatusPageFile=\r\n"), std::string::npos);
}

TEST_F(HistoryEngine, AnEmptyKeyKeepsNoHistory)
{
    start("HistoryFile=\r\n");
    pass();
    EXPECT_EQ(controller->historyFile(), "");
    EXPECT_FALSE(fs::exists(history));
    EXPECT_EQ(controller->list().at(2).Status(), "Fail");
}

TEST_F(HistoryEngine, AFileItCannotWriteGivesOneLineAPassAndChangesNothingElse)
{
    struct Case
    {
        const char* name;
        std::function<fs::path(const fs::path&)> make; // the history path
        const char* cause;
    };
    sqlite3* holder = nullptr;
    const std::vector<Case> cases = {
        { "not SQLite",
            [](const fs::path& d) {
                test::writeFile(d / "h", std::string(8192, 'x'));
                return d / "h";
            },
            "file is not a database" },
        { "another program's database",
            [](const fs::path& d) {
                sqlite3* db = nullptr;
                sqlite3_open((d / "h").c_str(), &db);
                sqlite3_exec(db, "CREATE TABLE t(x)", nullptr, nullptr, nullptr);
                sqlite3_close(db);
                return d / "h";
            },
            "not a history file of SEN" },
        { "folder missing", [](const fs::path& d) { return d / "missing" / "h"; }, "unable to open database file" },
        { "a folder",
            [](const fs::path& d) {
                fs::create_directories(d / "h");
                return d / "h";
            },
            "Is a directory" },
        { "a FIFO",
            [](const fs::path& d) {
                ::mkfifo((d / "h").c_str(), 0600);
                return d / "h";
            },
            "not a regular file" },
        { "held by another writer",
            [&holder](const fs::path& d) {
                HistoryDatabase made((d / "h").string(), HistoryDatabase::Mode::Write);
                sqlite3_open((d / "h").c_str(), &holder);
                sqlite3_exec(holder, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
                return d / "h";
            },
            "database is locked" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir / "case");
        fs::create_directories(dir / "case");
        const fs::path path = c.make(dir / "case");
        // Another program's file is left byte for byte as it was.
        const bool foreign = !holder && fs::is_regular_file(path);
        const std::string before = foreign ? test::readFile(path) : "";
        start("HistoryFile=" + path.string() + "\r\n");
        pass();
        pass();
        const std::string line = "*** ERROR: Cannot write history file " + path.string() + ": " + c.cause;
        EXPECT_EQ(errorLines(), std::vector<std::string>(2, line)); // one a pass
        EXPECT_NE(test::readFile(log).find(line), std::string::npos);
        EXPECT_EQ(controller->list().at(2).Status(), "Fail");
        if (foreign) {
            EXPECT_TRUE(test::readFile(path) == before);
        }
        EXPECT_EQ(controller->history().pending(), 6u); // kept for the next pass
        if (holder) {
            // Let go: the next pass writes what waited.
            sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
            sqlite3_close(holder);
            holder = nullptr;
            history = path;
            pass();
            EXPECT_EQ(summaries()[Web].day.tests, 6);
        }
        controller.reset();
    }
}

TEST_F(HistoryEngine, AFullDiskOrReadOnlyFolderGivesTheCause)
{
    RUN_IN_PRIVATE_MOUNTS();
    const fs::path small = dir / "small";
    fs::create_directories(small);
    test::mustRun("mount -t tmpfs -o size=64k tmpfs " + small.string());
    test::writeFile(small / "filler", std::string(64 * 1024, 'x'));
    start("HistoryFile=" + (small / "h").string() + "\r\n");
    pass();
    EXPECT_EQ(errorLines(), std::vector<std::string> { "*** ERROR: Cannot write history file " + (small / "h").string() + ": database or disk is full" });
    controller.reset();

    test::mustRun("mount -o remount,ro " + small.string());
    frontEnd.activity.clear();
    start("HistoryFile=" + (small / "new").string() + "\r\n");
    pass();
    EXPECT_EQ(errorLines(), std::vector<std::string> { "*** ERROR: Cannot write history file " + (small / "new").string() + ": unable to open database file" });
    controller.reset();
    test::mustRun("umount " + small.string());
}

TEST_F(HistoryEngine, TheConsoleTableReadsTheFileAndWritesNothing)
{
    start("MetricsFile=\r\n");
    pass();
    controller->save();
    controller.reset();
    struct Case
    {
        std::vector<std::string> arguments;
        int status;
        std::string out; // a line the output holds
        std::string err;
    };
    const std::string missing = (dir / "none.SEN").string();
    test::writeFile(dir / "off.SEN", "[SEN]\r\nHistoryFile=\r\n");
    test::writeFile(dir / "gone.SEN", "[SEN]\r\nHistoryFile=" + (dir / "gone.history").string() + "\r\n");
    const std::vector<Case> cases = {
        { { "/HISTORY" }, 0, "\ndown         127.0.0.2  TCP      22      0.0%    0.0%    0.0%         1", "" },
        { { "/HISTORY", missing }, 1, "", "SEN: cannot read the data file " + missing + ": No such file or directory" },
        { { "/HISTORY", (dir / "off.SEN").string() }, 1, "", "keeps no history" },
        { { "/HISTORY", (dir / "gone.SEN").string() }, 1, "", "cannot read the history file" },
    };
    const std::string file = test::readFile(history);
    for (const Case& c : cases) {
        std::ostringstream out;
        std::ostringstream err;
        std::vector<std::string> words { "SEN" };
        words.insert(words.end(), c.arguments.begin(), c.arguments.end());
        EXPECT_EQ(runHistoryReport(program.string(), parseCommandLine(words), out, err), c.status) << err.str();
        EXPECT_NE(out.str().find(c.out), std::string::npos) << out.str();
        EXPECT_NE(err.str().find(c.err), std::string::npos) << err.str();
    }
    EXPECT_EQ(test::readFile(history), file);
    EXPECT_FALSE(fs::exists(dir / "gone.history"));
}

TEST(HistoryReport, OneLinePerRowWithDashesWhereNothingIsKnown)
{
    std::vector<Destination> rows = { Destination::added("gateway \xc3\xa9", "10.0.0.1", "PING", ""),
        Destination::added("new\r\nrow", "10.0.0.2", "TCP", "22") };
    std::map<HistoryKey, HistorySummary> summaries;
    summaries[historyKeyOf(rows[0])].month = { 4, 1, 10, 4 };
    summaries[historyKeyOf(rows[0])].day = { 2, 0, 2, 1 };
    EXPECT_EQ(historyTable(rows, summaries),
        "Destination  Address   Service  Port    24 h  7 d   30 d  Failures  Mean probe\n"
        "gateway \xc3\xa9    10.0.0.1  PING           100.0%    -  75.0%         1        3 ms\n"
        "new  row     10.0.0.2  TCP      22         -    -      -         -           -\n");
}
