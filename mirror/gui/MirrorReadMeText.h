#pragma once

// The mirror's built-in help text and the look of the window that shows it.

#include "common/desktop/gui/ReadMeOptions.h"

#include <string>

namespace mirror {

// The whole text, lines joined with "\n"; long paragraphs are single lines that the window wraps.
std::string mirrorReadMeText();

// Caption "RPL - ReadMe", 527 by 400 pixels, fixed-pitch 11-pixel font, read-only, Escape hides.
desktop::ReadMeOptions mirrorReadMeOptions();

} // namespace mirror
