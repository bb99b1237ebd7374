// Mails asked for while another is on its way (the send waits in the event loop, so a timer or
// a test result can ask meanwhile): each is queued as it was asked for and sent after the one
// on its way, in order, without disturbing it.

#include "AlertFixture.h"

#include "common/core/EventLoop.h"

using namespace monitor;
using Lines = std::vector<std::string>;

namespace {

const std::string Failure = "Ping Fail to: 127.0.0.2 router";
const std::string Recovery = "Ping OK to: 127.0.0.2 router";
const std::string KeepAlive = AlertDispatcher::KeepAliveMessage;
const std::string Later = "6/12/26 2:06:00 PM";

} // namespace

struct AlertQueue : AlertFixture
{
    QDateTime now = pinnedNow();

    void SetUp() override
    {
        ASSERT_TRUE(server.started());
        beginLogged();
        alerts().setClock([this] { return now; });
        actions().sendCurrentStatus = 1;
        actions().sendKeepAlive = true;
        alerts().SetupKeepAlive();
    }

    // Runs `call` inside the send, once the client has sent DATA.
    void duringData(std::function<void()> call)
    {
        pane.trigger = "> DATA";
        pane.onTrigger = std::move(call);
    }
};

TEST_F(AlertQueue, AKeepAliveTickDuringAnAlertMailGoesOutAfterIt)
{
    size_t queued = 0;
    duringData([&] {
        now = now.addSecs(51);
        alerts().SendAlertMail(KeepAlive, true); // what the keep-alive timer's tick does
        queued = alerts().queuedMails();
    });
    const size_t before = frontEnd.activity.size();
    alerts().SendAlertMail(Failure, false);
    EXPECT_EQ(queued, 1u);
    EXPECT_FALSE(alerts().sending());

    const QJsonObject first = nextMail();
    EXPECT_EQ(header(first, "Subject"), Failure + " " + Stamp);
    EXPECT_EQ(text(first), Failure + " " + Stamp + "\r\n\r\n");
    const QJsonObject second = nextMail();
    EXPECT_EQ(header(second, "Subject"), KeepAlive + " " + Later);
    EXPECT_EQ(text(second),
        KeepAlive + " " + Later
            + "\r\n\r\n\r\nNext scheduled keep alive message expected at: 6/13/26 2:06:00 AM\r\n\r\n");
    EXPECT_EQ(activitySince(before),
        (Lines { "* Email: " + Failure + " " + Stamp, "Send OK.", "* Email: " + KeepAlive + " " + Later, "Send OK." }));
    const Lines logged = logLines();
    EXPECT_EQ(Lines(logged.end() - 2, logged.end()),
        (Lines { "* Send Mail OK: " + Failure + " " + Stamp, "* Send Mail OK: " + KeepAlive + " " + Later }));
}

TEST_F(AlertQueue, ChangesDuringTheKeepAliveMailGoOutInTheOrderAsked)
{
    duringData([&] {
        alerts().SendAlertMail(Failure, false);
        // A second request from inside the first queued mail's wait is queued behind it.
        pane.trigger = "> DATA";
        pane.onTrigger = [&] { alerts().SendAlertMail(Recovery, false); };
    });
    alerts().SendAlertMail(KeepAlive, true);
    Lines subjects;
    for (int i = 0; i < 3; ++i)
        subjects.push_back(header(nextMail(), "Subject"));
    EXPECT_EQ(subjects, (Lines { KeepAlive + " " + Stamp, Failure + " " + Stamp, Recovery + " " + Stamp }));
    EXPECT_EQ(alerts().queuedMails(), 0u);
}

TEST_F(AlertQueue, TestSmtpWaitsForNoMailAndAMailAskedForDuringItFollows)
{
    bool tested = true;
    duringData([&] { tested = alerts().TestSMTP(); });
    alerts().SendAlertMail(Failure, false);
    EXPECT_FALSE(tested);
    EXPECT_TRUE(frontEnd.messages.empty());
    EXPECT_EQ(pane.lines.front(), "* Sending email: " + Failure + " " + Stamp);
    EXPECT_EQ(pane.lines.back(), "* Done.");

    duringData([&] { alerts().SendAlertMail(Recovery, false); });
    EXPECT_TRUE(alerts().TestSMTP());
    EXPECT_EQ(frontEnd.messages, Lines { "Send OK." });
    EXPECT_EQ(header(nextMail(), "Subject"), Failure + " " + Stamp);
    EXPECT_EQ(header(nextMail(), "Subject"), "SEN - TEST");
    EXPECT_EQ(header(nextMail(), "Subject"), Recovery + " " + Stamp);
}

TEST_F(AlertQueue, ACloseDuringAMailRunsOnceTheMailsAreOut)
{
    int closes = 0;
    EXPECT_FALSE(controller->deferCloseForMail([&] { ++closes; }));
    EXPECT_EQ(closes, 0);

    bool deferred = false;
    duringData([&] {
        deferred = controller->deferCloseForMail([&] { ++closes; });
        alerts().SendAlertMail(Recovery, false);
    });
    alerts().SendAlertMail(Failure, false);
    EXPECT_TRUE(deferred);
    EXPECT_TRUE(controller->settings().StopRequested.raised());
    EXPECT_EQ(closes, 0) << "the close runs from the event loop, not inside the send";
    EXPECT_TRUE(core::waitFor([&] { return closes > 0; }, std::chrono::seconds(5)));
    core::waitFor([] { return false; }, std::chrono::milliseconds(20));
    EXPECT_EQ(closes, 1);
    EXPECT_EQ(header(nextMail(), "Subject"), Failure + " " + Stamp);
    EXPECT_EQ(header(nextMail(), "Subject"), Recovery + " " + Stamp);
}
