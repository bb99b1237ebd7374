// TCustomPop3Cli: the greeting and QUIT, the socket events and the reply reader. Every event
// goes through m_engine.fire, which throws ClientDestroyed when the handler destroyed the
// client; only the entry points catch that.

#include "CustomPop3Cli.h"

#include "ReplyCodes.h"
#include "WinsockErrors.h"

namespace net {

namespace {

constexpr const char* kLocalPrefix = "-ERR ";
constexpr int kFailureCode = 500;

} // namespace

TCustomPop3Cli::TCustomPop3Cli()
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onDataAvailable(); };
    m_engine.setDoneHandler([this](int request, int error) {
        if (OnRequestDone)
            OnRequestDone(*this, static_cast<TPop3Request>(request), error);
    });
}

TCustomPop3Cli::~TCustomPop3Cli()
{
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
}

void TCustomPop3Cli::setState(TPop3State state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_engine.fire(OnStateChange, *this);
}

void TCustomPop3Cli::display(const std::string& text)
{
    m_engine.fire(OnDisplay, *this, text);
}

// Internal ready means QUIT was answered and its request waits for the close: nothing else may
// start then.
void TCustomPop3Cli::checkReady()
{
    if (m_state != TPop3State::pop3Ready)
        throw Pop3Exception("POP3 component not ready");
}

void TCustomPop3Cli::startRequest(TPop3Request request)
{
    m_engine.start(static_cast<int>(request));
    m_engine.clearError();
    m_quitAnswered = false;
}

void TCustomPop3Cli::completeRequest(int error)
{
    if (!m_engine.complete(error))
        return;
    setState(TPop3State::pop3Ready);
}

void TCustomPop3Cli::localFailure(const std::string& response, int error)
{
    m_engine.localReply(response, kFailureCode);
    completeRequest(error);
}

// ---- public operations --------------------------------------------------------------------

void TCustomPop3Cli::Connect()
{
    RequestEngine::entry([this] { doConnect(); });
}

void TCustomPop3Cli::Quit()
{
    RequestEngine::entry([this] { doQuit(); });
}

