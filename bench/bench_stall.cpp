// A slow or stalled event server against the real main window. A scripted server on
// loopback (its own thread, plain sockets) floods "TP" as fast as the station takes it and
// reads the station's replies (a) not at all, (b) at 4 KB/s, (c) at 64 KB/s, on every
// connection the station opens (it reads a connection the station has left in full). A
// keyboard thread posts a key to the main window every 50 ms for the whole run: Esc, a
// digit, Enter, Enter, so a score ("SD") is accepted every 200 ms, and the station gives
// the link up, reports the lost score and reconnects as often as it comes to that.
// Measured for each case:
//  - how long each key waits from its posting until the main window has handled it (p99,
//    max; goal: under 100 ms);
//  - how long after its connect each link is given up (goal: within 6 s in (a) and (b));
//  - the close, in-process: the window's close (settings written, "CS" "Off", the empty
//    "IP", at most 500 ms of draining, the link closed) and the window's destruction (the
//    reader joined), against a connection whose buffers have filled (goal: under 1 s);
//  - the ledger of every connection given up: what arrived is an in-order prefix of what
//    the station wrote, nothing reported as given up arrived, and every score the station
//    wrote either arrived or was reported as failed.
//
//   build/bench/bench_stall [seconds]   (the flood per case, default 15)

#include "BenchStation.h"
#include "LoopbackListener.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/OutgoingBuffer.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QInputDevice>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t0, Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(t - t0).count();
}

QList<QByteArray> framesOf(const QByteArray &data)
{
    QList<QByteArray> out;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i)
        if (data[i] == '\x04') {
            out << data.mid(start, i + 1 - start);
            start = i + 1;
        }
    return out;
}

// The hostile event server, on its own thread: accepts every connection, floods the latest
// one with "TP" and reads it at `rate` bytes per second (0: nothing); drain() makes it read
// everything, from every connection, at full speed.
class FloodServer
{
public:
    explicit FloodServer(int rate) : rate_(rate)
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        port_ = listenOnLoopback(listenFd_);
        if (port_ == 0) {
            std::perror("listen");
            std::exit(1);
        }
        const QByteArray tp = "\x01TPIND VRX \x02\x04";
        while (flood_.size() < 64 * 1024)
            flood_ += tp;
        thread_ = std::thread([this] { run(); });
    }
    ~FloodServer()
    {
        stop_ = true;
        thread_.join();
        for (Conn &c : conns_)
            if (c.fd >= 0)
                ::close(c.fd);
        ::close(listenFd_);
    }
    quint16 port() const { return port_; }
    void drain() { drain_ = true; }
    void slow() { drain_ = false; }
    int connections()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return int(conns_.size());
    }
    bool ended(int c)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return c < int(conns_.size()) && conns_[size_t(c)].fd < 0;
    }
    QByteArray received(int c)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return c < int(conns_.size()) ? conns_[size_t(c)].in : QByteArray();
    }

private:
    struct Conn {
        int fd = -1;
        QByteArray in;
        qsizetype floodPos = 0;
        double allowance = 0;
        bool flooding = true;
    };

    void run()
    {
        auto last = Clock::now();
        while (!stop_) {
            std::vector<pollfd> fds {{listenFd_, POLLIN, 0}};
            {
                std::lock_guard<std::mutex> lock(mutex_);
                for (size_t i = 0; i < conns_.size(); ++i) {
                    const bool latest = i + 1 == conns_.size();
                    short ev = 0;
                    if (drain_ || rate_ > 0 || !latest)
                        ev |= POLLIN;
                    if (latest && conns_[i].flooding)
                        ev |= POLLOUT;
                    fds.push_back({conns_[i].fd, ev, 0});
                }
            }
            ::poll(fds.data(), nfds_t(fds.size()), 5);
            const auto now = Clock::now();
            const double dt = std::chrono::duration<double>(now - last).count();
            last = now;
            std::lock_guard<std::mutex> lock(mutex_);
            for (;;) {
                const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                Conn c;
                c.fd = fd;
                conns_.push_back(std::move(c));
            }
            for (size_t i = 0; i < conns_.size(); ++i) {
                Conn &c = conns_[i];
                if (c.fd < 0)
                    continue;
                if (i + 1 == conns_.size() && c.flooding) {
                    for (;;) {
                        const ssize_t n = ::send(c.fd, flood_.constData() + c.floodPos, size_t(flood_.size() - c.floodPos),
                                                 MSG_NOSIGNAL | MSG_DONTWAIT);
                        if (n <= 0) {
                            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
                                c.flooding = false;
                            break;
                        }
                        c.floodPos = (c.floodPos + n) % flood_.size();
                    }
                }
                c.allowance = std::min(c.allowance + rate_ * dt, double(64 * 1024));
                // A connection the station has left (a newer one came) is read in full.
                const bool full = drain_ || i + 1 < conns_.size();
                for (;;) {
                    qsizetype want = full ? 256 * 1024 : qsizetype(c.allowance);
                    if (want <= 0)
                        break;
                    char buf[256 * 1024];
                    const ssize_t n = ::recv(c.fd, buf, size_t(std::min<qsizetype>(want, sizeof buf)), MSG_DONTWAIT);
                    if (n > 0) {
                        c.in.append(buf, n);
                        if (!full)
                            c.allowance -= double(n);
                        continue;
                    }
                    if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                        ::close(c.fd);  // the station closed it (or it failed)
                        c.fd = -1;
                    }
                    break;
                }
            }
        }
    }

    const int rate_;
    int listenFd_ = -1;
    quint16 port_ = 0;
    QByteArray flood_;
    std::atomic<bool> stop_ {false};
    std::atomic<bool> drain_ {false};
    std::mutex mutex_;
    std::vector<Conn> conns_;
    std::thread thread_;
};

