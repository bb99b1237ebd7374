#include "monitor/core/Pop3Probe.h"

namespace monitor {

Pop3Probe::Pop3Probe(const MonitorSettings& settings)
    : SessionProbe(settings, Service::Pop3, true)
{
    POP3.LocalAddr = "0.0.0.0";
    POP3.OnRequestDone = [this](net::TCustomPop3Cli&, net::TPop3Request, int) { requestDone(); };
}

Pop3Probe::~Pop3Probe()
{
    POP3.OnRequestDone = nullptr;
}

void Pop3Probe::setTarget(const std::string& host, const std::string& port)
{
    POP3.Host = host;
    POP3.Port = port;
}

} // namespace monitor
