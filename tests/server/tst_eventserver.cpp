#include "ScriptedStation.h"

#include "link/ConsoleMessage.h"
#include "server/EventServer.h"
#include "server/EventServerThread.h"
#include "server/OperatorConsole.h"
#include "DataColumns.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray kEvent = "event: Test Final\n"
                          "kind: individual\n"
                          "judges: 5\n"
                          "athlete: Anna Meyer | GER\n"
                          "dive: 105B | 2.4 | 3m | Forward 2 1/2 somersaults pike\n"
                          "athlete: Sofia Rossi | ITA\n"
                          "dive: 107B | 3.1 | 3m | Forward 3 1/2 somersaults pike\n";

ServerOptions Loopback(int pauseMs = 60000, int pulseMs = 0)
{
    ServerOptions o = LoopbackServerOptions();
    o.pulseIntervalMs = pulseMs;
    o.correctionPauseMs = pauseMs;
    o.answerWaitMs = 300;
    return o;
}

QByteArray Judge(int n)
{
    return JudgeStationId(n);
}

bool Has(const ScriptedStation &s, const QByteArray &command, const QByteArray &sender, const QByteArray &payload)
{
    for (const auto &m : s.received(command))
        if (m.sender == sender && m.payload == payload)
            return true;
    return false;
}

int Count(const ScriptedStation &s, const QByteArray &command, const QByteArray &payload)
{
    int n = 0;
    for (const auto &m : s.received(command))
        n += m.payload == payload;
    return n;
}

bool Sync(ScriptedStation &s)
{
    return SyncStation(s);
}

} // namespace

class TestEventServer : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void announcementsAndStatusAreRelayed();
    void leavingStationIsAnnounced();
    void reconnectBeforeTheOldLinkClosed();
    void everyScoreIsAcknowledged();
    void refusedScoresAreNotAcknowledged();
    void completePanelSendsScoresAndScoreboard();
    void correctionAfterCancel_data();
    void correctionAfterCancel();
    void correctionPauseEndsWithTheNextDive();
    void restartAtEachStepLosesNothing();
    void synchroPanelThroughTheServer();
    void joinersAndReconnects();
    void everyDiveBeginsWithTheEvent();
    void stationBackWithinItsDive_data();
    void stationBackWithinItsDive();
    void secondStationOfAJudgeTakesOver();
    void secondStationIsRefusedWhileTheFirstAnswers();
    void fillMissingJudges();
    void deadLinksAreToldFromSlowJudges();
    void endOfEvent();
    void testPulses();
    void badInputIsSurvived();
    void operatorCommands();
    void serverOnItsOwnThread();
    void portInUseIsReported();  // and a panel that cannot be judged
    void addressesForTheStations_data();
    void addressesForTheStations();
    void stationIdentifiers_data();
    void stationIdentifiers();

private:
    void startServer(const QByteArray &eventText = kEvent, ServerOptions options = Loopback());
    ScriptedStation &station(int judge, bool answer = false);
    bool joinAll(std::initializer_list<int> judges);

    std::unique_ptr<EventServer> server_;
    std::vector<std::unique_ptr<ScriptedStation>> stations_;
    QStringList log_;
};

void TestEventServer::init()
{
    log_.clear();
}

void TestEventServer::cleanup()
{
    stations_.clear();
    server_.reset();
}

void TestEventServer::startServer(const QByteArray &eventText, ServerOptions options)
{
    const auto parsed = ParseEventFile(eventText);
    QVERIFY(parsed.ok);
    server_ = std::make_unique<EventServer>(parsed.event, options);
    connect(server_.get(), &EventServer::logLine, this, [this](const QString &l) { log_ << l; });
    QString error;
    QVERIFY2(server_->listen(&error), qPrintable(error));
    QVERIFY(server_->port() != 0);
}

ScriptedStation &TestEventServer::station(int judge, bool answer)
{
    stations_.push_back(std::make_unique<ScriptedStation>(Judge(judge)));
    stations_.back()->answerLikeAStation = answer;
    return *stations_.back();
}

bool TestEventServer::joinAll(std::initializer_list<int> judges)
{
    for (int j : judges) {
        ScriptedStation &s = station(j);
        if (!s.join(server_->port()) || !s.waitForCount("DI", 1))
            return false;
    }
    return true;
}

void TestEventServer::announcementsAndStatusAreRelayed()
{
    startServer();
    ScriptedStation &a = station(1, true);
    QVERIFY(a.join(server_->port()));
    // The newcomer is told of itself, by its identifier.
    QVERIFY(a.waitFor([&] { return Has(a, "CC", Judge(1), Judge(1)); }));

    ScriptedStation &b = station(2, true);
    QVERIFY(b.join(server_->port()));
    // Everyone learns of the newcomer; the newcomer learns of everyone already there.
    QVERIFY(a.waitFor([&] { return Has(a, "CC", Judge(2), Judge(2)); }));
    QVERIFY(b.waitFor([&] { return Has(b, "CC", Judge(2), Judge(2)) && Has(b, "CC", Judge(1), Judge(1)); }));

    // Each answers with its address, name and status, relayed to every station, the sender
    // included, under the sender's identifier.
    for (ScriptedStation *s : {&a, &b}) {
        QVERIFY(s->waitFor([&] {
            return Has(*s, "IP", Judge(1), "127.0.0.1") && Has(*s, "CN", Judge(1), "host-j1")
                   && Has(*s, "CS", Judge(1), "Active") && Has(*s, "IP", Judge(2), "127.0.0.2")
                   && Has(*s, "CN", Judge(2), "host-j2") && Has(*s, "CS", Judge(2), "Active");
        }));
    }
    // The server's own row: "VRX " with the address the station reached it at.
    QVERIFY(Has(b, "IP", "VRX ", "127.0.0.1"));
    QVERIFY(Has(b, "CS", "VRX ", "Active"));
    QCOMPARE(b.received("CN").constFirst().sender, QByteArray("VRX "));

    const auto list = server_->stations();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].caption, QByteArray("Judge 1"));
    QCOMPARE(list[1].name, QByteArray("host-j2"));
}

