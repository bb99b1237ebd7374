#pragma once

// Runs a check in a child process with a mount namespace of its own, where the check may
// mount a tmpfs or bind-mount a folder without touching the machine's mounts.

#include <functional>
#include <string>

namespace test {

// Returns the child's complaint, "" when all was well. `skipped` is set when the machine gives
// no mount namespace (not root, or a container without the right).
std::string inMountNamespace(const std::function<std::string()>& body, bool& skipped);

} // namespace test
