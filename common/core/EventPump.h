#pragma once

// Lets the front end serve its pending events (buttons, timers, repaint) from inside long
// work on the GUI thread. Implementations decide how often a call really pumps.

namespace core {

class EventPump
{
public:
    virtual ~EventPump() = default;
    virtual void processEvents() = 0;
};

} // namespace core
