// Broken or hostile stations against the event server, on loopback: what one connection can
// do must cost the judges' stations nothing.

#include "ScriptedStation.h"

#include "link/ConsoleMessage.h"
#include "server/EventServer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

#ifndef _WIN32
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>
#endif

namespace {

const QByteArray kEvent = "event: Test Final\nkind: individual\njudges: 5\n"
                          "athlete: Anna Meyer | GER\ndive: 105B | 2.4 | 3m\n"
                          "athlete: Sofia Rossi | ITA\ndive: 107B | 3.1 | 3m\n";

QByteArray Score(const char *text)
{
    return QByteArray(text) + ctl::DC1;
}

#ifndef _WIN32
// The flood, in a child process of its own (its descriptors are not the server's): opens
// `count` connections to the port and holds them until its standard input ends.
int Flood(quint16 port, int count)
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    std::vector<int> fds;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // In batches that the listening socket's queue can take, each connected before the next.
    while (int(fds.size()) < count) {
        std::vector<pollfd> batch;
        for (int i = 0; i < 32 && int(fds.size()) < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (fd < 0)
                break;
            ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to);
            fds.push_back(fd);
            batch.push_back({fd, POLLOUT, 0});
        }
        if (batch.empty())
            break;
        for (int tries = 0; tries < 100; ++tries) {
            ::poll(batch.data(), batch.size(), 50);
            bool all = true;
            for (pollfd &p : batch)
                all = all && (p.revents & (POLLOUT | POLLERR | POLLHUP));
            if (all)
                break;
        }
    }
    std::printf("opened %zu\n", fds.size());
    std::fflush(stdout);
    char c;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    for (int fd : fds)
        ::close(fd);
    return 0;
}
#endif

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void relayBurstIsCutOffAlone();
    void slowReaderIsJudgedOverTime();
    void silentConnectionsAreClosed();
    void scoreFromAConnectionThatIsNotTheJudge();
    void capKeepsRoomForJudges();
    void descriptorLimitLeavesRoomForJudges();

private:
    void startServer(ServerOptions options = LoopbackServerOptions());
    ScriptedStation &join(int judge, bool answer = true);
    int logged(const QString &part) const;

    std::unique_ptr<EventServer> server_;
    std::vector<std::unique_ptr<ScriptedStation>> stations_;
    QStringList log_;
};

void TestHostile::cleanup()
{
    if (QTest::currentTestFailed())
        for (const QString &l : log_.filter(QRegularExpression("closed|refused|left|J\\d \\(")))
            qInfo("%s", qPrintable(l.left(200)));
    stations_.clear();
    server_.reset();
    log_.clear();
}

void TestHostile::startServer(ServerOptions options)
{
    server_ = std::make_unique<EventServer>(ParseEventFile(kEvent).event, options);
    connect(server_.get(), &EventServer::logLine, this, [this](const QString &l) { log_ << l; });
    QVERIFY(server_->listen());
}

ScriptedStation &TestHostile::join(int judge, bool answer)
{
    stations_.push_back(std::make_unique<ScriptedStation>(JudgeStationId(judge)));
    ScriptedStation &s = *stations_.back();
    s.answerLikeAStation = answer;
    if (!s.join(server_->port()) || !s.waitForCount("DI", 1))
        qWarning("judge %d could not join", judge);
    return s;
}

int TestHostile::logged(const QString &part) const
{
    int n = 0;
    for (const QString &l : log_)
        n += l.contains(part);
    return n;
}

