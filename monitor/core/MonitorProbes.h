#pragma once

// The probes of this program by service, as each service's row makes them. Each call makes a
// probe with a client of its own, so that the probes of a parallel pass never share one.

#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

namespace monitor {

class MonitorProbes final : public ProbeFactory
{
public:
    explicit MonitorProbes(const MonitorSettings& settings);
    std::unique_ptr<Probe> createProbe(Service service) override;

private:
    const MonitorSettings& m_settings;
};

} // namespace monitor
