#pragma once

// The flag that stops long work: a test pass, a mirror run. The work clears it when it starts
// and reads it between its steps; Abort, Stop, a stopping error or the close raise it, and the
// work then ends after the step in progress. One owner holds it and hands references to whoever
// raises or reads it, so no class clears another's bool.

namespace core {

class StopFlag final
{
public:
    // `raised`: the state before any work has started.
    explicit StopFlag(bool raised = false)
        : m_raised(raised)
    {
    }

    void clear() { m_raised = false; }
    void raise() { m_raised = true; }
    bool raised() const { return m_raised; }

private:
    bool m_raised;
};

} // namespace core
