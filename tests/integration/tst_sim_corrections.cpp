// A judge corrects on the real station, driven by its keys, against the rehearsal event server
// over loopback: the station's Cancel / Change on its green panel sends 0.0, which must never
// become a result by itself.
#include "ScriptedStation.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/Unit_Main.h"
#include "server/EventServerThread.h"

#include <QtTest>

namespace {

const QByteArray kEvent = "event: Corrections Final\nkind: individual\njudges: 5\n"
                          "athlete: Anna Meyer | GER\ndive: 105B | 2.4 | 3m\n"
                          "athlete: Sofia Rossi | ITA\ndive: 107B | 3.1 | 3m\n";

} // namespace

class TestSimCorrections : public QObject
{
    Q_OBJECT
private slots:
    void correctionOnTheStation_data();
    void correctionOnTheStation();
};

void TestSimCorrections::correctionOnTheStation_data()
{
    // Judge 1 keys 6.5 and accepts it; the operator scores judges 2 to 4 (and 5, before or
    // after what follows); then judge 1 keys `after` on the station.
    QTest::addColumn<bool>("lastJudgeFirst");
    QTest::addColumn<QString>("after");        // "x": Esc, digits, Enter
    QTest::addColumn<int>("finalScore");
    QTest::addColumn<int>("correctedResults");
    QTest::newRow("correction in the pause") << true << "x85ee" << 17 << 1;
    QTest::newRow("Cancel on green, score kept") << true << "x" << 13 << 0;
    QTest::newRow("Cancel on green before the last judge") << false << "x" << 13 << 0;
}

void TestSimCorrections::correctionOnTheStation()
{
    QFETCH(bool, lastJudgeFirst);
    QFETCH(QString, after);
    QFETCH(int, finalScore);
    QFETCH(int, correctedResults);
    EventServerThread server(ParseEventFile(kEvent).event, LoopbackServerOptions());
    QString error;
    QVERIFY2(server.start(&error), qPrintable(error));
    QStringList log;
    QObject context;
    connect(server.server(), &EventServer::logLine, &context, [&log](const QString &l) { log << l; },
            Qt::QueuedConnection);

    TestStation s;
    QVERIFY(s.start());
    TMainForm &f = *s.form;
    f.ClientChoice->setItemIndex(0);
    f.link->connection().setPortForTests(server.port());
    f.link->ConnectConsolesClick();
    QVERIFY(f.link->Connected());
    QTRY_COMPARE(f.LabelAthlete->text(), QStringLiteral(" Anna Meyer"));

    for (int key : {vk::Digit0 + 6, vk::Digit0 + 6, vk::Enter, vk::Enter})
        FormKeyDown(f.scoring, key);
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
    QTRY_VERIFY(log.join('\n').contains("judge 1 is changing (Cancel / Change on the station); 6.5 stands"));
    if (after.endsWith('e'))
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
    if (!lastJudgeFirst)
        QVERIFY(others(5, 5));
    std::optional<int> score;
    server.call([&](EventServer &e) { score = e.competition().score(1); });
    QCOMPARE(score.value_or(-1), finalScore);
    QTRY_VERIFY(log.join('\n').contains("panel complete"));
    QCOMPARE(log.filter("corrected result").size(), correctedResults);
    QVERIFY2(log.filter("scores 0.0").isEmpty(), qPrintable(log.join('\n')));
}

QTEST_MAIN(TestSimCorrections)
#include "tst_sim_corrections.moc"
