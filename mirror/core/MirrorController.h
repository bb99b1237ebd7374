#pragma once

// The mirror program's one controller, driven by the window and by the console front end
// alike: settings loaded at start and saved at close (never in batch mode), the stop flag,
// the engine and its run with the mail report as the last step, and the auto-pilot timer.
// Front ends forward their commands here and show state.

#include "common/core/EventLoop.h"
#include "common/core/StopFlag.h"
#include "mirror/core/FrontEnd.h"
#include "mirror/core/MailReport.h"
#include "mirror/core/MirrorEngine.h"
#include "mirror/core/MirrorSettings.h"

#include <functional>
#include <string>

namespace mirror {

class MirrorController
{
public:
    MirrorController(std::string programPath, const FrontEnd& frontEnd);

    const std::string& programPath() const { return m_programPath; }
    std::string settingsPath() const;
    MirrorSettings& settings() { return m_settings; }
    MirrorEngine& engine() { return m_engine; }
    MailReport& report() { return m_report; }
    const core::StopFlag& stopFlag() const { return m_stop; }

    // Loads the settings; what was wrong with the file is for the console run to tell.
    SettingsLoad load();
    // Stops a run in progress, then writes every key; throws desktop::EIniFileException when refused.
    void save();

    bool batchMode() const { return m_batch; }
    void setBatchMode(bool batch) { m_batch = batch; }

    // One run, unless one is already busy; the report mail is its last step when enabled.
    // Errors outside the engine's own handling (a log file that cannot be written) come out
    // as exceptions.
    void RunMirror();

    // Restarts the auto-pilot countdown from now and returns the interval box's hint:
    // "Next Time: <date time>" or "Auto Pilot Disabled".
    std::string ArmAutoPilot();
    bool autoPilotActive() const { return m_autoPilot.isActive(); }
    int autoPilotIntervalMs() const { return m_intervalMs; }
    // A tick: starts a run only while none is busy.
    void AutoPilotTimer();
    // Called when a timer tick's run raised an error, for the top-level error display.
    void setErrorHandler(std::function<void(const std::string&)> handler) { m_onError = std::move(handler); }

    // Moves an archived run of `destination` back ("yyyy-mm-dd/hh-mm"), writing a line per
    // item; returns the number of items not restored. Refused (1) while a run is busy.
    int restore(const std::string& destination, const std::string& run);

    // Closing the window: outside batch mode a run is stopped and the settings saved.
    void prepareClose();

private:
    std::string m_programPath;
    MirrorSettings m_settings;
    // Raised while no run is busy.
    core::StopFlag m_stop { true };
    MirrorEngine m_engine;
    MailReport m_report;
    core::Timer m_autoPilot;
    int m_intervalMs = 0;
    bool m_batch = false;
    std::function<void(const std::string&)> m_onError;
};

} // namespace mirror
