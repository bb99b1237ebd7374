#pragma once

// Shows that a program is at work or wants attention: the window's busy state and the tray
// picture with its tip. A console has neither and ignores both.

#include <string>

namespace core {

// The two tray pictures.
enum class TrayState
{
    Normal, // picture 0
    Attention, // picture 1: a run in progress (mirror), a state change not yet seen (monitor)
};

class RunIndicator
{
public:
    virtual ~RunIndicator() = default;

    // Busy: the program's work runs and the controls say so; idle again with false.
    virtual void setBusy(bool busy) = 0;
    virtual void setTrayState(TrayState state, const std::string& tip) = 0;
};

} // namespace core
