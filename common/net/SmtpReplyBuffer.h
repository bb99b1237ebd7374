#pragma once

// The SMTP client's receive buffer: 4096 bytes filled from the socket and emptied line by
// line. Only CR LF ends a line. A line that does not fit is never allowed to overflow: the
// full buffer is handed out as one cut line and the rest of that line, up to its CR LF, is
// dropped.

#include <array>
#include <cstddef>
#include <string>

namespace net {

class SmtpReplyBuffer final
{
public:
    static constexpr std::size_t kCapacity = 4096;

    // Where the next received bytes go, and how many fit.
    char* writePtr() { return m_data.data() + m_fill; }
    std::size_t space() const { return kCapacity - m_fill; }
    // Accounts for `count` bytes written at writePtr().
    void commit(std::size_t count);
    // Takes the next complete line (without its CR LF); false when none is complete.
    bool takeLine(std::string& line);
    void clear();
    std::size_t fill() const { return m_fill; }

private:
    bool dropUntilLineEnd();
    void consume(std::size_t count);

    std::array<char, kCapacity> m_data {};
    std::size_t m_fill = 0;
    bool m_skipping = false;
};

} // namespace net
