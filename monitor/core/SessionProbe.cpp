#include "monitor/core/SessionProbe.h"

#include "common/net/SyncWait.h"
#include "monitor/core/FailureReason.h"
#include "monitor/core/Services.h"

#include <algorithm>
#include <climits>
#include <exception>

namespace monitor {

SessionProbe::SessionProbe(const MonitorSettings& settings, Service service, bool showsQuitAnswer)
    : m_settings(settings)
    , m_service(service)
    , m_showsQuitAnswer(showsQuitAnswer)
{
    if (rowOf(service).tls)
        m_certificate.emplace(settings, rowOf(service).texts.word);
    m_deadline.setPrecise(true);
    m_deadline.setOnTimeout([this] { onTimeOut(); });
}

SessionProbe::~SessionProbe() = default;

std::string SessionProbe::portOf(const TestContext& context, const std::string& standardPort)
{
    if (context.portNumber >= 1 && context.portNumber <= 65535)
        return std::to_string(context.portNumber);
    return standardPort;
}

void SessionProbe::start(const TestContext& context, Attempt attempt, ProbeLines& lines, Done done)
{
    m_lines = &lines;
    m_attempt = attempt;
    m_done = std::move(done);
    m_aborted = false;
    m_reason.clear();
    setTarget(context.IP, portOf(context, rowOf(m_service).standardPort));
    if (m_certificate)
        secure(m_certificate->begin(context, context.IP));
    // A name's addresses share the open's time-out: a silent first one cannot use it all up.
    controlSocket().SetConnectTimeout(static_cast<int>(timeOut().count()));
    run(Step::Opening);
}

void SessionProbe::run(Step step)
{
    m_step = step;
    m_timedOut = false;
    try {
        if (step == Step::Opening)
            open();
        else
            quit();
    } catch (const std::exception&) {
        // Misuse of the client: a false result, as the blocking operations give.
        return finish(false);
    }
    m_deadline.start(static_cast<int>(timeOut().count()), true);
}

std::chrono::milliseconds SessionProbe::timeOut() const
{
    // A data file may hold any number: the timer counts at most some 24 days.
    std::chrono::milliseconds timeOut = m_settings.of(m_service).timeOut;
    if (timeOut.count() <= 0)
        timeOut = std::chrono::seconds(net::SyncWait::kDefaultTimeout);
    const std::chrono::milliseconds longest = std::chrono::seconds(INT_MAX / 1000);
    return std::min(timeOut, longest);
}

void SessionProbe::onTimeOut()
{
    if (m_step == Step::Idle)
        return;
    m_timedOut = true;
    // The client reports the aborted request's end; requestDone goes on from there.
    abortClient();
}

void SessionProbe::abort()
{
    if (m_step == Step::Idle || m_aborted)
        return;
    m_aborted = true;
    m_deadline.stop();
    abortClient();
}

std::string SessionProbe::failureOfRequest() const
{
    if (m_timedOut)
        return TimedOutReason;
    // A socket error, or the server's own answer (a greeting such as "421 ..." or "-ERR ...").
    if (const int error = requestError(); error >= 10000)
        return socketFailureReason(error);
    return shortReason(lastResponse());
}

bool SessionProbe::verboseLines() const
{
    return m_settings.Verbose && m_attempt == Attempt::First && !m_aborted;
}

void SessionProbe::requestDone()
{
    if (m_step == Step::Idle)
        return;
    m_deadline.stop();
    const bool ok = !m_timedOut && !m_aborted && requestError() == 0;
    if (!ok)
        m_reason = failureOfRequest();
    if (m_step == Step::Opening) {
        // This attempt's handshake: it ended when the open got as far as the greeting, or
        // failed itself.
        if (m_certificate && !m_timedOut && !m_aborted && (ok || requestError() == net::TlsFailed))
            m_certificate->handshakeEnded(tlsPeer());
        if (!ok)
            return finish(false);
        if (verboseLines())
            m_lines->activity(lastResponse());
        return run(Step::Quitting);
    }
    if (m_showsQuitAnswer && verboseLines())
        m_lines->activity(lastResponse());
    finish(ok);
}

void SessionProbe::finish(bool ok)
{
    if (m_certificate && !m_aborted)
        ok = m_certificate->judge(ok, m_attempt, *m_lines, m_reason);
    m_step = Step::Idle;
    m_deadline.stop();
    // No request runs now, so dropping the connection reports nothing.
    if (connected())
        abortClient();
    Done done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(ok);
}

void SessionProbe::reportResult(bool ok, ProbeLines& lines)
{
    if (m_certificate)
        m_certificate->reportResult(ok, lines);
}

std::optional<std::time_t> SessionProbe::certificateNotAfter() const
{
    return m_certificate ? m_certificate->notAfter() : std::nullopt;
}

} // namespace monitor