void TestEventServer::leavingStationIsAnnounced()
{
    startServer();
    QVERIFY(joinAll({1, 2, 3}));
    ScriptedStation &j1 = *stations_[0], &j2 = *stations_[1], &j3 = *stations_[2];

    j2.close();
    QVERIFY(j1.waitFor([&] { return Has(j1, "CD", Judge(2), Judge(2)) && Has(j3, "CD", Judge(2), Judge(2)); }));
    // One that vanishes without a word is announced all the same.
    j3.abort();
    QVERIFY(j1.waitFor([&] { return Has(j1, "CD", Judge(3), Judge(3)); }));
    QCOMPARE(j1.count("CD"), 2);
    QVERIFY(j1.waitFor([&] { return server_->stations().size() == 1; }));
}

void TestEventServer::reconnectBeforeTheOldLinkClosed()
{
    startServer();
    QVERIFY(joinAll({1, 2}));
    ScriptedStation &old = *stations_[0], &j2 = *stations_[1];
    j2.clear();

    // Judge 1 comes back on a new link while the server still holds the old one: the old one
    // is closed, and no "CD" for Judge 1 reaches the new one (it would send it home).
    ScriptedStation &again = station(1);
    QVERIFY(again.join(server_->port()));
    QVERIFY(again.waitForCount("DI", 1));
    QVERIFY(old.waitFor([&] { return !old.isConnected(); }));
    QVERIFY(again.waitFor([&] { return server_->stations().size() == 2; }));
    QVERIFY(Sync(again));
    QVERIFY(Sync(j2));
    QCOMPARE(Count(again, "CD", Judge(1)), 0);
    // The others end with one line for Judge 1: dropped, then added again.
    QCOMPARE(Count(j2, "CD", Judge(1)), 1);
    QCOMPARE(Count(j2, "CC", Judge(1)), 1);
    QCOMPARE(j2.received().constFirst().command, QByteArray("CD"));
}

void TestEventServer::everyScoreIsAcknowledged()
{
    startServer();
    QVERIFY(joinAll({1, 3}));
    ScriptedStation &j1 = *stations_[0], &j3 = *stations_[1];

    j3.send("SD", QByteArray("6.5") + ctl::DC1);
    j3.send("SD", QByteArray("6.5") + ctl::DC1);  // accepted again: acknowledged again
    j1.send("sd", QByteArray("10.0") + ctl::DC1);
    QVERIFY(j3.waitForCount("TX", 2));
    QVERIFY(j1.waitForCount("TX", 1));
    for (const auto &m : j3.received("TX")) {
        QCOMPARE(m.payload, Judge(3) + ctl::DC1);
        QCOMPARE(m.sender, QByteArray("VRX "));
    }
    QCOMPARE(j1.received("TX").constFirst().payload, Judge(1) + ctl::DC1);
    QCOMPARE(server_->competition().score(3), std::optional<int>(13));
    QCOMPARE(server_->competition().score(1), std::optional<int>(20));
    // Cancelling an acknowledged score sends 0.0: acknowledged, but the score stands.
    j3.send("SD", QByteArray("0.0") + ctl::DC1);
    QVERIFY(j3.waitForCount("TX", 3));
    QCOMPARE(server_->competition().score(3), std::optional<int>(13));
}

void TestEventServer::refusedScoresAreNotAcknowledged()
{
    startServer();
    QVERIFY(joinAll({2, 9}));
    ScriptedStation &j2 = *stations_[0], &j9 = *stations_[1];

    // Not a score: not recorded, so not acknowledged; the judge is told why.
    j2.send("SD", QByteArray("6.3") + ctl::DC1);
    QVERIFY(j2.waitForCount("CE", 1));
    QVERIFY(j2.received("CE").constFirst().payload.contains("0.0 to 10.0 in half points"));
    // Judge 9 is not on a panel of five.
    j9.send("SD", QByteArray("7.0") + ctl::DC1);
    QVERIFY(j9.waitForCount("CE", 1));
    QCOMPARE(j9.received("CE").constFirst().payload,
             QByteArray("Judge 9 is not on this panel of 5 judges. Your score was not recorded."));
    // A later good score goes through as usual.
    j2.send("SD", QByteArray("7.0") + ctl::DC1);
    QVERIFY(j2.waitForCount("TX", 1));
    QCOMPARE(j2.count("TX") + j9.count("TX"), 1);
    QCOMPARE(server_->competition().missingJudges(), (QVector<int>{1, 3, 4, 5}));
}

void TestEventServer::completePanelSendsScoresAndScoreboard()
{
    startServer();
    QVERIFY(joinAll({1, 2, 3, 4, 5}));
    const char *scores[] = {"6.5", "7.0", "7.5", "8.0", "6.0"};
    for (int j = 0; j < 4; ++j)
        stations_[j]->send("SD", QByteArray(scores[j]) + ctl::DC1);
    QVERIFY(stations_[3]->waitForCount("TX", 1));
    QCOMPARE(stations_[0]->count("XX"), 0);  // not before the panel is complete

    stations_[4]->send("SD", QByteArray(scores[4]) + ctl::DC1);
    for (auto &s : stations_) {
        QVERIFY(s->waitForCount("PR", 1));
        QCOMPARE(s->received("XX").constFirst().payload, QByteArray("#6.5^7.0^7.5^8.0^6.0^"));
        // 6.5 + 7.0 + 7.5 = 21.0 x 2.4 = 50.40
        QCOMPARE(s->received("PR").constFirst().payload, QByteArray("1\x11" "50.40^T 50.40^RANK 1\x12"));
    }
    // Judge 5 accepts the same score again: acknowledged again, and no correction (no new
    // panel, scoreboard or pause).
    stations_[4]->send("SD", QByteArray(scores[4]) + ctl::DC1);
    QVERIFY(stations_[4]->waitForCount("TX", 2));
    QVERIFY(Sync(*stations_[0]));
    QCOMPARE(stations_[0]->count("PR"), 1);
    QVERIFY(!log_.join('\n').contains("corrected result"));
    // In the correction pause Judge 5 corrects: XX and PR again with the new result.
    // 7.0 + 7.0 + 7.5 = 21.5 x 2.4 = 51.60
    stations_[4]->send("SD", QByteArray("7.0") + ctl::DC1);
    QVERIFY(stations_[0]->waitForCount("PR", 2));
    QCOMPARE(stations_[0]->received("XX").constLast().payload, QByteArray("#6.5^7.0^7.5^8.0^7.0^"));
    QCOMPARE(stations_[0]->received("PR").constLast().payload, QByteArray("1\x11" "51.60^T 51.60^RANK 1\x12"));
    QCOMPARE(stations_[0]->count("AI"), 1);  // the pause (60 s here) is not over

    // The operator moves on at once.
    server_->nextDive();
    QVERIFY(stations_[0]->waitForCount("AI", 2));
    QCOMPARE(stations_[0]->received("AI").constLast().payload, QByteArray("1-2\x11Sofia Rossi\x12ITA\x13"));
    QVERIFY(stations_[0]->waitForCount("DI", 2));
    QCOMPARE(stations_[0]->received("DI").constLast().payload,
             QByteArray("107B\x11" "3.1\x12" "3m\x13" "Forward 3 1/2 somersaults pike\x14"));
}

