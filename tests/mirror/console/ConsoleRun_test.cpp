// The batch run as cron starts it: the real program, copied beside its own RPL.INI.

#include "tests/net/SmtpServerFixture.h"
#include "tests/support/DualStackNetwork.h"
#include "tests/support/PrivateNamespace.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCa.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <fcntl.h>
#include <pty.h>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ConsoleRun : ::testing::Test
{
    test::TempDir dir;
    fs::path program = dir / "bin" / "RPL";
    fs::path source = dir / "source";
    fs::path destination = dir / "mirror";
    QString out;
    QString err;

    void SetUp() override
    {
        fs::create_directories(program.parent_path());
        fs::copy_file(RPL_BINARY, program);
        test::writeFile(source / "a.txt", "alpha");
        test::writeFile(source / "sub" / "b.txt", "beta");
    }

    void writeIni(const std::string& extra, const std::string& pairSource = "")
    {
        const std::string from = pairSource.empty() ? source.string() : pairSource;
        test::writeFile(dir / "bin" / "RPL.INI",
            "[RPL]\r\nFolderCount=1\r\nFolder0=+" + from + " >> " + destination.string() + "\r\n" + extra);
    }

    int run(const QStringList& arguments, const char* platform = nullptr)
    {
        QProcess process;
        auto env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        if (platform)
            env.insert("QT_QPA_PLATFORM", platform);
        process.setProcessEnvironment(env);
        process.start(QString::fromStdString(program.string()), arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return -1;
        out = QString::fromLocal8Bit(process.readAllStandardOutput());
        err = QString::fromLocal8Bit(process.readAllStandardError());
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
};

} // namespace

TEST_F(ConsoleRun, MirrorsPrintsLevelOneToFourAndLeavesTheSettingsAlone)
{
    writeIni("LogFileEnable=1\r\nLogFileName=" + (dir / "RPL.LOG").string() + "\r\n");
    const std::string iniBefore = test::readFile(dir / "bin" / "RPL.INI");
    struct stat before
    {
    };
    stat((dir / "bin" / "RPL.INI").c_str(), &before);

    EXPECT_EQ(run({ "/console", "/Batch" }), 0) << err.toStdString();
    EXPECT_EQ(test::readFile(destination / "sub" / "b.txt"), "beta");
    EXPECT_TRUE(out.contains(QString::fromStdString("Copy New Directory " + destination.string() + "\n")));
    EXPECT_TRUE(out.contains("Mirror Started on "));
    EXPECT_FALSE(out.contains("Copy File ")); // level 0 stays on the status line
    EXPECT_TRUE(err.isEmpty());

    test::writeFile(source / "c.txt", "gamma");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 0);
    EXPECT_FALSE(out.contains("Skip File "));
    EXPECT_EQ(test::readFile(destination / "c.txt"), "gamma");

    struct stat after
    {
    };
    stat((dir / "bin" / "RPL.INI").c_str(), &after);
    EXPECT_EQ(test::readFile(dir / "bin" / "RPL.INI"), iniBefore);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_NE(test::readFile(dir / "RPL.LOG").find("====================\r\n"), std::string::npos);
}

TEST_F(ConsoleRun, WithoutADisplayBatchAloneRunsInTheConsole)
{
    writeIni("");
    EXPECT_EQ(run({ "/batch" }), 0) << err.toStdString();
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
}

TEST_F(ConsoleRun, WithAWindowPlatformBatchRunsInTheWindowAndEnds)
{
    writeIni("");
    const std::string before = test::readFile(dir / "bin" / "RPL.INI");
    EXPECT_EQ(run({ "/BATCH" }, "offscreen"), 0) << err.toStdString();
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
    EXPECT_FALSE(out.contains("Mirror Started on ")); // the lines went to the window
    EXPECT_EQ(test::readFile(dir / "bin" / "RPL.INI"), before);
}

TEST_F(ConsoleRun, ErrorLinesAndMessagesGiveExitStatusOne)
{
    writeIni("SkipCopyFolderError=1\r\n", (dir / "nowhere").string());
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_TRUE(
        out.contains(QString::fromStdString(" *** ERROR! ***** Missing source folder " + (dir / "nowhere").string())));
    EXPECT_TRUE(err.isEmpty());

    // Stop-on-folder-errors: the message box text goes to standard error and nobody waits.
    writeIni("", (dir / "nowhere").string());
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_TRUE(err.contains(" *** ERROR! ***** Missing source folder "));
}

