// The event log: lines reach the file only while logging is on, the check box and the path box
// follow their rules (silent while starting), and failures cost one activity line each.

#include "ControllerFixture.h"

#include <QDate>
#include <QTime>

using namespace monitor;

namespace {

struct Activity : core::ActivityOutlet
{
    void appendActivityLine(const std::string& line) override { lines.push_back(line); }
    void setActivityText(const std::string&) override { }
    std::vector<std::string> lines;
};

struct LogFixture : ::testing::Test
{
    test::TempDir dir;
    MonitorSettings settings;
    Activity activity;
    EventLog log { settings, activity, (dir / "SEN").string() };
    std::string file() const { return test::readFile(dir / "SEN.LOG"); }

    void SetUp() override
    {
        log.setClock([] { return QDateTime(QDate(2026, 6, 12), QTime(14, 5, 9)); });
        log.SetLogFileName("");
        settings.StartingUp = false;
    }
};

} // namespace

TEST_F(LogFixture, LoggingOffCreatesNoFile)
{
    for (const char* line : { "", "Ping OK: 127.0.0.1", "x\r\ny" })
        log.WriteLogLine(line);
    EXPECT_FALSE(fs::exists(dir / "SEN.LOG"));
    EXPECT_TRUE(activity.lines.empty());
}

TEST_F(LogFixture, TickingWritesTheEnabledLinesAndEveryLineAppends)
{
    log.setEnabled(true);
    log.WriteLogLine("Ping OK: 127.0.0.1");
    log.setEnabled(false);
    log.WriteLogLine("lost");
    EXPECT_EQ(file(), "\r\nLog Enabled 6/12/26 2:05:09 PM\r\n\r\nPing OK: 127.0.0.1\r\n");
    EXPECT_EQ(activity.lines,
        (std::vector<std::string> {
            "Log Enabled 6/12/26 2:05:09 PM [" + (dir / "SEN.LOG").string() + "]",
            "Log Disabled 6/12/26 2:05:09 PM",
        }));
}

TEST_F(LogFixture, AStampAtMidnightHasNoTime)
{
    log.setClock([] { return QDateTime(QDate(2026, 1, 2), QTime(0, 0, 0)); });
    log.setEnabled(true);
    EXPECT_EQ(file(), "\r\nLog Enabled 1/2/26\r\n\r\n");
}

TEST_F(LogFixture, WhileStartingUpTheControlsAreSilent)
{
    settings.StartingUp = true;
    log.setEnabled(true);
    log.pathTextEdited((dir / "other.LOG").string());
    EXPECT_TRUE(log.enabled());
    EXPECT_TRUE(activity.lines.empty());
    EXPECT_FALSE(fs::exists(dir / "SEN.LOG"));
    log.WriteLogLine("a line is still written");
    EXPECT_EQ(test::readFile(dir / "SEN.LOG"), "a line is still written\r\n"); // the box text is not the path yet
}

TEST_F(LogFixture, EditingThePathUnticksOnceAndANewPathWaitsForTheNextTick)
{
    log.setEnabled(true);
    activity.lines.clear();
    const std::string other = (dir / "other.LOG").string();
    log.pathTextEdited(other.substr(0, 5));
    log.pathTextEdited(other);
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(activity.lines, std::vector<std::string> { "Log Disabled 6/12/26 2:05:09 PM" });
    EXPECT_EQ(log.logFileName(), (dir / "SEN.LOG").string());
    log.setEnabled(true);
    EXPECT_EQ(log.logFileName(), other);
    EXPECT_TRUE(fs::exists(other));

    // Browsing to a file goes through SetLogFileName, which counts as an edit.
    log.SetLogFileName((dir / "browsed.LOG").string());
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(log.pathText(), (dir / "browsed.LOG").string());
}

TEST_F(LogFixture, TickingWithAnEmptyPathBoxLogsToTheDefaultFile)
{
    log.pathTextEdited("");
    log.setEnabled(true);
    EXPECT_TRUE(log.enabled());
    EXPECT_EQ(log.pathText(), (dir / "SEN.LOG").string());
    EXPECT_EQ(file(), "\r\nLog Enabled 6/12/26 2:05:09 PM\r\n\r\n");
}

