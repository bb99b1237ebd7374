#include "mirror/core/ConsoleFrontEnd.h"

namespace mirror {

namespace {

constexpr double RedrawSeconds = 0.2;
constexpr const char* ClearLine = "\r\x1b[K";

} // namespace

ConsoleFrontEnd::ConsoleFrontEnd(std::ostream& out, std::ostream& err, bool progressLine)
    : core::ConsoleOutlets(out, err)
    , m_progressLine(progressLine)
{
}

void ConsoleFrontEnd::showProgress(const RunProgress& progress)
{
    if (!m_progressLine)
        return;
    if (!progress.finished && m_progressShown && progress.seconds - m_lastDrawn < RedrawSeconds)
        return;
    m_lastDrawn = progress.seconds;
    out().flush();
    err() << ClearLine << "RPL: " << mirror::progressText(progress);
    if (progress.finished) {
        err() << std::endl;
        m_progressShown = false;
        return;
    }
    err().flush();
    m_progressShown = true;
}

void ConsoleFrontEnd::takeProgressAway()
{
    if (!m_progressShown)
        return;
    err() << ClearLine << std::flush;
    m_progressShown = false;
}

void ConsoleFrontEnd::appendActivityLine(const std::string& line)
{
    takeProgressAway();
    core::ConsoleOutlets::appendActivityLine(line);
    if (m_progressLine)
        out().flush(); // before the progress line comes back on the same terminal
}

void ConsoleFrontEnd::showMessage(const std::string& text)
{
    takeProgressAway();
    core::ConsoleOutlets::showMessage(text);
}

void ConsoleFrontEnd::appendSummaryLine(const std::string& line)
{
    m_summary += line;
    m_summary += "\r\n";
}

} // namespace mirror
