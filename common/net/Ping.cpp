#include "Ping.h"

#include "WinsockErrors.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <stdexcept>

namespace net {

namespace {

// What the resolver cannot take: a name that is no C string, or longer than any DNS name.
constexpr size_t MaxHostNameLength = 255;

std::string cannotStartText(const std::string& host, int error)
{
    // "%s: can't start DNS lookup, error #%d"
    return host + ": can't start DNS lookup, error #" + std::to_string(error);
}

} // namespace

TPing::TPing()
    : m_icmp(std::make_unique<TICMP>())
{
    m_icmp->OnDisplay = [this](TICMP& icmp, const std::string& msg) {
        if (OnDisplay)
            OnDisplay(*this, icmp, msg);
    };
    m_icmp->OnEchoRequest = [this](TICMP& icmp) {
        if (OnEchoRequest)
            OnEchoRequest(*this, icmp);
    };
    m_icmp->OnEchoReply = [this](TICMP& icmp, int status) {
        if (OnEchoReply)
            OnEchoReply(*this, icmp, status);
    };
}

TPing::~TPing()
{
    m_resolver.cancel();
}

void TPing::DnsLookup(const std::string& HostName)
{
    m_resolver.cancel();
    m_dnsResult.clear();
    const bool cString = HostName.find('\0') == std::string::npos;
    const in_addr_t numeric = cString ? inet_addr(HostName.c_str()) : INADDR_NONE;
    if (numeric != INADDR_NONE) {
        char text[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &numeric, text, sizeof text);
        m_dnsResult = text;
        lookupDone(0);
        return;
    }
    if (!cString || HostName.size() > MaxHostNameLength)
        throw std::runtime_error(cannotStartText(HostName, WSAEINVAL));
    m_resolver.lookup(HostName, [this](int error, const std::vector<std::string>& addresses) {
        if (error == 0)
            m_dnsResult = addresses.front();
        lookupDone(uint16_t(error));
    });
}

void TPing::CancelDnsLookup()
{
    if (m_resolver.cancel())
        lookupDone(LookupCancelled);
}

void TPing::lookupDone(uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(*this, error);
}

} // namespace net