// Posts a key press and release to the window every 50 ms and keeps the time of each press.
class Keyboard
{
public:
    explicit Keyboard(QWidget *to) : to_(to)
    {
        thread_ = std::thread([this] { run(); });
    }
    ~Keyboard() { stop(); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }
    // The main thread saw the next press arrive.
    void handled(Clock::time_point t)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (handled_ < posted_.size())
            waits_.push_back(msSince(posted_[handled_], t));
        ++handled_;
    }
    std::vector<double> waits()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return waits_;
    }
    size_t posted()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return posted_.size();
    }

private:
    void run()
    {
        // Esc (keypad back), a digit (the score d.0), Enter (the panel), Enter (accept: "SD").
        auto next = Clock::now();
        int i = 0;
        while (!stop_) {
            next += std::chrono::milliseconds(50);
            std::this_thread::sleep_until(next);
            Qt::Key key = Qt::Key_Escape;
            QString text(QChar(27));
            switch (i % 4) {
            case 1: {
                const int d = 1 + (i / 4) % 9;
                key = Qt::Key(Qt::Key_0 + d);
                text = QString::number(d);
                break;
            }
            case 2:
            case 3: key = Qt::Key_Return; text = QStringLiteral("\r"); break;
            default: break;
            }
            ++i;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                posted_.push_back(Clock::now());
            }
            QCoreApplication::postEvent(to_, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
            QCoreApplication::postEvent(to_, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
        }
    }

    QWidget *to_;
    std::atomic<bool> stop_ {false};
    std::mutex mutex_;
    std::vector<Clock::time_point> posted_;
    size_t handled_ = 0;
    std::vector<double> waits_;
    std::thread thread_;
};

class PressWatch : public QObject
{
public:
    explicit PressWatch(Keyboard &k) : keys_(k) {}
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::KeyPress)
            keys_.handled(Clock::now());
        return false;
    }

private:
    Keyboard &keys_;
};

