#include "StatusOutput.h"

#include "common/core/LineWriter.h"
#include "common/core/ProgramPaths.h"
#include "mirror/core/MirrorSettings.h"

#include <cerrno>
#include <sys/stat.h>

namespace mirror {

namespace {

constexpr const char* LineBreak = "\r\n";

std::string lineAt(const std::string& text, size_t& from)
{
    const size_t end = text.find(LineBreak, from);
    std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    from = end == std::string::npos ? text.size() : end + 2;
    return line;
}

} // namespace

StatusOutput::StatusOutput(const FrontEnd& frontEnd, const MirrorSettings& settings, core::StopFlag& stop)
    : m_frontEnd(frontEnd)
    , m_settings(settings)
    , m_stop(stop)
{
}

void StatusOutput::WriteStatus(const std::string& text, StatusLevel level)
{
    m_frontEnd.outlets.setStatusLine(text);
    if (level != StatusLevel::StatusLineOnly) {
        if (level == StatusLevel::Summary)
            m_frontEnd.outlets.appendSummaryLine(text);
        addActivityLine(text);
        if (m_settings.logFileEnable)
            appendToLog(text);
    }
    m_frontEnd.pump.processEvents();
}

void StatusOutput::WriteError(const std::string& text, bool stop)
{
    const std::string line = ErrorPrefix + text;
    ++m_errors;
    if (stop) {
        m_frontEnd.asker.showMessage(line);
        m_stop.raise();
    }
    WriteStatus(line, StatusLevel::Error);
}

void StatusOutput::startRun()
{
    m_frontEnd.outlets.clearSummary();
    if (!m_settings.logFileEnable)
        return;
    struct stat st
    {
    };
    const bool fresh = m_settings.logFileOverwrite || ::stat(m_settings.logFileName.c_str(), &st) != 0;
    appendToLog("", fresh);
    appendToLog("====================");
    appendToLog("");
}

void StatusOutput::clearActivity()
{
    m_activity.clear();
    m_frontEnd.outlets.setActivityText(m_activity);
}

// Past the limit the pane keeps its first two lines (the pair's header), a "[...]" mark and
// the text from its 5000th character on, so long runs never slow the window down.
void StatusOutput::addActivityLine(const std::string& text)
{
    if (m_activity.size() >= ActivityLimit) {
        size_t from = 0;
        const std::string first = lineAt(m_activity, from);
        const std::string second = lineAt(m_activity, from);
        std::string cut = first + LineBreak + second + LineBreak + "[...]" + LineBreak;
        cut += m_activity.substr(4999, ActivityLimit);
        m_activity = std::move(cut);
        m_frontEnd.outlets.setActivityText(m_activity);
    }
    m_activity += text;
    m_activity += LineBreak;
    m_frontEnd.outlets.appendActivityLine(text);
}

void StatusOutput::appendToLog(const std::string& text, bool truncate)
{
    const std::string& path = m_settings.logFileName;
    const core::WriteMode mode = truncate ? core::WriteMode::Truncate : core::WriteMode::Append;
    int error = core::appendLine(path, text, mode);
    if (error == ENOENT && core::makeUserFolderFor(path))
        error = core::appendLine(path, text, mode);
    if (error != 0)
        throw ELogFileError("Cannot write to log file " + path + ": " + core::fileErrorText(error));
}

} // namespace mirror
