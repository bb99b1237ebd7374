// TCustomFtpCli: the greeting and QUIT, and FTP's reply rules (RFC 959 section 4.2).

#include "CustomFtpCli.h"

#include "WinsockErrors.h"
#include "detail/ReplyCodes.h"

namespace net {

namespace {

constexpr const char* kClosedPrefix = "500 Control connection closed. ";
constexpr int kLocalCode = 500;
constexpr int kGreetingCode = 220;
constexpr int kGoodbyeCode = 221;

// Internal ready is the moment between a final reply and the end of its request: a caller
// re-entering from an event then must not start a request of its own. The connect goes
// straight to waiting for the greeting.
constexpr auto kStates = ControlConnection::States::of(TFtpState::ftpReady,
    TFtpState::ftpDnsLookup,
    TFtpState::ftpWaitingBanner,
    TFtpState::ftpWaitingBanner,
    TFtpState::ftpWaitingResponse,
    TFtpState::ftpAbort);

} // namespace

TCustomFtpCli::TCustomFtpCli()
    : ClientEvents(kStates, { "FTP", "500 " }, LineReader(kReplyLineLimit, LineEnd::Lf, LineOverflow::Cut))
{
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
    RequestEngine::entry([this] { abortRequest(); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomFtpCli::doOpen()
{
    checkReady();
    checkNotConnected();
    if (ConnectionType != TFtpConnectionType::ftpDirect)
        raise("FTP connection type not supported");
    engine().start(static_cast<int>(TFtpRequest::ftpRqOpen));
    engine().clearError();
    engine().setStatusCode(0);
    const LineEnd end = (Options & ftpAcceptLF) ? LineEnd::Lf : LineEnd::CrLf;
    reader() = LineReader(kReplyLineLimit, end, LineOverflow::Cut);
    startLookup(HostName, Port, LocalAddr);
}

void TCustomFtpCli::sessionClosed(int error)
{
    fireSessionClosed(error);
    const auto current = State();
    if (current == TFtpState::ftpAbort)
        return; // the abort ends the request itself
    if (error != 0) {
        engine().localReply(winsockReplyLine(kClosedPrefix, error), kLocalCode);
    } else if (engine().result() == 0
        && (current == TFtpState::ftpWaitingBanner || current == TFtpState::ftpWaitingResponse)) {
        // Gone before the final line of the reply: no greeting, or QUIT not answered.
        engine().noteError("500 Control connection closed.");
        engine().setResult(WSAEINTR);
    }
    completeRequest(engine().result());
}

// ---- commands -----------------------------------------------------------------------------

void TCustomFtpCli::doQuit()
{
    checkReady();
    engine().start(static_cast<int>(TFtpRequest::ftpRqQuit));
    engine().clearError();
    if (!Connected()) {
        // Nobody is there to answer: the request ends at once.
        completeRequest(WSAENOTCONN);
        return;
    }
    sendCommand("QUIT", { kGoodbyeCode }, [this] {
        const int result = engine().result();
        Socket().Close();
        completeRequest(result);
    });
}

// ---- replies ------------------------------------------------------------------------------

void TCustomFtpCli::lineReceived(const std::string& line)
{
    ControlConnection::lineReceived(trimLineEnd(line));
}

void TCustomFtpCli::greetingLine(const std::string& line)
{
    display("< " + line);
    int code = 0;
    if (!ftpFinalReply(line, code))
        return;
    engine().setStatusCode(code);
    if (code != kGreetingCode)
        return greetingRefused(code);
    greetingAccepted(TFtpState::ftpConnected);
}

void TCustomFtpCli::replyLine(const std::string& line)
{
    display("< " + line);
    int code = 0;
    if (!ftpFinalReply(line, code))
        return;
    const int result = engine().judge(code);
    // The reply is in: a close from now on is no longer a missing reply.
    setState(TFtpState::ftpInternalReady);
    if (RequestEngine::Action then = engine().takeContinuation()) {
        then();
        return;
    }
    completeRequest(result);
}

} // namespace net
