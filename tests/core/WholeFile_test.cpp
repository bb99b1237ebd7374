// Writing whole files: a file is replaced at once and keeps its owner, group and mode; a second
// name or a folder that takes no new file gets the text in place; what is no regular file is
// refused without being opened; a full disk keeps the old text; a claim outlives our own saves;
// and no scratch file is ever left beside the file.

#include "common/core/FileClaim.h"
#include "common/core/LineWriter.h"
#include "common/core/LockedFile.h"
#include "tests/support/ChildCheck.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace fs = std::filesystem;
using core::LockedFile;

namespace {

struct stat statOf(const fs::path& path)
{
    struct stat st
    {
    };
    ::lstat(path.c_str(), &st);
    return st;
}

// Entries of the folder whose names begin with a dot: scratch files left behind.
int hiddenEntries(const fs::path& folder)
{
    int count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().starts_with(".") ? 1 : 0;
    return count;
}

int replaceFollowingLinks(const fs::path& path, const std::string& text)
{
    LockedFile file(path.string(), LockedFile::Access::Write);
    return file.error() != 0 ? file.error() : file.replace(text);
}

} // namespace

TEST(WholeFile, ReplacesTheFileAtOnceAsItWas)
{
    test::TempDir dir;
    const fs::path file = dir / "net.SEN";
    test::writeFile(file, "old");
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    // Root may give the file away, and a replacement must give it back to the same owner.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(file.c_str(), 4321, 8765), 0);
    }
    const struct stat before = statOf(file);

    EXPECT_EQ(replaceFollowingLinks(file, "new"), 0);
    const struct stat after = statOf(file);
    EXPECT_EQ(test::readFile(file), "new");
    EXPECT_NE(after.st_ino, before.st_ino); // a new file took the old one's place
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);

    // Through a link: the file behind it is replaced, the link stays.
    fs::create_symlink(file, dir / "link.SEN");
    EXPECT_EQ(replaceFollowingLinks(dir / "link.SEN", "linked"), 0);
    EXPECT_TRUE(fs::is_symlink(dir / "link.SEN"));
    EXPECT_EQ(test::readFile(file), "linked");

    // A second name must see the new text too: the file is written where it is.
    fs::create_hard_link(file, dir / "other.SEN");
    const ino_t inode = statOf(file).st_ino;
    EXPECT_EQ(replaceFollowingLinks(file, "both"), 0);
    EXPECT_EQ(statOf(file).st_ino, inode);
    EXPECT_EQ(test::readFile(dir / "other.SEN"), "both");

    // The metrics file's writer replaces a link at its path instead of writing through it.
    test::writeFile(dir / "target", "kept");
    fs::create_symlink(dir / "target", dir / "sen.prom");
    const mode_t mask = ::umask(022);
    EXPECT_EQ(core::writeWholeFile((dir / "sen.prom").string(), "metrics\n"), 0);
    ::umask(mask);
    EXPECT_TRUE(S_ISREG(statOf(dir / "sen.prom").st_mode));
    EXPECT_EQ(statOf(dir / "sen.prom").st_mode & 0777, 0644u); // readable by the exporter's user
    EXPECT_EQ(test::readFile(dir / "target"), "kept");
    EXPECT_EQ(hiddenEntries(dir.path()), 0);
}

