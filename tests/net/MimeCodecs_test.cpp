// The codecs that keep a mail 7-bit and its lines in place: quoted-printable, RFC 2047 header
// words, RFC 2231 parameters, the UTF-8 checks and line splitting. Encodings are decoded back
// here and must give the very bytes that went in.

#include "common/net/detail/LineBreaks.h"
#include "common/net/detail/MimeCodecs.h"
#include "common/net/detail/SmtpCodecs.h"

#include <gtest/gtest.h>

#include <random>

using namespace net;
using Lines = std::vector<std::string>;

namespace {

int hexValue(char c)
{
    return c <= '9' ? c - '0' : c - 'A' + 10;
}

// Quoted-printable lines back to the text line.
std::string decodeQuotedPrintable(const Lines& lines)
{
    std::string out;
    for (const auto& line : lines) {
        std::string_view rest(line);
        const bool soft = !rest.empty() && rest.back() == '=';
        if (soft)
            rest.remove_suffix(1);
        for (std::size_t i = 0; i < rest.size(); ++i) {
            if (rest[i] == '=' && i + 2 < rest.size()) {
                out += static_cast<char>(hexValue(rest[i + 1]) * 16 + hexValue(rest[i + 2]));
                i += 2;
            } else {
                out += rest[i];
            }
        }
    }
    return out;
}

// An encoded header value back to its bytes: folds removed, B words decoded, blanks between
// two words dropped (RFC 2047 section 6.2).
std::string decodeHeader(const std::string& value)
{
    std::string unfolded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\r' && i + 1 < value.size() && value[i + 1] == '\n')
            ++i;
        else
            unfolded += value[i];
    }
    std::string out;
    std::size_t i = 0;
    bool lastWasWord = false;
    std::string pendingBlank;
    while (i < unfolded.size()) {
        if (unfolded.compare(i, 2, "=?") == 0) {
            const auto q1 = unfolded.find('?', i + 2);
            const auto q2 = unfolded.find('?', q1 + 1);
            const auto end = unfolded.find("?=", q2 + 1);
            if (!lastWasWord)
                out += pendingBlank;
            out += base64Decode(unfolded.substr(q2 + 1, end - q2 - 1));
            pendingBlank.clear();
            lastWasWord = true;
            i = end + 2;
        } else if (unfolded[i] == ' ') {
            pendingBlank += ' ';
            ++i;
        } else {
            out += pendingBlank;
            pendingBlank.clear();
            out += unfolded[i++];
            lastWasWord = false;
        }
    }
    return out + pendingBlank;
}

Lines physicalLines(const std::string& value)
{
    Lines lines;
    std::size_t start = 0;
    for (;;) {
        const auto end = value.find("\r\n", start);
        lines.push_back(value.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return lines;
        start = end + 2;
    }
}

} // namespace

TEST(MimeCodecs, QuotedPrintableLines)
{
    const std::vector<std::pair<std::string, Lines>> cases = {
        { "", { "" } },
        { "plain text", { "plain text" } },
        { "a=b", { "a=3Db" } },
        { "Grüße", { "Gr=C3=BC=C3=9Fe" } },
        { "end ", { "end=20" } },
        { "tab\t", { "tab=09" } },
        { "in\tside stays", { "in\tside stays" } },
        { "bell\x07", { "bell=07" } },
        { std::string(100, 'a'), { std::string(75, 'a') + "=", std::string(25, 'a') } },
        { std::string(74, 'a') + "é", { std::string(74, 'a') + "=", "=C3=A9" } },
        { std::string(76, 'a'), { std::string(76, 'a') } },
    };
    for (const auto& [input, expected] : cases)
        EXPECT_EQ(quotedPrintableLines(input), expected) << input;

    std::mt19937 random(11);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 300, '\0');
        for (auto& c : bytes)
            c = static_cast<char>(random() % 3 ? 'a' + random() % 26 : random());
        std::erase_if(bytes, [](char c) { return c == '\r' || c == '\n'; });
        const Lines lines = quotedPrintableLines(bytes);
        EXPECT_EQ(decodeQuotedPrintable(lines), bytes);
        for (const auto& line : lines) {
            EXPECT_LE(line.size(), 76u);
            EXPECT_FALSE(hasEightBit(line));
            EXPECT_FALSE(!line.empty() && (line.back() == ' ' || line.back() == '\t'));
        }
    }
}

