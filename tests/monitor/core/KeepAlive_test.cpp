// The keep-alive schedule: the interval box's checks, the configure command with its question,
// and a dialog re-opened without changes that leaves the schedule alone.

#include "AlertFixture.h"

using namespace monitor;
using Lines = std::vector<std::string>;

namespace {

const std::string RangeError = "Error in input - Keep Alive interval must be between 1 and 24";

} // namespace

struct KeepAlive : AlertFixture
{
    QDateTime now = pinnedNow();

    void SetUp() override
    {
        beginLogged();
        alerts().setClock([this] { return now; });
    }
    void noDialog() { }
};

TEST_F(KeepAlive, TheIntervalMustBeOneToTwentyFourHours)
{
    struct Case
    {
        std::string text;
        int intervalMs; // 0: refused
    };
    const std::vector<Case> cases = {
        { "24", 86'400'000 },
        { "0", 0 },
        { "1", 3'600'000 },
        { "25", 0 },
        { " 12 ", 43'200'000 },
        { "twelve", 0 },
        { "12", 43'200'000 },
        { "", 0 },
        { "-3", 0 },
        { "1.5", 0 },
        { "99999999999999999999", 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        frontEnd.messages.clear();
        actions().sendKeepAlive = true;
        actions().keepAliveInterval = c.text;
        alerts().SetupKeepAlive();
        if (c.intervalMs) {
            EXPECT_TRUE(frontEnd.messages.empty());
            EXPECT_TRUE(alerts().keepAliveRunning());
            EXPECT_EQ(alerts().keepAliveInterval(), c.intervalMs);
            EXPECT_EQ(actions().keepAliveInterval, c.text);
        } else {
            EXPECT_EQ(frontEnd.messages, Lines { RangeError });
            EXPECT_FALSE(alerts().keepAliveRunning());
            EXPECT_EQ(actions().keepAliveInterval, "1");
            EXPECT_FALSE(actions().sendKeepAlive);
        }
    }
    // Unticked: stopped, whatever the text.
    actions().sendKeepAlive = true;
    actions().keepAliveInterval = "3";
    alerts().SetupKeepAlive();
    ASSERT_TRUE(alerts().keepAliveRunning());
    actions().sendKeepAlive = false;
    actions().keepAliveInterval = "junk";
    frontEnd.messages.clear();
    alerts().SetupKeepAlive();
    EXPECT_FALSE(alerts().keepAliveRunning());
    EXPECT_TRUE(frontEnd.messages.empty());
}

TEST_F(KeepAlive, ConfigureAsksOnceWhenTheScheduleStartsAndReopeningChangesNothing)
{
    ASSERT_TRUE(server.started());
    const auto tick = [&] {
        actions().sendKeepAlive = true;
        actions().keepAliveInterval = "12";
    };
    alerts().Configure(tick);
    ASSERT_EQ(frontEnd.questions.size(), 1u);
    EXPECT_EQ(frontEnd.questions[0],
        std::make_pair(std::string("KeepAlive Enabled"), std::string("Do you want to send a KeepAlive message now?")));
    const QJsonObject mail = nextMail();
    EXPECT_EQ(header(mail, "Subject"), std::string("SEN - Keep Alive ") + Stamp);
    EXPECT_EQ(text(mail),
        std::string("SEN - Keep Alive ") + Stamp
            + "\r\n\r\n\r\nNext scheduled keep alive message expected at: 6/13/26 2:05:09 AM\r\n\r\n");
    EXPECT_EQ(alerts().keepAliveSince(), pinnedNow());

    // Opened again an hour later and closed without changes: same schedule, no question.
    now = now.addSecs(3600);
    alerts().Configure([] {});
    EXPECT_EQ(frontEnd.questions.size(), 1u);
    EXPECT_TRUE(alerts().keepAliveRunning());
    EXPECT_EQ(alerts().keepAliveSince(), pinnedNow());

    // A new interval restarts the count, still without a question.
    alerts().Configure([&] { actions().keepAliveInterval = "6"; });
    EXPECT_EQ(alerts().keepAliveInterval(), 6 * 3'600'000);
    EXPECT_EQ(alerts().keepAliveSince(), now);
    EXPECT_EQ(frontEnd.questions.size(), 1u);

    // Off, then on again with No: asked, nothing sent.
    alerts().Configure([&] { actions().sendKeepAlive = false; });
    EXPECT_FALSE(alerts().keepAliveRunning());
    frontEnd.answer = false;
    alerts().Configure(tick);
    EXPECT_EQ(frontEnd.questions.size(), 2u);
    EXPECT_TRUE(alerts().keepAliveRunning());
    EXPECT_TRUE(server.waitForMessage(2, 300).empty());
}

TEST_F(KeepAlive, AnIntervalOutOfRangeInTheDialogIsCorrectedWithoutAQuestion)
{
    alerts().Configure([&] {
        actions().sendKeepAlive = true;
        actions().keepAliveInterval = "0";
    });
    EXPECT_EQ(frontEnd.messages, Lines { RangeError });
    EXPECT_TRUE(frontEnd.questions.empty());
    EXPECT_FALSE(alerts().keepAliveRunning());
}

TEST_F(KeepAlive, StartUpAndEveryLoadSetTheScheduleUp)
{
    test::writeFile(ini, "[Actions]\r\nSendKeepAlive=1\r\nKeepAliveInterval=2\r\n");
    run();
    EXPECT_TRUE(controller->alerts().keepAliveRunning());
    EXPECT_EQ(controller->alerts().keepAliveInterval(), 2 * 3'600'000);

    const fs::path other = dir / "other.SEN";
    test::writeFile(other, "[Actions]\r\nSendKeepAlive=1\r\nKeepAliveInterval=25\r\n");
    controller->openDataFile(other.string());
    EXPECT_EQ(frontEnd.messages, Lines { RangeError });
    EXPECT_FALSE(controller->alerts().keepAliveRunning());
    EXPECT_EQ(controller->settings().actions.keepAliveInterval, "1");

    test::writeFile(other, "[Actions]\r\nSendKeepAlive=1\r\nKeepAliveInterval=24\r\n");
    controller->openDataFile(other.string());
    EXPECT_TRUE(controller->alerts().keepAliveRunning());
    EXPECT_EQ(controller->alerts().keepAliveInterval(), 86'400'000);
}
