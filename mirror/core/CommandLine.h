#pragma once

// The mirror's command line, read once by the program's start and handed to the front end
// it starts. Each switch is compared whole, without regard to letter case; other words are
// kept as arguments, which only /RESTORE reads (without it, one that looks like a switch is
// one RPL does not know, and a console run warns about it). Help, version, "--" and unknown
// options follow the shared conventions (common/core/StandardOptions.h).

#include "common/core/StandardOptions.h"

#include <optional>
#include <string>
#include <vector>

namespace mirror {

// The version line of "--version" and the read-me.
inline constexpr const char* VersionText = "RPL - Version 2.10";

struct CommandLine
{
    bool batch = false; // "/BATCH": one run, then the program ends without saving
    bool tray = false; // "/TRAY": hide in the tray at the first activation
    bool console = false; // "/CONSOLE": with /BATCH, run without a window
    bool restore = false; // "/RESTORE <destination> [<yyyy-mm-dd>/<hh-mm>]": list or restore, without a window
    std::vector<std::string> arguments; // the other words, in order
    std::string text; // the whole command line as typed, program first, for the batch caption
    std::vector<std::string> ignoredSwitches; // as typed
    std::optional<core::CommandLineStop> stop; // help, version or a usage error: nothing runs
};

// `words` are the program's arguments, the program itself first.
CommandLine parseCommandLine(const std::vector<std::string>& words);

// RPL's usage and version texts.
core::ProgramUsage programUsage();

} // namespace mirror
