#pragma once

// `TPing`: the echo component a window holds. It wraps one `TICMP`, passes its properties
// through and forwards its events with itself as Sender, and adds a host-name look-up that
// returns at once and completes later, on the GUI thread, through `OnDnsLookupDone`.
//
// The ICMP socket is opened at the first echo, not at creation: the look-up needs none, so
// a program may hold a TPing on a machine where ICMP is not permitted and still look up
// names; only SendEcho then raises TICMPException.

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

    TPing();
    // Drops a pending look-up without an event: the owner is going away.
    ~TPing();
    TPing(const TPing&) = delete;
    TPing& operator=(const TPing&) = delete;

    const std::string& Address() const { return m_address; }
    void setAddress(const std::string& address);
    int Size() const { return m_size; }
    void setSize(int size);
    uint32_t Timeout() const { return m_timeout; }
    void setTimeout(uint32_t milliseconds);
    int TTL() const { return m_ttl; }
    void setTTL(int ttl);
    int Flags() const { return m_flags; }
    void setFlags(int flags);

    // Opens the ICMP socket when none is open yet: throws TICMPException when none may be.
    int SendEcho();
    // Empty, no error and no reply before the first echo.
    std::string ResolvedIP() const;
    std::string ErrorText() const;
    IcmpEchoReply LastReply() const;

    // Starts a look-up, replacing a pending one (which then never reports). Numeric text
    // (dotted IPv4, IPv6) completes before the call returns. A name gives the first address
    // the resolver returns, of either family. Throws std::runtime_error when it cannot start.
    void DnsLookup(const std::string& HostName);
    // Drops a pending look-up and reports it with LookupCancelled; does nothing when idle.
    void CancelDnsLookup();
    // Address text of the last successful look-up; empty while one runs.
    const std::string& DnsResult() const { return m_dnsResult; }

    TPingDisplay OnDisplay;
    TPingRequest OnEchoRequest;
    TPingReply OnEchoReply;
    TDnsLookupDone OnDnsLookupDone;

private:
    void lookupDone(uint16_t error);
    TICMP& icmp();

    std::unique_ptr<TICMP> m_icmp;
    // Kept here until the echo component exists, then passed through.
    std::string m_address;
    int m_size = 56;
    uint32_t m_timeout = 4000;
    int m_ttl = 64;
    int m_flags = 0;
    HostResolver m_resolver;
    std::string m_dnsResult;
};

} // namespace net
