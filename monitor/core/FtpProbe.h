#pragma once

// The FTP probe's attempt: open (greeting 220), then QUIT (221), on the probe's own client with
// the options the program gives it (ftpAcceptLF, direct connection). See SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/ImplicitTls.h"
#include "common/net/FtpClient.h"

namespace monitor {

class FtpProbe final : public SessionProbe
{
public:
    // `service`: FTP or its form over TLS.
    explicit FtpProbe(const MonitorSettings& settings, Service service = Service::Ftp);
    ~FtpProbe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void secure(const net::TlsSettings& settings) override { FTP1.SetImplicitTls(settings); }
    void open() override { FTP1.Open(); }
    void quit() override { FTP1.Quit(); }
    void abortClient() override { FTP1.Abort(); }
    bool connected() const override { return FTP1.Connected(); }
    net::TWSocket& controlSocket() override { return FTP1.Socket(); }
    int requestError() const override { return FTP1.RequestResult(); }
    const net::TlsPeerInfo& tlsPeer() const override { return FTP1.TlsPeer(); }
    std::string lastResponse() const override { return FTP1.LastResponse(); }

    net::ImplicitTls<net::TFtpClient> FTP1;
};

} // namespace monitor
