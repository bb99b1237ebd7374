#pragma once

// The POP3 probe's attempt: connect (a greeting that begins with "+"), then QUIT (answered with
// "+" and followed by the server's close), on the probe's own client; no login. See
// SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/ImplicitTls.h"
#include "common/net/SyncPop3Cli.h"

namespace monitor {

class Pop3Probe final : public SessionProbe
{
public:
    // `service`: POP3 or its form over TLS.
    explicit Pop3Probe(const MonitorSettings& settings, Service service = Service::Pop3);
    ~Pop3Probe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void secure(const net::TlsSettings& settings) override { POP3.SetImplicitTls(settings); }
    void open() override { POP3.Connect(); }
    void quit() override { POP3.Quit(); }
    void abortClient() override { POP3.Abort(); }
    bool connected() const override { return POP3.Connected(); }
    net::TWSocket& controlSocket() override { return POP3.Socket(); }
    int requestError() const override { return POP3.RequestResult(); }
    const net::TlsPeerInfo& tlsPeer() const override { return POP3.TlsPeer(); }
    std::string lastResponse() const override { return POP3.LastResponse(); }

    net::ImplicitTls<net::TSyncPop3Cli> POP3;
};

} // namespace monitor
