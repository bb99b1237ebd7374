#pragma once

// The mirror without a window, for cron jobs and machines without a display: one run, or a
// restore, on the console's outlets (ConsoleFrontEnd). The run is the controller's, as in the
// window, so the mail report is its last step here too.

#include <ostream>
#include <string>
#include <vector>

namespace mirror {

// Reads the settings beside `programPath`, runs the mirror once (with its report mail) and
// never rewrites the settings. Returns 0 when the run wrote no error line and showed no
// message, else 1. Settings that cannot be read, or that hold no enabled folder pair, are
// told on standard error and end the program with 1 before any run: cron must not take a
// night in which nothing was mirrored for a good one. Entries that are no folder pair are
// told too, and give 1 after the run of the others. `progressLine`: see ConsoleFrontEnd.
int runConsoleMirror(const std::string& programPath, std::ostream& out, std::ostream& err, bool progressLine = false);

// "RPL /RESTORE <destination>" lists the destination's archived runs on standard output, one
// "<yyyy-mm-dd>/<hh-mm> <n> items" line each; with a run's name as well it moves that run's
// items back, a line each. Returns 1 when the destination cannot be read or any item could
// not be restored, 2 for a command line without a destination, else 0.
int runConsoleRestore(
    const std::string& programPath, const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

} // namespace mirror
