#pragma once

// `TICMP`: sends one ICMP echo request at a time to an IPv4 or IPv6 address and reports the first
// answer's header. It is the blocking face of AsyncEcho, which makes the echo itself: the
// socket is opened once, at creation; a name in `Address` is resolved (blocking) before the
// first echo and kept until `Address` changes to another text. `SendEcho` returns after the
// answer or `Timeout` ms, sleeping in the event loop meanwhile (other events keep running),
// and fires its events from inside the call.

#include "AsyncEcho.h"
#include "IcmpEchoReply.h"
#include "IcmpException.h"

#include <cstdint>
#include <functional>
#include <string>

namespace net {

class TICMP final
{
public:
    using TICMPDisplay = std::function<void(TICMP& Icmp, const std::string& Msg)>;
    using TICMPRequest = std::function<void(TICMP& Icmp)>;
    using TICMPReply = std::function<void(TICMP& Icmp, int Status)>;
    // Blocking look-up of a name: 0 with the official name and the first address (numeric text,
    // IPv4 or IPv6, in the resolver's order), or a resolver error number (11001 to 11004).
    using NameLookup = std::function<int(const std::string& host, std::string& officialName, std::string& address)>;

    // Throws TICMPException when no ICMP socket can be opened.
    TICMP();
    TICMP(const TICMP&) = delete;
    TICMP& operator=(const TICMP&) = delete;

    const std::string& Address() const { return m_address; }
    // A different text forgets the resolution; the same text keeps it.
    void setAddress(const std::string& address);
    int Size() const { return m_echo.Size(); }
    void setSize(int size) { m_echo.setSize(size); }
    uint32_t Timeout() const { return m_echo.Timeout(); }
    void setTimeout(uint32_t milliseconds) { m_echo.setTimeout(milliseconds); }
    int TTL() const { return m_echo.TTL(); }
    void setTTL(int ttl) { m_echo.setTTL(ttl); }
    int Flags() const { return m_echo.Flags(); }
    void setFlags(int flags) { m_echo.setFlags(flags); }

    const std::string& ResolvedName() const { return m_resolvedName; }
    const std::string& ResolvedIP() const { return m_resolvedIP; }
    const IcmpEchoReply& LastReply() const { return m_lastReply; }
    int LastError() const { return m_lastError; }
    std::string ErrorText() const;
    // Whether the echo goes through a raw socket (no datagram socket was permitted).
    bool usesRawSocket() const { return m_echo.usesRawSocket(); }

    // Resolves `Address`; on failure fires OnDisplay and leaves the address unresolved.
    void ResolveAddress();
    // Sends one echo and waits; returns the number of answers (0 or 1).
    int SendEcho();

    // Replaces the blocking look-up (the default is lookupName).
    void setNameLookup(NameLookup lookup) { m_lookup = std::move(lookup); }
    static int lookupName(const std::string& host, std::string& officialName, std::string& address);

    TICMPDisplay OnDisplay;
    TICMPRequest OnEchoRequest;
    TICMPReply OnEchoReply;

private:
    void display(const std::string& msg);
    int exchange();

    AsyncEcho m_echo;
    NameLookup m_lookup;
    std::string m_address;
    bool m_resolved = false;
    std::string m_resolvedName;
    std::string m_resolvedIP;
    IcmpEchoReply m_lastReply;
    int m_lastError = 0;
};

} // namespace net
