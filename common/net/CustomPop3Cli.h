#pragma once

// TCustomPop3Cli: a POP3 session (RFC 1939) on a TWSocket, as far as a monitor needs it:
// connect and read the greeting (Connect), say goodbye (Quit); no login is made. Every
// operation returns at once; it ends with OnRequestDone, posted to the event loop, carrying the
// request type and 0 or an error. Failures of the exchange never raise: they give a non-zero
// result, LastResponse (the last reply line or a made-up "-ERR ..." line) and ErrorMessage (the
// first error of the request). Misuse raises Pop3Exception.
//
// Quit ends only when the server has answered and then closed the connection; the result is
// 0 only when the answer began with "+". A server that closes without answering QUIT ends it
// at once with 10004; one that answers and keeps the connection open leaves it pending (the
// blocking wrapper's time-out ends it).
//
// Promises beyond the protocol:
//  - a reply line longer than 4093 bytes comes out in pieces of 4093 bytes, never overflowing;
//  - a command never reaches the wire as more than one line (CR and LF become blanks);
//  - Abort at any step ends the request: the client is ready again and not connected;
//  - any event handler may destroy the client; the client then stops where it was.

#include "ClientEvents.h"
#include "Pop3Types.h"

#include <string>

namespace net {

class TCustomPop3Cli : public ClientEvents<TCustomPop3Cli, TPop3Request>
{
public:
    // Longest piece of a reply line handed out at once.
    static constexpr std::size_t kReplyLineLimit = 4093;

    TCustomPop3Cli();

    std::string Host;
    std::string Port = "pop3";
    std::string LocalAddr = "0.0.0.0";
    // Kept for the login commands, which this client does not send.
    std::string UserName;
    std::string PassWord;

    TPop3State State() const { return static_cast<TPop3State>(state()); }
    // Disconnected whenever there is no connection.
    TPop3ProtocolState ProtocolState() const
    {
        return Connected() ? m_protocolState : TPop3ProtocolState::pop3Disconnected;
    }
    // The APOP time stamp of the last greeting ("<...>"), empty when it had none.
    const std::string& TimeStamp() const { return m_timeStamp; }

    // Resolves Host, connects to Port and reads the greeting; succeeds when it begins with "+".
    void Connect();
    // Sends QUIT; see the class comment. Without a connection it succeeds at once.
    void Quit();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();

private:
    void doConnect();
    void doQuit();
    void startRequest(TPop3Request request);

    [[noreturn]] void raise(const std::string& message) const override { throw Pop3Exception(message); }
    void sessionClosed(int error) override;
    void lineReceived(const std::string& line) override;
    void greetingLine(const std::string& line) override;
    void replyLine(const std::string& line) override;

    TPop3ProtocolState m_protocolState = TPop3ProtocolState::pop3Disconnected;
    TPop3ProtocolState m_nextProtocolState = TPop3ProtocolState::pop3Disconnected;
    // QUIT was answered: the request now ends with the server's close.
    bool m_quitAnswered = false;
    std::string m_timeStamp;
};

// The component's published form; it adds nothing here.
using TPop3Cli = TCustomPop3Cli;

} // namespace net
