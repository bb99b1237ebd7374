// Moving items into the freedesktop.org trash, on the home file system and on another one.

#include "common/core/Trash.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

TEST(Trash, MissingItemFailsWithItsError)
{
    const auto result = core::moveToTrash("/nonexistent-for-trash-test/x");
    EXPECT_EQ(result.outcome, core::TrashResult::Outcome::Failed);
    EXPECT_EQ(result.error, ENOENT);
}

TEST(Trash, ItemsOnAnotherFileSystemGoToThatFileSystemsTopTrash)
{
    test::TempDir dir;
    const fs::path volume = dir / "volume";
    fs::create_directories(volume);
    bool skipped = false;
    const std::string complaint = test::inMountNamespace(
        [&]() -> std::string {
            if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=4m") != 0)
                return "cannot mount a tmpfs";
            setenv("XDG_DATA_HOME", (dir / "home-data").c_str(), 1); // the home trash lies elsewhere
            test::writeFile(volume / "sub" / "file one.txt", "1");
            auto result = core::moveToTrash((volume / "sub" / "file one.txt").string());
            const fs::path own = volume / (".Trash-" + std::to_string(geteuid()));
            if (result.outcome != core::TrashResult::Outcome::Trashed)
                return "not trashed, error " + std::to_string(result.error);
            if (result.trashedPath != (own / "files" / "file one.txt").string())
                return "trashed into " + result.trashedPath;
            if (test::readFile(result.infoPath).find("\nPath=sub/file%20one.txt\n") == std::string::npos)
                return "info: " + test::readFile(result.infoPath);
            if (fs::exists(dir / "home-data" / "Trash" / "files"))
                return "the home trash took an item of another file system";

            // An administrator's shared, sticky .Trash takes precedence: .Trash/$uid.
            fs::create_directories(volume / ".Trash");
            chmod((volume / ".Trash").c_str(), 01777);
            test::writeFile(volume / "two.txt", "2");
            result = core::moveToTrash((volume / "two.txt").string());
            const fs::path shared = volume / ".Trash" / std::to_string(geteuid()) / "files" / "two.txt";
            if (result.trashedPath != shared.string() || test::readFile(shared) != "2")
                return "shared trash not used: " + result.trashedPath;
            return "";
        },
        skipped);
    if (skipped)
        GTEST_SKIP() << "no mount namespace on this machine";
    EXPECT_EQ(complaint, "");
}

// A path through a link is trashed by its real path, into the trash of the mount the item
// really lives on; a bind mount counts as a mount of its own; where no trash can be made the
// item stays where it was.
TEST(Trash, ItemsAreTrashedByTheirRealPathOnTheirOwnMount)
{
    test::TempDir dir;
    const fs::path volume = dir / "volume";
    const fs::path real = dir / "real";
    const fs::path bind = dir / "bind";
    fs::create_directories(volume);
    fs::create_directories(real);
    fs::create_directories(bind);
    bool skipped = false;
    const std::string complaint = test::inMountNamespace(
        [&]() -> std::string {
            if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=4m") != 0
                || mount(real.c_str(), bind.c_str(), nullptr, MS_BIND, nullptr) != 0)
                return "cannot mount";
            setenv("XDG_DATA_HOME", (dir / "home-data").c_str(), 1); // on the disk of `real`
            const std::string uid = std::to_string(geteuid());

            // Through a link to a folder on the tmpfs.
            test::writeFile(volume / "folder" / "sub" / "f.txt", "f");
            fs::create_directory_symlink(volume / "folder", dir / "link");
            auto result = core::moveToTrash((dir / "link" / "sub").string());
            if (result.outcome != core::TrashResult::Outcome::Trashed)
                return "a folder behind a link was not trashed, error " + std::to_string(result.error);
            if (result.trashedPath != (volume / (".Trash-" + uid) / "files" / "sub").string())
                return "trashed into " + result.trashedPath;
            if (test::readFile(result.infoPath).find("\nPath=folder/sub\n") == std::string::npos)
                return "info: " + test::readFile(result.infoPath);

            // On a bind mount of a folder of the home trash's disk: the rename into the home
            // trash would fail, so the bind mount's own top folder holds the trash.
            test::writeFile(real / "b.txt", "b");
            result = core::moveToTrash((bind / "b.txt").string());
            if (result.outcome != core::TrashResult::Outcome::Trashed)
                return "an item on a bind mount was not trashed, error " + std::to_string(result.error);
            if (test::readFile(bind / (".Trash-" + uid) / "files" / "b.txt") != "b")
                return "the bind mount's trash does not hold the item: " + result.trashedPath;

            // No trash can be made: a file stands where it would be.
            test::writeFile(volume / "c.txt", "c");
            fs::remove_all(volume / (".Trash-" + uid));
            test::writeFile(volume / (".Trash-" + uid), "in the way");
            result = core::moveToTrash((volume / "c.txt").string());
            if (result.outcome != core::TrashResult::Outcome::NoTrash)
                return "no trash was not told";
            if (test::readFile(volume / "c.txt") != "c")
                return "the item moved although no trash took it";
            return "";
        },
        skipped);
    if (skipped)
        GTEST_SKIP() << "no mount namespace on this machine";
    EXPECT_EQ(complaint, "");
}
