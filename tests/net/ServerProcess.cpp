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

int freePort(const std::string& address)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sin {};
    sin.sin_family = AF_INET;
    socklen_t length = sizeof sin;
    if (fd < 0 || ::inet_pton(AF_INET, address.c_str(), &sin.sin_addr) != 1
        || ::bind(fd, reinterpret_cast<sockaddr*>(&sin), sizeof sin) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sin), &length) != 0) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("no free port on " + address);
    }
    ::close(fd);
    return ntohs(sin.sin_port);
}

bool listening(const std::string& address, int port)
{
    in_addr wanted {};
    if (::inet_pton(AF_INET, address.c_str(), &wanted) != 1)
        return false;
    // /proc/net/tcp shows this network namespace: "sl local_address rem_address st ...", the
    // address as host-order hex of the network-order value, state 0A for LISTEN.
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot;
        std::string local;
        std::string remote;
        std::string state;
        fields >> slot >> local >> remote >> state;
        const std::size_t colon = local.find(':');
        if (state != "0A" || colon == std::string::npos)
            continue;
        const unsigned long ip = std::stoul(local.substr(0, colon), nullptr, 16);
        const int localPort = static_cast<int>(std::stoul(local.substr(colon + 1), nullptr, 16));
        if (localPort == port && (ip == wanted.s_addr || ip == 0))
            return true;
    }
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
