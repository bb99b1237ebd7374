#include "ServerProcess.h"

#include "common/core/EventLoop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace test {

namespace {

constexpr auto kStartLimit = std::chrono::seconds(20);
constexpr int kStopGraceMs = 5000;

bool groupAlive(qint64 group)
{
    return group > 0 && ::kill(-static_cast<pid_t>(group), 0) == 0;
}

// Waits, sleeping in the event loop, until `done` holds or the time has passed.
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    core::Timer tick;
    tick.start(25);
    return core::waitFor(done, limit);
}

} // namespace

ServerProcess::ServerProcess() = default;

ServerProcess::~ServerProcess()
{
    stop();
}

bool ServerProcess::start(
    const std::string& program, const std::vector<std::string>& arguments, const ListenAddress& where)
{
    QStringList args;
    for (const auto& argument : arguments)
        args << QString::fromStdString(argument);
    m_process.setStandardOutputFile(QString::fromStdString(logPath()), QIODevice::Append);
    m_process.setStandardErrorFile(QString::fromStdString(logPath()), QIODevice::Append);
    m_process.setStandardInputFile(QProcess::nullDevice());
    // A group of its own, so that stop() reaches every child the server forked; and gone with
    // the test, should the test die before it can stop the server.
    m_process.setChildProcessModifier([] {
        ::setsid();
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process.start(QString::fromStdString(program), args);
    if (!m_process.waitForStarted(10000))
        return false;
    m_group = m_process.processId();
    return pollUntil([&] { return m_process.state() == QProcess::NotRunning || listening(where.address, where.port); },
               kStartLimit)
        && m_process.state() != QProcess::NotRunning;
}

void ServerProcess::stop()
{
    if (m_group <= 0)
        return;
    ::kill(-static_cast<pid_t>(m_group), SIGTERM);
    if (!m_process.waitForFinished(kStopGraceMs))
        ::kill(-static_cast<pid_t>(m_group), SIGKILL);
    m_process.waitForFinished(kStopGraceMs);
    // Children left behind by the server (a session still open) go with the group.
    for (int i = 0; i < 100 && groupAlive(m_group); ++i) {
        ::kill(-static_cast<pid_t>(m_group), i < 40 ? SIGTERM : SIGKILL);
        ::usleep(20000);
    }
    m_group = 0;
}

bool ServerProcess::running() const
{
    return m_process.state() == QProcess::Running;
}

std::string ServerProcess::log() const
{
    return readFile(logPath());
}

namespace {

// `address` (IPv4 or IPv6 text) with `port` as a socket address; false for another text.
bool socketAddress(const std::string& address, int port, sockaddr_storage& storage, socklen_t& length)
{
    storage = {};
    auto* sin = reinterpret_cast<sockaddr_in*>(&storage);
    auto* sin6 = reinterpret_cast<sockaddr_in6*>(&storage);
    if (::inet_pton(AF_INET, address.c_str(), &sin->sin_addr) == 1) {
        sin->sin_family = AF_INET;
        sin->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof *sin;
        return true;
    }
    if (::inet_pton(AF_INET6, address.c_str(), &sin6->sin6_addr) == 1) {
        sin6->sin6_family = AF_INET6;
        sin6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof *sin6;
        return true;
    }
    return false;
}

// The LISTEN entries of /proc/net/tcp or tcp6 (this network namespace): "sl local_address
// rem_address st ...", the address as hex of its bytes in 32-bit host-order words, state 0A.
bool listedAsListening(const char* table, const std::string& wanted, int port)
{
    std::ifstream lines(table);
    std::string line;
    std::getline(lines, line);
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        std::string remote;
        std::string state;
        fields >> slot >> local >> remote >> state;
        const std::size_t colon = local.find(':');
        if (state != "0A" || colon == std::string::npos)
            continue;
        const int localPort = static_cast<int>(std::stoul(local.substr(colon + 1), nullptr, 16));
        const std::string hex = local.substr(0, colon);
        std::string bytes;
        for (std::size_t word = 0; word + 8 <= hex.size(); word += 8) {
            const uint32_t value = static_cast<uint32_t>(std::stoul(hex.substr(word, 8), nullptr, 16));
            bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
        if (localPort == port && (bytes == wanted || bytes.find_first_not_of('\0') == std::string::npos))
            return true;
    }
    return false;
}

} // namespace

int freePort(const std::string& address)
{
    sockaddr_storage storage {};
    socklen_t length = 0;
    const bool known = socketAddress(address, 0, storage, length);
    const int fd = known ? ::socket(storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0) : -1;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&storage), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("no free port on " + address);
    }
    ::close(fd);
    return storage.ss_family == AF_INET ? ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port)
                                        : ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port);
}

bool listening(const std::string& address, int port)
{
    in_addr ipv4 {};
    in6_addr ipv6 {};
    if (::inet_pton(AF_INET, address.c_str(), &ipv4) == 1)
        return listedAsListening("/proc/net/tcp", std::string(reinterpret_cast<const char*>(&ipv4), sizeof ipv4), port);
    if (::inet_pton(AF_INET6, address.c_str(), &ipv6) == 1)
        return listedAsListening("/proc/net/tcp6", std::string(reinterpret_cast<const char*>(&ipv6), sizeof ipv6), port);
    return false;
}

std::string fixtureFile(const std::string& name)
{
    return std::string(NET_FIXTURES_DIR) + "/" + name;
}

std::string renderFixture(const std::string& templateName, const std::map<std::string, std::string>& values)
{
    std::string text = readFile(fixtureFile(templateName));
    if (text.empty())
        throw std::runtime_error("missing fixture template " + templateName);
    for (const auto& [name, value] : values) {
        const std::string mark = "@" + name + "@";
        for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + value.size()))
            text.replace(at, mark.size(), value);
    }
    return text;
}

} // namespace test
