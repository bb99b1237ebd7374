// Destinations reached through links and mounts: the trash of the mount an item really lives
// on, the DELETED folder where no trash can take it, and pairs that overlap through a bind
// mount. Mounts are made in a private mount namespace of a forked child.

#include "MirrorFixture.h"

#include "tests/support/MountNamespace.h"

#include <sstream>
#include <sys/mount.h>
#include <unistd.h>

namespace {

// Collects what a check in the child found wrong, one line each.
struct Complaints
{
    std::ostringstream text;
    void expect(bool ok, const std::string& what)
    {
        if (!ok)
            text << what << "\n";
    }
    std::string str() const { return text.str(); }
};

struct MountFixture : MirrorFixture
{
    fs::path dataHome = dir / "data-home";
    std::string uid = std::to_string(geteuid());

    void SetUp() override
    {
        MirrorFixture::SetUp();
        if (const char* v = std::getenv("XDG_DATA_HOME"))
            savedDataHome = v;
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
    }
    void TearDown() override
    {
        if (savedDataHome.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    }
    std::string savedDataHome;

    // Runs `body` in a child with its own mounts; skips where the machine gives none.
    void inNamespace(const std::function<std::string()>& body)
    {
        bool skipped = false;
        // An exception must not leave the child running the rest of the suite.
        const auto guarded = [&]() -> std::string {
            try {
                return body();
            } catch (const std::exception& e) {
                return std::string("exception: ") + e.what();
            }
        };
        const std::string complaint = test::inMountNamespace(guarded, skipped);
        if (skipped)
            GTEST_SKIP() << "no mount namespace on this machine";
        EXPECT_EQ(complaint, "");
    }
    bool hasLine(const std::string& start) const
    {
        for (const auto& line : frontEnd.activityLines)
            if (line.rfind(start, 0) == 0)
                return true;
        return false;
    }
};

} // namespace

TEST_F(MountFixture, TrashThroughALinkToAnotherFileSystemUsesThatFileSystemsTrash)
{
    const fs::path volume = dir / "volume";
    fs::create_directories(volume);
    settings.delOption = true;
    inNamespace([&] {
        Complaints c;
        if (mount("tmpfs", volume.c_str(), "tmpfs", 0, "size=4m") != 0)
            return std::string("cannot mount a tmpfs");
        write(volume / "target" / "f.txt", "file");
        write(volume / "target" / "sub" / "x.txt", "in a folder");
        fs::create_directory_symlink(volume / "target", destination);
        run();
        const fs::path trash = volume / (".Trash-" + uid);
        c.expect(read(trash / "files" / "f.txt") == "file", "the file is not in the volume's trash");
        c.expect(read(trash / "files" / "sub" / "x.txt") == "in a folder", "the folder is not in the volume's trash");
        c.expect(read(trash / "info" / "f.txt.trashinfo").find("\nPath=target/f.txt\n") != std::string::npos,
            "the trash info does not name the real path: " + read(trash / "info" / "f.txt.trashinfo"));
        c.expect(!fs::exists(volume / "target" / "f.txt"), "the file is still in the destination");
        c.expect(errorLines().empty(), "error lines were written");
        c.expect(fs::is_symlink(destination), "the destination link was replaced");
        return c.str();
    });
}

TEST_F(MountFixture, BindMountedDestinationOnTheHomeDiskKeepsItsItemsInATrash)
{
    const fs::path real = dir / "real";
    write(real / "f.txt", "file");
    write(real / "sub" / "x.txt", "in a folder");
    fs::create_directories(destination);
    settings.delOption = true;
    inNamespace([&] {
        Complaints c;
        if (mount(real.c_str(), destination.c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("cannot bind-mount");
        run();
        // The bind mount is its own mount: its top folder holds the trash.
        const fs::path trash = destination / (".Trash-" + uid);
        c.expect(read(trash / "files" / "f.txt") == "file", "the file is lost");
        c.expect(read(trash / "files" / "sub" / "x.txt") == "in a folder", "the folder is lost");
        c.expect(!fs::exists(destination / "f.txt"), "the file is still in the destination");
        c.expect(errorLines().empty(), "error lines were written");
        return c.str();
    });
}

TEST_F(MountFixture, WhereNoTrashCanTakeAnItemItGoesIntoTheDeletedFolder)
{
    settings.delOption = true;
    write(source / "changed.txt", "new", 1600000100);
    inNamespace([&] {
        Complaints c;
        fs::create_directories(destination);
        if (mount("tmpfs", destination.c_str(), "tmpfs", 0, "size=4m") != 0)
            return std::string("cannot mount a tmpfs");
        // A file where the volume's trash would be, and no shared .Trash: no trash at all.
        write(destination / (".Trash-" + uid), "in the way");
        write(destination / "gone.txt", "gone");
        write(destination / "changed.txt", "old", 1600000000);
        write(destination / "olddir" / "x.txt", "x");
        run();
        c.expect(read(deleted() / "gone.txt") == "gone", "the removed file is lost");
        c.expect(read(deleted() / "changed.txt") == "old", "the old version is lost");
        c.expect(read(deleted() / "olddir" / "x.txt") == "x", "the removed folder is lost");
        c.expect(read(destination / "changed.txt") == "new", "the changed file was not copied");
        c.expect(hasLine(" * No trash for " + (destination / "gone.txt").string() + ", moved into "),
            "no line says where the file went");
        c.expect(errorLines().empty(), "error lines were written");
        return c.str();
    });
}

TEST_F(MountFixture, PairsThatOverlapThroughABindMountAreRefusedUntouched)
{
    write(source / "inner" / "keepme", "keep");
    write(source / "top.txt", "top");
    const fs::path bind = dir / "bind";
    const fs::path other = dir / "other-source";
    write(other / "o.txt", "o");
    fs::create_directories(bind);
    fs::create_directories(other / "mnt");
    settings.folders.clear();
    settings.folders.add(source.string(), bind.string()); // bind shows source/inner
    settings.folders.add(other.string(), destination.string()); // other/mnt shows the destination
    settings.folders.add((source / "inner").string(), (dir / "fine").string());
    settings.skipCopyFolderError = true;
    inNamespace([&] {
        Complaints c;
        fs::create_directories(destination);
        if (mount((source / "inner").c_str(), bind.c_str(), nullptr, MS_BIND, nullptr) != 0
            || mount(destination.c_str(), (other / "mnt").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("cannot bind-mount");
        run();
        c.expect(read(source / "inner" / "keepme") == "keep", "the source was changed");
        c.expect(!fs::exists(source / "inner" / "DELETED"), "a DELETED folder was made in the source");
        c.expect(!fs::exists(source / "inner" / "top.txt"), "the source was copied into itself");
        c.expect(!fs::exists(destination / "o.txt"), "a pair that holds its own destination ran");
        c.expect(errorLines().size() == 2, "not one error line per refused pair");
        c.expect(read(dir / "fine" / "keepme") == "keep", "the run did not go on");
        return c.str();
    });
}
