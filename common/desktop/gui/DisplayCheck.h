#pragma once

// Whether a window can be shown: a display, or a window platform chosen by hand
// (QT_QPA_PLATFORM=offscreen, vnc, ...). Without one the programs run their console front end.

namespace desktop {

bool hasDisplay();

} // namespace desktop
