// Where a program keeps its settings and log: beside itself in a folder of its own, in the
// user's XDG folders when its folder is read-only, not the user's, or a system program folder.

#include "common/core/ProgramPaths.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sys/mount.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one scope; unset when `value` is empty.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const std::string& value)
        : m_name(name)
    {
        if (const char* old = std::getenv(name))
            m_old = old;
        if (value.empty())
            ::unsetenv(name);
        else
            ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv()
    {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A folder made read-only by a bind mount of itself; unmounted again before the folder goes.
class ReadOnlyMount
{
public:
    explicit ReadOnlyMount(const fs::path& folder)
        : m_folder(folder)
    {
        test::mustRun("mount --bind " + folder.string() + " " + folder.string());
        test::mustRun("mount -o remount,bind,ro " + folder.string());
    }
    ~ReadOnlyMount() { ::umount2(m_folder.c_str(), MNT_DETACH); }
    ReadOnlyMount(const ReadOnlyMount&) = delete;
    ReadOnlyMount& operator=(const ReadOnlyMount&) = delete;

private:
    fs::path m_folder;
};

mode_t modeOf(const fs::path& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

} // namespace

TEST(ProgramPaths, TheRuleOnGivenFoldersAndEnvironment)
{
    using core::ProgramFolder;
    const core::UserFolders xdg { "/x/config", "/x/state", "/home/u" };
    const core::UserFolders homeOnly { "", "", "/home/u" };
    const core::UserFolders relative { "config", "state", "/home/u" };
    const core::UserFolders nobody { "", "", "" };
    const struct
    {
        const char* program;
        ProgramFolder folder;
        core::UserFolders user;
        const char* settings;
        const char* log;
    } cases[] = {
        { "/opt/rpl/RPL", ProgramFolder::Own, xdg, "/opt/rpl/RPL.INI", "/opt/rpl/RPL.LOG" },
        { "/usr/bin/SEN", ProgramFolder::Foreign, xdg, "/x/config/SEN/SEN.INI", "/x/state/SEN/SEN.LOG" },
        { "/usr/bin/SEN",
            ProgramFolder::Foreign,
            homeOnly,
            "/home/u/.config/SEN/SEN.INI",
            "/home/u/.local/state/SEN/SEN.LOG" },
        { "/usr/bin/RPL",
            ProgramFolder::Foreign,
            relative,
            "/home/u/.config/RPL/RPL.INI",
            "/home/u/.local/state/RPL/RPL.LOG" },
        { "/mnt/cd/RPL.EXE", ProgramFolder::Foreign, xdg, "/x/config/RPL/RPL.INI", "/x/state/RPL/RPL.LOG" },
        // With nowhere else to go the files stay beside the program; writing them reports the error.
        { "/usr/bin/SEN", ProgramFolder::Foreign, nobody, "/usr/bin/SEN.INI", "/usr/bin/SEN.LOG" },
    };
    for (const auto& c : cases) {
        const core::ProgramFiles files = core::programFilesFor(c.program, c.folder, c.user);
        EXPECT_EQ(files.settings, c.settings) << c.program;
        EXPECT_EQ(files.log, c.log) << c.program;
    }
}

TEST(ProgramPaths, UserFoldersComeFromTheEnvironment)
{
    const ScopedEnv config("XDG_CONFIG_HOME", "/c");
    const ScopedEnv state("XDG_STATE_HOME", "relative/state");
    const ScopedEnv home("HOME", "/h");
    const core::UserFolders user = core::UserFolders::fromEnvironment();
    EXPECT_EQ(user.configHome(), "/c");
    EXPECT_EQ(user.stateHome(), "/h/.local/state");

    // A service started without HOME still finds its home folder in the password database.
    const ScopedEnv noHome("HOME", "");
    EXPECT_TRUE(core::UserFolders::fromEnvironment().home.starts_with('/'));
}

TEST(ProgramPaths, OwnFolderOnlyWhereWritableAndOutsideTheSystemFolders)
{
    test::TempDir dir;
    fs::create_directories(dir / "bin");
    fs::create_directory_symlink("/usr/bin", dir / "usrbin");
    const struct
    {
        std::string program;
        core::ProgramFolder folder;
    } cases[] = {
        { (dir / "bin" / "RPL").string(), core::ProgramFolder::Own },
        { (dir / "missing" / "RPL").string(), core::ProgramFolder::Foreign },
        // root may write these, but they belong to the package manager
        { "/usr/bin/SEN", core::ProgramFolder::Foreign },
        { "/usr/local/bin/SEN", core::ProgramFolder::Foreign },
        { (dir / "usrbin" / "SEN").string(), core::ProgramFolder::Foreign },
    };
    for (const auto& c : cases)
        EXPECT_EQ(core::programFolderOf(c.program), c.folder) << c.program;

    // Beside a program in a folder of its own, as always, whatever the environment says.
    const ScopedEnv config("XDG_CONFIG_HOME", (dir / "config").string());
    EXPECT_EQ(core::settingsPathFor((dir / "bin" / "RPL").string()), (dir / "bin" / "RPL.INI").string());
    EXPECT_EQ(core::logPathFor((dir / "bin" / "RPL").string()), (dir / "bin" / "RPL.LOG").string());
    EXPECT_FALSE(fs::exists(dir / "config"));
}

// access(2) lets root write anywhere but on a read-only file system, so the read-only case is a
// read-only bind mount in a mount namespace of the test's own.
TEST(ProgramPaths, ReadOnlyProgramFolderUsesTheUsersFoldersMadeAtTheFirstWrite)
{
    RUN_IN_PRIVATE_MOUNTS();
    test::TempDir dir;
    const fs::path bin = dir / "bin";
    fs::create_directories(bin);
    const fs::path home = dir / "home";
    fs::create_directories(home);
    const ReadOnlyMount readOnly(bin);
    const ScopedEnv config("XDG_CONFIG_HOME", "");
    const ScopedEnv state("XDG_STATE_HOME", (dir / "state with blank").string());
    const ScopedEnv homeVariable("HOME", home.string());

    const std::string program = (bin / "SEN").string();
    EXPECT_EQ(core::programFolderOf(program), core::ProgramFolder::Foreign);
    EXPECT_EQ(core::settingsPathFor(program), (home / ".config" / "SEN" / "SEN.INI").string());
    EXPECT_EQ(core::logPathFor(program), (dir / "state with blank" / "SEN" / "SEN.LOG").string());
    // Naming the files makes nothing; a write into the user's folders makes them, private to
    // the user, and a write anywhere else makes none.
    EXPECT_FALSE(fs::exists(home / ".config"));
    EXPECT_FALSE(core::makeUserFolderFor((dir / "elsewhere" / "x.SEN").string()));
    EXPECT_FALSE(fs::exists(dir / "elsewhere"));
    EXPECT_TRUE(core::makeUserFolderFor(core::settingsPathFor(program)));
    EXPECT_TRUE(core::makeUserFolderFor(core::logPathFor(program)));
    EXPECT_FALSE(core::makeUserFolderFor(core::logPathFor(program)));
    EXPECT_EQ(modeOf(home / ".config"), 0700u);
    EXPECT_EQ(modeOf(home / ".config" / "SEN"), 0700u);
    EXPECT_EQ(modeOf(dir / "state with blank" / "SEN"), 0700u);
    EXPECT_FALSE(fs::exists(home / ".local"));
}

// The Help menu's read-me: the installed one, else the one beside a program of its own.
TEST(ProgramPaths, TheReadMeInstalledOrBesideTheProgram)
{
    test::TempDir dir;
    const std::string program = (dir / "usr" / "bin" / "SEN").string();
    const fs::path installed = dir / "usr" / "share" / "doc" / "senvigil" / "README.md";
    const fs::path beside = dir / "usr" / "bin" / "README.md";
    EXPECT_EQ(core::installedReadMeFor(program, "senvigil"), installed.string());
    EXPECT_EQ(core::readMeFileFor(program, "senvigil"), std::nullopt);
    test::writeFile(beside, "x");
    EXPECT_EQ(core::readMeFileFor(program, "senvigil"), beside.string());
    test::writeFile(installed, "x");
    EXPECT_EQ(core::readMeFileFor(program, "senvigil"), installed.string());
}
