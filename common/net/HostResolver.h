#pragma once

// Asynchronous IPv4 name look-up whose completion runs on the GUI thread. The blocking
// getaddrinfo runs on a pool thread; its answer is posted back and delivered only if this
// resolver still exists and no newer look-up or cancel has replaced it.
// Errors are given as the socket layer's numbers: 11001 host not found, 11002 try again,
// 11003 non-recoverable, 11004 no data.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace net {

// A getaddrinfo failure as the socket layer's look-up error number (11001 to 11004).
int resolverError(int gaiCode);

class HostResolver final
{
public:
    // error 0 and at least one dotted address, or an error number and no address.
    using Callback = std::function<void(int error, const std::vector<std::string>& addresses)>;

    HostResolver();
    ~HostResolver();
    HostResolver(const HostResolver&) = delete;
    HostResolver& operator=(const HostResolver&) = delete;

    // Starts a look-up; a pending one is dropped without its callback running.
    void lookup(const std::string& host, Callback done);
    // Drops a pending look-up; its callback never runs. Returns whether one was pending.
    bool cancel();
    bool pending() const;

    // The blocking look-up itself, for callers that must wait (numeric text resolves at once).
    static int resolveNow(const std::string& host, std::vector<std::string>& addresses);

    // Replaces the blocking look-up run in the background (tests: a slow or failing resolver).
    using BlockingLookup = std::function<int(const std::string& host, std::vector<std::string>& addresses)>;
    void setBlockingLookup(BlockingLookup lookup);

private:
    struct State;
    std::shared_ptr<State> m_state;
    BlockingLookup m_lookup;
};

} // namespace net
