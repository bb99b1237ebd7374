#include "EventLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

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
    QTimer wakeUp;
    wakeUp.setSingleShot(true);
    wakeUp.setTimerType(Qt::PreciseTimer);
    while (!done()) {
        const auto left = duration_cast<milliseconds>(deadline - steady_clock::now());
        if (left.count() <= 0)
            return done();
        // The timer only exists to end the sleep below at the deadline.
        wakeUp.start(static_cast<int>(std::min<milliseconds::rep>(left.count() + 1, 1 << 30)));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout)
{
    return waitUntil(done, std::chrono::steady_clock::now() + timeout);
}

} // namespace core
