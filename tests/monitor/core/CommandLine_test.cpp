// The command line: the tray switch in any letter case, other switches ignored, the last path wins.

#include "monitor/core/CommandLine.h"

#include <gtest/gtest.h>

using monitor::parseCommandLine;

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
