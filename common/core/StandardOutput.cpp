#include "StandardOutput.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <streambuf>
#include <unistd.h>

namespace core {

namespace {

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

// Puts /dev/null on a closed standard stream; false when it was closed.
bool occupy(int fd, int flags)
{
    if (isOpen(fd))
        return true;
    const int null = ::open("/dev/null", flags);
    if (null >= 0 && null != fd) {
        ::dup2(null, fd);
        ::close(null);
    }
    return false;
}

} // namespace

class StandardOutput::Buffer final : public std::streambuf
{
public:
    explicit Buffer(bool closed)
        : m_closed(closed)
    {
        setp(m_data, m_data + sizeof m_data);
    }

    int error()
    {
        drain();
        return m_error;
    }

protected:
    int_type overflow(int_type c) override
    {
        drain();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    // Always "done": a lost line must not stop the program's own work.
    int sync() override
    {
        drain();
        return 0;
    }

private:
    void drain()
    {
        const char* from = pbase();
        const char* const end = pptr();
        if (m_closed && from < end && m_error == 0)
            m_error = EBADF; // what the write would have given before the stand-in
        while (m_error == 0 && from < end) {
            const ssize_t n = ::write(STDOUT_FILENO, from, static_cast<size_t>(end - from));
            if (n > 0) {
                from += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                // Inherited non-blocking: wait as a blocking write would.
                pollfd ready { STDOUT_FILENO, POLLOUT, 0 };
                ::poll(&ready, 1, -1);
            } else {
                m_error = n < 0 ? errno : EIO;
            }
        }
        setp(m_data, m_data + sizeof m_data);
    }

    char m_data[4096];
    const bool m_closed;
    int m_error = 0;
};

StandardOutput::StandardOutput()
{
    std::signal(SIGPIPE, SIG_IGN);
    occupy(STDIN_FILENO, O_RDONLY);
    const bool outputOpen = occupy(STDOUT_FILENO, O_WRONLY);
    occupy(STDERR_FILENO, O_WRONLY);
    m_buffer = std::make_unique<Buffer>(!outputOpen);
    m_previous = std::cout.rdbuf(m_buffer.get());
}

StandardOutput::~StandardOutput()
{
    std::cout.flush();
    std::cout.rdbuf(m_previous);
}

int StandardOutput::error()
{
    std::cout.flush();
    return m_buffer->error();
}

int StandardOutput::finish(const std::string& program, int status, int failedStatus)
{
    const int lost = error();
    if (lost == 0)
        return status;
    std::cerr << program << ": cannot write to standard output: " << std::strerror(lost) << std::endl;
    return status != 0 ? status : failedStatus;
}

} // namespace core
