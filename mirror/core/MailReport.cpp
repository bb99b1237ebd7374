#include "MailReport.h"

#include "common/core/DateTimeText.h"
#include "mirror/core/MirrorSettings.h"
#include "mirror/core/StatusOutlets.h"
#include "mirror/core/StatusOutput.h"

#include <exception>
#include <sys/stat.h>

namespace mirror {

MailReport::MailReport(const MirrorSettings& settings, StatusOutput& status, const StatusOutlets& outlets)
    : m_settings(settings)
    , m_status(status)
    , m_outlets(outlets)
{
    m_smtp.LocalAddr = "0.0.0.0";
    m_smtp.Port = "smtp";
    m_smtp.AuthType = net::TSmtpAuthType::smtpAuthNone;
    m_smtp.CharSet = "iso-8859-1";
    m_smtp.ContentType = net::TSmtpContentType::smtpPlainText;
    m_smtp.OwnHeaders = false;
    m_smtp.Timeout = 15;
    m_smtp.MultiThreaded = false;
}

std::string MailReport::subjectFor(const std::string& customSubject, const std::string& now)
{
    std::string subject = customSubject.empty() ? DefaultSubject : customSubject;
    const auto at = subject.find("%NOW%");
    if (at != std::string::npos)
        subject.replace(at, 5, now);
    return subject;
}

void MailReport::SendReport()
{
    if (m_settings.smtpServer.empty() || m_settings.mailFromAddress.empty() || m_settings.mailToAddress.empty()) {
        m_status.WriteError("Missing mail settings, EMail NOT sent!", false);
        return;
    }
    try {
        send();
    } catch (const std::exception& e) {
        m_status.WriteError(std::string("Exception while trying to send email: ") + e.what(), false);
    }
}

void MailReport::send()
{
    m_smtp.Host = m_settings.smtpServer;
    m_status.WriteStatus("Connecting to mail server: " + m_settings.smtpServer, StatusLevel::Folder);
    if (!m_smtp.SyncOpen()) {
        m_status.WriteError("Cannot send mail for some reason: " + m_smtp.LastResponse(), false);
        return;
    }
    m_status.WriteStatus("Successfully Connected to mail server.", StatusLevel::Folder);

    const std::string& to = m_settings.mailToAddress;
    m_smtp.FromName = m_settings.mailFromAddress;
    m_smtp.HdrFrom = m_settings.mailFromAddress;
    m_smtp.HdrTo = to;
    m_smtp.RcptName = { to }; // one recipient, the field taken whole
    m_smtp.HdrSubject = subjectFor(m_settings.mailCustomSubject, core::nowText());
    const std::string summary = m_outlets.summaryText();
    m_smtp.SetMailMessageText(
        m_settings.mailCustomText.empty() ? summary : m_settings.mailCustomText + "\r\r" + summary);
    m_smtp.EmailFiles.clear();
    struct stat st
    {
    };
    if (m_settings.attachLogToEMail && m_settings.logFileEnable && !m_settings.logFileName.empty()
        && ::stat(m_settings.logFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        m_smtp.EmailFiles.push_back(m_settings.logFileName);

    m_status.WriteStatus("Sending mail to: " + to, StatusLevel::Folder);
    if (m_smtp.SyncMail()) {
        m_status.WriteStatus("EMail sent to: " + to, StatusLevel::Summary);
    } else {
        m_status.WriteError("Cannot send email to: " + to, false);
        m_status.WriteError("Lastresponse from smtpclient = " + m_smtp.LastResponse(), false);
    }
    if (m_smtp.SyncQuit()) {
        m_status.WriteStatus("Connection to mail server closed.", StatusLevel::Folder);
    } else {
        m_status.WriteError("Cannot close connection to mail server.", false);
        m_status.WriteError("Lastresponse from smtpclient = " + m_smtp.LastResponse(), false);
    }
}

} // namespace mirror
