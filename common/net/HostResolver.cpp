#include "HostResolver.h"

#include "SocketAddress.h"
#include "WinsockErrors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <memory>

namespace net {

int resolverError(int code)
{
    switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return WSAHOST_NOT_FOUND;
    case EAI_AGAIN:
        return WSATRY_AGAIN;
    case EAI_FAIL:
        return WSANO_RECOVERY;
    default:
        return WSANO_DATA;
    }
}

HostResolver::~HostResolver()
{
    m_job.cancel();
}

int HostResolver::resolveNow(const std::string& host, std::vector<std::string>& addresses)
{
    addresses.clear();
    // Both families, in the order the resolver sorts them (RFC 6724 and the system's gai.conf).
    // No AI_ADDRCONFIG: it ignores loopback addresses, so a host whose only IPv6 address is ::1
    // would never reach ::1.
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0)
        return resolverError(rc);
    for (addrinfo* ai = result; ai; ai = ai->ai_next) {
        const std::string address = SocketAddress(ai->ai_addr, ai->ai_addrlen).text();
        if (!address.empty() && std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    freeaddrinfo(result);
    return addresses.empty() ? int(WSANO_DATA) : 0;
}

void HostResolver::lookup(const std::string& host, Callback done)
{
    m_job.cancel();
    struct Answer
    {
        int error = 0;
        std::vector<std::string> addresses;
    };
    auto answer = std::make_shared<Answer>();
    BlockingLookup blocking = m_lookup ? m_lookup : BlockingLookup(&HostResolver::resolveNow);
    // The delivery never runs after cancel(), which the destructor calls: `this` is alive then.
    m_job = core::runInBackground([host, blocking, answer] { answer->error = blocking(host, answer->addresses); },
        [answer, done = std::move(done)] { done(answer->error, answer->addresses); });
}

bool HostResolver::cancel()
{
    const bool was = m_job.pending();
    m_job.cancel();
    return was;
}

} // namespace net
