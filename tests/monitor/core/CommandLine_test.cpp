// The command line: the switches in any letter case and order, others ignored, the last path wins.

#include "monitor/core/CommandLine.h"

#include <gtest/gtest.h>

namespace {

// The command line of SEN started with these arguments.
monitor::CommandLine parseCommandLine(const std::vector<std::string>& arguments)
{
    std::vector<std::string> words { "SEN" };
    words.insert(words.end(), arguments.begin(), arguments.end());
    return monitor::parseCommandLine(words);
}

} // namespace

TEST(CommandLine, SwitchesAndDataFile)
{
    struct Case
    {
        std::vector<std::string> arguments;
        bool tray;
        std::optional<std::string> dataFile;
    };
    const std::vector<Case> cases = {
        { {}, false, std::nullopt },
        { { "/tray" }, true, std::nullopt },
        { { "/TrAy", "a.SEN" }, true, "a.SEN" },
        { { "a.SEN", "", "/home/u/b.SEN" }, false, "/home/u/b.SEN" },
        { { "/CONSOLE", "/x" }, false, std::nullopt },
        { { "/TRAYS" }, false, std::nullopt },
        { { "/data/net 1.SEN", "/TRAY" }, true, "/data/net 1.SEN" },
        { { "/" }, false, "/" },
    };
    for (const Case& c : cases) {
        const auto line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.tray, c.tray);
        EXPECT_EQ(line.dataFile, c.dataFile);
    }
}

TEST(CommandLine, ConsoleSwitchesInAnyCaseAndOrder)
{
    struct Case
    {
        std::vector<std::string> arguments;
        bool console, once, nagios;
        std::optional<std::string> dataFile;
    };
    const std::vector<Case> cases = {
        { { "/CONSOLE" }, true, false, false, std::nullopt },
        { { "/once", "/Console", "net.SEN" }, true, true, false, "net.SEN" },
        { { "a.SEN", "/nagios", "/ONCE", "/console", "b.SEN" }, true, true, true, "b.SEN" },
        { { "/NAGIOS" }, false, false, true, std::nullopt },
        { { "/CONSOLES", "/ONCE2", "/NAGIOS/" }, false, false, false, "/NAGIOS/" },
    };
    for (const Case& c : cases) {
        const auto line = parseCommandLine(c.arguments);
        EXPECT_EQ(line.console, c.console) << c.arguments.front();
        EXPECT_EQ(line.once, c.once) << c.arguments.front();
        EXPECT_EQ(line.nagios, c.nagios) << c.arguments.front();
        EXPECT_EQ(line.dataFile, c.dataFile) << c.arguments.front();
        EXPECT_FALSE(line.tray);
    }
}

// The conventions every program keeps: help, version, "--", unknown options, and the check's
// time-out, which belongs to /NAGIOS alone.
TEST(CommandLine, HelpVersionOptionsAndTheChecksTimeOut)
{
    using Kind = core::CommandLineStop::Kind;
    struct Case
    {
        std::vector<std::string> arguments;
        std::optional<Kind> stop;
        std::string stopArgument;
        int timeout;
        std::optional<std::string> dataFile;
    };
    const std::vector<Case> cases = {
        { { "--help" }, Kind::Help, "--help", 50, std::nullopt },
        { { "/CONSOLE", "/?" }, Kind::Help, "/?", 50, std::nullopt },
        { { "/Help", "-x" }, Kind::Help, "/Help", 50, std::nullopt },
        { { "-x", "--help" }, Kind::UnknownOption, "-x", 50, std::nullopt },
        { { "/version" }, Kind::Version, "/version", 50, std::nullopt },
        { { "-" }, Kind::UnknownOption, "-", 50, std::nullopt },
        { { "--", "-net.SEN", "/TRAY" }, std::nullopt, "", 50, "/TRAY" },
        { { "/NAGIOS", "-t", "20" }, std::nullopt, "", 20, std::nullopt },
        { { "/NAGIOS", "-t7", "a.SEN" }, std::nullopt, "", 7, "a.SEN" },
        { { "--timeout=9", "/NAGIOS" }, std::nullopt, "", 9, std::nullopt },
        { { "/NAGIOS", "--timeout", "x" }, Kind::BadValue, "--timeout", 50, std::nullopt },
        { { "/NAGIOS", "-t" }, Kind::BadValue, "-t", 50, std::nullopt },
        { { "/NAGIOS", "-t", "86401" }, Kind::BadValue, "-t", 50, std::nullopt },
        { { "/CONSOLE", "-t", "20" }, Kind::UnknownOption, "-t", 20, std::nullopt },
    };
    for (const Case& c : cases) {
        const auto line = parseCommandLine(c.arguments);
        ASSERT_EQ(line.stop.has_value(), c.stop.has_value()) << c.arguments.front();
        if (c.stop) {
            EXPECT_EQ(line.stop->kind, *c.stop) << c.arguments.front();
            EXPECT_EQ(line.stop->argument, c.stopArgument) << c.arguments.front();
        }
        EXPECT_EQ(line.checkTimeout, c.timeout) << c.arguments.front();
        EXPECT_EQ(line.dataFile, c.dataFile) << c.arguments.front();
    }
    EXPECT_EQ(parseCommandLine({ "/TRAYS", "/x" }).ignoredSwitches, (std::vector<std::string> { "/TRAYS", "/x" }));
}
