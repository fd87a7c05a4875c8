#pragma once

#include <QObject>

class QSocketNotifier;

// The requests to end a program that come from outside it, brought into the event loop of the
// thread that makes the bridge, as `requested`:
// - POSIX: SIGTERM, SIGINT and, where asked, SIGHUP. The handler only writes the signal's
//   number into a pipe that a socket notifier watches.
// - Windows: the console's control events, which arrive on a thread of their own: Ctrl+C as
//   SIGINT; Ctrl+Break, the console closed, the user logging off and the system shutting down
//   as SIGTERM. They are queued to the event loop.
// One bridge at a time in a process; the handlers are put back to the defaults when it goes.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    struct Options {
        // SIGHUP too (a closed terminal). POSIX only.
        bool hangUp = false;
        // Only the first request is handed on: a later signal ends the process at once with
        // status 128 + the signal; on Windows a later event is only answered.
        bool firstOnly = false;
        // Windows: the process ends when the handler returns from an event, so the handler's
        // thread waits up to `handledWaitMs` for the request to be handled, and after a close,
        // log-off or shutdown event `closeGraceMs` whatever happens (for the event loop to end
        // and the program to finish after it).
        int handledWaitMs = 0;
        int closeGraceMs = 0;
        // POSIX: a closed pipe on a write (SIGPIPE) and a read of the terminal from the
        // background (SIGTTIN) neither end nor stop the program.
        bool ignoreBrokenPipeAndBackgroundRead = false;
    };

    explicit TerminationSignals(const Options &options, QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the signals could not be set up (no pipe): nothing is handled then.
    bool ok() const { return ok_; }

signals:
    // SIGINT, SIGTERM or SIGHUP; on the thread that made the bridge.
    void requested(int signal);

private:
    void readPipe();

    bool ok_ = false;
    bool hangUp_ = false;
    QSocketNotifier *notifier_ = nullptr;
};
