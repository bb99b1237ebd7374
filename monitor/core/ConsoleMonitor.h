#pragma once

// The monitor without a window, for a service manager, cron or a monitoring system. It drives
// the same controller as the window, through the same start, passes and close:
//
//   SEN /CONSOLE [file]          start (data file, log, settings, timer, alert actions, the
//                                startup line, mail and program), then test passes on the test
//                                timer until SIGTERM or SIGINT; SIGHUP reads the data file again.
//   SEN /CONSOLE /ONCE [file]    start, one pass over the whole list, close.
//   SEN /NAGIOS [-t s] [file]    the same single pass, quiet, with one result line (PassVerdict);
//                                after -t seconds (50) the tests still running end without a
//                                result, and the line says UNKNOWN - timed out.
//
// Closing is the window's close: a signal ends the tests under way at once, without a result
// (a service stop must not wait for probes' time-outs); mail on its way and queued gets at most
// 30 s altogether, after the data file is saved first (MonitorController::deferCloseForMail);
// then "Save Settings on Exit" decides whether the data file is written, but never over a file
// that someone else changed since SEN read or wrote it (that one is kept). A save that fails or
// is not made is told on standard error, and the close goes on all the same: the shutdown
// line, mail and program. Last, the programs started at the close and alert programs still
// running get up to ProgramsGrace to end, since a service manager stops whatever is left of
// the service once SEN has ended; a further signal cuts that wait short. A reload waits for
// the pass and the mail to end.
//
// A watch claims its data file (core::FileClaim): a second SEN /CONSOLE on the same file
// refuses to start, while /ONCE and /NAGIOS runs beside it go on (saves of one file take turns).
//
// Under /NAGIOS nothing but the one line goes to standard output or standard error: Icinga
// and Nagios show both streams as the check's output.
//
// Exit status: /CONSOLE 0 after a signal, 1 when the data file cannot be read, saved, or was
// kept, or when another watch has claimed it. /ONCE 0 when every destination of a list that is
// not empty was tested and "OK", else 1 (also for a data file that is not there, cannot be
// read, saved or was kept, and for a pass that a signal cut short). /NAGIOS 0 OK, 2 CRITICAL,
// 3 UNKNOWN (no readable data file, an empty list, a pass cut short, out of time, a failed or
// withheld save).

#include "common/core/FileClaim.h"
#include "monitor/core/CommandLine.h"
#include "monitor/core/ConsoleFrontEnd.h"
#include "monitor/core/MonitorController.h"
#include "monitor/core/PassVerdict.h"

#include <chrono>
#include <map>
#include <optional>
#include <ostream>
#include <string>

namespace monitor {

class ConsoleMonitor final
{
public:
    // How long the close waits for the programs it started and alert programs still running.
    static constexpr std::chrono::seconds ProgramsGrace { 60 };

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

    // SIGTERM, SIGINT: the tests under way end without a result (as by Abort), then the close;
    // a second one drops those that still run, and one during the close's wait for programs
    // ends that wait.
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
    // The close's save; what went wrong, or nothing.
    std::optional<std::string> saveForClose();
    void waitForPrograms();
    void checkTimedOut();
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
        bool ok;
        int64_t elapsedMs;
        std::string reason;
    };
    std::map<uint64_t, Recorded> m_recorded; // by row key
    core::Poster m_poster;
    core::Timer m_checkDeadline; // /NAGIOS's -t
    std::chrono::steady_clock::time_point m_startTime;
    bool m_started = false;
    bool m_passComplete = false;
    bool m_closeRequested = false;
    bool m_closed = false;
    bool m_timedOut = false;
    bool m_hurry = false; // a signal during the close: its wait for programs ends
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
