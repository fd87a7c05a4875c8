// The station over a long event at a realistic pace: after connecting it first sits idle
// (its CPU use is measured: goal under 0.5 % of one core), then a loopback server sends one
// message every 100 ms, of every kind an event brings, and reads the station's answers; the
// resident memory is printed as it goes, to show that it does not grow.
//
//   build/bench/bench_soak [--seconds N] [--idle S] [--interval MS] [--fill N]
//
// Defaults: 60 s of messages, 10 s idle, 100 ms between messages. Before the paced messages,
// --fill sends 70,000 messages at once (0: none), enough to fill the bounded link log, chat
// memo and list of connected stations, so that what follows shows growth beyond those bounds. The station runs on this
// machine's platform (battery, screen), offscreen unless QT_QPA_PLATFORM says otherwise, in a
// temporary working folder, talking to 127.0.0.1.
#include "../tests/support/ResidentMemory.h"
#include "link/ConsoleLink.h"
#include "link/InboundHandlers.h"
#include "platform/HostIdentity.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// CPU time of this process (user + system), in seconds.
double cpuSeconds()
{
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    // Fields after the command name (which may hold blanks): state is field 3, utime 14, stime 15.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    const double ticks = double(::sysconf(_SC_CLK_TCK));
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / ticks;
}

// This machine's host name, at the loopback address (the bench's server listens there only).
class LoopbackHost : public HostIdentity
{
public:
    QString hostName() override { return real_->hostName(); }
    QString firstIPv4() override { return QStringLiteral("127.0.0.1"); }

private:
    std::shared_ptr<HostIdentity> real_ = makeRealHostIdentity();
};

QByteArray frame(const QByteArray &command, const QByteArray &payload, const QByteArray &sender = "VRX ")
{
    return '\x01' + command + "IND " + sender + '\x02' + payload + '\x04';
}

// What an event server sends during an event: never "CE", nor a "CD" for this station.
QByteArray message(qint64 i, bool *asksStatus)
{
    static const QByteArray others[] = {"J2  ", "J3  ", "J4  ", "J5  ", "J6  ", "J7  ", "J8  ", "J9  ", "J10 ", "J11 "};
    const QByteArray n = QByteArray::number(i);
    const QByteArray &other = others[i % 10];
    *asksStatus = false;
    switch (i % 13) {
    case 0: return frame("AI", "2-" + QByteArray::number(i % 40) + "\x11" "Diver " + n + "\x12" "SC Rostock\x13");
    case 1: return frame("DI", "5253B\x11" "3.2\x12" "3m\x13" "Back 2 1/2 Twists 1 1/2 Somersaults Pike\x14");
    case 2: return frame("XX", "*7.5^8.0^7.5^7.0^8.0^7.5^7.5^");
    case 3: return frame("PR", QByteArray::number(i % 40) + "\x11" "1 SCHMIDT^2 MEYER^3 LEROY " + n + "\x12");
    case 4: *asksStatus = true; return frame("TP", QByteArray());
    case 5: return frame("CM", "Chat line " + n);
    case 6: return frame("CC", "Judge " + QByteArray::number(2 + i % 10));
    case 7: return frame("CD", other);
    case 8: return frame("IP", "192.168.1." + QByteArray::number(i % 250), other);
    case 9: return frame("CN", "JUDGE-PC-" + n, other);
    case 10: return frame("CS", "Active 87 %", other);
    case 11: return frame("TX", other + "\x11");
    default: return frame("FS", QByteArray::number(2 + i % 10) + "\x11" "7.5\x12");
    }
}

// The event server: accepts the station, waits for the go, then sends one message per
// interval for the given time, reading every answer.
class PacedServer
{
public:
    PacedServer()
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0
            && ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &len) == 0 && ::listen(listenFd_, 1) == 0)
            port_ = ntohs(a.sin_port);
    }
    ~PacedServer()
    {
        command(stop_);
        ::shutdown(listenFd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listenFd_);
    }
    quint16 port() const { return port_; }

    void start(std::chrono::milliseconds interval, std::chrono::seconds duration)
    {
        thread_ = std::thread([this, interval, duration] { run(interval, duration); });
    }
    // Sends `count` messages as fast as the station takes them (reading its answers all the
    // while), then waits for go(). The server sleeps until told.
    void fill(qint64 count)
    {
        fill_ = count;
        command(fillRequested_);
    }
    void go() { command(go_); }

    std::atomic<qint64> sent {0}, statusAsked {0}, statusAnswered {0}, replies {0};
    std::atomic<bool> filled {false};
    std::atomic<bool> finished {false};

