#pragma once

// The monitor's roles without a window: activity lines to standard output, one line at a
// time (a service manager's journal shows each line as it comes), message-box texts to
// standard error without waiting, questions answered with their default. Settings, the
// timer's hint, the busy pointer and the tray have nothing to show, and a console counts as
// in the background. A quiet console (a check for a monitoring system, which merges both
// streams into its one result line) drops the activity lines and the messages.

#include "common/core/ConsoleOutlets.h"
#include "monitor/core/SettingsView.h"
#include "monitor/core/TestView.h"

#include <functional>

namespace monitor {

class ConsoleFrontEnd final : public core::ConsoleOutlets, public SettingsView, public TestView
{
public:
    ConsoleFrontEnd(std::ostream& out, std::ostream& err, bool quiet);

    void appendActivityLine(const std::string& line) override;
    void showMessage(const std::string& text) override;
    bool askOkCancel(const std::string& title, const std::string& text) override;
    bool askYesNo(const std::string& title, const std::string& text) override;
    // A line on standard error; none when quiet.
    void warn(const std::string& line);
    // Idle again after a test pass: `onPassEnd` is called.
    void setBusy(bool busy) override;

    void showDataFile(const std::string&) override { }
    void showSettings() override { }
    void showTimerHint(const std::string&) override { }
    void showTesting(bool) override { }
    bool isForeground() const override { return false; }

    std::function<void()> onPassEnd;

    using core::ConsoleOutlets::err;
    using core::ConsoleOutlets::out;

private:
    bool m_quiet;
};

} // namespace monitor
