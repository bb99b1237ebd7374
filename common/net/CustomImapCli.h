#pragma once

// TCustomImapCli: an IMAP session (RFC 3501) on a TWSocket, as far as a monitor needs it:
// connect and read the greeting (Connect), log out (Logout); no log-in is made. Every operation
// returns at once; it ends with OnRequestDone, posted to the event loop, carrying the request
// type and 0 or an error. Failures of the exchange never raise: they give a non-zero result,
// LastResponse (the last response line or a made-up "* NO ..." line) and ErrorMessage (the
// first error of the request). Misuse raises ImapException.
//
// Connect succeeds on a greeting "* OK" or "* PREAUTH"; "* BYE" or anything else fails with
// that line, and the client closes. Logout sends "<tag> LOGOUT" (tags "A1", "A2", ... anew
// for each connection) and ends with the tagged reply, after which the client closes the
// connection; it succeeds only when "* BYE" came first and the tagged reply is OK. A tagged NO
// or BAD fails with that line; a close before the tagged reply fails with 10004. Without a
// connection Logout succeeds at once: there is no session to end. Status words and tags are
// compared without regard to case; untagged data and lines of other tags are shown only.
//
// Promises beyond the protocol:
//  - a line may end with LF alone; a line longer than 4096 bytes is cut there, the rest up to
//    its line end dropped, so no piece of it is ever taken for a response of its own;
//  - no text of the caller reaches the wire: the only command is the tag and LOGOUT;
//  - Abort at any step ends the request: the client is ready again and not connected;
//  - any event handler may destroy the client; the client then stops where it was.

#include "ClientEvents.h"
#include "ImapTypes.h"

#include <string>

namespace net {

class TCustomImapCli : public ClientEvents<TCustomImapCli, TImapRequest>
{
public:
    // Longest response line read whole.
    static constexpr std::size_t kReplyLineLimit = 4096;

    TCustomImapCli();

    std::string Host;
    // A number: it needs no services table.
    std::string Port = "143";
    std::string LocalAddr = "0.0.0.0";

    TImapState State() const { return static_cast<TImapState>(state()); }
    // Disconnected whenever there is no connection.
    TImapProtocolState ProtocolState() const
    {
        return Connected() ? m_protocolState : TImapProtocolState::imapDisconnected;
    }

    // Resolves Host, connects to Port and reads the greeting; see the class comment.
    void Connect();
    // Sends LOGOUT; see the class comment.
    void Logout();
    // Drops the connection (or the look-up) at once and ends the running request with 426.
    void Abort();

private:
    void doConnect();
    void doLogout();
    void startRequest(TImapRequest request);

    [[noreturn]] void raise(const std::string& message) const override { throw ImapException(message); }
    void sessionClosed(int error) override;
    void greetingLine(const std::string& line) override;
    void replyLine(const std::string& line) override;

    TImapProtocolState m_protocolState = TImapProtocolState::imapDisconnected;
    // The tag of the command out, and the number of the next one.
    std::string m_tag;
    int m_nextTag = 1;
    bool m_byeSeen = false;
};

// The component's published form; it adds nothing here.
using TImapCli = TCustomImapCli;

} // namespace net
