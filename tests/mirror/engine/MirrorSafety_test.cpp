// What the mirror must never do: follow a link, lose the destination's copy, descend into its
// own output, or hang on a pipe.

#include "MirrorFixture.h"

#include <sys/stat.h>
#include <unistd.h>

TEST_F(MirrorFixture, LinksAreMirroredAsLinksAndRemovedAsLinks)
{
    const fs::path outside = dir / "outside";
    write(outside / "precious.txt", "do not touch");
    fs::create_directories(destination);
    fs::create_directory_symlink(outside, source / "to-outside");
    fs::create_symlink("../dangling", source / "dangling");
    fs::create_directory_symlink(outside, destination / "stale-link");
    fs::create_directories(source / "real");
    fs::create_directory_symlink(outside, destination / "real"); // where the source has a folder
    run();

    EXPECT_TRUE(fs::is_symlink(destination / "to-outside"));
    EXPECT_EQ(fs::read_symlink(destination / "to-outside"), outside);
    EXPECT_TRUE(fs::is_symlink(destination / "dangling"));
    EXPECT_EQ(fs::read_symlink(destination / "dangling"), "../dangling");
    EXPECT_FALSE(fs::exists(fs::symlink_status(destination / "stale-link")));
    EXPECT_TRUE(fs::is_symlink(deleted() / "stale-link"));
    EXPECT_TRUE(fs::is_directory(fs::symlink_status(destination / "real")));
    EXPECT_EQ(read(outside / "precious.txt"), "do not touch");
    EXPECT_EQ(std::distance(fs::directory_iterator(outside), fs::directory_iterator()), 1);

    // A second run finds the links equal and leaves them alone.
    frontEnd.activityLines.clear();
    run();
    EXPECT_FALSE(loggedLine(" * Replace changed file " + (destination / "to-outside").string()));
    EXPECT_TRUE(statusLine("Skip File to-outside"));

    // A changed link target is replaced, and the old link goes aside as a link.
    fs::remove(source / "dangling");
    fs::create_symlink("elsewhere", source / "dangling");
    run();
    EXPECT_EQ(fs::read_symlink(destination / "dangling"), "elsewhere");
}

TEST_F(MirrorFixture, PairsThatContainEachOtherAreRefusedUntouched)
{
    write(source / "a.txt", "a");
    settings.folders.clear();
    settings.folders.add(source.string(), (source / "backup").string());
    settings.folders.add((source / "sub").string() + "/", source.string());
    settings.folders.add(source.string(), (dir / "fine").string());
    fs::create_directories(source / "sub");
    run();
    EXPECT_FALSE(fs::exists(source / "backup"));
    EXPECT_TRUE(fs::exists(source / "a.txt"));
    EXPECT_EQ(frontEnd.messages.size(), 2u);
    EXPECT_EQ(errorLines().size(), 2u);
    EXPECT_EQ(read(dir / "fine" / "a.txt"), "a"); // the run went on
    EXPECT_EQ(engine.status().errorCount(), 2);

    settings.skipCopyFolderError = true;
    frontEnd.messages.clear();
    run();
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(MirrorFixture, SourceFileThatVanishesKeepsTheDestinationCopy)
{
    write(source / "a.txt", "new", 1600000100);
    write(source / "b.txt", "b", 1600000100);
    write(destination / "b.txt", "old b", 1600000000);
    write(destination / "a.txt", "old a", 1600000000);
    // The file disappears after the folder was listed, when the run reaches a.txt.
    frontEnd.onEvents = [&] {
        if (frontEnd.statusLines.back() == "Copy File a.txt")
            fs::remove(source / "b.txt");
    };
    run();
    EXPECT_EQ(read(destination / "a.txt"), "new");
    EXPECT_EQ(read(destination / "b.txt"), "old b");
    EXPECT_EQ(errorLines(), std::vector<std::string>{" *** ERROR! Cannot copy file " + (source / "b.txt").string()});
    EXPECT_FALSE(fs::exists(deleted() / "b.txt"));
}

TEST_F(MirrorFixture, PipesAndDevicesAreNotCopied)
{
    fs::create_directories(destination);
    ASSERT_EQ(mkfifo((source / "pipe").c_str(), 0600), 0);
    write(source / "after.txt", "after");
    run();
    EXPECT_FALSE(fs::exists(fs::symlink_status(destination / "pipe")));
    EXPECT_EQ(read(destination / "after.txt"), "after");
}

TEST_F(MirrorFixture, OldCopyThatCannotBePutAsideIsKept)
{
    write(source / "f.txt", "new", 1600000100);
    write(destination / "f.txt", "old", 1600000000);
    // A file where the DELETED folder should be: nothing can be moved into it.
    write(destination / "DELETED", "in the way");
    write(source / "DELETED", "in the way");
    setMtime(source / "DELETED", mtimeOf(destination / "DELETED"));
    run();
    EXPECT_EQ(read(destination / "f.txt"), "old");
    const auto errors = errorLines();
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0].rfind(" *** ERROR! [", 0), 0u);
    EXPECT_NE(errors[0].find("] Cannot delete old file " + (destination / "f.txt").string()), std::string::npos);
    EXPECT_EQ(errors[1], " *** ERROR! Cannot copy file " + (source / "f.txt").string());
}
