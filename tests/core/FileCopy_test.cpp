// Names that copies and removals claim: temporary names that a later run can find again, and
// free names in a folder that several writers fill at once.

#include "common/core/FileCopy.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(FileCopy, TemporaryNamesDependOnTheNameAlone)
{
    const std::string longName(250, 'n');
    const std::string names[] = { "a.txt", longName, longName + "x", std::string(NAME_MAX, 'z') };
    for (const std::string& name : names) {
        const std::string temporary = core::temporarySibling("/d/" + name);
        EXPECT_EQ(temporary.rfind("/d/", 0), 0u);
        const std::string leaf = temporary.substr(3);
        EXPECT_LE(leaf.size(), size_t(NAME_MAX)) << name.size();
        EXPECT_TRUE(core::isTemporaryName(leaf));
        // Another process (a later run) finds the same name.
        int channel[2];
        ASSERT_EQ(pipe(channel), 0);
        const pid_t child = fork();
        if (child == 0) {
            const std::string again = core::temporarySibling("/d/" + name);
            _exit(write(channel[1], again.data(), again.size()) == ssize_t(again.size()) ? 0 : 1);
        }
        close(channel[1]);
        std::string fromChild(4096, '\0');
        const ssize_t n = read(channel[0], fromChild.data(), fromChild.size());
        close(channel[0]);
        waitpid(child, nullptr, 0);
        fromChild.resize(n > 0 ? size_t(n) : 0);
        EXPECT_EQ(fromChild, temporary);
    }
    EXPECT_NE(core::temporarySibling("/d/" + longName + "a"), core::temporarySibling("/d/" + longName + "b"));
    EXPECT_FALSE(core::isTemporaryName("rpl~x"));
}

// Several processes move their own files to one wanted name at the same moment: every file
// keeps a name of its own, none is replaced.
TEST(FileCopy, FreeNamesAreClaimedWithoutReplacingAnything)
{
    constexpr int Writers = 4;
    constexpr int FilesEach = 60;
    test::TempDir dir;
    fs::create_directories(dir / "archive");
    for (int w = 0; w < Writers; ++w)
        for (int i = 0; i < FilesEach; ++i)
            test::writeFile(
                dir / ("w" + std::to_string(w)) / std::to_string(i), std::to_string(w) + "/" + std::to_string(i));
    int start[2];
    ASSERT_EQ(pipe(start), 0);
    std::vector<pid_t> children;
    for (int w = 0; w < Writers; ++w) {
        const pid_t child = fork();
        if (child == 0) {
            close(start[1]);
            char go;
            if (read(start[0], &go, 1) < 0)
                _exit(2);
            int failures = 0;
            for (int i = 0; i < FilesEach; ++i) {
                std::string claimed;
                const fs::path from = dir / ("w" + std::to_string(w)) / std::to_string(i);
                failures
                    += core::renameToFreeName(from.string(), (dir / "archive" / "report.txt").string(), claimed) != 0;
            }
            _exit(failures == 0 ? 0 : 1);
        }
        children.push_back(child);
    }
    close(start[0]);
    close(start[1]); // every writer starts now
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<std::string> contents;
    for (const auto& entry : fs::directory_iterator(dir / "archive"))
        contents.insert(test::readFile(entry.path()));
    EXPECT_EQ(contents.size(), size_t(Writers * FilesEach));
    EXPECT_TRUE(fs::exists(dir / "archive" / "report.txt"));
    EXPECT_TRUE(fs::exists(dir / "archive" / "report (2).txt"));
}
