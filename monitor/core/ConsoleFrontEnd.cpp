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

void ConsoleFrontEnd::setBusy(bool busy)
{
    if (!busy && onPassEnd)
        onPassEnd();
}

} // namespace monitor
