#include "monitor/core/AlertMailer.h"

#include "common/net/MailSequence.h"
#include "monitor/core/AlertMail.h"
#include "monitor/core/MonitorSettings.h"

#include <unistd.h>

namespace monitor {

namespace {

// The pane's lines for each step of the shared open, mail, quit sequence.
class PaneLines final : public net::MailSequenceEvents
{
public:
    PaneLines(AlertMailer& mailer, const AlertActions& actions, std::string subject, std::string body)
        : m_mailer(mailer)
        , m_actions(actions)
        , m_subject(std::move(subject))
        , m_body(std::move(body))
    {
    }

    void warning(const std::string& text) override { m_mailer.errorLine(text); }
    void connecting(const std::string& host) override { add("* Connecting to " + host); }
    void openFailed(const net::TSyncSmtpCli& client) override { error("Cannot open connection.", client); }
    void secured(const std::string& security) override { add("* Security: " + security); }
    void compose(net::TSyncSmtpCli& client) override
    {
        client.RcptName = recipientsOf(m_actions.emailAddress);
        client.FromName = m_actions.fromAddress;
        client.HdrFrom = m_actions.fromAddress;
        client.HdrTo = m_actions.emailAddress;
        client.HdrSubject = m_subject;
        client.SetMailMessageText(m_body);
        client.EmailFiles.clear();
    }
    void sending() override { add("* Sending the message."); }
    void sent() override { add("* Message sent."); }
    void sendFailed(const net::TSyncSmtpCli& client) override { error("Cannot send message.", client); }
    void closing() override { add("* Closing connection."); }
    void closed() override { add("* Connection closed."); }
    void closeFailed(const net::TSyncSmtpCli& client) override { error("Cannot quit.", client); }
    void finished() override { add("* Done."); }
    void failed(const std::string& message) override { add("** ERROR: " + message); }
    void display(const std::string& line) override { add(line); }

private:
    void add(const std::string& line) { m_mailer.addPaneLine(line); }
    void error(const std::string& text, const net::TSyncSmtpCli& client)
    {
        add("** ERROR: " + text);
        add("** " + client.LastResponse());
    }

    AlertMailer& m_mailer;
    const AlertActions& m_actions;
    std::string m_subject;
    std::string m_body;
};

} // namespace

AlertMailer::AlertMailer(const AlertActions& actions)
    : m_actions(actions)
    , m_signOn(computerName())
{
    // The client's defaults are the dialog's: plain text in "iso-8859-1" with the client's own
    // header, 15 seconds until the data file says otherwise; server, port, security and log-in
    // come from the "Actions" keys at every send.
}

std::string AlertMailer::computerName()
{
    char name[64] = {};
    if (::gethostname(name, sizeof name) != 0)
        return DefaultSignOn;
    name[sizeof name - 1] = '\0';
    // An empty name would make the greeting "HELO " alone.
    return name[0] ? std::string(name) : std::string(DefaultSignOn);
}

void AlertMailer::setView(SmtpPaneView* view)
{
    m_view = view;
    if (!view)
        return;
    view->clearSmtpPane();
    for (const std::string& line : m_pane)
        view->appendSmtpPaneLine(line);
    view->showMailBusy(m_busy);
}

void AlertMailer::clearPane()
{
    m_pane.clear();
    if (m_view)
        m_view->clearSmtpPane();
}

void AlertMailer::addPaneLine(const std::string& line)
{
    m_pane.push_back(line);
    if (m_view)
        m_view->appendSmtpPaneLine(line);
}

void AlertMailer::setBusy(bool busy)
{
    m_busy = busy;
    if (m_view)
        m_view->showMailBusy(busy);
}

void AlertMailer::abort()
{
    if (m_busy)
        m_client.Abort();
}

bool AlertMailer::SendMail(const std::string& subject, const std::string& body)
{
    // Free again however the send ends.
    struct BusyScope
    {
        AlertMailer& mailer;
        explicit BusyScope(AlertMailer& m)
            : mailer(m)
        {
            mailer.setBusy(true);
        }
        ~BusyScope() { mailer.setBusy(false); }
    } busy(*this);
    clearPane();
    addPaneLine("* Sending email: " + subject);
    m_client.Timeout = m_actions.smtpTimeOut;
    PaneLines lines(*this, m_actions, subject, body);
    return net::sendMailSequence(
        m_client, net::MailServer { m_actions.mailSettings(), m_dataFile, m_signOn }, m_passwords, lines);
}

} // namespace monitor