TEST(MimeCodecs, HeaderValuesBecomeEncodedWordsOnlyWhereNeeded)
{
    struct HeaderCase
    {
        std::string value;
        HeaderKind kind;
        std::string expected;
    };
    const std::vector<HeaderCase> cases = {
        { "Plain subject", HeaderKind::Text, "Plain subject" },
        { "Résumé report", HeaderKind::Text, "=?utf-8?B?UsOpc3Vtw6k=?= report" },
        { "Report for Résumé now", HeaderKind::Text, "Report for =?utf-8?B?UsOpc3Vtw6k=?= now" },
        { "Zoë Admin <zoe@x.test>", HeaderKind::Addresses, "=?utf-8?B?Wm/DqyBBZG1pbg==?= <zoe@x.test>" },
        { "\"Zoë Admin\" <zoe@x.test>", HeaderKind::Addresses, "=?utf-8?B?Wm/DqyBBZG1pbg==?= <zoe@x.test>" },
        { "a@x.test; Jürgen <j@x.test>", HeaderKind::Addresses, "a@x.test; =?utf-8?B?SsO8cmdlbg==?= <j@x.test>" },
        // An address itself cannot be encoded: it stays as it is.
        { "jürgen@x.test", HeaderKind::Addresses, "jürgen@x.test" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(encodeHeaderValue(c.value, c.kind, "utf-8", 9), c.expected) << c.value;

    // A long subject: folded lines of at most 76 characters, words within 75, nothing lost.
    std::string subject;
    for (int i = 0; i < 40; ++i)
        subject += "Größe " + std::to_string(i) + " ";
    const std::string encoded = encodeHeaderValue(subject, HeaderKind::Text, "utf-8", 9);
    EXPECT_EQ(decodeHeader(encoded), subject);
    EXPECT_FALSE(hasEightBit(encoded));
    const Lines lines = physicalLines(encoded);
    EXPECT_GT(lines.size(), 1u);
    EXPECT_LE(lines.front().size() + 9, 76u);
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i].front(), ' ') << "a fold starts with a blank";
        EXPECT_LE(lines[i].size(), 76u);
    }
}

TEST(MimeCodecs, ParametersPlainOrRfc2231)
{
    EXPECT_EQ(mimeParameter("name", "report.log", "utf-8"), "name=\"report.log\"");
    EXPECT_EQ(mimeParameter("filename", "RPL ÄÖ.txt", "utf-8"), "filename*=utf-8''RPL%20%C3%84%C3%96.txt");
    EXPECT_EQ(mimeParameter("name", "say \"hi\".txt", "utf-8"), "name*=utf-8''say%20%22hi%22.txt");
}

TEST(MimeCodecs, Utf8ChecksAndCuts)
{
    EXPECT_TRUE(isUtf8("plain"));
    EXPECT_TRUE(isUtf8("Grüße €"));
    EXPECT_TRUE(isUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(isUtf8("Gr\xFC\xDF"
                        "e")); // Latin-1
    EXPECT_FALSE(isUtf8("\xC3"));
    EXPECT_FALSE(isUtf8("\xC0\xAF")); // over-long
    EXPECT_FALSE(isUtf8("\xED\xA0\x80")); // surrogate
    EXPECT_EQ(utf8Cut("abc", 5), 3u);
    EXPECT_EQ(utf8Cut("aé", 2), 1u); // "é" would be split
    EXPECT_EQ(utf8Cut("aé", 3), 3u);
    EXPECT_EQ(utf8Cut("a\xF0\x9F\x98\x80z", 4), 1u);
}

// A text as a list of lines, and one value cut at every break.
TEST(LineBreaks, SplitAtAnyLineBreak)
{
    struct Case
    {
        std::string text;
        Lines list; // FinalBreak::EndsLastLine
        Lines pieces; // FinalBreak::StartsLine
    };
    const std::vector<Case> cases = {
        { "", {}, { "" } },
        { "one", { "one" }, { "one" } },
        { "a\r\nb\rc\nd", { "a", "b", "c", "d" }, { "a", "b", "c", "d" } },
        { "a\r\n", { "a" }, { "a", "" } },
        { "a\n", { "a" }, { "a", "" } },
        { "a\r\n\r\n", { "a", "" }, { "a", "", "" } },
        { "\n\rx", { "", "", "x" }, { "", "", "x" } },
        { "\r\n\n", { "", "" }, { "", "", "" } },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitLines(c.text, FinalBreak::EndsLastLine), c.list) << c.text;
        EXPECT_EQ(splitLines(c.text, FinalBreak::StartsLine), c.pieces) << c.text;
    }
    EXPECT_EQ(withoutLineBreaks("a\r\nb\rc"), "a  b c");
}
