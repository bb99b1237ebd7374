#pragma once

// The report mail at the end of a run: the summary pane as the body (after the custom text,
// if any), the log file attached on request, sent through the blocking SMTP client as the mail
// settings say (port, plain text, STARTTLS or TLS, log-in, trust file). Every outcome is a
// status or error line, the security in force one of them ("Mail security: TLS 1.3 with
// mail.example"); a failed report never stops anything or asks anything. A password that
// other users may read is told once per program start, as an error line.

#include "common/net/MailSettings.h"
#include "common/net/SyncSmtpCli.h"

#include <string>

namespace mirror {

class StatusOutlets;
class StatusOutput;
struct MirrorSettings;

class MailReport
{
public:
    static constexpr const char* DefaultSubject = "RPL completed at: %NOW%";

    // The body comes from the summary pane of `outlets`.
    MailReport(const MirrorSettings& settings, StatusOutput& status, const StatusOutlets& outlets);

    void SendReport();
    // The settings file, beside which relative file names lie.
    void setSettingsFile(const std::string& path) { m_settingsFile = path; }

    // The subject with its first "%NOW%" (exact case) replaced by `now`.
    static std::string subjectFor(const std::string& customSubject, const std::string& now);
    net::TSyncSmtpCli& client() { return m_smtp; }

private:
    const MirrorSettings& m_settings;
    StatusOutput& m_status;
    const StatusOutlets& m_outlets;
    net::TSyncSmtpCli m_smtp;
    net::MailPasswords m_passwords;
    std::string m_settingsFile;
};

} // namespace mirror
