#pragma once

#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Measures how promptly the main thread answers: a timer of the main thread beats every
// period, and the longest time a beat came late is recorded; a thread of its own also
// records a beat that is overdue while it waits. A main thread that blocks, spins or
// deadlocks shows as a long wait. Nothing crosses between the threads but atomics, so that a
// thread checker sees every hand-over.
class Watchdog
{
public:
    explicit Watchdog(std::chrono::milliseconds period = std::chrono::milliseconds(50));
    // Stops the thread.
    ~Watchdog();
    Watchdog(const Watchdog &) = delete;
    Watchdog &operator=(const Watchdog &) = delete;

    void stop();
    // The longest wait so far, in milliseconds.
    qint64 longestMs() const { return longestUs_.load() / 1000; }
    qint64 pings() const { return pings_.load(); }

private:
    using Clock = std::chrono::steady_clock;
    void run();

    void beat();

    QTimer timer_;  // lives on the thread that created the watchdog: the main thread
    const std::chrono::milliseconds period_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    std::atomic<qint64> lastBeatUs_ {0};
    std::atomic<qint64> longestUs_ {0};
    std::atomic<qint64> pings_ {0};
    std::thread thread_;
};
