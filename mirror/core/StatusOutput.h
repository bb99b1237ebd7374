#pragma once

// Spreads each status text over the status line, the activity pane, the summary pane and the
// log file by its level (see StatusLevel). The log file is opened, appended to and closed for
// every line, so it is complete after each.

#include "common/core/StopFlag.h"
#include "mirror/core/FrontEnd.h"

#include <stdexcept>
#include <string>

namespace mirror {

struct MirrorSettings;

// Where a status text goes; every level but StatusLineOnly also reaches the activity pane and
// the log file.
enum class StatusLevel
{
    StatusLineOnly = 0, // per-file progress
    Change = 1, // removals, replacements, warnings
    Folder = 2, // folders, new folders, mail progress
    Summary = 3, // + the summary pane: pair header and footer, mail sent
    Error = 4, // error lines, written by WriteError only
};

// A log file that cannot be written ends the run; the message names the file and the cause.
class ELogFileError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

class StatusOutput
{
public:
    static constexpr size_t ActivityLimit = 30000;
    static constexpr const char* ErrorPrefix = " *** ERROR! ";

    // `stop` is the program-wide stop flag that a stopping error raises.
    StatusOutput(const FrontEnd& frontEnd, const MirrorSettings& settings, core::StopFlag& stop);

    void WriteStatus(const std::string& text, StatusLevel level);
    // With `stop` set, shows the text in a message box first and raises the stop flag.
    void WriteError(const std::string& text, bool stop);

    // Start of a run: clears the summary and writes the log file's run header.
    void startRun();
    // Start of a pair: clears the activity pane.
    void clearActivity();

    const std::string& activityText() const { return m_activity; }
    int errorCount() const { return m_errors; }

private:
    void addActivityLine(const std::string& text);
    void appendToLog(const std::string& text, bool truncate = false);

    FrontEnd m_frontEnd;
    const MirrorSettings& m_settings;
    core::StopFlag& m_stop;
    std::string m_activity;
    int m_errors = 0;
};

} // namespace mirror
