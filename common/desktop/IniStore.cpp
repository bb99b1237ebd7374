#include "common/desktop/IniStore.h"

#include <optional>
#include <string_view>

namespace desktop {

namespace {

// The runtime's integer parser: optional blanks, an optional sign, then decimal digits or "$" and
// hexadecimal digits, up to the end of the text, within 32 signed bits.
std::optional<int32_t> parseInteger(std::string_view text)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int base = 10;
    if (i < text.size() && text[i] == '$') {
        base = 16;
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

} // namespace

int32_t IniStore::ReadNumber(const std::string& section, const std::string& key, int32_t defaultValue) const
{
    std::string text = ReadText(section, key, {});
    // "0x1F" is read as the runtime's "$1F"; "0x" alone stays as it is and is no number.
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.replace(0, 2, "$");
    return parseInteger(text).value_or(defaultValue);
}

void IniStore::WriteNumber(const std::string& section, const std::string& key, int32_t value)
{
    WriteText(section, key, std::to_string(value));
}

bool IniStore::ReadFlag(const std::string& section, const std::string& key, bool defaultValue) const
{
    return ReadNumber(section, key, defaultValue ? 1 : 0) != 0;
}

void IniStore::WriteFlag(const std::string& section, const std::string& key, bool value)
{
    WriteText(section, key, value ? "1" : "0");
}

} // namespace desktop
