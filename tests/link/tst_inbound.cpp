// What each message from the event server does to the station: labels, state, replies. How
// each message's fields are taken apart is tst_inbound_decoders'.
#include "LoopbackServer.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "scoring/ScoreConfirmation.h"
#include "screens/ScoringView.h"
#include "screens/StationBox.h"
#include "screens/Unit_Main.h"
#include "DataColumns.h"

#include <QTextEdit>
#include <QtTest>

namespace {

const QByteArray DC1("\x11"), DC2("\x12"), DC3("\x13"), DC4("\x14");

void receive(TestStation &s, const QByteArray &command, const QByteArray &payload, const QByteArray &sender = "VRX ")
{
    ReceiveConsoleText(s.form->inbound(), LoopbackServer::frame(command, payload, sender));
}

// The station started, as Judge 3, on the scoring page.
bool startScoringAsJudge3(TestStation &s)
{
    if (!s.start())
        return false;
    element<RadioGroup>(*s.form, "ClientChoice")->setItemIndex(2);
    EnterScoringScreen(s.form->scoring);
    return true;
}

// The panel's score as if Accept had written it on a link (these stations have none).
void sentAsAccepted(TMainForm &f)
{
    f.state.Scoring.scoreWritten(f.state.Scoring.accept());
}

// The payloads of the frames a connection received, by command.
QList<QByteArray> sent(const LoopbackServer &server, const QByteArray &command)
{
    QList<QByteArray> out;
    for (const QByteArray &f : server.frames()) {
        const ConsoleText m = CutConsoleText(f);
        if (m.command == command)
            out << m.payload;
    }
    return out;
}

QStringList commandsOf(const LoopbackServer &server)
{
    QStringList out;
    for (const QByteArray &f : server.frames())
        out << QString::fromLatin1(CutConsoleText(f).command);
    return out;
}

const char *kMarkup = "<b>x</b><img src=\"file:///etc/hostname\">";

} // namespace

