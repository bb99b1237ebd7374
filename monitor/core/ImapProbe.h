#pragma once

// The IMAP probe's attempt: connect (a greeting "* OK" or "* PREAUTH"), then LOGOUT (answered
// with "* BYE" and the tagged OK), on the probe's own client; no log-in. See SessionProbe.

#include "monitor/core/SessionProbe.h"

#include "common/net/ImplicitTls.h"
#include "common/net/SyncImapCli.h"

namespace monitor {

class ImapProbe final : public SessionProbe
{
public:
    // `service`: IMAP or its form over TLS.
    explicit ImapProbe(const MonitorSettings& settings, Service service = Service::Imap);
    ~ImapProbe() override;

private:
    void setTarget(const std::string& host, const std::string& port) override;
    void secure(const net::TlsSettings& settings) override { IMAP.SetImplicitTls(settings); }
    void open() override { IMAP.Connect(); }
    void quit() override { IMAP.Logout(); }
    void abortClient() override { IMAP.Abort(); }
    bool connected() const override { return IMAP.Connected(); }
    net::TWSocket& controlSocket() override { return IMAP.Socket(); }
    int requestError() const override { return IMAP.RequestResult(); }
    const net::TlsPeerInfo& tlsPeer() const override { return IMAP.TlsPeer(); }
    std::string lastResponse() const override { return IMAP.LastResponse(); }

    net::ImplicitTls<net::TSyncImapCli> IMAP;
};

} // namespace monitor
