// A server that reads slowly or not at all, and one that never answers a connect: the main
// thread never waits on the socket. What the system cannot take waits in the link's bounded
// outgoing buffer; the link counts as lost when that buffer would overflow or when its data
// has waited too long, and a score still in it then counts as failed (one lost-link report,
// one reconnect, the panel red again with the same score). Nothing of a given-up buffer goes
// out later, the order of messages holds across partial writes, the close is prompt, and a
// connect gives up at its limit.
#include "ConnectionProbe.h"
#include "ShowCounter.h"
#include "LoopbackServer.h"
#include "SilentListener.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "link/OutgoingBuffer.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/Unit_Invalid.h"
#include "screens/Unit_Main.h"
#include "DataColumns.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTest>
#include <QThread>

#include <cerrno>
#include <cstddef>
#include <cstring>

#include <arpa/inet.h>
#include <linux/tcp.h>  // tcp_info as this kernel fills it (the window, the bytes not sent)
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QColor kRed(255, 0, 0);

bool sameAddress(const sockaddr_in &a, const sockaddr_in &b)
{
    return a.sin_family == b.sin_family && a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
}

// The station's end of a connection the server accepted: the station runs in the test's own
// process, so it is the descriptor of this process whose address is the server's peer's.
int stationEndOf(int serverFd)
{
    sockaddr_in peer {};
    socklen_t len = sizeof peer;
    if (::getpeername(serverFd, reinterpret_cast<sockaddr *>(&peer), &len) != 0)
        return -1;
    const QStringList fds = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System);
    for (const QString &name : fds) {
        const int fd = name.toInt();
        sockaddr_in local {};
        len = sizeof local;
        if (fd != serverFd && ::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &len) == 0 && sameAddress(local, peer))
            return fd;
    }
    return -1;
}

// Whether a stall of the server has fully taken effect on the station's socket: the server's
// window is shut (it stays so while the server reads nothing), every byte sent is
// acknowledged, and what the system still holds waits for the window. Until then the system
// can make room at any moment: acknowledgements and sends it has yet to process free the send
// buffer, and grow it (on a busy machine they come late, well after a write was refused).
bool stallTookEffect(int fd)
{
    tcp_info info {};
    socklen_t len = sizeof info;
    return ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) == 0
           && len >= offsetof(tcp_info, tcpi_snd_wnd) + sizeof info.tcpi_snd_wnd && info.tcpi_snd_wnd == 0
           && info.tcpi_unacked == 0 && info.tcpi_notsent_bytes > 0;
}

} // namespace

class TestLinkStall : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void lostLinkFailsTheBufferedScore_data();
    void lostLinkFailsTheBufferedScore();
    void orderKeptAcrossPartialWrites();
    void closeIsPromptWhenNothingIsRead();
    void connectGivesUpAtItsLimit_data();
    void connectGivesUpAtItsLimit();

private:
    TMainForm &form() { return *station_->form; }
    ConsoleLink &link() { return *station_->form->link; }
    void record();
    // Sends chat messages, without running the event loop, until the system's buffers are
    // full and the link's own buffer holds `bytes` or more. False when it never fills.
    bool fillUntilUnsent(qsizetype bytes);
    // The same, once the server's stall has taken effect: the system can take nothing more,
    // so what the link's buffer holds stays there until the server reads.
    bool fillUntilStalled(qsizetype bytes);
    void sendChat();
    QList<QByteArray> written() const;

    std::unique_ptr<TestStation> station_;
    std::unique_ptr<LoopbackServer> server_;
    QList<QPair<QByteArray, bool>> sent_;
    QList<QByteArray> unsent_;
    int chats_ = 0;
};

void TestLinkStall::initTestCase()
{
    // The limits the station runs with.
    TestStation station;
    const LinkOptions &options = station.form->link->connection().options();
    QCOMPARE(options.sendTimeoutMs, 5000);
    QCOMPARE(options.connectTimeoutMs, 10000);
    QCOMPARE(options.port, quint16(8963));
    QCOMPARE(ConsoleLink::kCloseDrainMs, 500);
}

void TestLinkStall::init()
{
    sent_.clear();
    unsent_.clear();
    chats_ = 0;
    server_ = std::make_unique<LoopbackServer>();
    QVERIFY(server_->listen());
    station_ = std::make_unique<TestStation>();
}

void TestLinkStall::cleanup()
{
    station_.reset();
    server_.reset();
}

void TestLinkStall::record()
{
    link().connection().sentObserver = [this](const QByteArray &frame, bool w) { sent_ << qMakePair(frame, w); };
    link().connection().unsentObserver = [this](const QByteArray &frame) { unsent_ << frame; };
}

QList<QByteArray> TestLinkStall::written() const
{
    QList<QByteArray> out;
    for (const auto &s : sent_)
        if (s.second)
            out << s.first;
    return out;
}