TEST_F(ConsoleRun, UnwritableLogFileEndsTheRunWithItsMessage)
{
    writeIni("LogFileEnable=1\r\nLogFileName=" + (dir / "no" / "such" / "RPL.LOG").string() + "\r\n");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_TRUE(err.contains("RPL.LOG"));
    EXPECT_FALSE(fs::exists(destination));
}

// The report mail is the last step of the console run too. The program takes no port setting,
// so the real server listens on port 25 of a loopback address of this test's own.
TEST_F(ConsoleRun, ReportMailIsSentThroughTheRealServer)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "port 25 needs root";
    const std::string address = "127.83." + std::to_string(getpid() % 250) + ".9";
    test::SmtpServerFixture server({ "--listen", address + ":25" });
    ASSERT_TRUE(server.started());
    writeIni("SendEMailEnable=1\r\nSmtpServer=" + address
        + "\r\nMailFromAddress=rpl@office.test\r\nMailToAddress=admin@office.test\r\n");

    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 0) << err.toStdString();
    EXPECT_TRUE(out.contains(QString::fromStdString("Connecting to mail server: " + address + "\n")));
    EXPECT_TRUE(out.contains("EMail sent to: admin@office.test\n"));
    EXPECT_TRUE(out.endsWith("Connection to mail server closed.\n")) << out.toStdString();
    const std::string message = server.waitForMessage(1);
    ASSERT_FALSE(message.empty());
    const QJsonObject parsed = test::SmtpServerFixture::parse(message);
    const QString body = parsed["parts"].toArray().at(0).toObject()["text"].toString();
    EXPECT_TRUE(body.contains(QString::fromStdString(source.string() + "  ==>  " + destination.string())))
        << body.toStdString();
}

// The report to a server given by an IPv6 address, by a name with only IPv6 addresses and by a
// name whose first address (IPv6) is dropped, in the dual-stack network of DualStackNetwork.h.
// The server listens on port 25 of every address there.
TEST_F(ConsoleRun, ReportMailReachesAServerOverIpv6)
{
    RUN_IN_PRIVATE_NETWORK_AND_MOUNTS();
    test::dualstack::setUp();
    test::SmtpServerFixture server({ "--listen", ":25" });
    ASSERT_TRUE(server.started());
    int delivered = 0;
    for (const std::string host : { "::1", "v6only.test", "both.test" }) {
        SCOPED_TRACE(host);
        const long droppedBefore = test::dualstack::droppedPackets();
        writeIni("SendEMailEnable=1\r\nSmtpServer=" + host
            + "\r\nMailFromAddress=rpl@office.test\r\nMailToAddress=admin@office.test\r\n");
        EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 0) << err.toStdString();
        EXPECT_TRUE(out.contains(QString::fromStdString("Connecting to mail server: " + host + "\n")));
        EXPECT_TRUE(out.contains("EMail sent to: admin@office.test\n")) << out.toStdString();
        EXPECT_FALSE(server.waitForMessage(++delivered).empty());
        EXPECT_EQ(test::dualstack::droppedPackets() > droppedBefore, host == "both.test");
    }
}

// As a service runs it: TLS from the first byte, the port in the server field, the password
// from $CREDENTIALS_DIRECTORY, the certificate checked against SSL_CERT_FILE.
TEST_F(ConsoleRun, ReportMailOverTlsWithACredential)
{
    const test::TestCa& ca = test::TestCa::instance();
    test::SmtpServerFixture server(
        { "--auth", "user:secret", "--tls", "implicit", "--cert", ca.good().cert, "--key", ca.good().key });
    ASSERT_TRUE(server.started());
    test::TempDir credentials;
    test::writeFile(credentials / "smtp", "secret\n");
    ::chmod((credentials / "smtp").c_str(), 0600);
    ::setenv("CREDENTIALS_DIRECTORY", credentials.str().c_str(), 1);
    writeIni("SendEMailEnable=1\r\nSmtpServer=127.0.0.1:" + std::to_string(server.port())
        + "\r\nMailFromAddress=rpl@office.test\r\nMailToAddress=admin@office.test\r\nSmtpSecurity=TLS\r\n"
          "SmtpUser=user\r\nSmtpPasswordFile=smtp\r\n");
    const int status = run({ "/BATCH", "/CONSOLE" });
    ::unsetenv("CREDENTIALS_DIRECTORY");
    EXPECT_EQ(status, 0) << out.toStdString() << err.toStdString();
    EXPECT_TRUE(out.contains("Mail security: TLS 1.3 with 127.0.0.1\n")) << out.toStdString();
    EXPECT_TRUE(out.contains("EMail sent to: admin@office.test\n"));
    EXPECT_FALSE(server.waitForMessage(1).empty());
}

