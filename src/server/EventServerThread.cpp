#include "server/EventServerThread.h"

EventServerThread::EventServerThread(EventDefinition event, ServerOptions options)
    : server_(new EventServer(std::move(event), options))
{
    thread_.setObjectName(QStringLiteral("EventServer"));
    server_->moveToThread(&thread_);
    // Deleted on its own thread once the thread's loop has ended.
    QObject::connect(&thread_, &QThread::finished, server_, &QObject::deleteLater);
}

EventServerThread::~EventServerThread()
{
    if (thread_.isRunning()) {
        call([](EventServer &s) { s.stop(); });
        thread_.quit();
        thread_.wait();
    } else {
        delete server_;
    }
}

bool EventServerThread::start(QString *error)
{
    thread_.start();
    bool ok = false;
    QString why;
    call([&](EventServer &s) { ok = s.listen(&why); });
    if (error)
        *error = why;
    return ok;
}

void EventServerThread::call(const std::function<void(EventServer &)> &f)
{
    EventServer *s = server_;
    QMetaObject::invokeMethod(s, [s, &f] { f(*s); }, Qt::BlockingQueuedConnection);
}
