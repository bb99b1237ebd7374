#include "MirrorFixture.h"

#include "common/core/Trash.h"

#include <QDateTime>
#include <QUrl>

#include <functional>
#include <map>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

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
            keys[eq == std::string::npos ? line : line.substr(0, eq)] = eq == std::string::npos ? "" : line.substr(eq + 1);
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

TEST(Trash, MissingItemFailsWithItsError)
{
    const auto result = core::moveToTrash("/nonexistent-for-trash-test/x");
    EXPECT_EQ(result.outcome, core::TrashResult::Outcome::Failed);
    EXPECT_EQ(result.error, ENOENT);
}

namespace {

// Runs `body` in a child process with a mount namespace of its own, where a fresh tmpfs stands
// for another file system. Returns the child's complaint, "" when all was well; `skipped` when
// the machine gives no mount namespace.
std::string inMountNamespace(const std::function<std::string()>& body, bool& skipped)
{
    int channel[2];
    if (pipe(channel) != 0)
        return "pipe failed";
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string complaint;
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            _exit(77);
        complaint = body();
        if (write(channel[1], complaint.data(), complaint.size()) < 0)
            _exit(2);
        _exit(complaint.empty() ? 0 : 1);
    }
    close(channel[1]);
    std::string complaint;
    char buffer[512];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        complaint.append(buffer, static_cast<size_t>(n));
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
    if (!WIFEXITED(status))
        return "child died";
    return complaint;
}

} // namespace

TEST(Trash, ItemsOnAnotherFileSystemGoToThatFileSystemsTopTrash)
{
    test::TempDir dir;
    const fs::path volume = dir / "volume";
    fs::create_directories(volume);
    bool skipped = false;
    const std::string complaint = inMountNamespace(
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
