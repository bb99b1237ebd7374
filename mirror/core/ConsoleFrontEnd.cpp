#include "mirror/core/ConsoleFrontEnd.h"

namespace mirror {

void ConsoleFrontEnd::appendSummaryLine(const std::string& line)
{
    m_summary += line;
    m_summary += "\r\n";
}

} // namespace mirror
