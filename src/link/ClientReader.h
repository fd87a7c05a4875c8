#pragma once

#include <QByteArray>
#include <QEvent>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QObject;
class TcpLink;

// Where readers hand their messages: the main-thread object that handles them. The owner
// clears `target` (under the lock) before it goes away; a reader posts only under the lock
// and only while `target` is set, so it never posts to a destroyed object.
struct HandoffGate {
    std::mutex mutex;
    QObject *target = nullptr;
};

// The completion of one hand-off, shared by the reader and the event it posted.
struct HandoffSignal {
    std::mutex mutex;
    std::condition_variable cv;
    bool completed = false;  // the event was handled, or discarded
    bool abandoned = false;  // the station has let go of the reader's connection
};

// The hand-off: received texts (each ending with its EOT) for the main thread. Its
// completion is signalled when it is destroyed, which is after it has been handled and also
// when Qt discards it because its receiver is going away; so a reader can never wait for
// an event that no one will handle.
class HandoffEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(0x401);
    HandoffEvent(std::shared_ptr<TcpLink> link, std::vector<QByteArray> texts, std::shared_ptr<HandoffSignal> signal);
    ~HandoffEvent() override;

    const std::shared_ptr<TcpLink> link;
    const std::vector<QByteArray> texts;

private:
    std::shared_ptr<HandoffSignal> signal_;
};

// Posted by a reader that closed its connection after a read error (or the server's close).
class LinkClosedEvent : public QEvent
{
public:
    static constexpr QEvent::Type kType = QEvent::Type(0x402);
    explicit LinkClosedEvent(std::shared_ptr<TcpLink> link) : QEvent(kType), link(std::move(link)) {}
    const std::shared_ptr<TcpLink> link;
};

// The reader of one connection, on its own thread. It reads up to each EOT, hands the text
// (up to its first NUL, with the EOT appended again) to the main thread and waits until the
// main thread has handled it, so messages are handled one at a time and in order, and a
// modal box opened by a handler holds back the next message. Complete messages that already
// arrived together are handed over together, still handled one after the other.
//
// It shares ownership of its connection and never touches another one. On a read error or
// the server's close it closes its own connection (if still connected) and tells the main
// thread; when the station closed the connection it ends quietly.
class TClientReader
{
public:
    // At most this many already-received messages go in one hand-off.
    static constexpr int kMaxBatch = 64;

    TClientReader(std::shared_ptr<TcpLink> link, std::shared_ptr<HandoffGate> gate);
    // Stops waiting and joins the thread. The connection must have been closed first, or
    // the thread may be blocked reading it.
    ~TClientReader();
    TClientReader(const TClientReader &) = delete;
    TClientReader &operator=(const TClientReader &) = delete;

    void start();
    // The station lets go of the connection: a pending hand-off is no longer waited for,
    // and nothing more is handed over. Does not close the connection.
    void stop();
    bool finished() const { return finished_.load(std::memory_order_acquire); }
    const std::shared_ptr<TcpLink> &link() const { return link_; }
    // True while the reader waits for the main thread (for tests).
    bool waitingForHandoff() const { return waiting_.load(std::memory_order_acquire); }
    // Messages handed over so far.
    quint64 handedOver() const { return handedOver_.load(std::memory_order_relaxed); }

private:
    void run();
    bool handOff(std::vector<QByteArray> texts);
    void postClosed();
    bool abandoned();

    std::shared_ptr<TcpLink> link_;
    std::shared_ptr<HandoffGate> gate_;
    std::shared_ptr<HandoffSignal> signal_;
    std::thread thread_;
    std::atomic<bool> finished_ {false};
    std::atomic<bool> waiting_ {false};
    std::atomic<quint64> handedOver_ {0};
};

// The text as handed over: up to its first NUL, then one EOT.
QByteArray HandoffText(const QByteArray &received);
