#include "monitor/core/PingProbe.h"

#include "monitor/core/FailureReason.h"

#include <algorithm>
#include <cstdint>

namespace monitor {

PingProbe::PingProbe(const MonitorSettings& settings)
    : m_settings(settings)
{
    m_echo.OnDisplay = [this](const std::string& msg) {
        if (m_lines)
            m_lines->activity(msg);
    };
    m_echo.OnEchoReply = [this](int status) { Ping1EchoReply(status); };
}

std::string PingProbe::noPermissionLine(const std::string& ip, const std::string& failure)
{
    return "Cannot ping host " + ip + " : " + failure
        + " (this user may not send ICMP echoes; see \"ICMP permissions\" in the README)";
}

void PingProbe::start(const TestContext& context, Attempt, ProbeLines& lines, Done done)
{
    m_lines = &lines;
    m_ok = false;
    m_reason = "no reply";
    m_echo.setAddress(context.IP);
    m_echo.setSize(m_settings.echo.size);
    const auto timeOut = m_settings.of(Service::Ping).timeOut.count();
    m_echo.setTimeout(static_cast<uint32_t>(std::clamp<decltype(timeOut)>(timeOut, 0, UINT32_MAX)));
    m_echo.setTTL(m_settings.echo.ttl);
    m_echo.setFlags(0);
    try {
        m_echo.start([this, done](int) { done(m_ok); });
    } catch (const net::TICMPException& e) {
        m_reason = "no permission to ping";
        lines.activity(noPermissionLine(context.IP, e.what()));
        done(false);
    }
}

void PingProbe::Ping1EchoReply(int status)
{
    if (!m_lines)
        return;
    if (status == 0) {
        if (m_echo.LastError() != 0)
            m_reason = shortReason(m_echo.ErrorText());
        m_lines->activity("Cannot ping host " + m_echo.ResolvedIP() + " : " + m_echo.ErrorText());
        return;
    }
    const net::IcmpEchoReply reply = m_echo.LastReply();
    m_lines->activity("Received " + std::to_string(reply.dataSize) + " bytes from " + m_echo.ResolvedIP() + " in "
        + std::to_string(reply.roundTripTime) + " ms," + " TTL=" + std::to_string(reply.ttl));
    // A report without echoed data (an unreachable host) is shown but proves nothing.
    if (reply.dataSize == m_echo.Size())
        m_ok = true;
    else if (m_echo.LastError() != 0)
        m_reason = shortReason(m_echo.ErrorText());
}

} // namespace monitor
