#include "ScriptedServer.h"

#include "common/core/EventLoop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace test {

namespace {

int listenLoopback(int& port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof sin;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0 || ::listen(fd, 4) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port = ntohs(sin.sin_port);
    return fd;
}

bool waitReadable(int fd, int timeoutMs)
{
    pollfd p { fd, POLLIN, 0 };
    return ::poll(&p, 1, timeoutMs) > 0;
}

} // namespace

ScriptSession::ScriptSession(int fd)
    : m_fd(fd)
{
}

ScriptSession::~ScriptSession()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void ScriptSession::send(const std::string& bytes)
{
    std::size_t done = 0;
    while (m_fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        done += static_cast<std::size_t>(n);
    }
}

bool ScriptSession::fill(int timeoutMs)
{
    if (m_fd < 0 || !waitReadable(m_fd, timeoutMs))
        return false;
    char chunk[65536];
    const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
    if (n <= 0)
        return false;
    m_pending.append(chunk, static_cast<std::size_t>(n));
    return true;
}

bool ScriptSession::readLine(std::string& line, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto end = m_pending.find("\r\n");
        if (end != std::string::npos) {
            line = m_pending.substr(0, end);
            m_pending.erase(0, end + 2);
            std::lock_guard lock(m_mutex);
            m_received.push_back(line);
            return true;
        }
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !fill(static_cast<int>(left.count())))
            return false;
    }
}

bool ScriptSession::readData(std::vector<std::string>& lines, int timeoutMs)
{
    std::string line;
    while (readLine(line, timeoutMs)) {
        if (line == ".")
            return true;
        lines.push_back(line);
    }
    return false;
}

bool ScriptSession::waitForClose(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!waitReadable(m_fd, 100))
            continue;
        char chunk[4096];
        if (::recv(m_fd, chunk, sizeof chunk, 0) <= 0)
            return true;
    }
    return false;
}

std::size_t ScriptSession::drain(int timeoutMs)
{
    std::size_t total = 0;
    char chunk[65536];
    while (m_fd >= 0 && waitReadable(m_fd, timeoutMs)) {
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

std::size_t ScriptSession::drainToEnd(int timeoutMs, bool& reset)
{
    std::size_t total = 0;
    std::vector<char> chunk(1 << 20);
    reset = true;
    while (m_fd >= 0 && waitReadable(m_fd, timeoutMs)) {
        const ssize_t n = ::recv(m_fd, chunk.data(), chunk.size(), 0);
        if (n == 0)
            reset = false;
        if (n <= 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

void ScriptSession::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void ScriptSession::reset()
{
    if (m_fd < 0)
        return;
    linger hard { 1, 0 };
    ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    close();
}

std::vector<std::string> ScriptSession::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

ScriptedServer::ScriptedServer(Script script)
{
    m_listenFd = listenLoopback(m_port);
    m_thread = std::thread([this, script = std::move(script)] { run(script); });
}

ScriptedServer::~ScriptedServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listenFd);
}

void ScriptedServer::run(Script script)
{
    int fd = -1;
    while (!m_stop && fd < 0) {
        if (waitReadable(m_listenFd, 100))
            fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
    }
    if (fd >= 0) {
        ScriptSession session(fd);
        {
            std::lock_guard lock(m_mutex);
            m_session = &session;
        }
        script(session);
        std::lock_guard lock(m_mutex);
        m_finalLines = session.received();
        m_session = nullptr;
    }
    m_done = true;
    m_wake.post([] {});
}

std::vector<std::string> ScriptedServer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_session ? m_session->received() : m_finalLines;
}

bool ScriptedServer::waitDone(int timeoutMs) const
{
    return core::waitFor([this] { return m_done.load(); }, std::chrono::milliseconds(timeoutMs));
}

int closedLoopbackPort()
{
    int port = 0;
    const int fd = listenLoopback(port);
    ::close(fd);
    return port;
}

} // namespace test
