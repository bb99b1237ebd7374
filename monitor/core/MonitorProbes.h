#pragma once

// The probes of this program by service: PING, TCP, HTTP, FTP, SMTP and POP3. Each call makes a
// probe with a client of its own, so that the probes of a parallel pass never share one.

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
