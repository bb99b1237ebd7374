#pragma once

// What a pair leaves out, with the rules of gitignore(5): "*.tmp" matches the name at any
// depth, "cache/" folders only, "/build/" and any pattern with an inner slash are anchored at
// the pair's top, "**" spans folders ("**/node_modules/", "logs/**", "a/**/b"), "!keep.tmp"
// takes an item back, and the last pattern that matches decides. "*", "?" and "[...]" never
// match a slash; a backslash takes the next character as it is. Besides gitignore, blanks
// around a pattern are dropped (write "\ " for a blank that counts), since lists are written
// "a; b" on one line, and patterns are separated by ";" ("\;" for a ";" inside one).
//
// Matching works on bytes. A folder left out is never entered, so nothing inside it can be
// taken back (as with gitignore).

#include <optional>
#include <string>
#include <vector>

namespace mirror {

class ExcludeRules
{
public:
    // The patterns of one ";"-separated list, escapes kept for the matcher.
    static std::vector<std::string> split(const std::string& list);

    // Compiles the global list followed by the pair's. Nothing, with `badPattern` set to the
    // pattern as written, when one cannot be read (an unclosed "[", a trailing lone "\").
    static std::optional<ExcludeRules> compile(
        const std::string& globalList, const std::string& pairList, std::string& badPattern);

    bool empty() const { return m_patterns.empty(); }
    // `relativePath` is the item's path below the pair's top, separated by "/".
    bool excluded(const std::string& relativePath, bool isFolder) const;

private:
    struct Pattern
    {
        std::vector<std::string> segments;
        bool negated = false;
        bool folderOnly = false;
        bool anchored = false; // matched against the whole path, not the last name
    };

    static std::optional<Pattern> parse(const std::string& text);
    std::vector<Pattern> m_patterns;
};

// Whether one name matches one glob segment ("*", "?", "[...]", "\x"); no slashes involved.
bool matchesGlob(const std::string& glob, const std::string& name);

} // namespace mirror
