#pragma once

// `TICMP`: sends one ICMP echo request at a time to an IPv4 address and reports the first
// answer's header. The socket is opened once, at creation; a name in `Address` is resolved
// (blocking) before the first echo and kept until `Address` changes to another text.
// `SendEcho` blocks the calling thread for up to `Timeout` ms, sleeping on the socket, and
// fires its events from inside the call.

#include "IcmpEchoReply.h"
#include "IcmpException.h"

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

class TICMP final
{
public:
    using TICMPDisplay = std::function<void(TICMP& Icmp, const std::string& Msg)>;
    using TICMPRequest = std::function<void(TICMP& Icmp)>;
    using TICMPReply = std::function<void(TICMP& Icmp, int Status)>;
    // Blocking look-up of a name: 0 with the official name and first IPv4 address (network
    // byte order), or a resolver error number (11001 to 11004).
    using NameLookup = std::function<int(const std::string& host, std::string& officialName, uint32_t& address)>;

    // Throws TICMPException when no ICMP socket can be opened.
    TICMP();
    ~TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    const std::string& Address() const { return m_address; }
    // A different text forgets the resolution; the same text keeps it.
    void setAddress(const std::string& address);
    int Size() const { return m_size; }
    void setSize(int size) { m_size = size; }
    uint32_t Timeout() const { return m_timeout; }
    void setTimeout(uint32_t milliseconds) { m_timeout = milliseconds; }
    int TTL() const { return m_ttl; }
    void setTTL(int ttl) { m_ttl = ttl; }
    int Flags() const { return m_flags; }
    void setFlags(int flags) { m_flags = flags; }

    const std::string& ResolvedName() const { return m_resolvedName; }
    const std::string& ResolvedIP() const { return m_resolvedIP; }
    const IcmpEchoReply& LastReply() const { return m_lastReply; }
    int LastError() const { return m_lastError; }
    std::string ErrorText() const;
    // Whether the echo goes through a raw socket (no datagram socket was permitted).
    bool usesRawSocket() const;

    // Resolves `Address`; on failure fires OnDisplay and leaves the address unresolved.
    void ResolveAddress();
    // Sends one echo and waits; returns the number of answers (0 or 1).
    int SendEcho();

    // Replaces the blocking look-up (the default is lookupName).
    void setNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }
    static int lookupName(const std::string& host, std::string& officialName, uint32_t& address);

    TICMPDisplay OnDisplay;
    TICMPRequest OnEchoRequest;
    TICMPReply OnEchoReply;

private:
    void display(const std::string& msg);
    int exchange(const std::string& data);

    std::unique_ptr<IcmpSocket> m_socket;
    NameLookup m_lookup;
    std::string m_address;
    bool m_resolved = false;
    uint32_t m_ip = 0xffffffff;
    std::string m_resolvedName;
    std::string m_resolvedIP;
    int m_size = 56;
    uint32_t m_timeout = 4000;
    int m_ttl = 64;
    int m_flags = 0;
    IcmpEchoReply m_lastReply;
    int m_lastError = 0;
    uint16_t m_sequence = 0;
};

} // namespace net
