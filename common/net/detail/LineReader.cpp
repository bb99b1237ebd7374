#include "LineReader.h"

#include <algorithm>
#include <cstring>

namespace net {

LineReader::LineReader(std::size_t capacity, LineEnd end, LineOverflow overflow)
    : m_capacity(std::max<std::size_t>(capacity, 1))
    , m_data(m_capacity + 2)
    , m_lineEnd(end)
    , m_overflow(overflow)
{
}

void LineReader::compact()
{
    if (m_begin == 0)
        return;
    std::memmove(m_data.data(), m_data.data() + m_begin, m_end - m_begin);
    m_scan -= m_begin;
    m_end -= m_begin;
    m_begin = 0;
}

char* LineReader::writePtr()
{
    compact();
    return m_data.data() + m_end;
}

std::size_t LineReader::space()
{
    compact();
    return m_data.size() - m_end;
}

void LineReader::commit(std::size_t count)
{
    m_end += std::min(count, m_data.size() - m_end);
}

std::size_t LineReader::append(const char* data, std::size_t count)
{
    const std::size_t taken = std::min(count, space());
    if (taken > 0)
        std::memcpy(m_data.data() + m_end, data, taken);
    m_end += taken;
    return taken;
}

void LineReader::clear()
{
    m_begin = m_end = m_scan = 0;
    m_skipping = false;
}

std::size_t LineReader::findLineEnd(std::size_t& endLength)
{
    const char* base = m_data.data();
    std::size_t from = m_scan;
    while (from < m_end) {
        const void* hit = std::memchr(base + from, '\n', m_end - from);
        if (!hit)
            break;
        const std::size_t lf = static_cast<const char*>(hit) - base;
        const bool crBefore = lf > m_begin && base[lf - 1] == '\r';
        if (m_lineEnd == LineEnd::Lf || crBefore) {
            endLength = crBefore ? 2 : 1;
            return lf + 1 - endLength;
        }
        from = lf + 1; // a lone LF inside a CR LF line
    }
    // A final CR may still get its LF: look at it again next time.
    m_scan = m_end > m_begin && base[m_end - 1] == '\r' ? m_end - 1 : m_end;
    return std::string::npos;
}

// Drops the rest of a cut line; true once its line end has gone too.
bool LineReader::skipRest()
{
    std::size_t endLength = 0;
    const std::size_t at = findLineEnd(endLength);
    if (at != std::string::npos) {
        m_begin = m_scan = at + endLength;
        m_skipping = false;
        return true;
    }
    // Keep a final CR: its LF may be the first byte of the next read.
    m_begin = m_scan;
    return false;
}

// The buffer is full and holds no line end: the line is longer than the capacity, even if its
// last byte held is the CR of its line end.
bool LineReader::overflow(std::string& line)
{
    if (m_overflow == LineOverflow::Raise) {
        clear();
        throw LineTooLong();
    }
    line.assign(m_data.data() + m_begin, m_capacity);
    m_begin = m_scan = m_begin + m_capacity;
    m_skipping = m_overflow == LineOverflow::Cut;
    return true;
}

bool LineReader::takeLine(std::string& line)
{
    for (;;) {
        if (m_skipping && !skipRest())
            return false;
        std::size_t endLength = 0;
        const std::size_t at = findLineEnd(endLength);
        if (at == std::string::npos) {
            if (m_end - m_begin < m_data.size())
                return false;
            return overflow(line);
        }
        line.assign(m_data.data() + m_begin, at - m_begin);
        m_begin = m_scan = at + endLength;
        return true;
    }
}

} // namespace net
