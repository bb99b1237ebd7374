#pragma once

// The monitor's built-in help text and the look of the window that shows it.

#include "common/desktop/gui/ReadMeOptions.h"

#include <string>

namespace monitor {

// The whole text, lines joined with "\n"; long paragraphs are single lines that the window
// wraps. Its first line is the version line the data file stores as "VersionInfo".
std::string monitorReadMeText();

// Caption "SEN - ReadMe", 621 by 421 pixels, fixed-pitch 13-pixel font, editable (what is typed
// changes only what is shown), Escape does nothing.
desktop::ReadMeOptions monitorReadMeOptions();

} // namespace monitor
