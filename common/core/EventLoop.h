#pragma once

// The one door to the GUI thread's event loop. Sockets, timers, self-posted calls and every
// blocking wait reach the loop only through these few pieces, so the rest of the code never
// names the toolkit and a wait can never degrade into a busy spin.

#include <chrono>
#include <functional>
#include <memory>

class QObject;
class QSocketNotifier;
class QTimer;

namespace core {

// Reports read and write readiness of one descriptor on the GUI thread. Write readiness is
// level-triggered, so switch it on only while there is something to write or a connect pends.
class FdWatcher final
{
public:
    explicit FdWatcher(int fd);
    ~FdWatcher();
    FdWatcher(const FdWatcher&) = delete;
    FdWatcher& operator=(const FdWatcher&) = delete;

    void setOnReadable(std::function<void()> handler);
    void setOnWritable(std::function<void()> handler);
    void watchRead(bool on);
    void watchWrite(bool on);
    int fd() const { return m_fd; }

private:
    int m_fd;
    std::unique_ptr<QSocketNotifier> m_read;
    std::unique_ptr<QSocketNotifier> m_write;
    std::function<void()> m_onReadable;
    std::function<void()> m_onWritable;
};

// Runs calls later, in posting order, on the GUI thread. Calls still queued when the poster is
// cancelled or destroyed never run, so an owner can post calls that capture `this`.
class Poster final
{
public:
    Poster();
    ~Poster();
    Poster(const Poster&) = delete;
    Poster& operator=(const Poster&) = delete;

    void post(std::function<void()> call);
    void cancelAll();

private:
    std::unique_ptr<QObject> m_context;
};

// A single-shot or interval timer whose handler runs on the GUI thread.
class Timer final
{
public:
    Timer();
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void setOnTimeout(std::function<void()> handler);
    // Fires at the interval to the millisecond instead of within the system's coarse slack
    // (which may also come early): for deadlines a user sets.
    void setPrecise(bool precise);
    void start(int intervalMs, bool singleShot = false);
    void stop();
    bool isActive() const;
    int interval() const;

private:
    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_onTimeout;
};

// Dispatches the events that are pending now and returns without waiting.
void pumpOnce();

// Sleeps in the event loop, dispatching events as they come, until `done()` holds, the deadline
// passes or the application is quitting (QCoreApplication::exit or quit was called and its main
// loop has not returned yet; then every wait ends at once). `done()` is checked each time the
// loop has dispatched what was pending. Returns the last value of `done()`. Safe to nest.
bool waitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline);
bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// A job handed to runInBackground. Copies share the job.
class BackgroundJob final
{
public:
    // Makes sure `deliver` never runs; `work` is skipped when it has not started yet. GUI thread.
    void cancel();
    // Handed over, and neither delivered nor cancelled yet.
    bool pending() const;

    struct State; // shared with the pool, defined in EventLoop.cpp

private:
    friend BackgroundJob runInBackground(std::function<void()> work, std::function<void()> deliver);
    std::shared_ptr<State> m_state;
};

// Runs `work` on a worker thread of the adapter's own small pool (a few threads, started on
// demand; never Qt's global pool), then `deliver` on the GUI thread, the thread that calls
// this. Blocking work such as a name look-up therefore delays neither the GUI nor other
// background work, and a worker still blocked when the program ends does not hold up its exit.
// `work` must not touch GUI objects, and must not throw (an escaping exception is dropped).
BackgroundJob runInBackground(std::function<void()> work, std::function<void()> deliver);

} // namespace core
