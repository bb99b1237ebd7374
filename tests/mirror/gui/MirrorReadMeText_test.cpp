// The mirror's help text: its title and the promise that it points nowhere outside the program.

#include "common/desktop/gui/ReadMeWindow.h"
#include "mirror/gui/MirrorReadMeText.h"

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QRegularExpression>

#include <sstream>
#include <string>
#include <vector>

using namespace mirror;

namespace {

std::vector<std::string> linesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

TEST(MirrorReadMeText, OpensWithTheVersionUnderlinedByTildes)
{
    const std::vector<std::string> lines = linesOf(mirrorReadMeText());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "RPL - Version 2.10");
    EXPECT_EQ(lines[1], std::string(lines[0].size(), '~'));
    EXPECT_EQ(mirrorReadMeText().find('\r'), std::string::npos);
}

TEST(MirrorReadMeText, NamesNoWebSiteAndNoMailAddress)
{
    const QString text = QString::fromStdString(mirrorReadMeText());
    const QRegularExpression url(
        QStringLiteral(R"(([a-z][a-z0-9+.-]*://)|(\bwww\.)|(\b[a-z0-9-]+\.(com|org|net|de|uk|ru)\b))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpression mail(QStringLiteral(R"([A-Za-z0-9._%+-]+@[A-Za-z0-9.-]+\.[A-Za-z]{2,})"));
    EXPECT_FALSE(url.match(text).hasMatch()) << url.match(text).captured().toStdString();
    EXPECT_FALSE(mail.match(text).hasMatch()) << mail.match(text).captured().toStdString();
}

TEST(MirrorReadMeText, ReachesTheWindowUnchanged)
{
    desktop::TReadMe readMe(mirrorReadMeOptions());
    EXPECT_EQ(readMe.windowTitle().toStdString(), "RPL - ReadMe");
    EXPECT_EQ(readMe.Memo1()->toPlainText().toStdString(), mirrorReadMeText());
    EXPECT_TRUE(readMe.Memo1()->isReadOnly());
}

} // namespace
