#include "ParallelCopies.h"

#include "common/core/EventLoop.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace mirror {

namespace {

// Steps queued ahead of the one being finished: enough to keep eight copies busy behind a
// large file, few enough that the lines never lag far behind the work.
constexpr size_t MaxQueued = 64;

} // namespace

void CopyPace::reset()
{
    m_samples = 0;
    m_parallel = m_forced;
}

void CopyPace::record(double ms)
{
    if (m_forced)
        return;
    m_recentMs[m_samples++ % Window] = ms;
    if (m_samples < 4)
        return;
    // The median of the last few: a run of slow copies makes the case, one slow one (a cache
    // flush, another program's burst) does not.
    const size_t count = std::min(m_samples, Window);
    double sorted[Window];
    for (size_t i = 0; i < count; ++i) { // five values: an insertion sort is all it takes
        size_t j = i;
        for (; j > 0 && sorted[j - 1] > m_recentMs[i]; --j)
            sorted[j] = sorted[j - 1];
        sorted[j] = m_recentMs[i];
    }
    const double median = sorted[count / 2];
    if (!m_parallel && median > SlowMs)
        m_parallel = true;
    else if (m_parallel && median < QuickMs)
        m_parallel = false;
}

struct ParallelCopies::Job
{
    Step step;
    double ms = 0; // how long the copy took, written by the worker before `done`
    bool launched = false; // GUI thread only
    bool counted = true; // GUI thread only: its end was taken off the copies in flight
    int error = 0; // written by the worker before `done`
    std::atomic<bool> done { false };
    std::atomic<bool> stop { false };
    std::atomic<uint64_t> copied { 0 };
    core::BackgroundJob handle;
};

ParallelCopies::ParallelCopies(const core::StopFlag& stop, CopyPace& pace, int width)
    : m_stop(stop)
    , m_pace(pace)
    , m_width(width < 1 ? 1 : width)
{
}

ParallelCopies::~ParallelCopies()
{
    giveUpAll();
}

void ParallelCopies::add(Step step)
{
    if (copyAtOnce(step))
        return;
    auto job = std::make_shared<Job>();
    job->step = std::move(step);
    job->done = !job->step.copy;
    m_queue.push_back(std::move(job));
    finishReady();
    startCopies();
    while (m_queue.size() > MaxQueued) {
        waitForAnyCopy();
        finishReady();
        startCopies();
    }
}

void ParallelCopies::drain()
{
    for (;;) {
        finishReady();
        if (m_queue.empty())
            return;
        startCopies();
        waitForAnyCopy();
    }
}

// On a quick destination a small file is copied here and now, when nothing waits before it.
bool ParallelCopies::copyAtOnce(Step& step)
{
    if (!m_queue.empty() || m_pace.parallel() || (step.copy && step.bytes >= SmallFile))
        return false;
    if (step.begin)
        step.begin();
    int error = 0;
    if (step.copy) {
        const auto started = std::chrono::steady_clock::now();
        error = step.copy({});
        m_pace.record(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
    }
    if (step.finish)
        step.finish(error);
    return true;
}

uint64_t ParallelCopies::bytesInFlight() const
{
    uint64_t bytes = 0;
    for (const auto& job : m_queue)
        if (job->launched)
            bytes += job->copied.load(std::memory_order_relaxed);
    return bytes;
}

void ParallelCopies::startCopies()
{
    for (const auto& job : m_queue) {
        if (m_inFlight >= m_width)
            return;
        if (job->launched || !job->step.copy)
            continue;
        job->launched = true;
        job->counted = false;
        ++m_inFlight;
        job->handle = core::runInBackground(
            [job] {
                Job* raw = job.get();
                const auto started = std::chrono::steady_clock::now();
                job->error = job->step.copy([raw](uint64_t copied) {
                    raw->copied.store(copied, std::memory_order_relaxed);
                    return !raw->stop.load(std::memory_order_relaxed);
                });
                job->ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
                job->done.store(true, std::memory_order_release);
            },
            [] {}); // only wakes the GUI thread's wait
    }
}

// Takes note of copies that ended, so their slots go to the next ones.
bool ParallelCopies::finishReady()
{
    bool any = false;
    for (const auto& job : m_queue) {
        if (!job->counted && job->done.load(std::memory_order_acquire)) {
            job->counted = true;
            --m_inFlight;
            if (job->step.bytes < SmallFile && job->error == 0)
                m_pace.record(job->ms);
        }
    }
    while (!m_queue.empty()) {
        if (!m_headBegun && m_stop.raised()) {
            giveUpAll();
            return true;
        }
        const auto head = m_queue.front();
        if (!m_headBegun) {
            m_headBegun = true;
            if (head->step.begin)
                head->step.begin();
            startCopies(); // the head's copy goes first when every slot was free
        }
        if (!head->counted)
            return any;
        finishHead();
        any = true;
    }
    return any;
}

void ParallelCopies::finishHead()
{
    const auto head = m_queue.front();
    m_queue.pop_front();
    m_headBegun = false;
    if (head->step.finish)
        head->step.finish(head->error);
}

void ParallelCopies::giveUpAll()
{
    using namespace std::chrono;
    for (const auto& job : m_queue)
        job->stop = true;
    for (;;) {
        bool waiting = false;
        for (const auto& job : m_queue)
            waiting = waiting || (job->launched && !job->done.load(std::memory_order_acquire));
        if (!waiting)
            break;
        const auto deadline = steady_clock::now() + milliseconds(TickMs);
        // While the application quits the loop serves nothing; copies stop within a step.
        if (!core::waitUntil([&] {
                for (const auto& job : m_queue)
                    if (job->launched && !job->done.load(std::memory_order_acquire))
                        return false;
                return true;
            },
                deadline)
            && steady_clock::now() < deadline)
            std::this_thread::sleep_for(milliseconds(2));
    }
    m_gaveUp = m_gaveUp || !m_queue.empty();
    auto queue = std::move(m_queue);
    m_queue.clear();
    m_inFlight = 0;
    m_headBegun = false;
    for (const auto& job : queue)
        if (job->step.discard && job->launched && job->error == 0)
            job->step.discard();
}

void ParallelCopies::waitForAnyCopy()
{
    const auto ended = [this] {
        for (const auto& job : m_queue)
            if (!job->counted && job->done.load(std::memory_order_acquire))
                return true;
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TickMs);
    // While the application quits its loop returns at once; a short sleep keeps that from a spin.
    if (!core::waitUntil(ended, deadline) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (m_tick)
        m_tick();
}

} // namespace mirror
