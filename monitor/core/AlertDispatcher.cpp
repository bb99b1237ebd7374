#include "monitor/core/AlertDispatcher.h"

#include "common/core/DateTimeText.h"
#include "common/core/ProgramLauncher.h"
#include "common/core/TimerInterval.h"
#include "monitor/core/AlertMail.h"
#include "monitor/core/DestinationList.h"
#include "monitor/core/EventLog.h"
#include "monitor/core/MonitorSettings.h"

namespace monitor {

namespace {

constexpr int MinKeepAliveHours = 1;
constexpr int MaxKeepAliveHours = 24;

// The interval text as whole hours; a text that is no number counts as 0.
long long keepAliveHours(const std::string& text)
{
    return core::wholeNumberOf(trimmed(text)).value_or(0);
}

} // namespace

AlertDispatcher::AlertDispatcher(const Parts& parts)
    : m_settings(parts.settings)
    , m_list(parts.list)
    , m_log(parts.log)
    , m_activity(parts.activity)
    , m_asker(parts.asker)
    , m_starter(core::startProgram)
    , m_clock([] { return QDateTime::currentDateTime(); })
    , m_mailer(parts.settings.actions)
{
    m_keepAlive.setOnTimeout([this] {
        m_keepAliveSince = m_clock();
        SendAlertMail(KeepAliveMessage, true);
    });
    m_closeBudget.setOnTimeout([this] { closeBudgetSpent(); });
    m_mailer.setErrorLine([this](const std::string& text) {
        m_activity.appendActivityLine("*** ERROR! " + text);
        m_log.WriteLogLine("*** ERROR! " + text);
    });
}

AlertDispatcher::~AlertDispatcher() = default;

std::string AlertDispatcher::stamp() const
{
    return core::dateTimeText(m_clock());
}

// Mail

void AlertDispatcher::SendAlertMail(const std::string& message, bool keepAlive)
{
    const QDateTime now = m_clock();
    const std::string subject = message + " " + core::dateTimeText(now);
    AlertBodyParts parts;
    parts.emptyMessageText = m_settings.EmptyMessageText;
    parts.sendCurrentStatus = m_settings.actions.sendCurrentStatus;
    parts.keepAlive = keepAlive;
    parts.nextKeepAlive = core::dateTimeText(now.addMSecs(m_keepAlive.interval()));
    if (m_closeBudgetSpent) {
        m_notSent.push_back(subject);
        return;
    }
    m_queue.push_back(Mail { subject, alertBody(subject, parts, m_list.rows()) });
    sendQueued();
}

void AlertDispatcher::sendQueued()
{
    // A mail asked for during a send waits here; the frame that is sending takes it up next.
    if (m_mailer.busy())
        return;
    while (!m_queue.empty()) {
        const Mail mail = std::move(m_queue.front());
        m_queue.pop_front();
        sendOne(mail);
    }
    reportIdle();
}

void AlertDispatcher::sendOne(const Mail& mail)
{
    m_activity.appendActivityLine("* Email: " + mail.subject);
    if (m_mailer.SendMail(mail.subject, mail.body)) {
        m_activity.appendActivityLine("Send OK.");
        m_log.WriteLogLine("* Send Mail OK: " + mail.subject);
    } else {
        m_activity.appendActivityLine("Send FAILED.");
        m_log.WriteLogLine("* Send Mail FAILED: " + mail.subject);
    }
}

void AlertDispatcher::whenIdle(std::function<void()> call)
{
    if (!sending()) {
        call();
        return;
    }
    m_idleCalls.push_back(std::move(call));
}

void AlertDispatcher::reportIdle()
{
    if (m_idleCalls.empty())
        return;
    // From the event loop: the caller waiting for this may be the frame that is sending.
    for (auto& call : std::exchange(m_idleCalls, {}))
        m_poster.post(std::move(call));
}

void AlertDispatcher::startCloseBudget(std::chrono::milliseconds budget)
{
    if (m_closeBudget.isActive() || m_closeBudgetSpent)
        return;
    m_closeBudget.start(static_cast<int>(budget.count()), true);
}

void AlertDispatcher::endCloseBudget()
{
    reportNotSent();
    m_closeBudget.stop();
    m_closeBudgetSpent = false;
}

void AlertDispatcher::closeBudgetSpent()
{
    m_closeBudgetSpent = true;
    for (const Mail& mail : std::exchange(m_queue, {}))
        m_notSent.push_back(mail.subject);
    // The frame that is sending sees the queue empty once its mail ends, and reports idle.
    m_mailer.abort();
}

void AlertDispatcher::reportNotSent()
{
    if (m_notSent.empty())
        return;
    std::string line = "*** ERROR: Mail not sent at the close: ";
    for (size_t i = 0; i < m_notSent.size(); ++i)
        line += (i > 0 ? "; " : "") + m_notSent[i];
    m_notSent.clear();
    m_activity.appendActivityLine(line);
    m_log.WriteLogLine(line);
}

bool AlertDispatcher::TestSMTP()
{
    if (m_mailer.busy())
        return false;
    const AlertActions& a = m_settings.actions;
    const bool sent
        = m_mailer.SendMail("SEN - TEST", testMailBody(stamp(), a.smtpServer, a.emailAddress, a.fromAddress));
    m_asker.showMessage(sent ? "Send OK." : "Send FAILED.");
    sendQueued();
    return sent;
}

// Programs

void AlertDispatcher::RunProgram(const std::string& command, const std::string& parameters)
{
    if (trimmed(command).empty())
        return;
    const std::string arguments = parameters + " " + stamp();
    m_activity.appendActivityLine("* Run: " + command + " " + arguments);
    const RunResult result = runCommand(command, arguments, m_starter);
    if (!succeeded(result))
        m_activity.appendActivityLine("*** ERROR! Cannot run program: " + command);
    const std::string status
        = succeeded(result) ? std::string("OK: ") : "ERROR=" + std::to_string(static_cast<int>(result)) + ": ";
    m_log.WriteLogLine("* Run Program " + status + command + " " + arguments);
}

// Start and close

void AlertDispatcher::StartupActions(const std::string& message)
{
    const AlertActions& a = m_settings.actions;
    if (a.startEmail)
        SendAlertMail(message, false);
    if (a.startRun)
        RunProgram(a.startCommand, message);
    SetupKeepAlive();
}

void AlertDispatcher::ShutdownActions(const std::string& message)
{
    const AlertActions& a = m_settings.actions;
    if (a.closeEmail)
        SendAlertMail(message, false);
    if (a.closeRun)
        RunProgram(a.closeCommand, message);
    reportNotSent();
}

// Keep-alive

void AlertDispatcher::SetupKeepAlive()
{
    AlertActions& a = m_settings.actions;
    if (!a.sendKeepAlive) {
        m_keepAlive.stop();
        return;
    }
    const long long hours = keepAliveHours(a.keepAliveInterval);
    if (hours < MinKeepAliveHours || hours > MaxKeepAliveHours) {
        // Corrected before the message box, whose loop may run the timer.
        a.keepAliveInterval = "1";
        a.sendKeepAlive = false;
        m_keepAlive.stop();
        m_asker.showMessage("Error in input - Keep Alive interval must be between 1 and 24");
        return;
    }
    const int interval = static_cast<int>(hours) * HourMs;
    // Setting the interval restarts the count; an unchanged one leaves the schedule alone.
    if (!m_keepAlive.isActive() || m_keepAlive.interval() != interval) {
        m_keepAlive.start(interval);
        m_keepAliveSince = m_clock();
    }
}

void AlertDispatcher::Configure(const std::function<void()>& showDialog)
{
    showDialog();
    const bool wasRunning = m_keepAlive.isActive();
    SetupKeepAlive();
    if (m_keepAlive.isActive() && !wasRunning
        && m_asker.askYesNo("KeepAlive Enabled", "Do you want to send a KeepAlive message now?"))
        SendAlertMail(KeepAliveMessage, true);
}

} // namespace monitor
