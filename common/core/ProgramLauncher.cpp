#include "ProgramLauncher.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace core {

namespace {

// What the child may do between fork and exec is limited to async-signal-safe calls, so
// everything it needs is prepared before the fork.
struct ExecPlan
{
    std::string path;
    std::vector<char*> argv;
    int highestFd = 1024;
};

bool isExecutableFile(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

void writeAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd, bytes, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        bytes += n;
        size -= static_cast<size_t>(n);
    }
}

// Runs in the grandchild: only async-signal-safe calls. Reports the exec error through `report`.
[[noreturn]] void becomeProgram(const ExecPlan& plan, int report)
{
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction byDefault
    {
    };
    byDefault.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &byDefault, nullptr); // SIGKILL and SIGSTOP refuse; that is fine
    // Every descriptor above the standard streams closes at exec, the report pipe included.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd <= plan.highestFd; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    ::execve(plan.path.c_str(), plan.argv.data(), environ);
    const int error = errno;
    writeAll(report, &error, sizeof error);
    ::_exit(127);
}

// Reads one value of `T` written whole; nothing when the pipe ended first.
template <class T> std::optional<T> readValue(int fd)
{
    T value {};
    size_t got = 0;
    char* bytes = reinterpret_cast<char*>(&value);
    while (got < sizeof value) {
        const ssize_t n = ::read(fd, bytes + got, sizeof value - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got == sizeof value ? std::optional<T>(value) : std::nullopt;
}

int readReport(int fd)
{
    return readValue<int>(fd).value_or(0);
}

void closeBoth(int fds[2])
{
    for (int i = 0; i < 2; ++i)
        if (fds[i] >= 0)
            ::close(fds[i]);
}

} // namespace

std::string findProgram(const std::string& name)
{
    if (name.empty())
        return {};
    if (name.find('/') != std::string::npos)
        return name;
    const char* variable = std::getenv("PATH");
    const std::string path = variable ? variable : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= path.size()) {
        const size_t end = std::min(path.find(':', start), path.size());
        const std::string folder = end > start ? path.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + name;
        if (isExecutableFile(candidate))
            return candidate;
        start = end + 1;
    }
    return {};
}

std::vector<std::string> splitWords(const std::string& text)
{
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ' || c == '\t') {
            if (!word.empty())
                words.push_back(std::move(word));
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(std::move(word));
    return words;
}

namespace {

int start(const std::vector<std::string>& arguments, int* pidfd)
{
    if (pidfd)
        *pidfd = -1;
    if (arguments.empty() || arguments.front().empty())
        return EINVAL;
    for (const std::string& argument : arguments) {
        if (argument.find('\0') != std::string::npos)
            return EINVAL;
    }
    ExecPlan plan;
    plan.path = findProgram(arguments.front());
    if (plan.path.empty())
        return ENOENT;
    for (const std::string& argument : arguments)
        plan.argv.push_back(const_cast<char*>(argument.c_str()));
    plan.argv.push_back(nullptr);
    const long openMax = ::sysconf(_SC_OPEN_MAX);
    plan.highestFd = openMax > 0 && openMax < 65536 ? static_cast<int>(openMax) : 65536;

    // `report` carries the exec's errno, `pids` the program's process id, and `hold` keeps the
    // intermediate process alive until the caller holds a descriptor of the program: until
    // then the program cannot be reaped, so its id cannot name another process.
    int report[2] = { -1, -1 };
    int pids[2] = { -1, -1 };
    int hold[2] = { -1, -1 };
    if (::pipe2(report, O_CLOEXEC) != 0 || ::pipe2(pids, O_CLOEXEC) != 0 || ::pipe2(hold, O_CLOEXEC) != 0) {
        const int error = errno;
        closeBoth(report);
        closeBoth(pids);
        return error;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        closeBoth(report);
        closeBoth(pids);
        closeBoth(hold);
        return error;
    }
    if (child == 0) {
        // The intermediate process: start the program and leave, so that init becomes the
        // program's parent and reaps it.
        ::close(report[0]);
        ::close(pids[0]);
        ::close(hold[1]);
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            becomeProgram(plan, report[1]);
        if (grandchild < 0) {
            const int error = errno;
            writeAll(report[1], &error, sizeof error);
        } else {
            writeAll(pids[1], &grandchild, sizeof grandchild);
            char ignored;
            while (::read(hold[0], &ignored, 1) < 0 && errno == EINTR) { }
        }
        ::_exit(0);
    }
    ::close(report[1]);
    ::close(pids[1]);
    ::close(hold[0]);
    const std::optional<pid_t> program = readValue<pid_t>(pids[0]);
    ::close(pids[0]);
    int descriptor = -1;
    if (program && pidfd)
        descriptor = static_cast<int>(::syscall(SYS_pidfd_open, *program, 0));
    ::close(hold[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    // The pipe reaches its end when the exec succeeded (close-on-exec) or the report is written.
    const int error = readReport(report[0]);
    ::close(report[0]);
    if (error != 0 && descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    if (pidfd)
        *pidfd = descriptor;
    return error;
}

} // namespace

int startProgram(const std::vector<std::string>& arguments)
{
    return start(arguments, nullptr);
}

int startFollowedProgram(const std::vector<std::string>& arguments, int& pidfd)
{
    return start(arguments, &pidfd);
}

} // namespace core
