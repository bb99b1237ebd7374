// TCustomPop3Cli: the greeting and QUIT, and POP3's reply rules (RFC 1939 section 3).

#include "CustomPop3Cli.h"

#include "WinsockErrors.h"
#include "detail/ReplyCodes.h"

namespace net {

namespace {

constexpr int kFailureCode = 500;

// Internal ready means QUIT was answered and its request waits for the close: nothing else may
// start then.
constexpr auto kStates = ControlConnection::States::of(TPop3State::pop3Ready,
    TPop3State::pop3DnsLookup,
    TPop3State::pop3Connecting,
    TPop3State::pop3WaitingBanner,
    TPop3State::pop3WaitingResponse,
    TPop3State::pop3Abort);

} // namespace

TCustomPop3Cli::TCustomPop3Cli()
    : ClientEvents(kStates, { "POP3", "-ERR " }, LineReader(kReplyLineLimit, LineEnd::CrLf, LineOverflow::Split))
{
}

void TCustomPop3Cli::startRequest(TPop3Request request)
{
    engine().start(static_cast<int>(request));
    engine().clearError();
    m_quitAnswered = false;
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
    RequestEngine::entry([this] { abortRequest(); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomPop3Cli::doConnect()
{
    checkReady();
    checkNotConnected();
    startRequest(TPop3Request::pop3RqConnect);
    m_timeStamp.clear();
    m_protocolState = TPop3ProtocolState::pop3Disconnected;
    startLookup(Host, Port, LocalAddr);
}

void TCustomPop3Cli::sessionClosed(int error)
{
    fireSessionClosed(error);
    if (State() == TPop3State::pop3Abort)
        return; // the abort ends the request itself
    if (RequestType() == TPop3Request::pop3RqQuit && m_quitAnswered) {
        // The close that QUIT waited for: reported as 0, the result keeps the answer's outcome.
        const int result = engine().result();
        if (!engine().complete(0))
            return;
        engine().setResult(result);
        setState(TPop3State::pop3Ready);
        return;
    }
    completeRequest(WSAEINTR);
}

// ---- commands -----------------------------------------------------------------------------

void TCustomPop3Cli::doQuit()
{
    checkReady();
    startRequest(TPop3Request::pop3RqQuit);
    if (!Connected()) {
        completeRequest(0);
        return;
    }
    m_nextProtocolState = TPop3ProtocolState::pop3Disconnected;
    sendCommand("QUIT", {}, nullptr);
}

// ---- replies ------------------------------------------------------------------------------

void TCustomPop3Cli::lineReceived(const std::string& line)
{
    onLineTraffic();
    ControlConnection::lineReceived(line);
}

void TCustomPop3Cli::greetingLine(const std::string& line)
{
    display("< " + line);
    if (!pop3Positive(line)) {
        engine().setStatusCode(kFailureCode);
        return greetingRefused(kFailureCode);
    }
    engine().setStatusCode(0);
    m_timeStamp = pop3TimeStamp(line);
    m_protocolState = TPop3ProtocolState::pop3WaitingUser;
    greetingAccepted(TPop3State::pop3Connected);
}

void TCustomPop3Cli::replyLine(const std::string& line)
{
    display("< " + line);
    int result = 0;
    if (pop3Positive(line)) {
        engine().setStatusCode(0);
        m_protocolState = m_nextProtocolState;
    } else {
        engine().setStatusCode(kFailureCode);
        engine().noteError(line);
        result = kFailureCode;
    }
    engine().setResult(result);
    if (RequestType() == TPop3Request::pop3RqQuit) {
        // Held back: QUIT ends with the server's close.
        m_quitAnswered = true;
        setState(TPop3State::pop3InternalReady);
        return;
    }
    completeRequest(result);
}

} // namespace net
