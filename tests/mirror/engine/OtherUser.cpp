#include "OtherUser.h"

#include <exception>
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace test {

std::string asOtherUser(const std::function<std::string()>& body, bool& skipped)
{
    skipped = geteuid() != 0;
    if (skipped)
        return "";
    int channel[2];
    if (pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        if (setgroups(0, nullptr) != 0 || setgid(OtherGid) != 0 || setuid(OtherUid) != 0)
            _exit(3);
        std::string complaint;
        try {
            complaint = body();
        } catch (const std::exception& e) { // never back into the test runner in the child
            complaint = std::string("exception: ") + e.what();
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
    if (WEXITSTATUS(status) == 3)
        return "cannot become user " + std::to_string(OtherUid);
    return complaint;
}

} // namespace test
