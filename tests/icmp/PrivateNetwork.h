#pragma once

// Runs a test's body in a network namespace of its own, where it may ignore echoes, add packet
// filter rules and shrink the loopback MTU without touching the machine. The test re-runs
// itself in a child process under `unshare --net`; the child sees insidePrivateNetwork().

#include <string>
#include <vector>

namespace test {

struct ChildRun
{
    bool skipped = false; // the machine cannot create a network namespace
    bool passed = false;
    std::string output;
};

bool insidePrivateNetwork();
// Runs the current test again in a new network namespace, behind `wrapper` (a command such as
// setpriv that execs the rest of its arguments).
ChildRun rerunInPrivateNetwork(const std::vector<std::string>& wrapper = {});

// Runs a program and waits for it; its exit code (-1 when it could not run) and merged output.
int runCommand(const std::vector<std::string>& argv, std::string* output = nullptr);
// Runs a set-up command line (words split at blanks, no shell) that must succeed; throws
// std::runtime_error with its output otherwise.
void mustRun(const std::string& commandLine);
// Writes a sysctl of this namespace, such as "net/ipv4/icmp_echo_ignore_all".
void setSysctl(const std::string& name, const std::string& value);

} // namespace test

// First statement of a test that needs a private network: outside one, runs the test in a
// child and reports the child's result; inside, falls through to the body.
#define RUN_IN_PRIVATE_NETWORK(...)                                                                                    \
    if (!test::insidePrivateNetwork()) {                                                                               \
        const test::ChildRun child = test::rerunInPrivateNetwork(__VA_ARGS__);                                         \
        if (child.skipped)                                                                                             \
            GTEST_SKIP() << child.output;                                                                              \
        EXPECT_TRUE(child.passed) << child.output;                                                                     \
        return;                                                                                                        \
    }
