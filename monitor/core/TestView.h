#pragma once

// What the test engine shows beyond the activity pane and the tray: the interval box's hint,
// the busy-in-background pointer, and whether the program is in the foreground (a state
// change raises the tray's attention picture only when it is not). A console shows nothing
// and counts as in the background.

#include <string>

namespace monitor {

class TestView
{
public:
    virtual ~TestView() = default;
    // "Next Time = " + date-time text.
    virtual void showTimerHint(const std::string& hint) = 0;
    // On while at least one destination is under test.
    virtual void showTesting(bool testing) = 0;
    // Whether the program is the active application.
    virtual bool isForeground() const = 0;
};

} // namespace monitor
