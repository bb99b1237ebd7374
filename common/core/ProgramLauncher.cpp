#include "ProgramLauncher.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
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

int readReport(int fd)
{
    int error = 0;
    size_t got = 0;
    char* bytes = reinterpret_cast<char*>(&error);
    while (got < sizeof error) {
        const ssize_t n = ::read(fd, bytes + got, sizeof error - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<size_t>(n);
    }
    return got == sizeof error ? error : 0;
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

int startProgram(const std::vector<std::string>& arguments)
{
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

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return errno;
    const pid_t child = ::fork();
    if (child < 0) {
        const int error = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return error;
    }
    if (child == 0) {
        // The intermediate process: start the program and leave at once, so that init
        // becomes the program's parent and reaps it.
        ::close(pipeFds[0]);
        const pid_t grandchild = ::fork();
        if (grandchild == 0)
            becomeProgram(plan, pipeFds[1]);
        if (grandchild < 0) {
            const int error = errno;
            writeAll(pipeFds[1], &error, sizeof error);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    // The pipe reaches its end when the exec succeeded (close-on-exec) or the report is written.
    const int error = readReport(pipeFds[0]);
    ::close(pipeFds[0]);
    return error;
}

} // namespace core
