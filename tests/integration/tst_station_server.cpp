// The real station against the rehearsal event server, both in this process and talking over
// loopback TCP: the road of one dive from the event's announcement to the scoreboard, two
// dives in a row keyed on the keypad, and a second station showing up in the first one's list
// and table of stations.
#include "ConnectionProbe.h"
#include "ServerLog.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"
#include "server/EventFile.h"
#include "server/EventServer.h"
#include "server/EventServerThread.h"

#include <QtTest>

#include <memory>
#include <optional>

namespace {

const QByteArray kEvent = "event: Integration Final\n"
                          "kind: individual\n"
                          "judges: 5\n"
                          "athlete: Anna Meyer | GER\n"
                          "dive: 105B | 2.4 | 3m | Forward 2 1/2 somersaults pike\n";

const QByteArray kTwoDives = kEvent + "athlete: Sofia Rossi | ITA\n"
                                    "dive: 107B | 3.1 | 3m | Forward 3 1/2 somersaults pike\n";

ServerOptions LoopbackOptions()
{
    ServerOptions o;
    o.bindAddress = QHostAddress(QHostAddress::LocalHost);
    o.port = 0;
    o.pulseIntervalMs = 0;
    o.correctionPauseMs = 0;  // overridden where the test moves on itself
    return o;
}

// The station selects the judge, points its link at the server and presses "Connect Console".
bool Connect(TestStation &s, quint16 port, int judgeIndex)
{
    element<RadioGroup>(*s.form, "ClientChoice")->setItemIndex(judgeIndex);
    ConnectionProbe::usePort(s.form->link->connection(), port);
    s.form->link->ConnectConsolesClick();
    return s.form->link->Connected();
}

QString Cell(const TMainForm &f, int row, int column)
{
    const QTableWidgetItem *item = element<QTableWidget>(f, "GridConnections")->item(row, column);
    return item ? item->text() : QString();
}

QStringList Lines(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

QStringList Captions(const QList<TLedTextLabel *> &displays, int n)
{
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << displays[i]->Caption();
    return out;
}

} // namespace

class TestStationServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(ParseEventFile(kEvent).ok);
    }

    void oneDiveFromEventToScoreboard()
    {
        ServerOptions options = LoopbackOptions();
        options.correctionPauseMs = 600000;  // the test moves on to the next dive itself
        EventServerThread server(ParseEventFile(kEvent).event, options);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));

        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        QVERIFY(Connect(s, server.port(), 0));
        QCOMPARE(f.currentPage(), 1);

        // "EI", "AI" and "DI" fill the header.
        QTRY_COMPARE(element<QLabel>(f, "LabelDiveDescription")->text(), QStringLiteral(" Forward 2 1/2 somersaults pike"));
        QCOMPARE(element<QLabel>(f, "LabelEvent")->text(), QStringLiteral("Integration Final"));
        QCOMPARE(element<QLabel>(f, "LabelDisc")->text(), QStringLiteral("IND"));
        QCOMPARE(f.state.JudgeCount, 5);
        QCOMPARE(element<QLabel>(f, "LabelRound")->text(), QStringLiteral("Round 1"));
        QCOMPARE(element<QLabel>(f, "LabelStart")->text(), QStringLiteral("1"));
        QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));
        QCOMPARE(element<QLabel>(f, "LabelClub")->text(), QStringLiteral(" GER"));
        QCOMPARE(element<QLabel>(f, "LabelDive")->text(), QStringLiteral("105B"));
        QCOMPARE(element<QLabel>(f, "LabelDD")->text(), QStringLiteral("DD: 2.4"));
        QCOMPARE(element<QLabel>(f, "LabelHeight")->text(), QStringLiteral("3m"));
        QVERIFY(element<Panel>(f, "PanelScoreboard")->isHidden());

        // 6, 6 on the keyboard, Enter: the red panel with the score.
        FormKeyDown(f.scoring, vk::Digit0 + 6);
        FormKeyDown(f.scoring, vk::Digit0 + 6);
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("6.5"));
        FormKeyDown(f.scoring, vk::Enter);
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(element<Panel>(f, "PanelKeypad")->isHidden());
        QCOMPARE(element<QLabel>(f, "ScoreConfirmScore0")->text(), QStringLiteral("6.5"));
        QVERIFY(!ScoreAcknowledged(f.scoring));

        // Enter again accepts: the server records judge 1's score and answers "TX".
        FormKeyDown(f.scoring, vk::Enter);
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Received - Thank You"));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        std::optional<int> recorded;
        QVector<int> missing;
        server.call([&](EventServer &e) {
            recorded = e.competition().score(1);
            missing = e.competition().missingJudges();
        });
        QCOMPARE(recorded.value_or(-1), 13);  // half points
        QCOMPARE(missing, QVector<int>({2, 3, 4, 5}));

        // The other four judges' scores, as the operator enters them.
        bool allRecorded = true;
        server.call([&](EventServer &e) {
            allRecorded = e.recordScore(2, "7.0") && e.recordScore(3, "6.0") && e.recordScore(4, "6.5")
                          && e.recordScore(5, "7.5");
        });
        QVERIFY(allRecorded);

        // "XX": the five scores on displays 1 to 5, the rest hidden.
        QTRY_COMPARE(Captions(f.scoringView().scoreDisplays(), 5), QStringList({"6.5", "7.0", "6.0", "6.5", "7.5"}));
        for (int i = 0; i < f.scoringView().scoreDisplays().size(); ++i)
            QCOMPARE(f.scoringView().scoreDisplays()[i]->isHidden(), i >= 5);
        // "PR": 7.5 and 6.0 cancelled, (6.5 + 7.0 + 6.5) x 2.4 = 48.00, the first total and rank.
        QTRY_VERIFY(!element<Panel>(f, "PanelScoreboard")->isHidden());
        QTRY_COMPARE(element<TLedTextLabel>(f, "Scoreboard3")->Caption(), QStringLiteral("   RANK 1"));
        QCOMPARE(element<TLedTextLabel>(f, "ScoreboardOrder")->Caption(), QStringLiteral("ORDER   1"));
        QCOMPARE(element<TLedTextLabel>(f, "Scoreboard1")->Caption(), QStringLiteral("    48.00"));
        QCOMPARE(element<TLedTextLabel>(f, "Scoreboard2")->Caption(), QStringLiteral("  T 48.00"));
        // Still green and still showing the accepted score.
        QVERIFY(ScoreAcknowledged(f.scoring));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());

        // The only dive is over: "END OF EVENT" stops the sending and offers "Home".
        server.call([](EventServer &e) { e.nextDive(); });
        QTRY_VERIFY(!element<PictureButton>(f, "ButtonHome3")->isHidden());
        QCOMPARE(element<QLabel>(f, "LabelEvent")->text(), QStringLiteral("END OF EVENT"));
        QVERIFY(!element<PictureButton>(f, "ScoreConfirmAccept")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ScoreConfirmDecline")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QVERIFY(f.link->Connected());
    }

    void twoDivesInARow()
    {
        ServerOptions options = LoopbackOptions();
        options.correctionPauseMs = 600000;  // the test moves on itself
        EventServerThread server(ParseEventFile(kTwoDives).event, options);
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));

        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        ServerLog log(server);
        QVERIFY(Connect(s, server.port(), 0));
        QTRY_COMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));

        // Dive 1: 6, 6, Enter, Enter; acknowledged, the other four entered by the operator.
        for (int key : {vk::Digit0 + 6, vk::Digit0 + 6, vk::Enter, vk::Enter})
            FormKeyDown(f.scoring, key);
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
        bool recorded = false;
        server.call([&](EventServer &e) {
            recorded = e.recordScore(2, "7.0") && e.recordScore(3, "6.0") && e.recordScore(4, "6.5")
                       && e.recordScore(5, "7.5");
        });
        QVERIFY(recorded);
        QTRY_COMPARE(element<TLedTextLabel>(f, "Scoreboard1")->Caption(), QStringLiteral("    48.00"));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());  // still green

        // The next dive's "EI" brings the keypad back: digits key the new score at once.
        server.call([](EventServer &e) { e.nextDive(); });
        QTRY_COMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Sofia Rossi"));
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(f, "PanelKeypad")->isHidden());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        for (int key : {vk::Digit0 + 7, vk::Enter})
            FormKeyDown(f.scoring, key);
        QCOMPARE(element<QLabel>(f, "ScoreConfirmScore0")->text(), QStringLiteral("7.0"));
        QVERIFY(!ScoreAcknowledged(f.scoring));
        FormKeyDown(f.scoring, vk::Enter);
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));

        std::optional<int> second;
        qint64 firstTotal = 0;
        server.call([&](EventServer &e) {
            second = e.competition().score(1);
            firstTotal = e.competition().totalHundredths(0);
        });
        QCOMPARE(second.value_or(-1), 14);
        QCOMPARE(firstTotal, 4800);
        // No "0.0" was ever recorded for the judge.
        QTRY_VERIFY(log.text().contains("judge 1 scores 7.0"));
        QVERIFY2(!log.text().contains("scores 0.0"), qPrintable(log.text()));
    }

    void secondStationIsListedAndLeaves()
    {
        EventServerThread server(ParseEventFile(kEvent).event, LoopbackOptions());
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));

        TestStation first;
        TestStation second;
        second.fakes.host->name = QStringLiteral("JUDGE-2");
        QVERIFY(first.start());
        QVERIFY(second.start());
        TMainForm &f = *first.form;

        QVERIFY(Connect(first, server.port(), 0));
        // The station is listed under its identifier and files its own row and the server's.
        QTRY_COMPARE(Lines(element<QListWidget>(f, "ConnectedClients")), QStringList({"J1  "}));
        QTRY_COMPARE(Cell(f, 1, 3), QStringLiteral("Active"));
        QCOMPARE(Cell(f, 1, 1), QStringLiteral("JUDGE-PC"));
        QCOMPARE(Cell(f, 1, 2), QStringLiteral("127.0.0.1"));
        QTRY_COMPARE(Cell(f, 12, 3), QStringLiteral("Active"));
        QCOMPARE(Cell(f, 12, 2), QStringLiteral("127.0.0.1"));

        QVERIFY(Connect(second, server.port(), 1));
        QTRY_COMPARE(Lines(element<QListWidget>(f, "ConnectedClients")), QStringList({"J1  ", "J2  "}));
        QTRY_COMPARE(Cell(f, 2, 3), QStringLiteral("Active"));
        QTRY_COMPARE(Cell(f, 2, 1), QStringLiteral("JUDGE-2"));
        QCOMPARE(Cell(f, 2, 2), QStringLiteral("127.0.0.1"));
        // The newcomer learns of the station already there.
        QTRY_COMPARE(Lines(element<QListWidget>(*second.form, "ConnectedClients")), QStringList({"J2  ", "J1  "}));
        QTRY_COMPARE(Cell(*second.form, 1, 1), QStringLiteral("JUDGE-PC"));
        QTRY_COMPARE(Cell(*second.form, 1, 3), QStringLiteral("Active"));
        for (int row = 3; row <= 11; ++row)
            QCOMPARE(Cell(f, row, 1), QString());

        // Both see the same dive; the second judge's score is acknowledged on its own station only.
        QTRY_COMPARE(element<QLabel>(*second.form, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));
        FormKeyDown(second.form->scoring, vk::Digit0 + 8);
        FormKeyDown(second.form->scoring, vk::Enter);
        FormKeyDown(second.form->scoring, vk::Enter);
        QTRY_VERIFY(ScoreAcknowledged(second.form->scoring));
        QVERIFY(!ScoreAcknowledged(f.scoring));
        std::optional<int> recorded;
        server.call([&](EventServer &e) { recorded = e.competition().score(2); });
        QCOMPARE(recorded.value_or(-1), 16);

        // F9 on the second station: it says goodbye, and the first one drops it from its list.
        FormKeyDown(second.form->scoring, vk::F9);
        QVERIFY(!second.form->link->Connected());
        QTRY_COMPARE(Lines(element<QListWidget>(f, "ConnectedClients")), QStringList({"J1  "}));
        QCOMPARE(Cell(f, 2, 3), QStringLiteral("Off"));
        QCOMPARE(Cell(f, 2, 2), QString());
        QCOMPARE(Cell(f, 2, 1), QStringLiteral("JUDGE-2"));
        QVERIFY(f.link->Connected());
    }
};

QTEST_MAIN(TestStationServer)
#include "tst_station_server.moc"
