#pragma once

// One ICMP socket for echo requests, of one family (ICMP for IPv4, ICMPv6 for IPv6): a
// datagram ("ping") socket where the kernel's net.ipv4.ping_group_range admits our group (it
// rules both families), a raw socket (root or cap_net_raw) otherwise. The datagram socket gets
// only its own answers; the raw one sees every ICMP message of the machine, and the codec picks
// ours out of them.

#include "IcmpPacket.h"
#include "common/net/IcmpEchoReply.h"

#include <sys/socket.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace net {

class IcmpSocket final
{
public:
    enum class Kind
    {
        Datagram,
        Raw
    };

    // Throws TICMPException with the creation failure's text when neither kind can be opened.
    explicit IcmpSocket(int family = AF_INET);
    ~IcmpSocket();
    IcmpSocket(const IcmpSocket&) = delete;
    IcmpSocket& operator=(const IcmpSocket&) = delete;

    Kind kind() const { return m_kind; }
    int family() const { return m_family; }
    // For a watcher that wakes the event loop when something arrives.
    int fd() const { return m_fd; }

    // Drops answers that came after an earlier echo gave up waiting, and other programs'
    // traffic a raw socket has gathered since, so they cannot fill the receive buffer.
    void discardPending();
    // Sends one request; 0, or the IP status code when the kernel refuses it.
    int send(const IcmpEchoKey& key, int ttl, bool dontFragment);
    // Reads what has arrived without waiting and returns the answer to `key` if it was among
    // it; the round-trip time is left to the caller.
    std::optional<IcmpEchoReply> takeReply(const IcmpEchoKey& key);

private:
    bool setOption(int level, int name, int value);
    std::optional<IcmpEchoReply> readAvailable(const IcmpEchoKey& key);
    std::optional<IcmpEchoReply> readOne(const IcmpEchoKey& key, bool errorQueue, bool& empty);

    int m_fd = -1;
    int m_family = AF_INET;
    Kind m_kind = Kind::Datagram;
    uint16_t m_identifier = 0; // a datagram socket's is replaced by the kernel
    int m_ttl = -1;
    int m_pmtuMode = -1;
    std::vector<char> m_buffer;
};

} // namespace net
