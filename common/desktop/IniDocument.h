#pragma once

// The text of one INI file with an index of its sections and keys, and the edit that one write
// makes to it. It keeps the file's bytes as they are: an edit changes or adds exactly one key
// line (and a section header when the section is new), so unknown lines, comments, blank lines
// and the line endings of existing lines survive. New lines end with CR LF.
//
// Names compare without regard to ASCII letter case. A section is a "[name]" header and the lines
// up to the next header; only the first block of a repeated section name is looked at. A key
// line is "key = value" (the first "=" splits; blanks around key and value do not count); lines
// starting with ";" or "#" are comments. Lines before the first header belong to no section.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace desktop {

class IniDocument
{
public:
    explicit IniDocument(std::string text = {});

    const std::string& text() const { return m_text; }

    // The stored value (blanks around it removed), or nothing when the section or key is absent.
    std::optional<std::string_view> value(std::string_view section, std::string_view key) const;
    // The names of the section's keys as written, in file order; none for an absent section.
    std::vector<std::string> keys(std::string_view section) const;

    struct Edit
    {
        // Appended: bytes added at the end; Overwritten: bytes changed without moving any other
        // byte; Rewritten: anything else.
        enum Kind
        {
            Unchanged,
            Appended,
            Overwritten,
            Rewritten
        } kind
            = Unchanged;
        size_t from = 0; // Appended, Overwritten: the changed bytes are text().substr(from, length)
        size_t length = 0;
    };
    // Stores key=value: replaces the key's line where it stands, or adds the line at the end of its
    // section, or adds the section with the line at the end of the text. Only `value`'s first
    // line is stored.
    Edit set(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line
    {
        size_t offset;
        size_t length; // with the line ending
    };
    struct Section
    {
        size_t last; // the last non-blank line of the block: new keys go after it
        std::unordered_map<std::string, size_t> keys; // lower-case key -> line
    };

    void parse();
    void indexLine(size_t lineIndex);
    std::string_view content(size_t lineIndex) const; // without the line ending
    void terminateLastLine();
    void appendLine(std::string_view content);
    Edit replaceLine(size_t lineIndex, std::string_view key, std::string_view value);
    Edit insertAfter(size_t lineIndex, std::string_view key, std::string_view value);

    std::string m_text;
    std::vector<Line> m_lines;
    std::vector<Section> m_sections;
    std::unordered_map<std::string, size_t> m_sectionByName; // lower-case name -> m_sections index
    static constexpr size_t NoSection = static_cast<size_t>(-1);
    size_t m_current = NoSection; // section of the last line indexed (NoSection for a repeated block)
};

} // namespace desktop
