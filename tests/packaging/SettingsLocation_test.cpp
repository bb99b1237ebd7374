// The settings rule as a user meets it: the real RPL, copied into a read-only program folder,
// reads its settings from $XDG_CONFIG_HOME and writes its default log under the XDG state
// folder; a copy in a folder of its own keeps both beside itself, whatever XDG says.

#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <filesystem>
#include <sys/mount.h>

namespace fs = std::filesystem;

namespace {

struct Installed : ::testing::Test
{
    test::TempDir dir;
    fs::path source = dir / "source";
    fs::path home = dir / "home";
    fs::path config = dir / "config";
    std::string output;

    void SetUp() override
    {
        test::writeFile(source / "a.txt", "alpha");
        fs::create_directories(home);
    }

    fs::path copyProgram(const std::string& folder)
    {
        const fs::path program = dir / folder / "RPL";
        fs::create_directories(program.parent_path());
        fs::copy_file(RPL_BINARY, program);
        return program;
    }

    // Settings with one pair into `destination` and the log on, at its default path.
    static void writeSettings(const fs::path& ini, const fs::path& from, const fs::path& destination)
    {
        test::writeFile(ini,
            "[RPL]\r\nFolderCount=1\r\nFolder0=+" + from.string() + " >> " + destination.string()
                + "\r\nLogFileEnable=1\r\n");
    }

    // RPL /BATCH /CONSOLE without a display, HOME and XDG_CONFIG_HOME set, XDG_STATE_HOME unset.
    int run(const fs::path& program)
    {
        QProcess process;
        auto env = QProcessEnvironment::systemEnvironment();
        for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_STATE_HOME" })
            env.remove(name);
        env.insert("HOME", QString::fromStdString(home.string()));
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config.string()));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QString::fromStdString(program.string()), { "/BATCH", "/CONSOLE" });
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return -1;
        output = process.readAll().toStdString();
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

} // namespace

TEST_F(Installed, AProgramInAReadOnlyFolderUsesTheUsersFolders)
{
    RUN_IN_PRIVATE_MOUNTS();
    const fs::path program = copyProgram("bin");
    test::mustRun("mount --bind " + program.parent_path().string() + " " + program.parent_path().string());
    test::mustRun("mount -o remount,bind,ro " + program.parent_path().string());
    writeSettings(config / "RPL" / "RPL.INI", source, dir / "mirror");

    EXPECT_EQ(run(program), 0) << output;
    EXPECT_EQ(test::readFile(dir / "mirror" / "a.txt"), "alpha");
    const std::string log = test::readFile(home / ".local" / "state" / "RPL" / "RPL.LOG");
    EXPECT_NE(log.find("====================\r\n"), std::string::npos) << output;
    ::umount2(program.parent_path().c_str(), MNT_DETACH);
}

TEST_F(Installed, AProgramInAFolderOfItsOwnKeepsItsFilesBesideItself)
{
    const fs::path program = copyProgram("own");
    writeSettings(dir / "own" / "RPL.INI", source, dir / "beside");
    writeSettings(config / "RPL" / "RPL.INI", source, dir / "xdg");

    EXPECT_EQ(run(program), 0) << output;
    EXPECT_EQ(test::readFile(dir / "beside" / "a.txt"), "alpha");
    EXPECT_FALSE(fs::exists(dir / "xdg"));
    EXPECT_TRUE(fs::exists(dir / "own" / "RPL.LOG"));
    EXPECT_FALSE(fs::exists(home / ".local"));
}
