#pragma once

// Shows the answer to "--help", "--version" or a usage error (core::answerFor) where its
// reader is: on standard output or standard error, and, for a window program started without
// a terminal (from a desktop menu, where nobody reads those streams), in a message box too.

#include "common/core/StandardOptions.h"

namespace desktop {

// `windowProgram`: the command line would have opened a window. Returns the answer's status.
int showCommandLineAnswer(int& argc, char** argv, const core::CommandLineAnswer& answer, bool windowProgram);

// Whether any standard stream is a terminal.
bool startedFromTerminal();

} // namespace desktop
