// Owner and group: run as root the mirror keeps them, as cp -a and rsync -a do; run as anyone
// else it leaves them to the user who runs it, without a word.

#include "MirrorFixture.h"
#include "OtherUser.h"

#include <sstream>
#include <unistd.h>

namespace {

constexpr uid_t Owner = 12345;
constexpr gid_t Group = 23456;

std::pair<uid_t, gid_t> ownerOf(const fs::path& path)
{
    struct stat st
    {
    };
    lstat(path.c_str(), &st);
    return { st.st_uid, st.st_gid };
}

struct OwnerFixture : MirrorFixture
{
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "only root can give files to another user";
        MirrorFixture::SetUp();
    }
    void makeTree(const fs::path& root)
    {
        write(root / "f.txt", "f");
        write(root / "sub" / "g.txt", "g");
        fs::create_symlink("f.txt", root / "link");
        for (const auto& entry : fs::recursive_directory_iterator(root))
            lchown(entry.path().c_str(), Owner, Group);
        chown(root.c_str(), Owner, Group);
    }
};

} // namespace

TEST_F(OwnerFixture, RunAsRootTheMirrorKeepsOwnersOfFilesFoldersAndLinks)
{
    makeTree(source);
    chmod((source / "f.txt").c_str(), 04755); // a set-user-id bit survives the change of owner
    run(); // one copy of the whole folder
    const std::pair<uid_t, gid_t> expected { Owner, Group };
    for (const char* name : { "", "f.txt", "sub", "sub/g.txt", "link" })
        EXPECT_EQ(ownerOf(destination / name), expected) << name;
    EXPECT_EQ(fs::status(destination / "f.txt").permissions(), fs::perms(04755));

    // File by file: new and changed entries, and unchanged ones whose owner alone differs.
    write(source / "new.txt", "n");
    lchown((source / "new.txt").c_str(), Owner, Group);
    write(source / "sub" / "g.txt", "changed", 1700000500);
    lchown((source / "sub" / "g.txt").c_str(), Owner, Group);
    lchown((destination / "f.txt").c_str(), 0, 0);
    lchown((destination / "link").c_str(), 0, 0);
    chown((destination / "sub").c_str(), 0, 0);
    run();
    for (const char* name : { "new.txt", "sub/g.txt", "f.txt", "link", "sub" })
        EXPECT_EQ(ownerOf(destination / name), expected) << name;
    EXPECT_EQ(read(destination / "sub" / "g.txt"), "changed");
    EXPECT_FALSE(fs::exists(deleted() / "f.txt")); // a change of owner copies nothing
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(OwnerFixture, RunAsAnotherUserTheMirrorLeavesOwnersAlone)
{
    write(source / "f.txt", "f");
    write(source / "sub" / "g.txt", "g");
    write(destination / "sub" / "old.txt", "o");
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        lchown(entry.path().c_str(), test::OtherUid, test::OtherGid);
    chown(dir.path().c_str(), test::OtherUid, test::OtherGid);
    // A file the user may read but does not own: its copy belongs to the user.
    write(source / "theirs.txt", "t");
    chmod((source / "theirs.txt").c_str(), 0644);
    lchown((source / "theirs.txt").c_str(), Owner, Group);

    bool skipped = false;
    const std::string complaint = test::asOtherUser(
        [&] {
            std::ostringstream c;
            run();
            for (const auto& e : errorLines())
                c << e << "\n";
            if (ownerOf(destination / "theirs.txt") != std::pair<uid_t, gid_t> { test::OtherUid, test::OtherGid })
                c << "the copy does not belong to the user who ran the mirror\n";
            if (read(destination / "sub" / "g.txt") != "g")
                c << "not mirrored\n";
            return c.str();
        },
        skipped);
    EXPECT_EQ(complaint, "");
}
