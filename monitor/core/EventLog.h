#pragma once

// The monitor's log file: its path, its switch and the line writer, with the rules of the log
// check box and the path box. Each line opens the file, appends, and closes it (core::appendLine);
// a line that cannot be written costs one error line in the activity pane and nothing else.
// The view shows the path box and the check box; it reports the user's edits here and is told
// of every change this object makes.

#include "common/core/ActivityOutlet.h"

#include <functional>
#include <string>

class QDateTime;

namespace monitor {

struct MonitorSettings;

// The log controls of a window: the path box and the check box.
class LogView
{
public:
    virtual ~LogView() = default;
    virtual void showLogPathText(const std::string& text) = 0;
    virtual void showLogEnabled(bool enabled) = 0;
};

class EventLog
{
public:
    using Clock = std::function<QDateTime()>;

    // `settings` tells whether the program is still starting; `programPath` gives the default
    // path, the program's own with ".LOG".
    EventLog(const MonitorSettings& settings, core::ActivityOutlet& activity, std::string programPath);

    void setView(LogView* view) { m_view = view; }
    // The time stamps' clock; the local time by default.
    void setClock(Clock clock) { m_clock = std::move(clock); }
    std::string stamp() const;

    // Appends the line with CR LF when logging is on; otherwise does nothing at all.
    void WriteLogLine(const std::string& line);

    // The path (the default one when empty) becomes the log file and the path box's text.
    void SetLogFileName(const std::string& path);
    const std::string& logFileName() const { return m_path; }
    std::string defaultLogFileName() const;

    // The path box as the user edits it; once the program runs, any change unticks the box.
    const std::string& pathText() const { return m_pathText; }
    void pathTextEdited(const std::string& text);

    // The check box, ticked or unticked by the user or by a load of the data file.
    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

private:
    void setPathText(const std::string& text);

    const MonitorSettings& m_settings;
    core::ActivityOutlet& m_activity;
    std::string m_programPath;
    LogView* m_view = nullptr;
    Clock m_clock;
    std::string m_path;
    std::string m_pathText;
    bool m_enabled = false;
    bool m_enabling = false;
};

} // namespace monitor