void TestHostile::relayBurstIsCutOffAlone()
{
    startServer();
    ScriptedStation &j1 = join(1), &j2 = join(2), &hostile = join(3, false);
    // One burst of 300 "CS" of 16 KB (4.9 MB), each of which would go to every station.
    QByteArray burst;
    for (int i = 0; i < 300; ++i)
        burst += FrameConsoleMessage("CS", "IND ", hostile.id, QByteArray(16000, 'x'));
    hostile.sendRaw(burst);
    QVERIFY(hostile.waitFor([&] { return !hostile.isConnected(); }));
    QCOMPARE(logged(") closed: its \"CS\" of 16000 bytes is more than the 256 bytes relayed"), 1);  // logged once
    // The honest stations stay linked and every score is acknowledged at once.
    qint64 slowest = 0;
    const char *scores[] = {"7.0", "7.5", "8.0", "8.5"};
    for (int round = 0; round < 4; ++round) {
        for (ScriptedStation *s : {&j1, &j2}) {
            QElapsedTimer t;
            t.start();
            s->send("SD", Score(scores[round]));
            QVERIFY(s->waitForCount("TX", round + 1));
            slowest = std::max(slowest, t.elapsed());
        }
    }
    QVERIFY(j1.isConnected() && j2.isConnected());
    QCOMPARE(j1.received("CS").size(), j2.received("CS").size());
    for (const auto &m : j1.received("CS"))
        QVERIFY(m.payload.size() < 100);
    qInfo("slowest acknowledgement after the burst: %lld ms", slowest);
}

void TestHostile::slowReaderIsJudgedOverTime()
{
    ServerOptions o = LoopbackServerOptions();
    o.slowReaderMs = 400;
    startServer(o);
    ScriptedStation &reader = join(1);
    // A station that stops reading, with a small receive buffer.
#ifdef _WIN32
    QSKIP("a socket's buffer set before it connects is Linux's here");
#else
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(server_->port());
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    QVERIFY(::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0);
    const QByteArray cc = FrameConsoleMessage("CC", "IND ", JudgeStationId(2), "Judge 2");
    QVERIFY(::write(fd, cc.constData(), size_t(cc.size())) == cc.size());
    QVERIFY(QTest::qWaitFor([&] { return server_->stations().value(1).id == JudgeStationId(2); }));
#endif
    // A burst of 4.8 MB to every station: the reader takes it all and is never cut off for
    // it; the one that leaves it unread is, once it has been waiting.
    for (int i = 0; i < 300; ++i)
        server_->chat(QByteArray(16000, 'a' + i % 26));
    QVERIFY(reader.waitForCount("CM", 300, 10000));
    QVERIFY(QTest::qWaitFor([&] { return logged("bytes unread for") == 1; }, 10000));
    QVERIFY(log_.filter("bytes unread for").constFirst().contains(QRegularExpression("^J2 \\(.* unread for (0\\.[4-9]|\\d)")));
    QVERIFY(reader.isConnected());
#ifndef _WIN32
    ::close(fd);
#endif
}

void TestHostile::silentConnectionsAreClosed()
{
    ServerOptions o = LoopbackServerOptions();
    o.announceTimeoutMs = 300;
    startServer(o);
    QTcpSocket silent;
    silent.connectToHost(QHostAddress(QHostAddress::LocalHost), server_->port());
    QVERIFY(silent.waitForConnected(5000));
    ScriptedStation &j1 = join(1);
    QVERIFY(QTest::qWaitFor([&] { return silent.state() == QAbstractSocket::UnconnectedState; }, 5000));
    QCOMPARE(logged("closed: it has not announced itself within 0.3 s"), 1);
    QVERIFY(SyncStation(j1));
}

void TestHostile::scoreFromAConnectionThatIsNotTheJudge()
{
    startServer();
    ScriptedStation &j1 = join(1, false);
    // A connection that never said "CC" sends scores signed "J3  ", while judge 3 has none.
    ScriptedStation impostor(JudgeStationId(3));
    QVERIFY(impostor.connectTo(server_->port()));
    for (int i = 0; i < 3; ++i)
        impostor.send("SD", Score("9.5"));
    QVERIFY(impostor.waitForCount("CE", 3));
    QCOMPARE(impostor.received("CE").constFirst().payload,
             QByteArray("This connection has not announced itself as J3. Your score was not recorded."));
    // Judge 1's station signs a score for judge 3: refused the same way.
    j1.sendRaw(FrameConsoleMessage("SD", "IND ", JudgeStationId(3), Score("9.5")));
    QVERIFY(j1.waitForCount("CE", 1));
    QCOMPARE(impostor.count("TX") + j1.count("TX"), 0);
    QCOMPARE(server_->competition().score(3), std::nullopt);
    QCOMPARE(server_->competition().score(1), std::nullopt);
    QCOMPARE(logged("from a connection that has not announced that judge is refused"), 2);  // once per connection
}

