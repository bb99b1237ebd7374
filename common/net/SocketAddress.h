#pragma once

// SocketAddress: one IPv4 or IPv6 address (with a port) as the system's socket calls take it,
// held in a sockaddr_storage. The socket layer, the ICMP echo and the look-ups pass addresses
// around as this, or as the numeric text it reads and writes.

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

namespace net {

class SocketAddress final
{
public:
    SocketAddress() = default;
    // Copies what the system wrote (sockaddr_in or sockaddr_in6); empty for another family.
    SocketAddress(const sockaddr* address, socklen_t length);
    static SocketAddress ipv4(std::uint32_t networkOrder);

    // A numeric address: IPv4 in any form the C library takes ("10.0.0.1", "127.1"), or IPv6
    // ("2001:db8::10", "::ffff:10.0.0.1") with an optional zone ("fe80::1%eth0", "fe80::1%2"),
    // each optionally in brackets ("[::1]"). Nothing else: no blanks, no name, no port.
    static std::optional<SocketAddress> fromNumeric(const std::string& text);

    bool empty() const { return m_length == 0; }
    int family() const { return m_storage.ss_family; }
    bool isIPv6() const { return family() == AF_INET6; }
    const sockaddr* data() const { return reinterpret_cast<const sockaddr*>(&m_storage); }
    socklen_t length() const { return m_length; }
    std::uint16_t port() const;
    void setPort(std::uint16_t port);
    // The IPv4 address in network byte order; 0 for IPv6.
    std::uint32_t ipv4() const;
    // The 16 bytes of an IPv6 address; all zero for IPv4.
    in6_addr ipv6() const;

    // The address alone, as the system writes it: dotted IPv4, or RFC 5952 IPv6 with "%" and
    // the zone's interface name (or number) where it has one.
    std::string text() const;

    // Same family, address, zone and port.
    bool operator==(const SocketAddress& other) const;

private:
    sockaddr_storage m_storage {};
    socklen_t m_length = 0;
};

// An address text in the form a URL or "host:port" needs: an IPv6 address (with or without a
// zone) in brackets, anything else as it stands ("::1" gives "[::1]"; "[::1]", "10.0.0.1" and
// "10.0.0.1:8080/path" stay).
std::string bracketedHost(const std::string& host);
// Whether the text is an IPv6 address written for a URL or typed alone: it holds a ":".
bool looksLikeIPv6(const std::string& host);

} // namespace net
