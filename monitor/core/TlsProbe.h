#pragma once

// The TLS probe's attempt, for any service over TLS (LDAPS, a VPN portal, a custom port): a
// connect to the IP text and the row's port within TCP's time-out, then the TLS handshake with
// the certificate checks of CertificateCheck within TCP's time-out again; nothing is said after
// it. Success is a completed handshake with a certificate that passes every check. A name in
// the IP column is looked up in the background first, within the connect's deadline. A row
// without a port number fails with a line that says so; the socket layer's errors are shown as
// the TCP probe shows them.

#include "monitor/core/CertificateCheck.h"
#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/core/EventLoop.h"
#include "common/net/HostResolver.h"
#include "common/net/WSocket.h"

namespace monitor {

class TlsProbe final : public Probe
{
public:
    explicit TlsProbe(const MonitorSettings& settings);
    ~TlsProbe() override;

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override;
    void reportResult(bool ok, ProbeLines& lines) override;
    std::optional<std::time_t> certificateNotAfter() const override;

private:
    void startDeadline();
    void connect(const std::string& address);
    void connected(int error);
    void failWith(const std::string& message);
    void finish(bool ok);

    const MonitorSettings& m_settings;
    CertificateCheck m_certificate;
    net::TWSocket WSocket1;
    net::HostResolver m_resolver;
    core::Timer m_deadline;
    ProbeLines* m_lines = nullptr;
    Attempt m_attempt = Attempt::First;
    std::string m_port;
    net::TlsSettings m_tls;
    bool m_handshaking = false;
    Done m_done;
};

} // namespace monitor
