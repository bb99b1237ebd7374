#pragma once

// The SMTP probe's attempt: open (greeting 220, then "HELO SEN" answered 250), then QUIT (221
// and the server's close), on the probe's own client without authentication. See SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/SyncSmtpCli.h"

namespace monitor {

class SmtpProbe final : public SessionProbe
{
public:
    explicit SmtpProbe(const MonitorSettings& settings);
    ~SmtpProbe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void open() override { SMTP1.Open(); }
    void quit() override { SMTP1.Quit(); }
    void abortClient() override { SMTP1.Abort(); }
    bool connected() const override { return SMTP1.Connected(); }
    net::TWSocket& controlSocket() override { return SMTP1.Socket(); }
    int requestError() const override { return SMTP1.RequestResult(); }
    std::string lastResponse() const override { return SMTP1.LastResponse(); }

    net::TSyncSmtpCli SMTP1;
};

} // namespace monitor
