#pragma once

// The mirror's running flag: set while a run may go on, cleared by Stop, by a stopping error
// and by closing the window. The controller owns it; the engine and the status output read
// and clear it through this object.

namespace mirror {

class RunFlag final
{
public:
    void start() { m_running = true; }
    void stop() { m_running = false; }
    bool running() const { return m_running; }

private:
    bool m_running = false;
};

} // namespace mirror
