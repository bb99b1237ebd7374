// The run-program action with a recorder program that writes its arguments, its parent and its
// open descriptors to a file: the event words and the date words as separate arguments, text
// that a shell would act on arriving as plain words, nothing inherited, no zombie, and the
// result numbers of commands that cannot start.

#include "ControllerFixture.h"

#include "common/core/EventLoop.h"
#include "common/core/ProgramLauncher.h"
#include "monitor/core/AlertDispatcher.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sstream>

using namespace monitor;
using Words = std::vector<std::string>;

namespace {

const Words DateWords = { "6/12/26", "2:05:09", "PM" };

Words operator+(Words a, const Words& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Record
{
    Words args;
    std::vector<std::string> descriptors; // "<fd> <target>" for every fd above 2
    pid_t parent = 0;
};

} // namespace

struct RunProgram : ControllerFixture
{
    fs::path records = dir / "records";
    fs::path recorder = dir / "record.sh";
    int seen = 0;

    void SetUp() override
    {
        fs::create_directories(records);
        writeRecorder(recorder);
    }

    void writeRecorder(const fs::path& path)
    {
        test::writeFile(path,
            "#!/bin/sh\n"
            "out='"
                + records.string()
                + "'/args-$$\n"
                  "{\n"
                  "  printf 'parent %s\\n' \"$PPID\"\n"
                  "  for fd in /proc/$$/fd/*; do printf 'fd %s %s\\n' \"${fd##*/}\" \"$(readlink \"$fd\")\"; done\n"
                  "  for arg in \"$@\"; do printf 'arg %s\\n' \"$arg\"; done\n"
                  "} > \"$out.tmp\"\n"
                  "mv \"$out.tmp\" \"$out.txt\"\n");
        fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    }

    // Started (from `iniText` when given) and past the startup actions, logging, programs
    // started for real.
    void start(const std::string& iniText = "")
    {
        if (!iniText.empty())
            test::writeFile(ini, iniText);
        open();
        controller->setProgramStarter(core::startProgram);
        controller->alerts().setClock([] { return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9)); });
        controller->StartupActions();
        controller->log().setEnabled(true);
    }

    std::vector<fs::path> recordFiles() const
    {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(records)) {
            if (entry.path().extension() == ".txt")
                found.push_back(entry.path());
        }
        return found;
    }

    // The next record the recorder wrote; waits for it in the event loop.
    Record nextRecord()
    {
        core::Timer tick; // a new file wakes nobody
        tick.start(20);
        const bool arrived = core::waitFor([&] { return !recordFiles().empty(); }, std::chrono::seconds(20));
        EXPECT_TRUE(arrived) << "the recorder never ran";
        Record record;
        if (!arrived)
            return record;
        const fs::path file = recordFiles().front();
        std::istringstream in(test::readFile(file));
        fs::remove(file);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("arg ", 0) == 0)
                record.args.push_back(line.substr(4));
            else if (line.rfind("parent ", 0) == 0)
                record.parent = std::stoi(line.substr(7));
            else if (line.rfind("fd ", 0) == 0 && std::stoi(line.substr(3)) > 2)
                record.descriptors.push_back(line.substr(3));
        }
        return record;
    }

    std::vector<std::string> logLines() const
    {
        std::vector<std::string> lines;
        std::istringstream in(test::readFile(log));
        for (std::string line; std::getline(in, line);)
            lines.push_back(line.substr(0, line.find('\r')));
        return lines;
    }
};

TEST_F(RunProgram, EventWordsThenDateWordsAsSeparateArguments)
{
    start();
    struct Case
    {
        std::string parameters;
        Words args;
    };
    const std::vector<Case> cases = {
        { "127.0.0.2 router Fail", Words { "127.0.0.2", "router", "Fail" } + DateWords },
        { "127.0.0.3 main  office   router OK", Words { "127.0.0.3", "main", "office", "router", "OK" } + DateWords },
        { "127.0.0.4:8080 web Fail", Words { "127.0.0.4:8080", "web", "Fail" } + DateWords },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        const size_t before = frontEnd.activity.size();
        controller->alerts().RunProgram(recorder.string(), c.parameters);
        EXPECT_EQ(nextRecord().args, c.args);
        const std::string line = recorder.string() + " " + c.parameters + " " + Stamp;
        EXPECT_EQ(Words(frontEnd.activity.begin() + long(before), frontEnd.activity.end()), Words { "* Run: " + line });
        EXPECT_EQ(logLines().back(), "* Run Program OK: " + line);
    }
}

TEST_F(RunProgram, StartUpAndShutDownPassTheirMessage)
{
    start("[Actions]\r\nStartRun=1\r\nStartCommand=" + recorder.string()
        + "\r\nCloseRun=1\r\nCloseCommand=" + recorder.string() + "\r\n");
    EXPECT_EQ(nextRecord().args, (Words { "SEN", "StartUp", "SEN.INI" } + DateWords));
    controller->settings().saveOnExit = false;
    controller->prepareClose();
    EXPECT_EQ(nextRecord().args, (Words { "SEN", "ShutDown", "SEN.INI" } + DateWords));
    EXPECT_EQ(logLines().back(), "* Run Program OK: " + recorder.string() + " SEN ShutDown SEN.INI " + Stamp);
}

