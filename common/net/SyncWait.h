#pragma once

// The blocking half of a line-protocol client (SyncOpen, SyncMail, SyncQuit, ...): it sleeps in
// the event loop, so other events keep running, until the request is over, the time-out passes
// or the program quits. The client restarts the time-out with every line it sends or receives
// (restart()), so the limit applies to each step, not to a whole long transfer. A time-out of
// zero or below means the default of 15 seconds: no wait is endless. The client may be
// destroyed while it waits (by a handler of one of its events): the wait then ends at once,
// touching nothing of it.

#include <chrono>
#include <functional>
#include <memory>

namespace net {

class RequestEngine;

class SyncWait final
{
public:
    static constexpr int kDefaultTimeout = 15;

    enum class Outcome
    {
        Done, // `over()` held
        TimedOut, // the time-out passed, or the program is quitting
        Destroyed, // the owner was destroyed while waiting
    };

    SyncWait();
    ~SyncWait();
    SyncWait(const SyncWait&) = delete;
    SyncWait& operator=(const SyncWait&) = delete;

    // Waits until `over()` holds, with a time-out of `timeoutSeconds` (the default when not
    // positive). `over` is not called once the owner is gone.
    Outcome wait(int timeoutSeconds, const std::function<bool()>& over);
    // A whole blocking request of a client whose requests run on `engine`: `start` starts it (an
    // exception from it fails the request), then the wait lasts until `ready()`. On a time-out
    // the request is aborted and given the engine's time-out reply. True when it ended with a
    // result of 0. Nothing of the client is touched once it has been destroyed.
    struct Request
    {
        std::function<void()> start;
        std::function<bool()> ready;
        std::function<int()> result;
        std::function<void()> abort;
    };
    bool run(RequestEngine& engine, int timeoutSeconds, const Request& request);
    // Moves the deadline of a running wait to now plus its time-out; nothing when none runs.
    void restart();
    static int effectiveTimeout(int timeoutSeconds);
    // The same in milliseconds, at most INT_MAX.
    static int effectiveTimeoutMs(int timeoutSeconds);

private:
    struct State;
    std::shared_ptr<State> m_state;
};

} // namespace net
