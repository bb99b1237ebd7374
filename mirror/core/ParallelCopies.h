#pragma once

// Runs file copies (those of one folder, or of a whole new tree) up to eight at once, and
// finishes them strictly in the order they were added, so the status and log lines read as if
// the files were copied one after the other.
//
// Each step has three parts. `begin` runs on the GUI thread once every earlier step is
// finished (it writes the lines that come before the copy). `copy` runs on a worker of the
// event-loop adapter's background pool and does nothing but the copy's system calls, so a
// slow share costs its round trips on eight files at once instead of one after the other.
// `finish` runs on the GUI thread right after `begin` once the copy is done (the lines after
// it, putting the copy in place). While a step waits for its copy the GUI thread sleeps in
// the event loop, so the window stays alive and Stop is served; deliveries only mark a copy
// done, they never run engine code inside somebody else's event handling.
//
// Handing a copy to a worker costs two thread wake-ups, more than a small file's whole copy on
// a local disk. So a destination starts "quick": small files are copied on the GUI thread as
// before, and their times are watched (CopyPace). Once small copies take longer than a local
// disk ever makes them (a share where each file operation is a round trip), copies go to the
// workers, eight at once; should they become quick again, back to the GUI thread. Files of a
// mebibyte and more always go to a worker, so a long copy never holds up the window.
//
// When the stop flag is raised, steps not begun are given up: their copies are told to
// stop, and `discard` runs for those whose copy was done (removing a finished temporary).
// Nothing is left running when add()/drain() return to a caller that stops, nor when the
// object is destroyed: workers never outlive the pair whose destination lock covers them.

#include "common/core/FileCopy.h"
#include "common/core/StopFlag.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

namespace mirror {

// How long small copies take on the destination of the pair under way, and so whether they
// are worth handing to workers. One per pair; shared by the folders' ParallelCopies.
class CopyPace
{
public:
    static constexpr double SlowMs = 2.0; // above: workers
    static constexpr double QuickMs = 0.5; // below: the GUI thread again
    void record(double ms);
    bool parallel() const { return m_parallel; }
    void reset();
    // Every copy on the workers from the start, whatever the pace (tests, diagnosis).
    void forceParallel() { m_forced = m_parallel = true; }

private:
    static constexpr size_t Window = 5;
    double m_recentMs[Window] = {};
    size_t m_samples = 0;
    bool m_parallel = false;
    bool m_forced = false;
};

class ParallelCopies
{
public:
    static constexpr int DefaultWidth = 8;

    struct Step
    {
        std::function<void()> begin;
        // Worker thread: returns 0 or an errno. Empty: nothing to copy.
        std::function<int(const core::CopyProgress&)> copy;
        std::function<void(int error)> finish;
        std::function<void()> discard;
        uint64_t bytes = 0; // the size to copy: small files may be copied at once
    };

    static constexpr uint64_t SmallFile = 1 << 20;

    ParallelCopies(const core::StopFlag& stop, CopyPace& pace, int width = DefaultWidth);
    ~ParallelCopies();
    ParallelCopies(const ParallelCopies&) = delete;
    ParallelCopies& operator=(const ParallelCopies&) = delete;

    // Queues a step, finishing earlier ones and waiting for room as needed.
    void add(Step step);
    // Finishes every queued step (or gives them up once the run stops).
    void drain();

    // Runs on the GUI thread at least every TickMs while a step waits (progress).
    void setTick(std::function<void()> tick) { m_tick = std::move(tick); }
    // Whether no step is queued: a step without a copy may then be done at once.
    bool idle() const { return m_queue.empty(); }

    // Whether steps were given up because the run stopped.
    bool gaveUp() const { return m_gaveUp; }

    // Bytes copied by the copies not finished yet.
    uint64_t bytesInFlight() const;

    static constexpr int TickMs = 200;

private:
    struct Job;
    void startCopies();
    // Finishes the steps at the head whose copies are done; true when it finished any.
    bool finishReady();
    void finishHead();
    void giveUpAll();
    void waitForAnyCopy();

    bool copyAtOnce(Step& step);

    const core::StopFlag& m_stop;
    CopyPace& m_pace;
    std::function<void()> m_tick;
    int m_width;
    int m_inFlight = 0;
    std::deque<std::shared_ptr<Job>> m_queue; // in order; the first `m_begun` have begun
    bool m_headBegun = false;
    bool m_gaveUp = false;
};

} // namespace mirror
