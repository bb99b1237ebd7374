#include "monitor/core/EventLog.h"

#include "common/core/DateTimeText.h"
#include "common/core/LineWriter.h"
#include "common/core/ProgramPaths.h"
#include "monitor/core/MonitorSettings.h"

#include <QDateTime>

#include <cerrno>

namespace monitor {

EventLog::EventLog(const MonitorSettings& settings, core::ActivityOutlet& activity, std::string programPath)
    : m_settings(settings)
    , m_activity(activity)
    , m_programPath(std::move(programPath))
    , m_clock([] { return QDateTime::currentDateTime(); })
    , m_path(defaultLogFileName())
{
}

std::string EventLog::defaultLogFileName() const
{
    return core::logPathFor(m_programPath);
}

std::string EventLog::stamp() const
{
    return core::dateTimeText(m_clock());
}

void EventLog::WriteLogLine(const std::string& line)
{
    if (!m_enabled)
        return;
    int error = core::appendLine(m_path, line);
    if (error == ENOENT && core::makeUserFolderFor(m_path))
        error = core::appendLine(m_path, line);
    if (error != 0)
        m_activity.appendActivityLine("*** ERROR: Cannot write to log file " + m_path);
}

void EventLog::SetLogFileName(const std::string& path)
{
    m_path = path.empty() ? defaultLogFileName() : path;
    setPathText(m_path);
}

void EventLog::setPathText(const std::string& text)
{
    if (text == m_pathText)
        return;
    m_pathText = text;
    if (m_view)
        m_view->showLogPathText(text);
    // A new path takes effect only when the box is ticked again. The box being ticked fills an
    // empty path box with the default path, which must not untick it again.
    if (!m_settings.StartingUp && !m_enabling)
        setEnabled(false);
}

void EventLog::pathTextEdited(const std::string& text)
{
    setPathText(text);
}

void EventLog::setEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (m_view)
        m_view->showLogEnabled(enabled);
    if (m_settings.StartingUp)
        return;
    const std::string now = stamp();
    if (!enabled) {
        m_activity.appendActivityLine("Log Disabled " + now);
        return;
    }
    m_enabling = true;
    SetLogFileName(m_pathText);
    m_enabling = false;
    m_activity.appendActivityLine("Log Enabled " + now + " [" + m_path + "]");
    WriteLogLine("");
    WriteLogLine("Log Enabled " + now);
    WriteLogLine("");
}

} // namespace monitor
