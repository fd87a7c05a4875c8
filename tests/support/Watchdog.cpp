#include "Watchdog.h"


namespace {

qint64 nowUs()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void raiseTo(std::atomic<qint64> &longest, qint64 value)
{
    qint64 seen = longest.load();
    while (value > seen && !longest.compare_exchange_weak(seen, value)) {
    }
}

} // namespace

Watchdog::Watchdog(std::chrono::milliseconds period) : period_(period)
{
    lastBeatUs_.store(nowUs());
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(period_);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { beat(); });
    timer_.start();
    thread_ = std::thread([this] { run(); });
}

Watchdog::~Watchdog()
{
    stop();
}

void Watchdog::stop()
{
    timer_.stop();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void Watchdog::beat()
{
    const qint64 now = nowUs();
    const qint64 periodUs = qint64(period_.count()) * 1000;
    raiseTo(longestUs_, now - lastBeatUs_.load() - periodUs);
    lastBeatUs_.store(now);
    ++pings_;
}

void Watchdog::run()
{
    // A beat overdue now counts while the main thread has not come back to its timer.
    const qint64 periodUs = qint64(period_.count()) * 1000;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cv_.wait_for(lock, period_, [this] { return stopping_; }))
        raiseTo(longestUs_, nowUs() - lastBeatUs_.load() - periodUs);
}
