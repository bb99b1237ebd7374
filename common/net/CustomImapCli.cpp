// TCustomImapCli: the greeting and LOGOUT, and IMAP's response rules (RFC 3501 section 7).

#include "CustomImapCli.h"

#include "WinsockErrors.h"
#include "detail/ReplyCodes.h"

#include <strings.h>

namespace net {

namespace {

constexpr int kFailureCode = 500;

// Internal ready is the moment between the tagged reply and the end of its request: a caller
// re-entering from an event then must not start a request of its own.
constexpr auto kStates = ControlConnection::States::of(TImapState::imapReady,
    TImapState::imapDnsLookup,
    TImapState::imapConnecting,
    TImapState::imapWaitingBanner,
    TImapState::imapWaitingResponse,
    TImapState::imapAbort);

} // namespace

TCustomImapCli::TCustomImapCli()
    : ClientEvents(kStates, { "IMAP", "* NO " }, LineReader(kReplyLineLimit, LineEnd::Lf, LineOverflow::Cut))
{
}

void TCustomImapCli::startRequest(TImapRequest request)
{
    engine().start(static_cast<int>(request));
    engine().clearError();
}

// ---- public operations --------------------------------------------------------------------

void TCustomImapCli::Connect()
{
    RequestEngine::entry([this] { doConnect(); });
}

void TCustomImapCli::Logout()
{
    RequestEngine::entry([this] { doLogout(); });
}

void TCustomImapCli::Abort()
{
    RequestEngine::entry([this] { abortRequest(); });
}

// ---- connection ---------------------------------------------------------------------------

void TCustomImapCli::doConnect()
{
    checkReady();
    checkNotConnected();
    startRequest(TImapRequest::imapRqConnect);
    m_protocolState = TImapProtocolState::imapDisconnected;
    m_nextTag = 1;
    startLookup(Host, Port, LocalAddr);
}

void TCustomImapCli::sessionClosed(int error)
{
    fireSessionClosed(error);
    const TImapState current = State();
    if (current == TImapState::imapAbort)
        return; // the abort ends the request itself
    const int result = engine().result();
    // After the tagged reply the close is the client's own; before it, the greeting or the
    // reply is missing: no success.
    completeRequest(current == TImapState::imapInternalReady || result != 0 ? result : WSAEINTR);
}

// ---- commands -----------------------------------------------------------------------------

void TCustomImapCli::doLogout()
{
    checkReady();
    startRequest(TImapRequest::imapRqLogout);
    if (!Connected()) {
        completeRequest(0);
        return;
    }
    m_byeSeen = false;
    m_tag = "A" + std::to_string(m_nextTag++);
    sendCommand(m_tag + " LOGOUT", {}, nullptr);
}

// ---- responses ----------------------------------------------------------------------------

void TCustomImapCli::greetingLine(const std::string& line)
{
    display("< " + line);
    const ImapResponse response = imapResponse(line);
    const bool ok = response.tag == "*" && (response.word == "OK" || response.word == "PREAUTH");
    if (!ok) {
        engine().setStatusCode(kFailureCode);
        return greetingRefused(kFailureCode);
    }
    engine().setStatusCode(0);
    m_protocolState = response.word == "PREAUTH" ? TImapProtocolState::imapAuthenticated
                                                 : TImapProtocolState::imapNotAuthenticated;
    greetingAccepted(TImapState::imapConnected);
}

void TCustomImapCli::replyLine(const std::string& line)
{
    display("< " + line);
    const ImapResponse response = imapResponse(line);
    if (response.tag == "*") {
        if (response.word == "BYE") {
            m_byeSeen = true;
            m_protocolState = TImapProtocolState::imapLogout;
        }
        return;
    }
    if (strcasecmp(response.tag.c_str(), m_tag.c_str()) != 0)
        return; // a continuation request, or a reply to no command of ours
    const int result = response.word == "OK" && m_byeSeen ? 0 : kFailureCode;
    engine().setStatusCode(result);
    engine().setResult(result);
    if (result != 0)
        engine().noteError(line);
    // The session is over whatever the answer: the close from now on is the client's own.
    setState(TImapState::imapInternalReady);
    Socket().Close();
    completeRequest(result);
}

} // namespace net
