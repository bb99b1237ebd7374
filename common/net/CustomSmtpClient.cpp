// TCustomSmtpClient: request sequencing, the socket events and the reply reader. The
// commands are in SmtpCommands.cpp, DATA with the header and the transfer in SmtpData.cpp.
//
// Every event goes through m_engine.fire, which throws ClientDestroyed when the handler
// destroyed the client; nothing here catches that but the entry points (RequestEngine::entry
// for the public operations, the socket's event guard for socket events).

#include "CustomSmtpClient.h"

#include "LineBreaks.h"
#include "SmtpCodecs.h"
#include "WinsockErrors.h"

namespace net {

namespace {

std::string winsockReply(int error)
{
    return "500 " + winsockErrorText(error) + " (Winsock error #" + std::to_string(error) + ")";
}

int asInt(TSmtpRequest request)
{
    return static_cast<int>(request);
}

} // namespace

TCustomSmtpClient::TCustomSmtpClient()
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onDataAvailable(); };
    m_socket.OnDataSent = [this](TWSocket&, int) { onDataSent(); };
    m_engine.setDoneHandler([this](int request, int error) {
        if (OnRequestDone)
            OnRequestDone(*this, static_cast<TSmtpRequest>(request), error);
    });
}

TCustomSmtpClient::~TCustomSmtpClient()
{
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
}

void TCustomSmtpClient::SetRcptNameText(const std::string& text)
{
    RcptName = splitLines(text, FinalBreak::EndsLastLine);
}

std::string TCustomSmtpClient::mediaType() const
{
    return ContentType == TSmtpContentType::smtpHTML ? "text/html" : "text/plain";
}

void TCustomSmtpClient::setState(TSmtpState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_engine.fire(OnStateChange, *this);
}

void TCustomSmtpClient::display(const std::string& text)
{
    m_engine.fire(OnDisplay, *this, text);
}

// Ready means idle. Between the steps of Open or Mail and during the DATA transfer the state
// is smtpInternalReady; only the engine itself may start a command then, so that a caller
// re-entering through the event loop (a timer during a wait) cannot cut into a running request.
void TCustomSmtpClient::checkReady()
{
    if (m_state == TSmtpState::smtpReady)
        return;
    if (m_state == TSmtpState::smtpInternalReady && m_inStep)
        return;
    throw SmtpException("SMTP component not ready");
}

void TCustomSmtpClient::startRequest(TSmtpRequest request)
{
    if (m_multiStep) {
        m_engine.reopen();
        return;
    }
    m_engine.start(asInt(request));
    m_engine.clearError();
}

void TCustomSmtpClient::execCommand(
    TSmtpRequest request, const std::string& command, std::vector<int> accepted, Action done)
{
    checkReady();
    if (!m_connected)
        throw SmtpException("SMTP component not connected");
    startRequest(request);
    m_engine.expect(std::move(accepted), std::move(done));
    setState(TSmtpState::smtpWaitingResponse);
    m_engine.fire(OnCommand, *this, command);
    display("> " + command);
    sendCommandLine(command);
}

// Sends a command line without changing the request (also used for the AUTH continuations).
// A line break inside a value would start a command of its own: it becomes a blank.
void TCustomSmtpClient::sendCommandLine(const std::string& command)
{
    if (m_socket.State() != TSocketState::wsConnected)
        return;
    std::string line = command;
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    line += "\r\n";
    m_socket.SendStr(line);
}

// A reply made up here (look-up or connect failure, unsupported AUTH) ends the request.
void TCustomSmtpClient::localFailure(const std::string& response, int result)
{
    m_engine.localReply(response, result);
    completeRequest(result);
}

void TCustomSmtpClient::completeRequest(int error)
{
    if (!m_engine.end())
        return;
    if (m_multiStep) {
        m_lastStepResult = error;
        if (m_state != TSmtpState::smtpAbort)
            setState(TSmtpState::smtpInternalReady);
        nextStep();
        return;
    }
    m_engine.setResult(error);
    m_dataTransfer = false;
    m_engine.postDone(error);
    setState(TSmtpState::smtpReady);
}

