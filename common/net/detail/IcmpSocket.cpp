#include "IcmpSocket.h"

#include "common/net/IcmpException.h"
#include "common/net/IcmpStatus.h"

#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/icmp6.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <random>

using namespace std::chrono;

namespace net {

namespace {

// Reads per wake-up before sleeping again; a raw socket on a busy machine may hold many.
constexpr int MaxReadsPerRound = 4096;

const char* creationFailureText(int error)
{
    switch (error) {
    case EAFNOSUPPORT:
        return IcmpErrorInitialising;
    case EPROTONOSUPPORT:
    case ESOCKTNOSUPPORT:
    case EPROTOTYPE:
        return IcmpErrorRegistering;
    default:
        return IcmpErrorNoHandle;
    }
}

bool wouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

int intAt(const cmsghdr* cm)
{
    int value = 0;
    std::memcpy(&value, CMSG_DATA(cm), sizeof value);
    return value;
}

// Time-to-live (hop limit) and type of service (traffic class) of the received message, and
// an error report, from the ancillary data.
void readAncillary(msghdr& msg, IcmpEchoReply& reply, const sock_extended_err** extended)
{
    for (cmsghdr* cm = CMSG_FIRSTHDR(&msg); cm; cm = CMSG_NXTHDR(&msg, cm)) {
        const bool holdsInt = cm->cmsg_len >= CMSG_LEN(sizeof(int));
        if (cm->cmsg_level == SOL_IP) {
            if (cm->cmsg_type == IP_TTL && holdsInt)
                reply.ttl = uint8_t(intAt(cm));
            else if (cm->cmsg_type == IP_TOS && cm->cmsg_len >= CMSG_LEN(1))
                reply.tos = *CMSG_DATA(cm);
            else if (cm->cmsg_type == IP_RECVERR && extended)
                *extended = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(cm));
        } else if (cm->cmsg_level == SOL_IPV6) {
            if (cm->cmsg_type == IPV6_HOPLIMIT && holdsInt)
                reply.ttl = uint8_t(intAt(cm));
            else if (cm->cmsg_type == IPV6_TCLASS && holdsInt)
                reply.tos = uint8_t(intAt(cm));
            else if (cm->cmsg_type == IPV6_RECVERR && extended)
                *extended = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(cm));
        }
    }
}

// Whether the address part of `from` (what the system wrote) is `target`'s.
bool sameHost(const sockaddr_storage& from, const SocketAddress& target)
{
    const SocketAddress address(reinterpret_cast<const sockaddr*>(&from), sizeof from);
    if (address.family() != target.family())
        return false;
    if (target.isIPv6()) {
        const in6_addr a = address.ipv6();
        const in6_addr b = target.ipv6();
        return std::memcmp(&a, &b, sizeof a) == 0;
    }
    return address.ipv4() == target.ipv4();
}

} // namespace