void TestEventServer::correctionAfterCancel_data()
{
    // Steps: a score text is judge 1's station sending it; "rest" is judges 2 to 5 scoring
    // 7.0; "next" moves on. A station's Cancel on its green panel sends "0.0".
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("finalScore");  // judge 1's, in half points; -1: none
    QTest::addColumn<int>("results");     // scoreboards sent
    QTest::newRow("change in the pause") << QStringList{"rest", "8.0", "0.0", "8.5"} << 17 << 2;
    QTest::newRow("cancel, then keep the score") << QStringList{"rest", "8.0", "0.0"} << 16 << 1;
    QTest::newRow("cancel before the last judge") << QStringList{"8.0", "0.0", "rest"} << 16 << 1;
    QTest::newRow("change to 0.0") << QStringList{"rest", "8.0", "0.0", "0.0"} << 0 << 2;
    QTest::newRow("first 0.0 is a score") << QStringList{"0.0", "rest"} << 0 << 1;
    QTest::newRow("two changes") << QStringList{"rest", "8.0", "0.0", "7.0", "0.0", "9.0"} << 18 << 3;
    QTest::newRow("same score after cancel") << QStringList{"rest", "8.0", "0.0", "8.0"} << 16 << 1;
    QTest::newRow("change lapses with the dive") << QStringList{"8.0", "0.0", "next", "0.0"} << 0 << 0;
}

void TestEventServer::correctionAfterCancel()
{
    QFETCH(QStringList, steps);
    QFETCH(int, finalScore);
    QFETCH(int, results);
    startServer();
    QVERIFY(joinAll({1}));
    ScriptedStation &j1 = *stations_[0];
    int sent = 0;
    for (const QString &step : steps) {
        if (step == "rest") {
            for (int j = 2; j <= 5; ++j)
                QVERIFY(server_->recordScore(j, "7.0"));
        } else if (step == "next") {
            server_->nextDive();
        } else {
            j1.send("SD", step.toLatin1() + ctl::DC1);
            QVERIFY(j1.waitForCount("TX", ++sent));  // every score is answered
        }
    }
    QVERIFY(Sync(j1));
    QCOMPARE(server_->competition().score(1).value_or(-1), finalScore);
    QCOMPARE(j1.count("PR"), results);
    // A cancel alone never reaches a result.
    for (const auto &m : j1.received("XX"))
        QVERIFY2(finalScore == 0 || !m.payload.startsWith("#0.0"), m.payload.constData());
    const QString log = log_.join('\n');
    QCOMPARE(log.contains("judge 1 is changing (Cancel / Change on the station); 8.0 stands"),
             steps.mid(0, 3).contains("0.0") && steps.constFirst() != "0.0");
    QCOMPARE(log.contains("judge 1's change lapses: the dive is over and 8.0 stands"), steps.contains("next"));
}

void TestEventServer::restartAtEachStepLosesNothing()
{
    // Two dives by five judges' stations, with a correction in the pause; the server is
    // stopped after each step and resumed from its journal, and the stations reconnect.
    const QStringList steps = {"1 8.0", "2 7.0", "3 7.5", "4 6.5", "5 7.0", "5 0.0", "5 8.0", "next",
                               "1 6.0", "2 6.0", "3 6.0", "4 6.0", "5 6.0", "1 0.0", "next"};
    QTemporaryDir dir;
    ServerOptions o = Loopback();
    o.journalPath = dir.filePath("console-sim.journal");
    o.resultsPath = dir.filePath("results.csv");
    auto state = [this] {
        const Competition &c = server_->competition();
        QByteArray out = ResultsCsv(c) + (c.ended() ? "ended" : "dive " + QByteArray::number(c.diveIndex()));
        for (int j = 1; j <= 5; ++j)
            out += ' ' + QByteArray::number(c.score(j).value_or(-1));
        return out;
    };
    auto run = [&](const QString &step, QVector<int> &acks) {
        if (step == "next") {
            server_->nextDive();
            return true;
        }
        const int j = step.left(1).toInt();
        stations_[j - 1]->send("SD", step.mid(2).toLatin1() + ctl::DC1);
        return stations_[j - 1]->waitForCount("TX", ++acks[j - 1]);
    };
    auto connectPanel = [&](QVector<int> &acks) {
        stations_.clear();
        acks = QVector<int>(5, 0);
        return joinAll({1, 2, 3, 4, 5});
    };

    QVector<int> acks;
    startServer(kEvent, o);
    QVERIFY(connectPanel(acks));
    QByteArrayList reference;
    for (const QString &step : steps) {
        QVERIFY(run(step, acks));
        reference << state();
    }
    QVERIFY(reference.constLast().endsWith("ended -1 -1 -1 -1 -1"));
    // 8.0 + 7.0 + 7.5 = 22.5 x 2.4 = 54.00 after the correction; 18.0 x 3.1 = 55.80
    QVERIFY2(reference.constLast().contains("1,1,1,Anna Meyer,GER,105B,2.4,8.0,7.0,7.5,6.5,8.0,54.00,54.00"), reference.constLast().constData());
    QVERIFY(reference.constLast().contains(",6.0,6.0,6.0,6.0,6.0,55.80,55.80"));

    for (int k = 1; k < steps.size(); ++k) {
        stations_.clear();
        server_.reset();
        o.resume = false;
        startServer(kEvent, o);
        QVERIFY(connectPanel(acks));
        for (int i = 0; i < k; ++i)
            QVERIFY(run(steps[i], acks));
        // Stopped: what was acknowledged is in the journal.
        stations_.clear();
        server_.reset();
        o.resume = true;
        startServer(kEvent, o);
        QCOMPARE(state(), reference[k - 1]);
        // The stations come back; the last one to score sends its score again, as a station
        // that reconnects does: nothing doubles.
        QVERIFY(connectPanel(acks));
        if (steps[k - 1] != "next") {
            QVERIFY(run(steps[k - 1], acks));
            QCOMPARE(state(), reference[k - 1]);
        }
        for (int i = k; i < steps.size(); ++i)
            QVERIFY(run(steps[i], acks));
        QCOMPARE(state(), reference.constLast());
    }
    QFile csv(o.resultsPath);
    QVERIFY(csv.open(QIODevice::ReadOnly));
    QCOMPARE(csv.readAll() + "ended -1 -1 -1 -1 -1", reference.constLast());
}

