#include "EventLoop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <pthread.h>
#include <thread>

namespace core {

FdWatcher::FdWatcher(int fd)
    : m_fd(fd)
    , m_read(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read))
    , m_write(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Write))
{
    m_read->setEnabled(false);
    m_write->setEnabled(false);
    QObject::connect(m_read.get(), &QSocketNotifier::activated, [this] {
        if (m_onReadable)
            m_onReadable();
    });
    QObject::connect(m_write.get(), &QSocketNotifier::activated, [this] {
        if (m_onWritable)
            m_onWritable();
    });
}

FdWatcher::~FdWatcher() = default;

void FdWatcher::setOnReadable(std::function<void()> handler) { m_onReadable = std::move(handler); }
void FdWatcher::setOnWritable(std::function<void()> handler) { m_onWritable = std::move(handler); }
void FdWatcher::watchRead(bool on) { m_read->setEnabled(on); }
void FdWatcher::watchWrite(bool on) { m_write->setEnabled(on); }

Poster::Poster()
    : m_context(std::make_unique<QObject>())
{
}

Poster::~Poster() = default;

void Poster::post(std::function<void()> call)
{
    QMetaObject::invokeMethod(m_context.get(), std::move(call), Qt::QueuedConnection);
}

void Poster::cancelAll()
{
    // Destroying the context object drops every call still queued for it.
    m_context = std::make_unique<QObject>();
}

Timer::Timer()
    : m_timer(std::make_unique<QTimer>())
{
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] {
        if (m_onTimeout)
            m_onTimeout();
    });
}

Timer::~Timer() = default;

void Timer::setOnTimeout(std::function<void()> handler) { m_onTimeout = std::move(handler); }

void Timer::setPrecise(bool precise)
{
    m_timer->setTimerType(precise ? Qt::PreciseTimer : Qt::CoarseTimer);
}

void Timer::start(int intervalMs, bool singleShot)
{
    m_timer->setSingleShot(singleShot);
    m_timer->start(intervalMs);
}

void Timer::stop() { m_timer->stop(); }
bool Timer::isActive() const { return m_timer->isActive(); }
int Timer::interval() const { return m_timer->interval(); }

void pumpOnce()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool waitUntil(const std::function<bool()>& done, std::chrono::steady_clock::time_point deadline)
{
    using namespace std::chrono;
    if (done())
        return true;
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    if (!dispatcher || QCoreApplication::closingDown())
        return false;
    // A nested loop of its own rather than a processEvents round: QCoreApplication::exit ends
    // every running loop, and a new one returns at once while the application is quitting.
    QEventLoop loop;
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    const auto arm = [&] {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0) {
            loop.exit();
            return;
        }
        // The timer only exists to end the sleep at the deadline; far deadlines take rounds.
        wakeUp.start(static_cast<int>(std::min<milliseconds::rep>(left.count() + 1, 1 << 30)));
    };
    QObject::connect(&wakeUp, &QTimer::timeout, &loop, arm);
    // Emitted each time the loop has dispatched what was pending and is about to sleep.
    QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &loop, [&] {
        if (done())
            loop.exit();
    });
    arm();
    if (wakeUp.isActive())
        loop.exec();
    return done();
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return waitUntil(done, std::chrono::steady_clock::now() + timeout);
}

// ---- background work ------------------------------------------------------------------------

struct BackgroundJob::State
{
    std::function<void()> work;
    std::function<void()> deliver;
    std::atomic<bool> cancelled { false };
    bool delivered = false; // GUI thread only
};

namespace {

// Eight for the mirror's parallel file copies, and room beside them for name look-ups.
constexpr int kMaxWorkers = 12;
constexpr auto kIdleWorkerLife = std::chrono::seconds(30);

// Never destroyed: a worker blocked in a look-up may still run while the program exits, and it
// must find its pool intact. Deliveries are posted to `receiver`, a plain object on the GUI
// thread that lives as long as the application object.
struct Pool
{
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::shared_ptr<BackgroundJob::State>> queue;
    int workers = 0;
    int idle = 0;
    QObject* receiver = nullptr;
};

// A child forked while workers ran (a test running a check as another user) has none of
// them: it starts with an empty pool of its own instead of waiting on threads it lacks.
void forgetWorkersInChild();

Pool& pool()
{
    static Pool* const instance = [] {
        pthread_atfork(nullptr, nullptr, forgetWorkersInChild);
        return new Pool;
    }();
    return *instance;
}

void forgetWorkersInChild()
{
    Pool& p = pool();
    new (&p.mutex) std::mutex; // it may have been held by a thread the child does not have
    new (&p.wake) std::condition_variable;
    new (&p.queue) std::deque<std::shared_ptr<BackgroundJob::State>>; // the parent's jobs are not ours
    p.workers = 0;
    p.idle = 0;
}

void dropReceiver()
{
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    delete p.receiver; // pending deliveries go with it
    p.receiver = nullptr;
}

void deliver(Pool& p, std::shared_ptr<BackgroundJob::State> job)
{
    std::lock_guard lock(p.mutex);
    if (!p.receiver)
        return;
    QMetaObject::invokeMethod(
        p.receiver,
        [job = std::move(job)] {
            if (job->cancelled || job->delivered)
                return;
            job->delivered = true;
            const std::function<void()> call = std::move(job->deliver);
            call();
        },
        Qt::QueuedConnection);
}

void workerLoop()
{
    Pool& p = pool();
    for (;;) {
        std::shared_ptr<BackgroundJob::State> job;
        {
            std::unique_lock lock(p.mutex);
            ++p.idle;
            p.wake.wait_for(lock, kIdleWorkerLife, [&] { return !p.queue.empty(); });
            --p.idle;
            if (p.queue.empty()) {
                --p.workers;
                return;
            }
            job = std::move(p.queue.front());
            p.queue.pop_front();
        }
        if (!job->cancelled) {
            try {
                job->work();
            } catch (...) {
            }
        }
        job->work = nullptr;
        deliver(p, std::move(job));
    }
}

} // namespace

void BackgroundJob::cancel()
{
    if (m_state)
        m_state->cancelled = true;
}

bool BackgroundJob::pending() const
{
    return m_state && !m_state->cancelled && !m_state->delivered;
}

BackgroundJob runInBackground(std::function<void()> work, std::function<void()> deliver)
{
    BackgroundJob handle;
    handle.m_state = std::make_shared<BackgroundJob::State>();
    handle.m_state->work = std::move(work);
    handle.m_state->deliver = std::move(deliver);
    Pool& p = pool();
    std::lock_guard lock(p.mutex);
    if (!p.receiver) {
        p.receiver = new QObject;
        qAddPostRoutine(dropReceiver);
    }
    p.queue.push_back(handle.m_state);
    if (p.idle < static_cast<int>(p.queue.size()) && p.workers < kMaxWorkers) {
        ++p.workers;
        std::thread(workerLoop).detach();
    }
    p.wake.notify_one();
    return handle;
}

} // namespace core
