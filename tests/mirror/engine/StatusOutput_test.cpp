#include "RecordingFrontEnd.h"

#include "mirror/core/MirrorSettings.h"
#include "mirror/core/StatusOutput.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

using namespace mirror;

namespace {

struct StatusFixture : ::testing::Test
{
    test::TempDir dir;
    MirrorSettings settings;
    RecordingFrontEnd frontEnd;
    core::StopFlag stop { true };
    StatusOutput status { frontEnd.roles(), settings, stop };

    void SetUp() override
    {
        stop.clear();
        settings.logFileEnable = true;
        settings.logFileName = (dir / "RPL.LOG").string();
    }
    std::string log() const { return test::readFile(dir / "RPL.LOG"); }
};

} // namespace

TEST_F(StatusFixture, LevelsDecideTheOutlets)
{
    status.WriteStatus("Skip File a.txt", StatusLevel::StatusLineOnly);
    EXPECT_EQ(frontEnd.statusLines.back(), "Skip File a.txt");
    EXPECT_TRUE(frontEnd.activity.empty());
    EXPECT_EQ(log(), "");

    status.WriteStatus(" * Delete file x", StatusLevel::Change);
    status.WriteStatus("/src", StatusLevel::Folder);
    status.WriteStatus("Mirror Ended on now", StatusLevel::Summary);
    EXPECT_EQ(frontEnd.activity, " * Delete file x\r\n/src\r\nMirror Ended on now\r\n");
    EXPECT_EQ(frontEnd.summary, "Mirror Ended on now\r\n");
    EXPECT_EQ(log(), " * Delete file x\r\n/src\r\nMirror Ended on now\r\n");
    // Every line, level 0 included, lets the window serve its events.
    EXPECT_EQ(frontEnd.eventRounds, 4);

    settings.logFileEnable = false;
    status.WriteStatus("not logged", StatusLevel::Folder);
    EXPECT_EQ(log(), " * Delete file x\r\n/src\r\nMirror Ended on now\r\n");
}

TEST_F(StatusFixture, StoppingErrorShowsTheBoxBeforeTheLineAndRaisesTheStopFlag)
{
    status.WriteError("Cannot copy file /a", false);
    EXPECT_FALSE(stop.raised());
    EXPECT_TRUE(frontEnd.messages.empty());
    status.WriteError("Aborted by user!", true);
    EXPECT_TRUE(stop.raised());
    ASSERT_EQ(frontEnd.messages, std::vector<std::string> { " *** ERROR! Aborted by user!" });
    EXPECT_EQ(frontEnd.linesBeforeMessage.back(), 1u);
    EXPECT_EQ(log(), " *** ERROR! Cannot copy file /a\r\n *** ERROR! Aborted by user!\r\n");
    EXPECT_EQ(status.errorCount(), 2);
    EXPECT_TRUE(frontEnd.summary.empty());
}

TEST_F(StatusFixture, RunHeaderAppendsOrStartsAfresh)
{
    status.startRun();
    status.WriteStatus("first run", StatusLevel::Folder);
    status.startRun();
    status.WriteStatus("second run", StatusLevel::Folder);
    const std::string header = "\r\n====================\r\n\r\n";
    EXPECT_EQ(log(), header + "first run\r\n" + header + "second run\r\n");

    settings.logFileOverwrite = true;
    status.startRun();
    status.WriteStatus("third run", StatusLevel::Folder);
    EXPECT_EQ(log(), header + "third run\r\n");
}

TEST_F(StatusFixture, StartOfRunClearsTheSummary)
{
    status.WriteStatus("old summary", StatusLevel::Summary);
    settings.logFileEnable = false;
    status.startRun();
    EXPECT_TRUE(frontEnd.summary.empty());
}

TEST_F(StatusFixture, ActivityPaneIsCutBackKeepingThePairHeader)
{
    settings.logFileEnable = false;
    status.WriteStatus("/src  ==>  /dst", StatusLevel::Summary);
    status.WriteStatus("Mirror Started on 1/2/26 3:04:05 AM", StatusLevel::Summary);
    int n = 0;
    while (status.activityText().size() < StatusOutput::ActivityLimit)
        status.WriteStatus("line " + std::to_string(n++) + std::string(40, '.'), StatusLevel::Change);
    const std::string before = status.activityText();
    status.WriteStatus("after the cut", StatusLevel::Change);
    const std::string expected = "/src  ==>  /dst\r\nMirror Started on 1/2/26 3:04:05 AM\r\n[...]\r\n"
        + before.substr(4999) + "after the cut\r\n";
    EXPECT_EQ(status.activityText(), expected);
    EXPECT_EQ(frontEnd.activity, expected);
    EXPECT_LT(status.activityText().size(), StatusOutput::ActivityLimit);
}

TEST_F(StatusFixture, UnwritableLogFileRaisesAnError)
{
    settings.logFileName = (dir / "missing" / "RPL.LOG").string();
    EXPECT_THROW(status.WriteStatus("line", StatusLevel::Change), ELogFileError);
    EXPECT_THROW(status.startRun(), ELogFileError);
}
