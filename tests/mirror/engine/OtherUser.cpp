#include "OtherUser.h"

#include "tests/support/ChildCheck.h"

#include <grp.h>
#include <unistd.h>

namespace test {

namespace {

constexpr int CannotSwitch = 3;

} // namespace

std::string asOtherUser(const std::function<std::string()>& body, bool& skipped)
{
    skipped = geteuid() != 0;
    if (skipped)
        return "";
    int status = 0;
    const std::string complaint
        = runInChild({ [] {
                          const bool ok = setgroups(0, nullptr) == 0 && setgid(OtherGid) == 0 && setuid(OtherUid) == 0;
                          return ok ? 0 : CannotSwitch;
                      },
                         body },
            status);
    if (status == CannotSwitch)
        return "cannot become user " + std::to_string(OtherUid);
    return complaint;
}

} // namespace test