void TCustomPop3Cli::Abort()
{
    RequestEngine::entry([this] { doAbort(); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomPop3Cli::doConnect()
{
    checkReady();
    if (m_connected)
        throw Pop3Exception("POP3 component already connected");
    startRequest(TPop3Request::pop3RqConnect);
    m_reply.clear();
    m_timeStamp.clear();
    setState(TPop3State::pop3DnsLookup);
    try {
        m_socket.DnsLookup(Host);
    } catch (const ESocketException& e) {
        // An empty host name: the request ends like any failed look-up.
        localFailure(exceptionReplyLine(kLocalPrefix, e), kFailureCode);
    }
}

void TCustomPop3Cli::onDnsLookupDone(int error)
{
    // An abort cancels the look-up; its report must not overwrite what the caller keeps.
    if (m_state != TPop3State::pop3DnsLookup)
        return;
    if (error != 0)
        return localFailure(winsockReplyLine(kLocalPrefix, error), error);
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetLocalAddr(LocalAddr);
        m_socket.SetProto("tcp");
        m_socket.SetPort(Port);
        setState(TPop3State::pop3Connecting);
        m_socket.Connect();
    } catch (const std::exception& e) {
        const int lastError = m_socket.LastError();
        localFailure(exceptionReplyLine(kLocalPrefix, e), lastError != 0 ? lastError : kFailureCode);
    }
}

void TCustomPop3Cli::onSocketConnected(int error)
{
    if (error != 0) {
        localFailure(winsockReplyLine(kLocalPrefix, error), error);
        m_socket.Close();
        return;
    }
    m_connected = true;
    setState(TPop3State::pop3WaitingBanner);
}

void TCustomPop3Cli::onSocketClosed(int error)
{
    m_connected = false;
    m_protocolState = TPop3ProtocolState::pop3Disconnected;
    m_engine.fire(OnSessionClosed, *this, error);
    if (m_state == TPop3State::pop3Abort)
        return; // the abort ends the request itself
    if (RequestType() == TPop3Request::pop3RqQuit && m_quitAnswered) {
        // The close that QUIT waited for: reported as 0, the result keeps the answer's outcome.
        const int result = m_engine.result();
        if (!m_engine.complete(0))
            return;
        m_engine.setResult(result);
        setState(TPop3State::pop3Ready);
        return;
    }
    completeRequest(WSAEINTR);
}

void TCustomPop3Cli::doAbort()
{
    setState(TPop3State::pop3Abort);
    m_socket.CancelDnsLookup();
    m_socket.Abort();
    m_connected = false;
    m_protocolState = TPop3ProtocolState::pop3Disconnected;
    if (!m_engine.ended()) {
        m_engine.noteError(RequestEngine::kAbortedText);
        m_engine.complete(RequestEngine::kTimeoutCode);
    }
    setState(TPop3State::pop3Ready);
}

// ---- commands -----------------------------------------------------------------------------

void TCustomPop3Cli::sendCommand(const std::string& command)
{
    display("> " + command);
    if (m_socket.State() != TSocketState::wsConnected)
        return;
    // A line break inside the text would start a command of its own: it becomes a blank.
    std::string line = command;
    for (char& c : line) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    m_socket.SendStr(line + "\r\n");
}

void TCustomPop3Cli::doQuit()
{
    checkReady();
    startRequest(TPop3Request::pop3RqQuit);
    if (!m_connected) {
        completeRequest(0);
        return;
    }
    m_nextProtocolState = TPop3ProtocolState::pop3Disconnected;
    setState(TPop3State::pop3WaitingResponse);
    sendCommand("QUIT");
}

// ---- replies ------------------------------------------------------------------------------

void TCustomPop3Cli::onDataAvailable()
{
    const int got = m_socket.Receive(m_reply.writePtr(), static_cast<int>(m_reply.space()));
    if (got <= 0)
        return;
    m_reply.commit(static_cast<std::size_t>(got));
    std::string line;
    // A line may close the socket; stop reading once it is gone.
    while (m_socket.State() == TSocketState::wsConnected && m_reply.takeLine(line))
        processLine(line);
}

void TCustomPop3Cli::processLine(const std::string& line)
{
    onLineTraffic();
    m_engine.setLastResponse(line);
    m_engine.fire(OnResponse, *this, line);
    switch (m_state) {
    case TPop3State::pop3WaitingBanner:
        onBannerLine(line);
        break;
    case TPop3State::pop3WaitingResponse:
        onResponseLine(line);
        break;
    default:
        display("< " + line);
        break;
    }
}

void TCustomPop3Cli::onBannerLine(const std::string& line)
{
    display("< " + line);
    if (!pop3Positive(line)) {
        m_engine.setStatusCode(kFailureCode);
        m_engine.noteError(line);
        m_engine.setResult(kFailureCode);
        m_socket.Close(); // the request ends through the session-closed step
        return;
    }
    m_engine.setStatusCode(0);
    m_timeStamp = pop3TimeStamp(line);
    m_protocolState = TPop3ProtocolState::pop3WaitingUser;
    setState(TPop3State::pop3Connected);
    m_engine.fire(OnSessionConnected, *this, 0);
    completeRequest(0);
}

void TCustomPop3Cli::onResponseLine(const std::string& line)
{
    display("< " + line);
    int result = 0;
    if (pop3Positive(line)) {
        m_engine.setStatusCode(0);
        m_protocolState = m_nextProtocolState;
    } else {
        m_engine.setStatusCode(kFailureCode);
        m_engine.noteError(line);
        result = kFailureCode;
    }
    m_engine.setResult(result);
    if (RequestType() == TPop3Request::pop3RqQuit) {
        // Held back: QUIT ends with the server's close.
        m_quitAnswered = true;
        setState(TPop3State::pop3InternalReady);
        return;
    }
    completeRequest(result);
}

} // namespace net
