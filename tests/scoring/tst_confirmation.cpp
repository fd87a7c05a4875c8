// The confirmation panel's states and actions on the real main window, with the bytes that
// reach a loopback event server.
#include "LoopbackServer.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"

#include <QtTest>

namespace {

const QByteArray DC1("\x11"), DC2("\x12"), DC3("\x13");

struct Sent {
    QByteArray command, payload;
};

QList<Sent> sentFrames(const LoopbackServer &server)
{
    QList<Sent> out;
    for (const QByteArray &f : server.frames()) {
        const ConsoleText m = CutConsoleText(f);
        out << Sent{m.command, m.payload};
    }
    return out;
}

QStringList summary(const LoopbackServer &server)
{
    QStringList out;
    for (const Sent &s : sentFrames(server))
        out << QString::fromLatin1(s.command + ' ' + s.payload).replace(QChar(0x11), QStringLiteral("<DC1>"));
    return out;
}

void key(TMainForm &f, Qt::Key k)
{
    QTest::keyClick(&f, k);
}

bool red(const TMainForm &f)
{
    return element<Panel>(f, "ScoreConfirmMain")->color() == QColor(255, 0, 0);
}

} // namespace

class TestConfirmation : public QObject
{
    Q_OBJECT

private:
    // A station connected as Judge 3, on the scoring page, server's received bytes cleared.
    struct Linked {
        LoopbackServer server;
        TestStation station;
        TMainForm &f() { return *station.form; }
    };
    std::unique_ptr<Linked> linked()
    {
        auto l = std::make_unique<Linked>();
        if (!l->server.listen() || !l->station.start() || !l->station.connectTo(l->server, 2))
            return nullptr;
        l->server.clearReceived();
        return l;
    }

private slots:
    void connectEntersTheScoringScreen()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        QCOMPARE(f.currentPage(), 1);
        QCOMPARE(element<QLabel>(f, "LabelDisc")->text(), QStringLiteral("IND "));
        QCOMPARE(element<QLabel>(f, "JudgeNum")->text(), QStringLiteral("J: 3"));
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(f, "PanelKeypad")->isHidden());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
    }

    // The judge's keys 6, 6, Enter, Enter: the exact bytes, then the status message.
    void sendAndAccept()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        key(f, Qt::Key_6);
        key(f, Qt::Key_6);
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("6.5"));
        key(f, Qt::Key_Return);
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(element<Panel>(f, "PanelKeypad")->isHidden());
        QVERIFY(!element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QVERIFY(red(f));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmScore0")->text(), QStringLiteral("6.5"));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
        QCOMPARE(l->server.frames().size(), 0);  // sending waits for Accept
        key(f, Qt::Key_Return);
        QVERIFY(l->server.waitForFrames(2));
        QCOMPARE(l->server.frames().first(), QByteArray::fromHex("015344494E44204A33202002362E351104"));
        QCOMPARE(summary(l->server), QStringList({"SD 6.5<DC1>", "CS Active Power"}));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(red(f));
    }

    void acceptTwiceSendsTwice()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 8);
        ButtonSendScoreClick(f.scoring);
        QTest::mouseClick(element<PictureButton>(f, "ScoreConfirmAccept"), Qt::LeftButton);
        QTest::mouseClick(element<PictureButton>(f, "ScoreConfirmAccept"), Qt::LeftButton);
        QVERIFY(l->server.waitForFrames(4));
        QCOMPARE(summary(l->server), QStringList({"SD 8.0<DC1>", "CS Active Power", "SD 8.0<DC1>", "CS Active Power"}));
    }

    void acknowledgedThenCancelled()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 7);
        ButtonSendScoreClick(f.scoring);
        ScoreConfirmAcceptClick(f.scoring);
        QVERIFY(l->server.waitForFrames(2));
        l->server.send(LoopbackServer::frame("TX", "J3  " + DC1));
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Received - Thank You"));
        QCOMPARE(element<Panel>(f, "ScoreConfirmMain")->color(), QColor(0, 128, 0));
        l->server.clearReceived();
        // Cancel on green: back to the keypad, "0.0" shown and sent.
        key(f, Qt::Key_Escape);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(f, "PanelKeypad")->isHidden());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("0.0"));
        QVERIFY(l->server.waitForFrames(2));
        QCOMPARE(summary(l->server), QStringList({"SD 0.0<DC1>", "CS Active Power"}));
        // The hidden panel keeps its colour until the next Send, which shows it red: a red
        // panel never reads "Received - Thank You".
        QVERIFY(ScoreAcknowledged(f.scoring));
        key(f, Qt::Key_Return);
        QVERIFY(red(f));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmScore0")->text(), QStringLiteral("0.0"));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
    }

    void cancelOnRedSendsNothing()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 4);
        ApplyScoreKey(f.scoring, 5);
        ButtonSendScoreClick(f.scoring);
        QTest::mouseClick(element<PictureButton>(f, "ScoreConfirmDecline"), Qt::LeftButton);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("4.5"));
        // Let anything that was sent arrive.
        ScoreConfirmAcceptClick(f.scoring);  // a marker: the first frame must be this one
        QVERIFY(l->server.waitForFrames(2));
        QCOMPARE(summary(l->server).first(), QStringLiteral("SD 4.5<DC1>"));
    }

    void acknowledgementForAnotherJudge()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ButtonSendScoreClick(f.scoring);
        l->server.send(LoopbackServer::frame("TX", "J4  " + DC1) + LoopbackServer::frame("TP", ""));
        QVERIFY(l->server.waitForFrames(1));  // the pulse's answer: both messages were handled
        QVERIFY(red(f));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
    }

    // At the end of an event the buttons refuse pointer presses; Enter and Esc still act, and
    // any score key enables Send again.
    void endOfEvent()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 9);
        ButtonSendScoreClick(f.scoring);
        ReceiveConsoleText(f.inbound(), LoopbackServer::frame("EI", "IND" + DC1 + "END OF EVENT" + DC2 + "7" + DC3));
        QVERIFY(!element<PictureButton>(f, "ScoreConfirmAccept")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ButtonHome3")->isHidden());
        QTest::mouseClick(element<PictureButton>(f, "ScoreConfirmAccept"), Qt::LeftButton);
        QTest::mouseClick(element<PictureButton>(f, "ScoreConfirmDecline"), Qt::LeftButton);
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        key(f, Qt::Key_Return);
        QVERIFY(l->server.waitForFrames(2));
        QCOMPARE(summary(l->server), QStringList({"SD 9.0<DC1>", "CS Active Power"}));
        // Cancel returns to the keypad (and enables Send, as every return to the keypad does).
        key(f, Qt::Key_Escape);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        // End of event while keying: Send refuses the pointer until a score key.
        ReceiveConsoleText(f.inbound(), LoopbackServer::frame("EI", "IND" + DC1 + "END OF EVENT" + DC2 + "7" + DC3));
        QVERIFY(!element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QTest::mouseClick(element<PictureButton>(f, "ButtonSendScore"), Qt::LeftButton);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        key(f, Qt::Key_5);
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QTest::mouseClick(element<PictureButton>(f, "ButtonSendScore"), Qt::LeftButton);
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
    }

    void newAthleteKeepsThePanel()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 6);
        ButtonSendScoreClick(f.scoring);
        ScoreConfirmAcceptClick(f.scoring);
        Acknowledge(f.scoring);
        f.state.Scoring.setZeroPressCount(2);
        ReceiveConsoleText(f.inbound(), LoopbackServer::frame("AI", "1-2" + DC1 + "A" + DC2 + "B" + DC3));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(ScoreAcknowledged(f.scoring));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
        QCOMPARE(f.state.Scoring.zeroPressCount(), 0);
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("6.0"));
    }

    // The road of one dive, every message over the link.
    void roadOfOneDive()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        LoopbackServer &server = l->server;
        server.send(LoopbackServer::frame("EI", "IND" + DC1 + "Women 3m Springboard" + DC2 + "5" + DC3)
                    + LoopbackServer::frame("AI", "2-4" + DC1 + "Anna Meyer" + DC2 + "GER" + DC3)
                    + LoopbackServer::frame("DI", "105B" + DC1 + "2.4" + DC2 + "3m" + DC3 + "Forward 2 1/2 somersaults pike"
                                                      + QByteArray("\x14")));
        QTRY_COMPARE(element<QLabel>(f, "LabelDiveDescription")->text(), QStringLiteral(" Forward 2 1/2 somersaults pike"));
        QCOMPARE(element<QLabel>(f, "LabelEvent")->text(), QStringLiteral("Women 3m Springboard"));
        QCOMPARE(element<QLabel>(f, "LabelDisc")->text(), QStringLiteral("IND"));
        QCOMPARE(element<QLabel>(f, "LabelRound")->text(), QStringLiteral("Round 2"));
        QCOMPARE(element<QLabel>(f, "LabelStart")->text(), QStringLiteral("4"));
        QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Anna Meyer"));
        QCOMPARE(element<QLabel>(f, "LabelClub")->text(), QStringLiteral(" GER"));
        QCOMPARE(element<QLabel>(f, "LabelDive")->text(), QStringLiteral("105B"));
        QCOMPARE(element<QLabel>(f, "LabelDD")->text(), QStringLiteral("DD: 2.4"));
        QCOMPARE(element<QLabel>(f, "LabelHeight")->text(), QStringLiteral("3m"));
        QCOMPARE(f.state.JudgeCount, 5);
        key(f, Qt::Key_6);
        key(f, Qt::Key_6);
        key(f, Qt::Key_Return);
        key(f, Qt::Key_Return);
        QVERIFY(server.waitForFrames(2));
        QCOMPARE(server.frames().first(), QByteArray("\x01SDIND J3  \x02" "6.5\x11\x04"));
        server.send(LoopbackServer::frame("TX", "J3  " + DC1));
        QTRY_VERIFY(ScoreAcknowledged(f.scoring));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Received - Thank You"));
        server.send(LoopbackServer::frame("XX", "#6.5^7.0^6.0^6.5^7.5^")
                    + LoopbackServer::frame("PR", "4" + DC1 + "46.80^T 46.80^RANK 1" + DC2));
        QTRY_VERIFY(!element<Panel>(f, "PanelScoreboard")->isHidden());
        QCOMPARE(element<TLedTextLabel>(f, "Scoreboard1")->Caption(), QStringLiteral("    46.80"));
        QCOMPARE(element<TLedTextLabel>(f, "ScoreboardOrder")->Caption(), QStringLiteral("ORDER   4"));
        const QStringList scores{"6.5", "7.0", "6.0", "6.5", "7.5"};
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(f.scoringView().scoreDisplays()[i]->isHidden(), i >= 5);
            if (i < 5)
                QCOMPARE(f.scoringView().scoreDisplays()[i]->Caption(), scores[i]);
        }
        // The displays are on the keypad, seen again once the judge returns to it.
        key(f, Qt::Key_Escape);
        QVERIFY(f.scoringView().scoreDisplays()[0]->isVisible());
    }

    void goHomeKeepsThePanelState()
    {
        auto l = linked();
        QVERIFY(l);
        TMainForm &f = l->f();
        ApplyScoreKey(f.scoring, 6);
        f.state.Scoring.setZeroPressCount(1);
        ButtonSendScoreClick(f.scoring);
        key(f, Qt::Key_F9);
        QCOMPARE(f.currentPage(), 0);
        QVERIFY(!f.link->Connected());
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        // Connecting again enters the scoring screen with the score text and count kept.
        QVERIFY(l->station.connectTo(l->server, 2));
        QCOMPARE(f.currentPage(), 1);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("6.0"));
        QCOMPARE(f.state.Scoring.zeroPressCount(), 1);
    }
};

QTEST_MAIN(TestConfirmation)
#include "tst_confirmation.moc"
