#pragma once

// A second raw ICMP socket for tests: it watches what crosses the loopback and plays another
// program pinging the same host.

#include <cstdint>
#include <string>
#include <vector>

namespace test {

class RawIcmpSocket
{
public:
    RawIcmpSocket(); // throws std::runtime_error when it cannot open
    ~RawIcmpSocket();
    RawIcmpSocket(const RawIcmpSocket&) = delete;
    RawIcmpSocket& operator=(const RawIcmpSocket&) = delete;

    // Sends an ICMP message (header included) to `target` (dotted text) with the given TTL.
    void send(const std::string& icmp, const std::string& target, int ttl = 64);
    // Every packet that arrived so far, IP header first; does not wait.
    std::vector<std::string> readAll();

    struct Echo
    {
        uint8_t type;
        uint16_t identifier;
        uint16_t sequence;
        std::string data;
    };
    // The echo requests (type 8) or replies (type 0) among `packets`.
    static std::vector<Echo> echoes(const std::vector<std::string>& packets, uint8_t type);

private:
    int m_fd = -1;
};

} // namespace test
