#include "monitor/core/HttpProbe.h"

#include "monitor/core/FailureReason.h"
#include "monitor/core/ProbeTexts.h"
#include "monitor/core/Services.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace monitor {

namespace {

constexpr const char* TimeoutReason = "Timeout";

} // namespace

HttpProbe::HttpProbe(const MonitorSettings& settings, Service service)
    : m_settings(settings)
    , m_service(service)
{
    if (rowOf(service).tls) {
        m_certificate.emplace(settings, rowOf(service).texts.word, false);
        HTTP1.OnSessionConnected = [this](net::THttpCli& client, int error) {
            if (error == 0 || error == net::TlsFailed)
                m_certificate->handshakeEnded(client.TlsPeer());
        };
    }
    HTTP1.LocalAddr = "0.0.0.0";
    HTTP1.NoCache = false;
    HTTP1.OnRequestDone = [this](net::THttpCli&, net::THttpRequest, int) { requestDone(); };
    m_deadline.setPrecise(true);
    m_deadline.setOnTimeout([this] {
        if (!m_running)
            return;
        m_timedOut = true;
        // The client reports the aborted request's end; requestDone goes on from there.
        HTTP1.Abort();
    });
}

HttpProbe::~HttpProbe()
{
    HTTP1.OnRequestDone = nullptr;
    HTTP1.OnSessionConnected = nullptr;
}

void HttpProbe::start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done)
{
    m_lines = &lines;
    m_attempt = attempt;
    m_done = std::move(done);
    m_timedOut = false;
    m_aborted = false;
    m_reason.clear();
    const ProbeTexts& texts = rowOf(m_service).texts;
    m_url = texts.target(context);
    HTTP1.URL = m_url;
    if (m_certificate) {
        HTTP1.URL = "https://" + m_url;
        HTTP1.Tls = m_certificate->begin(context, m_url);
    }
    // A name's addresses share the time-out: a silent first one cannot use it all up.
    const auto timeOut = m_settings.of(m_service).timeOut.count();
    HTTP1.CtrlSocket().SetConnectTimeout(static_cast<int>(std::clamp<decltype(timeOut)>(timeOut, 0, INT_MAX)));
    try {
        HTTP1.Head();
    } catch (const std::exception& e) {
        // Only a busy client raises here, which one probe never meets; reported all the same.
        if (attempt == Attempt::First) {
            lines.activity(std::string("* Exception: ") + e.what());
            lines.log(exceptionHead() + e.what());
        }
        return finish(false);
    }
    m_running = true;
    m_deadline.start(static_cast<int>(std::clamp<decltype(timeOut)>(timeOut, 0, INT_MAX)), true);
}

void HttpProbe::abort()
{
    if (!m_running || m_aborted)
        return;
    m_aborted = true;
    m_deadline.stop();
    HTTP1.Abort();
}

void HttpProbe::requestDone()
{
    if (!m_running)
        return;
    m_running = false;
    m_deadline.stop();
    if (m_aborted)
        return finish(false);
    const bool failed = m_timedOut || HTTP1.ReplyStatusCode() > 399;
    if (!failed)
        return finish(true);
    const auto& reply = HTTP1.ReplyHeader();
    const bool statusLine = !reply.empty() && reply.front().rfind("HTTP", 0) == 0;
    if (m_timedOut)
        m_reason = TimedOutReason;
    else if (statusLine)
        m_reason = "HTTP " + std::to_string(HTTP1.ReplyStatusCode()) + " " + HTTP1.ReplyReason();
    else
        m_reason = shortReason(HTTP1.ReplyReason());
    if (m_attempt == Attempt::Retry)
        return finish(false);
    const std::string reason = m_timedOut ? std::string(TimeoutReason) : HTTP1.ReplyReason();
    m_lines->activity("* Exception: " + reason);
    m_lines->log(exceptionHead() + reason);
    // A status line proves the server alive, whatever it said.
    finish(statusLine);
}

std::string HttpProbe::exceptionHead() const
{
    return std::string("* ") + rowOf(m_service).texts.word + " Exception [" + m_url + "] ";
}

void HttpProbe::finish(bool ok)
{
    if (m_certificate && !m_aborted)
        ok = m_certificate->judge(ok, m_attempt, *m_lines, m_reason);
    m_running = false;
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(ok);
}

void HttpProbe::reportResult(bool ok, ProbeLines& lines)
{
    if (!ok || !m_settings.Verbose)
        return;
    for (const std::string& line : HTTP1.ReplyHeader())
        lines.activity(line);
    if (m_certificate)
        m_certificate->reportResult(ok, lines);
}

std::optional<std::time_t> HttpProbe::certificateNotAfter() const
{
    return m_certificate ? m_certificate->notAfter() : std::nullopt;
}

} // namespace monitor
