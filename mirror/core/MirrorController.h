#pragma once

// The mirror program's life without its window: settings loaded at start and saved at close
// (never in batch mode), the command line, the auto-pilot timer and the run it starts, and the
// mail report at the end of each run. The window forwards its commands here and shows state.

#include "common/core/EventLoop.h"
#include "mirror/core/MailReport.h"
#include "mirror/core/MirrorEngine.h"
#include "mirror/core/MirrorSettings.h"

#include <functional>
#include <string>
#include <vector>

class MirrorFrontEnd;

class MirrorController
{
public:
    struct CommandLine
    {
        bool batch = false; // "/BATCH": one run, then the program ends without saving
        bool tray = false;  // "/TRAY": hide in the tray at the first activation
    };
    // Each argument is compared whole, in capital letters; others are ignored.
    static CommandLine parseArguments(const std::vector<std::string>& arguments);

    MirrorController(std::string programPath, MirrorFrontEnd& frontEnd);

    const std::string& programPath() const { return m_programPath; }
    std::string settingsPath() const { return settingsPathFor(m_programPath); }
    MirrorSettings& settings() { return m_settings; }
    MirrorEngine& engine() { return m_engine; }
    MailReport& report() { return m_report; }

    void load();
    // Stops a run in progress, then writes every key; throws EIniFileException when refused.
    void save();

    bool batchMode() const { return m_batch; }
    void setBatchMode(bool batch) { m_batch = batch; }

    // One run, unless one is already busy. Errors outside the engine's own handling (a log
    // file that cannot be written) come out as exceptions.
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

    // Closing the window: outside batch mode a run is stopped and the settings saved.
    void prepareClose();

private:
    std::string m_programPath;
    MirrorSettings m_settings;
    MirrorEngine m_engine;
    MailReport m_report;
    core::Timer m_autoPilot;
    int m_intervalMs = 0;
    bool m_batch = false;
    std::function<void(const std::string&)> m_onError;
};
