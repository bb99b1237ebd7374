#pragma once

// The report mail at the end of a run: the summary pane as the body (after the custom text,
// if any), the log file attached on request, sent through the blocking SMTP client. Every
// outcome is a status or error line; a failed report never stops anything or asks anything.

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

    // The subject with its first "%NOW%" (exact case) replaced by `now`.
    static std::string subjectFor(const std::string& customSubject, const std::string& now);
    net::TSyncSmtpCli& client() { return m_smtp; }

private:
    const MirrorSettings& m_settings;
    StatusOutput& m_status;
    const StatusOutlets& m_outlets;
    net::TSyncSmtpCli m_smtp;
};

} // namespace mirror
