#include "MountNamespace.h"

#include "ChildCheck.h"

#include <sched.h>
#include <sys/mount.h>

namespace test {

namespace {

constexpr int NoNamespace = 77;

} // namespace

std::string inMountNamespace(const std::function<std::string()>& body, bool& skipped)
{
    int status = 0;
    const std::string complaint
        = runInChild({ [] {
                          const bool ok = unshare(CLONE_NEWNS) == 0
                              && mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
                          return ok ? 0 : NoNamespace;
                      },
                         body },
            status);
    skipped = status == NoNamespace;
    return complaint;
}

} // namespace test