// Runs the event loop until `done` holds or `ms` have passed; true when it held.
template<typename F>
bool runUntil(F done, int ms)
{
    // A tick wakes the loop to look at `done`; otherwise it sleeps until an event comes.
    QTimer tick;
    tick.start(5);
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Figures {
    double p99 = 0, max = 0;
    size_t keys = 0;
};

Figures summarise(std::vector<double> ms)
{
    Figures f;
    f.keys = ms.size();
    if (ms.empty())
        return f;
    std::sort(ms.begin(), ms.end());
    f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    f.max = ms.back();
    return f;
}

QList<QByteArray> scoresIn(const QList<QByteArray> &frames)
{
    QList<QByteArray> out;
    for (const QByteArray &f : frames)
        if (f.startsWith("\x01SD"))
            out << f;
    return out;
}

// One connection's ledger: what arrived is an in-order prefix of what was written, nothing
// reported as given up arrived, and (`exact`) every score written either arrived or was
// reported, in order.
bool account(const char *what, const QList<QByteArray> &written, const QList<QByteArray> &unsent, const QByteArray &bytes,
             bool exact)
{
    const QList<QByteArray> arrived = framesOf(bytes);
    const QList<QByteArray> sdWritten = scoresIn(written), sdArrived = scoresIn(arrived), sdUnsent = scoresIn(unsent);
    const bool prefix = arrived == written.mid(0, arrived.size());
    const bool disjoint = arrived.size() + unsent.size() <= written.size();
    const bool scores = sdArrived + sdUnsent == sdWritten;
    const bool ok = prefix && disjoint && (scores || !exact);
    std::printf("    %s: %lld messages written, %lld arrived in order, %lld reported given up, %lld cut off in the system's "
                "buffers; scores: %lld written, %lld arrived, %lld reported failed: %s\n",
                what, qlonglong(written.size()), qlonglong(arrived.size()), qlonglong(unsent.size()),
                qlonglong(written.size() - arrived.size() - unsent.size()), qlonglong(sdWritten.size()),
                qlonglong(sdArrived.size()), qlonglong(sdUnsent.size()),
                ok ? (scores ? "every score accounted for" : "in order") : "MISMATCH");
    return ok;
}

bool runCase(const char *name, int rate, int floodSeconds)
{
    std::printf("\n== (%s) the server reads %s\n", name,
                rate == 0 ? "nothing" : qPrintable(QStringLiteral("%1 KB/s").arg(rate / 1024)));
    FloodServer server(rate);
    LayoutPlatform fakes(QRect(0, 0, 1218, 805));
    auto form = std::make_unique<TMainForm>(fakes.platform);
    form->confirmClose = [] { return true; };
    if (!startForBench(*form))
        return false;
    form->link->connection().setOptions(LinkOptions {.port = quint16(server.port())});
    form->link->showMessage = [](ConsoleLink::BoxKind, const QString &text) {
        std::printf("    (box: %s)\n", qPrintable(text));
    };

    // Per connection (a "CC" starts one): what was written and given up, when it was
    // opened, when its buffer first held something, when it was given up.
    struct Conn {
        QList<QByteArray> written, unsent;
        Clock::time_point opened;
        double firstUnsentMs = -1, givenUpMs = -1;
        qsizetype mostUnsent = 0;
    };
    std::vector<Conn> conns;
    int failedScores = 0, writtenScores = 0;
    bool watching = true;
    auto lookAtLink = [&] {
        if (!watching || conns.empty())
            return;
        Conn &c = conns.back();
        const qsizetype u = form->link->connection().UnsentBytes();
        c.mostUnsent = std::max(c.mostUnsent, u);
        if (u > 0 && c.firstUnsentMs < 0)
            c.firstUnsentMs = msSince(c.opened, Clock::now());
        if (!form->link->Connected() && c.givenUpMs < 0)
            c.givenUpMs = msSince(c.opened, Clock::now());
    };
    form->link->connection().sentObserver = [&](const QByteArray &frame, bool written) {
        if (frame.startsWith("\x01" "CC")) {
            conns.emplace_back();
            conns.back().opened = Clock::now();
        }
        lookAtLink();
        if (written && !conns.empty())
            conns.back().written << frame;
        if (frame.startsWith("\x01SD"))
            (written ? writtenScores : failedScores) += 1;
    };
    form->link->connection().unsentObserver = [&](const QByteArray &frame) {
        lookAtLink();
        if (!conns.empty())
            conns.back().unsent << frame;
    };

    // The flood with keys every 50 ms, through every give-up and automatic reconnect.
    form->link->ConnectConsolesClick();
    if (!form->link->Connected()) {
        std::printf("    could not connect\n");
        return false;
    }
    Keyboard keys(form.get());
    PressWatch watch(keys);
    form->installEventFilter(&watch);
    runUntil(
        [&] {
            lookAtLink();
            return false;
        },
        floodSeconds * 1000);
    keys.stop();
    runUntil([&] { return false; }, 200);  // keys still queued are handled
    watching = false;
    form->removeEventFilter(&watch);
    form->ReconnectTimer->stop();
    const Figures f = summarise(keys.waits());
    std::printf("    keys over %d s: %zu posted, %zu handled; wait p99 %.1f ms, max %.1f ms %s\n", floodSeconds, keys.posted(),
                f.keys, f.p99, f.max,
                f.max < 100 ? "(goal < 100 ms: met)" : (f.p99 < 100 ? "(goal < 100 ms: met at p99, not max)" : "(goal < 100 ms: MISSED)"));
    std::printf("    scores: %d written, %d failed at the send; %zu connections (%d automatic reconnects)\n", writtenScores,
                failedScores, conns.size(), form->state.RetryCount);

    // The connections the station gave up: when, and their ledgers.
    bool ok = f.keys > 0 && f.keys == keys.posted();
    const bool lastOpen = form->link->Connected();
    std::vector<double> givenUp, filled;
    qsizetype most = 0;
    for (size_t i = 0; i < conns.size(); ++i) {
        const Conn &c = conns[i];
        most = std::max(most, c.mostUnsent);
        if (c.givenUpMs >= 0)
            givenUp.push_back(c.givenUpMs);
        if (c.firstUnsentMs >= 0)
            filled.push_back(c.firstUnsentMs);
    }
    std::sort(givenUp.begin(), givenUp.end());
    std::sort(filled.begin(), filled.end());
    if (!givenUp.empty())
        std::printf("    link given up %zu times, %.2f s to %.2f s after its connect%s (the system's buffers full after %.2f s to "
                    "%.2f s; most in the link's buffer %lld bytes)\n",
                    givenUp.size(), givenUp.front() / 1000, givenUp.back() / 1000,
                    rate < 64 * 1024 ? (givenUp.back() < 6000 ? " (goal within 6 s: met)" : " (goal within 6 s: MISSED)") : "",
                    filled.empty() ? -1.0 : filled.front() / 1000, filled.empty() ? -1.0 : filled.back() / 1000,
                    qlonglong(most));
    else
        std::printf("    link kept for %d s%s\n", floodSeconds, rate < 64 * 1024 ? " (goal: given up within 6 s: MISSED)" : "");
    server.drain();
    for (size_t i = 0; i + (lastOpen ? 1 : 0) < conns.size(); ++i) {
        runUntil([&] { return server.ended(int(i)); }, 3000);
        ok = account(qPrintable(QStringLiteral("connection %1 (given up)").arg(i + 1)), conns[i].written, conns[i].unsent,
                     server.received(int(i)), true)
             && ok;
    }
    server.slow();

    // The close, on a connection whose buffers have filled (a fresh one if need be).
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!form->link->Connected())
            form->link->ConnectConsolesClick();
        runUntil([&] { return form->link->connection().UnsentBytes() > 0 || !form->link->Connected(); }, 10000);
        if (form->link->Connected() && form->link->connection().UnsentBytes() > 0)
            break;
    }
    if (!form->link->Connected()) {
        std::printf("    no connection to close\n");
        return false;
    }
    const int c = server.connections() - 1;
    const qsizetype unsentAtClose = form->link->connection().UnsentBytes();
    const auto closeStart = Clock::now();
    form->close();
    const auto closed = Clock::now();
    form.reset();
    const auto destroyed = Clock::now();
    const double closeMs = msSince(closeStart, closed), exitMs = msSince(closeStart, destroyed);
    const bool settings = QFile::exists(QStringLiteral("Settings.ini"));
    std::printf("    close with %lld bytes waiting: window closed in %.0f ms, destroyed (reader joined) %.0f ms after the close "
                "began %s; Settings.ini %s\n",
                qlonglong(unsentAtClose), closeMs, exitMs, exitMs < 1000 ? "(goal < 1 s: met)" : "(goal < 1 s: MISSED)",
                settings ? "written" : "MISSING");
    QFile::remove(QStringLiteral("Settings.ini"));
    server.drain();
    runUntil([&] { return server.ended(c); }, 3000);
    // Closed on purpose, gracefully, and the socket released at once with the window: what
    // its system still held may be cut; order and the given-up tail are checked.
    ok = account("closed connection", conns[size_t(c)].written, conns[size_t(c)].unsent, server.received(c), false) && ok;
    return ok && settings;
}

} // namespace

int main(int argc, char **argv)
{
    preferOffscreen();
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    // The keyboard device the key events name is made here, on the main thread, not by the
    // keyboard thread's first event.
    QInputDevice::primaryKeyboard();
    const int seconds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    QTemporaryDir dir;  // the station writes Settings.ini in its working directory
    QDir::setCurrent(dir.path());
    std::printf("platform %s; give-up after %d ms of waiting or %lld bytes in the link's buffer; close drains %d ms\n",
                qPrintable(QGuiApplication::platformName()), LinkOptions().sendTimeoutMs,
                qlonglong(OutgoingBuffer::kMaxBytes), ConsoleLink::kCloseDrainMs);
    bool ok = true;
    ok = runCase("a", 0, seconds) && ok;
    ok = runCase("b", 4 * 1024, seconds) && ok;
    ok = runCase("c", 64 * 1024, seconds) && ok;
    return ok ? 0 : 1;
}
