#include "SmtpReplyBuffer.h"

#include <algorithm>
#include <cstring>

namespace net {

namespace {

// Position of the first CR LF in [data, data + size), or size.
std::size_t findLineEnd(const char* data, std::size_t size)
{
    for (std::size_t i = 0; i + 1 < size; ++i) {
        if (data[i] == '\r' && data[i + 1] == '\n')
            return i;
    }
    return size;
}

} // namespace

void SmtpReplyBuffer::commit(std::size_t count)
{
    m_fill += std::min(count, space());
}

void SmtpReplyBuffer::clear()
{
    m_fill = 0;
    m_skipping = false;
}

void SmtpReplyBuffer::consume(std::size_t count)
{
    std::memmove(m_data.data(), m_data.data() + count, m_fill - count);
    m_fill -= count;
}

// Drops the tail of an over-long line. Returns whether its CR LF has been reached.
bool SmtpReplyBuffer::dropUntilLineEnd()
{
    const std::size_t end = findLineEnd(m_data.data(), m_fill);
    if (end < m_fill) {
        consume(end + 2);
        m_skipping = false;
        return true;
    }
    // Keep a final CR: its LF may be the first byte of the next read.
    const bool lastIsCr = m_fill > 0 && m_data[m_fill - 1] == '\r';
    consume(lastIsCr ? m_fill - 1 : m_fill);
    return false;
}

bool SmtpReplyBuffer::takeLine(std::string& line)
{
    if (m_skipping && !dropUntilLineEnd())
        return false;
    const std::size_t end = findLineEnd(m_data.data(), m_fill);
    if (end < m_fill) {
        line.assign(m_data.data(), end);
        consume(end + 2);
        return true;
    }
    if (m_fill < kCapacity)
        return false;
    const std::size_t cut = m_data[kCapacity - 1] == '\r' ? kCapacity - 1 : kCapacity;
    line.assign(m_data.data(), cut);
    consume(cut);
    m_skipping = true;
    return true;
}

} // namespace net