void TestEventServer::correctionPauseEndsWithTheNextDive()
{
    startServer(kEvent, Loopback(50));
    QVERIFY(joinAll({1}));
    for (int j = 2; j <= 5; ++j)
        QVERIFY(server_->recordScore(j, "8.0"));
    stations_[0]->send("SD", QByteArray("8.0") + ctl::DC1);
    QVERIFY(stations_[0]->waitForCount("DI", 2));
    // The order: acknowledgement, panel, scoreboard, then the next athlete and dive.
    QStringList order;
    for (const auto &m : stations_[0]->received())
        order << QString::fromLatin1(m.command);
    QCOMPARE(order.mid(order.indexOf("TX")), (QStringList{"TX", "XX", "PR", "EI", "AI", "DI"}));
}

void TestEventServer::synchroPanelThroughTheServer()
{
    const QByteArray synchro = "event: Synchro Final\nkind: synchro\njudges: 11\n"
                               "athlete: Anna Meyer / Lena Roth | GER\n"
                               "dive: 5152B | 3.4 | 3m | Forward 2 1/2 somersaults 1 twist pike\n";
    startServer(synchro);
    QVERIFY(joinAll({11}));
    ScriptedStation &j11 = *stations_[0];
    QCOMPARE(j11.received("EI").constFirst().payload, QByteArray("SYN\x11Synchro Final\x12" "11\x13"));
    // The worked synchro figures for 11 judges: 74.46 points.
    const char *scores[] = {"7.0", "7.5", "8.0", "6.0", "6.5", "9.0", "7.0", "7.5", "8.0", "8.5"};
    for (int j = 1; j <= 10; ++j)
        QVERIFY(server_->recordScore(j, scores[j - 1]));
    QCOMPARE(j11.count("XX"), 0);
    j11.send("SD", QByteArray("6.0") + ctl::DC1);
    QVERIFY(j11.waitForCount("PR", 1));
    QCOMPARE(j11.received("XX").constFirst().payload, QByteArray("#7.0^7.5^8.0^6.0^6.5^9.0^7.0^7.5^8.0^8.5^6.0^"));
    QCOMPARE(j11.received("PR").constFirst().payload, QByteArray("1\x11" "74.46^T 74.46^RANK 1\x12"));
}

void TestEventServer::joinersAndReconnects()
{
    startServer();
    ScriptedStation &first = station(1);
    QVERIFY(first.join(server_->port()));
    QVERIFY(first.waitForCount("DI", 1));
    QCOMPARE(first.count("EI"), 1);
    QCOMPARE(first.received("EI").constFirst().payload, QByteArray("IND\x11Test Final\x12" "5\x13"));
    QCOMPARE(first.received("AI").constFirst().payload, QByteArray("1-1\x11" "Anna Meyer\x12GER\x13"));
    first.close();
    QVERIFY(first.waitFor([&] { return server_->stations().isEmpty(); }));

    server_->nextDive();
    // Judge 1 comes back after the dive changed: the event again, and the dive now under way.
    ScriptedStation &back = station(1);
    QVERIFY(back.join(server_->port()));
    QVERIFY(back.waitForCount("DI", 1));
    QCOMPARE(back.count("EI"), 1);
    QCOMPARE(back.received("AI").constFirst().payload, QByteArray("1-2\x11Sofia Rossi\x12ITA\x13"));

    // Judge 2 joins mid-event: EI, AI and DI of the dive under way, in that order.
    ScriptedStation &late = station(2);
    QVERIFY(late.join(server_->port()));
    QVERIFY(late.waitForCount("DI", 1));
    QStringList order;
    for (const auto &m : late.received())
        if (m.command == "EI" || m.command == "AI" || m.command == "DI")
            order << QString::fromLatin1(m.command);
    QCOMPARE(order, (QStringList{"EI", "AI", "DI"}));
    QCOMPARE(late.received("AI").constFirst().payload, QByteArray("1-2\x11Sofia Rossi\x12ITA\x13"));
}

void TestEventServer::everyDiveBeginsWithTheEvent()
{
    startServer();
    QVERIFY(joinAll({1, 2}));
    ScriptedStation &j1 = *stations_[0];
    auto lastThree = [&] {
        QStringList order;
        for (const auto &m : j1.received())
            order << QString::fromLatin1(m.command);
        return order.mid(order.size() - 3);
    };
    const QStringList dive = {"EI", "AI", "DI"};
    // "EI" brings every station back to its keypad before the next dive, and before the dive
    // is judged again.
    for (const char *command : {"next", "repeat"}) {
        j1.clear();
        OperatorConsole(*server_).execute(command);
        QVERIFY(j1.waitForCount("DI", 1));
        QCOMPARE(lastThree(), dive);
        QCOMPARE(j1.received("EI").constFirst().payload, QByteArray("IND\x11Test Final\x12" "5\x13"));
        QVERIFY(stations_[1]->waitForCount("EI", 1));
    }
}

