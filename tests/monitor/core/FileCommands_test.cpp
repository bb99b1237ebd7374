// The File-menu and log commands that reach outside the program: the data file named on the
// command line, advanced editing with its question, Open LOG's four viewers, and the export.

#include "ControllerFixture.h"

#include "common/core/EventLoop.h"

using namespace monitor;
using Words = std::vector<std::string>;

TEST_F(ControllerFixture, TheLastCommandLinePathIsTheDataFile)
{
    const fs::path named = dir / "net.SEN";
    test::writeFile(named, "[DestList]\r\nDestCount=1\r\nNAME1=from the command line\r\n");
    open(parseCommandLine({ "SEN", (dir / "first.SEN").string(), "/tray", named.string() }));
    EXPECT_EQ(controller->dataFile(), named.string());
    EXPECT_EQ(controller->dataFileName(), "net.SEN");
    EXPECT_EQ(frontEnd.dataFiles, (Words { ini.string(), named.string() }));
    ASSERT_EQ(controller->list().count(), 1);
    EXPECT_EQ(frontEnd.logPathText, log.string());
    EXPECT_EQ(frontEnd.settingsShown, 1);
}

TEST_F(ControllerFixture, OpenReplacesTheListAndANewNameKeepsTheSettings)
{
    test::writeFile(ini, "[SEN]\r\nPingTTL=9\r\n[DestList]\r\nDestCount=1\r\nNAME1=a\r\n");
    run();
    controller->openDataFile((dir / "not yet.SEN").string());
    EXPECT_EQ(controller->list().count(), 0);
    EXPECT_EQ(controller->settings().echo.ttl, 9);
    EXPECT_FALSE(fs::exists(dir / "not yet.SEN"));
}

TEST_F(ControllerFixture, AdvancedEditingOpensTheEditorThenAsksAndReloads)
{
    run();
    controller->advancedEditing();
    EXPECT_EQ(frontEnd.messages, Words { "File Not Found: " + ini.string() });
    EXPECT_TRUE(starts.commands.empty());

    controller->list().append(row("kept", "127.0.0.1"));
    controller->save();
    environment["VISUAL"] = "vim -p";
    // The user edits the file while the question waits.
    frontEnd.onQuestion = [&] {
        std::string text = test::readFile(ini);
        text.replace(text.find("NAME1=kept"), 10, "NAME1=edited");
        test::writeFile(ini, text);
    };
    controller->list().append(row("unsaved", "127.0.0.2"));
    controller->advancedEditing();
    EXPECT_EQ(starts.commands, (std::vector<Words> { { "x-terminal-emulator", "-e", "vim", "-p", ini.string() } }));
    ASSERT_EQ(frontEnd.questions.size(), 1u);
    const std::string path = ini.string();
    EXPECT_EQ(frontEnd.questions[0].first, "Advanced Configuration - " + path);
    EXPECT_EQ(frontEnd.questions[0].second,
        "SEN uses INI files conventions for data and configuration.\r"
        "Some advanced settings like TTL and TimeOut are configurable only with manual editing.\r"
        "SEN normaly loads configuration at startup or file-open, and saves on exit or file-save.\r"
            + path + " should now be open in NotePad.\r"
            + "If you have made maunual changes, you must tell SEN to reload them.\r\r"
              "Do you want SEN to reload the configuration file\r"
            + path + "?");
    ASSERT_EQ(controller->list().count(), 2); // saved before the editor started
    EXPECT_EQ(controller->list().at(0).HostName, "edited");

    // No: nothing is reloaded. An editor that cannot start gives way to the desktop's opener.
    frontEnd.answer = false;
    frontEnd.onQuestion = nullptr;
    starts.result = ENOENT;
    starts.commands.clear();
    controller->advancedEditing();
    EXPECT_EQ(starts.commands,
        (std::vector<Words> { { "x-terminal-emulator", "-e", "vim", "-p", path }, { "xdg-open", path } }));
    EXPECT_EQ(controller->list().count(), 2);
}

