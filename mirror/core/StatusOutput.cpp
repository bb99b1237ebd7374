#include "StatusOutput.h"

#include "mirror/core/MirrorFrontEnd.h"
#include "mirror/core/MirrorSettings.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

StatusOutput::StatusOutput(MirrorFrontEnd& frontEnd, const MirrorSettings& settings, bool& running)
    : m_frontEnd(frontEnd)
    , m_settings(settings)
    , m_running(running)
{
}

void StatusOutput::WriteStatus(const std::string& text, int level)
{
    m_frontEnd.setStatusLine(text);
    if (level != 0) {
        if (level == 3)
            m_frontEnd.appendSummaryLine(text);
        addActivityLine(text);
        if (m_settings.logFileEnable)
            appendToLog(text);
    }
    m_frontEnd.processEvents();
}

void StatusOutput::WriteError(const std::string& text, bool stop)
{
    const std::string line = ErrorPrefix + text;
    ++m_errors;
    if (stop) {
        m_frontEnd.showMessage(line);
        m_running = false;
    }
    WriteStatus(line, 4);
}

void StatusOutput::startRun()
{
    m_frontEnd.clearSummary();
    if (!m_settings.logFileEnable)
        return;
    struct stat st{};
    const bool fresh = m_settings.logFileOverwrite || ::stat(m_settings.logFileName.c_str(), &st) != 0;
    appendToLog("", fresh);
    appendToLog("====================");
    appendToLog("");
}

void StatusOutput::clearActivity()
{
    m_activity.clear();
    m_frontEnd.setActivityText(m_activity);
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
        m_frontEnd.setActivityText(m_activity);
    }
    m_activity += text;
    m_activity += LineBreak;
    m_frontEnd.appendActivityLine(text);
}

void StatusOutput::appendToLog(const std::string& text, bool truncate)
{
    const std::string& path = m_settings.logFileName;
    const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : O_APPEND);
    const int fd = ::open(path.c_str(), flags, 0644);
    const std::string line = text + LineBreak;
    bool ok = fd >= 0 && ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    const int error = errno;
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (!ok)
        throw ELogFileError("Cannot write to log file " + path + ": " + std::strerror(error));
}
