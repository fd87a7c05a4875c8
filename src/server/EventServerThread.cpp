#include "server/EventServerThread.h"

// Lives on the server's thread and runs the jobs handed to it there.
class EventServerRunner : public QObject
{
    Q_OBJECT
public:
    explicit EventServerRunner(EventServerThread &owner)
        : owner_(owner)
    {
    }
    Q_INVOKABLE void runJobs() { owner_.runJobs(); }

private:
    EventServerThread &owner_;
};

EventServerThread::EventServerThread(EventDefinition event, ServerOptions options)
    : server_(new EventServer(std::move(event), options))
    , runner_(new EventServerRunner(*this))
{
    thread_.setObjectName(QStringLiteral("EventServer"));
    server_->moveToThread(&thread_);
    runner_->moveToThread(&thread_);
    // Deleted on their own thread once its loop has ended.
    QObject::connect(&thread_, &QThread::finished, server_, &QObject::deleteLater);
    QObject::connect(&thread_, &QThread::finished, runner_, &QObject::deleteLater);
}

EventServerThread::~EventServerThread()
{
    if (thread_.isRunning()) {
        call([](EventServer &s) { s.stop(); });
        thread_.quit();
        thread_.wait();
    } else {
        delete server_;
        delete runner_;
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
    // The job and its completion pass through a standard mutex, so that everything the job
    // reads and writes is ordered with the caller's side (and visible as such to race
    // checkers); the queued call only wakes the server's thread.
    Job job{&f};
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(&job);
    }
    QMetaObject::invokeMethod(runner_, "runJobs", Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    finished_.wait(lock, [&] { return job.done; });
}

void EventServerThread::runJobs()
{
    for (;;) {
        Job *job = nullptr;
        {
            std::lock_guard lock(mutex_);
            if (jobs_.empty())
                return;
            job = jobs_.front();
            jobs_.pop_front();
        }
        (*job->f)(*server_);
        {
            std::lock_guard lock(mutex_);
            job->done = true;
        }
        finished_.notify_all();
    }
}

#include "EventServerThread.moc"
