#pragma once

// The alert actions as the test engine calls them on a change of a destination's state. The
// alert-actions part implements them (mail through the SMTP client, programs started without
// a shell); until it is plugged in, the controller holds NoAlertSender.

#include <string>

namespace monitor {

class AlertSender
{
public:
    virtual ~AlertSender() = default;

    // Composes and sends one alert mail (subject: message and the date-time text) and reports
    // it in the activity pane and the log. May wait in the event loop while the mail goes out:
    // the engine lets other tests end meanwhile and releases their results afterwards.
    virtual void SendAlertMail(const std::string& message, bool keepAlive) = 0;
    // Starts `command` with the parameters followed by the date-time text, without waiting for
    // it; an empty command starts nothing.
    virtual void RunProgram(const std::string& command, const std::string& parameters) = 0;
};

// Sends nothing and starts nothing.
class NoAlertSender final : public AlertSender
{
public:
    void SendAlertMail(const std::string&, bool) override { }
    void RunProgram(const std::string&, const std::string&) override { }
};

} // namespace monitor