// ---- multi-step requests ------------------------------------------------------------------

void TCustomSmtpClient::startMultiStep(TSmtpRequest request, unsigned steps)
{
    if (m_connected && (steps & stepConnect))
        throw SmtpException("SMTP component already connected");
    checkReady();
    m_engine.start(asInt(request));
    m_multiRequest = request;
    m_overallResult = 0;
    m_lastStepResult = 0;
    m_lastStep = 0;
    m_steps = steps;
    m_engine.clearTexts();
    m_multiStep = true;
    try {
        nextStep();
    } catch (const ClientDestroyed&) {
        throw;
    } catch (...) {
        // The first step failed before anything was sent: the caller gets the exception.
        m_multiStep = false;
        m_engine.end();
        m_state = TSmtpState::smtpReady;
        throw;
    }
}

void TCustomSmtpClient::nextStep()
{
    if (m_state == TSmtpState::smtpAbort) {
        m_steps = 0;
        m_overallResult = RequestEngine::kTimeoutCode;
        m_lastStepResult = RequestEngine::kTimeoutCode;
        m_engine.overwriteError(RequestEngine::kAbortedText);
    } else if (m_lastStepResult != 0) {
        if (m_lastStep == stepEhlo) {
            m_steps = stepHelo; // a server without ESMTP still speaks HELO
        } else {
            m_overallResult = m_lastStepResult;
            m_steps = ((m_steps & stepQuit) && m_lastStep != stepQuit) ? unsigned(stepQuit) : 0u;
        }
        m_lastStepResult = 0;
    }
    static constexpr unsigned kOrder[]
        = { stepConnect, stepHelo, stepEhlo, stepAuth, stepVrfy, stepMailFrom, stepRcptTo, stepData, stepQuit };
    for (const unsigned step : kOrder) {
        if (m_steps & step) {
            m_steps &= ~step;
            m_lastStep = step;
            runStep(step);
            return;
        }
    }
    m_multiStep = false;
    m_engine.setRequest(asInt(m_multiRequest));
    m_engine.reopen();
    completeRequest(m_overallResult);
}

