// The real station, driven by its keys, against the rehearsal event server over loopback: a
// judge corrects (the station's Cancel / Change on its green panel sends 0.0, which must never
// become a result by itself), and the server is stopped mid-event and resumed from its journal.
#include "ConnectionProbe.h"
#include "ScriptedStation.h"
#include "ServerLog.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "link/InboundHandlers.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/Unit_Main.h"
#include "server/EventServerThread.h"
#include "DataColumns.h"

#include <memory>

#include <QTemporaryDir>
#include <QtTest>

namespace {

const QByteArray kEvent = "event: Corrections Final\nkind: individual\njudges: 5\n"
                          "athlete: Anna Meyer | GER\ndive: 105B | 2.4 | 3m\ndive: 203B | 2.3 | 3m\n"
                          "athlete: Sofia Rossi | ITA\ndive: 107B | 3.1 | 3m\ndive: 205C | 3.0 | 3m\n";

bool Connect(TestStation &s, quint16 port)
{
    element<RadioGroup>(*s.form, "ClientChoice")->setItemIndex(0);
    ConnectionProbe::usePort(s.form->link->connection(), port);
    s.form->link->ConnectConsolesClick();
    return s.form->link->Connected();
}

// Judge 1 keys a score and accepts it.
void Score(TMainForm &f, std::initializer_list<int> digits)
{
    for (int d : digits)
        FormKeyDown(f.scoring, vk::Digit0 + d);
    FormKeyDown(f.scoring, vk::Enter);
    FormKeyDown(f.scoring, vk::Enter);
}

} // namespace

class TestSimStation : public QObject
{
    Q_OBJECT
private slots:
    void correctionOnTheStation_data();
    void correctionOnTheStation();
    void stoppedAtDiveFourAndResumed();
};

void TestSimStation::correctionOnTheStation_data()
{
    // Judge 1 keys 6.5 and accepts it; the operator scores judges 2 to 4 (and 5, before or
    // after what follows); then judge 1 keys `after` on the station.
    QTest::addColumn<bool>("lastJudgeFirst");
    QTest::addColumn<QString>("after");        // "x": Esc, digits, Enter
    addColumns<int, int>("finalScore", "correctedResults");
    QTest::newRow("correction in the pause") << true << "x85ee" << 17 << 1;
    QTest::newRow("Cancel on green, score kept") << true << "x" << 13 << 0;
    QTest::newRow("Cancel on green before the last judge") << false << "x" << 13 << 0;
}

void TestSimStation::correctionOnTheStation()
{
    QFETCH(bool, lastJudgeFirst);
    QFETCH(QString, after);
    QFETCH(int, finalScore);
    QFETCH(int, correctedResults);
    EventServerThread server(ParseEventFile(kEvent).event, LoopbackServerOptions());
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    ServerLog log(server);

    TestStation s;
    QVERIFY(s.start());
    TMainForm &f = *s.form;
    QVERIFY(Connect(s, server.port()));
    QTRY_COMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));

    Score(f, {6, 6});
    QTRY_VERIFY(ScoreAcknowledged(f.scoring));
    auto others = [&](int from, int to) {
        bool ok = true;
        server.call([&](EventServer &e) {
            for (int j = from; j <= to; ++j)
                ok = e.recordScore(j, "7.0") && ok;
        });
        return ok;
    };
    QVERIFY(others(2, lastJudgeFirst ? 5 : 4));
    for (QChar c : after) {
        const int key = c == 'x' ? vk::Escape : c == 'e' ? vk::Enter : vk::Digit0 + c.digitValue();
        FormKeyDown(f.scoring, key);
    }
    QTRY_VERIFY(log.text().contains("judge 1 is changing (Cancel / Change on the station); 6.5 stands"));
    if (after.endsWith('e'))
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
    if (!lastJudgeFirst)
        QVERIFY(others(5, 5));
    std::optional<int> score;
    server.call([&](EventServer &e) { score = e.competition().score(1); });
    QCOMPARE(score.value_or(-1), finalScore);
    QTRY_VERIFY(log.text().contains("panel complete"));
    QCOMPARE(log.lines.filter("corrected result").size(), correctedResults);
    QVERIFY2(log.lines.filter("scores 0.0").isEmpty(), qPrintable(log.text()));
}

void TestSimStation::stoppedAtDiveFourAndResumed()
{
    QTemporaryDir dir;
    ServerOptions options = LoopbackServerOptions();
    options.journalPath = dir.filePath("console-sim.journal");
    TestStation s;
    QVERIFY(s.start());
    TMainForm &f = *s.form;
    auto server = std::make_unique<EventServerThread>(ParseEventFile(kEvent).event, options);
    QVERIFY(server->start());
    QVERIFY(Connect(s, server->port()));
    QTRY_COMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));
    // Dives 1 to 3: judge 1 keys 6.0, 6.5, 7.0; the operator scores the others 7.0.
    const int digits[3][2] = {{6, 0}, {6, 6}, {7, 0}};
    QStringList totals;
    for (int dive = 0; dive < 3; ++dive) {
        QTRY_VERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        Score(f, {digits[dive][0], digits[dive][1]});
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
        server->call([&](EventServer &e) {
            for (int j = 2; j <= 5; ++j)
                e.recordScore(j, "7.0");
            e.nextDive();
        });
    }
    QString before;
    server->call([&](EventServer &e) { before = QString::fromLatin1(ResultsCsv(e.competition())); });

    // Stopped at dive 4 and started again with --resume on the same port.
    const quint16 port = server->port();
    server.reset();
    QTRY_VERIFY(!f.link->Connected());
    // The station's one automatic attempt finds no server (its error box), and the judge
    // connects by hand once console-sim is back.
    QTRY_VERIFY_WITH_TIMEOUT(!f.ReconnectTimer->isActive() && !s.boxes.isEmpty(), 10000);
    options.port = port;
    options.resume = true;
    server = std::make_unique<EventServerThread>(ParseEventFile(kEvent).event, options);
    QString error;
    QVERIFY2(server->start(&error), qPrintable(error));
    QString after;
    int dive = -1;
    server->call([&](EventServer &e) {
        after = QString::fromLatin1(ResultsCsv(e.competition()));
        dive = e.competition().diveIndex();
    });
    QCOMPARE(dive, 3);
    QCOMPARE(after, before);
    QCOMPARE(after.count('\n'), 4);  // the header and dives 1 to 3

    // The station connects again and its next score is recorded.
    // (The dive was on the screen before the stop: wait for the server's catch-up itself.)
    bool diveInfo = false;
    f.link->receiveText = [&](const QByteArray &text) {
        diveInfo = diveInfo || text.mid(1, 2) == "DI";
        ReceiveConsoleText(f.inbound(), text);
    };
    QVERIFY(Connect(s, port));
    QTRY_VERIFY(diveInfo);
    QCOMPARE(element<QLabel>(f, "LabelDive")->text(), QStringLiteral("205C"));
    QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Sofia Rossi"));
    QTRY_VERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
    Score(f, {8, 5});
    QTRY_VERIFY(ScoreAcknowledged(f.scoring));
    std::optional<int> score;
    server->call([&](EventServer &e) { score = e.competition().score(1); });
    QCOMPARE(score.value_or(-1), 17);
}

QTEST_MAIN(TestSimStation)
#include "tst_sim_station.moc"