void TestEventServer::stationBackWithinItsDive_data()
{
    QTest::addColumn<bool>("saysOff");
    QTest::addColumn<QString>("meanwhile");  // "", "next", "repeat" or "takeover"
    QTest::addColumn<bool>("eventAgain");
    // The station's own reconnection: its unsent score must stay on its screen.
    QTest::newRow("lost, back in the same dive") << false << "" << false;
    QTest::newRow("taken over in the same dive") << false << "takeover" << false;
    // It left on purpose, or the dive it left is over: the event again, back to the keypad.
    QTest::newRow("left with Off") << true << "" << true;
    QTest::newRow("lost, back after next") << false << "next" << true;
    QTest::newRow("lost, back after repeat") << false << "repeat" << true;
}

void TestEventServer::stationBackWithinItsDive()
{
    QFETCH(bool, saysOff);
    QFETCH(QString, meanwhile);
    QFETCH(bool, eventAgain);
    startServer();
    QVERIFY(joinAll({1}));
    ScriptedStation &first = *stations_[0];
    if (saysOff)
        first.send("CS", "Off");
    if (meanwhile != "takeover") {
        first.close();
        QVERIFY(first.waitFor([&] { return server_->stations().isEmpty(); }));
    }
    if (!meanwhile.isEmpty() && meanwhile != "takeover")
        OperatorConsole(*server_).execute(meanwhile);

    ScriptedStation &back = station(1);
    QVERIFY(back.join(server_->port()));
    QVERIFY(back.waitForCount("DI", 1));
    QVERIFY(Sync(back));
    QCOMPARE(back.count("EI"), eventAgain ? 1 : 0);
    QCOMPARE(back.count("AI"), 1);
    // The next dive brings the event in any case (here the same dive judged again).
    server_->repeatDive();
    QVERIFY(back.waitForCount("DI", 2));
    QCOMPARE(back.count("EI"), eventAgain ? 2 : 1);
}

void TestEventServer::secondStationOfAJudgeTakesOver()
{
    startServer();
    QVERIFY(joinAll({2, 3}));
    ScriptedStation &j2 = *stations_[0], &older = *stations_[1];
    j2.clear();

    ScriptedStation &newer = station(3);
    QVERIFY(newer.join(server_->port()));
    // The older station of Judge 3 is sent home with its own identifier and closed.
    QVERIFY(older.waitFor([&] { return Has(older, "CD", "J3  ", "J3  "); }));
    QVERIFY(older.waitFor([&] { return !older.isConnected(); }));
    // What it still sends in reply is not read: its "Off" is not the judge leaving.
    older.send("CS", "Off");
    older.send("SD", QByteArray("9.0") + ctl::DC1);
    QVERIFY(newer.waitForCount("DI", 1));
    QVERIFY(Sync(newer));
    QVERIFY(Sync(j2));
    QCOMPARE(Count(newer, "CD", Judge(3)), 0);
    QVERIFY(!Has(j2, "CS", Judge(3), "Off"));
    QCOMPARE(server_->competition().score(3), std::nullopt);
    QCOMPARE(server_->stations().size(), 2);
    QVERIFY(newer.isConnected());
    QVERIFY(log_.join('\n').contains(QRegularExpression(
        "J3 connected again from 127.0.0.1:\\d+ while its connection from 127.0.0.1:\\d+ was open: the older "
        "connection is sent home \\(\"CD\"\\) and closed")));
    // The newer one scores as usual.
    newer.send("SD", QByteArray("7.5") + ctl::DC1);
    QVERIFY(newer.waitForCount("TX", 1));
    QCOMPARE(server_->competition().score(3), std::optional<int>(15));
}

void TestEventServer::secondStationIsRefusedWhileTheFirstAnswers()
{
    startServer();
    ScriptedStation &j2 = station(2, true);
    QVERIFY(j2.join(server_->port()));
    ScriptedStation &first = station(3, true);
    QVERIFY(first.join(server_->port()));
    QVERIFY(first.waitFor([&] { return Has(j2, "CN", Judge(3), "host-j3"); }));
    first.send("SD", QByteArray("7.5") + ctl::DC1);
    QVERIFY(first.waitForCount("TX", 1));

    // A second station for judge 3: its messages are held while the first is asked ("TP").
    ScriptedStation &second = station(3);
    QVERIFY(second.join(server_->port()));
    second.send("SD", QByteArray("9.5") + ctl::DC1);
    QVERIFY(first.waitForCount("TP", 1));
    // The first answers: the second is told who holds the judge and sent home.
    QVERIFY(second.waitForCount("CD", 1));
    QCOMPARE(second.received("CE").constFirst().payload,
             QByteArray("Judge 3 is already connected from host-j3 (127.0.0.3). Only one station can score for a "
                        "judge: ask the operator."));
    QCOMPARE(second.received("CD").constFirst().payload, Judge(3));
    QCOMPARE(second.count("EI") + second.count("TX") + second.count("CC"), 0);
    // It says "Off" on its way home and is closed.
    second.send("CS", "Off");
    QVERIFY(second.waitFor([&] { return !second.isConnected(); }));
    QVERIFY(Sync(first));
    QVERIFY(Sync(j2));
    QVERIFY(first.isConnected());
    QCOMPARE(Count(first, "CD", Judge(3)) + Count(j2, "CD", Judge(3)), 0);
    QCOMPARE(server_->competition().score(3), std::optional<int>(15));
    QVERIFY(log_.join('\n').contains(QRegularExpression(
        "J3 connects from 127.0.0.1:\\d+ while its station at 127.0.0.1:\\d+ \\(host-j3 \\(127.0.0.3\\)\\) answers: "
        "the second station is refused and sent home")));

    // A first station that does not answer within the time counts as gone: replaced, and the
    // newcomer's held score is then recorded.
    first.answerLikeAStation = false;
    ScriptedStation &third = station(3);
    QVERIFY(third.join(server_->port()));
    third.send("SD", QByteArray("8.0") + ctl::DC1);
    QVERIFY(third.waitForCount("TX", 1));
    QVERIFY(first.waitFor([&] { return Has(first, "CD", Judge(3), Judge(3)) && !first.isConnected(); }));
    QCOMPARE(server_->competition().score(3), std::optional<int>(16));
    QVERIFY(log_.join('\n').contains("has not answered for 0.3 s: it counts as gone and the station at"));
}

