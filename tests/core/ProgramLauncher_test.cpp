// Starting another program: the words reach it unchanged and no shell reads them, the caller
// does not wait, no zombie stays behind, the caller's descriptors stay with the caller, and
// a program that cannot start is reported with its errno; started programs can be waited for.

#include "common/core/EventLoop.h"
#include "common/core/ProgramLauncher.h"
#include "common/core/StartedPrograms.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// A program that waits for the file "go" (when asked to), then writes its parent's pid, its
// open descriptors' targets and its arguments, one a line, into "out" of its folder.
struct Recorder
{
    test::TempDir dir;
    fs::path program = dir / "record args";
    fs::path out = dir / "out";
    fs::path go = dir / "go";

    Recorder()
    {
        test::writeFile(program,
            "#!/bin/sh\n"
            "here=$(dirname \"$0\")\n"
            "if [ \"$1\" = wait ]; then while [ ! -e \"$here/go\" ]; do sleep 0.02; done; fi\n"
            "{ echo \"ppid=$PPID\"; for fd in /proc/$$/fd/*; do echo \"fd=$(readlink \"$fd\")\"; done;\n"
            "  for a in \"$@\"; do echo \"arg=$a\"; done; } > \"$here/out.tmp\"\n"
            "mv \"$here/out.tmp\" \"$here/out\"\n");
        fs::permissions(program, fs::perms::owner_all);
    }

    // The recorded lines, once the program has written them.
    std::vector<std::string> lines() const
    {
        // Nothing wakes the event loop when the file appears, so look every few milliseconds.
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (!fs::exists(out) && std::chrono::steady_clock::now() < deadline)
            core::waitFor([] { return false; }, 10ms);
        std::vector<std::string> result;
        std::ifstream in(out);
        for (std::string line; std::getline(in, line);)
            result.push_back(line);
        return result;
    }
    std::vector<std::string> withPrefix(const std::string& prefix) const
    {
        std::vector<std::string> result;
        for (const std::string& line : lines()) {
            if (line.rfind(prefix, 0) == 0)
                result.push_back(line.substr(prefix.size()));
        }
        return result;
    }
};

// Children of this process that are zombies now.
int zombieChildren()
{
    int zombies = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        if (!std::getline(stat, text))
            continue;
        // "pid (name) state ppid ...": the name may hold blanks and parentheses.
        const size_t close = text.rfind(')');
        if (close == std::string::npos)
            continue;
        std::istringstream rest(text.substr(close + 1));
        char state = 0;
        int ppid = 0;
        rest >> state >> ppid;
        zombies += ppid == getpid() && state == 'Z';
    }
    return zombies;
}

} // namespace

TEST(ProgramLauncher, WordsReachTheProgramAsTheyStand)
{
    Recorder recorder;
    const std::vector<std::string> words = {
        "two words",
        "$(touch pwned)",
        "a;b",
        "'quoted'",
        "\"dq\"",
        "",
        "*",
        "tab\there",
    };
    std::vector<std::string> arguments = { recorder.program.string() };
    arguments.insert(arguments.end(), words.begin(), words.end());
    ASSERT_EQ(core::startProgram(arguments), 0);
    EXPECT_EQ(recorder.withPrefix("arg="), words);
    EXPECT_FALSE(fs::exists(recorder.dir / "pwned"));
    EXPECT_FALSE(fs::exists("pwned"));
}

TEST(ProgramLauncher, TheCallerDoesNotWaitAndNoZombieStays)
{
    Recorder recorder;
    // The program waits for a file that only this test creates after the start returned.
    ASSERT_EQ(core::startProgram({ recorder.program.string(), "wait" }), 0);
    EXPECT_FALSE(fs::exists(recorder.out));
    test::writeFile(recorder.go, "");
    const auto lines = recorder.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_NE(lines.front(), "ppid=" + std::to_string(getpid())); // adopted, not our child
    core::waitFor([] { return false; }, 100ms); // let the program's shell end
    EXPECT_EQ(zombieChildren(), 0);
}