TEST_F(ConsoleRun, MissingMailSettingsAreAnErrorLineAndExitStatusOne)
{
    writeIni("SendEMailEnable=1\r\nSmtpServer=\r\n");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
    EXPECT_TRUE(out.endsWith(" *** ERROR! Missing mail settings, EMail NOT sent!\n")) << out.toStdString();
}

// Settings that leave nothing to mirror, or that cannot be read at all, must not pass for a
// successful night: cron sees a message on standard error and exit status 1.
TEST_F(ConsoleRun, BrokenSettingsAreToldOnStandardErrorWithExitStatusOne)
{
    const std::string pair = source.string() + " >> " + destination.string();
    const struct
    {
        const char* name;
        std::string ini; // "" for no settings file at all
    } cases[] = {
        { "no settings file", "" },
        { "binary garbage",
            std::string("\x7f"
                        "ELF\x02\x01\x01\0\0\0[\xff\xfe]\r\n\x01=\x02\0",
                20) },
        { "negative folder count", "[RPL]\r\nFolderCount=-5\r\nFolder0=+" + pair + "\r\n" },
        { "empty destination", "[RPL]\r\nFolderCount=1\r\nFolder0=+" + source.string() + " >> \r\n" },
        { "only disabled pairs", "[RPL]\r\nFolderCount=1\r\nFolder0=-" + pair + "\r\n" },
    };
    for (const auto& c : cases) {
        fs::remove_all(dir / "bin" / "RPL.INI");
        if (!c.ini.empty())
            test::writeFile(dir / "bin" / "RPL.INI", c.ini);
        EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1) << c.name;
        EXPECT_FALSE(err.isEmpty()) << c.name;
        EXPECT_FALSE(fs::exists(destination)) << c.name;
    }

    // A settings file that cannot be read.
    fs::remove(dir / "bin" / "RPL.INI");
    fs::create_directories(dir / "bin" / "RPL.INI");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_TRUE(err.contains(QString::fromStdString((dir / "bin" / "RPL.INI").string()))) << err.toStdString();
    fs::remove(dir / "bin" / "RPL.INI");

    // One good pair beside one that cannot be read: the good one runs, the other is told.
    test::writeFile(dir / "bin" / "RPL.INI", "[RPL]\r\nFolderCount=2\r\nFolder0=+" + pair + "\r\nFolder1=+no pair\r\n");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 1);
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
    EXPECT_TRUE(err.contains("Folder1")) << err.toStdString();
}

TEST_F(ConsoleRun, AHugeFolderCountReadsOnlyTheEntriesTheFileHolds)
{
    test::writeFile(dir / "bin" / "RPL.INI",
        "[RPL]\r\nFolderCount=2147483647\r\nFolder0=+" + source.string() + " >> " + destination.string()
            + "\r\nFolder2000000000=+" + source.string() + " >> " + (dir / "far").string() + "\r\n");
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 0) << err.toStdString();
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
    EXPECT_EQ(test::readFile(dir / "far" / "a.txt"), "alpha");
}

