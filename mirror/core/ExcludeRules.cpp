#include "ExcludeRules.h"

#include <cctype>
#include <cstring>

namespace mirror {

namespace {

constexpr size_t None = std::string::npos;

bool inClass(const std::string& name, unsigned char c)
{
    struct Class
    {
        const char* name;
        int (*test)(int);
    };
    static const Class classes[] = {
        { "alnum", isalnum },
        { "alpha", isalpha },
        { "blank", isblank },
        { "cntrl", iscntrl },
        { "digit", isdigit },
        { "graph", isgraph },
        { "lower", islower },
        { "print", isprint },
        { "punct", ispunct },
        { "space", isspace },
        { "upper", isupper },
        { "xdigit", isxdigit },
    };
    for (const Class& k : classes)
        if (name == k.name)
            return k.test(c) != 0;
    return false;
}

// Reads the bracket expression starting at `at` ("["); returns the index after its "]" or
// None when it is not closed. `matched` tells whether `c` is in it.
size_t bracket(const std::string& g, size_t at, unsigned char c, bool& matched)
{
    size_t j = at + 1;
    const bool negate = j < g.size() && (g[j] == '!' || g[j] == '^');
    if (negate)
        ++j;
    bool in = false;
    for (bool first = true; j < g.size() && (g[j] != ']' || first); first = false) {
        if (g[j] == '[' && j + 1 < g.size() && g[j + 1] == ':') {
            const size_t end = g.find(":]", j + 2);
            if (end == None)
                return None;
            in = in || inClass(g.substr(j + 2, end - j - 2), c);
            j = end + 2;
            continue;
        }
        unsigned char low = static_cast<unsigned char>(g[j]);
        if (low == '\\' && j + 1 < g.size())
            low = static_cast<unsigned char>(g[++j]);
        ++j;
        if (j + 1 < g.size() && g[j] == '-' && g[j + 1] != ']') {
            size_t h = j + 1;
            if (g[h] == '\\' && h + 1 < g.size())
                ++h;
            const auto high = static_cast<unsigned char>(g[h]);
            in = in || (c >= low && c <= high);
            j = h + 1;
        } else {
            in = in || c == low;
        }
    }
    if (j >= g.size())
        return None;
    matched = in != negate;
    return j + 1;
}

// Matches one character of the glob at `at` (not "*"); `next` gets the index after it.
bool matchOne(const std::string& g, size_t at, unsigned char c, size_t& next)
{
    switch (g[at]) {
    case '?':
        next = at + 1;
        return true;
    case '[': {
        bool matched = false;
        next = bracket(g, at, c, matched);
        return next != None && matched;
    }
    case '\\':
        if (at + 1 < g.size()) {
            next = at + 2;
            return static_cast<unsigned char>(g[at + 1]) == c;
        }
        [[fallthrough]];
    default:
        next = at + 1;
        return static_cast<unsigned char>(g[at]) == c;
    }
}

std::vector<std::string> splitPath(const std::string& path)
{
    std::vector<std::string> parts;
    size_t at = 0;
    while (at <= path.size()) {
        size_t end = path.find('/', at);
        if (end == None)
            end = path.size();
        if (end > at)
            parts.push_back(path.substr(at, end - at));
        at = end + 1;
    }
    return parts;
}

bool matchSegments(const std::vector<std::string>& pattern, size_t p, const std::vector<std::string>& path, size_t t)
{
    if (p == pattern.size())
        return t == path.size();
    if (pattern[p] == "**") {
        // A trailing "**" is everything inside, so at least one name; elsewhere any number.
        const size_t least = p + 1 == pattern.size() ? 1 : 0;
        for (size_t k = t + least; k <= path.size(); ++k)
            if (matchSegments(pattern, p + 1, path, k))
                return true;
        return false;
    }
    return t < path.size() && matchesGlob(pattern[p], path[t]) && matchSegments(pattern, p + 1, path, t + 1);
}

// Whether the text at `end` - 1 is escaped by an odd run of backslashes before it.
bool escapedAt(const std::string& text, size_t index)
{
    size_t slashes = 0;
    while (index > slashes && text[index - 1 - slashes] == '\\')
        ++slashes;
    return slashes % 2 == 1;
}

std::string trimmed(const std::string& text)
{
    size_t from = 0;
    while (from < text.size() && (text[from] == ' ' || text[from] == '\t'))
        ++from;
    size_t to = text.size();
    while (to > from && (text[to - 1] == ' ' || text[to - 1] == '\t') && !escapedAt(text, to - 1))
        --to;
    return text.substr(from, to - from);
}

} // namespace

bool matchesGlob(const std::string& g, const std::string& name)
{
    // Two pointers with a return to the last "*": linear in practice, never exponential.
    size_t gi = 0;
    size_t ni = 0;
    size_t starG = None;
    size_t starN = 0;
    while (ni < name.size()) {
        if (gi < g.size()) {
            if (g[gi] == '*') {
                starG = ++gi;
                starN = ni;
                continue;
            }
            size_t next = 0;
            if (matchOne(g, gi, static_cast<unsigned char>(name[ni]), next)) {
                gi = next;
                ++ni;
                continue;
            }
        }
        if (starG == None)
            return false;
        gi = starG;
        ni = ++starN;
    }
    while (gi < g.size() && g[gi] == '*')
        ++gi;
    return gi == g.size();
}

std::vector<std::string> ExcludeRules::split(const std::string& list)
{
    std::vector<std::string> patterns;
    std::string current;
    for (size_t i = 0; i <= list.size(); ++i) {
        if (i == list.size() || list[i] == ';') {
            const std::string pattern = trimmed(current);
            if (!pattern.empty())
                patterns.push_back(pattern);
            current.clear();
        } else if (list[i] == '\\' && i + 1 < list.size() && list[i + 1] == ';') {
            current += ';';
            ++i;
        } else if (list[i] == '\\' && i + 1 < list.size()) {
            current += list.substr(i, 2);
            ++i;
        } else {
            current += list[i];
        }
    }
    return patterns;
}

std::optional<ExcludeRules::Pattern> ExcludeRules::parse(const std::string& written)
{
    Pattern pattern;
    std::string text = written;
    if (!text.empty() && text[0] == '!') {
        pattern.negated = true;
        text.erase(0, 1);
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            if (i + 1 == text.size())
                return std::nullopt;
            ++i;
        } else if (text[i] == '[') {
            bool unused = false;
            if (bracket(text, i, 0, unused) == None)
                return std::nullopt;
        }
    }
    if (!text.empty() && text.back() == '/' && !escapedAt(text, text.size() - 1)) {
        pattern.folderOnly = true;
        text.pop_back();
    }
    pattern.anchored = text.find('/') != None;
    pattern.segments = splitPath(text);
    return pattern;
}

std::optional<ExcludeRules> ExcludeRules::compile(
    const std::string& globalList, const std::string& pairList, std::string& badPattern)
{
    ExcludeRules rules;
    for (const std::string* list : { &globalList, &pairList }) {
        for (const std::string& written : split(*list)) {
            if (written[0] == '#')
                continue; // a comment, as in a gitignore file
            auto pattern = parse(written);
            if (!pattern) {
                badPattern = written;
                return std::nullopt;
            }
            if (!pattern->segments.empty())
                rules.m_patterns.push_back(std::move(*pattern));
        }
    }
    return rules;
}

bool ExcludeRules::excluded(const std::string& relativePath, bool isFolder) const
{
    if (m_patterns.empty())
        return false;
    const std::vector<std::string> path = splitPath(relativePath);
    if (path.empty())
        return false;
    bool decision = false;
    for (const Pattern& pattern : m_patterns) {
        if (pattern.folderOnly && !isFolder)
            continue;
        const bool matched = pattern.anchored ? matchSegments(pattern.segments, 0, path, 0)
                                              : matchesGlob(pattern.segments.front(), path.back());
        if (matched)
            decision = !pattern.negated;
    }
    return decision;
}

} // namespace mirror
