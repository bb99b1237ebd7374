#include "monitor/core/ConsoleFrontEnd.h"

namespace monitor {

ConsoleFrontEnd::ConsoleFrontEnd(std::ostream& out, std::ostream& err, bool quiet)
    : core::ConsoleOutlets(out, err)
    , m_quiet(quiet)
{
}

void ConsoleFrontEnd::appendActivityLine(const std::string& line)
{
    if (m_quiet)
        return;
    out() << forTerminal(line) << std::endl;
}

void ConsoleFrontEnd::showMessage(const std::string& text)
{
    if (m_quiet)
        return;
    core::ConsoleOutlets::showMessage(text);
}

bool ConsoleFrontEnd::askOkCancel(const std::string& title, const std::string& text)
{
    return m_quiet || core::ConsoleOutlets::askOkCancel(title, text);
}

bool ConsoleFrontEnd::askYesNo(const std::string& title, const std::string& text)
{
    return m_quiet || core::ConsoleOutlets::askYesNo(title, text);
}

void ConsoleFrontEnd::warn(const std::string& line)
{
    if (m_quiet)
        return;
    out().flush();
    err() << line << std::endl;
}

void ConsoleFrontEnd::setBusy(bool busy)
{
    if (!busy && onPassEnd)
        onPassEnd();
}

} // namespace monitor
