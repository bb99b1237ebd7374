// TCustomFtpCli: the greeting and QUIT over the control connection, the socket events and the
// reply reader. Every event goes through m_engine.fire, which throws ClientDestroyed when the
// handler destroyed the client; only the entry points catch that.

#include "CustomFtpCli.h"

#include "ReplyCodes.h"
#include "WinsockErrors.h"

namespace net {

namespace {

constexpr const char* kLocalPrefix = "500 ";
constexpr const char* kClosedPrefix = "500 Control connection closed. ";
constexpr int kLocalCode = 500;
constexpr int kGreetingCode = 220;
constexpr int kGoodbyeCode = 221;

} // namespace

TCustomFtpCli::TCustomFtpCli()
{
    m_socket.OnDnsLookupDone = [this](TWSocket&, int error) { onDnsLookupDone(error); };
    m_socket.OnSessionConnected = [this](TWSocket&, int error) { onSocketConnected(error); };
    m_socket.OnSessionClosed = [this](TWSocket&, int error) { onSocketClosed(error); };
    m_socket.OnDataAvailable = [this](TWSocket&, int) { onDataAvailable(); };
    m_engine.setDoneHandler([this](int request, int error) {
        if (OnRequestDone)
            OnRequestDone(*this, static_cast<TFtpRequest>(request), error);
    });
}

TCustomFtpCli::~TCustomFtpCli()
{
    m_socket.OnSessionClosed = nullptr;
    m_socket.OnDnsLookupDone = nullptr;
}

void TCustomFtpCli::setState(TFtpState state)
{
    if (m_state == state)
        return;
    m_state = state;
    m_engine.fire(OnStateChange, *this);
}

void TCustomFtpCli::display(const std::string& text)
{
    m_engine.fire(OnDisplay, *this, text);
}

// Internal ready is the moment between a final reply and the end of its request: a caller
// re-entering from an event then must not start a request of its own.
void TCustomFtpCli::checkReady()
{
    if (m_state != TFtpState::ftpReady)
        throw FtpException("FTP component not ready");
}

void TCustomFtpCli::completeRequest(int error)
{
    if (!m_engine.complete(error))
        return;
    setState(TFtpState::ftpReady);
}

void TCustomFtpCli::localFailure(const std::string& response, int error)
{
    m_engine.localReply(response, kLocalCode);
    completeRequest(error);
}

// ---- public operations --------------------------------------------------------------------

void TCustomFtpCli::Open()
{
    RequestEngine::entry([this] { doOpen(); });
}

void TCustomFtpCli::Quit()
{
    RequestEngine::entry([this] { doQuit(); });
}

void TCustomFtpCli::Abort()
{
    RequestEngine::entry([this] { doAbort(); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomFtpCli::doOpen()
{
    checkReady();
    if (m_connected)
        throw FtpException("FTP component already connected");
    if (ConnectionType != TFtpConnectionType::ftpDirect)
        throw FtpException("FTP connection type not supported");
    m_engine.start(static_cast<int>(TFtpRequest::ftpRqOpen));
    m_engine.clearError();
    m_engine.setStatusCode(0);
    const LineEnd end = (Options & ftpAcceptLF) ? LineEnd::Lf : LineEnd::CrLf;
    m_reply = LineReader(kReplyLineLimit, end, LineOverflow::Cut);
    setState(TFtpState::ftpDnsLookup);
    try {
        m_socket.DnsLookup(HostName);
    } catch (const ESocketException& e) {
        // An empty host name: the request ends like any failed look-up.
        localFailure(exceptionReplyLine(kLocalPrefix, e), kLocalCode);
    }
}

void TCustomFtpCli::onDnsLookupDone(int error)
{
    // An abort cancels the look-up; its report must not overwrite what the caller keeps.
    if (m_state != TFtpState::ftpDnsLookup)
        return;
    if (error != 0)
        return localFailure(winsockReplyLine(kLocalPrefix, error), error);
    try {
        m_socket.SetAddr(m_socket.DnsResult());
        m_socket.SetLocalAddr(LocalAddr);
        m_socket.SetProto("tcp");
        m_socket.SetPort(Port);
        setState(TFtpState::ftpWaitingBanner);
        m_socket.Connect();
    } catch (const std::exception& e) {
        // A failure before any socket call leaves no socket error: still report a failure.
        const int lastError = m_socket.LastError();
        localFailure(exceptionReplyLine(kLocalPrefix, e), lastError != 0 ? lastError : kLocalCode);
    }
}

void TCustomFtpCli::onSocketConnected(int error)
{
    if (error != 0) {
        localFailure(winsockReplyLine(kLocalPrefix, error), error);
        m_socket.Close();
        return;
    }
    m_connected = true;
}

void TCustomFtpCli::onSocketClosed(int error)
{
    m_connected = false;
    m_engine.fire(OnSessionClosed, *this, error);
    if (m_state == TFtpState::ftpAbort)
        return; // the abort ends the request itself
    if (error != 0) {
        m_engine.localReply(winsockReplyLine(kClosedPrefix, error), kLocalCode);
    } else if (m_engine.result() == 0
        && (m_state == TFtpState::ftpWaitingBanner || m_state == TFtpState::ftpWaitingResponse)) {
        // Gone before the final line of the reply: no greeting, or QUIT not answered.
        m_engine.noteError("500 Control connection closed.");
        m_engine.setResult(WSAEINTR);
    }
    completeRequest(m_engine.result());
}

void TCustomFtpCli::doAbort()
{
    setState(TFtpState::ftpAbort);
    m_socket.CancelDnsLookup();
    m_socket.Abort();
    m_connected = false;
    if (!m_engine.ended()) {
        m_engine.noteError(RequestEngine::kAbortedText);
        m_engine.complete(RequestEngine::kTimeoutCode);
    }
    setState(TFtpState::ftpReady);
}

// ---- commands -----------------------------------------------------------------------------

void TCustomFtpCli::execCommand(TFtpRequest request, const std::string& command, std::vector<int> accepted, Action done)
{
    checkReady();
    if (!m_connected && command != "QUIT" && command != "ABOR" && command != "STAT")
        throw FtpException("FTP component not connected");
    m_engine.start(static_cast<int>(request));
    m_engine.clearError();
    m_engine.expect(std::move(accepted), std::move(done));
    setState(TFtpState::ftpWaitingResponse);
    std::string text = command;
    m_engine.fire(OnCommand, *this, text);
    display("> " + text);
    if (m_socket.State() != TSocketState::wsConnected)
        return;
    // A line break inside the text would start a command of its own: it becomes a blank.
    for (char& c : text) {
        if (c == '\r' || c == '\n')
            c = ' ';
    }
    m_socket.SendStr(text + "\r\n");
}

void TCustomFtpCli::doQuit()
{
    checkReady();
    if (!m_connected) {
        // Nobody is there to answer: the request ends at once.
        m_engine.start(static_cast<int>(TFtpRequest::ftpRqQuit));
        m_engine.clearError();
        completeRequest(WSAENOTCONN);
        return;
    }
    execCommand(TFtpRequest::ftpRqQuit, "QUIT", { kGoodbyeCode }, [this] {
        const int result = m_engine.result();
        m_socket.Close();
        completeRequest(result);
    });
}

// ---- replies ------------------------------------------------------------------------------

void TCustomFtpCli::onDataAvailable()
{
    const int got = m_socket.Receive(m_reply.writePtr(), static_cast<int>(m_reply.space()));
    if (got <= 0)
        return;
    m_reply.commit(static_cast<std::size_t>(got));
    std::string line;
    // A line may end the request and close the socket; stop reading once it is gone.
    while (m_socket.State() == TSocketState::wsConnected && m_reply.takeLine(line))
        processLine(trimLineEnd(line));
}

void TCustomFtpCli::processLine(const std::string& line)
{
    m_engine.setLastResponse(line);
    m_engine.fire(OnResponse, *this, line);
    switch (m_state) {
    case TFtpState::ftpWaitingBanner:
        onBannerLine(line);
        break;
    case TFtpState::ftpWaitingResponse:
        onResponseLine(line);
        break;
    default:
        display("< " + line);
        break;
    }
}

void TCustomFtpCli::onBannerLine(const std::string& line)
{
    display("< " + line);
    int code = 0;
    if (!ftpFinalReply(line, code))
        return;
    m_engine.setStatusCode(code);
    if (code != kGreetingCode) {
        m_engine.noteError(line);
        m_engine.setResult(code);
        m_socket.Close(); // the request ends through the session-closed step
        return;
    }
    setState(TFtpState::ftpConnected);
    m_engine.fire(OnSessionConnected, *this, 0);
    completeRequest(0);
}

void TCustomFtpCli::onResponseLine(const std::string& line)
{
    display("< " + line);
    int code = 0;
    if (!ftpFinalReply(line, code))
        return;
    const int result = m_engine.judge(code);
    // The reply is in: a close from now on is no longer a missing reply.
    setState(TFtpState::ftpInternalReady);
    if (Action then = m_engine.takeContinuation()) {
        then();
        return;
    }
    completeRequest(result);
}

} // namespace net
