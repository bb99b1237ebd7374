#pragma once

// The incremental line reader of the line protocols (SMTP, FTP, POP3, HTTP): received bytes are
// appended, complete lines are taken out one by one, an incomplete one waits for more. The
// buffer holds at most a line of `capacity` bytes and its line end, never more; what happens to
// a longer line is chosen:
//   Cut   - its first `capacity` bytes are handed out as the line, the rest up to its line end
//           is dropped (SMTP);
//   Split - it is handed out in pieces of `capacity` bytes, the last piece shorter (POP3);
//   Raise - takeLine throws LineTooLong and drops what it held (HTTP).
//
//   LineReader reader(4096, LineEnd::CrLf, LineOverflow::Cut);
//   int got = socket.Receive(reader.writePtr(), int(reader.space()));
//   if (got > 0) reader.commit(got);
//   while (reader.takeLine(line)) handle(line);

#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

namespace net {

enum class LineEnd
{
    CrLf, // only CR LF ends a line; a lone CR or LF is part of it
    Lf, // LF ends a line; one CR right before it is removed
};

enum class LineOverflow
{
    Cut,
    Split,
    Raise,
};

class LineTooLong : public std::length_error
{
public:
    LineTooLong()
        : std::length_error("line too long")
    {
    }
};

class LineReader final
{
public:
    // `capacity` (at least 1): the longest line handed out whole, without its line end.
    LineReader(std::size_t capacity, LineEnd end, LineOverflow overflow);

    // Where received bytes go and how many fit now; after takeLine returned false there is
    // always room.
    char* writePtr();
    std::size_t space();
    // Accounts for `count` bytes written at writePtr().
    void commit(std::size_t count);
    // Copies in as much as fits; returns how many bytes were taken.
    std::size_t append(const char* data, std::size_t count);

    // Takes the next complete line (without its line end); false when none is complete yet.
    bool takeLine(std::string& line);
    // Drops everything held, also a line being skipped.
    void clear();

    std::size_t buffered() const { return m_end - m_begin; }
    std::size_t capacity() const { return m_capacity; }

private:
    // Start of the first line end at or after m_scan, and its length; npos when none.
    std::size_t findLineEnd(std::size_t& endLength);
    bool skipRest();
    bool overflow(std::string& line);
    void compact();

    std::size_t m_capacity;
    std::vector<char> m_data; // the capacity and room for a CR LF
    LineEnd m_lineEnd;
    LineOverflow m_overflow;
    std::size_t m_begin = 0; // first byte held
    std::size_t m_end = 0; // one past the last byte held
    std::size_t m_scan = 0; // no line end starts before here
    bool m_skipping = false; // dropping the rest of a cut line
};

} // namespace net