void TestEventServer::deadLinksAreToldFromSlowJudges()
{
    using State = EventServer::JudgeLink::State;
    startServer();
    QVERIFY(joinAll({1, 2, 3}));
    ScriptedStation &j1 = *stations_[0], &j2 = *stations_[1], &j3 = *stations_[2];
    j2.send("SD", QByteArray("7.5") + ctl::DC1);
    QVERIFY(j2.waitForCount("TX", 1));
    j2.send("CS", "Active 19 %");
    j2.send("CS", "Active 9 %");
    j3.send("CS", "Off");
    j3.close();  // closed by its judge
    QVERIFY(Sync(j2));
    j2.abort();  // its cable pulled: the link ends without "Off"
    QVERIFY(j1.waitFor([&] { return server_->stations().size() == 1; }));

    const auto links = server_->judgeLinks();
    QCOMPARE(links.size(), 5);
    QCOMPARE(links[0].state, State::Connected);
    QCOMPARE(links[0].score, std::nullopt);
    QVERIFY(links[0].lastHeard.isValid());
    QCOMPARE(links[1].state, State::LinkLost);
    QVERIFY(links[1].lostSince.isValid());
    QCOMPARE(links[1].score, std::optional<int>(15));
    QCOMPARE(links[1].battery, QByteArray("9 %"));
    QCOMPARE(links[2].state, State::NoStation);
    QCOMPARE(links[3].state, State::NoStation);
    QVERIFY(!links[3].lastHeard.isValid());
    // Warned once as the battery went under 20 %, and when the link was lost.
    QCOMPARE(log_.filter("WARNING: judge 2's battery is at").size(), 1);
    QCOMPARE(log_.filter("WARNING: judge 2's link is lost").size(), 1);
    QCOMPARE(log_.filter("WARNING: judge 3's").size(), 0);

    const QString status = OperatorConsole(*server_).execute("status");
    QVERIFY2(status.contains(QRegularExpression("J1 +connected +not scored +last heard \\d+ s ago")), qPrintable(status));
    QVERIFY2(status.contains(QRegularExpression("J2 +LINK LOST since \\d\\d:\\d\\d:\\d\\d +scored 7.5 +battery 9 % LOW")),
             qPrintable(status));
    QVERIFY2(status.contains(QRegularExpression("J3 +no station +not scored")), qPrintable(status));
    QVERIFY(OperatorConsole(*server_).execute("list").contains(QRegularExpression("judges:\n  J1 +connected")));

    // Judge 2's station comes back: connected again.
    QVERIFY(joinAll({2}));
    QCOMPARE(server_->judgeLinks()[1].state, State::Connected);
}

void TestEventServer::fillMissingJudges()
{
    // Judges 1 and 2 have stations; 3 to 5 are filled once both have scored.
    auto run = [this](quint32 seed, const char *second) {
        ServerOptions o = Loopback();
        o.fillMissing = true;
        o.fillSeed = seed;
        stations_.clear();
        startServer(kEvent, o);
        QVector<int> scores;
        if (!joinAll({1, 2}))
            return scores;
        stations_[0]->send("SD", QByteArray("8.0") + ctl::DC1);
        if (!stations_[0]->waitForCount("TX", 1) || !server_->competition().missingJudges().contains(3))
            return scores;
        stations_[1]->send("SD", QByteArray(second) + ctl::DC1);
        if (!stations_[0]->waitForCount("PR", 1))
            return scores;
        for (int j = 1; j <= 5; ++j)
            scores << server_->competition().score(j).value_or(-1);
        return scores;
    };
    const QVector<int> a = run(7, "9.0");
    QCOMPARE(a.size(), 5);
    QCOMPARE(a.mid(0, 2), (QVector<int>{16, 18}));
    for (int h : a.mid(2))
        QVERIFY2(h >= 16 && h <= 18, qPrintable(QString::number(h)));  // 8.5 +- 0.5
    QCOMPARE(run(7, "9.0"), a);  // the same seed, the same scores
    bool anotherSeedDiffers = false;
    for (quint32 seed = 8; seed < 20 && !anotherSeedDiffers; ++seed)
        anotherSeedDiffers = run(seed, "9.0") != a;
    QVERIFY(anotherSeedDiffers);
    // Kept within 0.0 to 10.0.
    const QVector<int> top = run(7, "10.0");  // mean 9.0
    for (int h : top.mid(2))
        QVERIFY(h >= 16 && h <= 20);
    stations_.clear();

    // With no judge connected nothing is filled.
    ServerOptions o = Loopback();
    o.fillMissing = true;
    startServer(kEvent, o);
    QVERIFY(server_->recordScore(1, "8.0"));
    QCOMPARE(server_->competition().missingJudges(), (QVector<int>{2, 3, 4, 5}));
}

