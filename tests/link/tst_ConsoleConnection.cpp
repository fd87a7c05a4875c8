// The connection on its own, without the window: what it sends as it opens and closes, and
// what it reports to its owner. The screens' side of the same is tst_ConsoleLink's.
#include "ConnectionProbe.h"
#include "LoopbackServer.h"

#include "link/ConsoleConnection.h"
#include "link/OutgoingBuffer.h"
#include "station/StationState.h"
#include "DataColumns.h"

#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

constexpr int kWaitMs = 5000;

// Records what the connection reports, in order.
class RecordedEvents : public ConnectionEvents
{
public:
    void LinkConnected() override { log << QStringLiteral("connected"); }
    void LinkDisconnected() override { log << QStringLiteral("disconnected"); }
    void TextReceived(const QByteArray &text) override
    {
        log << QStringLiteral("text");
        texts << text;
    }
    void ScoreSendFailed() override { log << QStringLiteral("score failed"); }
    void TextsBegin() override { log << QStringLiteral("begin"); }
    void TextsEnd() override { log << QStringLiteral("end"); }

    QStringList log;
    QList<QByteArray> texts;
};

// This station ("Judge 2").
const QByteArray kUs = "J2  ";

// The system under the outgoing buffer: it takes `room` bytes, then nothing (or fails).
struct FakeSystem {
    qsizetype room = 0;
    bool fails = false;
    QByteArray taken;
    OutgoingBuffer::SendSome send = [this](const char *data, qsizetype size) -> qsizetype {
        if (room == 0)
            return fails ? -1 : 0;
        const qsizetype n = std::min(size, room);
        taken.append(data, n);
        room -= n;
        return n;
    };
};

} // namespace

