// TCustomSmtpClient: request sequencing, the socket events and the reply reader. The
// commands themselves are in SmtpCommands.cpp.

#include "CustomSmtpClient.h"

#include "SmtpCodecs.h"
#include "WinsockErrors.h"

#include <algorithm>

namespace net {

namespace {

std::string winsockReply(int error)
{
    return "500 " + winsockErrorText(error) + " (Winsock error #" + std::to_string(error) + ")";
}

} // namespace

TCustomSmtpClient::TCustomSmtpClient()
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onDataAvailable(); };
    m_socket.OnDataSent = [this](TWSocket&, int) { onDataSent(); };
}

TCustomSmtpClient::~TCustomSmtpClient()
{
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
}

void TCustomSmtpClient::SetRcptNameText(const std::string& text)
{
    RcptName = smtpSplitLines(text);
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
    if (OnStateChange)
        OnStateChange(*this);
}

void TCustomSmtpClient::display(const std::string& text)
{
    if (OnDisplay)
        OnDisplay(*this, text);
}

void TCustomSmtpClient::setErrorMessage(const std::string& text)
{
    if (m_errorMessage.empty())
        m_errorMessage = text;
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
    if (m_multiStep)
        return;
    m_requestType = request;
    m_errorMessage.clear();
}

void TCustomSmtpClient::execCommand(
    TSmtpRequest request, const std::string& command, std::vector<int> accepted, Action done)
{
    checkReady();
    if (!m_connected)
        throw SmtpException("SMTP component not connected");
    startRequest(request);
    m_accepted = std::move(accepted);
    m_doneAction = std::move(done);
    m_requestDone = false;
    setState(TSmtpState::smtpWaitingResponse);
    if (OnCommand)
        OnCommand(*this, command);
    display("> " + command);
    sendCommandLine(command);
}

// Sends a command line without changing the request (also used for the AUTH continuations).
void TCustomSmtpClient::sendCommandLine(const std::string& command)
{
    if (m_socket.State() == TSocketState::wsConnected)
        m_socket.SendStr(command + "\r\n");
}

// A reply made up here (look-up or connect failure, unsupported AUTH) ends the request.
void TCustomSmtpClient::localFailure(const std::string& response, int result)
{
    m_lastResponse = response;
    m_statusCode = 500;
    setErrorMessage(response);
    m_requestResult = result;
    completeRequest(result);
}

void TCustomSmtpClient::completeRequest(int error)
{
    if (m_requestDone)
        return;
    m_requestDone = true;
    if (m_multiStep) {
        m_lastStepResult = error;
        if (m_state != TSmtpState::smtpAbort)
            setState(TSmtpState::smtpInternalReady);
        nextStep();
        return;
    }
    m_requestResult = error;
    m_dataTransfer = false;
    setState(TSmtpState::smtpReady);
    const TSmtpRequest request = m_requestType;
    m_poster.post([this, request, error] {
        if (OnRequestDone)
            OnRequestDone(*this, request, error & 0xFFFF);
    });
}

// ---- multi-step requests ------------------------------------------------------------------

void TCustomSmtpClient::startMultiStep(TSmtpRequest request, unsigned steps)
{
    if (m_connected && (steps & stepConnect))
        throw SmtpException("SMTP component already connected");
    checkReady();
    m_requestType = request;
    m_multiRequest = request;
    m_requestResult = 0;
    m_overallResult = 0;
    m_lastStepResult = 0;
    m_lastStep = 0;
    m_steps = steps;
    m_lastResponse.clear();
    m_errorMessage.clear();
    m_multiStep = true;
    try {
        nextStep();
    } catch (...) {
        // The first step failed before anything was sent: the caller gets the exception.
        m_multiStep = false;
        m_requestDone = true;
        setState(TSmtpState::smtpReady);
        throw;
    }
}