private:
    void command(bool &flag)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            flag = true;
        }
        cv_.notify_all();
    }
    // Sleeps until `flag` is set; false when the server is stopping.
    bool await(const bool &flag)
    {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return flag || stop_; });
        return !stop_;
    }
    bool stopping()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return stop_;
    }

    // Waits up to `timeoutMs` for the station's answers and counts them; false once the
    // connection has ended.
    bool readReplies(int fd, QByteArray &in, int timeoutMs)
    {
        pollfd p {fd, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return true;
        char buf[4096];
        const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
        if (r <= 0)
            return false;
        in.append(buf, r);
        for (qsizetype eot; (eot = in.indexOf('\x04')) >= 0; in.remove(0, eot + 1)) {
            ++replies;
            const QByteArray reply = in.left(eot);
            if (reply.startsWith("\x01" "CS") && reply.contains("\x02" "Active "))
                ++statusAnswered;
        }
        return true;
    }

    void sendFill(int fd, QByteArray &in)
    {
        for (qint64 i = 0; i < fill_.load() && !stopping();) {
            QByteArray out;
            for (const qint64 end = std::min(fill_.load(), i + 1000); i < end; ++i) {
                bool asks = false;
                out += message(i, &asks);
                if (asks)
                    ++statusAsked;
            }
            for (qsizetype pos = 0; pos < out.size() && !stopping();) {
                pollfd p {fd, short(POLLIN | POLLOUT), 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                if ((p.revents & POLLIN) && !readReplies(fd, in, 0))
                    return;
                if (p.revents & POLLOUT) {
                    const ssize_t w = ::send(fd, out.constData() + pos, size_t(out.size() - pos), MSG_NOSIGNAL | MSG_DONTWAIT);
                    if (w > 0)
                        pos += w;
                    else if (w < 0 && errno != EAGAIN && errno != EINTR)
                        return;
                }
            }
            sent = i;
        }
        filled = true;
    }

    void run(std::chrono::milliseconds interval, std::chrono::seconds duration)
    {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            finished = true;
            return;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        QByteArray in;
        if (await(fillRequested_))
            sendFill(fd, in);
        using Clock = std::chrono::steady_clock;
        const bool going = await(go_);
        Clock::time_point next = Clock::now();
        const Clock::time_point end = next + duration;
        while (going && !stopping()) {
            const auto now = Clock::now();
            if (now >= end)
                break;
            if (now >= next) {
                bool asks = false;
                const QByteArray m = message(sent, &asks);
                if (::send(fd, m.constData(), size_t(m.size()), MSG_NOSIGNAL) != m.size())
                    break;
                ++sent;
                if (asks)
                    ++statusAsked;
                next += interval;
            }
            const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
            if (!readReplies(fd, in, int(std::max<qint64>(0, wait))))
                break;
        }
        // Give the last answers a moment, then let go.
        const auto until = Clock::now() + std::chrono::seconds(1);
        while (!stopping() && statusAnswered < statusAsked && Clock::now() < until) {
            if (!readReplies(fd, in, 50))
                break;
        }
        finished = true;
        ::close(fd);
    }

    int listenFd_ = -1;
    quint16 port_ = 0;
    std::atomic<qint64> fill_ {0};
    std::mutex mutex_;
    std::condition_variable cv_;
    bool fillRequested_ = false;
    bool go_ = false;
    bool stop_ = false;
    std::thread thread_;
};

void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int seconds = 60;
    int idleSeconds = 10;
    int intervalMs = 100;
    int fillCount = 70000;
    for (int i = 1; i + 1 < argc; i += 2) {
        const QByteArray opt = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (opt == "--seconds")
            seconds = std::max(1, value);
        else if (opt == "--idle")
            idleSeconds = std::max(1, value);
        else if (opt == "--interval")
            intervalMs = std::max(1, value);
        else if (opt == "--fill")
            fillCount = std::max(0, value);
        else {
            std::fprintf(stderr, "usage: %s [--seconds N] [--idle S] [--interval MS] [--fill N]\n", argv[0]);
            return 2;
        }
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    StationPlatform platform = StationPlatform::real();
    platform.host = std::make_shared<LoopbackHost>();
    TMainForm form(platform);
    form.confirmClose = [] { return true; };
    form.link->showMessage = [](ConsoleLink::BoxKind, const QString &text) {
        std::fprintf(stderr, "message box: %s\n", qPrintable(text));
    };
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (!form.startedUp() && wait.elapsed() < 10000)
        runFor(20);

    PacedServer server;
    server.start(std::chrono::milliseconds(intervalMs), std::chrono::seconds(seconds));
    form.link->connection().setOptions(LinkOptions {.port = quint16(server.port())});
    form.link->ConnectConsolesClick();
    if (!form.link->Connected()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    qint64 handled = 0;
    form.link->receiveText = [&](const QByteArray &text) {
        ReceiveConsoleText(form.inbound(), text);
        ++handled;
    };
    runFor(1000);  // let the connection settle

    // Idle: connected, nothing arriving.
    const double idleCpu0 = cpuSeconds();
    QElapsedTimer idle;
    idle.start();
    runFor(idleSeconds * 1000);
    const double idleCpu = cpuSeconds() - idleCpu0;
    const double idleWall = double(idle.nsecsElapsed()) / 1e9;
    std::printf("idle after connecting: %.1f s, CPU %.3f s: %.3f %% of one core (goal < 0.5 %%)\n", idleWall, idleCpu,
                100.0 * idleCpu / idleWall);

    // The bounded memos and lists filled at once.
    if (fillCount > 0) {
        const qint64 rssBeforeFill = residentKb();
        QElapsedTimer fillClock;
        fillClock.start();
        server.fill(fillCount);
        while (!(server.filled && handled >= fillCount) && fillClock.elapsed() < 600000)
            runFor(50);
        runFor(500);
        std::printf("filled with %lld messages in %.1f s: VmRSS %lld kB before, %lld kB after\n", handled,
                    double(fillClock.elapsed()) / 1000.0, rssBeforeFill, residentKb());
    } else {
        server.fill(0);
    }

    // Paced messages.
    std::printf("one message every %d ms for %d s:\n", intervalMs, seconds);
    const qint64 handledBefore = handled;
    const qint64 rss0 = residentKb();
    const double cpu0 = cpuSeconds();
    QElapsedTimer run;
    run.start();
    std::printf("  %6.0f s  VmRSS %lld kB\n", 0.0, rss0);
    std::fflush(stdout);
    server.go();
    const int reportEveryMs = seconds >= 600 ? 60000 : 10000;
    qint64 nextReport = reportEveryMs;
    qint64 rssMax = rss0;
    while (!server.finished) {
        runFor(200);
        rssMax = std::max(rssMax, residentKb());
        if (run.elapsed() >= nextReport) {
            std::printf("  %6.0f s  VmRSS %lld kB, %lld messages handled\n", double(run.elapsed()) / 1000.0,
                        residentKb(), handled - handledBefore);
            std::fflush(stdout);
            nextReport += reportEveryMs;
        }
    }
    runFor(200);
    const double wall = double(run.nsecsElapsed()) / 1e9;
    const double cpu = cpuSeconds() - cpu0;
    const qint64 rss1 = residentKb();
    std::printf("sent %lld, handled %lld; TP answered %lld of %lld; %lld replies in all\n", server.sent.load(), handled,
                server.statusAnswered.load(), server.statusAsked.load(), server.replies.load());
    std::printf("VmRSS at the start %lld kB, at the end %lld kB (highest %lld kB): grew %lld kB\n", rss0, rss1, rssMax,
                rss1 - rss0);
    std::printf("CPU while messages arrived: %.3f s in %.1f s: %.3f %% of one core\n", cpu, wall, 100.0 * cpu / wall);

    form.link->receiveText = nullptr;
    form.link->DisconnectAction();
    form.close();
    return 0;
}
