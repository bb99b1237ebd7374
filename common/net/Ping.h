#pragma once

// `TPing`: the echo component a window holds. It wraps one `TICMP`, passes its properties
// through and forwards its events with itself as Sender, and adds a host-name look-up that
// returns at once and completes later, on the GUI thread, through `OnDnsLookupDone`.

#include "HostResolver.h"
#include "Icmp.h"
#include "WinsockErrors.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace net {

class TPing final
{
public:
    using TPingDisplay = std::function<void(TPing& Sender, TICMP& Icmp, const std::string& Msg)>;
    using TPingRequest = std::function<void(TPing& Sender, TICMP& Icmp)>;
    using TPingReply = std::function<void(TPing& Sender, TICMP& Icmp, int Status)>;
    using TDnsLookupDone = std::function<void(TPing& Sender, uint16_t Error)>;

    // Error of OnDnsLookupDone for a cancelled look-up (an interrupted call).
    static constexpr uint16_t LookupCancelled = WSAEINTR;

    // Throws TICMPException when no ICMP socket can be opened.
    TPing();
    // Drops a pending look-up without an event: the owner is going away.
    ~TPing();
    TPing(const TPing&) = delete;
    TPing& operator=(const TPing&) = delete;

    const std::string& Address() const { return m_icmp->Address(); }
    void setAddress(const std::string& address) { m_icmp->setAddress(address); }
    int Size() const { return m_icmp->Size(); }
    void setSize(int size) { m_icmp->setSize(size); }
    uint32_t Timeout() const { return m_icmp->Timeout(); }
    void setTimeout(uint32_t milliseconds) { m_icmp->setTimeout(milliseconds); }
    int TTL() const { return m_icmp->TTL(); }
    void setTTL(int ttl) { m_icmp->setTTL(ttl); }
    int Flags() const { return m_icmp->Flags(); }
    void setFlags(int flags) { m_icmp->setFlags(flags); }

    int SendEcho() { return m_icmp->SendEcho(); }
    const std::string& ResolvedIP() const { return m_icmp->ResolvedIP(); }
    std::string ErrorText() const { return m_icmp->ErrorText(); }
    IcmpEchoReply LastReply() const { return m_icmp->LastReply(); }

    // Starts a look-up, replacing a pending one (which then never reports). Dotted text
    // completes before the call returns. Throws std::runtime_error when it cannot start.
    void DnsLookup(const std::string& HostName);
    // Drops a pending look-up and reports it with LookupCancelled; does nothing when idle.
    void CancelDnsLookup();
    // Dotted address of the last successful look-up; empty while one runs.
    const std::string& DnsResult() const { return m_dnsResult; }

    TPingDisplay OnDisplay;
    TPingRequest OnEchoRequest;
    TPingReply OnEchoReply;
    TDnsLookupDone OnDnsLookupDone;

private:
    void lookupDone(uint16_t error);

    std::unique_ptr<TICMP> m_icmp;
    HostResolver m_resolver;
    std::string m_dnsResult;
};

} // namespace net
