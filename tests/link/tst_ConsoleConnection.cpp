// The connection on its own, without the window: what it sends as it opens and closes, and
// what it reports to its owner. The screens' side of the same is tst_ConsoleLink's.
#include "LoopbackServer.h"

#include "link/ConsoleConnection.h"
#include "station/StationState.h"

#include <QtTest>

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
        connection_->setPortForTests(server_->port());
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
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QStringList>("log");
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

private:
    StationState state_;
    RecordedEvents events_;
    std::unique_ptr<LoopbackServer> server_;
    std::unique_ptr<ConsoleConnection> connection_;
};

QTEST_GUILESS_MAIN(TestConsoleConnection)
#include "tst_ConsoleConnection.moc"
