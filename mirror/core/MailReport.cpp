#include "MailReport.h"

#include "common/core/DateTimeText.h"
#include "common/net/MailSequence.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/StatusOutlets.h"
#include "mirror/core/StatusOutput.h"

#include <sys/stat.h>

namespace mirror {

MailReport::MailReport(const MirrorSettings& settings, StatusOutput& status, const StatusOutlets& outlets)
    : m_settings(settings)
    , m_status(status)
    , m_outlets(outlets)
{
    // The client's defaults are the report's: plain text in "iso-8859-1" with the client's own
    // header, 15 seconds per step; server, port, security and log-in come from the settings.
}

std::string MailReport::subjectFor(const std::string& customSubject, const std::string& now)
{
    std::string subject = customSubject.empty() ? DefaultSubject : customSubject;
    const auto at = subject.find("%NOW%");
    if (at != std::string::npos)
        subject.replace(at, 5, now);
    return subject;
}

namespace {

// The report's lines for each step of the shared mail sequence.
class ReportLines final : public net::MailSequenceEvents
{
public:
    ReportLines(const MirrorSettings& settings, StatusOutput& status, std::string body)
        : m_settings(settings)
        , m_status(status)
        , m_body(std::move(body))
    {
    }

    void warning(const std::string& text) override { m_status.WriteError(text, false); }
    void secured(const std::string& security) override
    {
        m_status.WriteStatus("Mail security: " + security, StatusLevel::Folder);
    }
    void connecting(const std::string& host) override
    {
        m_status.WriteStatus("Connecting to mail server: " + host, StatusLevel::Folder);
    }
    void openFailed(const net::TSyncSmtpCli& client) override
    {
        m_status.WriteError("Cannot send mail for some reason: " + client.LastResponse(), false);
    }
    void connected() override { m_status.WriteStatus("Successfully Connected to mail server.", StatusLevel::Folder); }
    void compose(net::TSyncSmtpCli& client) override
    {
        const std::string& to = m_settings.mailToAddress;
        client.FromName = m_settings.mailFromAddress;
        client.HdrFrom = m_settings.mailFromAddress;
        client.HdrTo = to;
        client.RcptName = { to }; // one recipient, the field taken whole
        client.HdrSubject = MailReport::subjectFor(m_settings.mailCustomSubject, core::nowText());
        client.SetMailMessageText(m_body);
        client.EmailFiles.clear();
        struct stat st
        {
        };
        if (m_settings.attachLogToEMail && m_settings.logFileEnable && !m_settings.logFileName.empty()
            && ::stat(m_settings.logFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            client.EmailFiles.push_back(m_settings.logFileName);
    }
    void sending() override
    {
        m_status.WriteStatus("Sending mail to: " + m_settings.mailToAddress, StatusLevel::Folder);
    }
    void sent() override { m_status.WriteStatus("EMail sent to: " + m_settings.mailToAddress, StatusLevel::Summary); }
    void sendFailed(const net::TSyncSmtpCli& client) override
    {
        m_status.WriteError("Cannot send email to: " + m_settings.mailToAddress, false);
        m_status.WriteError("Lastresponse from smtpclient = " + client.LastResponse(), false);
    }
    void closed() override { m_status.WriteStatus("Connection to mail server closed.", StatusLevel::Folder); }
    void closeFailed(const net::TSyncSmtpCli& client) override
    {
        m_status.WriteError("Cannot close connection to mail server.", false);
        m_status.WriteError("Lastresponse from smtpclient = " + client.LastResponse(), false);
    }
    void failed(const std::string& message) override
    {
        m_status.WriteError("Exception while trying to send email: " + message, false);
    }

private:
    const MirrorSettings& m_settings;
    StatusOutput& m_status;
    std::string m_body;
};

} // namespace

void MailReport::SendReport()
{
    if (m_settings.smtpServer.empty() || m_settings.mailFromAddress.empty() || m_settings.mailToAddress.empty()) {
        m_status.WriteError("Missing mail settings, EMail NOT sent!", false);
        return;
    }
    const std::string summary = m_outlets.summaryText();
    ReportLines lines(m_settings,
        m_status,
        m_settings.mailCustomText.empty() ? summary : m_settings.mailCustomText + "\r\r" + summary);
    net::sendMailSequence(
        m_smtp, net::MailServer { m_settings.mailSettings(), m_settingsFile, std::nullopt }, m_passwords, lines);
}

} // namespace mirror