TEST_F(RunProgram, ShellTextInADescriptionArrivesAsPlainWords)
{
    start();
    const std::string d = dir.str();
    const std::string host = "a;touch " + d + "/p1 $(touch " + d + "/p2) `touch " + d + "/p3` \"q\" 'r' * >" + d
        + "/p4 |touch " + d + "/p5 && ${HOME}";
    controller->alerts().RunProgram(recorder.string(), "127.0.0.2 " + host + " Fail");
    const Words expected = Words { "127.0.0.2",
        "a;touch",
        d + "/p1",
        "$(touch",
        d + "/p2)",
        "`touch",
        d + "/p3`",
        "\"q\"",
        "'r'",
        "*",
        ">" + d + "/p4",
        "|touch",
        d + "/p5",
        "&&",
        "${HOME}",
        "Fail" }
        + DateWords;
    EXPECT_EQ(nextRecord().args, expected);
    for (const char* name : { "p1", "p2", "p3", "p4", "p5" })
        EXPECT_FALSE(fs::exists(dir / name)) << name;
}

TEST_F(RunProgram, NothingIsInheritedAndNoZombieIsLeft)
{
    start();
    const fs::path secret = dir / "secret.txt";
    test::writeFile(secret, "x");
    const int file = ::open(secret.c_str(), O_RDONLY); // deliberately without close-on-exec
    const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(file, 0);
    ASSERT_GE(sock, 0);
    controller->alerts().RunProgram(recorder.string(), "127.0.0.2 router Fail");
    const Record record = nextRecord();
    ::close(file);
    ::close(sock);
    for (const std::string& descriptor : record.descriptors) {
        EXPECT_EQ(descriptor.find("socket:"), std::string::npos) << descriptor;
        EXPECT_EQ(descriptor.find(secret.string()), std::string::npos) << descriptor;
    }
    EXPECT_NE(record.parent, ::getpid());
    // Every child this process made has been reaped.
    errno = 0;
    EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(RunProgram, AnEmptyCommandStartsNothingAndWritesNothing)
{
    start("[Actions]\r\nFailRun=1\r\nFailCommand=\r\n");
    controller->setProgramStarter(starts.starter());
    const size_t before = frontEnd.activity.size();
    const std::string logBefore = test::readFile(log);
    for (const char* command : { "", "   " })
        controller->alerts().RunProgram(command, "127.0.0.2 router Fail");
    EXPECT_TRUE(starts.commands.empty());
    EXPECT_EQ(frontEnd.activity.size(), before);
    EXPECT_EQ(test::readFile(log), logBefore);
}

TEST_F(RunProgram, CommandsThatCannotStartGiveTheirNumberAndTheErrorLines)
{
    start();
    test::writeFile(dir / "plain.sh", "#!/bin/sh\ntouch " + dir.str() + "/ran\n");
    test::writeFile(dir / "noshebang", "touch " + dir.str() + "/ran\n");
    fs::permissions(dir / "noshebang", fs::perms::owner_all);
    test::writeFile(dir / "binary",
        std::string("\x7f"
                    "ELF\x02\x01\x01",
            7));
    struct Case
    {
        std::string command;
        int number;
    };
    const std::vector<Case> cases = {
        { (dir / "missing").string(), 2 },
        { "no-such-program-for-sen-tests", 2 },
        { (dir / "no such folder" / "alert").string(), 3 },
        { (dir / "plain.sh").string(), 5 }, // a script without its run bit
        { (dir / "binary").string(), 5 },
        { (dir / "noshebang").string(), 11 }, // executable, but no format the system runs
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const size_t before = frontEnd.activity.size();
        controller->alerts().RunProgram(c.command, "127.0.0.2 router Fail");
        const std::string line = c.command + " 127.0.0.2 router Fail " + Stamp;
        EXPECT_EQ(Words(frontEnd.activity.begin() + long(before), frontEnd.activity.end()),
            (Words { "* Run: " + line, "*** ERROR! Cannot run program: " + c.command }));
        EXPECT_EQ(logLines().back(), "* Run Program ERROR=" + std::to_string(c.number) + ": " + line);
    }
    EXPECT_FALSE(fs::exists(dir / "ran"));
}

TEST_F(RunProgram, DocumentsAndFoldersOpenWithTheDesktopsOpener)
{
    start();
    controller->setProgramStarter(starts.starter());
    test::writeFile(dir / "notes.txt", "read me");
    const std::string notes = (dir / "notes.txt").string();
    controller->alerts().RunProgram(notes, "127.0.0.2 router Fail");
    controller->alerts().RunProgram(records.string(), "127.0.0.2 router Fail");
    EXPECT_EQ(starts.commands, (std::vector<Words> { { "xdg-open", notes }, { "xdg-open", records.string() } }));
    EXPECT_EQ(logLines().back(), "* Run Program OK: " + records.string() + " 127.0.0.2 router Fail " + Stamp);

    // No opener on this desktop.
    starts.result = ENOENT;
    controller->alerts().RunProgram(notes, "x");
    EXPECT_EQ(logLines().back(), "* Run Program ERROR=31: " + notes + " x " + Stamp);
}

TEST_F(RunProgram, APathWithBlanksAndACommandWithWords)
{
    start();
    const fs::path spaced = dir / "my tools" / "record it.sh";
    writeRecorder(spaced);
    for (const std::string& command : { spaced.string(), "  \"" + spaced.string() + "\" " }) {
        SCOPED_TRACE(command);
        controller->alerts().RunProgram(command, "SEN StartUp SEN.INI");
        EXPECT_EQ(nextRecord().args, (Words { "SEN", "StartUp", "SEN.INI" } + DateWords));
    }
    // No file is named by the whole text: its first word is the program, the others lead.
    controller->alerts().RunProgram(recorder.string() + " --from sen", "127.0.0.2 router OK");
    EXPECT_EQ(nextRecord().args, (Words { "--from", "sen", "127.0.0.2", "router", "OK" } + DateWords));
}
