#pragma once

// The alert actions as the test engine calls them on a change of a destination's state.
// AlertDispatcher implements them (mail through the SMTP client, programs started without a
// shell); tests plug in their own.

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

} // namespace monitor
