#include "common/core/EventLoop.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

using namespace std::chrono;

TEST(EventLoop, PostedCallsRunLaterInOrder)
{
    core::Poster poster;
    std::vector<int> order;
    poster.post([&] { order.push_back(1); });
    poster.post([&] { order.push_back(2); });
    EXPECT_TRUE(order.empty());
    EXPECT_TRUE(core::waitFor([&] { return order.size() == 2; }, 2s));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(EventLoop, CancelledAndDestroyedPostersDropTheirCalls)
{
    int runs = 0;
    {
        core::Poster poster;
        poster.post([&] { ++runs; });
        poster.cancelAll();
        poster.post([&] { runs += 10; });
        auto doomed = std::make_unique<core::Poster>();
        doomed->post([&] { runs += 100; });
        doomed.reset();
        core::waitFor([] { return false; }, 50ms);
    }
    EXPECT_EQ(runs, 10);
}

// The CPU a wait uses is measured by bench/smtp; here only its contract: never before the deadline.
TEST(EventLoop, WaitReturnsFalseAtTheDeadlineAndNotBefore)
{
    const auto start = steady_clock::now();
    EXPECT_FALSE(core::waitFor([] { return false; }, 300ms));
    EXPECT_GE(steady_clock::now() - start, 300ms);
}

TEST(EventLoop, TimerWakesANestedWait)
{
    core::Timer timer;
    int ticks = 0;
    timer.setOnTimeout([&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(core::waitFor([&] {
        // A wait inside a wait still serves the timer.
        return core::waitFor([&] { return ticks >= 3; }, 2s);
    }, 3s));
    timer.stop();
    EXPECT_FALSE(timer.isActive());

    core::Timer once;
    int fired = 0;
    once.setOnTimeout([&] { ++fired; });
    once.start(5, true);
    core::waitFor([] { return false; }, 100ms);
    EXPECT_EQ(fired, 1);
}

TEST(EventLoop, WatcherReportsReadAndWriteReadiness)
{
    int fds[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    core::FdWatcher watcher(fds[0]);
    bool readable = false;
    bool writable = false;
    watcher.setOnReadable([&] {
        char byte;
        ASSERT_EQ(read(fds[0], &byte, 1), 1);
        readable = true;
    });
    watcher.setOnWritable([&] {
        writable = true;
        watcher.watchWrite(false);
    });
    watcher.watchRead(true);
    watcher.watchWrite(true);
    EXPECT_TRUE(core::waitFor([&] { return writable; }, 2s));
    EXPECT_FALSE(readable);
    ASSERT_EQ(write(fds[1], "x", 1), 1);
    EXPECT_TRUE(core::waitFor([&] { return readable; }, 2s));
    close(fds[0]);
    close(fds[1]);
}
