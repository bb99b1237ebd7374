#include "Icmp.h"

#include "HostResolver.h"
#include "IcmpStatus.h"
#include "SocketAddress.h"
#include "WinsockErrors.h"
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

int TICMP::lookupName(const std::string& host, std::string& officialName, std::string& address)
{
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM; // one entry per address
    hints.ai_flags = AI_CANONNAME;
    addrinfo* result = nullptr;
    const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &result);
    if (rc != 0)
        return resolverError(rc);
    address = SocketAddress(result->ai_addr, result->ai_addrlen).text();
    officialName = result->ai_canonname ? result->ai_canonname : host;
    freeaddrinfo(result);
    return address.empty() ? int(WSANO_DATA) : 0;
}

void TICMP::display(const std::string& msg)
{
    if (OnDisplay)
        OnDisplay(*this, msg);
}

void TICMP::ResolveAddress()
{
    // The short and octal forms ("127.1", "0177.0.0.1") are numeric too; all ones is a name.
    const std::string text = WSocketTrim(m_address);
    const uint32_t numeric = WSocketNumericIPv4(text).value_or(NoAddress);
    const auto numeric6 = looksLikeIPv6(text) ? SocketAddress::fromNumeric(text) : std::nullopt;
    m_resolvedIP.clear();
    if (numeric != NoAddress || numeric6) {
        m_resolvedIP = numeric6 ? numeric6->text() : WSocketAddressText(numeric);
        m_resolvedName = m_address;
    } else {
        std::string officialName;
        std::string address;
        const int error = m_lookup(m_address, officialName, address);
        if (error != 0) {
            m_lastError = error;
            display("Unable to resolve " + m_address);
            return;
        }
        m_resolvedIP = address;
        m_resolvedName = officialName;
    }
    m_resolved = true;
}

int TICMP::SendEcho()
{
    m_lastError = 0;
    if (!m_resolved)
        ResolveAddress();
    // All ones is the "no address" mark, so 255.255.255.255 itself can never be pinged.
    if (m_resolvedIP.empty() || m_resolvedIP == WSocketAddressText(NoAddress)) {
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
