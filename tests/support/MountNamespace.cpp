#include "MountNamespace.h"

#include <exception>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

std::string inMountNamespace(const std::function<std::string()>& body, bool& skipped)
{
    int channel[2];
    if (pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            _exit(77);
        // The child must never return into the test runner, whatever the body does.
        std::string complaint;
        try {
            complaint = body();
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
    skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
    if (!WIFEXITED(status))
        return "child died";
    return complaint;
}

} // namespace test
