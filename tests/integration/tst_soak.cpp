// A flood of a million inbound messages of every kind a station meets during an event (none
// that stops it: no "CE", no "CD" for this station, no malformed numbers) over a real
// loopback connection into the real main window. The server reads the station's replies
// while it floods, as a real one does (the station writes its replies on the main thread,
// which would block once the connection's buffers were full). Throughout, the station answers
// every "TP" and every "CC", in order; its resident memory stays within bounds; and its main
// thread keeps answering.
//
// MARLO_SOAK_MESSAGES=<n> changes the count. Sanitizer builds send a tenth and do not hold
// the memory to the bound (their allocators keep freed memory aside on purpose).
#include "ConnectionProbe.h"
#include "LoopbackServer.h"
#include "ResidentMemory.h"
#include "TestStation.h"
#include "Watchdog.h"

#include "link/ConsoleLink.h"
#include "link/InboundHandlers.h"
#include "link/LinkMemos.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Unit_Main.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define MARLO_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define MARLO_SANITIZED 1
#endif
#endif
#ifndef MARLO_SANITIZED
#define MARLO_SANITIZED 0
#endif

namespace {

// The other stations: never this one ("J1  ").
const QByteArray kOthers[] = {"J2  ", "J3  ", "J4  ", "J5  ", "J6  ", "J7  ", "J8  ", "J9  ", "J10 ", "J11 "};
const QByteArray kScores[] = {"0.0", "3.5", "5.0", "6.5", "7.0", "7.5", "8.0", "8.5", "9.5", "10.0"};
const QByteArray kNames[] = {"Anna Schmidt-Bergmann", "Li", "Oleksandr Kovalenko-Petrenko", "Jean-Baptiste Leroy",
                             "Maria del Carmen Fernandez Rodriguez"};

// What the station answers to a message that asks for an answer, in the order asked.
enum Reply : char { ReplyToCC = 'C', ReplyToTP = 'T' };

// The message mix: a cheap generator, deterministic for a given index.
struct Mix {
    quint32 state = 2463534242u;
    quint32 next()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }

    // Appends message i to `out`; tells what it asks the station to answer, if anything.
    void append(QByteArray &out, qint64 i, std::vector<char> &asked)
    {
        const quint32 r = next();
        const QByteArray n = QByteArray::number(i);
        const QByteArray &other = kOthers[r % 10];
        const QByteArray &score = kScores[(r >> 4) % 10];
        switch ((r >> 8) % 13) {
        case 0:
            out += LoopbackServer::frame("AI", QByteArray::number(1 + (i % 6)) + "-" + QByteArray::number(i % 40) + "\x11"
                                   + kNames[(r >> 12) % 5] + "\x12" "SC Rostock Wasserspringen " + n + "\x13");
            break;
        case 1:
            out += LoopbackServer::frame("DI", "5253B\x11" "3.2\x12" "3m\x13" "Back 2 1/2 Twists 1 1/2 Somersaults Pike " + n + "\x14");
            break;
        case 2: {
            QByteArray p = "*";
            for (int j = 0; j < 11; ++j)
                p += kScores[(r >> j) % 10] + '^';
            out += LoopbackServer::frame("XX", p);
            break;
        }
        case 3:
            out += LoopbackServer::frame("PR", QByteArray::number(i % 40) + "\x11" "1 SCHMIDT " + score + "^2 MEYER^3 LEROY " + n + "\x12");
            break;
        case 4:
            out += LoopbackServer::frame((r & 0x10000) ? "TP" : "tp", QByteArray());
            asked.push_back(ReplyToTP);
            break;
        case 5: out += LoopbackServer::frame("CM", "Chat line " + n + ": next round in five minutes"); break;
        case 6:
            out += LoopbackServer::frame("CC", "Judge " + QByteArray::number(2 + (r >> 12) % 10) + " " + n);
            asked.push_back(ReplyToCC);
            break;
        case 7: out += LoopbackServer::frame("CD", other); break;
        case 8: out += LoopbackServer::frame("IP", "192.168.1." + QByteArray::number(r % 250), other); break;
        case 9: out += LoopbackServer::frame("CN", "JUDGE-PC-" + n, other); break;
        case 10: out += LoopbackServer::frame("CS", "Active " + QByteArray::number(r % 100) + " %", other); break;
        case 11: out += LoopbackServer::frame("TX", other + "\x11"); break;
        case 12: out += LoopbackServer::frame("FS", QByteArray::number(2 + (r >> 12) % 10) + "\x11" + score + "\x12"); break;
        }
    }
};

