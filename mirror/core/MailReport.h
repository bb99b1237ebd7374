#pragma once

// The report mail at the end of a run: the summary pane as the body (after the custom text,
// if any), the log file attached on request, sent through the blocking SMTP client. Every
// outcome is a status or error line; a failed report never stops anything or asks anything.

#include "common/net/SyncSmtpCli.h"

#include <string>

class MirrorFrontEnd;
class StatusOutput;
struct MirrorSettings;

class MailReport
{
public:
    static constexpr const char* DefaultSubject = "RPL completed at: %NOW%";

    MailReport(const MirrorSettings& settings, StatusOutput& status, MirrorFrontEnd& frontEnd);

    void SendReport();

    // The subject with its first "%NOW%" (exact case) replaced by `now`.
    static std::string subjectFor(const std::string& customSubject, const std::string& now);
    net::TSyncSmtpCli& client() { return m_smtp; }

private:
    void send();

    const MirrorSettings& m_settings;
    StatusOutput& m_status;
    MirrorFrontEnd& m_frontEnd;
    net::TSyncSmtpCli m_smtp;
};
