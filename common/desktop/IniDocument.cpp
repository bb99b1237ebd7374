#include "common/desktop/IniDocument.h"

#include <algorithm>

namespace desktop {

namespace {

constexpr std::string_view NewLine = "\r\n";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The name of a "[name]" header line, or nothing when the line is no header.
std::optional<std::string_view> headerName(std::string_view line)
{
    line = trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    const size_t close = line.find(']');
    if (close == std::string_view::npos)
        return std::nullopt;
    return trim(line.substr(1, close - 1));
}

struct KeyLine
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> keyLine(std::string_view line)
{
    const std::string_view start = trim(line);
    if (start.empty() || start.front() == ';' || start.front() == '#')
        return std::nullopt;
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    const std::string_view key = trim(line.substr(0, eq));
    if (key.empty())
        return std::nullopt;
    return KeyLine { key, trim(line.substr(eq + 1)) };
}

std::string makeKeyLine(std::string_view key, std::string_view value, std::string_view ending)
{
    std::string line;
    line.reserve(key.size() + value.size() + 1 + ending.size());
    line.append(key).append("=").append(value).append(ending);
    return line;
}

} // namespace

IniDocument::IniDocument(std::string text)
    : m_text(std::move(text))
{
    parse();
}

void IniDocument::parse()
{
    m_lines.clear();
    m_sections.clear();
    m_sectionByName.clear();
    m_current = NoSection;
    size_t pos = 0;
    while (pos < m_text.size()) {
        const size_t nl = m_text.find('\n', pos);
        const size_t end = nl == std::string::npos ? m_text.size() : nl + 1;
        m_lines.push_back({ pos, end - pos });
        indexLine(m_lines.size() - 1);
        pos = end;
    }
}

std::string_view IniDocument::content(size_t lineIndex) const
{
    std::string_view line(m_text.data() + m_lines[lineIndex].offset, m_lines[lineIndex].length);
    if (!line.empty() && line.back() == '\n')
        line.remove_suffix(1);
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    return line;
}

void IniDocument::indexLine(size_t lineIndex)
{
    const std::string_view line = content(lineIndex);
    if (const auto name = headerName(line)) {
        const auto [it, isNew] = m_sectionByName.try_emplace(lower(*name), m_sections.size());
        m_current = isNew ? m_sections.size() : NoSection;
        if (isNew)
            m_sections.push_back({ lineIndex, {} });
        return;
    }
    if (m_current == NoSection || trim(line).empty())
        return;
    Section& section = m_sections[m_current];
    section.last = lineIndex;
    if (const auto kv = keyLine(line))
        section.keys.try_emplace(lower(kv->key), lineIndex);
}

std::optional<std::string_view> IniDocument::value(std::string_view section, std::string_view key) const
{
    const auto sec = m_sectionByName.find(lower(section));
    if (sec == m_sectionByName.end())
        return std::nullopt;
    const Section& s = m_sections[sec->second];
    const auto line = s.keys.find(lower(key));
    if (line == s.keys.end())
        return std::nullopt;
    return keyLine(content(line->second))->value;
}

std::vector<std::string> IniDocument::keys(std::string_view section) const
{
    const auto sec = m_sectionByName.find(lower(section));
    if (sec == m_sectionByName.end())
        return {};
    std::vector<size_t> lines;
    for (const auto& [name, line] : m_sections[sec->second].keys)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    std::vector<std::string> names;
    for (const size_t line : lines)
        names.emplace_back(keyLine(content(line))->key);
    return names;
}

IniDocument::Edit IniDocument::set(std::string_view section, std::string_view key, std::string_view value)
{
    // A value is one line: whatever follows a line break would otherwise become lines of its own.
    value = value.substr(0, value.find_first_of("\r\n"));
    const auto sec = m_sectionByName.find(lower(section));
    if (sec == m_sectionByName.end()) {
        const size_t from = m_text.size();
        terminateLastLine();
        appendLine("[" + std::string(section) + "]");
        appendLine(makeKeyLine(key, value, {}));
        return { Edit::Appended, from, m_text.size() - from };
    }
    const Section& s = m_sections[sec->second];
    const auto line = s.keys.find(lower(key));
    if (line != s.keys.end())
        return replaceLine(line->second, key, value);
    return insertAfter(s.last, key, value);
}

IniDocument::Edit IniDocument::replaceLine(size_t lineIndex, std::string_view key, std::string_view value)
{
    if (keyLine(content(lineIndex))->value == trim(value))
        return {};
    Line& line = m_lines[lineIndex];
    const std::string_view old(m_text.data() + line.offset, line.length);
    const std::string_view ending = old.substr(content(lineIndex).size());
    const std::string replacement = makeKeyLine(key, value, ending);
    m_text.replace(line.offset, line.length, replacement);
    const ptrdiff_t delta = static_cast<ptrdiff_t>(replacement.size()) - static_cast<ptrdiff_t>(line.length);
    if (delta == 0)
        return { Edit::Overwritten, line.offset, line.length };
    line.length = replacement.size();
    for (size_t i = lineIndex + 1; i < m_lines.size(); ++i)
        m_lines[i].offset = static_cast<size_t>(static_cast<ptrdiff_t>(m_lines[i].offset) + delta);
    return { Edit::Rewritten };
}

IniDocument::Edit IniDocument::insertAfter(size_t lineIndex, std::string_view key, std::string_view value)
{
    if (lineIndex + 1 == m_lines.size()) {
        const size_t from = m_text.size();
        terminateLastLine();
        appendLine(makeKeyLine(key, value, {}));
        return { Edit::Appended, from, m_text.size() - from };
    }
    // In the middle the line numbers of everything below shift: index the text afresh.
    const size_t at = m_lines[lineIndex + 1].offset;
    m_text.insert(at, makeKeyLine(key, value, NewLine));
    parse();
    return { Edit::Rewritten };
}

void IniDocument::terminateLastLine()
{
    if (m_text.empty() || m_text.back() == '\n')
        return;
    const std::string_view ending = m_text.back() == '\r' ? "\n" : NewLine;
    m_text.append(ending);
    m_lines.back().length += ending.size();
}

void IniDocument::appendLine(std::string_view content)
{
    m_lines.push_back({ m_text.size(), content.size() + NewLine.size() });
    m_text.append(content).append(NewLine);
    indexLine(m_lines.size() - 1);
}

} // namespace desktop
