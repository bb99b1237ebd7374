#pragma once

// The one way both programs send a mail: take the server, port, security, log-in and trust file
// from the mail settings, SyncOpen; when it succeeds let the caller fill recipients, sender,
// headers, body lines and files, SyncMail; then SyncQuit. Each step is reported to
// MailSequenceEvents, from which each program writes its own lines: the mirror's report
// ("Connecting to mail server: ...", "EMail sent to: ...") and the monitor's SMTP pane
// ("* Connecting to ...", "> EHLO ...", "< 250 ...", "* Message sent.").
//
//   0. the password (settings or password file): warning(text) once per program start for a
//      file other users may read; a password that cannot be read: failed(message), end
//   1. connecting(server field)    SyncOpen    false: openFailed(client), the session dropped
//                                              (no QUIT), end
//   2. connected(), secured(security text), compose(client)
//   3. sending()                   SyncMail    true: sent()   false: sendFailed(client)
//   4. closing()                   SyncQuit    true: closed() false: closeFailed(client)
//   5. finished()
// The security text names what is in force: "TLS 1.3 with mail.example" or "no TLS, plain
// text". A log-in goes only over TLS or to a loopback address; STARTTLS asked for and not
// offered fails the open before any log-in (TCustomSmtpClient).
// An exception at any step (compose raising "File not found ...", say) ends the sequence at
// once with failed(message). During the sequence every display line of the client (each command
// sent, "> ...", and each reply, "< ...") also goes to display(), after the client's own
// OnDisplay. The client must outlive the sequence.

#include "MailSettings.h"
#include "SyncSmtpCli.h"

#include <optional>
#include <string>

namespace net {

class MailSequenceEvents
{
public:
    virtual ~MailSequenceEvents() = default;

    virtual void warning(const std::string& text) { (void)text; }
    virtual void connecting(const std::string& server) { (void)server; }
    virtual void openFailed(const TSyncSmtpCli& client) { (void)client; }
    virtual void secured(const std::string& security) { (void)security; }
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
    MailSettings settings;
    // The file the settings came from: relative file names are beside it.
    std::string settingsFile;
    // Set into SignOn before the open when present; otherwise SignOn stays as it is.
    std::optional<std::string> signOn;
};

// Runs the sequence; true when the server accepted the message (a failed QUIT afterwards does
// not change that).
bool sendMailSequence(
    TSyncSmtpCli& client, const MailServer& server, MailPasswords& passwords, MailSequenceEvents& events);

// Sets the client's host, port, security, trust file and log-in (AUTH chosen from what the
// server offers) from the settings and a password.
void applyMailSettings(
    TSyncSmtpCli& client, const MailSettings& settings, const std::string& settingsFile, const std::string& password);

} // namespace net