bool TestLinkStall::fillUntilUnsent(qsizetype bytes)
{
    for (int i = 0; i < 100000 && link().Connected(); ++i) {
        if (link().connection().UnsentBytes() >= bytes)
            return true;
        sendChat();
    }
    return false;
}

void TestLinkStall::sendChat()
{
    // Numbered, of varying length, so that order and cut points show.
    ++chats_;
    link().SendConsoleMessage("CM", QByteArray::number(chats_) + ' ' + QByteArray(200 + (chats_ * 397) % 1800, 'a' + chats_ % 26));
}

bool TestLinkStall::fillUntilStalled(qsizetype bytes)
{
    const int fd = stationEndOf(int(server_->descriptor(0)));
    if (fd < 0)
        return false;
    for (int round = 0; round < 20; ++round) {
        if (!fillUntilUnsent(1))
            return false;
        // The event loop runs: the link writes into whatever room the system makes meanwhile.
        if (!QTest::qWaitFor([&] { return !link().Connected() || stallTookEffect(fd); }, 5000) || !link().Connected())
            return false;
        // Nothing frees room from here on. One more message makes the link try the socket
        // again (a write offers the buffer first; the link's write notifier waits for more
        // room than a write needs): what the link still holds after it, the system refused,
        // and it refuses it from now on.
        sendChat();
        if (fillUntilUnsent(bytes) && stallTookEffect(fd))
            return true;
    }
    return false;
}

void TestLinkStall::lostLinkFailsTheBufferedScore_data()
{
    addColumns<bool, bool>("overflow", "inSystem");
    QTest::newRow("overflow, score in the link's buffer") << true << false;
    QTest::newRow("overflow, score in the system's, unacknowledged") << true << true;
    QTest::newRow("waited too long, score in the link's buffer") << false << false;
    QTest::newRow("waited too long, score in the system's, unacknowledged") << false << true;
}

void TestLinkStall::lostLinkFailsTheBufferedScore()
{
    QFETCH(bool, overflow);
    QFETCH(bool, inSystem);
    QVERIFY(station_->start());
    ConnectionProbe::setSendTimeoutMs(link().connection(), overflow ? 60000 : 1000);
    QVERIFY(station_->connectTo(*server_, 2));
    server_->clearReceived();
    ShowCounter windows(form().InvalidElements);
    record();
    server_->setStalled(true, 0);

    // A score the server's system takes in: it reaches the server and is not reported.
    link().SendConsoleMessage("SD", "5.0\x11");
    const QByteArray early = LoopbackServer::frame("SD", "5.0\x11", "J3  ");
    // The score goes in behind data the server has not taken: written, into the buffer.
    QVERIFY(fillUntilStalled(1));
    SetScoreText(form().scoring, QStringLiteral("6.5"));
    ButtonSendScoreClick(form().scoring);
    ScoreConfirmAcceptClick(form().scoring);
    const QByteArray sd = LoopbackServer::frame("SD", "6.5\x11", "J3  ");
    QCOMPARE(sent_.last().first.left(4), QByteArray("\x01" "CSI"));
    QVERIFY(sent_.contains(qMakePair(sd, true)));
    QVERIFY(link().Connected());
    QVERIFY(!form().ReconnectTimer->isActive());
    if (inSystem) {
        // The server takes a little, so the buffer, the score with it, moves on into the
        // system's send buffer, which the server has not acknowledged.
        for (int i = 0; i < 1000 && link().connection().UnsentBytes() > 0; ++i) {
            server_->readNow(4096, 0);
            QCoreApplication::processEvents();
        }
        QCOMPARE(link().connection().UnsentBytes(), 0);
        QVERIFY(link().Connected());
        QVERIFY(fillUntilStalled(1));
    }

    if (overflow) {
        QVERIFY(!fillUntilUnsent(OutgoingBuffer::kMaxBytes + 1));
        QVERIFY(!sent_.last().second);  // the message that did not fit failed
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(!link().Connected(), 5000);
    }
    // Lost like a dropped link, and the score failed: one report.
    QVERIFY(!link().Connected());
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QVERIFY(form().ReconnectTimer->isActive());
    QCOMPARE(windows.shows, 1);
    QCOMPARE(unsent_.count(sd), 1);
    QVERIFY(!unsent_.contains(early));

    // What arrived is what was written, in order, up to a point; nothing reported as given
    // up arrived (the link was reset), and every score either arrived or was reported.
    server_->setStalled(false, 0);
    QVERIFY(server_->waitForClosed(0, 10000));
    const QList<QByteArray> arrived = server_->frames(0);
    const QList<QByteArray> all = written();
    QCOMPARE(arrived, all.mid(0, arrived.size()));
    QVERIFY(arrived.size() + unsent_.size() <= all.size());
    QVERIFY(arrived.contains(early));
    QVERIFY(!arrived.contains(sd));
    const QByteArray bytes = server_->received(0);
    const QByteArray whole = arrived.join();
    QVERIFY(bytes.startsWith(whole));
    QVERIFY(all.at(arrived.size()).startsWith(bytes.mid(whole.size())));

    // One reconnect, on which nothing of the old link goes out; the score comes back red.
    QVERIFY(server_->waitForConnections(2, 6000));
    QTRY_VERIFY(!element<Panel>(form(), "ScoreConfirmMain")->isHidden()
                && element<Panel>(form(), "ScoreConfirmMain")->color() == kRed);
    QCOMPARE(element<QLabel>(form(), "ScoreConfirmScore0")->text(), QStringLiteral("6.5"));
    QCOMPARE(form().state.RetryCount, 1);
    QCOMPARE(windows.shows, 1);
    QVERIFY(link().Connected());
    QVERIFY(server_->waitForFrames(1, 1));
    QCOMPARE(server_->frames(1), QList<QByteArray> {LoopbackServer::frame("CC", "Judge 3", "J3  ")});
}

