// The request bookkeeping the line clients share: a request ends once, OnRequestDone comes later
// from the event loop (never after its owner is gone), reply codes are judged as the protocols
// want, and an owner destroyed inside one of its events unwinds to the entry point.

#include "common/net/SyncWait.h"
#include "common/net/detail/RequestEngine.h"

#include <gtest/gtest.h>

#include <memory>

using namespace net;
using namespace std::chrono_literals;

TEST(RequestEngine, EndsOnceAndReportsLaterFromTheEventLoop)
{
    RequestEngine engine;
    std::vector<std::pair<int, int>> done;
    engine.setDoneHandler([&](int request, int error) { done.emplace_back(request, error); });
    engine.start(7);
    EXPECT_FALSE(engine.ended());
    EXPECT_TRUE(engine.complete(0x1234567));
    EXPECT_FALSE(engine.complete(1)); // a second completion is ignored
    EXPECT_TRUE(done.empty()); // not inside the call that ended the request
    core::waitFor([&] { return !done.empty(); }, 2s);
    EXPECT_EQ(done, (std::vector<std::pair<int, int>> { { 7, 0x4567 } }));
    EXPECT_EQ(engine.result(), 0x1234567);

    int late = 0;
    {
        RequestEngine gone;
        gone.setDoneHandler([&](int, int) { ++late; });
        gone.start(1);
        gone.complete(0);
    }
    core::waitFor([] { return false; }, 50ms);
    EXPECT_EQ(late, 0);
}

TEST(RequestEngine, JudgesReplyCodesAndKeepsTheFirstError)
{
    struct JudgeCase
    {
        std::vector<int> accepted;
        int code;
        int result;
    };
    for (const auto& c : { JudgeCase { { 250 }, 250, 0 },
             JudgeCase { { 250, 251 }, 251, 0 },
             JudgeCase { { 250 }, 550, 550 },
             JudgeCase { { 250 }, 0, 500 },
             JudgeCase { {}, 354, 0 },
             JudgeCase { {}, 501, 501 } }) {
        RequestEngine engine;
        engine.start(0);
        engine.setLastResponse("reply " + std::to_string(c.code));
        engine.expect(c.accepted, nullptr);
        EXPECT_EQ(engine.judge(c.code), c.result) << c.code;
        EXPECT_EQ(engine.statusCode(), c.code);
        EXPECT_EQ(engine.errorMessage(), c.result ? "reply " + std::to_string(c.code) : "");
    }
    RequestEngine engine;
    engine.noteError("first");
    engine.localReply("500 made up", 500);
    EXPECT_EQ(engine.errorMessage(), "first");
    EXPECT_EQ(engine.lastResponse(), "500 made up");
    engine.timedOut();
    EXPECT_EQ(engine.errorMessage(), "426 Timeout");
    EXPECT_EQ(engine.statusCode(), 426);
}

TEST(RequestEngine, AnOwnerDestroyedInItsEventUnwindsToTheEntryPoint)
{
    struct Owner
    {
        RequestEngine engine;
        std::function<void()> onEvent;
        SyncWait wait;
    };
    auto owner = std::make_unique<Owner>();
    owner->onEvent = [&] { owner.reset(); };
    bool after = false;
    RequestEngine::entry([&] {
        Owner* self = owner.get();
        self->engine.fire(self->onEvent);
        after = true; // never reached: the owner is gone
    });
    EXPECT_FALSE(owner);
    EXPECT_FALSE(after);

    // A wait of an owner destroyed meanwhile ends at once and touches nothing of it.
    owner = std::make_unique<Owner>();
    core::Timer timer;
    timer.setOnTimeout([&] { owner.reset(); });
    timer.start(20, true);
    EXPECT_EQ(owner->wait.wait(30, [] { return false; }), SyncWait::Outcome::Destroyed);
}
