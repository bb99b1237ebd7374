#pragma once

// The monitor's command line, read once at the start: "/TRAY" in any letter case starts hidden
// in the tray, other switches are ignored, and the last other non-empty argument names the
// data file. Absolute paths begin with "/" here too, so a switch is "/" followed by letters
// only ("/TRAY", "/Console"); "/home/u/net.SEN" is a path.

#include <optional>
#include <string>
#include <vector>

namespace monitor {

struct CommandLine
{
    bool tray = false;
    std::optional<std::string> dataFile;
};

// `arguments` without the program itself.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

} // namespace monitor