TEST(ProgramLauncher, TheCallersDescriptorsStayWithTheCaller)
{
    Recorder recorder;
    const fs::path secret = recorder.dir / "held open";
    test::writeFile(secret, "x");
    const int inheritable = ::open(secret.c_str(), O_RDONLY); // deliberately without O_CLOEXEC
    ASSERT_GE(inheritable, 0);
    ASSERT_EQ(core::startProgram({ recorder.program.string() }), 0);
    const auto targets = recorder.withPrefix("fd=");
    ::close(inheritable);
    ASSERT_FALSE(targets.empty());
    for (const std::string& target : targets)
        EXPECT_EQ(target.find("held open"), std::string::npos) << target;
}

TEST(ProgramLauncher, AProgramThatCannotStartGivesItsErrno)
{
    test::TempDir dir;
    const fs::path plain = dir / "not executable";
    test::writeFile(plain, "#!/bin/sh\nexit 0\n");
    const fs::path noShebang = dir / "no interpreter";
    test::writeFile(noShebang, "touch \"$0.ran\"\n");
    fs::permissions(noShebang, fs::perms::owner_all);

    struct Case
    {
        std::vector<std::string> arguments;
        int error;
    };
    const std::vector<Case> cases = {
        { { "no-such-program-anywhere" }, ENOENT },
        { { (dir / "missing").string() }, ENOENT },
        { { plain.string() }, EACCES },
        { { noShebang.string() }, ENOEXEC }, // never handed to a shell
        { {}, EINVAL },
        { { "" }, EINVAL },
        { { "true", std::string("a\0b", 3) }, EINVAL },
    };
    for (const Case& c : cases)
        EXPECT_EQ(core::startProgram(c.arguments), c.error) << (c.arguments.empty() ? "(none)" : c.arguments[0]);
    EXPECT_FALSE(fs::exists(noShebang.string() + ".ran"));
    EXPECT_EQ(zombieChildren(), 0);
}

TEST(ProgramLauncher, NamesAreFoundOnThePath)
{
    EXPECT_EQ(core::findProgram("sh").empty(), false);
    EXPECT_EQ(core::findProgram("no-such-program-anywhere"), "");
    EXPECT_EQ(core::findProgram("./relative"), "./relative");
    EXPECT_EQ(core::startProgram({ "true" }), 0);
}

TEST(ProgramLauncher, CommandVariablesSplitAtBlanksOnly)
{
    struct Case
    {
        std::string text;
        std::vector<std::string> words;
    };
    const std::vector<Case> cases = {
        { "vi", { "vi" } },
        { "code --wait", { "code", "--wait" } },
        { "  emacsclient\t -c  ", { "emacsclient", "-c" } },
        { "\"my editor\" -x", { "\"my", "editor\"", "-x" } },
        { "", {} },
        { " \t ", {} },
    };
    for (const Case& c : cases)
        EXPECT_EQ(core::splitWords(c.text), c.words) << c.text;
}

// Started programs are followed until they end, also once init has adopted them, so a program
// about to exit can give them time; a wait gives up at its time-out or when asked to.
TEST(StartedPrograms, AWaitEndsWithTheLastProgramOrItsTimeOut)
{
    core::StartedPrograms programs;
    EXPECT_EQ(programs.start({ "sleep", "0.3" }), 0);
    EXPECT_EQ(programs.start({ "sleep", "0.1" }), 0);
    EXPECT_EQ(programs.start({ "no-such-program-anywhere" }), ENOENT);
    EXPECT_EQ(programs.running(), 2);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_TRUE(programs.waitForAll(10s));
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s);
    EXPECT_EQ(programs.running(), 0);

    EXPECT_EQ(programs.start({ "sleep", "3" }), 0);
    EXPECT_FALSE(programs.waitForAll(100ms));
    bool asked = false;
    core::Timer giveUp;
    giveUp.setOnTimeout([&] { asked = true; });
    giveUp.start(50, true);
    EXPECT_FALSE(programs.waitForAll(10s, [&] { return asked; }));
    EXPECT_EQ(programs.running(), 1);
}
