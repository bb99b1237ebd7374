#include "SyncWait.h"

#include "detail/RequestEngine.h"

#include "common/core/EventLoop.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace net {

using Clock = std::chrono::steady_clock;

struct SyncWait::State
{
    bool destroyed = false;
    bool waiting = false;
    std::chrono::seconds timeout { kDefaultTimeout };
    Clock::time_point deadline;
};

SyncWait::SyncWait()
    : m_state(std::make_shared<State>())
{
}

SyncWait::~SyncWait()
{
    m_state->destroyed = true;
}

int SyncWait::effectiveTimeout(int timeoutSeconds)
{
    return timeoutSeconds > 0 ? timeoutSeconds : kDefaultTimeout;
}

int SyncWait::effectiveTimeoutMs(int timeoutSeconds)
{
    return static_cast<int>(std::min<long long>(effectiveTimeout(timeoutSeconds) * 1000LL, INT_MAX));
}

void SyncWait::restart()
{
    if (m_state->waiting)
        m_state->deadline = Clock::now() + m_state->timeout;
}

SyncWait::Outcome SyncWait::wait(int timeoutSeconds, const std::function<bool()>& over)
{
    // Held here, so that the state outlives an owner destroyed during the wait.
    const std::shared_ptr<State> state = m_state;
    state->timeout = std::chrono::seconds(effectiveTimeout(timeoutSeconds));
    state->deadline = Clock::now() + state->timeout;
    state->waiting = true;
    const auto done = [&] { return state->destroyed || over(); };
    for (;;) {
        const Clock::time_point deadline = state->deadline;
        const bool finished = core::waitUntil(done, deadline);
        if (state->destroyed)
            return Outcome::Destroyed;
        if (finished)
            break;
        // The deadline moved while waiting (a line went out or came in): wait on. Otherwise the
        // time is up, or the program is quitting and every wait ends at once.
        if (state->deadline == deadline || Clock::now() < deadline)
            break;
    }
    state->waiting = false;
    return over() ? Outcome::Done : Outcome::TimedOut;
}

bool SyncWait::run(RequestEngine& engine, int timeoutSeconds, const Request& request)
{
    const auto alive = engine.alive();
    try {
        request.start();
    } catch (const std::exception&) {
        return false;
    }
    if (alive.expired())
        return false;
    switch (wait(timeoutSeconds, request.ready)) {
    case Outcome::Done:
        return request.result() == 0;
    case Outcome::Destroyed:
        return false;
    case Outcome::TimedOut:
        break;
    }
    request.abort();
    if (alive.expired())
        return false;
    engine.timedOut();
    return false;
}

} // namespace net
