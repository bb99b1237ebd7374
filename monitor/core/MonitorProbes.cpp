#include "monitor/core/MonitorProbes.h"

#include "monitor/core/PingProbe.h"
#include "monitor/core/Services.h"
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
    default:
        return nullptr;
    }
}

} // namespace monitor
