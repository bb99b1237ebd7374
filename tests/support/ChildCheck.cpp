#include "ChildCheck.h"

#include <exception>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

std::string runInChild(const ChildCheck& check, int& exitStatus)
{
    exitStatus = -1;
    int channel[2];
    if (pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (const int failed = check.prepare ? check.prepare() : 0)
            _exit(failed);
        std::string complaint;
        try {
            complaint = check.body();
        } catch (const std::exception& e) {
            complaint = std::string("exception: ") + e.what();
        } catch (...) {
            complaint = "unknown exception";
        }
        if (write(channel[1], complaint.data(), complaint.size()) < 0)
            _exit(2);
        _exit(complaint.empty() ? 0 : 1);
    }
    close(channel[1]);
    std::string complaint;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        complaint.append(buffer, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status))
        return "child died";
    exitStatus = WEXITSTATUS(status);
    return complaint;
}

} // namespace test
