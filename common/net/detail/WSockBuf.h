#pragma once

// One fixed-size buffer of the socket's send queue: bytes are appended at its end and
// consumed from its front. A buffer never grows; the queue adds buffers instead.

#include <cstddef>
#include <vector>

namespace net {

class TBuffer final
{
public:
    static constexpr std::size_t kDefaultSize = 1460;

    explicit TBuffer(std::size_t size = kDefaultSize);

    // Appends as many bytes as fit after the last one; returns how many were taken.
    std::size_t Write(const char* data, std::size_t count);
    // The bytes not yet consumed.
    const char* Peek() const { return m_data.data() + m_rd; }
    std::size_t Count() const { return m_wr - m_rd; }
    // Consumes up to `count` bytes from the front.
    void Remove(std::size_t count);
    // Whether no byte can be appended any more (the end has been reached).
    bool Full() const { return m_wr == m_data.size(); }
    std::size_t Size() const { return m_data.size(); }

private:
    std::vector<char> m_data;
    std::size_t m_rd = 0;
    std::size_t m_wr = 0;
};

} // namespace net