void TestHostile::capKeepsRoomForJudges()
{
    ServerOptions o = LoopbackServerOptions();
    o.maxConnections = 20;  // 8 for connections that are not judges', 4 of them stations
    startServer(o);
    std::vector<std::unique_ptr<ScriptedStation>> others;
    for (int i = 0; i < 6; ++i) {
        others.push_back(std::make_unique<ScriptedStation>("S" + QByteArray::number(i).rightJustified(2, '0') + ' '));
        ScriptedStation &s = *others.back();
        QVERIFY(s.join(server_->port()));
        QVERIFY(s.waitFor([&] { return s.count("DI") == 1 || !s.isConnected(); }));
    }
    QCOMPARE(server_->stations().size(), 4);
    QCOMPARE(logged("stations that are not judges' are connected already"), 2);
    // 30 idle connections: the oldest make way for the newest.
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 30; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(QHostAddress(QHostAddress::LocalHost), server_->port());
    }
    QVERIFY(QTest::qWaitFor([&] { return logged("connection from") == 36; }, 5000));
    QCOMPARE(logged("closed: it has not announced itself, and room is kept for the judges' stations"), 26);
    // Every judge of the panel still gets in and scores.
    for (int j = 1; j <= 5; ++j) {
        ScriptedStation &s = join(j, false);
        s.send("SD", Score("7.0"));
        QVERIFY(s.waitForCount("TX", 1));
    }
    QVERIFY(server_->competition().panelComplete());
    QVERIFY(server_->stations().size() <= o.maxConnections);
}

void TestHostile::descriptorLimitLeavesRoomForJudges()
{
#ifdef _WIN32
    QSKIP("descriptor limits are Linux's");
#else
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_NOFILE, &saved) == 0);
    if (saved.rlim_max < 2048)
        QSKIP("the flood needs 2048 descriptors of its own");
    rlimit low = saved;
    low.rlim_cur = 1024;
    QVERIFY(setrlimit(RLIMIT_NOFILE, &low) == 0);
    startServer();
    QProcess flood;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MARLO_FLOOD", QStringLiteral("%1 1100").arg(server_->port()));
    flood.setProcessEnvironment(env);
    flood.start(QCoreApplication::applicationFilePath(), {});
    QVERIFY(flood.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return flood.canReadLine() || flood.state() != QProcess::Running; }, 20000));
    QCOMPARE(flood.readLine().trimmed(), QByteArray("opened 1100"));
    QVERIFY(QTest::qWaitFor([&] { return logged("connection from") >= 1000; }, 20000));
    // While the 1,100 are held open, a judge's station connects and scores.
    ScriptedStation &j1 = join(1, false);
    j1.send("SD", Score("8.0"));
    QVERIFY(j1.waitForCount("TX", 1));
    flood.closeWriteChannel();
    QVERIFY(flood.waitForFinished(10000));
    setrlimit(RLIMIT_NOFILE, &saved);
#endif
}

int main(int argc, char **argv)
{
#ifndef _WIN32
    if (qEnvironmentVariableIsSet("MARLO_FLOOD")) {
        const QStringList a = qEnvironmentVariable("MARLO_FLOOD").split(' ');
        return Flood(quint16(a.value(0).toUInt()), a.value(1).toInt());
    }
#endif
    QCoreApplication app(argc, argv);
    TestHostile t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_hostile.moc"