void TCustomSmtpClient::nextStep()
{
    if (m_state == TSmtpState::smtpAbort) {
        m_steps = 0;
        m_overallResult = 426;
        m_lastStepResult = 426;
        m_errorMessage = "426 Operation aborted.";
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
    m_requestType = m_multiRequest;
    m_requestDone = false;
    completeRequest(m_overallResult);
}

// A step that raises inside a socket event is handled by the socket, which aborts the
// connection; the request stays open so that the close can still end it.
void TCustomSmtpClient::runStep(unsigned step)
{
    m_requestDone = false;
    runInternal([this, step] {
        switch (step) {
        case stepConnect:
            Connect();
            break;
        case stepHelo:
            Helo();
            break;
        case stepEhlo:
            Ehlo();
            break;
        case stepAuth:
            Auth();
            break;
        case stepVrfy:
            Vrfy();
            break;
        case stepMailFrom:
            MailFrom();
            break;
        case stepRcptTo:
            RcptTo();
            break;
        case stepData:
            Data();
            break;
        default:
            Quit();
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
    } catch (...) {
        m_inStep = outer;
        throw;
    }
    m_inStep = outer;
}

void TCustomSmtpClient::Open()
{
    const unsigned steps
        = AuthType == TSmtpAuthType::smtpAuthNone ? stepConnect | stepHelo : stepConnect | stepEhlo | stepAuth;
    startMultiStep(TSmtpRequest::smtpRqOpen, steps);
}

void TCustomSmtpClient::Mail()
{
    startMultiStep(TSmtpRequest::smtpRqMail, stepMailFrom | stepRcptTo | stepData);
}

// ---- connection ---------------------------------------------------------------------------

void TCustomSmtpClient::Connect()
{
    checkReady();
    if (m_connected)
        throw SmtpException("SMTP component already connected");
    startRequest(TSmtpRequest::smtpRqConnect);
    m_requestDone = false;
    m_reply.clear();
    m_requestResult = 0;
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
        m_lastResponse = std::string("500 ") + kind + ": " + e.what();
        m_statusCode = 500;
        m_requestResult = 500;
        setErrorMessage(m_lastResponse);
        // A failure before any socket call leaves no socket error: still report a failure.
        completeRequest(m_socket.LastError() != 0 ? m_socket.LastError() : 500);
    }
}

void TCustomSmtpClient::onSocketConnected(int error)
{
    if (error != 0) {
        m_lastResponse = winsockReply(error);
        m_statusCode = 500;
        m_requestResult = 500;
        setErrorMessage(m_lastResponse);
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
    if (OnSessionClosed)
        OnSessionClosed(*this, error);
    completeRequest(m_requestType == TSmtpRequest::smtpRqQuit ? 0 : int(WSAEINTR));
}

void TCustomSmtpClient::Abort()
{
    setState(TSmtpState::smtpAbort);
    m_dataTransfer = false;
    m_socket.CancelDnsLookup();
    m_socket.Abort();
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
    m_lastResponse = line;
    if (OnResponse)
        OnResponse(*this, line);
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
    m_statusCode = code;
    return !continuation;
}

void TCustomSmtpClient::onBannerLine(const std::string& line)
{
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    if (code != 220) {
        setErrorMessage(m_lastResponse);
        m_requestResult = code;
        m_socket.Close(); // the request ends through the session-closed step
        return;
    }
    setState(TSmtpState::smtpConnected);
    if (OnSessionConnected)
        OnSessionConnected(*this, 0);
    completeRequest(0);
}

void TCustomSmtpClient::onResponseLine(const std::string& line)
{
    int code = 0;
    if (!takeReplyLine(line, code))
        return;
    int result = 0;
    if (m_accepted.empty()) {
        result = code < 500 ? 0 : code;
    } else if (std::find(m_accepted.begin(), m_accepted.end(), code) == m_accepted.end()) {
        // A line without a code is no success either.
        result = code != 0 ? code : 500;
        setErrorMessage(m_lastResponse);
    }
    m_requestResult = result;
    if (m_doneAction) {
        Action done = std::move(m_doneAction);
        m_doneAction = nullptr;
        // The continuation belongs to the running request: it may send the next command.
        setState(TSmtpState::smtpInternalReady);
        runInternal(done);
        return;
    }
    if (m_requestType == TSmtpRequest::smtpRqQuit && m_connected)
        return; // QUIT completes when the server closes the connection
    completeRequest(result);
}

} // namespace net
