#include "Icmp.h"

#include "HostResolver.h"
#include "IcmpStatus.h"
#include "WSocketResolve.h"

#include "common/core/EventLoop.h"

#include <netdb.h>
#include <netinet/in.h>

#include <chrono>
#include <optional>

namespace net {

namespace {

constexpr uint32_t NoAddress = 0xffffffff;

} // namespace

TICMP::TICMP()
    : m_lookup(&TICMP::lookupName)
{
    m_echo.open();
}

void TICMP::setAddress(const std::string& address)
{
    if (address == m_address)
        return;
    m_address = address;
    m_resolved = false;
}

std::string TICMP::ErrorText() const
{
    return IcmpStatusText(m_lastError);
}

int TICMP::lookupName(const std::string& host, std::string& officialName, uint32_t& address)
{
    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0)
        return resolverError(rc);
    address = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr.s_addr;
    officialName = result->ai_canonname ? result->ai_canonname : host;
    freeaddrinfo(result);
    return 0;
}

void TICMP::display(const std::string& msg)
{
    if (OnDisplay)
        OnDisplay(*this, msg);
}

void TICMP::ResolveAddress()
{
    // The short and octal forms ("127.1", "0177.0.0.1") are numeric too.
    m_ip = WSocketNumericIPv4(WSocketTrim(m_address)).value_or(NoAddress);
    if (m_ip == NoAddress) {
        std::string officialName;
        uint32_t address = NoAddress;
        const int error = m_lookup(m_address, officialName, address);
        if (error != 0) {
            m_lastError = error;
            display("Unable to resolve " + m_address);
            return;
        }
        m_ip = address;
        m_resolvedName = officialName;
    } else {
        m_resolvedName = m_address;
    }
    m_resolvedIP = WSocketAddressText(m_ip);
    m_resolved = true;
}

int TICMP::SendEcho()
{
    m_lastError = 0;
    if (!m_resolved)
        ResolveAddress();
    // All ones is the "no address" mark, so 255.255.255.255 itself can never be pinged.
    if (m_ip == NoAddress) {
        m_lastError = IcmpStatusBadDestination;
        display("Invalid host address");
        return 0;
    }
    m_lastReply = IcmpEchoReply {};
    if (OnEchoRequest)
        OnEchoRequest(*this);
    const int replies = exchange();
    if (OnEchoReply)
        OnEchoReply(*this, replies);
    return replies;
}

// One echo by the asynchronous engine, waited for in the event loop; sets LastReply and
// LastError.
int TICMP::exchange()
{
    std::optional<int> replies;
    m_echo.setAddress(m_resolvedIP);
    m_echo.start([&replies](int count) { replies = count; });
    // The echo ends by its own deadline; this one only ends the wait of a quitting program.
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(Timeout())
        + std::chrono::seconds(1);
    if (!core::waitUntil([&replies] { return replies.has_value(); }, limit)) {
        m_echo.cancel();
        m_lastError = IcmpStatusTimedOut;
        return 0;
    }
    m_lastReply = m_echo.LastReply();
    m_lastError = m_echo.LastError();
    return *replies;
}

} // namespace net
