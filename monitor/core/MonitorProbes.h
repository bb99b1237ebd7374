#pragma once

// The probes of this program by service: PING and TCP. The application-layer probes plug in
// here as they come; a service without a probe is not tested.

#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

namespace monitor {

class MonitorProbes final : public ProbeFactory
{
public:
    explicit MonitorProbes(const MonitorSettings& settings);
    std::unique_ptr<Probe> createProbe(int serviceIndex) override;

private:
    const MonitorSettings& m_settings;
};

} // namespace monitor