struct Checkpoint {
    qint64 sent;
    qint64 tpAnswered;
    qint64 waitedMs;
    qint64 rssKb;
    double seconds;
};

// The flooding server, on its own thread (the test's event server cannot keep up with the
// station from the station's own thread), on the test server's listening socket: one station, messages sent as fast as the station
// takes them, the station's replies read as they come and checked against what was asked.
// At each checkpoint it stops sending until every question so far has been answered.
class FloodServer
{
public:
    FloodServer(qint64 messages, qint64 checkpointEvery)
        : messages_(messages), every_(checkpointEvery), listenFd_(int(LoopbackServer::listenSocket(1, &port_)))
    {
    }
    ~FloodServer()
    {
        stop_ = true;
        ::shutdown(listenFd_, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listenFd_);
    }

    quint16 port() const { return port_; }
    void start() { thread_ = std::thread([this] { run(); }); }
    void stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
    }

    std::atomic<qint64> sent {0};
    std::atomic<qint64> tpSent {0}, tpAnswered {0};
    std::atomic<qint64> ccSent {0}, ccAnswered {0};
    std::atomic<bool> allSent {false};
    std::atomic<bool> failed {false};
    // Read once the thread has ended.
    QString failure;
    std::vector<Checkpoint> checkpoints;
    QByteArray firstFrame;  // the station's "CC"

