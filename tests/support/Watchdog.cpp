#include "Watchdog.h"

#include <QMetaObject>

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
    thread_ = std::thread([this] { run(); });
}

Watchdog::~Watchdog()
{
    stop();
}

void Watchdog::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void Watchdog::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!cv_.wait_for(lock, period_, [this] { return stopping_; })) {
        if (outstanding_.load()) {
            raiseTo(longestUs_, nowUs() - postedUs_.load());
            continue;
        }
        postedUs_.store(nowUs());
        outstanding_.store(true);
        ++pings_;
        // Queued to the receiver's thread; posting an event is safe from any thread.
        QMetaObject::invokeMethod(
            &receiver_,
            [this] {
                raiseTo(longestUs_, nowUs() - postedUs_.load());
                outstanding_.store(false);
            },
            Qt::QueuedConnection);
    }
}
