#pragma once

// AsyncEcho: the one ICMP echo engine, one echo at a time, waiting in the event loop rather
// than blocking the caller. `start` sends (after a look-up of a name, which runs in the
// background) and returns at once; the answer, the deadline or the look-up's failure arrives
// later as an event, on the GUI thread. TICMP is its blocking face, so a caller judges an echo
// the same way whichever of the two sent it. Many may run side by side: each has its own ICMP
// socket, opened at its first echo, and its own ICMPv6 socket, opened at its first echo to an
// IPv6 address (typed, or the first address a name resolves to, as `ping` takes it).

#include "HostResolver.h"
#include "IcmpEchoReply.h"
#include "IcmpException.h"
#include "SocketAddress.h"
#include "detail/IcmpPacket.h"

#include "common/core/EventLoop.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace net {

class IcmpSocket;

// The most data one echo request may carry.
inline constexpr int IcmpMaxDataSize = 65500;
// The data of a request of `size` bytes (0 to IcmpMaxDataSize): a fixed signature, then spaces.
std::string IcmpEchoData(int size);

class AsyncEcho final
{
public:
    // Progress and address problems: "Unable to resolve " + address, "Invalid host address".
    using Display = std::function<void(const std::string& msg)>;
    // After every echo that was sent (or refused by the kernel): the number of answers, 0 or 1.
    using Reply = std::function<void(int status)>;
    // The end of the operation, last of its events: the number of answers.
    using Done = std::function<void(int replies)>;

    AsyncEcho();
    // Drops a running echo without any event.
    ~AsyncEcho();
    AsyncEcho(const AsyncEcho&) = delete;
    AsyncEcho& operator=(const AsyncEcho&) = delete;

    const std::string& Address() const { return m_address; }
    // A different text forgets the resolution; the same text keeps it, so a name is looked up
    // once for a run of echoes to it.
    void setAddress(const std::string& address);
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    uint32_t Timeout() const { return m_timeout; }
    void setTimeout(uint32_t milliseconds) { m_timeout = milliseconds; }
    int TTL() const { return m_ttl; }
    void setTTL(int ttl) { m_ttl = ttl; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }

    // Opens the (IPv4) ICMP socket now rather than at the first echo; throws TICMPException
    // when none may be opened.
    void open();
    // Starts one echo, dropping one that still runs. Opens the ICMP socket when none is open:
    // throws TICMPException when none may be, and nothing else happens then. Otherwise every
    // event comes later, never inside this call: OnDisplay for an address problem, OnEchoReply
    // once an echo was sent, and `done` last.
    void start(Done done);
    // Drops the running echo without any event.
    void cancel();
    bool busy() const { return static_cast<bool>(m_done); }

    // Text of the resolved address (dotted IPv4 or IPv6); empty before the first resolution.
    const std::string& ResolvedIP() const { return m_resolvedIP; }
    const IcmpEchoReply& LastReply() const { return m_lastReply; }
    int LastError() const { return m_lastError; }
    std::string ErrorText() const;
    // Whether the socket of the last echo's family (IPv4 before any) is a raw one.
    bool usesRawSocket() const;

    Display OnDisplay;
    Reply OnEchoReply;

private:
    // An ICMP socket of one family with the watcher that wakes the event loop for it.
    struct Channel
    {
        std::unique_ptr<IcmpSocket> socket;
        std::unique_ptr<core::FdWatcher> watcher;
    };

    Channel& channel(int family);
    Channel& openChannel(int family);
    void stopWatching();
    void resolved(const SocketAddress& address);
    void send();
    void onReadable(Channel& channel);
    void onDeadline();
    void replied(int replies);
    void finish(int replies);
    void display(const std::string& msg);

    Channel m_ipv4;
    Channel m_ipv6;
    core::Timer m_deadline;
    core::Poster m_poster;
    HostResolver m_resolver;
    Done m_done;

    std::string m_address;
    bool m_resolved = false;
    // Empty for no usable address.
    SocketAddress m_target;
    std::string m_resolvedIP;
    int m_size = 56;
    uint32_t m_timeout = 4000;
    int m_ttl = 64;
    int m_flags = 0;

    // The echo in flight.
    std::string m_data;
    IcmpEchoKey m_key;
    std::chrono::steady_clock::time_point m_sent;
    uint16_t m_sequence = 0;
    // Changes with every start, end and cancel, so a handler that starts or drops an echo
    // is noticed by the code that called it.
    unsigned m_generation = 0;

    IcmpEchoReply m_lastReply;
    int m_lastError = 0;
};

} // namespace net
