#pragma once

// The monitor's command line, read once at the start. Switches are compared whole, without
// regard to letter case: "/TRAY" starts hidden in the tray; "/CONSOLE" runs without a window;
// "/ONCE" (without a window) runs one test pass and ends; "/NAGIOS" runs one pass without a
// window and prints one line for a monitoring system; "/HISTORY" prints the destinations' uptime
// table and tests nothing. The window ignores the last two. Other switches are ignored, and
// the last other non-empty argument names the data file. Absolute paths begin with "/" here too, so a switch is "/"
// followed by letters only; "/home/u/net.SEN" is a path.

#include <optional>
#include <string>
#include <vector>

namespace monitor {

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
};

// `arguments` without the program itself.
CommandLine parseCommandLine(const std::vector<std::string>& arguments);

} // namespace monitor
