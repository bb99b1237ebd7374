#pragma once

// Spreads each status text over the status line, the activity pane, the summary pane and the
// log file by its level:
//   0  status line only (per-file progress)
//   1  + activity pane + log file (removals, replacements, warnings)
//   2  like 1 (folders, new folders, mail progress)
//   3  like 1 + summary pane (pair header and footer, mail sent)
//   4  like 1 (error lines, written by WriteError only)
// The log file is opened, appended to and closed for every line, so it is complete after each.

#include <stdexcept>
#include <string>

class MirrorFrontEnd;
struct MirrorSettings;

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

    // `running` is the program-wide running flag that a stopping error clears.
    StatusOutput(MirrorFrontEnd& frontEnd, const MirrorSettings& settings, bool& running);

    void WriteStatus(const std::string& text, int level);
    // With `stop` set, shows the text in a message box first and clears the running flag.
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

    MirrorFrontEnd& m_frontEnd;
    const MirrorSettings& m_settings;
    bool& m_running;
    std::string m_activity;
    int m_errors = 0;
};
