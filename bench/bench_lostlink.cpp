// Lost links, over and over: the server closes the station's link while a score waits on the
// red panel, the judge accepts (the score cannot be written), and the automatic reconnect links
// again with the score red for the judge. Prints the descriptors, threads and resident memory
// of the station as the cycles go, to show that nothing is left behind.
//
//   build/bench/bench_lostlink [--cycles N]
//
// Default 1,000 cycles. The reconnect timer's 2 s are not waited for: its handler is called
// as soon as the loss has been reported. The station runs offscreen in a temporary working
// folder, talking to a listening socket on 127.0.0.1.
#include "LoopbackListener.h"

#include "../tests/support/Elements.h"
#include "../tests/support/ResidentMemory.h"
#include "link/ConsoleLink.h"
#include "platform/HostIdentity.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

class LoopbackHost : public HostIdentity
{
public:
    QString hostName() override { return QStringLiteral("bench-judge"); }
    QString firstIPv4() override { return QStringLiteral("127.0.0.1"); }
};

void runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(1, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

int countEntries(const char *folder)
{
    return int(QDir(QString::fromLatin1(folder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size());
}

// Accepts the station's connection and reads until its "CC" has come; -1 on failure.
int acceptStation(int listener)
{
    pollfd p {listener, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1)
        return -1;
    const int fd = ::accept(listener, nullptr, nullptr);
    QByteArray got;
    while (fd >= 0 && !got.contains("\x01" "CC")) {
        pollfd r {fd, POLLIN, 0};
        if (::poll(&r, 1, 5000) != 1)
            break;
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    return got.contains("\x01" "CC") ? fd : (fd >= 0 ? ::close(fd), -1 : -1);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int cycles = 1000;
    if (argc == 3 && QByteArray(argv[1]) == "--cycles")
        cycles = std::max(1, std::atoi(argv[2]));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());

    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const quint16 port = listenOnLoopback(listener);
    if (port == 0) {
        std::perror("listen");
        return 1;
    }

    StationPlatform platform = StationPlatform::real();
    platform.host = std::make_shared<LoopbackHost>();
    TMainForm form(platform);
    form.confirmClose = [] { return true; };
    int boxes = 0;
    form.link->showMessage = [&boxes](ConsoleLink::BoxKind, const QString &) { ++boxes; };
    form.show();
    runUntil([&] { return form.startedUp(); }, 10000);
    form.link->connection().setOptions(LinkOptions {.port = port});
    form.link->ConnectConsolesClick();
    int server = acceptStation(listener);
    if (server < 0 || !form.link->Connected()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    SetScoreText(form.scoring, QStringLiteral("7.5"));
    ButtonSendScoreClick(form.scoring);

    auto report = [&](int cycle) {
        std::printf("  %5d cycles: descriptors %d, threads %d, VmRSS %lld kB\n", cycle, countEntries("/proc/self/fd"),
                    countEntries("/proc/self/task"), residentKb());
        std::fflush(stdout);
    };
    report(0);
    QElapsedTimer clock;
    clock.start();
    int failures = 0;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        ::close(server);  // the server drops the link
        runUntil([&] { return form.ReconnectTimer->isActive(); }, 5000);
        if (!form.ReconnectTimer->isActive()) {
            ++failures;
            break;
        }
        ScoreConfirmAcceptClick(form.scoring);  // the judge accepts: it cannot be written
        form.link->AutomaticReconnect();
        server = acceptStation(listener);
        const bool red = !element<Panel>(form, "ScoreConfirmMain")->isHidden() && !ScoreAcknowledged(form.scoring)
                         && element<QLabel>(form, "ScoreConfirmScore0")->text() == QStringLiteral("7.5");
        if (server < 0 || !form.link->Connected() || !red) {
            ++failures;
            break;
        }
        if (cycle % (cycles >= 10 ? cycles / 10 : 1) == 0)
            report(cycle);
    }
    std::printf("%d cycles in %.1f s (%.1f ms each), %d failed, %d message boxes\n", cycles,
                double(clock.elapsed()) / 1000.0, double(clock.elapsed()) / cycles, failures, boxes);
    form.link->DisconnectAction();
    ::close(server);
    ::close(listener);
    form.close();
    return failures == 0 ? 0 : 1;
}
