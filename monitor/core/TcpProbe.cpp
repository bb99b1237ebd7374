#include "monitor/core/TcpProbe.h"

#include "common/net/WSocketResolve.h"
#include "monitor/core/FailureReason.h"
#include "monitor/core/Services.h"

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

TcpProbe::TcpProbe(const MonitorSettings& settings, Service service)
    : m_settings(settings)
{
    if (rowOf(service).tls)
        m_certificate.emplace(settings, rowOf(service).texts.word);
    m_deadline.setPrecise(true);
    m_deadline.setOnTimeout([this] {
        m_reason = TimedOutReason;
        finish(false);
    });
    WSocket1.OnSessionConnected = [this](net::TWSocket&, int error) { connected(error); };
    WSocket1.OnTlsDone = [this](net::TWSocket& socket, int error) {
        if (!m_done || !m_handshaking)
            return;
        m_handshaking = false;
        m_certificate->handshakeEnded(socket.TlsPeer());
        finish(error == 0);
    };
}

TcpProbe::~TcpProbe()
{
    WSocket1.OnSessionConnected = nullptr;
    WSocket1.OnTlsDone = nullptr;
}

void TcpProbe::startDeadline()
{
    const auto timeOut = m_settings.of(Service::Tcp).timeOut.count();
    m_timeOut = static_cast<int>(std::clamp<decltype(timeOut)>(timeOut, 0, INT_MAX));
    m_started = std::chrono::steady_clock::now();
    m_deadline.start(m_timeOut, true);
}

void TcpProbe::start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done)
{
    m_lines = &lines;
    m_attempt = attempt;
    m_port = context.portText;
    m_done = std::move(done);
    m_handshaking = false;
    m_reason.clear();
    if (m_certificate) {
        m_tls = m_certificate->begin(context, context.IP);
        if (context.portNumber < 1 || context.portNumber > 65535) {
            const std::string line = "* TLS [" + context.IP + "] No port: a TLS test needs the row's port number";
            if (attempt == Attempt::First) {
                lines.activity(line);
                lines.log(line);
            }
            m_reason = "no port";
            return finish(false);
        }
        m_port = std::to_string(context.portNumber);
    }
    startDeadline();
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

void TcpProbe::connected(int error)
{
    if (!m_done || m_handshaking)
        return;
    const int failure = error != 0 ? error : WSocket1.LastError();
    if (failure != 0)
        m_reason = socketFailureReason(failure);
    const bool ok = failure == 0 && WSocket1.State() == net::TSocketState::wsConnected;
    if (!ok || !m_certificate)
        return finish(ok);
    // The handshake gets a deadline of its own.
    m_handshaking = true;
    startDeadline();
    WSocket1.StartTls(m_tls);
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
    m_handshaking = false;
    if (m_certificate)
        ok = m_certificate->judge(ok, m_attempt, *m_lines, m_reason);
    try {
        WSocket1.Close();
    } catch (const std::exception&) {
        // The connection is dropped whatever the close reports.
    }
    Done done = std::move(m_done);
    m_done = nullptr;
    done(ok);
}

void TcpProbe::reportResult(bool ok, ProbeLines& lines)
{
    if (m_certificate)
        m_certificate->reportResult(ok, lines);
}

std::optional<std::time_t> TcpProbe::certificateNotAfter() const
{
    return m_certificate ? m_certificate->notAfter() : std::nullopt;
}

} // namespace monitor
