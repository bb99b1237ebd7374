#include "common/core/EventLoop.h"

#include <QCoreApplication>
#include <QProcess>
#include <QThreadPool>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

using namespace std::chrono;
using namespace std::chrono_literals;

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

// ---- quitting ----------------------------------------------------------------------------------

// A wait in progress when the program quits ends then, whatever its deadline, and so does any
// wait started before the main loop has returned.
TEST(EventLoop, WaitEndsWhenTheApplicationQuits)
{
    bool first = true;
    bool second = true;
    steady_clock::time_point ended;
    const auto start = steady_clock::now();
    QTimer::singleShot(0, [&] {
        first = core::waitFor([] { return false; }, 60s);
        ended = steady_clock::now();
        second = core::waitFor([] { return false; }, 60s);
    });
    QTimer::singleShot(100, [] { QCoreApplication::exit(0); });
    QTimer::singleShot(30000, [] { QCoreApplication::exit(1); }); // only if a wait missed the quit
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(first);
    EXPECT_FALSE(second);
    EXPECT_LT(ended - start, 30s);
    // The main loop has returned: waits work again.
    EXPECT_FALSE(core::waitFor([] { return false; }, 20ms));
    EXPECT_TRUE(core::waitFor([] { return true; }, 20ms));
}

// ---- background work -----------------------------------------------------------------------

namespace {

// Waits for a condition that a worker thread changes without posting anything: a ticking timer
// makes the wait look again now and then.
bool waitForWorker(const std::function<bool()>& done)
{
    core::Timer tick;
    tick.start(5);
    return core::waitFor(done, 5s);
}

} // namespace

TEST(EventLoop, BackgroundWorkRunsOnAWorkerAndDeliversOnTheGuiThread)
{
    const auto gui = std::this_thread::get_id();
    std::thread::id worker;
    std::thread::id deliveredOn;
    auto job = core::runInBackground(
        [&] { worker = std::this_thread::get_id(); }, [&] { deliveredOn = std::this_thread::get_id(); });
    EXPECT_TRUE(job.pending());
    ASSERT_TRUE(core::waitFor([&] { return deliveredOn != std::thread::id(); }, 5s));
    EXPECT_NE(worker, gui);
    EXPECT_EQ(deliveredOn, gui);
    EXPECT_FALSE(job.pending());
}

TEST(EventLoop, CancelledBackgroundJobDeliversNothing)
{
    std::atomic<bool> release { false };
    std::atomic<int> worked { 0 };
    int delivered = 0;
    auto running = core::runInBackground(
        [&] {
            ++worked;
            while (!release)
                std::this_thread::sleep_for(1ms);
        },
        [&] { ++delivered; });
    ASSERT_TRUE(waitForWorker([&] { return worked == 1; }));
    running.cancel(); // while its work runs
    auto queued = core::runInBackground([&] { ++worked; }, [&] { ++delivered; });
    queued.cancel(); // before or while it starts
    auto control = core::runInBackground([] {}, [&] { delivered += 100; });
    release = true;
    ASSERT_TRUE(core::waitFor([&] { return delivered >= 100; }, 5s));
    core::waitFor([] { return false; }, 100ms); // a late delivery would show now
    EXPECT_EQ(delivered, 100);
    EXPECT_FALSE(running.pending());
    EXPECT_FALSE(queued.pending());
}

// Work that blocks (a dead DNS server) delays neither later work nor Qt's global pool.
TEST(EventLoop, BlockedBackgroundWorkDelaysNothingElse)
{
    std::atomic<bool> release { false };
    std::atomic<int> blocked { 0 };
    std::vector<core::BackgroundJob> stuck;
    for (int i = 0; i < 2; ++i) {
        stuck.push_back(core::runInBackground(
            [&] {
                ++blocked;
                while (!release)
                    std::this_thread::sleep_for(1ms);
            },
            [] {}));
    }
    ASSERT_TRUE(waitForWorker([&] { return blocked == 2; }));
    bool quick = false;
    core::runInBackground([] {}, [&] { quick = true; });
    EXPECT_TRUE(core::waitFor([&] { return quick; }, 5s));
    EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), 0);
    release = true;
}

// The program ends while a worker is still blocked: its exit does not wait for the worker.
// The test runs itself again as a child whose only job is to leave such a worker behind.
TEST(EventLoop, BlockedBackgroundWorkDoesNotHoldUpTheExit)
{
    if (std::getenv("CORE_TEST_EXIT_CHILD")) {
        core::runInBackground([] { std::this_thread::sleep_for(120s); }, [] {});
        core::waitFor([] { return false; }, 50ms);
        return;
    }
    QProcess child;
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("CORE_TEST_EXIT_CHILD", "1");
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
        { "--gtest_filter=EventLoop.BlockedBackgroundWorkDoesNotHoldUpTheExit" });
    const bool ended = child.waitForFinished(60000);
    if (!ended)
        child.kill();
    EXPECT_TRUE(ended) << "the child waited for its blocked worker";
    EXPECT_EQ(child.exitCode(), 0) << child.readAll().toStdString();
    child.waitForFinished();
}
