#include "Ping.h"

#include "SocketAddress.h"
#include "WSocketResolve.h"
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

TPing::TPing() = default;

TICMP& TPing::icmp()
{
    if (m_icmp)
        return *m_icmp;
    auto created = std::make_unique<TICMP>();
    created->setAddress(m_address);
    created->setSize(m_size);
    created->setTimeout(m_timeout);
    created->setTTL(m_ttl);
    created->setFlags(m_flags);
    m_icmp = std::move(created);
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
    return *m_icmp;
}

void TPing::setAddress(const std::string& address)
{
    m_address = address;
    if (m_icmp)
        m_icmp->setAddress(address);
}

void TPing::setSize(int size)
{
    m_size = size;
    if (m_icmp)
        m_icmp->setSize(size);
}

void TPing::setTimeout(uint32_t milliseconds)
{
    m_timeout = milliseconds;
    if (m_icmp)
        m_icmp->setTimeout(milliseconds);
}

void TPing::setTTL(int ttl)
{
    m_ttl = ttl;
    if (m_icmp)
        m_icmp->setTTL(ttl);
}

void TPing::setFlags(int flags)
{
    m_flags = flags;
    if (m_icmp)
        m_icmp->setFlags(flags);
}

int TPing::SendEcho()
{
    return icmp().SendEcho();
}

std::string TPing::ResolvedIP() const
{
    return m_icmp ? m_icmp->ResolvedIP() : std::string();
}

std::string TPing::ErrorText() const
{
    return m_icmp ? m_icmp->ErrorText() : std::string();
}

IcmpEchoReply TPing::LastReply() const
{
    return m_icmp ? m_icmp->LastReply() : IcmpEchoReply {};
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
    const std::string trimmed = WSocketTrim(HostName);
    const in_addr_t numeric = WSocketNumericIPv4(trimmed).value_or(INADDR_NONE);
    const auto numeric6 = looksLikeIPv6(trimmed) ? SocketAddress::fromNumeric(trimmed) : std::nullopt;
    if (numeric != INADDR_NONE || numeric6) {
        m_dnsResult = numeric6 ? numeric6->text() : WSocketAddressText(numeric);
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
