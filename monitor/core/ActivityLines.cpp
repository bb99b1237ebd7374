#include "monitor/core/ActivityLines.h"

namespace monitor {

ActivityLines::ActivityLines(core::ActivityOutlet& pane)
    : m_pane(pane)
{
}

void ActivityLines::add(const std::string& text)
{
    size_t begin = 0;
    for (;;) {
        const size_t end = text.find('\n', begin);
        std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        m_lines.push_back(std::move(line));
        if (end == std::string::npos)
            return;
        begin = end + 1;
    }
}

void ActivityLines::appendActivityLine(const std::string& line)
{
    add(line);
    m_pane.appendActivityLine(line);
}

void ActivityLines::setActivityText(const std::string& text)
{
    m_lines.clear();
    std::string body = text;
    if (body.size() >= 2 && body.compare(body.size() - 2, 2, "\r\n") == 0)
        body.resize(body.size() - 2);
    if (!text.empty())
        add(body);
    m_pane.setActivityText(text);
}

void ActivityLines::trim(size_t limit, size_t drop)
{
    if (m_lines.size() <= limit)
        return;
    m_lines.erase(m_lines.begin(), m_lines.begin() + static_cast<std::ptrdiff_t>(std::min(drop, m_lines.size())));
    std::string text;
    for (const std::string& line : m_lines)
        text += line + "\r\n";
    m_pane.setActivityText(text);
}

} // namespace monitor