private:
    void fail(const QString &why)
    {
        if (!failed.exchange(true))
            failure = why;
    }

    // One frame from the station.
    void received(const QByteArray &f)
    {
        if (firstFrame.isEmpty()) {
            firstFrame = f;
            return;
        }
        const QByteArray command = f.mid(1, 2);
        const qsizetype stx = f.indexOf('\x02');
        const QByteArray payload = stx < 0 ? QByteArray() : f.mid(stx + 1, f.size() - stx - 2);
        // The replies to a "CC" are "IP", "CN" and "CS" "Active"; to a "TP", "CS" "Active "
        // and the power text. Each answers the oldest question not yet answered.
        if (ccStep_ == 0 && command == "CS" && payload.startsWith("Active ")) {
            expect(ReplyToTP, f);
            ++tpAnswered;
        } else if (ccStep_ == 0 && command == "IP" && payload == "127.0.0.1") {
            expect(ReplyToCC, f);
            ccStep_ = 1;
        } else if (ccStep_ == 1 && command == "CN" && payload == "JUDGE-PC") {
            ccStep_ = 2;
        } else if (ccStep_ == 2 && command == "CS" && payload == "Active") {
            ccStep_ = 0;
            ++ccAnswered;
        } else {
            fail(QStringLiteral("unexpected reply %1 after %2 answers")
                     .arg(QString::fromLatin1(f.toPercentEncoding()))
                     .arg(answered_));
        }
    }

    void expect(Reply kind, const QByteArray &f)
    {
        if (answered_ >= qint64(asked_.size()) || asked_[std::size_t(answered_)] != kind)
            fail(QStringLiteral("reply %1 out of order: answer %2 of %3 questions")
                     .arg(QString::fromLatin1(f.toPercentEncoding()))
                     .arg(answered_)
                     .arg(asked_.size()));
        ++answered_;
    }

    bool allAnswered() const { return answered_ == qint64(asked_.size()) && ccStep_ == 0; }

    void run()
    {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            fail(QStringLiteral("no station connected"));
            return;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        Mix mix;
        QByteArray out;
        qsizetype outPos = 0;
        QByteArray in;
        QElapsedTimer clock;
        clock.start();
        qint64 waitingSince = -1;  // ms, while a checkpoint waits for the answers
        asked_.reserve(std::size_t(messages_ / 5));

        while (!stop_ && !failed) {
            // Fill the outgoing buffer, a few hundred messages at a time, up to a checkpoint.
            qint64 n = sent.load();
            if (outPos == out.size() && n < messages_) {
                const bool atCheckpoint = n > 0 && n % every_ == 0 && qint64(checkpoints.size()) < n / every_;
                if (atCheckpoint) {
                    if (waitingSince < 0)
                        waitingSince = clock.elapsed();
                    if (allAnswered()) {
                        checkpoints.push_back({n, tpAnswered.load(), clock.elapsed() - waitingSince, residentKb(),
                                               double(clock.elapsed()) / 1000.0});
                        waitingSince = -1;
                    } else if (clock.elapsed() - waitingSince > 60000) {
                        fail(QStringLiteral("no answer to %1 of %2 questions after a minute at message %3")
                                 .arg(qint64(asked_.size()) - answered_)
                                 .arg(asked_.size())
                                 .arg(n));
                        break;
                    }
                }
                if (waitingSince < 0) {
                    out.clear();
                    outPos = 0;
                    const qint64 stopAt = std::min(messages_, (n / every_ + 1) * every_);
                    const qint64 batchEnd = std::min(stopAt, n + 512);
                    for (; n < batchEnd; ++n) {
                        const std::size_t before = asked_.size();
                        mix.append(out, n, asked_);
                        if (asked_.size() > before)
                            (asked_.back() == ReplyToTP ? tpSent : ccSent) += 1;
                    }
                    sent = n;
                    if (n == messages_)
                        allSent = true;
                }
            }

            pollfd p {fd, short(POLLIN | (outPos < out.size() ? POLLOUT : 0)), 0};
            if (::poll(&p, 1, 20) < 0 && errno != EINTR) {
                fail(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                break;
            }
            if (p.revents & (POLLERR | POLLHUP)) {
                fail(QStringLiteral("the station closed the connection"));
                break;
            }
            if (p.revents & POLLIN) {
                char buf[65536];
                const ssize_t r = ::recv(fd, buf, sizeof buf, 0);
                if (r == 0) {
                    fail(QStringLiteral("the station closed the connection"));
                    break;
                }
                if (r > 0) {
                    in.append(buf, r);
                    qsizetype start = 0;
                    for (qsizetype eot; (eot = in.indexOf('\x04', start)) >= 0; start = eot + 1)
                        received(in.mid(start, eot + 1 - start));
                    in.remove(0, start);
                }
            }
            if ((p.revents & POLLOUT) && outPos < out.size()) {
                const ssize_t w = ::send(fd, out.constData() + outPos, size_t(out.size() - outPos), MSG_NOSIGNAL);
                if (w > 0)
                    outPos += w;
                else if (w < 0 && errno != EAGAIN && errno != EINTR) {
                    fail(QStringLiteral("send: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
                    break;
                }
            }
        }
        ::close(fd);
    }

    const qint64 messages_;
    const qint64 every_;
    quint16 port_ = 0;
    int listenFd_ = -1;
    std::atomic<bool> stop_ {false};
    std::thread thread_;
    // Server thread only.
    std::vector<char> asked_;
    qint64 answered_ = 0;
    int ccStep_ = 0;
};

} // namespace

class TestSoak : public QObject
{
    Q_OBJECT
private slots:
    void millionMessages();
};

void TestSoak::millionMessages()
{
    const qint64 messages = qEnvironmentVariableIsEmpty("MARLO_SOAK_MESSAGES")
                                ? (MARLO_SANITIZED ? 100000 : 1000000)
                                : qEnvironmentVariableIntValue("MARLO_SOAK_MESSAGES");
    QVERIFY(messages >= 10);
    const qint64 every = std::max<qint64>(1, messages / 10);

    TestStation station;
    QVERIFY(station.start());
    TMainForm &form = *station.form;
    FloodServer server(messages, every);
    QVERIFY(server.port() != 0);
    server.start();
    // Counted from the first message: the flood starts as soon as the station connects.
    qint64 handled = 0;
    form.link->receiveText = [&](const QByteArray &text) {
        ReceiveConsoleText(form.inbound(), text);
        ++handled;
    };
    element<RadioGroup>(form, "ClientChoice")->setItemIndex(0);  // Judge 1
    ConnectionProbe::usePort(form.link->connection(), server.port());
    form.link->ConnectConsolesClick();
    QVERIFY(form.link->Connected());
    QTRY_VERIFY(server.sent > 0 || server.failed);
    const qint64 rssBefore = residentKb();

    Watchdog watchdog;
    QElapsedTimer clock;
    clock.start();
    const bool done = QTest::qWaitFor(
        [&] {
            return server.failed
                   || (server.allSent && handled == messages && server.tpAnswered == server.tpSent
                       && server.ccAnswered == server.ccSent);
        },
        4 * 60 * 1000);  // within the test's own time limit, so that a shortfall is reported
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    watchdog.stop();
    const qint64 rssAfter = residentKb();
    const bool stillLinked = form.link->Connected();
    server.stop();
    form.link->receiveText = nullptr;

    qInfo("%lld messages in %.1f s: %.0f messages/s", messages, seconds, double(handled) / seconds);
    qInfo("answered %lld of %lld TP, %lld of %lld CC", server.tpAnswered.load(), server.tpSent.load(),
          server.ccAnswered.load(), server.ccSent.load());
    for (const Checkpoint &c : server.checkpoints)
        qInfo("  at %8lld sent (%6.1f s): %6lld TP answered, waited %4lld ms for the answers, VmRSS %lld kB", c.sent,
              c.seconds, c.tpAnswered, c.waitedMs, c.rssKb);
    qInfo("VmRSS after connecting %lld kB, at the end %lld kB: grew %.1f MB", rssBefore, rssAfter,
          double(rssAfter - rssBefore) / 1024.0);
    if (!server.checkpoints.empty())
        qInfo("VmRSS growth after the first checkpoint: %.1f MB",
              double(rssAfter - server.checkpoints.front().rssKb) / 1024.0);
    qInfo("main thread: longest wait for an answer %lld ms over %lld pings", watchdog.longestMs(), watchdog.pings());

    QVERIFY2(!server.failed, qPrintable(server.failure));
    QVERIFY(done);
    QCOMPARE(server.firstFrame, LoopbackServer::frame("CC", "Judge 1", "J1  "));
    QCOMPARE(handled, messages);
    QCOMPARE(server.tpAnswered.load(), server.tpSent.load());
    QCOMPARE(server.ccAnswered.load(), server.ccSent.load());
    QVERIFY(server.tpSent > messages / 20);
    QCOMPARE(qint64(server.checkpoints.size()), messages / every - (messages % every == 0 ? 1 : 0));

    // Nothing meant for other stations reached this one's score or panel; no box was shown.
    QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("0.0"));
    QVERIFY(!ScoreAcknowledged(form.scoring));
    QVERIFY(station.boxes.isEmpty());
    QVERIFY(stillLinked);
    QCOMPARE(form.currentPage(), 1);
    QVERIFY(element<QPlainTextEdit>(form, "LogFile")->document()->blockCount() <= kMemoMaxLines);
    QVERIFY(element<QListWidget>(form, "ConnectedClients")->count() <= kConnectedClientsMaxLines);

    // The main thread goes round its event loop while the messages pour in: keys, painting and
    // timers are not held up behind them (it takes a few tens of milliseconds here).
    QVERIFY2(watchdog.longestMs() < (MARLO_SANITIZED ? 1000 : 500), qPrintable(QString::number(watchdog.longestMs())));
    if (!MARLO_SANITIZED)
        QVERIFY2(rssAfter - rssBefore < 50 * 1024, qPrintable(QString::number(rssAfter - rssBefore)));
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