// Two cron jobs on one pair at the same moment: one of them mirrors, the other leaves the pair
// alone and says so; every old version is kept and every file is there afterwards.
TEST_F(ConsoleRun, TwoRunsOfOnePairAtOnceLoseNothing)
{
    constexpr int Files = 200;
    writeIni("");
    for (int trial = 0; trial < 4; ++trial) {
        fs::remove_all(source);
        fs::remove_all(destination);
        for (int i = 0; i < Files; ++i) {
            const std::string name = "f" + std::to_string(i);
            test::writeFile(source / name, "new " + std::to_string(trial) + " " + name + " and more");
            test::writeFile(destination / name, "old " + std::to_string(trial) + " " + name);
            const timespec past[2] = { { 1600000000, 0 }, { 1600000000, 0 } };
            utimensat(AT_FDCWD, (destination / name).c_str(), past, 0);
        }
        QProcess first;
        QProcess second;
        first.start(QString::fromStdString(program.string()), { "/BATCH", "/CONSOLE" });
        second.start(QString::fromStdString(program.string()), { "/BATCH", "/CONSOLE" });
        ASSERT_TRUE(first.waitForFinished(120000));
        ASSERT_TRUE(second.waitForFinished(120000));
        for (QProcess* p : { &first, &second }) {
            const QString output = QString::fromLocal8Bit(p->readAllStandardOutput());
            if (p->exitCode() != 0) {
                EXPECT_TRUE(output.contains(" *** ERROR! Destination in use by another run, pair skipped: "))
                    << output.toStdString();
            }
        }
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(destination))
            if (entry.is_regular_file())
                found.insert(test::readFile(entry.path()));
        for (int i = 0; i < Files; ++i) {
            const std::string name = "f" + std::to_string(i);
            EXPECT_EQ(test::readFile(destination / name), "new " + std::to_string(trial) + " " + name + " and more")
                << "trial " << trial;
            EXPECT_TRUE(found.count("old " + std::to_string(trial) + " " + name))
                << "lost: trial " << trial << " " << name;
        }
    }
}

