#include "LineBreaks.h"

#include <algorithm>

namespace net {

std::vector<std::string> splitLines(std::string_view text, FinalBreak finalBreak)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (finalBreak == FinalBreak::StartsLine || start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string withoutLineBreaks(std::string_view value)
{
    std::string out(value);
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return out;
}

} // namespace net
