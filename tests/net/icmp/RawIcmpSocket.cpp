#include "RawIcmpSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace test {

RawIcmpSocket::RawIcmpSocket()
    : m_fd(::socket(AF_INET, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP))
{
    if (m_fd < 0)
        throw std::runtime_error("cannot open a raw ICMP socket");
}

RawIcmpSocket::~RawIcmpSocket()
{
    ::close(m_fd);
}

void RawIcmpSocket::send(const std::string& icmp, const std::string& target, int ttl)
{
    ::setsockopt(m_fd, SOL_IP, IP_TTL, &ttl, sizeof ttl);
    sockaddr_in to {};
    to.sin_family = AF_INET;
    inet_pton(AF_INET, target.c_str(), &to.sin_addr);
    if (::sendto(m_fd, icmp.data(), icmp.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0)
        throw std::runtime_error("cannot send from the raw ICMP socket");
}

std::vector<std::string> RawIcmpSocket::readAll()
{
    std::vector<std::string> packets;
    std::string buffer(70000, '\0');
    for (;;) {
        const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n < 0)
            return packets;
        packets.push_back(buffer.substr(0, size_t(n)));
    }
}

std::vector<RawIcmpSocket::Echo> RawIcmpSocket::echoes(const std::vector<std::string>& packets, uint8_t type)
{
    std::vector<Echo> found;
    for (const auto& packet : packets) {
        const size_t offset = (uint8_t(packet.at(0)) & 0x0f) * 4u;
        if (packet.size() < offset + 8 || uint8_t(packet[offset]) != type)
            continue;
        auto word = [&](size_t at) { return uint16_t(uint8_t(packet[at]) << 8 | uint8_t(packet[at + 1])); };
        found.push_back({ type, word(offset + 4), word(offset + 6), packet.substr(offset + 8) });
    }
    return found;
}

} // namespace test
