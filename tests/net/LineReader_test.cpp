// The line reader for each line end and each overflow policy, fed a byte at a time, in small
// chunks, through writePtr/commit, and in blocks larger than its capacity: every way of feeding
// gives the same lines.

#include "common/net/detail/LineReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

using namespace net;
using Lines = std::vector<std::string>;

namespace {

enum class Feed
{
    ByteAtATime,
    ChunksOfThree,
    ThroughWritePtr,
    LargeBlocks,
};

// Feeds `input` and collects the lines; "!" marks where LineTooLong was raised.
Lines readAll(LineReader& reader, const std::string& input, Feed feed)
{
    Lines lines;
    std::string line;
    const auto drain = [&] {
        try {
            while (reader.takeLine(line))
                lines.push_back(line);
        } catch (const LineTooLong&) {
            lines.emplace_back("!");
        }
    };
    const std::size_t step = feed == Feed::ByteAtATime ? 1 : feed == Feed::ChunksOfThree ? 3 : 1 << 16;
    std::size_t at = 0;
    while (at < input.size()) {
        const std::size_t count = std::min(step, input.size() - at);
        std::size_t taken = 0;
        if (feed == Feed::ThroughWritePtr) {
            taken = std::min(count, reader.space());
            std::memcpy(reader.writePtr(), input.data() + at, taken);
            reader.commit(taken);
        } else {
            taken = reader.append(input.data() + at, count);
        }
        at += taken;
        drain();
        if (taken == 0 && reader.space() == 0)
            return { "(stuck: full and no line)" };
    }
    return lines;
}

struct ReaderCase
{
    const char* name;
    LineEnd end;
    LineOverflow overflow;
    std::string input;
    Lines expected;
};

const std::string kTen = "0123456789";

} // namespace

TEST(LineReader, EveryLineEndAndOverflowPolicyWhateverTheFeed)
{
    // Capacity 8 throughout, so that long lines are cheap to write. A line longer than that is
    // recognised once 8 bytes and two more (the room for its line end) are held.
    const std::vector<ReaderCase> cases = {
        // CR LF
        { "CR LF lines", LineEnd::CrLf, LineOverflow::Cut, "ab\r\ncd\r\n\r\n", { "ab", "cd", "" } },
        { "lone LF and CR stay in the line", LineEnd::CrLf, LineOverflow::Cut, "a\nb\r\nc\rd\r\n", { "a\nb", "c\rd" } },
        { "incomplete last line waits", LineEnd::CrLf, LineOverflow::Cut, "ab\r\ncd\r", { "ab" } },
        { "cut: rest of the line dropped",
            LineEnd::CrLf,
            LineOverflow::Cut,
            kTen + "AB\r\nxy\r\n",
            { "01234567", "xy" } },
        { "cut: long line of CRs and LFs",
            LineEnd::CrLf,
            LineOverflow::Cut,
            "\r\r\r\r\r\r\r\r\r\r\n\r\nz\r\n",
            { "\r\r\r\r\r\r\r\r", "", "z" } },
        { "cut: exactly the capacity fits",
            LineEnd::CrLf,
            LineOverflow::Cut,
            "01234567\r\nxy\r\n",
            { "01234567", "xy" } },
        { "cut: CR at the capacity stays with its LF",
            LineEnd::CrLf,
            LineOverflow::Cut,
            "0123456\r\nxy\r\n",
            { "0123456", "xy" } },
        { "cut: several long lines",
            LineEnd::CrLf,
            LineOverflow::Cut,
            kTen + "\r\n" + kTen + kTen + "\r\nok\r\n",
            { "01234567", "01234567", "ok" } },
        { "split: pieces of the capacity",
            LineEnd::CrLf,
            LineOverflow::Split,
            kTen + "AB\r\nxy\r\n",
            { "01234567", "89AB", "xy" } },
        { "split: exactly the capacity fits",
            LineEnd::CrLf,
            LineOverflow::Split,
            "01234567\r\n\r\nxy\r\n",
            { "01234567", "", "xy" } },
        { "split: twice the capacity",
            LineEnd::CrLf,
            LineOverflow::Split,
            kTen + "ABCDEF\r\n",
            { "01234567", "89ABCDEF" } },
        { "split: CR at the capacity", LineEnd::CrLf, LineOverflow::Split, "0123456\r\n", { "0123456" } },
        { "raise: when full without a line end",
            LineEnd::CrLf,
            LineOverflow::Raise,
            "ab\r\n" + kTen + "\r\n",
            { "ab", "!", "" } },
        { "raise: a line that fits", LineEnd::CrLf, LineOverflow::Raise, "0123456\r\n", { "0123456" } },
        // LF
        { "LF lines, one CR before the LF removed",
            LineEnd::Lf,
            LineOverflow::Cut,
            "ab\ncd\r\n\r\r\n\n",
            { "ab", "cd", "\r", "" } },
        { "LF: lone CR stays", LineEnd::Lf, LineOverflow::Cut, "a\rb\n", { "a\rb" } },
        { "LF cut", LineEnd::Lf, LineOverflow::Cut, kTen + "\nab\n", { "01234567", "ab" } },
        { "LF cut: CR LF right after the capacity",
            LineEnd::Lf,
            LineOverflow::Cut,
            "01234567\r\nab\n",
            { "01234567", "ab" } },
        { "LF split", LineEnd::Lf, LineOverflow::Split, kTen + "\nab\n", { "01234567", "89", "ab" } },
        { "LF split: CR LF after a piece", LineEnd::Lf, LineOverflow::Split, "0123456\r\nab\n", { "0123456", "ab" } },
        { "LF raise", LineEnd::Lf, LineOverflow::Raise, kTen + "\n", { "!", "" } },
    };
    for (const auto& c : cases) {
        for (const Feed feed : { Feed::ByteAtATime, Feed::ChunksOfThree, Feed::ThroughWritePtr, Feed::LargeBlocks }) {
            SCOPED_TRACE(std::string(c.name) + ", feed " + std::to_string(static_cast<int>(feed)));
            LineReader reader(8, c.end, c.overflow);
            EXPECT_EQ(readAll(reader, c.input, feed), c.expected);
        }
    }
}

