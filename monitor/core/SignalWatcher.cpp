#include "monitor/core/SignalWatcher.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace monitor {

namespace {

// The write end, read by the handler; -1 while no watcher exists.
std::atomic<int> s_writeFd { -1 };

extern "C" void writeSignalNumber(int signalNumber)
{
    const int saved = errno;
    const int fd = s_writeFd.load();
    if (fd >= 0) {
        const auto byte = static_cast<unsigned char>(signalNumber);
        // A full pipe drops the byte: the loop has a byte of that signal to read already, or
        // others, and signals coalesce anyway.
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

} // namespace

SignalWatcher::SignalWatcher(const std::vector<int>& signalNumbers, Handler handler)
    : m_signals(signalNumbers)
    , m_handler(std::move(handler))
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "signal pipe");
    m_readFd = fds[0];
    s_writeFd.store(fds[1]);
    m_watcher = std::make_unique<core::FdWatcher>(m_readFd);
    m_watcher->setOnReadable([this] { drain(); });
    m_watcher->watchRead(true);

    struct sigaction action
    {
    };
    action.sa_handler = writeSignalNumber;
    sigemptyset(&action.sa_mask);
    // Calls the signal interrupts go on, so no other code has to expect EINTR from it.
    action.sa_flags = SA_RESTART;
    for (const int number : m_signals) {
        if (::sigaction(number, &action, nullptr) != 0) {
            const int error = errno;
            release();
            throw std::system_error(error, std::generic_category(), "sigaction");
        }
    }
}

SignalWatcher::~SignalWatcher()
{
    release();
}

void SignalWatcher::release()
{
    struct sigaction action
    {
    };
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    for (const int number : m_signals)
        ::sigaction(number, &action, nullptr);
    m_watcher.reset();
    const int writeFd = s_writeFd.exchange(-1);
    if (writeFd >= 0)
        ::close(writeFd);
    if (m_readFd >= 0)
        ::close(m_readFd);
    m_readFd = -1;
}

void SignalWatcher::drain()
{
    unsigned char bytes[64];
    for (;;) {
        const ssize_t got = ::read(m_readFd, bytes, sizeof bytes);
        if (got <= 0)
            return; // EAGAIN: all read
        for (ssize_t i = 0; i < got; ++i)
            m_handler(bytes[i]);
    }
}

} // namespace monitor
