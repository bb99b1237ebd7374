#pragma once

// The monitor without a window, for a service manager, cron or a monitoring system. It drives
// the same controller as the window, through the same start, passes and close:
//
//   SEN /CONSOLE [file]          start (data file, log, settings, timer, alert actions, the
//                                startup line, mail and program), then test passes on the test
//                                timer until SIGTERM or SIGINT; SIGHUP reads the data file again.
//   SEN /CONSOLE /ONCE [file]    start, one pass over the whole list, close.
//   SEN /NAGIOS [file]           the same single pass, quiet, with one result line (PassVerdict).
//
// Closing is the window's close: "Save Settings on Exit" decides whether the data file is
// written, then the shutdown line, mail and program. A signal to close lets the pass in
// progress end after the probes that are running (a second signal drops them without a
// result) and waits for the mail on its way and queued, at most 30 s altogether, after saving
// the data file first (MonitorController::deferCloseForMail). A reload waits for the pass and
// the mail to end.
//
// A watch claims its data file (core::FileClaim): a second SEN /CONSOLE on the same file
// refuses to start, while /ONCE and /NAGIOS runs beside it go on (saves of one file take turns).
//
// Exit status: /CONSOLE 0 after a signal, 1 when the data file cannot be read or saved, or
// when another watch has claimed it.
// /ONCE 0 when every destination of a list that is not empty was tested and "OK", else 1
// (also for a data file that is not there, cannot be read or cannot be saved, and for a pass
// that a signal cut short). /NAGIOS 0 OK, 2 CRITICAL, 3 UNKNOWN (no readable data file, an
// empty list, a pass cut short, a failed save).

#include "common/core/FileClaim.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/ConsoleFrontEnd.h"
#include "monitor/core/MonitorController.h"
#include "monitor/core/PassVerdict.h"

#include <map>
#include <optional>
#include <ostream>
#include <string>

namespace monitor {

class ConsoleMonitor final
{
public:
    enum class Mode
    {
        Watch, // until a signal ends it
        Once, // one pass
        Nagios, // one pass, one result line
    };

    // `out` takes the activity lines (or the check's line), `err` messages and warnings.
    ConsoleMonitor(
        const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err);
    ~ConsoleMonitor();
    ConsoleMonitor(const ConsoleMonitor&) = delete;
    ConsoleMonitor& operator=(const ConsoleMonitor&) = delete;

    // The whole run in the event loop of the QCoreApplication that must exist; the exit status.
    int run();

    // SIGTERM, SIGINT: the close, once the pass has ended; a second one closes without waiting
    // for the probes still running (their tests end without a result).
    void terminate();
    // SIGHUP: the data file again, once no pass runs and no mail is on its way. Ignored by a
    // run that tests once.
    void reload();

    MonitorController& controller() { return m_controller; }
    Mode mode() const { return m_mode; }

private:
    void passEnded();
    void beginClose();
    void tryClose();
    void finish(int status);
    void reloadWhenIdle();
    void warnWithoutPasses();
    std::vector<RowOutcome> outcomes();
    int onceStatus(bool saved, const std::vector<RowOutcome>& rows) const;

    CommandLine m_commandLine;
    Mode m_mode;
    core::FileClaim m_claim;
    ConsoleFrontEnd m_console;
    MonitorController m_controller;
    struct Recorded
    {
        bool ok = false;
        int64_t elapsedMs = 0;
        std::optional<std::time_t> certificateNotAfter;
    };
    std::map<uint64_t, Recorded> m_recorded; // by row key
    core::Poster m_poster;
    bool m_started = false;
    bool m_passComplete = false;
    bool m_closeRequested = false;
    bool m_closed = false;
    bool m_reloadWanted = false;
    bool m_done = false;
    int m_status = 0;
};

// Why `path` cannot be read as a data file (the system's text), or nothing when it can.
std::optional<std::string> unreadableDataFile(const std::string& path, int* error = nullptr);

// The console run with signals: SIGTERM and SIGINT close, SIGHUP reloads.
int runConsoleMonitor(
    const std::string& programPath, const CommandLine& commandLine, std::ostream& out, std::ostream& err);

} // namespace monitor