TEST(WholeFile, RefusesWhatIsNoRegularFileWithoutOpeningIt)
{
    test::TempDir dir;
    fs::create_directories(dir / "folder");
    const struct
    {
        const char* name;
        std::function<bool(const fs::path&)> make; // false: this machine cannot make it
        int error;
    } cases[] = {
        { "fifo", [](const fs::path& p) { return ::mkfifo(p.c_str(), 0600) == 0; }, core::NotRegularFile },
        // The numbers of /dev/full, made in our own folder.
        { "device",
            [](const fs::path& p) { return ::mknod(p.c_str(), S_IFCHR | 0600, makedev(1, 7)) == 0; },
            core::NotRegularFile },
        { "folder", [](const fs::path& p) { return fs::create_directory(p); }, EISDIR },
        { "missing/file", [](const fs::path&) { return true; }, ENOENT },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path path = dir / c.name;
        if (!c.make(path))
            continue;
        const auto kind = statOf(path).st_mode & S_IFMT;
        EXPECT_EQ(core::writeWholeFile(path.string(), "x"), c.error);
        EXPECT_EQ(replaceFollowingLinks(path, "x"), c.error);
        EXPECT_EQ(core::appendLine(path.string(), "x"), c.error);
        EXPECT_EQ(statOf(path).st_mode & S_IFMT, kind);
    }
    EXPECT_EQ(core::fileErrorText(core::NotRegularFile), "not a regular file");
    EXPECT_EQ(hiddenEntries(dir.path()), 0);
    EXPECT_TRUE(fs::is_empty(dir / "folder"));
}

// A user who may write the file but not its folder: no scratch file can be made, so the text
// goes into the file itself, which stays root's.
TEST(WholeFile, AFolderThatTakesNoNewFileGetsTheTextInPlace)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    test::TempDir dir;
    const fs::path folder = dir / "etc";
    fs::create_directories(folder);
    test::writeFile(folder / "net.SEN", "a longer old text");
    ::chmod(dir.path().c_str(), 0755);
    ::chmod(folder.c_str(), 0755);
    ::chmod((folder / "net.SEN").c_str(), 0666);
    int status = 0;
    const std::string complaint = test::runInChild({ [] { return ::setresuid(65534, 65534, 65534) == 0 ? 0 : 3; },
                                                       [&] {
                                                           const int result = replaceFollowingLinks(folder / "net.SEN", "new");
                                                           return result == 0 ? std::string() : core::fileErrorText(result);
                                                       } },
        status);
    EXPECT_EQ(complaint, "");
    EXPECT_EQ(test::readFile(folder / "net.SEN"), "new");
    EXPECT_EQ(statOf(folder / "net.SEN").st_uid, 0u);
    EXPECT_EQ(hiddenEntries(folder), 0);
}

TEST(WholeFile, AFullDiskKeepsTheOldFile)
{
    RUN_IN_PRIVATE_MOUNTS();
    test::TempDir dir;
    const fs::path small = dir / "small";
    fs::create_directories(small);
    test::mustRun("mount -t tmpfs -o size=16k tmpfs " + small.string());
    EXPECT_EQ(core::writeWholeFile((small / "sen.prom").string(), "old\n"), 0);
    EXPECT_EQ(core::writeWholeFile((small / "sen.prom").string(), std::string(64 * 1024, 'x')), ENOSPC);
    EXPECT_EQ(test::readFile(small / "sen.prom"), "old\n");
    EXPECT_EQ(hiddenEntries(small), 0);
    test::mustRun("umount " + small.string());
}

TEST(FileClaim, OneClaimPerFileThatOurOwnSavesKeep)
{
    test::TempDir dir;
    const fs::path file = dir / "net.SEN";
    test::writeFile(file, "old");
    // Locks of two open files conflict within one process too: a second object is a second claimant.
    core::FileClaim first;
    core::FileClaim second;
    EXPECT_EQ(first.claim(file.string()), core::FileClaim::Result::Claimed);
    EXPECT_EQ(second.claim(file.string()), core::FileClaim::Result::Taken);
    // A save is not held up by the claim, and the new file is claimed as the old one was.
    EXPECT_EQ(replaceFollowingLinks(file, "new"), 0);
    EXPECT_EQ(second.claim(file.string()), core::FileClaim::Result::Taken);
    first.release();
    EXPECT_EQ(second.claim(file.string()), core::FileClaim::Result::Claimed);
    EXPECT_EQ(first.claim((dir / "missing").string()), core::FileClaim::Result::Unclaimable);
}
