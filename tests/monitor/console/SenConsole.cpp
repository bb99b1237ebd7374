#include "SenConsole.h"

#include <QProcessEnvironment>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A TCP socket bound to 127.0.0.1 on a free port; its port through `port`.
int boundSocket(int* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot bind a loopback socket");
    *port = ntohs(address.sin_port);
    return fd;
}

} // namespace

void SenConsole::SetUp()
{
    fs::create_directories(program.parent_path());
    fs::copy_file(SEN_BINARY, program);
}

void SenConsole::TearDown()
{
    for (const int fd : sockets)
        ::close(fd);
}

int SenConsole::openPort()
{
    int port = 0;
    const int fd = boundSocket(&port);
    ::listen(fd, 64);
    sockets.push_back(fd);
    return port;
}

int SenConsole::closedPort()
{
    int port = 0;
    ::close(boundSocket(&port));
    return port;
}

int SenConsole::silentPort()
{
    int port = 0;
    const int fd = boundSocket(&port);
    // A backlog of 0 holds one connection; this one fills it, and the kernel drops every
    // further handshake without an answer.
    ::listen(fd, 0);
    sockets.push_back(fd);
    const int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    if (::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot fill the accept queue");
    sockets.push_back(filler);
    return port;
}

QProcessEnvironment SenConsole::environment()
{
    auto env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    env.insert("LC_ALL", "en_US.UTF-8");
    return env;
}

std::unique_ptr<QProcess> SenConsole::start(const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment());
    process->start(QString::fromStdString(program.string()), arguments);
    process->closeWriteChannel();
    out.clear();
    err.clear();
    if (!process->waitForStarted(10000))
        ADD_FAILURE() << "SEN did not start";
    return process;
}

int SenConsole::run(const QStringList& arguments, std::chrono::seconds timeout)
{
    auto process = start(arguments);
    if (!process->waitForFinished(static_cast<int>(std::chrono::milliseconds(timeout).count()))) {
        process->kill();
        process->waitForFinished();
        return -1;
    }
    out = QString::fromLocal8Bit(process->readAllStandardOutput());
    err = QString::fromLocal8Bit(process->readAllStandardError());
    return process->exitStatus() == QProcess::NormalExit ? process->exitCode() : -1;
}

bool SenConsole::waitForOutput(QProcess& process, const QString& text, int times, std::chrono::seconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (out.count(text) < times) {
        const auto left
            = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || process.state() == QProcess::NotRunning)
            return false;
        process.waitForReadyRead(static_cast<int>(std::min<long long>(left.count(), 500)));
        out += QString::fromLocal8Bit(process.readAllStandardOutput());
    }
    return true;
}

int SenConsole::stop(QProcess& process, int signalNumber)
{
    ::kill(static_cast<pid_t>(process.processId()), signalNumber);
    if (!process.waitForFinished(60000))
        return -1;
    out += QString::fromLocal8Bit(process.readAllStandardOutput());
    err += QString::fromLocal8Bit(process.readAllStandardError());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

std::string SenConsole::withoutStamps(std::string text)
{
    static const QRegularExpression stamp(QStringLiteral(R"(\d{1,2}/\d{1,2}/\d{2}( \d{1,2}:\d{2}:\d{2} [AP]M)?)"));
    static const QRegularExpression elapsed(QStringLiteral(R"(\[[\d,]+ ms\])"));
    QString shown = QString::fromStdString(text);
    shown.replace(stamp, QStringLiteral("<stamp>"));
    shown.replace(elapsed, QStringLiteral("[<ms>]"));
    return shown.toStdString();
}

std::vector<std::string> SenConsole::logLines() const
{
    std::vector<std::string> lines;
    std::istringstream in(test::readFile(log));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(withoutStamps(line));
    }
    return lines;
}

std::string destination(int n, const std::string& name, const std::string& service, int port, const std::string& status)
{
    const std::string i = std::to_string(n);
    return "NAME" + i + "=" + name + "\r\nIP" + i + "=127.0.0.1\r\nService" + i + "=" + service + "\r\nPort" + i + "="
        + (port ? std::to_string(port) : std::string()) + "\r\nStat" + i + "=" + status + "\r\n";
}