void TestEventServer::endOfEvent()
{
    startServer();
    QVERIFY(joinAll({1}));
    server_->nextDive();
    server_->nextDive();  // past the last dive
    const QByteArray end = QByteArray("IND\x11" "END OF EVENT\x12" "5\x13");
    QVERIFY(stations_[0]->waitFor([&] { return Count(*stations_[0], "EI", end) == 1; }));
    QVERIFY(server_->competition().ended());

    // A score after the end is not acknowledged, but answered: the judge is told why.
    stations_[0]->send("SD", QByteArray("7.0") + ctl::DC1);
    QVERIFY(stations_[0]->waitForCount("CE", 1));
    QCOMPARE(stations_[0]->received("CE").constFirst().payload,
             QByteArray("The event has ended. Your score was not recorded."));
    // A station joining now, or coming back, is only told that the event has ended.
    ScriptedStation &late = station(2);
    QVERIFY(late.join(server_->port()));
    QVERIFY(late.waitForCount("EI", 1));
    QCOMPARE(late.received("EI").constFirst().payload, end);
    stations_[0]->close();
    QVERIFY(late.waitForCount("CD", 1));
    ScriptedStation &back = station(1);
    QVERIFY(back.join(server_->port()));
    QVERIFY(back.waitForCount("EI", 1));
    QVERIFY(Sync(back));
    QCOMPARE(back.received("EI").constFirst().payload, end);
    QCOMPARE(back.count("EI") + back.count("AI") + back.count("TX"), 1);
    QCOMPARE(stations_[0]->count("TX"), 0);

    // The operator's end works the same mid-event.
    startServer();
    QVERIFY(joinAll({3}));
    server_->endEvent();
    QVERIFY(stations_.back()->waitFor([&] { return Count(*stations_.back(), "EI", end) == 1; }));
}

void TestEventServer::testPulses()
{
    startServer(kEvent, Loopback(60000, 20));
    QVERIFY(joinAll({1}));
    QVERIFY(stations_[0]->waitForCount("TP", 3));
    QCOMPARE(stations_[0]->received("TP").constFirst().sender, QByteArray("VRX "));
}

void TestEventServer::badInputIsSurvived()
{
    startServer();
    QVERIFY(joinAll({1, 2}));
    ScriptedStation &j1 = *stations_[0], &j2 = *stations_[1];

    // Over-long: more than 16384 bytes before an EOT is dropped up to its EOT; the link stays.
    // Noted once it is over, and with its whole size once its EOT has come.
    j1.sendRaw(QByteArray(kMaxMessageBytes + 1, 'x'));
    QVERIFY(QTest::qWaitFor([&] {
        return log_.contains(
            QStringLiteral("J1: more than %1 bytes without EOT; dropping them up to the next EOT").arg(kMaxMessageBytes));
    }));
    j1.sendRaw(QByteArray(5000, 'y') + ctl::EOT);
    j1.sendRaw(QByteArray(kMaxMessageBytes + 1, 'w') + ctl::EOT);
    // Exactly 16384 bytes before the EOT are a message.
    const QByteArray head = FrameConsoleMessage("CM", "IND ", Judge(1), "");
    j1.sendRaw(head.left(head.size() - 1) + QByteArray(kMaxMessageBytes - (head.size() - 1), 'z') + ctl::EOT);
    // Garbage, a header cut short, an unknown command, a station's control byte for the
    // terminal, an impostor of the server.
    j1.sendRaw(QByteArray("garbage") + ctl::EOT);
    j1.sendRaw(QByteArray(1, ctl::SOH) + ctl::STX + ctl::EOT);
    j1.send("QQ", "what");
    j1.sendRaw(FrameConsoleMessage("CM", "IND ", Judge(1), "\x1b[2J"));
    ScriptedStation impostor("VRX ");
    QVERIFY(impostor.join(server_->port()));
    // Judge 2 vanishes in the middle of a message.
    j2.sendRaw(FrameConsoleMessage("SD", "IND ", Judge(2), "7.0").left(9));
    j2.abort();

    j1.send("SD", QByteArray("8.5") + ctl::DC1);
    QVERIFY(j1.waitForCount("TX", 1));
    QVERIFY(j1.waitFor([&] { return Has(j1, "CD", Judge(2), Judge(2)); }));
    QVERIFY(j1.isConnected());
    QCOMPARE(server_->competition().score(2), std::nullopt);
    QVERIFY(Sync(j1));
    QCOMPARE(Count(j1, "CC", "VRX "), 0);

    const QString log = log_.join('\n');
    QVERIFY(log.contains(QStringLiteral("J1: over-long message of %1 bytes dropped").arg(kMaxMessageBytes + 5002)));
    // (Whether "more than 16384 bytes without EOT" comes first depends on how the bytes are
    // read: when they arrive together, the one note tells it all.)
    QVERIFY(log.contains(QStringLiteral("J1: over-long message of %1 bytes dropped").arg(kMaxMessageBytes + 2)));
    QVERIFY(log.contains("chat from J1: zzzz"));
    QVERIFY(log.contains("J1: not a console message"));
    QVERIFY(log.contains("J1: unknown command \"QQ\"; ignored"));
    QVERIFY(log.contains("chat from J1: [1B][2J"));
    QVERIFY(!log.contains(QChar(0x1b)));
    QVERIFY(log.contains("which is not a station identifier; ignored"));
    QVERIFY(log.contains("J2 left in the middle of a message; 9 bytes dropped"));
}

