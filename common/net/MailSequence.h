#pragma once

// The one way both programs send a mail: set Host (and the sign-on), SyncOpen; when it succeeds
// let the caller fill recipients, sender, headers, body lines and files, SyncMail; then
// SyncQuit. Each step is reported to MailSequenceEvents, from which each program writes its own
// lines: the mirror's report ("Connecting to mail server: ...", "EMail sent to: ...") and the
// monitor's SMTP pane ("* Connecting to ...", "> HELO ...", "< 250 ...", "* Message sent.").
//
//   1. connecting(host)            SyncOpen    false: openFailed(client), end (no QUIT)
//   2. connected(), compose(client)
//   3. sending()                   SyncMail    true: sent()   false: sendFailed(client)
//   4. closing()                   SyncQuit    true: closed() false: closeFailed(client)
//   5. finished()
// An exception at any step (compose raising "File not found ...", say) ends the sequence at
// once with failed(message). During the sequence every display line of the client (each command
// sent, "> ...", and each reply, "< ...") also goes to display(), after the client's own
// OnDisplay. The client must outlive the sequence.

#include "SyncSmtpCli.h"

#include <optional>
#include <string>

namespace net {

class MailSequenceEvents
{
public:
    virtual ~MailSequenceEvents() = default;

    virtual void connecting(const std::string& host) { (void)host; }
    virtual void openFailed(const TSyncSmtpCli& client) { (void)client; }
    virtual void connected() { }
    // Fills envelope, headers, body and files: the session is open now.
    virtual void compose(TSyncSmtpCli& client) { (void)client; }
    virtual void sending() { }
    virtual void sent() { }
    virtual void sendFailed(const TSyncSmtpCli& client) { (void)client; }
    virtual void closing() { }
    virtual void closed() { }
    virtual void closeFailed(const TSyncSmtpCli& client) { (void)client; }
    // The sequence went through to its end (whatever the results of mail and quit).
    virtual void finished() { }
    // An exception ended the sequence; its message.
    virtual void failed(const std::string& message) { (void)message; }
    virtual void display(const std::string& line) { (void)line; }
};

struct MailServer
{
    std::string host;
    // Set into SignOn before the open when present; otherwise SignOn stays as it is.
    std::optional<std::string> signOn;
};

// Runs the sequence; true when the server accepted the message (a failed QUIT afterwards does
// not change that).
bool sendMailSequence(TSyncSmtpCli& client, const MailServer& server, MailSequenceEvents& events);

} // namespace net
