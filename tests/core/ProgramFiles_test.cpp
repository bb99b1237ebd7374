// The files that belong to a program: names beside it, the log line writer, and the interval
// boxes' minutes turned into timer milliseconds.

#include "common/core/LineWriter.h"
#include "common/core/ProgramPaths.h"
#include "common/core/TimerInterval.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <limits>
#include <unistd.h>

TEST(ProgramPaths, ExtensionIsReplacedOrAdded)
{
    const auto beside = [](const std::string& program) {
        return core::programFilesFor(program, core::ProgramFolder::Own, {});
    };
    EXPECT_EQ(beside("/opt/tools/RPL").settings, "/opt/tools/RPL.INI");
    EXPECT_EQ(beside("/opt/v1.2/RPL").settings, "/opt/v1.2/RPL.INI");
    EXPECT_EQ(beside("/opt/tools/RPL.EXE").settings, "/opt/tools/RPL.INI");
    EXPECT_EQ(beside("/opt/tools/rpl.bin").log, "/opt/tools/rpl.LOG");
    EXPECT_EQ(beside("RPL").log, "RPL.LOG");
    EXPECT_EQ(beside("/home/u/.rpl").log, "/home/u/.rpl.LOG");
    EXPECT_EQ(core::withExtension("/home/u/.rpl", ".INI"), "/home/u/.rpl.INI");
}

TEST(LineWriter, AppendsLinesWithCrLfAndReportsTheCause)
{
    test::TempDir dir;
    const auto log = dir / "a.log";
    EXPECT_EQ(core::appendLine(log.string(), "one"), 0);
    EXPECT_EQ(core::appendLine(log.string(), ""), 0);
    EXPECT_EQ(core::appendLine(log.string(), "two\xc3\xa9"), 0);
    EXPECT_EQ(test::readFile(log), "one\r\n\r\ntwo\xc3\xa9\r\n");
    EXPECT_EQ(core::appendLine(log.string(), "fresh", core::WriteMode::Truncate), 0);
    EXPECT_EQ(test::readFile(log), "fresh\r\n");

    EXPECT_EQ(core::appendLine((dir / "missing" / "b.log").string(), "x"), ENOENT);
    EXPECT_EQ(core::appendLine(dir.str(), "x"), EISDIR);
    // A device is no log file: refused without being opened.
    EXPECT_EQ(core::appendLine("/dev/full", "x"), core::NotRegularFile);
}

TEST(TimerInterval, WholeMinutesAndTheTimersRange)
{
    const struct
    {
        const char* text;
        std::optional<long long> whole;
    } words[] = { { "60", 60 },
        { "0", 0 },
        { "007", 7 },
        { "", std::nullopt },
        { "-3", std::nullopt },
        { "0.5", std::nullopt },
        { " 5", std::nullopt },
        { "abc", std::nullopt },
        { "9999999999999999999", std::nullopt } };
    for (const auto& w : words)
        EXPECT_EQ(core::wholeNumberOf(w.text), w.whole) << w.text;

    EXPECT_EQ(core::intervalFromMinutes(1), 60000);
    EXPECT_EQ(core::intervalFromMinutes(0.5), 30000);
    EXPECT_EQ(core::intervalFromMinutes(0.00001), 0); // truncated, not rounded
    EXPECT_EQ(core::intervalFromMinutes(35791), 35791 * 60000);
    EXPECT_EQ(core::intervalFromMinutes(35792), std::nullopt);
    EXPECT_EQ(core::intervalFromMinutes(-1), std::nullopt);
    EXPECT_EQ(core::intervalFromMinutes(std::numeric_limits<double>::quiet_NaN()), std::nullopt);
}
