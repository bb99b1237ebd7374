#include "MimeCodecs.h"

#include "SmtpCodecs.h"

#include <algorithm>

namespace net {

namespace {

constexpr std::size_t kMaxLine = 76;
constexpr char kHex[] = "0123456789ABCDEF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Bytes of a UTF-8 sequence that starts with `lead`; 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

void appendHex(std::string& out, unsigned char c, char escape)
{
    out += escape;
    out += kHex[c >> 4];
    out += kHex[c & 15];
}

// Encoded words of `text`, each within the 75 characters RFC 2047 allows, never splitting a
// UTF-8 character between two words.
// The text as encoded words of at most 75 characters; the first one no longer than `firstRoom`
// when that still leaves room for some text, so that it can share the header's first line.
std::vector<std::string> encodedWords(std::string_view text, const std::string& charset, std::size_t firstRoom)
{
    const std::string head = "=?" + charset + "?B?";
    const auto bytesFor = [&](std::size_t room) {
        return room > head.size() + 2 + 4 ? (room - head.size() - 2) / 4 * 3 : std::size_t(0);
    };
    const std::size_t bytesPerWord = std::max<std::size_t>(bytesFor(75), 3);
    const std::size_t firstBytes = std::min(bytesFor(firstRoom), bytesPerWord);
    const bool utf8 = isUtf8(text);
    std::vector<std::string> words;
    while (!text.empty()) {
        const std::size_t limit = words.empty() && firstBytes > 0 ? firstBytes : bytesPerWord;
        std::size_t take = utf8 ? utf8Cut(text, limit) : std::min(limit, text.size());
        if (take == 0)
            take = std::min(limit, text.size());
        words.push_back(head + base64Encode(std::string(text.substr(0, take))) + "?=");
        text.remove_prefix(take);
    }
    return words;
}

bool breaksAddressSpan(std::string_view word)
{
    return word.find_first_of("@<>,;") != std::string_view::npos;
}

struct Token
{
    std::string_view text;
    bool word;
};

std::vector<Token> tokenize(std::string_view value)
{
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < value.size()) {
        const bool blank = isBlank(value[i]);
        std::size_t j = i;
        while (j < value.size() && isBlank(value[j]) == blank)
            ++j;
        tokens.push_back({ value.substr(i, j - i), !blank });
        i = j;
    }
    return tokens;
}

// Appends an encoded word, folding first when the line would get too long.
void appendWord(std::string& out, std::size_t& column, const std::string& word, bool separate)
{
    const bool fold = column + (separate ? 1 : 0) + word.size() > kMaxLine && column > 1;
    if (fold) {
        if (!out.empty() && isBlank(out.back()))
            out.pop_back();
        out += "\r\n ";
        column = 1;
    } else if (separate) {
        out += ' ';
        ++column;
    }
    out += word;
    column += word.size();
}

} // namespace

bool hasEightBit(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) > 127; });
}

bool isUtf8(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = sequenceLength(lead);
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        const auto second = length > 1 ? static_cast<unsigned char>(text[i + 1]) : 0;
        // Over-long forms, surrogates and code points beyond U+10FFFF.
        if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90)
            || (lead == 0xF4 && second > 0x8F))
            return false;
        i += length;
    }
    return true;
}

std::size_t utf8Cut(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    std::size_t cut = limit;
    // Back up over continuation bytes to the start of the character that crosses the limit.
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80)
        --cut;
    return cut;
}

std::vector<std::string> quotedPrintableLines(std::string_view line)
{
    std::vector<std::string> lines(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto c = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        std::string token;
        if (c == '=' || c > 126 || (c < 32 && c != '\t') || (last && isBlank(static_cast<char>(c))))
            appendHex(token, c, '=');
        else
            token = static_cast<char>(c);
        // Room for a soft break "=" must stay on every line that is continued.
        const std::size_t limit = last ? kMaxLine : kMaxLine - 1;
        if (lines.back().size() + token.size() > limit) {
            lines.back() += '=';
            lines.emplace_back();
        }
        lines.back() += token;
    }
    return lines;
}

std::string encodeHeaderValue(std::string_view value, HeaderKind kind, const std::string& charset, std::size_t column)
{
    if (!hasEightBit(value))
        return std::string(value);
    const std::vector<Token> tokens = tokenize(value);
    // Spans of words to encode. Text: from the first word with 8-bit bytes to the last one.
    // Addresses: every stretch of words between addresses (a display name, a quoted one too)
    // that holds such a word, as a whole.
    std::vector<std::pair<std::size_t, std::size_t>> spans;
    std::size_t first = tokens.size();
    std::size_t last = 0;
    bool eightBit = false;
    const auto closeSpan = [&] {
        if (first < tokens.size() && eightBit)
            spans.emplace_back(first, last);
        first = tokens.size();
        eightBit = false;
    };
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].word)
            continue;
        if (kind == HeaderKind::Addresses && breaksAddressSpan(tokens[i].text)) {
            closeSpan();
            continue;
        }
        const bool wordEightBit = hasEightBit(tokens[i].text);
        if (kind == HeaderKind::Addresses || wordEightBit) {
            first = std::min(first, i);
            last = i;
        }
        eightBit = eightBit || wordEightBit;
    }
    closeSpan();

    std::string out;
    std::size_t col = column;
    std::size_t next = 0;
    for (const auto& [from, to] : spans) {
        for (; next < from; ++next) {
            out += tokens[next].text;
            col += tokens[next].text.size();
        }
        std::string text;
        for (std::size_t k = from; k <= to; ++k)
            text += tokens[k].text;
        // A quoted display name: the encoded words replace the quotes.
        if (kind == HeaderKind::Addresses && text.size() >= 2 && text.front() == '"' && text.back() == '"')
            text = text.substr(1, text.size() - 2);
        bool separate = false;
        const std::size_t firstRoom = kMaxLine > col + 1 ? kMaxLine - col - 1 : 0;
        for (const auto& word : encodedWords(text, charset, firstRoom)) {
            appendWord(out, col, word, separate);
            separate = true;
        }
        next = to + 1;
    }
    for (; next < tokens.size(); ++next)
        out += tokens[next].text;
    return out;
}

std::string mimeParameter(const std::string& name, const std::string& value, const std::string& charset)
{
    const bool plain = std::all_of(value.begin(), value.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u >= 32 && u < 127 && c != '"' && c != '\\';
    });
    if (plain)
        return name + "=\"" + value + "\"";
    std::string out = name + "*=" + charset + "''";
    for (const char c : value) {
        const auto u = static_cast<unsigned char>(c);
        const bool attributeChar = (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z')
            || std::string_view("!#$&+-.^_`|~").find(c) != std::string_view::npos;
        if (attributeChar)
            out += c;
        else
            appendHex(out, u, '%');
    }
    return out;
}

} // namespace net
