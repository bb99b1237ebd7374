#pragma once

// How a program's read-me window looks and behaves. Plain values, so that a program can describe
// its window next to its text without pulling in a widget header.

#include <string>

namespace desktop {

struct ReadMeOptions
{
    std::string caption;
    std::string text; // lines joined with "\n"
    int width = 600; // size at the first show, in pixels
    int height = 400;
    int fontPixelHeight = 12; // character height of the fixed-pitch font
    bool readOnly = true; // editable text changes only what is shown, never a file
    bool escapeHides = false; // Escape in the text hides the window
};

} // namespace desktop
