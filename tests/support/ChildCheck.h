#pragma once

// Runs a check in a forked child, for what the test process itself must not do: enter a mount
// namespace, give up root. The child reports a complaint through a pipe and never returns
// into the test runner, whatever the check does.

#include <functional>
#include <string>

namespace test {

struct ChildCheck
{
    // Runs first in the child; a non-zero value ends the child with it as exit status.
    std::function<int()> prepare;
    std::function<std::string()> body;
};

// The child's complaint, "" when all was well; "child died" when it did not exit. `exitStatus`
// receives the child's exit status (prepare's value when it failed).
std::string runInChild(const ChildCheck& check, int& exitStatus);

} // namespace test