TEST_F(ControllerFixture, OpenLogOffersItsViewersOnlyForAnExistingFile)
{
    run();
    EXPECT_FALSE(controller->prepareOpenLog());
    EXPECT_EQ(frontEnd.messages, Words { "File Not Found: " + log.string() });

    test::writeFile(log, "x\r\n");
    environment["EDITOR"] = "nano";
    ASSERT_TRUE(controller->prepareOpenLog());
    for (LogViewer viewer :
        { LogViewer::DefaultProgram, LogViewer::Editor, LogViewer::TerminalEditor, LogViewer::FileManager })
        controller->openLog(viewer);
    const std::string path = log.string();
    EXPECT_EQ(starts.commands,
        (std::vector<Words> { { "xdg-open", path },
            { "x-terminal-emulator", "-e", "nano", path },
            { "x-terminal-emulator", "-e", "nano", path } }));
    EXPECT_EQ(fileManager.shown, Words { path });

    // The path box's text is taken first, as typed: that path must exist.
    controller->log().pathTextEdited((dir / "typed.LOG").string());
    EXPECT_FALSE(controller->prepareOpenLog());
    EXPECT_EQ(frontEnd.messages.back(), "File Not Found: " + (dir / "typed.LOG").string());
}

TEST_F(ControllerFixture, ExportWritesTheFileThenShowsItInTheFileManager)
{
    run();
    controller->list().append(row("gw", "127.0.0.1"));
    const fs::path file = dir / "EXPORT.TXT";
    test::writeFile(file, std::string(10000, 'x')); // an existing file is truncated
    controller->exportToText(file.string());
    EXPECT_EQ(test::readFile(file),
        "Host Name\tIP Address\tService\tPort\tStatus\tLast Attempt\r\ngw\t127.0.0.1\tPING\t\tna\tna\r\n");
    EXPECT_EQ(fileManager.shown, Words { file.string() });

    const std::string bad = (dir / "missing" / "EXPORT.TXT").string();
    controller->exportToText(bad);
    EXPECT_EQ(frontEnd.activity.back(), "*** ERROR: Cannot Export to text file: " + bad);
    EXPECT_EQ(fileManager.shown.size(), 1u);
    EXPECT_FALSE(fs::exists(log)); // nothing goes to the log file
}

TEST_F(ControllerFixture, HostLookUpNeedsNoIcmp)
{
    run();
    std::vector<std::pair<int, std::string>> answers;
    auto record = [&](uint16_t error, const std::string& address) { answers.emplace_back(error, address); };
    controller->DnsLookup("127.0.0.9", record); // dotted text answers at once
    controller->DnsLookup("", record); // nothing to look up
    EXPECT_EQ(answers, (std::vector<std::pair<int, std::string>> { { 0, "127.0.0.9" } }));
    controller->DnsLookup("localhost", record);
    core::waitFor([&] { return answers.size() == 2; }, std::chrono::seconds(20));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[1], (std::pair<int, std::string> { 0, "127.0.0.1" }));
    controller->DnsLookup("no-such-host.invalid", record);
    core::waitFor([&] { return answers.size() == 3; }, std::chrono::seconds(20));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_NE(answers[2].first, 0);
}

TEST_F(ControllerFixture, ANewLookUpReplacesAPendingOneAndAClosingOwnerHearsNothing)
{
    run();
    std::vector<std::string> answers;
    controller->DnsLookup("localhost", [&](uint16_t, const std::string&) { answers.push_back("first"); });
    controller->DnsLookup("localhost", [&](uint16_t, const std::string& address) { answers.push_back(address); });
    core::waitFor([&] { return !answers.empty(); }, std::chrono::seconds(20));
    core::waitFor([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(answers, std::vector<std::string> { "127.0.0.1" });

    controller->DnsLookup("localhost", [&](uint16_t, const std::string&) { answers.push_back("late"); });
    controller->dropDnsLookup();
    controller.reset();
    core::waitFor([] { return false; }, std::chrono::milliseconds(50));
    EXPECT_EQ(answers.size(), 1u);
}
