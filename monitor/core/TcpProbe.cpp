#include "monitor/core/TcpProbe.h"

#include "common/net/WSocketResolve.h"
#include "monitor/core/FailureReason.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace monitor {

namespace {

// A name the socket layer would look up, blocking, at its connect; longer texts it refuses.
bool needsLookUp(const std::string& host)
{
    return !host.empty() && host.size() <= 256 && !net::WSocketIsDottedIP(host)
        && !net::SocketAddress::fromNumeric(host) && host.find('\0') == std::string::npos;
}

} // namespace

TcpProbe::TcpProbe(const MonitorSettings& settings)
    : m_settings(settings)
{
    m_deadline.setPrecise(true);
    m_deadline.setOnTimeout([this] {
        m_reason = TimedOutReason;
        finish(false);
    });
    WSocket1.OnSessionConnected = [this](net::TWSocket& socket, int error) {
        if (!m_done)
            return;
        const int failure = error != 0 ? error : socket.LastError();
        if (failure != 0)
            m_reason = socketFailureReason(failure);
        finish(failure == 0 && socket.State() == net::TSocketState::wsConnected);
    };
}

TcpProbe::~TcpProbe()
{
    WSocket1.OnSessionConnected = nullptr;
}

void TcpProbe::start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done)
{
    m_lines = &lines;
    m_attempt = attempt;
    m_port = context.portText;
    m_done = std::move(done);
    m_reason.clear();
    const auto timeOut = m_settings.of(Service::Tcp).timeOut.count();
    m_timeOut = static_cast<int>(std::clamp<decltype(timeOut)>(timeOut, 0, INT_MAX));
    m_started = std::chrono::steady_clock::now();
    m_deadline.start(m_timeOut, true);
    const std::string host = net::WSocketTrim(context.IP);
    if (!needsLookUp(host))
        return connect({ context.IP });
    m_resolver.lookup(host, [this, host](int error, const std::vector<std::string>& addresses) {
        if (error != 0) {
            m_reason = socketFailureReason(error);
            return failWith("connect: WSocketResolveHost: Cannot convert host address '" + host + "', Error #"
                + std::to_string(error));
        }
        connect(addresses);
    });
}

void TcpProbe::connect(const std::vector<std::string>& addresses)
{
    try {
        WSocket1.Close();
        WSocket1.SetProto("tcp");
        if (addresses.size() == 1)
            WSocket1.SetAddr(addresses.front());
        else
            WSocket1.SetAddrList(addresses);
        WSocket1.SetPort(m_port);
        // The addresses of a name share what the look-up left of the time-out.
        const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_started);
        WSocket1.SetConnectTimeout(static_cast<int>(std::max<long long>(m_timeOut - spent.count(), 1)));
        WSocket1.Connect();
    } catch (const std::exception& e) {
        m_reason = shortReason(e.what());
        failWith(e.what());
    }
}

void TcpProbe::failWith(const std::string& message)
{
    if (m_attempt == Attempt::First && m_lines)
        m_lines->activity(message);
    finish(false);
}

void TcpProbe::abort()
{
    if (m_done)
        finish(false);
}

void TcpProbe::finish(bool ok)
{
    if (!m_done)
        return;
    m_deadline.stop();
    m_resolver.cancel();
    try {
        WSocket1.Close();
    } catch (const std::exception&) {
        // The connection is dropped whatever the close reports.
    }
    Done done = std::move(m_done);
    m_done = nullptr;
    done(ok);
}

} // namespace monitor
