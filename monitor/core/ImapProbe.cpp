#include "monitor/core/ImapProbe.h"

namespace monitor {

ImapProbe::ImapProbe(const MonitorSettings& settings)
    : SessionProbe(settings, Service::Imap, true)
{
    IMAP.LocalAddr = "0.0.0.0";
    IMAP.OnRequestDone = [this](net::TCustomImapCli&, net::TImapRequest, int) { requestDone(); };
}

ImapProbe::~ImapProbe()
{
    IMAP.OnRequestDone = nullptr;
}

void ImapProbe::setTarget(const std::string& host, const std::string& port)
{
    IMAP.Host = host;
    IMAP.Port = port;
}

} // namespace monitor