// A step that raises inside a socket event is handled by the socket, which aborts the
// connection; the request stays open so that the close can still end it.
void TCustomSmtpClient::runStep(unsigned step)
{
    m_engine.reopen();
    runInternal([this, step] {
        switch (step) {
        case stepConnect:
            doConnect();
            break;
        case stepHelo:
            doHelo();
            break;
        case stepEhlo:
            doEhlo();
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
void TCustomSmtpClient::Abort()
{
    RequestEngine::entry([this] { doAbort(); });
}

void TCustomSmtpClient::Open()
{
    RequestEngine::entry([this] {
        const unsigned steps
            = AuthType == TSmtpAuthType::smtpAuthNone ? stepConnect | stepHelo : stepConnect | stepEhlo | stepAuth;
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
    if (m_connected)
        throw SmtpException("SMTP component already connected");
    startRequest(TSmtpRequest::smtpRqConnect);
    m_reply.clear();
    m_engine.setResult(0);
    m_ehloSupported = false;
    setState(TSmtpState::smtpDnsLookup);
    try {
        m_socket.DnsLookup(Host);
    } catch (const ESocketException& e) {
        // An empty host: the request ends like any other failed connect, not stuck.
        localFailure(std::string("500 ESocketException: ") + e.what(), 500);
    }
}

void TCustomSmtpClient::onDnsLookupDone(int error)
{
    // An abort cancels the look-up; its report must not overwrite what the caller keeps.
    if (m_state != TSmtpState::smtpDnsLookup)
        return;
    if (error != 0)
        return localFailure(winsockReply(error), error);
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetLocalAddr(LocalAddr);
        m_socket.SetProto("tcp");
        m_socket.SetPort(Port);
        setState(TSmtpState::smtpConnecting);
        m_socket.Connect();
    } catch (const std::exception& e) {
        const char* kind = dynamic_cast<const ESocketException*>(&e) ? "ESocketException" : "Exception";
        m_engine.localReply(std::string("500 ") + kind + ": " + e.what(), 500);
        // A failure before any socket call leaves no socket error: still report a failure.
        completeRequest(m_socket.LastError() != 0 ? m_socket.LastError() : 500);
    }
}

void TCustomSmtpClient::onSocketConnected(int error)
{
    if (error != 0) {
        m_engine.localReply(winsockReply(error), 500);
        completeRequest(error);
        m_socket.Close();
        return;
    }
    m_connected = true;
    setState(TSmtpState::smtpWaitingBanner);
}

void TCustomSmtpClient::onSocketClosed(int error)
{
    m_connected = false;
    m_dataTransfer = false;
    m_engine.fire(OnSessionClosed, *this, error);
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
    m_socket.CancelDnsLookup();
    m_socket.Abort();
    m_connected = false;
    if (!m_engine.ended() || m_multiStep) {
        if (m_multiStep) {
            m_multiStep = false;
            m_steps = 0;
            m_engine.setRequest(asInt(m_multiRequest));
            m_engine.overwriteError(RequestEngine::kAbortedText);
        } else {
            m_engine.noteError(RequestEngine::kAbortedText);
        }
        m_engine.reopen();
        m_engine.end();
        m_engine.setResult(RequestEngine::kTimeoutCode);
        m_engine.postDone(RequestEngine::kTimeoutCode);
    }
    setState(TSmtpState::smtpReady);
}

// ---- replies ------------------------------------------------------------------------------

void TCustomSmtpClient::onDataAvailable()
{
    const int got = m_socket.Receive(m_reply.writePtr(), static_cast<int>(m_reply.space()));
    if (got <= 0)
        return;
    m_reply.commit(static_cast<std::size_t>(got));
    std::string line;
    // Each line may end the request or close the socket; stop reading once it is gone.
    while (m_socket.State() == TSocketState::wsConnected && m_reply.takeLine(line))
        processLine(line);
}

void TCustomSmtpClient::processLine(const std::string& line)
{
    m_engine.setLastResponse(line);
    m_engine.fire(OnResponse, *this, line);
    switch (m_state) {
    case TSmtpState::smtpWaitingBanner:
        onBannerLine(line);
        break;
    case TSmtpState::smtpWaitingResponse:
        onResponseLine(line);
        break;
    default:
        display("< " + line);
        break;
    }
}

// Shows a reply line and records its code; false while more lines of the reply follow.
bool TCustomSmtpClient::takeReplyLine(const std::string& line, int& code)
{
    display("< " + line);
    bool continuation = false;
    code = smtpReplyCode(line, continuation);
    m_engine.setStatusCode(code);
    return !continuation;
}

void TCustomSmtpClient::onBannerLine(const std::string& line)
{
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    if (code != 220) {
        m_engine.noteError(m_engine.lastResponse());
        m_engine.setResult(code);
        m_socket.Close(); // the request ends through the session-closed step
        return;
    }
    setState(TSmtpState::smtpConnected);
    m_engine.fire(OnSessionConnected, *this, 0);
    completeRequest(0);
}

void TCustomSmtpClient::onResponseLine(const std::string& line)
{
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    const int result = m_engine.judge(code);
    if (Action then = m_engine.takeContinuation()) {
        // The continuation belongs to the running request: it may send the next command.
        setState(TSmtpState::smtpInternalReady);
        runInternal(then);
        return;
    }
    if (RequestType() == TSmtpRequest::smtpRqQuit && m_connected)
        return; // QUIT completes when the server closes the connection
    completeRequest(result);
}

} // namespace net
