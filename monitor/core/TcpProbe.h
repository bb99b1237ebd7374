#pragma once

// The TCP probe's attempt: a connect to the IP text and port; success is the handshake
// completed within TCP's time-out. It sleeps in the event loop until the connect completes,
// the deadline passes or Abort cuts it short, then closes the socket, which resets the
// connection (linger on, 0 s). A name in the IP column is looked up in the background first,
// within the same deadline; its addresses (IPv4 and IPv6) are then tried in the resolver's
// order, sharing what is left of the time-out, so a dead first address cannot use it all up. The socket layer's errors (an empty or bad port, a name that does
// not resolve) are shown unchanged on the first attempt and fail it.
//
// The TLS service is the same connect followed by the TLS handshake with the certificate checks
// of CertificateCheck, within TCP's time-out again; nothing is said after it. Any TLS service
// (LDAPS, a VPN portal, a custom port) can be watched so. It needs the row's port number: a row
// without one fails with a line that says so.

#include "monitor/core/CertificateCheck.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/core/EventLoop.h"
#include "common/net/HostResolver.h"
#include "common/net/WSocket.h"

#include <chrono>
#include <string>
#include <vector>

namespace monitor {

class TcpProbe final : public Probe
{
public:
    // TCP's time-out is read at every attempt. `service`: TCP or TLS.
    explicit TcpProbe(const MonitorSettings& settings, Service service = Service::Tcp);
    ~TcpProbe() override;

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override;
    void reportResult(bool ok, ProbeLines& lines) override;
    std::optional<std::time_t> certificateNotAfter() const override;

private:
    void startDeadline();
    void connect(const std::vector<std::string>& addresses);
    void connected(int error);
    void failWith(const std::string& message);
    void finish(bool ok);

    const MonitorSettings& m_settings;
    std::optional<CertificateCheck> m_certificate; // TLS
    net::TWSocket WSocket1;
    net::HostResolver m_resolver;
    core::Timer m_deadline;
    ProbeLines* m_lines = nullptr;
    Attempt m_attempt = Attempt::First;
    std::string m_port;
    net::TlsSettings m_tls;
    bool m_handshaking = false;
    int m_timeOut = 0;
    std::chrono::steady_clock::time_point m_started;
    Done m_done;
};

} // namespace monitor
