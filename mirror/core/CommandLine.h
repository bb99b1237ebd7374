#pragma once

// The mirror's command line, read once by the program's start and handed to the front end
// it starts. Each switch is compared whole, without regard to letter case; other words are
// kept as arguments, which only /RESTORE reads.

#include <string>
#include <vector>

namespace mirror {

struct CommandLine
{
    bool batch = false; // "/BATCH": one run, then the program ends without saving
    bool tray = false; // "/TRAY": hide in the tray at the first activation
    bool console = false; // "/CONSOLE": with /BATCH, run without a window
    bool restore = false; // "/RESTORE <destination> [<yyyy-mm-dd>/<hh-mm>]": list or restore, without a window
    std::vector<std::string> arguments; // the other words, in order
    std::string text; // the whole command line as typed, program first, for the batch caption
};

// `words` are the program's arguments, the program itself first.
CommandLine parseCommandLine(const std::vector<std::string>& words);

} // namespace mirror
