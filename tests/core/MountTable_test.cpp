// The mount table: parsing mountinfo, finding the mount of a path, and seeing through a bind
// mount to the folder it shows.

#include "common/core/MountTable.h"
#include "tests/support/MountNamespace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

const char* const Sample = "22 27 0:21 / /proc rw,relatime - proc proc rw\n"
                           "27 1 254:0 / / rw,relatime shared:1 - ext4 /dev/vda rw\n"
                           "40 27 254:0 /srv/data /mnt/with\\040blank rw master:2 - ext4 /dev/vda rw\n"
                           "41 27 0:50 / /mnt rw - tmpfs tmpfs rw\n"
                           "42 41 0:51 / /mnt rw - tmpfs tmpfs rw\n"
                           "not a mount line\n"
                           "43 27 x:1 / /bad rw - ext4 /dev/x rw\n";

} // namespace

TEST(MountTable, ParsesMountinfoAndSkipsMalformedLines)
{
    const auto table = core::MountTable::parse(Sample);
    ASSERT_EQ(table.entries().size(), 5u);
    const core::MountEntry& bind = table.entries()[2];
    EXPECT_EQ(bind.id, 40);
    EXPECT_EQ(bind.parentId, 27);
    EXPECT_EQ(bind.major, 254u);
    EXPECT_EQ(bind.minor, 0u);
    EXPECT_EQ(bind.root, "/srv/data");
    EXPECT_EQ(bind.mountPoint, "/mnt/with blank");
    EXPECT_EQ(bind.fsType, "ext4");
}

TEST(MountTable, PlacesSeeThroughBindMountsAndStackedMounts)
{
    const auto table = core::MountTable::parse(Sample);
    // Paths that do not exist on this machine fall back to the longest mount point.
    const struct
    {
        const char* path;
        unsigned minor;
        const char* place;
    } cases[] = {
        { "/no-such-top/x", 0, "/no-such-top/x" },
        { "/mnt/with blank/sub/f", 0, "/srv/data/sub/f" },
        { "/mnt/with blank", 0, "/srv/data" },
        { "/mnt/other", 51, "/other" }, // the later of two mounts on /mnt is on top
        { "/mnt/with blanks", 51, "/with blanks" },
    };
    for (const auto& c : cases) {
        const auto place = table.placeOf(c.path);
        ASSERT_TRUE(place) << c.path;
        EXPECT_EQ(place->minor, c.minor) << c.path;
        EXPECT_EQ(place->path, c.place) << c.path;
    }
    EXPECT_EQ(table.mountsBelow("/mnt").size(), 1u); // /mnt/with blank, not /mnt itself
    EXPECT_EQ(table.mountsBelow("/").size(), 4u);
    EXPECT_FALSE(core::MountTable::parse("").placeOf("/x"));
}

TEST(MountTable, PathWithinComparesWholeComponents)
{
    EXPECT_TRUE(core::pathWithin("/a/b", "/a"));
    EXPECT_TRUE(core::pathWithin("/a", "/a"));
    EXPECT_TRUE(core::pathWithin("/a", "/"));
    EXPECT_FALSE(core::pathWithin("/ab", "/a"));
    EXPECT_FALSE(core::pathWithin("/a", "/a/b"));
}

TEST(MountTable, TheKernelsMountIdFindsABindMount)
{
    test::TempDir dir;
    const fs::path real = dir / "real";
    const fs::path bind = dir / "bind";
    fs::create_directories(real / "sub");
    fs::create_directories(bind);
    bool skipped = false;
    const std::string complaint = test::inMountNamespace(
        [&]() -> std::string {
            if (mount(real.c_str(), bind.c_str(), nullptr, MS_BIND, nullptr) != 0)
                return "cannot bind-mount";
            const auto table = core::MountTable::current();
            const core::MountEntry* mount = table.mountOf((bind / "sub").string());
            if (!mount || mount->mountPoint != bind.string())
                return "the bind mount was not found";
            const auto place = table.placeOf((bind / "sub").string());
            const auto original = table.placeOf((real / "sub").string());
            if (!place || !original || place->path != original->path || place->major != original->major
                || place->minor != original->minor)
                return "the two views of one folder have different places";
            if (core::mountIdOf(bind.string()) == core::mountIdOf(real.string()))
                return "the bind mount has the id of its folder's mount";
            return "";
        },
        skipped);
    if (skipped)
        GTEST_SKIP() << "no mount namespace on this machine";
    EXPECT_EQ(complaint, "");
}