class TestInbound : public QObject
{
    Q_OBJECT

private slots:
    // The athlete's fields: "Round " before the round, a blank before the athlete and the
    // club; a new athlete starts a new score.
    void athlete()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        element<QLabel>(f, "ScoreConfirmTitle")->setText(QStringLiteral("Received - Thank You"));
        f.state.Scoring.setZeroPressCount(2);
        receive(s, "AI", "12-3" + DC1 + "Jane Diver" + DC2 + "Pool Club" + DC3);
        QCOMPARE(element<QLabel>(f, "LabelRound")->text(), QStringLiteral("Round 12"));
        QCOMPARE(element<QLabel>(f, "LabelStart")->text(), QStringLiteral("3"));
        QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" Jane Diver"));
        QCOMPARE(element<QLabel>(f, "LabelClub")->text(), QStringLiteral(" Pool Club"));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
        QCOMPARE(f.state.Scoring.zeroPressCount(), 0);
    }

    void dive()
    {
        TestStation s;
        QVERIFY(s.start());
        receive(s, "DI", "105B" + DC1 + "2.4" + DC2 + "3m" + DC3 + "Forward 2 1/2 somersaults pike" + DC4);
        QCOMPARE(element<QLabel>(*s.form, "LabelDive")->text(), QStringLiteral("105B"));
        QCOMPARE(element<QLabel>(*s.form, "LabelDD")->text(), QStringLiteral("DD: 2.4"));
        QCOMPARE(element<QLabel>(*s.form, "LabelHeight")->text(), QStringLiteral("3m"));
        QCOMPARE(element<QLabel>(*s.form, "LabelDiveDescription")->text(), QStringLiteral(" Forward 2 1/2 somersaults pike"));
    }

    // The first scoreboard shows its panel.
    void scoreboard()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        QVERIFY(element<Panel>(f, "PanelScoreboard")->isHidden());
        receive(s, "PR", "5" + DC1 + "66.50^T 183.20^RANK 2" + DC2);
        QVERIFY(!element<Panel>(f, "PanelScoreboard")->isHidden());
        QCOMPARE(QStringList({element<TLedTextLabel>(f, "ScoreboardOrder")->Caption(),
                              element<TLedTextLabel>(f, "Scoreboard1")->Caption(),
                              element<TLedTextLabel>(f, "Scoreboard2")->Caption(),
                              element<TLedTextLabel>(f, "Scoreboard3")->Caption()}),
                 QStringList({"ORDER   5", "    66.50", " T 183.20", "   RANK 2"}));
    }

    // The panel's scores go to the displays the judge count shows, and to no others.
    void panelScores_data()
    {
        addColumns<int, QByteArray>("judges", "payload");
        QTest::addColumn<QStringList>("texts");  // of the shown displays
        QTest::newRow("five") << 5 << QByteArray("#6.5^7.0^7.5^8.0^6.0^") << QStringList{"6.5", "7.0", "7.5", "8.0", "6.0"};
        QTest::newRow("none for 0") << 0 << QByteArray("#1^2^") << QStringList{};
        QTest::newRow("negative") << -3 << QByteArray("#1^2^") << QStringList{};
        QTest::newRow("beyond eleven") << 40 << QByteArray("#1^2^3^4^5^6^7^8^9^10^11^12^13^")
                                       << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
    }
    void panelScores()
    {
        QFETCH(int, judges);
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, texts);
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        f.state.JudgeCount = judges;
        receive(s, "XX", payload);
        QCOMPARE(f.state.JudgeCount, judges);
        for (int i = 0; i < 11; ++i) {
            if (i < texts.size()) {
                QVERIFY2(!f.scoringView().scoreDisplays()[i]->isHidden(), qPrintable(QString::number(i)));
                QCOMPARE(f.scoringView().scoreDisplays()[i]->Caption(), texts[i]);
            } else {
                QVERIFY2(f.scoringView().scoreDisplays()[i]->isHidden(), qPrintable(QString::number(i)));
                QCOMPARE(f.scoringView().scoreDisplays()[i]->Caption(), QStringLiteral("10.0"));
            }
        }
    }

    // The discipline, the event and the judge count; a count that is not a whole number opens
    // the error box, and the steps before it stay in effect.
    void event_data()
    {
        addColumns<QByteArray, QByteArray, int, QString, int, QString>(
            "discipline", "count", "item", "label", "judges", "box");
        QTest::newRow("individual") << QByteArray("IND") << QByteArray("7") << 0 << "IND" << 7 << "";
        QTest::newRow("synchro") << QByteArray("SYNC") << QByteArray("9") << 1 << "SYNCHRO" << 9 << "";
        QTest::newRow("count not a number") << QByteArray("SYNC") << QByteArray(" 7.0 ") << 1 << "SYNCHRO" << 3
                                            << "'7.0' is not a valid integer value.";
    }
    void event()
    {
        QFETCH(QByteArray, discipline);
        QFETCH(QByteArray, count);
        QFETCH(int, item);
        QFETCH(QString, label);
        QFETCH(int, judges);
        QFETCH(QString, box);
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        f.state.JudgeCount = 3;
        receive(s, "EI", discipline + DC1 + "Men 10m" + DC2 + count + DC3);
        QCOMPARE(f.state.DisciplineIndex, item);
        QCOMPARE(element<RadioGroup>(f, "DisciplineSelection")->itemIndex(), item);
        QCOMPARE(element<QLabel>(f, "LabelDisc")->text(), label);
        QCOMPARE(element<QLabel>(f, "LabelEvent")->text(), QStringLiteral("Men 10m"));
        QCOMPARE(f.state.JudgeCount, judges);
        QCOMPARE(s.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    }

    void endOfEventAndTheNext()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        EnterScoringScreen(f.scoring);
        ButtonSendScoreClick(f.scoring);
        sentAsAccepted(f);
        Acknowledge(f.scoring);
        receive(s, "EI", "IND" + DC1 + "END OF EVENT" + DC2 + "7" + DC3);
        QVERIFY(!element<PictureButton>(f, "ScoreConfirmAccept")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ScoreConfirmDecline")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QVERIFY(!element<PictureButton>(f, "ButtonHome3")->isHidden());
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());  // a shown panel stays shown
        QVERIFY(ScoreAcknowledged(f.scoring));
        QCOMPARE(element<QLabel>(f, "LabelEvent")->text(), QStringLiteral("END OF EVENT"));
        receive(s, "EI", "IND" + DC1 + "Women 3m" + DC2 + "5" + DC3);
        QVERIFY(element<PictureButton>(f, "ScoreConfirmAccept")->isEnabled());
        QVERIFY(element<PictureButton>(f, "ScoreConfirmDecline")->isEnabled());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QVERIFY(element<PictureButton>(f, "ButtonHome3")->isHidden());
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(f, "PanelKeypad")->isHidden());
        QCOMPARE(f.state.JudgeCount, 5);
    }

    void eventUpdatesTheJudgePosition()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        element<RadioGroup>(f, "ClientChoice")->setItemIndex(2);  // Judge 3
        receive(s, "EI", "SYNC" + DC1 + "Synchro" + DC2 + "11" + DC3);
        QCOMPARE(element<QLabel>(f, "JudgeNum")->text(), QStringLiteral("E3.1"));
        receive(s, "EI", "SYNC" + DC1 + "Synchro" + DC2 + "7" + DC3);
        QCOMPARE(element<QLabel>(f, "JudgeNum")->text(), QStringLiteral("S: 1"));
        receive(s, "EI", "IND" + DC1 + "Individual" + DC2 + "7" + DC3);
        QCOMPARE(element<QLabel>(f, "JudgeNum")->text(), QStringLiteral("J: 3"));
    }

    // The server's acknowledgement of this station's score turns the panel green.
    void acknowledgement_data()
    {
        addColumns<QByteArray, bool>("payload", "acknowledged");
        QTest::newRow("this station") << "J3  " + DC1 << true;
        QTest::newRow("another station") << "J4  " + DC1 << false;
    }
    void acknowledgement()
    {
        QFETCH(QByteArray, payload);
        QFETCH(bool, acknowledged);
        TestStation s;
        QVERIFY(startScoringAsJudge3(s));
        TMainForm &f = *s.form;
        ButtonSendScoreClick(f.scoring);
        sentAsAccepted(f);
        receive(s, "TX", payload);
        QCOMPARE(ScoreAcknowledged(f.scoring), acknowledged);
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(),
                 acknowledged ? QStringLiteral("Received - Thank You") : QStringLiteral("Score Confirmation"));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
    }

    void acknowledgementWhileKeying()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        EnterScoringScreen(f.scoring);
        sentAsAccepted(f);
        // A "TX" while keying acknowledges nothing the judge sees: the panel stays as it was.
        receive(s, "TX", "J1  " + DC1);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!ScoreAcknowledged(f.scoring));
        ButtonSendScoreClick(f.scoring);
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
    }

    // A score the server sets: this judge's goes into the score, another's is ignored, a function
    // that is not a whole number opens the error box; the zero count stays.
    void serverScore_data()
    {
        addColumns<QByteArray, QString, QString>("payload", "score", "box");
        QTest::newRow("this judge") << "3" + DC1 + " 7.5 " + DC2 << "7.5" << "";
        QTest::newRow("another judge") << "4" + DC1 + "7.5" + DC2 << "6.5" << "";
        QTest::newRow("not a number") << "x" + DC1 + "7.5" + DC2 << "6.5" << "'x' is not a valid integer value.";
    }
    void serverScore()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, score);
        QFETCH(QString, box);
        TestStation s;
        QVERIFY(startScoringAsJudge3(s));
        TMainForm &f = *s.form;
        SetScoreText(f.scoring, QStringLiteral("6.5"));
        f.state.Scoring.setZeroPressCount(1);
        receive(s, "FS", payload);
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), score);
        QCOMPARE(f.state.Scoring.zeroPressCount(), 1);
        QCOMPARE(s.boxes, box.isEmpty() ? QStringList() : QStringList{box});
    }

    // Another score on a shown panel goes back to the keypad for the judge to confirm.
    void serverScoreOnTheGreenPanel()
    {
        TestStation s;
        QVERIFY(startScoringAsJudge3(s));
        TMainForm &f = *s.form;
        SetScoreText(f.scoring, QStringLiteral("6.5"));
        ButtonSendScoreClick(f.scoring);
        sentAsAccepted(f);
        receive(s, "TX", "J3  " + DC1);
        receive(s, "FS", "3" + DC1 + "6.50" + DC2);  // the same score: nothing changes
        QVERIFY(ScoreAcknowledged(f.scoring));
        QVERIFY(!element<Panel>(f, "ScoreConfirmMain")->isHidden());
        receive(s, "FS", "3" + DC1 + "9.0" + DC2);
        QVERIFY(element<Panel>(f, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(f, "PanelKeypad")->isHidden());
        QVERIFY(element<PictureButton>(f, "ButtonSendScore")->isEnabled());
        QCOMPARE(element<QLabel>(f, "ScoreEdit")->text(), QStringLiteral("9.0"));
        QCOMPARE(element<QLabel>(f, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
    }

    void stationRows_data()
    {
        addColumns<QByteArray, QByteArray, int, int>("command", "sender", "row", "column");
        QTest::newRow("CS J4") << QByteArray("CS") << QByteArray("J4  ") << 4 << 3;
        QTest::newRow("CS VRX") << QByteArray("CS") << QByteArray("VRX ") << 12 << 3;
        QTest::newRow("IP J11") << QByteArray("IP") << QByteArray("J11 ") << 11 << 2;
        QTest::newRow("CN J1") << QByteArray("CN") << QByteArray("J1  ") << 1 << 1;
        QTest::newRow("unknown") << QByteArray("CS") << QByteArray("J12 ") << -1 << 3;
        QTest::newRow("without blanks") << QByteArray("CS") << QByteArray("J4") << -1 << 3;
    }
    void stationRows()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, sender);
        QFETCH(int, row);
        QFETCH(int, column);
        TestStation s;
        QVERIFY(s.start());
        receive(s, command, "Active", sender);
        for (int r = 1; r <= 12; ++r)
            QCOMPARE(element<QTableWidget>(*s.form, "GridConnections")->item(r, column)->text(), r == row ? QStringLiteral("Active") : QString());
    }

    void stationListAndReplies()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        TestStation s;
        QVERIFY(s.start());
        QVERIFY(s.connectTo(server, 1));
        server.clearReceived();
        TMainForm &f = *s.form;
        receive(s, "CC", "Judge 5");
        receive(s, "CC", "Judge 5");
        receive(s, "CC", "J7  ");
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->count(), 3);
        QVERIFY(server.waitForFrames(9));
        QCOMPARE(commandsOf(server), QStringList({"IP", "CN", "CS", "IP", "CN", "CS", "IP", "CN", "CS"}));
        QCOMPARE(sent(server, "IP").first(), QByteArray("127.0.0.1"));
        QCOMPARE(sent(server, "CN").first(), QByteArray("JUDGE-PC"));
        QCOMPARE(sent(server, "CS").first(), QByteArray("Active"));
        // Another station leaves, in any letter case: its first line goes.
        receive(s, "CD", "j7  ");
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->count(), 2);
        receive(s, "CD", "JUDGE 5");
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->count(), 1);
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->item(0)->text(), QStringLiteral("Judge 5"));
        receive(s, "CD", "J9  ");
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->count(), 1);
        // A test pulse asks for the status.
        server.clearReceived();
        receive(s, "TP", "anything");
        QVERIFY(server.waitForFrames(1));
        QCOMPARE(sent(server, "CS"), QList<QByteArray>{"Active Power"});
        // This station's own identifier sends it home and closes the link.
        QVERIFY(f.link->Connected());
        receive(s, "CD", "J2  ");
        QCOMPARE(f.currentPage(), 0);
        QVERIFY(!f.link->Connected());
        QVERIFY(element<PictureButton>(f, "ConnectConsoles")->isEnabled());
        QVERIFY(server.waitForClosed());
        QCOMPARE(commandsOf(server).mid(1), QStringList({"CS", "IP"}));
    }

    void chat()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        receive(s, "CM", "Hello judges");
        QCOMPARE(element<QPlainTextEdit>(f, "ChatFile")->toPlainText(), QStringLiteral("Hello judges"));
        // Not connected: nothing is sent, nothing said.
        element<QLineEdit>(f, "EditMessage")->setText(QStringLiteral("ready"));
        QTest::mouseClick(element<QAbstractButton>(f, "ButtonSendMessage"), Qt::LeftButton);
        QVERIFY(s.boxes.isEmpty());
        QVERIFY(s.connectTo(server));
        server.clearReceived();
        element<QLineEdit>(f, "EditMessage")->setText(QStringLiteral("   "));
        QTest::mouseClick(element<QAbstractButton>(f, "ButtonSendMessage"), Qt::LeftButton);
        element<QLineEdit>(f, "EditMessage")->setText(QStringLiteral("  ready  "));
        QTest::mouseClick(element<QAbstractButton>(f, "ButtonSendMessage"), Qt::LeftButton);
        QVERIFY(server.waitForFrames(1));
        QCOMPARE(sent(server, "CM"), QList<QByteArray>{"  ready  "});
        QCOMPARE(server.frames().size(), 1);
        QCOMPARE(element<QLineEdit>(f, "EditMessage")->text(), QStringLiteral("  ready  "));
        QCOMPARE(element<QPlainTextEdit>(f, "ChatFile")->toPlainText(), QStringLiteral("Hello judges"));
    }

    // Received bytes are Windows-1252 wherever they are shown, except on the LED labels, which
    // draw each byte by their own table; typed chat goes out in the same code page.
    void codePage()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        const QByteArray name("\x8A" "arka \x9E" "ak\x96\x80\x81");  // the undefined 0x81 stands for itself
        const QString shown = QStringLiteral("Šarka žak–€") + QChar(0x81);
        receive(s, "AI", "1-1" + DC1 + name + DC2 + name + DC3);
        QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QLatin1Char(' ') + shown);
        QCOMPARE(element<QLabel>(f, "LabelClub")->text(), QLatin1Char(' ') + shown);
        receive(s, "CM", name);
        QCOMPARE(element<QPlainTextEdit>(f, "ChatFile")->toPlainText(), shown);
        QVERIFY(element<QPlainTextEdit>(f, "LogFile")->toPlainText().contains(shown));
        receive(s, "CN", name, "J2  ");
        QCOMPARE(element<QTableWidget>(f, "GridConnections")->item(2, 1)->text(), shown);
        receive(s, "CE", name);
        QCOMPARE(s.boxes.value(0), shown);
        receive(s, "XX", "x" + name + "^");
        QCOMPARE(f.scoringView().scoreDisplays()[0]->Caption(), QString::fromLatin1(name));

        QVERIFY(s.connectTo(server));
        QTRY_COMPARE(element<QListWidget>(f, "ConnectedClients")->count(), 0);
        receive(s, "CC", name);
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->item(0)->text(), shown);
        server.clearReceived();
        element<QLineEdit>(f, "EditMessage")->setText(QStringLiteral("Œuvre – Łódź"));
        QTest::mouseClick(element<QAbstractButton>(f, "ButtonSendMessage"), Qt::LeftButton);
        QVERIFY(server.waitForFrames(1));
        QCOMPARE(sent(server, "CM"), QList<QByteArray>{"\x8Cuvre \x96 ?\xF3" "d?"});
    }

    // Text from the network is shown as it is, never as markup.
    void markupIsShownAsText()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        const QByteArray m(kMarkup);
        const QString text = QString::fromLatin1(m);
        receive(s, "AI", m + "-" + m + DC1 + m + DC2 + m + DC3);
        receive(s, "DI", m + DC1 + m + DC2 + m + DC3 + m + DC4);
        receive(s, "EI", m + DC1 + m + DC2 + "5" + DC3);
        receive(s, "CC", m);
        receive(s, "CN", m, "J2  ");
        receive(s, "CM", m);
        receive(s, "CE", m);
        receive(s, "FS", m + DC1);
        for (QLabel *l : {element<QLabel>(f, "LabelRound"), element<QLabel>(f, "LabelStart"), element<QLabel>(f, "LabelAthlete"), element<QLabel>(f, "LabelClub"), element<QLabel>(f, "LabelDive"), element<QLabel>(f, "LabelDD"), element<QLabel>(f, "LabelHeight"),
                          element<QLabel>(f, "LabelDiveDescription"), element<QLabel>(f, "LabelEvent"), element<QLabel>(f, "LabelDisc")}) {
            QCOMPARE(l->textFormat(), Qt::PlainText);
            QVERIFY2(l->text().contains(text) || l->text() == QStringLiteral("SYNCHRO"), qPrintable(l->objectName()));
        }
        QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), QStringLiteral(" ") + text);
        QCOMPARE(element<QListWidget>(f, "ConnectedClients")->item(0)->text(), text);
        QCOMPARE(element<QTableWidget>(f, "GridConnections")->item(2, 1)->text(), text);
        QCOMPARE(element<QPlainTextEdit>(f, "ChatFile")->toPlainText(), text);
        QCOMPARE(s.boxes.value(0), text);
        QCOMPARE(s.boxes.value(1), QStringLiteral("'%1' is not a valid integer value.").arg(text));
    }

    // The station's own message boxes are plain text too.
    void realBoxIsPlainText()
    {
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        // the station's own box
        f.link->showMessage = [&f](ConsoleLink::BoxKind kind, const QString &text) { f.ShowStationBox(kind, text); };
        QString shownText;
        bool found = false;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<TStationBox *>(modal)) {
                found = true;
                shownText = box->textArea()->toPlainText();  // markup read as markup would lose its tags
            }
            if (modal)
                modal->close();
        });
        receive(s, "CE", kMarkup);
        QVERIFY(found);
        QCOMPARE(shownText, QString::fromLatin1(kMarkup));
    }
};

QTEST_MAIN(TestInbound)
#include "tst_inbound.moc"
