#pragma once

// The monitor's tray picture and tip: picture 0 (normal) or 1 (attention, a state change the
// user has not seen yet). The engine signals changes here; a click on the icon takes the
// attention picture back.

#include "common/core/RunIndicator.h"

#include <functional>
#include <string>

namespace monitor {

class TrayStatus
{
public:
    // `foreground` tells whether the program is the active application.
    TrayStatus(core::RunIndicator& indicator, std::function<bool()> foreground);

    // Shows picture n (0 or 1) with the current tip; any other n does nothing.
    void SetTrayPicture(int n);
    // The text becomes the tip; the attention picture shows unless the program is in front.
    void SignalChange(const std::string& text);
    // The tip and picture of a start.
    void reset(const std::string& tip);

    int picture() const { return m_picture; }
    const std::string& tip() const { return m_tip; }

private:
    void show();

    core::RunIndicator& m_indicator;
    std::function<bool()> m_foreground;
    int m_picture = 0;
    std::string m_tip;
};

} // namespace monitor
