// TCustomSmtpClient: request sequencing and SMTP's reply rules (RFC 5321 section 4.2). The
// commands are in SmtpCommands.cpp, DATA with the header and the transfer in SmtpData.cpp.

#include "CustomSmtpClient.h"

#include "WinsockErrors.h"
#include "detail/LineBreaks.h"
#include "detail/SmtpCodecs.h"

namespace net {

namespace {

int asInt(TSmtpRequest request)
{
    return static_cast<int>(request);
}

constexpr auto kStates = ControlConnection::States::of(TSmtpState::smtpReady,
    TSmtpState::smtpDnsLookup,
    TSmtpState::smtpConnecting,
    TSmtpState::smtpWaitingBanner,
    TSmtpState::smtpWaitingResponse,
    TSmtpState::smtpAbort);

} // namespace

TCustomSmtpClient::TCustomSmtpClient()
    : ClientEvents(kStates, { "SMTP", "500 " }, LineReader(kReplyBufferSize, LineEnd::CrLf, LineOverflow::Cut))
{
}

void TCustomSmtpClient::SetRcptNameText(const std::string& text)
{
    RcptName = splitLines(text, FinalBreak::EndsLastLine);
}

std::string TCustomSmtpClient::mediaType() const
{
    return ContentType == TSmtpContentType::smtpHTML ? "text/html" : "text/plain";
}

// Ready means idle. Between the steps of Open or Mail and during the DATA transfer the state
// is smtpInternalReady; only the engine itself may start a command then, so that a caller
// re-entering through the event loop (a timer during a wait) cannot cut into a running request.
void TCustomSmtpClient::checkReady() const
{
    if (State() == TSmtpState::smtpInternalReady && m_inStep)
        return;
    ControlConnection::checkReady();
}

void TCustomSmtpClient::startRequest(TSmtpRequest request)
{
    if (m_multiStep) {
        engine().reopen();
        return;
    }
    engine().start(asInt(request));
    engine().clearError();
}

void TCustomSmtpClient::execCommand(
    TSmtpRequest request, const std::string& command, std::vector<int> accepted, Action done)
{
    checkReady();
    if (!Connected())
        misuse("not connected");
    startRequest(request);
    sendCommand(command, std::move(accepted), std::move(done));
}

void TCustomSmtpClient::completeRequest(int error)
{
    if (!engine().end())
        return;
    if (m_multiStep) {
        m_lastStepResult = error;
        if (State() != TSmtpState::smtpAbort)
            setState(TSmtpState::smtpInternalReady);
        nextStep();
        return;
    }
    engine().setResult(error);
    m_dataTransfer = false;
    engine().postDone(error);
    setState(TSmtpState::smtpReady);
}

// ---- multi-step requests ------------------------------------------------------------------

void TCustomSmtpClient::startMultiStep(TSmtpRequest request, unsigned steps)
{
    if (steps & stepConnect)
        checkNotConnected();
    checkReady();
    engine().start(asInt(request));
    m_multiRequest = request;
    m_overallResult = 0;
    m_lastStepResult = 0;
    m_lastStep = 0;
    m_steps = steps;
    engine().clearTexts();
    m_multiStep = true;
    try {
        nextStep();
    } catch (const ClientDestroyed&) {
        throw;
    } catch (...) {
        // The first step failed before anything was sent: the caller gets the exception.
        m_multiStep = false;
        engine().end();
        setStateQuietly(static_cast<int>(TSmtpState::smtpReady));
        throw;
    }
}

void TCustomSmtpClient::nextStep()
{
    if (State() == TSmtpState::smtpAbort) {
        m_steps = 0;
        m_overallResult = RequestEngine::kTimeoutCode;
        m_lastStepResult = RequestEngine::kTimeoutCode;
        engine().overwriteError(RequestEngine::kAbortedText);
    } else if (m_lastStepResult != 0) {
        if (m_lastStep == stepEhlo && Security != TlsMode::StartTls) {
            m_steps = stepHelo; // a server without ESMTP still speaks HELO (but offers no STARTTLS)
        } else {
            m_overallResult = m_lastStepResult;
            m_steps = ((m_steps & stepQuit) && m_lastStep != stepQuit) ? unsigned(stepQuit) : 0u;
        }
        m_lastStepResult = 0;
    }
    static constexpr unsigned kOrder[] = { stepConnect,
        stepHelo,
        stepEhlo,
        stepStartTls,
        stepEhloAgain,
        stepAuth,
        stepVrfy,
        stepMailFrom,
        stepRcptTo,
        stepData,
        stepQuit };
    for (const unsigned step : kOrder) {
        if (m_steps & step) {
            m_steps &= ~step;
            m_lastStep = step;
            runStep(step);
            return;
        }
    }
    m_multiStep = false;
    engine().setRequest(asInt(m_multiRequest));
    engine().reopen();
    completeRequest(m_overallResult);
}

// A step that raises inside a socket event is handled by the socket, which aborts the
// connection; the request stays open so that the close can still end it.
void TCustomSmtpClient::runStep(unsigned step)
{
    engine().reopen();
    runInternal([this, step] {
        switch (step) {
        case stepConnect:
            doConnect();
            break;
        case stepHelo:
            doHelo();
            break;
        case stepEhlo:
        case stepEhloAgain:
            doEhlo();
            break;
        case stepStartTls:
            doStartTls();
            break;
        case stepAuth:
            doAuth();
            break;
        case stepVrfy:
            doVrfy();
            break;
        case stepMailFrom:
            doMailFrom();
            break;
        case stepRcptTo:
            doRcptTo();
            break;
        case stepData:
            doData();
            break;
        default:
            doQuit();
            break;
        }
    });
}

void TCustomSmtpClient::runInternal(const Action& action)
{
    const bool outer = m_inStep;
    m_inStep = true;
    try {
        action();
    } catch (const ClientDestroyed&) {
        throw; // nothing of the client may be touched
    } catch (...) {
        m_inStep = outer;
        throw;
    }
    m_inStep = outer;
}

// ---- public operations --------------------------------------------------------------------

void TCustomSmtpClient::Connect()
{
    RequestEngine::entry([this] { doConnect(); });
}
void TCustomSmtpClient::Helo()
{
    RequestEngine::entry([this] { doHelo(); });
}
void TCustomSmtpClient::Ehlo()
{
    RequestEngine::entry([this] { doEhlo(); });
}
void TCustomSmtpClient::Auth()
{
    RequestEngine::entry([this] { doAuth(); });
}
void TCustomSmtpClient::Vrfy()
{
    RequestEngine::entry([this] { doVrfy(); });
}
void TCustomSmtpClient::MailFrom()
{
    RequestEngine::entry([this] { doMailFrom(); });
}
void TCustomSmtpClient::RcptTo()
{
    RequestEngine::entry([this] { doRcptTo(); });
}
void TCustomSmtpClient::Data()
{
    RequestEngine::entry([this] { doData(); });
}
void TCustomSmtpClient::Quit()
{
    RequestEngine::entry([this] { doQuit(); });
}
void TCustomSmtpClient::Rset()
{
    RequestEngine::entry([this] { doRset(); });
}
void TCustomSmtpClient::StartTls()
{
    RequestEngine::entry([this] { doStartTls(); });
}
void TCustomSmtpClient::Abort()
{
    RequestEngine::entry([this] { doAbort(); });
}

void TCustomSmtpClient::Open()
{
    RequestEngine::entry([this] {
        const unsigned auth = AuthType == TSmtpAuthType::smtpAuthNone ? 0u : unsigned(stepAuth);
        unsigned steps = stepConnect | stepHelo;
        if (Security == TlsMode::StartTls)
            steps = stepConnect | stepEhlo | stepStartTls | stepEhloAgain | auth;
        else if (auth)
            steps = stepConnect | stepEhlo | auth;
        startMultiStep(TSmtpRequest::smtpRqOpen, steps);
    });
}

void TCustomSmtpClient::Mail()
{
    RequestEngine::entry([this] { startMultiStep(TSmtpRequest::smtpRqMail, stepMailFrom | stepRcptTo | stepData); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomSmtpClient::doConnect()
{
    checkReady();
    checkNotConnected();
    startRequest(TSmtpRequest::smtpRqConnect);
    engine().setResult(0);
    m_ehloSupported = false;
    m_extensions = {};
    setTls(Security, TlsSettings { {}, std::nullopt, TrustFile });
    startLookup(Host, Port, LocalAddr);
}

void TCustomSmtpClient::sessionClosed(int error)
{
    m_dataTransfer = false;
    fireSessionClosed(error);
    completeRequest(RequestType() == TSmtpRequest::smtpRqQuit ? 0 : int(WSAEINTR));
}

// Ends everything that runs: the look-up, the connection, the request (with 426), also the
// steps of Open or Mail still to come. A close event of the connection ends the request on its
// way; without a connection (a look-up or nothing yet) it is ended here.
void TCustomSmtpClient::doAbort()
{
    setState(TSmtpState::smtpAbort);
    m_dataTransfer = false;
    m_batchInFlight = false;
    m_pieces.clear();
    Socket().CancelDnsLookup();
    Socket().Abort();
    setConnected(false);
    RequestEngine& e = engine();
    if (!e.ended() || m_multiStep) {
        if (m_multiStep) {
            m_multiStep = false;
            m_steps = 0;
            e.setRequest(asInt(m_multiRequest));
            e.overwriteError(RequestEngine::kAbortedText);
        } else {
            e.noteError(RequestEngine::kAbortedText);
        }
        e.reopen();
        e.end();
        e.setResult(RequestEngine::kTimeoutCode);
        e.postDone(RequestEngine::kTimeoutCode);
    }
    setState(TSmtpState::smtpReady);
}

// ---- replies ------------------------------------------------------------------------------

// Shows a reply line and records its code; false while more lines of the reply follow.
bool TCustomSmtpClient::takeReplyLine(const std::string& line, int& code)
{
    display("< " + line);
    bool continuation = false;
    code = smtpReplyCode(line, continuation);
    engine().setStatusCode(code);
    return !continuation;
}

void TCustomSmtpClient::greetingLine(const std::string& line)
{
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    if (code != 220)
        return greetingRefused(code);
    greetingAccepted(TSmtpState::smtpConnected);
}

void TCustomSmtpClient::replyLine(const std::string& line)
{
    if (m_collectingEhlo)
        smtpNoteEhloLine(line, m_extensions);
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    m_collectingEhlo = false;
    const int result = engine().judge(code);
    if (Action then = engine().takeContinuation()) {
        // The continuation belongs to the running request: it may send the next command.
        setState(TSmtpState::smtpInternalReady);
        runInternal(then);
        return;
    }
    if (RequestType() == TSmtpRequest::smtpRqQuit && Connected())
        return; // QUIT completes when the server closes the connection
    completeRequest(result);
}

} // namespace net