// The sizes the clients use, with a block of many lines arriving at once and a flood without a
// line end: memory stays bounded and no line is lost or merged.
TEST(LineReader, ClientSizesWithManyLinesAndAFlood)
{
    struct SizeCase
    {
        std::size_t capacity;
        LineEnd end;
        LineOverflow overflow;
    };
    for (const auto& s : { SizeCase { 4096, LineEnd::CrLf, LineOverflow::Cut },
             SizeCase { 4095, LineEnd::Lf, LineOverflow::Cut },
             SizeCase { 4093, LineEnd::CrLf, LineOverflow::Split },
             SizeCase { 8192, LineEnd::Lf, LineOverflow::Raise } }) {
        SCOPED_TRACE(s.capacity);
        std::string input;
        Lines expected;
        for (int i = 0; i < 5000; ++i) {
            expected.push_back("250-line " + std::to_string(i));
            input += expected.back() + "\r\n";
        }
        for (const Feed feed : { Feed::ByteAtATime, Feed::LargeBlocks }) {
            LineReader reader(s.capacity, s.end, s.overflow);
            EXPECT_EQ(readAll(reader, input, feed), expected);
            EXPECT_EQ(reader.buffered(), 0u);
        }

        LineReader reader(s.capacity, s.end, s.overflow);
        const Lines flood = readAll(reader, std::string(100000, 'x') + "\r\nend\r\n", Feed::LargeBlocks);
        ASSERT_FALSE(flood.empty());
        EXPECT_LE(reader.buffered(), s.capacity);
        if (s.overflow == LineOverflow::Raise) {
            EXPECT_EQ(flood.front(), "!");
        } else {
            EXPECT_EQ(flood.front().size(), s.capacity);
            EXPECT_EQ(flood.back(), "end");
            const std::size_t pieces = (100000 + s.capacity - 1) / s.capacity;
            EXPECT_EQ(flood.size(), s.overflow == LineOverflow::Cut ? 2u : pieces + 1);
        }
    }
}
