#include "SocketAddress.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <cstring>

namespace net {

namespace {

bool hasBlankOrControl(const std::string& text)
{
    for (const char c : text) {
        if (static_cast<unsigned char>(c) <= ' ' || c == 0x7f)
            return true;
    }
    return false;
}

// The zone of a scoped IPv6 address: an interface number or name; 0 when there is none.
std::optional<std::uint32_t> zoneIndex(const std::string& zone)
{
    if (zone.empty() || zone.size() >= IF_NAMESIZE)
        return std::nullopt;
    if (zone.find_first_not_of("0123456789") == std::string::npos) {
        // At most 15 digits here, so the number fits; the scope id holds 32 bits.
        const unsigned long long number = std::stoull(zone);
        if (number > UINT32_MAX)
            return std::nullopt;
        return static_cast<std::uint32_t>(number);
    }
    const unsigned index = if_nametoindex(zone.c_str());
    if (index == 0)
        return std::nullopt;
    return index;
}

} // namespace

SocketAddress::SocketAddress(const sockaddr* address, socklen_t length)
{
    const bool known = (address->sa_family == AF_INET && length >= socklen_t(sizeof(sockaddr_in)))
        || (address->sa_family == AF_INET6 && length >= socklen_t(sizeof(sockaddr_in6)));
    if (!known)
        return;
    m_length = address->sa_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
    std::memcpy(&m_storage, address, m_length);
}

SocketAddress SocketAddress::ipv4(std::uint32_t networkOrder)
{
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = networkOrder;
    return SocketAddress(reinterpret_cast<const sockaddr*>(&sin), sizeof sin);
}

std::optional<SocketAddress> SocketAddress::fromNumeric(const std::string& typed)
{
    std::string text = typed;
    if (text.size() >= 2 && text.front() == '[' && text.back() == ']')
        text = text.substr(1, text.size() - 2);
    if (text.empty() || hasBlankOrControl(text))
        return std::nullopt;
    if (text.find(':') == std::string::npos) {
        // inet_aton takes the short and octal forms too, as the C library's other calls do.
        in_addr numeric {};
        if (inet_aton(text.c_str(), &numeric) == 0)
            return std::nullopt;
        return ipv4(numeric.s_addr);
    }
    sockaddr_in6 sin6 {};
    sin6.sin6_family = AF_INET6;
    const std::size_t percent = text.find('%');
    if (percent != std::string::npos) {
        const auto zone = zoneIndex(text.substr(percent + 1));
        if (!zone)
            return std::nullopt;
        sin6.sin6_scope_id = *zone;
        text.erase(percent);
    }
    if (inet_pton(AF_INET6, text.c_str(), &sin6.sin6_addr) != 1)
        return std::nullopt;
    return SocketAddress(reinterpret_cast<const sockaddr*>(&sin6), sizeof sin6);
}

std::uint16_t SocketAddress::port() const
{
    if (family() == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_port);
    if (family() == AF_INET6)
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_port);
    return 0;
}

void SocketAddress::setPort(std::uint16_t port)
{
    if (family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&m_storage)->sin_port = htons(port);
    else if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&m_storage)->sin6_port = htons(port);
}

std::uint32_t SocketAddress::ipv4() const
{
    return family() == AF_INET ? reinterpret_cast<const sockaddr_in*>(&m_storage)->sin_addr.s_addr : 0;
}

in6_addr SocketAddress::ipv6() const
{
    return isIPv6() ? reinterpret_cast<const sockaddr_in6*>(&m_storage)->sin6_addr : in6_addr {};
}

std::string SocketAddress::text() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET) {
        const in_addr address { ipv4() };
        inet_ntop(AF_INET, &address, text, sizeof text);
        return text;
    }
    if (!isIPv6())
        return {};
    const auto* sin6 = reinterpret_cast<const sockaddr_in6*>(&m_storage);
    inet_ntop(AF_INET6, &sin6->sin6_addr, text, sizeof text);
    std::string result = text;
    if (sin6->sin6_scope_id != 0) {
        char name[IF_NAMESIZE] = {};
        result += '%';
        result += if_indextoname(sin6->sin6_scope_id, name) ? std::string(name) : std::to_string(sin6->sin6_scope_id);
    }
    return result;
}

bool SocketAddress::operator==(const SocketAddress& other) const
{
    return m_length == other.m_length && std::memcmp(&m_storage, &other.m_storage, m_length) == 0;
}

bool looksLikeIPv6(const std::string& host)
{
    return host.find(':') != std::string::npos;
}

std::string bracketedHost(const std::string& host)
{
    // Only an IPv6 address (a zone aside): "127.0.0.1:8080/path" in the IP column is no address.
    in6_addr parsed {};
    if (inet_pton(AF_INET6, host.substr(0, host.find('%')).c_str(), &parsed) != 1)
        return host;
    return "[" + host + "]";
}

} // namespace net
