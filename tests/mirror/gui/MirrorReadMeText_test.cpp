// The mirror's help text: its title and the promise that it points nowhere outside the program.

#include "common/desktop/gui/ReadMeWindow.h"
#include "mirror/gui/MirrorReadMeText.h"
#include "tests/support/TextChecks.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>

#include <string>
#include <vector>

using namespace mirror;

namespace {

TEST(MirrorReadMeText, OpensWithTheVersionUnderlinedByTildes)
{
    const std::vector<std::string> lines = test::linesOf(mirrorReadMeText());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "RPL - Version 2.10");
    EXPECT_EQ(lines[1], std::string(lines[0].size(), '~'));
    EXPECT_EQ(mirrorReadMeText().find('\r'), std::string::npos);
}

TEST(MirrorReadMeText, NamesNoWebSiteAndNoMailAddress)
{
    EXPECT_EQ(test::firstAddressIn(mirrorReadMeText()), "");
}

TEST(MirrorReadMeText, ReachesTheWindowUnchanged)
{
    desktop::TReadMe readMe(mirrorReadMeOptions());
    EXPECT_EQ(readMe.windowTitle().toStdString(), "RPL - ReadMe");
    EXPECT_EQ(readMe.Memo1()->toPlainText().toStdString(), mirrorReadMeText());
    EXPECT_TRUE(readMe.Memo1()->isReadOnly());
}

} // namespace
