#pragma once

// Asynchronous name look-up (IPv4 and IPv6) whose completion runs on the GUI thread. The blocking
// getaddrinfo runs through the event-loop adapter's runInBackground, on its own small pool;
// the answer is delivered only if this resolver still exists and no newer look-up or cancel
// has replaced it. A look-up stuck on a dead DNS server holds one pool thread until the system
// gives up, and nothing else: not the GUI, not Qt's global pool, not the program's exit.
// Errors are the socket layer's numbers: WSAHOST_NOT_FOUND, WSATRY_AGAIN, WSANO_RECOVERY,
// WSANO_DATA.

#include "common/core/EventLoop.h"

#include <functional>
#include <string>
#include <vector>

namespace net {

// A getaddrinfo failure as the socket layer's look-up error number (11001 to 11004).
int resolverError(int gaiCode);

class HostResolver final
{
public:
    // error 0 and at least one numeric address (dotted IPv4 or IPv6 text) in the resolver's
    // order, or an error number and no address.
    using Callback = std::function<void(int error, const std::vector<std::string>& addresses)>;
    // The blocking look-up: fills `addresses` and returns 0, or returns an error number.
    using BlockingLookup = std::function<int(const std::string& host, std::vector<std::string>& addresses)>;

    HostResolver() = default;
    ~HostResolver();
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // Starts a look-up; a pending one is dropped without its callback running. The callback
    // may destroy the resolver.
    void lookup(const std::string& host, Callback done);
    // Drops a pending look-up; its callback never runs. Returns whether one was pending.
    bool cancel();
    bool pending() const { return m_job.pending(); }

    // The blocking look-up itself, for callers that must wait (numeric text resolves at once).
    static int resolveNow(const std::string& host, std::vector<std::string>& addresses);

    // Replaces the blocking look-up run in the background (tests: a slow or failing resolver);
    // empty restores resolveNow.
    void setBlockingLookup(BlockingLookup lookup) { m_lookup = std::move(lookup); }

private:
    core::BackgroundJob m_job;
    BlockingLookup m_lookup;
};

} // namespace net
