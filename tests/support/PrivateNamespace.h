#pragma once

// Runs a test's body in a namespace of its own, where it may change the network (ignore
// echoes, add packet-filter rules, shrink the loopback MTU) or the mounts (hide a system file
// behind a bind mount) without touching the machine. The test re-runs itself in a child
// process under `unshare`; the child sees insidePrivateNamespace() and runs the body.
//
// The first statement of such a test is RUN_IN_PRIVATE_NETWORK(wrapper), RUN_IN_PRIVATE_MOUNTS()
// or RUN_IN_PRIVATE_NETWORK_AND_MOUNTS(); outside a namespace it runs the child and reports its
// result.

#include <string>
#include <vector>

namespace test {

struct ChildRun
{
    bool skipped = false; // the machine cannot create such a namespace
    bool passed = false;
    std::string output;
};

bool insidePrivateNamespace();
// Runs the current test again under `unshare` with `unshareOptions` ("--net", or "--mount"
// "--propagation" "private"), behind `wrapper` (a command such as setpriv that execs the rest
// of its arguments).
ChildRun rerunUnshared(const std::vector<std::string>& unshareOptions, const std::vector<std::string>& wrapper = {});
ChildRun rerunInPrivateNetwork(const std::vector<std::string>& wrapper = {});
ChildRun rerunInPrivateMounts();
ChildRun rerunInPrivateNetworkAndMounts();

// Runs a program and waits for it; its exit code (-1 when it could not run) and merged output.
int runCommand(const std::vector<std::string>& argv, std::string* output = nullptr);
// Runs a set-up command line (words split at blanks, no shell) that must succeed; throws
// std::runtime_error with its output otherwise.
void mustRun(const std::string& commandLine);
// Writes a sysctl of this namespace, such as "net/ipv4/icmp_echo_ignore_all".
void setSysctl(const std::string& name, const std::string& value);
// Hides a file behind an empty one (inside a private mount namespace only); false on failure.
bool hideFile(const std::string& path);

} // namespace test

#define TEST_RUN_IN_CHILD(child)                                                                                       \
    if (!test::insidePrivateNamespace()) {                                                                             \
        const test::ChildRun run = child;                                                                              \
        if (run.skipped)                                                                                               \
            GTEST_SKIP() << run.output;                                                                                \
        EXPECT_TRUE(run.passed) << run.output;                                                                         \
        return;                                                                                                        \
    }
#define RUN_IN_PRIVATE_NETWORK(...) TEST_RUN_IN_CHILD(test::rerunInPrivateNetwork(__VA_ARGS__))
#define RUN_IN_PRIVATE_MOUNTS() TEST_RUN_IN_CHILD(test::rerunInPrivateMounts())
#define RUN_IN_PRIVATE_NETWORK_AND_MOUNTS() TEST_RUN_IN_CHILD(test::rerunInPrivateNetworkAndMounts())
