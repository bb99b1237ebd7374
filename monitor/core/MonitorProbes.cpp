#include "monitor/core/MonitorProbes.h"

#include "monitor/core/Services.h"

namespace monitor {

MonitorProbes::MonitorProbes(const MonitorSettings& settings)
    : m_settings(settings)
{
}

std::unique_ptr<Probe> MonitorProbes::createProbe(Service service)
{
    return rowOf(service).makeProbe(m_settings);
}

} // namespace monitor
