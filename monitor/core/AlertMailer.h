#pragma once

// Sends one mail of the monitor through its own SMTP client and writes the SMTP pane: its own
// "* ..." steps, the client's "> " and "< " display lines between them, and "** ERROR: ..."
// with the server's last line where a step fails. One mail at a time: SendMail must not be
// called while busy() (AlertDispatcher queues what comes meanwhile).
//
// The client says HELO (EHLO when securing or logging in) with the computer's network name
// ("SEN" when it cannot be read), reaches the server as the "Actions" keys say (port, plain
// text, STARTTLS or TLS, the log-in with a password from the data file or a password file, a
// trust file) and waits "SMTPTimeOut" seconds per step. The pane names the security in force
// ("* Security: TLS 1.3 with mail.example"). A password file that other users may read, or a
// data file holding a password that they may, is told once per start as an error line.

#include "common/net/MailSettings.h"
#include "common/net/SyncSmtpCli.h"
#include "monitor/core/SmtpPaneView.h"

#include <functional>
#include <string>
#include <vector>

namespace monitor {

struct AlertActions;

class AlertMailer
{
public:
    static constexpr const char* DefaultSignOn = "SEN";

    // `actions` gives server, addresses and time-out at the moment of each send.
    explicit AlertMailer(const AlertActions& actions);

    void setView(SmtpPaneView* view);
    // The data file, beside which relative file names lie.
    void setDataFile(const std::string& path) { m_dataFile = path; }
    // Where the error lines that concern no single mail go (the activity pane and the log).
    void setErrorLine(std::function<void(const std::string&)> errorLine) { m_errorLine = std::move(errorLine); }
    void errorLine(const std::string& text) const
    {
        if (m_errorLine)
            m_errorLine(text);
    }
    const std::string& signOn() const { return m_signOn; }

    // Sends subject and body to the addresses of the field; true when the server accepted the
    // message (a QUIT that fails afterwards does not change that).
    bool SendMail(const std::string& subject, const std::string& body);
    bool busy() const { return m_busy; }
    // Ends the mail on its way at once, which then counts as not sent; nothing when none is.
    void abort();

    // The SMTP pane: the lines of the last mail, shown again to a view that attaches.
    void clearPane();
    void addPaneLine(const std::string& line);

    // The computer's network name, read into a buffer of 64 bytes; "SEN" when that fails.
    static std::string computerName();

private:
    void setBusy(bool busy);

    const AlertActions& m_actions;
    net::TSyncSmtpCli m_client;
    net::MailPasswords m_passwords;
    std::string m_dataFile;
    std::function<void(const std::string&)> m_errorLine;
    std::string m_signOn;
    SmtpPaneView* m_view = nullptr;
    std::vector<std::string> m_pane;
    bool m_busy = false;
};

} // namespace monitor