class TestConsoleConnection : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        state_.FillProtocols();
        state_.ClientInfo.DisciplineTag = QStringLiteral("IND ");
        state_.ClientInfo.LocalStationId = state_.stationIdAt(1);
        state_.ClientInfo.FunctionCaption = QStringLiteral("Judge 2");
        events_ = RecordedEvents();
        server_ = std::make_unique<LoopbackServer>();
        QVERIFY(server_->listen());
        connection_ = std::make_unique<ConsoleConnection>(state_, events_);
        ConnectionProbe::usePort(*connection_, server_->port());
    }
    void cleanup()
    {
        connection_.reset();
        server_.reset();
    }

    void openAnnouncesTheStation()
    {
        QString error;
        QVERIFY2(connection_->Open("127.0.0.1", &error), qPrintable(error));
        QVERIFY(connection_->Connected());
        QCOMPARE(events_.log, QStringList{"connected"});
        QVERIFY(server_->waitForFrames(1));
        QCOMPARE(server_->frames(), QList<QByteArray>{LoopbackServer::frame("CC", "Judge 2", kUs)});
    }

    // The texts that arrived together reach the owner in order, between TextsBegin and TextsEnd.
    void receivedTextsInOrder()
    {
        QVERIFY(connection_->Open("127.0.0.1", nullptr));
        QVERIFY(server_->waitForConnections(1));
        const QList<QByteArray> sent = {LoopbackServer::frame("AI", "1-1\x11" "A\x12" "B\x13"),
                                        LoopbackServer::frame("CM", "hello"), LoopbackServer::frame("TP", "")};
        server_->send(sent[0] + sent[1] + sent[2]);
        QTRY_VERIFY_WITH_TIMEOUT(events_.texts.size() >= 3, kWaitMs);
        QCOMPARE(events_.texts, sent);
        // Every text is handed over inside a begin and end pair.
        int open = 0;
        for (const QString &e : events_.log.mid(1)) {
            if (e == QLatin1String("begin"))
                QCOMPARE(open++, 0);
            else if (e == QLatin1String("end"))
                QCOMPARE(open--, 1);
            else
                QVERIFY2(e == QLatin1String("text") && open == 1, qPrintable(events_.log.join(QLatin1Char(','))));
        }
        QCOMPARE(open, 0);
    }

    void serverCloseReportsDisconnected()
    {
        QVERIFY(connection_->Open("127.0.0.1", nullptr));
        QVERIFY(server_->waitForConnections(1));
        server_->drop();
        QTRY_VERIFY_WITH_TIMEOUT(events_.log.contains(QStringLiteral("disconnected")), kWaitMs);
        QVERIFY(!connection_->Connected());
        QCOMPARE(events_.log, QStringList({"connected", "disconnected"}));
    }

    // Without a connection nothing is written; only a score's failure is reported.
    void sendWithoutConnection_data()
    {
        addColumns<QByteArray, QStringList>("command", "log");
        QTest::newRow("score") << QByteArray("SD") << QStringList{"score failed"};
        QTest::newRow("chat") << QByteArray("CM") << QStringList{};
    }
    void sendWithoutConnection()
    {
        QFETCH(QByteArray, command);
        QFETCH(QStringList, log);
        QVERIFY(!connection_->Send(command, "7.5"));
        QCOMPARE(events_.log, log);
        QCOMPARE(server_->connectionCount(), 0);
    }

    // On purpose: "CS" "Off" and the empty "IP" go out, the link closes; a score sent before
    // it is no failure.
    void disconnectOnPurpose()
    {
        QVERIFY(connection_->Open("127.0.0.1", nullptr));
        QVERIFY(connection_->Send("SD", "7.5"));
        QVERIFY(server_->waitForFrames(2));
        connection_->Disconnect();
        QVERIFY(!connection_->Connected());
        QCOMPARE(events_.log, QStringList({"connected", "disconnected"}));
        QVERIFY(server_->waitForClosed());
        QCOMPARE(server_->frames(), QList<QByteArray>({LoopbackServer::frame("CC", "Judge 2", kUs),
                                                       LoopbackServer::frame("SD", "7.5", kUs),
                                                       LoopbackServer::frame("CS", "Off", kUs),
                                                       LoopbackServer::frame("IP", QByteArray(), kUs)}));
    }

    // The outgoing buffer on its own: what waits, in order, what is given up when the link
    // closes, and which handed scores count as not acknowledged.
    void outgoingBuffer_data()
    {
        QTest::addColumn<QByteArrayList>("writes");   // written 10 ms apart; "SD" ones are scores
        QTest::addColumn<int>("room");                // what the system takes while they are written
        QTest::addColumn<bool>("fails");              // the socket fails once that is used up
        QTest::addColumn<int>("later");               // then taken by a flush
        QTest::addColumn<int>("unacknowledged");      // of the handed bytes, at the close
        QTest::addColumn<QString>("written");         // each write's result
        QTest::addColumn<qint64>("oldest");           // oldestUnsentAtMs() before the close
        QTest::addColumn<QByteArrayList>("unsent");   // what takeUnsent() gives up

        const QByteArray a = "CM first", sd = "SD 6.5", c = "CM third";
        const QByteArray big(OutgoingBuffer::kMaxBytes + 1, 'x');
        QTest::newRow("all taken, all acknowledged") << QByteArrayList {a, sd} << 100 << false << 0 << 0 << "yy" << qint64(-1) << QByteArrayList {};
        QTest::newRow("handed score not acknowledged") << QByteArrayList {sd, c} << 100 << false << 0 << int(c.size() + 1) << "yy" << qint64(-1) << QByteArrayList {sd};
        QTest::newRow("acknowledged to its last byte") << QByteArrayList {sd, c} << 100 << false << 0 << int(c.size()) << "yy" << qint64(-1) << QByteArrayList {};
        QTest::newRow("cut inside a message") << QByteArrayList {a, sd, c} << int(a.size() + 3) << false << 0 << 0 << "yyy" << qint64(20) << QByteArrayList {sd, c};
        QTest::newRow("flushed later, score unacknowledged") << QByteArrayList {a, sd, c} << int(a.size() + 3) << false << 100 << int(c.size() + 1) << "yyy" << qint64(-1) << QByteArrayList {sd};
        QTest::newRow("overflow") << QByteArrayList {a, big, c} << 0 << false << 0 << 0 << "yny" << qint64(10) << QByteArrayList {a, c};
        QTest::newRow("socket fails") << QByteArrayList {a} << 0 << true << 0 << 0 << "n" << qint64(-1) << QByteArrayList {};
        QByteArrayList scores;
        for (int i = 0; i <= int(OutgoingBuffer::kKeptScores); ++i)
            scores << "SD " + QByteArray::number(i);
        QTest::newRow("the last scores remembered") << scores << 1000 << false << 0 << 1000 << QString(scores.size(), QLatin1Char('y')) << qint64(-1) << scores.mid(1);
    }
    void outgoingBuffer()
    {
        QFETCH(QByteArrayList, writes);
        QFETCH(int, room);
        QFETCH(bool, fails);
        QFETCH(int, later);
        QFETCH(int, unacknowledged);
        QFETCH(QString, written);
        QFETCH(qint64, oldest);
        QFETCH(QByteArrayList, unsent);
        OutgoingBuffer buffer;
        FakeSystem system {room, fails};
        QString results;
        QByteArray accepted;
        for (int i = 0; i < writes.size(); ++i) {
            const bool ok = buffer.write(writes[i], writes[i].startsWith("SD"), 10 * (i + 1), system.send);
            results += QLatin1Char(ok ? 'y' : 'n');
            if (ok)
                accepted += writes[i];
        }
        system.room = later;
        QVERIFY(buffer.flush(system.send));
        QCOMPARE(results, written);
        QCOMPARE(buffer.oldestUnsentAtMs(), oldest);
        // In order, across the cuts; what was not taken waits.
        QCOMPARE(system.taken, accepted.left(system.taken.size()));
        QCOMPARE(buffer.handedBytes(), system.taken.size());
        QCOMPARE(buffer.unsentBytes(), accepted.size() - system.taken.size());
        QByteArrayList given;
        for (const OutgoingBuffer::Unsent &u : buffer.takeUnsent(unacknowledged)) {
            given << u.message;
            QCOMPARE(u.score, u.message.startsWith("SD"));
        }
        QCOMPARE(given, unsent);
        QCOMPARE(buffer.unsentBytes(), 0);
        QCOMPARE(buffer.oldestUnsentAtMs(), -1);
    }

private:
    StationState state_;
    RecordedEvents events_;
    std::unique_ptr<LoopbackServer> server_;
    std::unique_ptr<ConsoleConnection> connection_;
};

QTEST_GUILESS_MAIN(TestConsoleConnection)
#include "tst_ConsoleConnection.moc"