TEST_F(LogFixture, ALineThatCannotBeWrittenCostsOneActivityLine)
{
    const std::string bad = (dir / "no such folder" / "SEN.LOG").string();
    log.pathTextEdited(bad);
    log.setEnabled(true);
    activity.lines.clear();
    log.WriteLogLine("one");
    log.WriteLogLine("two");
    EXPECT_TRUE(log.enabled());
    EXPECT_EQ(activity.lines, std::vector<std::string>(2, "*** ERROR: Cannot write to log file " + bad));
}

// The lines of the data file, the log controls and the program's start and close, in both sinks.
TEST_F(ControllerFixture, EventsWriteTheirLinesToTheirSinks)
{
    const std::string stamp = Stamp;
    struct Case
    {
        std::string name;
        std::function<void(MonitorController&)> act;
        std::vector<std::string> activity;
        std::string logFile;
    };
    const std::string iniPath = ini.string();
    const std::string logPath = log.string();
    const std::vector<Case> cases = {
        { "data file read",
            [](MonitorController& c) { c.openDataFile(c.dataFile()); },
            { "Loading - " + iniPath },
            "" },
        { "data file written", [](MonitorController& c) { c.save(); }, { "Saving - " + iniPath }, "" },
        { "logging enabled",
            [](MonitorController& c) { c.log().setEnabled(true); },
            { "Log Enabled " + stamp + " [" + logPath + "]" },
            "\r\nLog Enabled " + stamp + "\r\n\r\n" },
        { "logging disabled",
            [](MonitorController& c) {
                c.log().setEnabled(true);
                c.log().setEnabled(false);
            },
            { "Log Enabled " + stamp + " [" + logPath + "]", "Log Disabled " + stamp },
            "\r\nLog Enabled " + stamp + "\r\n\r\n" },
        { "program close",
            [](MonitorController& c) {
                c.settings().saveOnExit = false;
                c.log().setEnabled(true);
                c.prepareClose();
            },
            { "Log Enabled " + stamp + " [" + logPath + "]" },
            "\r\nLog Enabled " + stamp + "\r\n\r\nSEN ShutDown SEN.INI " + stamp + "\r\n" },
    };
    for (const Case& c : cases) {
        test::writeFile(ini, "[SEN]\r\nSaveOnExit=1\r\n");
        fs::remove(log);
        run();
        frontEnd.activity.clear();
        c.act(*controller);
        EXPECT_EQ(frontEnd.activity, c.activity) << c.name;
        EXPECT_EQ(test::readFile(log), c.logFile) << c.name;
    }
}

TEST_F(ControllerFixture, TheStartUpLoadIsSilentAndTheStartUpLineFollows)
{
    test::writeFile(ini, "[SEN]\r\nLogFile=1\r\nLogFileName=" + (dir / "net.LOG").string() + "\r\n");
    open();
    EXPECT_TRUE(controller->log().enabled());
    EXPECT_TRUE(frontEnd.logEnabled);
    EXPECT_EQ(frontEnd.logPathText, (dir / "net.LOG").string());
    EXPECT_EQ(frontEnd.activity, std::vector<std::string> { "Loading - " + ini.string() });
    EXPECT_FALSE(fs::exists(dir / "net.LOG"));
    controller->StartupActions();
    controller->StartupActions(); // once only
    EXPECT_EQ(test::readFile(dir / "net.LOG"), "\r\nSEN StartUp SEN.INI " + std::string(Stamp) + "\r\n");
}

TEST_F(ControllerFixture, ALoadAfterTheStartTicksTheBoxWithItsLines)
{
    run();
    const fs::path other = dir / "net.SEN";
    test::writeFile(other, "[SEN]\r\nLogFile=1\r\n");
    controller->openDataFile(other.string());
    EXPECT_TRUE(controller->log().enabled());
    EXPECT_EQ(frontEnd.activity,
        (std::vector<std::string> {
            "Loading - " + other.string(), "Log Enabled " + std::string(Stamp) + " [" + log.string() + "]" }));
    EXPECT_EQ(test::readFile(log), "\r\nLog Enabled " + std::string(Stamp) + "\r\n\r\n");
}
