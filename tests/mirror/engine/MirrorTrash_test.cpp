#include "MirrorFixture.h"

#include "common/core/Trash.h"

#include <QDateTime>
#include <QUrl>

#include <map>
#include <sstream>

namespace {

// Points the home trash into the test's own folder for the test's lifetime.
struct TrashFixture : MirrorFixture
{
    std::string savedDataHome;
    fs::path dataHome = dir / "data-home"; // deliberately missing: the trash must create it

    void SetUp() override
    {
        MirrorFixture::SetUp();
        if (const char* v = std::getenv("XDG_DATA_HOME"))
            savedDataHome = v;
        setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
        settings.delOption = true;
    }
    void TearDown() override
    {
        if (savedDataHome.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    }
    fs::path trash() const { return dataHome / "Trash"; }

    std::map<std::string, std::string> info(const std::string& name) const
    {
        std::map<std::string, std::string> keys;
        std::istringstream in(read(trash() / "info" / (name + ".trashinfo")));
        std::string line;
        while (std::getline(in, line)) {
            const auto eq = line.find('=');
            keys[eq == std::string::npos ? line : line.substr(0, eq)]
                = eq == std::string::npos ? "" : line.substr(eq + 1);
        }
        return keys;
    }
};

} // namespace

TEST_F(TrashFixture, RemovedItemsGoToTheHomeTrashWithInfoFiles)
{
    write(source / "keep.txt", "k", 1600000000);
    write(source / "changed.txt", "new", 1600000100);
    write(destination / "keep.txt", "k", 1600000000);
    write(destination / "changed.txt", "old", 1600000000);
    write(destination / "gone ä%.txt", "gone");
    write(destination / "olddir" / "x.txt", "x");
    const auto before = QDateTime::currentDateTime().addSecs(-2);
    run();

    EXPECT_EQ(read(destination / "changed.txt"), "new");
    EXPECT_EQ(read(trash() / "files" / "changed.txt"), "old");
    EXPECT_EQ(read(trash() / "files" / "gone ä%.txt"), "gone");
    EXPECT_EQ(read(trash() / "files" / "olddir" / "x.txt"), "x");
    EXPECT_FALSE(fs::exists(destination / "DELETED"));

    const auto keys = info("gone ä%.txt");
    ASSERT_TRUE(keys.count("[Trash Info]"));
    const std::string path = QUrl::fromPercentEncoding(QByteArray::fromStdString(keys.at("Path"))).toStdString();
    EXPECT_EQ(path, (destination / "gone ä%.txt").string());
    EXPECT_EQ(keys.at("Path").find(' '), std::string::npos); // percent-encoded
    const auto when = QDateTime::fromString(QString::fromStdString(keys.at("DeletionDate")), Qt::ISODate);
    EXPECT_TRUE(when.isValid());
    EXPECT_GE(when, before);
    EXPECT_TRUE(errorLines().empty());
}

TEST_F(TrashFixture, SameNameTwiceGetsTwoTrashEntries)
{
    write(destination / "a.txt", "first");
    fs::create_directories(source);
    run();
    write(destination / "a.txt", "second");
    run();
    EXPECT_EQ(read(trash() / "files" / "a.txt"), "first");
    EXPECT_EQ(read(trash() / "files" / "a.txt.2"), "second");
    EXPECT_TRUE(fs::exists(trash() / "info" / "a.txt.2.trashinfo"));
}

TEST_F(TrashFixture, LinksAreTrashedAsLinks)
{
    const fs::path target = dir / "target";
    write(target / "t.txt", "t");
    fs::create_directories(destination);
    fs::create_directory_symlink(target, destination / "link");
    fs::create_symlink("nowhere", destination / "dangling");
    run();
    EXPECT_TRUE(fs::is_symlink(trash() / "files" / "link"));
    EXPECT_TRUE(fs::is_symlink(trash() / "files" / "dangling"));
    EXPECT_EQ(read(target / "t.txt"), "t");
}
