#pragma once

// The POP3 probe's attempt: connect (a greeting that begins with "+"), then QUIT (answered with
// "+" and followed by the server's close), on the probe's own client; no login. See
// SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/SyncPop3Cli.h"

namespace monitor {

class Pop3Probe final : public SessionProbe
{
public:
    explicit Pop3Probe(const MonitorSettings& settings);
    ~Pop3Probe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void open() override { POP3.Connect(); }
    void quit() override { POP3.Quit(); }
    void abortClient() override { POP3.Abort(); }
    bool connected() const override { return POP3.Connected(); }
    net::TWSocket& controlSocket() override { return POP3.Socket(); }
    int requestError() const override { return POP3.RequestResult(); }
    std::string lastResponse() const override { return POP3.LastResponse(); }

    net::TSyncPop3Cli POP3;
};

} // namespace monitor
