#pragma once

// The monitor's alert actions: the alert mail, the program run on an event, the start-up and
// shut-down actions, the keep-alive mail on its timer, and "Test SMTP". The test engine calls
// SendAlertMail and RunProgram on a change of a destination's state; the controller calls the
// start-up and shut-down actions and SetupKeepAlive after every load.
//
// One mail at a time. A mail asked for while another is on its way (a keep-alive tick during an
// alert mail, a change of state during the keep-alive mail, both possible because a send waits
// in the event loop) is queued with its subject and body as they were at the moment it was
// asked for, and sent after the current one by whoever started sending, in the order asked.
// Nothing in the queue is dropped; the activity lines of a queued mail ("* Email: ...", then
// "Send OK." or "Send FAILED.") appear when it is sent, so each pair stays together.
//
// The close gives mail a budget (CloseMailBudget): once it has passed, the mail on its way is
// ended (it reports "Send FAILED."), and the queued ones and any asked for later are not tried;
// the shut-down actions end with one line in the activity pane and the log that names those.
//
// Programs start without a shell and without waiting (RunCommand.h).
//
// The dispatcher must outlive any send it runs: its owner goes away only after the event loop,
// and the window defers a close that arrives during a send (MonitorController).

#include "common/core/ActivityOutlet.h"
#include "common/core/Asker.h"
#include "common/core/EventLoop.h"
#include "monitor/core/AlertMailer.h"
#include "monitor/core/AlertSender.h"
#include "monitor/core/FileManager.h"
#include "monitor/core/RunCommand.h"

#include <QDateTime>

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace monitor {

class DestinationList;
class EventLog;
struct MonitorSettings;

class AlertDispatcher final : public AlertSender
{
public:
    using Clock = std::function<QDateTime()>;

    static constexpr const char* KeepAliveMessage = "SEN - Keep Alive";
    static constexpr int HourMs = 3'600'000;
    // What the close waits for mail altogether: well within a service manager's stop time-out.
    static constexpr std::chrono::milliseconds CloseMailBudget = std::chrono::seconds(30);

    struct Parts
    {
        MonitorSettings& settings;
        const DestinationList& list;
        EventLog& log;
        core::ActivityOutlet& activity;
        core::Asker& asker;
    };

    explicit AlertDispatcher(const Parts& parts);
    ~AlertDispatcher() override;
    AlertDispatcher(const AlertDispatcher&) = delete;
    AlertDispatcher& operator=(const AlertDispatcher&) = delete;

    // Seams: how programs start (core::startProgram by default) and the clock of the stamps.
    void setProgramStarter(ProgramStarter starter) { m_starter = std::move(starter); }
    void setClock(Clock clock) { m_clock = std::move(clock); }
    AlertMailer& mailer() { return m_mailer; }

    // Composes one mail (subject: message and the date-time text) and sends it, or queues it
    // while another is on its way; reports in the activity pane and the log.
    void SendAlertMail(const std::string& message, bool keepAlive) override;
    // Starts `command` with the parameters and the date-time text as its arguments; an empty
    // command starts nothing and writes nothing.
    void RunProgram(const std::string& command, const std::string& parameters) override;

    // The start-up actions' mail and program, then the keep-alive schedule.
    void StartupActions(const std::string& message);
    // The shut-down mail and program, then the line naming the mails the close did not send.
    void ShutdownActions(const std::string& message);

    // Applies the keep-alive box and interval to the timer. A running timer keeps its schedule
    // when the interval is unchanged. An interval outside 1 to 24 hours is shown as an error,
    // set to "1" and the box unticked.
    void SetupKeepAlive();
    // The configure command: shows the dialog (modal), then SetupKeepAlive; when that started
    // the keep-alive timer, offers to send a keep-alive mail now.
    void Configure(const std::function<void()>& showDialog);
    // The dialog's "Test SMTP": a test mail whose progress stays in the SMTP pane, then a
    // message box with the result. False without trying while another mail is on its way.
    bool TestSMTP();

    // A mail is on its way (or queued).
    bool sending() const { return m_mailer.busy() || !m_queue.empty(); }
    size_t queuedMails() const { return m_queue.size(); }
    // The close has begun: mail gets `budget` from now on, altogether (once; later calls keep
    // the first deadline). A close that does not go through ends the budget again.
    void startCloseBudget(std::chrono::milliseconds budget);
    void endCloseBudget();
    // Runs `call` once no mail is on its way or queued any more: at once when none is, else
    // from the event loop after the last one.
    void whenIdle(std::function<void()> call);

    bool keepAliveRunning() const { return m_keepAlive.isActive(); }
    int keepAliveInterval() const { return m_keepAlive.interval(); }
    // When the running schedule began counting: the first tick comes one interval later.
    const QDateTime& keepAliveSince() const { return m_keepAliveSince; }

private:
    struct Mail
    {
        std::string subject;
        std::string body;
    };

    std::string stamp() const;
    void sendQueued();
    void sendOne(const Mail& mail);
    void reportIdle();
    void closeBudgetSpent();
    void reportNotSent();

    MonitorSettings& m_settings;
    const DestinationList& m_list;
    EventLog& m_log;
    core::ActivityOutlet& m_activity;
    core::Asker& m_asker;
    ProgramStarter m_starter;
    Clock m_clock;
    AlertMailer m_mailer;
    core::Timer m_keepAlive;
    QDateTime m_keepAliveSince;
    std::deque<Mail> m_queue;
    std::vector<std::function<void()>> m_idleCalls;
    core::Timer m_closeBudget;
    bool m_closeBudgetSpent = false;
    std::vector<std::string> m_notSent; // subjects, since the budget was spent
    core::Poster m_poster;
};

} // namespace monitor
