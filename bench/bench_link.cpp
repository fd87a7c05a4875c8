// Inbound throughput of the console link: messages per second from a real loopback socket
// through the reader thread, the synchronous hand-off to the main thread, the dispatch and
// the link-log line, beside a baseline that only cuts the same byte stream at EOT in one
// thread, and the same per-message work done in one thread with no socket or hand-off.
//
//   build/bench/bench_link [messages]
#include "../tests/support/Elements.h"
#include "link/ClientReader.h"
#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "link/LinkMemos.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QElapsedTimer>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QByteArray frame(const QByteArray &command, const QByteArray &payload, const QByteArray &sender = "VRX ")
{
    return '\x01' + command + "IND " + sender + '\x02' + payload + '\x04';
}

// What an event server sends during an event, over and over.
QByteArray makeStream(int messages)
{
    const QByteArray mix[] = {
        frame("AI", "3-12\x11" "Anna Schmidt-Bergmann\x12" "SC Rostock Wasserspringen\x13"),
        frame("DI", "5253B\x11" "3.2\x12" "3m\x13" "Back 2 1/2 Twists 1 1/2 Somersaults Pike\x14"),
        frame("XX", "*7.5^8.0^7.5^7.0^8.0^7.5^7.5^"),
        frame("PR", "12\x11" "1 SCHMIDT^2 MEYER^3 LEROY\x12"),
        frame("CS", "Active 87 %", "J4  "),
        frame("CM", "Next round starts in five minutes"),
        frame("TX", "J3  \x11"),
        frame("tp", QByteArray()),
    };
    QByteArray out;
    for (int i = 0; i < messages; ++i)
        out += mix[i % int(std::size(mix))];
    return out;
}

// The baseline: cut the stream at each EOT, one text per message, in one thread.
double cutOnly(const QByteArray &stream, int messages)
{
    QElapsedTimer t;
    t.start();
    int rounds = 0;
    qsizetype total = 0;
    do {
        const char *p = stream.constData();
        const char *end = p + stream.size();
        int n = 0;
        while (p < end) {
            const char *eot = static_cast<const char *>(std::memchr(p, ctl::EOT, size_t(end - p)));
            if (!eot)
                break;
            QByteArray text(p, eot - p);
            text += ctl::EOT;
            total += text.size();
            ++n;
            p = eot + 1;
        }
        if (n != messages)
            std::fprintf(stderr, "cut %d of %d\n", n, messages);
        ++rounds;
    } while (t.elapsed() < 1000);
    if (total == 0)
        std::puts("");
    return double(messages) * rounds / (double(t.nsecsElapsed()) / 1e9);
}

// The same per-message work as the station, in one thread: cut, dispatch, log line, with
// the log lines of each run of messages added together as the link does.
double sameWorkOneThread(TMainForm &form, const QByteArray &stream, int messages)
{
    QElapsedTimer t;
    t.start();
    const char *p = stream.constData();
    const char *end = p + stream.size();
    int n = 0;
    while (p < end) {
        DeferMemoAppends together {element<QPlainTextEdit>(form, "LogFile"), element<QPlainTextEdit>(form, "ChatFile")};
        for (int i = 0; i < TClientReader::kMaxBatch && p < end; ++i) {
            const char *eot = static_cast<const char *>(std::memchr(p, ctl::EOT, size_t(end - p)));
            QByteArray text(p, eot - p);
            text += ctl::EOT;
            ReceiveConsoleText(form.inbound(), text);
            ++n;
            p = eot + 1;
        }
    }
    if (n != messages)
        std::fprintf(stderr, "handled %d of %d\n", n, messages);
    return double(n) / (double(t.nsecsElapsed()) / 1e9);
}

// A loopback server that sends the stream to the first station that connects.
class Sender
{
public:
    explicit Sender(QByteArray stream) : stream_(std::move(stream))
    {
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a);
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &len);
        port_ = ntohs(a.sin_port);
        ::listen(listenFd_, 1);
        thread_ = std::thread([this] { run(); });
    }
    ~Sender()
    {
        done_ = true;
        ::shutdown(listenFd_, SHUT_RDWR);
        thread_.join();
        ::close(listenFd_);
    }
    quint16 port() const { return port_; }

private:
    void run()
    {
        const int fd = ::accept(listenFd_, nullptr, nullptr);
        if (fd < 0)
            return;
        const char *p = stream_.constData();
        qsizetype left = stream_.size();
        while (left > 0 && !done_) {
            const ssize_t n = ::send(fd, p, size_t(std::min<qsizetype>(left, 256 * 1024)), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            p += n;
            left -= n;
        }
        // Keep the connection open until the station has read everything.
        char sink[4096];
        while (!done_ && ::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
    }

    QByteArray stream_;
    int listenFd_ = -1;
    quint16 port_ = 0;
    std::atomic<bool> done_ {false};
    std::thread thread_;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int messages = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 200000;
    const QByteArray stream = makeStream(messages);

    TMainForm form {StationPlatform {}};
    form.state.FillProtocols();
    form.state.ClientInfo.LocalAddress = QStringLiteral("127.0.0.1");
    form.state.ClientInfo.DisciplineTag = QStringLiteral("IND ");
    form.state.ClientInfo.FunctionCaption = QStringLiteral("Judge 1");
    form.state.ClientInfo.LocalStationId = QStringLiteral("J1  ");
    form.link->FillServerAddressList();

    // Through the socket, the reader, the hand-off, dispatch and the log line.
    Sender sender(stream);
    form.link->connection().setOptions(LinkOptions {.port = quint16(sender.port())});
    int handled = 0;
    QElapsedTimer t;
    form.link->receiveText = [&](const QByteArray &text) {
        ReceiveConsoleText(form.inbound(), text);
        if (++handled == messages)
            app.quit();
    };
    t.start();
    form.link->ConnectConsolesClick();
    if (!form.link->Connected()) {
        std::fprintf(stderr, "could not connect\n");
        return 1;
    }
    app.exec();
    const double pipeline = double(handled) / (double(t.nsecsElapsed()) / 1e9);
    form.link->receiveText = nullptr;
    form.link->DisconnectAction();

    const double baseline = cutOnly(stream, messages);
    element<QPlainTextEdit>(form, "LogFile")->clear();
    const double oneThread = sameWorkOneThread(form, stream, messages);

    std::printf("messages: %d (%lld bytes)\n", messages, static_cast<long long>(stream.size()));
    std::printf("link (socket, reader, hand-off, dispatch, log line): %10.0f msg/s\n", pipeline);
    std::printf("baseline (cut at EOT, one thread):                   %10.0f msg/s\n", baseline);
    std::printf("ratio link / baseline:                               %10.4f\n", pipeline / baseline);
    std::printf("same work in one thread, no socket or hand-off:      %10.0f msg/s\n", oneThread);
    std::printf("ratio link / same work in one thread:                %10.3f\n", pipeline / oneThread);
    return handled == messages ? 0 : 1;
}
