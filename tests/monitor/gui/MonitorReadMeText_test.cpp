// The monitor's help text: its title (the version the data file stores), its parts in order,
// and the promise that it points nowhere outside the program.

#include "common/desktop/gui/ReadMeWindow.h"
#include "monitor/core/DataFile.h"
#include "monitor/gui/MonitorReadMeText.h"
#include "tests/support/TextChecks.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <string>
#include <vector>

using namespace monitor;

namespace {

TEST(MonitorReadMeText, OpensWithTheStoredVersionUnderlinedByEqualsSigns)
{
    const std::vector<std::string> lines = test::linesOf(monitorReadMeText());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "SEN - Senvigil, ver 1.53b");
    EXPECT_EQ(lines[0], VersionInfo);
    EXPECT_EQ(lines[1], std::string(lines[0].size(), '='));
    EXPECT_EQ(monitorReadMeText().find('\r'), std::string::npos);
}

TEST(MonitorReadMeText, PurposeTipsThenTheHistoryNewestFirst)
{
    const std::string text = monitorReadMeText();
    size_t at = 0;
    for (const char* part : { "PING",
             "GETTING STARTED",
             "TIPS",
             "Enter in the \"New Host\" box",
             "TCP port test is faster",
             "IP address rather than its name",
             "first failure after a success",
             "mail-to-SMS",
             "data file",
             "TTL",
             "saved when SEN closes",
             "VERSION HISTORY, NEWEST FIRST",
             "Sorting by IP address",
             "KeepAlive",
             "Save Settings on Exit",
             "Verbose",
             "RetryOnFirstFail",
             "command line",
             "position",
             "Earlier releases" }) {
        at = text.find(part, at);
        ASSERT_NE(at, std::string::npos) << part;
    }
}

TEST(MonitorReadMeText, NamesNoWebSiteNoMailAddressAndNoPerson)
{
    EXPECT_EQ(test::firstAddressIn(monitorReadMeText()), "");
}

TEST(MonitorReadMeText, ReachesTheWindowUnchanged)
{
    desktop::TReadMe readMe(monitorReadMeOptions());
    EXPECT_EQ(readMe.windowTitle().toStdString(), "SEN - ReadMe");
    EXPECT_EQ(readMe.Memo1()->toPlainText().toStdString(), monitorReadMeText());
    EXPECT_FALSE(readMe.Memo1()->isReadOnly());
}

} // namespace