// Help, version and unknown options run nothing; a switch RPL does not know is ignored with a
// warning.
TEST_F(ConsoleRun, HelpVersionAndUnknownOptions)
{
    writeIni("");
    const struct
    {
        QStringList arguments;
        int status;
        std::string out; // the start of standard output, of standard error; "" for nothing
        std::string err;
    } cases[] = {
        { { "--help" }, 0, "Usage: RPL [/TRAY]\n", "" },
        { { "/BATCH", "/?" }, 0, "Usage: RPL [/TRAY]\n", "" },
        { { "-V" }, 0, "RPL - Version 2.10\n", "" },
        { { "/version" }, 0, "RPL - Version 2.10\n", "" },
        { { "/BATCH", "--batch" }, 2, "", "RPL: unknown option --batch\nUsage: RPL [/TRAY]\n" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(run(c.arguments), c.status) << c.arguments.join(' ').toStdString();
        for (const auto& [text, start] : { std::pair(out.toStdString(), c.out), std::pair(err.toStdString(), c.err) })
            EXPECT_TRUE(start.empty() ? text.empty() : text.rfind(start, 0) == 0) << text;
        EXPECT_FALSE(fs::exists(destination));
    }
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE", "/NOW" }), 0);
    EXPECT_EQ(err, "RPL: unknown switch /NOW ignored\n");
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
}

// A reader that goes away ("| head -1"), a full disk or a closed stream: the run mirrors every
// entry and ends as usual, then one line says what became of the output, with status 1.
TEST_F(ConsoleRun, OutputThatCannotBeWrittenEndsNothingEarly)
{
    // A line for each new folder: more than a pipe holds.
    const int folders = 800;
    for (int i = 0; i < folders; ++i)
        test::writeFile(
            source / "many" / ("a folder with a name long enough to fill a pipe " + std::to_string(i)) / "f",
            std::to_string(i));
    writeIni("LogFileEnable=1\r\nLogFileName=" + (dir / "RPL.LOG").string() + "\r\n");
    const struct
    {
        const char* redirection;
        const char* reason;
    } cases[] = {
        { "| head -1 >/dev/null", "Broken pipe" },
        { "> /dev/full", "No space left on device" },
        { ">&-", "Bad file descriptor" },
    };
    for (const auto& c : cases) {
        fs::remove_all(destination);
        fs::create_directories(destination / "many");
        fs::remove(dir / "RPL.LOG");
        QProcess shell;
        auto env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        shell.setProcessEnvironment(env);
        const fs::path errors = dir / "err";
        shell.start("/bin/bash",
            { "-c",
                QString::fromStdString("'" + program.string() + "' /BATCH /CONSOLE 2>'" + errors.string() + "' "
                    + c.redirection + "; exit ${PIPESTATUS[0]}") });
        ASSERT_TRUE(shell.waitForFinished(120000));
        EXPECT_EQ(shell.exitCode(), 1) << c.redirection;
        EXPECT_EQ(test::readFile(errors), std::string("RPL: cannot write to standard output: ") + c.reason + "\n");
        const auto copied = std::distance(fs::directory_iterator(destination / "many"), fs::directory_iterator());
        EXPECT_EQ(copied, folders) << c.redirection;
        EXPECT_NE(test::readFile(dir / "RPL.LOG").find("Mirror Ended on "), std::string::npos) << c.redirection;
    }
}

namespace {

// Runs the program with standard error on a pseudo-terminal, as a person at a shell has it,
// and standard output on a pipe; returns the exit status and what each received.
int runOnTerminal(const std::string& program, const std::vector<std::string>& arguments, std::string& terminal,
    std::string& output)
{
    int master = -1;
    int slave = -1;
    int pipeFds[2];
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0 || pipe(pipeFds) != 0)
        return -1;
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        dup2(slave, STDERR_FILENO);
        close(master);
        close(pipeFds[0]);
        std::vector<char*> argv { const_cast<char*>(program.c_str()) };
        for (const auto& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        unsetenv("DISPLAY");
        unsetenv("WAYLAND_DISPLAY");
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(slave);
    close(pipeFds[1]);
    const auto drain = [](int fd, std::string& into) {
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0)
            into.append(buffer, static_cast<size_t>(n));
    };
    drain(pipeFds[0], output);
    drain(master, terminal); // ends with EIO once the child has closed the terminal
    close(pipeFds[0]);
    close(master);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST_F(ConsoleRun, AProgressLineOnlyOnATerminalAndEndedBeforeTheExit)
{
    for (int i = 0; i < 30; ++i)
        test::writeFile(source / "many" / ("f" + std::to_string(i)), std::string(1000, 'x'));
    writeIni("");
    std::string terminal;
    std::string output;
    EXPECT_EQ(runOnTerminal(program.string(), { "/BATCH", "/CONSOLE" }, terminal, output), 0) << terminal;
    EXPECT_NE(terminal.find("RPL: 34 items, 30.0 kB copied, "), std::string::npos) << terminal;
    EXPECT_EQ(terminal.substr(terminal.size() - 2), "\r\n") << terminal; // the line is ended
    EXPECT_EQ(output.find("items"), std::string::npos) << output;

    fs::remove_all(destination);
    EXPECT_EQ(run({ "/BATCH", "/CONSOLE" }), 0);
    EXPECT_EQ(err, QString()) << err.toStdString(); // cron's log stays clean
}

TEST_F(ConsoleRun, RestoreListsTheArchivedRunsAndPutsOneBack)
{
    writeIni("");
    ASSERT_EQ(run({ "/BATCH", "/CONSOLE" }), 0);
    fs::remove(source / "a.txt");
    ASSERT_EQ(run({ "/BATCH", "/CONSOLE" }), 0);
    const QString dest = QString::fromStdString(destination.string());
    EXPECT_EQ(run({ "/restore", dest }), 0) << err.toStdString();
    const QString runName = out.section(QLatin1Char(' '), 0, 0);
    EXPECT_TRUE(out.endsWith(QStringLiteral(" 1 items\n"))) << out.toStdString();
    EXPECT_EQ(out.count(QLatin1Char('\n')), 1);

    EXPECT_EQ(run({ "/RESTORE", dest, runName }), 0) << err.toStdString();
    EXPECT_EQ(test::readFile(destination / "a.txt"), "alpha");
    EXPECT_TRUE(out.contains(QStringLiteral(" * Restored ") + dest + QStringLiteral("/a.txt\n"))) << out.toStdString();
    EXPECT_EQ(run({ "/RESTORE", dest, runName }), 1); // nothing is left of it
    EXPECT_EQ(run({ "/RESTORE" }), 2);
    EXPECT_EQ(run({ "/RESTORE", QString::fromStdString((dir / "nowhere").string()) }), 1);
}
