#pragma once

// The TCP probe's attempt: a connect to the IP text and port; success is the handshake
// completed within TCP's time-out. It sleeps in the event loop until the connect completes,
// the deadline passes or Abort cuts it short, then closes the socket, which resets the
// connection (linger on, 0 s). A name in the IP column is looked up in the background first,
// within the same deadline; its addresses (IPv4 and IPv6) are then tried in the resolver's
// order, sharing what is left of the time-out, so a dead first address cannot use it all up. The socket layer's errors (an empty or bad port, a name that does
// not resolve) are shown unchanged on the first attempt and fail it.

#include "monitor/core/MonitorSettings.h"
#include "monitor/core/Probe.h"

#include "common/core/EventLoop.h"
#include "common/net/HostResolver.h"
#include "common/net/WSocket.h"

#include <chrono>
#include <string>
#include <vector>

namespace monitor {

class TcpProbe final : public Probe
{
public:
    // TCP's time-out is read at every attempt.
    explicit TcpProbe(const MonitorSettings& settings);
    ~TcpProbe() override;

    void start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done) override;
    void abort() override;

private:
    void connect(const std::vector<std::string>& addresses);
    void failWith(const std::string& message);
    void finish(bool ok);

    const MonitorSettings& m_settings;
    net::TWSocket WSocket1;
    net::HostResolver m_resolver;
    core::Timer m_deadline;
    ProbeLines* m_lines = nullptr;
    Attempt m_attempt = Attempt::First;
    std::string m_port;
    int m_timeOut = 0;
    std::chrono::steady_clock::time_point m_started;
    Done m_done;
};

} // namespace monitor
