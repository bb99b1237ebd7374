#pragma once

// What the test engine asks of a probe: one attempt at a time, started with the test's context
// and ended by a call back, never by a wait that nests in the caller. The engine runs the rest
// of a test around it (start line, retry rule, row, log line, alerts; see TestEngine), so a
// probe only makes its attempt and writes its own progress lines.

#include "monitor/core/Service.h"
#include "monitor/core/TestContext.h"

#include <functional>
#include <memory>
#include <string>

namespace monitor {

enum class Attempt
{
    First,
    Retry, // after a first failure of a destination that was "OK": errors give no message
};

// Where a probe's lines go. The engine holds them back while an earlier destination of a pass
// is still under test, so that a pass's lines come out in list order.
class ProbeLines
{
public:
    virtual ~ProbeLines() = default;
    virtual void activity(const std::string& line) = 0;
    virtual void log(const std::string& line) = 0;
};

class Probe
{
public:
    using Done = std::function<void(bool ok)>;

    virtual ~Probe() = default;

    // Starts one attempt. `done` is called exactly once, with true when the attempt succeeded;
    // it may be called before start returns. `lines` stays valid until then. No failure of the
    // attempt escapes as an exception: it ends as done(false) with the probe's own lines.
    virtual void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) = 0;
    // Asks the running attempt to end as soon as it can; done follows. A probe whose wait
    // cannot be cut short lets it run out.
    virtual void abort() = 0;
    // Right after the engine's result line of the test: lines about the last attempt that
    // belong below it.
    virtual void reportResult(bool /*ok*/, ProbeLines& /*lines*/) { }
    // Why the last attempt failed, in a few words ("connection refused", "timed out"); empty
    // when the probe cannot tell.
    virtual std::string failureReason() const { return m_reason; }

protected:
    std::string m_reason;
};

class ProbeFactory
{
public:
    virtual ~ProbeFactory() = default;
    // A new probe of the service; null when there is none for it.
    virtual std::unique_ptr<Probe> createProbe(Service service) = 0;
};

} // namespace monitor
