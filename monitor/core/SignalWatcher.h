#pragma once

// Turns the signals a service manager sends (SIGTERM, SIGINT, SIGHUP) into calls on the event
// loop's thread. The signal handler only writes the signal's number into a pipe of its own
// (the self-pipe); the event loop sees the pipe readable through core::FdWatcher and calls the
// handler there, so no work ever runs inside a signal handler. A signal that comes again
// before the loop has read the first one may be told once only, as signals themselves are.
//
// One watcher per process at a time. The pipe's ends are closed on exec, so programs started
// meanwhile inherit neither; they get the default actions, since a caught signal is reset by
// exec. The signals go back to their default action when the watcher goes.

#include "common/core/EventLoop.h"

#include <functional>
#include <memory>
#include <vector>

namespace monitor {

class SignalWatcher final
{
public:
    using Handler = std::function<void(int signalNumber)>;

    // Throws std::system_error when the pipe or a handler cannot be installed. `handler` runs
    // on the loop's thread and must not destroy the watcher.
    SignalWatcher(const std::vector<int>& signalNumbers, Handler handler);
    ~SignalWatcher();
    SignalWatcher(const SignalWatcher&) = delete;
    SignalWatcher& operator=(const SignalWatcher&) = delete;

private:
    void drain();
    void release();

    std::vector<int> m_signals;
    Handler m_handler;
    int m_readFd = -1;
    std::unique_ptr<core::FdWatcher> m_watcher;
};

} // namespace monitor
