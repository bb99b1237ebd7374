#pragma once

// The monitor's command line, read once by the program's start and handed to the front end it
// starts. Switches are compared whole, without regard to letter case: "/TRAY" starts hidden in
// the tray; "/CONSOLE" runs without a window; "/ONCE" (without a window) runs one test pass and
// ends; "/NAGIOS" runs one pass without a window and prints one line for a monitoring system,
// and takes "-t <seconds>" (also "-t50", "--timeout 50", "--timeout=50") as the time the check
// may take; "/HISTORY" prints the destinations' uptime table and tests nothing. The window
// ignores the last three. Other switches are ignored, and the last other non-empty argument
// names the data file. Absolute paths begin with "/" here too, so a switch is "/" followed by
// letters only; "/home/u/net.SEN" is a path. Help, version, "--" and unknown options follow
// the shared conventions (common/core/StandardOptions.h).

#include "common/core/StandardOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace monitor {

// Below the 60 seconds after which Icinga and Nagios give up on a check.
inline constexpr int DefaultCheckTimeout = 50;
inline constexpr int MaxCheckTimeout = 86400;

struct CommandLine
{
    bool tray = false;
    std::optional<std::string> dataFile;
    // Data files named before the last one, which is the one used.
    std::vector<std::string> unusedDataFiles {};
    bool console = false;
    bool once = false;
    bool nagios = false;
    bool history = false; // "/HISTORY": print the uptime table and end
    int checkTimeout = DefaultCheckTimeout; // seconds
    std::vector<std::string> ignoredSwitches {}; // as typed
    std::optional<core::CommandLineStop> stop {}; // help, version or a usage error: nothing runs
};

// `words` are the program's arguments, the program itself first.
CommandLine parseCommandLine(const std::vector<std::string>& words);

// SEN's usage and version texts.
core::ProgramUsage programUsage();

} // namespace monitor