IcmpSocket::IcmpSocket(int family)
    : m_family(family)
    , m_buffer(65536 + 1024)
{
    const bool v6 = family == AF_INET6;
    const int protocol = v6 ? int(IPPROTO_ICMPV6) : int(IPPROTO_ICMP);
    m_fd = ::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    if (m_fd < 0) {
        m_kind = Kind::Raw;
        m_fd = ::socket(family, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
    }
    if (m_fd < 0)
        throw TICMPException(creationFailureText(errno));
    m_identifier = uint16_t(std::random_device {}());
    bool ok = v6 ? setOption(SOL_IPV6, IPV6_RECVHOPLIMIT, 1) && setOption(SOL_IPV6, IPV6_RECVTCLASS, 1)
                 : setOption(SOL_IP, IP_RECVTTL, 1) && setOption(SOL_IP, IP_RECVTOS, 1);
    if (m_kind == Kind::Datagram) {
        ok = ok && (v6 ? setOption(SOL_IPV6, IPV6_RECVERR, 1) : setOption(SOL_IP, IP_RECVERR, 1));
    } else if (v6) {
        // Let through only what can answer an echo: replies and the error reports.
        icmp6_filter filter {};
        ICMP6_FILTER_SETBLOCKALL(&filter);
        for (const int type : { ICMP6_ECHO_REPLY, ICMP6_DST_UNREACH, ICMP6_PACKET_TOO_BIG, ICMP6_TIME_EXCEEDED,
                 ICMP6_PARAM_PROB })
            ICMP6_FILTER_SETPASS(type, &filter);
        ok = ok && ::setsockopt(m_fd, IPPROTO_ICMPV6, ICMP6_FILTER, &filter, sizeof filter) == 0;
    } else {
        icmp_filter filter {};
        filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH)
            | (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
        ok = ok && ::setsockopt(m_fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter) == 0;
    }
    if (!ok) {
        ::close(m_fd);
        throw TICMPException(IcmpErrorLoadingFunctions);
    }
}

IcmpSocket::~IcmpSocket()
{
    ::close(m_fd);
}

bool IcmpSocket::setOption(int level, int name, int value)
{
    return ::setsockopt(m_fd, level, name, &value, sizeof value) == 0;
}

void IcmpSocket::discardPending()
{
    const int queues = m_kind == Kind::Datagram ? 2 : 1;
    for (int queue = 0; queue < queues; ++queue) {
        const int flags = MSG_DONTWAIT | (queue == 1 ? MSG_ERRQUEUE : 0);
        for (int i = 0; i < 65536; ++i) {
            if (::recv(m_fd, m_buffer.data(), m_buffer.size(), flags) < 0 && wouldBlock(errno))
                break;
        }
    }
    int error = 0;
    socklen_t length = sizeof error;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
}

int IcmpSocket::send(const IcmpEchoKey& key, int ttl, bool dontFragment)
{
    const bool v6 = m_family == AF_INET6;
    if (ttl != m_ttl) {
        if (!(v6 ? setOption(SOL_IPV6, IPV6_UNICAST_HOPS, ttl) : setOption(SOL_IP, IP_TTL, ttl)))
            return IcmpStatusFromSendError(errno);
        m_ttl = ttl;
    }
    // IPv6 routers never fragment; without the flag the sender itself may.
    const int pmtuMode = v6 ? (dontFragment ? IPV6_PMTUDISC_DO : IPV6_PMTUDISC_DONT)
                            : (dontFragment ? IP_PMTUDISC_DO : IP_PMTUDISC_DONT);
    if (pmtuMode != m_pmtuMode) {
        if (!(v6 ? setOption(SOL_IPV6, IPV6_MTU_DISCOVER, pmtuMode) : setOption(SOL_IP, IP_MTU_DISCOVER, pmtuMode)))
            return IcmpStatusFromSendError(errno);
        m_pmtuMode = pmtuMode;
    }
    const std::string packet = buildEchoRequest(m_identifier, key.sequence, key.data, v6);
    ssize_t sent = 0;
    do {
        sent = ::sendto(m_fd, packet.data(), packet.size(), MSG_NOSIGNAL, key.target.data(), key.target.length());
    } while (sent < 0 && errno == EINTR);
    return sent < 0 ? IcmpStatusFromSendError(errno) : 0;
}

std::optional<IcmpEchoReply> IcmpSocket::takeReply(const IcmpEchoKey& key)
{
    IcmpEchoKey ours = key;
    ours.identifier = m_identifier;
    ours.identifierChecked = m_kind == Kind::Raw; // the kernel routes a datagram socket's by identifier
    return readAvailable(ours);
}

std::optional<IcmpEchoReply> IcmpSocket::readAvailable(const IcmpEchoKey& key)
{
    // Reports first: reading them also clears the pending socket error they raised.
    for (const bool errorQueue : { true, false }) {
        if (errorQueue && m_kind == Kind::Raw)
            continue;
        for (int i = 0; i < MaxReadsPerRound; ++i) {
            bool empty = false;
            if (auto reply = readOne(key, errorQueue, empty))
                return reply;
            if (empty)
                break;
        }
    }
    return std::nullopt;
}

std::optional<IcmpEchoReply> IcmpSocket::readOne(const IcmpEchoKey& key, bool errorQueue, bool& empty)
{
    sockaddr_storage from {};
    iovec iov { m_buffer.data(), m_buffer.size() };
    alignas(cmsghdr) char control[512];
    msghdr msg {};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t received = ::recvmsg(m_fd, &msg, MSG_DONTWAIT | (errorQueue ? MSG_ERRQUEUE : 0));
    if (received < 0) {
        // Other errors are a datagram socket's pending error, reported once and then cleared.
        empty = wouldBlock(errno);
        return std::nullopt;
    }
    const std::string_view packet(m_buffer.data(), std::min(size_t(received), m_buffer.size()));
    const bool v6 = m_family == AF_INET6;
    IcmpEchoReply reply;
    const sock_extended_err* extended = nullptr;
    readAncillary(msg, reply, &extended);
    if (m_kind == Kind::Raw && !v6)
        return matchRawPacket(packet, key);
    if (m_kind == Kind::Raw) {
        auto matched = matchRawIcmp6(packet, key);
        if (matched)
            matched->ttl = reply.ttl; // the hop limit comes beside the message
        return matched;
    }
    // IPv6 answers carry no IPv4 address to report.
    const auto ipv4Of = [](const void* address) {
        return reinterpret_cast<const sockaddr*>(address)->sa_family == AF_INET
            ? reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr
            : 0u;
    };
    if (!errorQueue) {
        const auto size = matchEchoReply(packet, key);
        if (!size)
            return std::nullopt;
        reply.address = ipv4Of(&from);
        reply.dataSize = *size;
        return reply;
    }
    // A report: the message holds our quoted request, the name its destination.
    const uint8_t origin = v6 ? SO_EE_ORIGIN_ICMP6 : SO_EE_ORIGIN_ICMP;
    if (!extended || extended->ee_origin != origin || !sameHost(from, key.target) || !quotesEchoRequest(packet, key))
        return std::nullopt;
    reply.status = uint32_t(v6 ? Icmp6StatusFromReport(extended->ee_type, extended->ee_code)
                               : IcmpStatusFromReport(extended->ee_type, extended->ee_code));
    reply.address = ipv4Of(SO_EE_OFFENDER(extended));
    return reply;
}

} // namespace net
