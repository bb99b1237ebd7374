#pragma once

// The SMTP probe's attempt: open (greeting 220, then "HELO SEN" answered 250), then QUIT (221
// and the server's close), on the probe's own client without authentication. See SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/SyncSmtpCli.h"

namespace monitor {

class SmtpProbe final : public SessionProbe
{
public:
    // `service`: SMTP or its form over TLS.
    explicit SmtpProbe(const MonitorSettings& settings, Service service = Service::Smtp);
    ~SmtpProbe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void secure(const net::TlsSettings& settings) override;
    void open() override { SMTP1.Open(); }
    void quit() override { SMTP1.Quit(); }
    void abortClient() override { SMTP1.Abort(); }
    bool connected() const override { return SMTP1.Connected(); }
    net::TWSocket& controlSocket() override { return SMTP1.Socket(); }
    int requestError() const override { return SMTP1.RequestResult(); }
    const net::TlsPeerInfo& tlsPeer() const override { return SMTP1.TlsPeer(); }
    std::string lastResponse() const override { return SMTP1.LastResponse(); }

    net::TSyncSmtpCli SMTP1;
};

} // namespace monitor
