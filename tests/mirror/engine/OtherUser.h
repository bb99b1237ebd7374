#pragma once

// Runs a check in a child process that has given up root for another user, for what only a
// normal user meets: folders whose permissions keep the program out.

#include <functional>
#include <string>
#include <sys/types.h>

namespace test {

// The user the child becomes ("nobody" on Debian).
constexpr uid_t OtherUid = 65534;
constexpr gid_t OtherGid = 65534;

// Returns the child's complaint, "" when all was well. `skipped` is set when the test does not
// run as root and so cannot become another user.
std::string asOtherUser(const std::function<std::string()>& body, bool& skipped);

} // namespace test
