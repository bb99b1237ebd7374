#pragma once

// Runs a test's body in a mount namespace of its own, where it may hide system files (such as
// /etc/services) behind bind mounts without touching the machine. The test re-runs itself in a
// child process under `unshare --mount`; the child sees insidePrivateMounts().

#include <string>

namespace test {

struct MountChildRun
{
    bool skipped = false; // the machine cannot create a mount namespace
    bool passed = false;
    std::string output;
};

bool insidePrivateMounts();
MountChildRun rerunInPrivateMounts();
// Hides a file behind an empty one (inside the private mount namespace only); false on failure.
bool hideFile(const std::string& path);

} // namespace test

// First statement of a test that needs private mounts: outside, runs the test in a child and
// reports its result; inside, falls through to the body.
#define RUN_IN_PRIVATE_MOUNTS()                                                                                        \
    if (!test::insidePrivateMounts()) {                                                                                \
        const test::MountChildRun child = test::rerunInPrivateMounts();                                                \
        if (child.skipped)                                                                                             \
            GTEST_SKIP() << child.output;                                                                              \
        EXPECT_TRUE(child.passed) << child.output;                                                                     \
        return;                                                                                                        \
    }
