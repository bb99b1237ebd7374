#include "HostResolver.h"

#include <QCoreApplication>
#include <QThreadPool>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace net {

struct HostResolver::State
{
    unsigned generation = 0;
    bool pending = false;
};

int resolverError(int code)
{
    switch (code) {
    case EAI_NONAME:
#ifdef EAI_NODATA
    case EAI_NODATA:
#endif
        return 11001;
    case EAI_AGAIN:
        return 11002;
    case EAI_FAIL:
        return 11003;
    default:
        return 11004;
    }
}

HostResolver::HostResolver()
    : m_state(std::make_shared<State>())
{
}

HostResolver::~HostResolver() = default;

int HostResolver::resolveNow(const std::string& host, std::vector<std::string>& addresses)
{
    addresses.clear();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0)
        return resolverError(rc);
    for (addrinfo* ai = result; ai; ai = ai->ai_next) {
        char text[INET_ADDRSTRLEN] = {};
        const auto* sin = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        if (inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) {
            std::string address(text);
            bool seen = false;
            for (const auto& known : addresses)
                seen = seen || known == address;
            if (!seen)
                addresses.push_back(address);
        }
    }
    freeaddrinfo(result);
    return addresses.empty() ? 11004 : 0;
}

void HostResolver::lookup(const std::string& host, Callback done)
{
    const unsigned generation = ++m_state->generation;
    m_state->pending = true;
    std::weak_ptr<State> weak = m_state;
    BlockingLookup blocking = m_lookup ? m_lookup : BlockingLookup(&HostResolver::resolveNow);
    QThreadPool::globalInstance()->start([host, blocking, done = std::move(done), weak, generation]() mutable {
        std::vector<std::string> addresses;
        const int error = blocking(host, addresses);
        // Posted to the application object, which lives on the GUI thread.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, generation, error, addresses = std::move(addresses), done = std::move(done)] {
                auto state = weak.lock();
                if (!state || state->generation != generation || !state->pending)
                    return;
                state->pending = false;
                done(error, addresses);
            },
            Qt::QueuedConnection);
    });
}

bool HostResolver::cancel()
{
    const bool was = m_state->pending;
    m_state->pending = false;
    ++m_state->generation;
    return was;
}

void HostResolver::setBlockingLookup(BlockingLookup lookup) { m_lookup = std::move(lookup); }

bool HostResolver::pending() const { return m_state->pending; }

} // namespace net
