#include "WSockBuf.h"

#include <algorithm>
#include <cstring>

namespace net {

TBuffer::TBuffer(std::size_t size)
    : m_data(size)
{
}

std::size_t TBuffer::Write(const char* data, std::size_t count)
{
    const std::size_t taken = std::min(count, m_data.size() - m_wr);
    if (taken > 0)
        std::memcpy(m_data.data() + m_wr, data, taken);
    m_wr += taken;
    return taken;
}

void TBuffer::Remove(std::size_t count)
{
    m_rd += std::min(count, Count());
    // An emptied buffer starts over, so a lone buffer is reused rather than freed.
    if (m_rd == m_wr)
        m_rd = m_wr = 0;
}

} // namespace net