void TestEventServer::operatorCommands()
{
    startServer();
    QVERIFY(joinAll({1, 2}));
    ScriptedStation &j1 = *stations_[0], &j2 = *stations_[1];
    OperatorConsole console(*server_);

    QVERIFY(console.execute("help").contains("quit"));
    QCOMPARE(console.execute("fs 2 7.5"), QString());
    QVERIFY(j1.waitFor([&] { return Has(j1, "FS", "VRX ", "2\x11" "7.5\x12") && Has(j2, "FS", "VRX ", "2\x11" "7.5\x12"); }));
    QVERIFY(console.execute("fs 2 7.3").startsWith("fs: a score is"));
    QVERIFY(console.execute("fs 12 7.5").startsWith("fs: give a judge number"));

    QCOMPARE(console.execute("ce J2 Please score the dive"), QString());
    QVERIFY(j2.waitForCount("CE", 1));
    QCOMPARE(j2.received("CE").constFirst().payload, QByteArray("Please score the dive"));

    QCOMPARE(console.execute("cm Warm-up   ends soon"), QString());
    QVERIFY(j1.waitForCount("CM", 1));
    QCOMPARE(j1.received("CM").constFirst().payload, QByteArray("Warm-up   ends soon"));
    QCOMPARE(j1.count("CE"), 0);

    QCOMPARE(console.execute("score 3 8"), QString());
    QCOMPARE(server_->competition().score(3), std::optional<int>(16));
    QVERIFY(console.execute("status").contains("J3 8.0"));
    QVERIFY(console.execute("list").contains("caption \"Judge 2\""));

    QCOMPARE(console.execute("cd 2"), QString());
    QVERIFY(j1.waitFor([&] { return Has(j1, "CD", Judge(2), Judge(2)) && Has(j2, "CD", Judge(2), Judge(2)); }));
    j2.close();  // the station goes home
    QVERIFY(j1.waitFor([&] { return server_->stations().size() == 1; }));
    QVERIFY(Sync(j1));
    QCOMPARE(Count(j1, "CD", Judge(2)), 1);  // not told twice

    QCOMPARE(console.execute("repeat"), QString());
    QVERIFY(j1.waitForCount("AI", 2));
    QCOMPARE(server_->competition().score(3), std::nullopt);
    QCOMPARE(console.execute("next"), QString());
    QVERIFY(j1.waitForCount("AI", 3));
    QCOMPARE(console.execute("end"), QString());
    QVERIFY(j1.waitForCount("EI", 2));

    QVERIFY(console.execute("dance").startsWith("unknown command \"dance\""));
    QVERIFY(!console.quitRequested());
    console.execute("quit");
    QVERIFY(console.quitRequested());
}

void TestEventServer::serverOnItsOwnThread()
{
    EventServerThread thread(ParseEventFile(kEvent).event, Loopback());
    QString error;
    QVERIFY2(thread.start(&error), qPrintable(error));
    ScriptedStation s(Judge(1));
    QVERIFY(s.join(thread.port()));
    QVERIFY(s.waitForCount("DI", 1));
    QCOMPARE(s.count("EI"), 1);
    thread.call([](EventServer &server) { server.nextDive(); });
    QVERIFY(s.waitForCount("AI", 2));
}

void TestEventServer::portInUseIsReported()
{
    startServer();
    ServerOptions same = Loopback();
    same.port = server_->port();
    EventServer second(ParseEventFile(kEvent).event, same);
    QString error;
    QVERIFY(!second.listen(&error));
    QVERIFY2(error.startsWith(QStringLiteral("cannot listen on 127.0.0.1 port %1: ").arg(same.port)), qPrintable(error));

    EventDefinition six = ParseEventFile(kEvent).event;
    six.judges = 6;
    EventServer refused(six, Loopback());
    QVERIFY(!refused.listen(&error));
    QCOMPARE(error, QStringLiteral("cannot run \"Test Final\": an individual event is judged by 5 or 7 judges, not 6"));
}

void TestEventServer::addressesForTheStations_data()
{
    const InterfaceAddress lo{"lo", QHostAddress("127.0.0.1"), true, true};
    const InterfaceAddress lo6{"lo", QHostAddress("::1"), true, true};
    const InterfaceAddress eth{"eth0", QHostAddress("192.168.1.10"), true, false};
    const InterfaceAddress eth6{"eth0", QHostAddress("fe80::1"), true, false};
    const InterfaceAddress wifi{"wlan0", QHostAddress("10.0.0.5"), true, false};
    const InterfaceAddress down{"eth1", QHostAddress("172.16.0.2"), false, false};
    addColumns<QVector<InterfaceAddress>, QString, QStringList>("all", "bound", "shown");
    QTest::newRow("every address") << QVector<InterfaceAddress>{lo, lo6, eth, eth6, wifi, down} << "0.0.0.0"
                                   << QStringList{"192.168.1.10 (eth0)", "10.0.0.5 (wlan0)"};
    QTest::newRow("loopback alone") << QVector<InterfaceAddress>{lo, down} << "0.0.0.0"
                                    << QStringList{"127.0.0.1 (lo, this computer only)"};
    QTest::newRow("bound to one") << QVector<InterfaceAddress>{lo, eth, wifi} << "10.0.0.5" << QStringList{"10.0.0.5"};
    QTest::newRow("none") << QVector<InterfaceAddress>{} << "0.0.0.0" << QStringList{};
}

void TestEventServer::addressesForTheStations()
{
    QFETCH(QVector<InterfaceAddress>, all);
    QFETCH(QString, bound);
    QFETCH(QStringList, shown);
    QCOMPARE(StationAddresses(all, QHostAddress(bound)), shown);
    startServer();
    QVERIFY(log_.filter(QRegularExpression("^listening on port \\d+; the stations connect to 127.0.0.1$")).size() == 1);
}

void TestEventServer::stationIdentifiers_data()
{
    addColumns<QByteArray, bool, int>("id", "station", "judge");
    QTest::newRow("judge 1") << QByteArray("J1  ") << true << 1;
    QTest::newRow("judge 11") << QByteArray("J11 ") << true << 11;
    QTest::newRow("judge 12") << QByteArray("J12 ") << true << 0;
    QTest::newRow("lower case") << QByteArray("j1  ") << true << 0;
    QTest::newRow("unpadded") << QByteArray("J1") << false << 0;
    QTest::newRow("the server's") << QByteArray("VRX ") << false << 0;
    QTest::newRow("blanks") << QByteArray("    ") << false << 0;
    QTest::newRow("control byte") << QByteArray("J1\x1b ") << false << 0;
}

void TestEventServer::stationIdentifiers()
{
    QFETCH(QByteArray, id);
    QFETCH(bool, station);
    QFETCH(int, judge);
    QCOMPARE(IsStationId(id), station);
    QCOMPARE(JudgeNumberOf(id), judge);
    if (!judge)
        return;
    QCOMPARE(JudgeStationId(judge), id);
    // The operator's line starts with the identifier, its columns aligned for one or two digits.
    EventServer::JudgeLink link;
    link.judge = judge;
    QVERIFY(FormatJudgeLink(link, QDateTime::currentDateTime()).startsWith(QString::fromLatin1(id) + " no station"));
}

QTEST_MAIN(TestEventServer)
#include "tst_eventserver.moc"
