#include "monitor/core/MonitorProbes.h"

#include "monitor/core/FtpProbe.h"
#include "monitor/core/HttpProbe.h"
#include "monitor/core/PingProbe.h"
#include "monitor/core/Pop3Probe.h"
#include "monitor/core/Services.h"
#include "monitor/core/SmtpProbe.h"
#include "monitor/core/TcpProbe.h"

namespace monitor {

MonitorProbes::MonitorProbes(const MonitorSettings& settings)
    : m_settings(settings)
{
}

std::unique_ptr<Probe> MonitorProbes::createProbe(int serviceIndex)
{
    switch (serviceIndex) {
    case Ping:
        return std::make_unique<PingProbe>(m_settings.echo);
    case Tcp:
        return std::make_unique<TcpProbe>(m_settings);
    case Http:
        return std::make_unique<HttpProbe>(m_settings);
    case Ftp:
        return std::make_unique<FtpProbe>(m_settings);
    case Smtp:
        return std::make_unique<SmtpProbe>(m_settings);
    case Pop3:
        return std::make_unique<Pop3Probe>(m_settings);
    default:
        return nullptr;
    }
}

} // namespace monitor
