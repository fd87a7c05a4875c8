#pragma once

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class TcpLink;

// The completion of one hand-off, shared by the reader that waits for it and the main
// thread that completes it.
struct HandoffSignal {
    std::mutex mutex;
    std::condition_variable cv;
    bool completed = false;  // the main thread has handled (or discarded) the hand-off
    bool abandoned = false;  // the station has let go of the reader's connection

    void complete();
    void abandon();
};

// One hand-off from a reader: texts (each ending with its EOT), or the news that the
// reader closed its connection.
struct HandoffItem {
    std::shared_ptr<TcpLink> link;
    std::vector<QByteArray> texts;
    bool linkClosed = false;
    std::shared_ptr<HandoffSignal> signal;  // null for linkClosed: nothing waits for it
};

// The mailbox between the readers and the main thread. A reader queues an item under the
// lock and wakes the main thread through an event descriptor (on Windows an event object); the main thread takes items
// out under the same lock. No Qt object is created or posted from a reader thread. When
// the main thread's side goes away it closes the mailbox: nothing more is queued, and items
// still in it are completed as discarded, so no reader waits for a hand-off that no one will
// handle.
class HandoffMailbox
{
public:
    HandoffMailbox();
    ~HandoffMailbox();
    HandoffMailbox(const HandoffMailbox &) = delete;
    HandoffMailbox &operator=(const HandoffMailbox &) = delete;

    // Reader side: false when the mailbox is closed (the item is then dropped).
    bool post(HandoffItem item);

    // Main thread side. The descriptor (an eventfd; on Windows an event's HANDLE) becomes
    // readable (signalled) when items are waiting.
    qintptr wakeDescriptor() const { return wakeFd_; }
    void clearWake();
    bool take(HandoffItem &item);
    // Makes the descriptor readable again when items are still waiting (for a main thread
    // that stops taking before the mailbox is empty).
    void wakeIfWaiting();
    // Closes the mailbox and completes every item still in it.
    void close();

private:
    std::mutex mutex_;
    bool open_ = true;
    std::deque<HandoffItem> items_;
    qintptr wakeFd_ = -1;
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
    static constexpr int kMaxBatch = 256;

    TClientReader(std::shared_ptr<TcpLink> link, std::shared_ptr<HandoffMailbox> mailbox);
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

private:
    void run();
    bool handOff(std::vector<QByteArray> texts);
    bool abandoned();

    std::shared_ptr<TcpLink> link_;
    std::shared_ptr<HandoffMailbox> mailbox_;
    std::shared_ptr<HandoffSignal> signal_;
    std::thread thread_;
    std::atomic<bool> finished_ {false};
    std::atomic<bool> waiting_ {false};
};

// The text as handed over: up to its first NUL, then one EOT.
QByteArray HandoffText(const QByteArray &received);
