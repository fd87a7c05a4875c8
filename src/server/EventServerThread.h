#pragma once

#include "server/EventServer.h"

#include <QThread>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

class EventServerRunner;

// Runs an EventServer on a thread of its own, for in-process use beside a station whose main
// thread may be busy (a modal box, a blocking hand-off): the server keeps serving meanwhile.
class EventServerThread
{
public:
    EventServerThread(EventDefinition event, ServerOptions options);
    ~EventServerThread();  // stops the server and joins the thread

    EventServerThread(const EventServerThread &) = delete;
    EventServerThread &operator=(const EventServerThread &) = delete;

    // Starts the thread and listens there; returns once listening (or failed).
    bool start(QString *error = nullptr);
    quint16 port() const { return server_ ? server_->port() : 0; }

    // Runs `f` with the server on the server's thread and waits for it to return. Not from
    // the server's own thread.
    void call(const std::function<void(EventServer &)> &f);
    // For connecting to its signals (queued); call its functions only through call().
    EventServer *server() const { return server_; }

private:
    friend class EventServerRunner;
    struct Job {
        const std::function<void(EventServer &)> *f;
        bool done = false;
    };
    void runJobs();

    QThread thread_;
    EventServer *server_ = nullptr;
    EventServerRunner *runner_ = nullptr;
    // The hand-off between the caller and the server's thread.
    std::mutex mutex_;
    std::condition_variable finished_;
    std::deque<Job *> jobs_;
};