void TestLinkStall::orderKeptAcrossPartialWrites()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_));
    server_->clearReceived();
    record();
    server_->setStalled(true, 0);
    // Half the buffer waits behind full system buffers; the server then reads it all as the
    // socket delivers it, in pieces that cut messages anywhere.
    QVERIFY(fillUntilStalled(OutgoingBuffer::kMaxBytes / 2));
    server_->setStalled(false, 0);
    const QList<QByteArray> expected = written();
    QVERIFY(server_->waitForBytes(expected.join().size(), 0, 10000));
    QCOMPARE(server_->frames(0), expected);
    QVERIFY(unsent_.isEmpty());
    QCOMPARE(link().connection().UnsentBytes(), 0);
    QVERIFY(link().Connected());
    QCOMPARE(sent_.size(), expected.size());  // every one written
}

void TestLinkStall::closeIsPromptWhenNothingIsRead()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_, 2));
    server_->clearReceived();
    record();
    server_->setStalled(true, 0);
    // Enough waits in the link's buffer that the close cannot drain it to the server, which
    // takes nothing more.
    QVERIFY(fillUntilStalled(OutgoingBuffer::kMaxBytes / 4));
    link().SendConsoleMessage("SD", "7.5\x11");

    // The close lets the buffer drain for a moment, then closes: on purpose, so the score
    // it gives up starts no reconnection.
    QElapsedTimer clock;
    clock.start();
    QVERIFY(form().close());
    const qint64 ms = clock.elapsed();
    qInfo("closed in %lld ms", ms);
    QVERIFY2(ms < 3000, "the close waited for the server");  // 13 s before the buffer
    QVERIFY(!link().Connected());
    QVERIFY(!form().ReconnectTimer->isActive());
    QVERIFY(!form().InvalidElements->isVisible());
    QVERIFY(QFile::exists(station_->workDir() + QStringLiteral("/Settings.ini")));
    // "CS" "Off" and the empty "IP" went in behind the rest and were given up with it.
    QCOMPARE(unsent_.mid(unsent_.size() - 2),
             (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J3  "), LoopbackServer::frame("IP", "", "J3  ")}));
    server_->setStalled(false, 0);
    QVERIFY(server_->waitForClosed(0, 10000));
    QCOMPARE(server_->frames(0) + unsent_, written());
}

void TestLinkStall::connectGivesUpAtItsLimit_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("connect action") << false;
    QTest::newRow("automatic reconnect") << true;
}

void TestLinkStall::connectGivesUpAtItsLimit()
{
    QFETCH(bool, reconnect);
    FullListener silent;
    QVERIFY2(silent.full(), "could not fill the accept queue");
    QVERIFY(station_->start());
    ConnectionProbe::usePort(link().connection(), silent.port());
    ConnectionProbe::setConnectTimeoutMs(link().connection(), 300);

    QElapsedTimer clock;
    clock.start();
    if (reconnect) {
        form().ReconnectTimer->start();
        link().AutomaticReconnect();
    } else {
        link().ConnectConsolesClick();
    }
    const qint64 ms = clock.elapsed();
    QVERIFY2(ms >= 250 && ms < 5000, qPrintable(QString::number(ms)));
    const QString expected = reconnect ? QString::fromLocal8Bit(std::strerror(ETIMEDOUT)) : kCouldNotConnectText;
    QCOMPARE(station_->boxes, QStringList {expected});
    QVERIFY(!link().Connected());
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(!form().ReconnectTimer->isActive());
    QCOMPARE(form().state.RetryCount, reconnect ? 1 : 0);
}

QTEST_MAIN(TestLinkStall)
#include "tst_LinkStall.moc"
