#pragma once

#include "server/EventServer.h"

#include <QThread>

#include <functional>

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

    // Runs `f` with the server on the server's thread and waits for it to return.
    void call(const std::function<void(EventServer &)> &f);
    // For connecting to its signals (queued); call its functions only through call().
    EventServer *server() const { return server_; }

private:
    QThread thread_;
    EventServer *server_ = nullptr;
};
