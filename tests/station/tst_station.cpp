// The station shell: start-up order, settings, state, the frame's docking and the small windows.
#include "TestStation.h"

#include "screens/ScoringView.h"
#include "screens/Unit_Invalid.h"
#include "screens/Unit_Main.h"
#include "station/Settings.h"
#include "DataColumns.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QSet>
#include <QtTest>

namespace {

// A station on the host "judge-laptop" at 10.1.2.3, in a working folder of its own; not
// shown yet.
std::unique_ptr<TestStation> station()
{
    auto s = std::make_unique<TestStation>();
    s->fakes.host->name = QStringLiteral("judge-laptop");
    s->fakes.host->address = QStringLiteral("10.1.2.3");
    return s;
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

} // namespace

class TestStationShell : public QObject
{
    Q_OBJECT

private slots:
    // The logo is compiled into every executable that shows the window: loaded from the
    // resource, a real picture, and on the logo element at its own size.
    void logoIsShown()
    {
        const QImage logo(QStringLiteral(":/assets/logo.jpg"));
        QVERIFY2(!logo.isNull(), "the logo picture cannot be loaded");
        QVERIFY(logo.width() > 1 && logo.height() > 1);
        QSet<QRgb> colours;
        for (int y = 0; y < logo.height(); y += 7)
            for (int x = 0; x < logo.width(); x += 7)
                colours.insert(logo.pixel(x, y));
        QVERIFY2(colours.size() > 16, "the logo picture is empty");
        const auto s = station();
        TMainForm &form = *s->form;
        QCOMPARE(element<QLabel>(form, "VRXLogo")->pixmap().size(), logo.size());
    }

    void settingsChooseTheFunction_data()
    {
        addColumns<QByteArray, int, QString, QString>("file", "judgeIndex", "caption", "stationId");
        QTest::newRow("no file") << QByteArray() << 0 << "Judge 1" << "J1  ";
        QTest::newRow("Who=4") << QByteArray("[Diving]\nWho=4\n") << 4 << "Judge 5" << "J5  ";
        QTest::newRow("Who=10") << QByteArray("[Diving]\r\nWho=10\r\n") << 10 << "Judge 11" << "J11 ";
        QTest::newRow("Who above 10") << QByteArray("[Diving]\nWho=15\n") << 10 << "Judge 11" << "J11 ";
        QTest::newRow("Who negative") << QByteArray("[Diving]\nWho=-3\n") << 0 << "Judge 1" << "J1  ";
        QTest::newRow("Who not a number") << QByteArray("[Diving]\nWho=abc\n") << 0 << "Judge 1" << "J1  ";
        QTest::newRow("Who empty") << QByteArray("[Diving]\nWho=\n") << 0 << "Judge 1" << "J1  ";
        QTest::newRow("other section") << QByteArray("[Other]\nWho=5\n") << 0 << "Judge 1" << "J1  ";
        QTest::newRow("key case") << QByteArray("[diving]\nwho=2\n") << 2 << "Judge 3" << "J3  ";
    }
    void settingsChooseTheFunction()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, judgeIndex);
        QFETCH(QString, caption);
        QFETCH(QString, stationId);
        const auto s = station();
        if (!file.isEmpty())
            writeFile(StationSettings::filePath(), file);
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        QCOMPARE(element<RadioGroup>(form, "ClientChoice")->itemIndex(), judgeIndex);
        QCOMPARE(form.state.FunctionIndex, judgeIndex);
        QCOMPARE(form.state.ClientInfo.FunctionCaption, caption);
        QCOMPARE(form.state.ClientInfo.LocalStationId, stationId);
        QCOMPARE(form.state.ClientInfo.DisciplineTag, QStringLiteral("IND "));
    }

    // The remembered server is offered after "This Computer" and the neighbours, once, and
    // selected, even when the neighbour table has forgotten it; a remembered text that is not
    // an address (nor this computer's own address) is not offered.
    void lastServerAddressSelection_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("neighbour");  // the neighbour table holds 10.0.0.7 and 192.168.9.9
        addColumns<QStringList, int>("entries", "selected");
        const QString here = QStringLiteral("This Computer");
        QTest::newRow("default") << QByteArray() << false << QStringList {here} << 0;
        QTest::newRow("remembered, the table empty")
            << QByteArray("[Diving]\nLastIP=192.168.9.9\n") << false << QStringList {here, "192.168.9.9"} << 1;
        QTest::newRow("remembered, among the neighbours")
            << QByteArray("[Diving]\nLastIP=192.168.9.9\n") << true << QStringList {here, "10.0.0.7", "192.168.9.9"} << 2;
        QTest::newRow("remembered, not among the neighbours")
            << QByteArray("[Diving]\nLastIP=192.168.9.1\n") << true
            << QStringList {here, "10.0.0.7", "192.168.9.9", "192.168.9.1"} << 3;
        QTest::newRow("not an address") << QByteArray("[Diving]\nLastIP=192.168.9\n") << false << QStringList {here} << 0;
        QTest::newRow("a leading zero") << QByteArray("[Diving]\nLastIP=192.168.09.9\n") << false << QStringList {here} << 0;
        QTest::newRow("this computer's address")
            << QByteArray("[Diving]\nLastIP=10.1.2.3\n") << false << QStringList {here} << 0;
        QTest::newRow("in the list") << QByteArray("[Diving]\nLastIP=This Computer\n") << false << QStringList {here} << 0;
    }
    void lastServerAddressSelection()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, neighbour);
        QFETCH(QStringList, entries);
        QFETCH(int, selected);
        const auto s = station();
        if (neighbour) {
            s->fakes.neighbours->addRow(10, 0, 0, 7);
            s->fakes.neighbours->addRow(192, 168, 9, 9);
        }
        if (!file.isEmpty())
            writeFile(StationSettings::filePath(), file);
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        QStringList shown;
        for (int i = 0; i < element<QComboBox>(form, "HostIP")->count(); ++i)
            shown << element<QComboBox>(form, "HostIP")->itemText(i);
        QCOMPARE(shown, entries);
        QCOMPARE(element<QComboBox>(form, "HostIP")->currentIndex(), selected);
    }

    void firstCloseWritesAllSixKeysInOrder()
    {
        const auto s = station();
        QVERIFY(!QFile::exists(StationSettings::filePath()));
        QVERIFY(s->start());
        element<RadioGroup>(*s->form, "ClientChoice")->setItemIndex(6);
        QVERIFY(s->form->close());
        s->form.reset();
        QFile f(StationSettings::filePath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = f.readAll().split('\n');
        QStringList keys;
        for (QByteArray l : lines) {
            l = l.trimmed();
            if (l.startsWith('['))
                QCOMPARE(l, QByteArray("[Diving]"));
            else if (!l.isEmpty())
                keys << QString::fromLatin1(l);
        }
        QCOMPARE(keys, QStringList({"Left=0", "Top=0", "Width=1218", "Height=805", "LastIP=This Computer", "Who=6"}));
    }

    void closeKeepsOtherSettings()
    {
        const auto s = station();
        writeFile(StationSettings::filePath(), "[Display]\nTheme=dark\n\n[Diving]\nWho=3\nNote=kept\n");
        QVERIFY(s->start());
        QVERIFY(s->form->close());
        s->form.reset();
        IniFile ini(StationSettings::filePath());
        QVERIFY(ini.load());
        QCOMPARE(ini.readString("Display", "Theme", ""), QStringLiteral("dark"));
        QCOMPARE(ini.readString("Diving", "Note", ""), QStringLiteral("kept"));
        QCOMPARE(ini.readInteger("Diving", "Who", -1), 3);
    }

    void startUpState()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        // Before start-up: the logo shows and the page area is hidden.
        form.show();
        QVERIFY(form._Notebook->isHidden());
        QCOMPARE(form.windowTitle(), QStringLiteral("Marlo v1.1.0"));
        QVERIFY(form.Timer1->isActive());
        QVERIFY(s->start());
        QVERIFY(!form.Timer1->isActive());
        QVERIFY(form._Notebook->isVisible());
        QCOMPARE(form.currentPage(), 0);
        QVERIFY(form.TimerPowerMeter->isActive());
        QCOMPARE(form.TimerPowerMeter->interval(), 10000);
        QVERIFY(form.ObtainingIPAddress == nullptr);
        QCOMPARE(form.state.ClientInfo.LocalAddress, QStringLiteral("10.1.2.3"));
        QCOMPARE(form.state.ClientInfo.LocalComputerName, QStringLiteral("judge-laptop"));
        QCOMPARE(form.state.JudgeCount, 11);
        QCOMPARE(form.state.RetryCount, 0);
        QCOMPARE(form.state.Scoring.zeroPressCount(), 0);
        QCOMPARE(form.state.Protocols.StationIdTable[9], QStringLiteral("J10 "));
        QCOMPARE(form.state.Protocols.StationIdTable[11], QStringLiteral("VRX "));
        QCOMPARE(form.state.Protocols.DisciplineTags[1], QStringLiteral("SYNC"));
        for (TLedTextLabel *d : form.scoringView().scoreDisplays())
            QVERIFY(d->isHidden());
        QCOMPARE(form.scoringView().scoreDisplays().size(), 11);
        QCOMPARE(form.scoringView().scoreDisplays()[6]->objectName(), QStringLiteral("ScoreDisplay7"));
        QCOMPARE(form.scoringView().scoreDisplays()[6]->parentWidget(), element<Panel>(form, "PanelKeypad"));
        QVERIFY(element<Panel>(form, "ScoreConfirmMain")->isHidden());
        QVERIFY(element<Panel>(form, "PanelScoreboard")->isHidden());
        QVERIFY(element<PictureButton>(form, "ButtonHome3")->isHidden());
        QVERIFY(element<QWidget>(form, "PanelDetails")->isHidden());
        QVERIFY(element<PictureButton>(form, "DisconnectConsoles")->isHidden());
        QVERIFY(!element<PictureButton>(form, "DisconnectConsoles")->isEnabled());
        QVERIFY(element<PictureButton>(form, "ConnectConsoles")->isEnabled());
        QVERIFY(element<RadioGroup>(form, "DisciplineSelection")->isHidden());
        QCOMPARE(element<RadioGroup>(form, "DisciplineSelection")->itemIndex(), 0);
    }

    void statusBarAfterStartUp()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        QCOMPARE(form.StatusBar1->panelText(0), QStringLiteral("   Version 1.1.0"));
        QCOMPARE(form.StatusBar1->panelText(3), QStringLiteral("IP Address"));
        QCOMPARE(form.StatusBar1->panelText(4), QStringLiteral("  PC Name"));
        QVERIFY(s->start());
        QCOMPARE(form.StatusBar1->panelCount(), 6);
        QCOMPARE(form.StatusBar1->panelText(0), QStringLiteral("   Version 1.1.0"));
        QVERIFY(!form.StatusBar1->panelText(1).isEmpty());
        QCOMPARE(form.StatusBar1->panelText(2), QString());
        QCOMPARE(form.StatusBar1->panelText(3), QStringLiteral("10.1.2.3"));
        QCOMPARE(form.StatusBar1->panelText(4), QStringLiteral("  judge-laptop"));
        QCOMPARE(form.StatusBar1->panelText(5), QStringLiteral("Retry Count:"));
    }

    void designTexts_data()
    {
        addColumns<QString, QString>("name", "text");
        QTest::newRow("round") << "LabelRound" << "Round";
        QTest::newRow("event") << "LabelEvent" << "  Event Name   ";
        QTest::newRow("type") << "LabelDisc" << "Type";
        QTest::newRow("order") << "LabelStart" << "Order";
        QTest::newRow("athlete") << "LabelAthlete" << "   Athlete Name";
        QTest::newRow("team") << "LabelClub" << "   Team Name";
        QTest::newRow("power") << "LabelPower" << "Power";
        QTest::newRow("dive") << "LabelDive" << "Dive";
        QTest::newRow("dd") << "LabelDD" << "  DD";
        QTest::newRow("height") << "LabelHeight" << "  HGT";
        QTest::newRow("description") << "LabelDiveDescription" << "   Dive Description";
        QTest::newRow("who") << "LabelWhoAreYou" << "Who are you?";
        QTest::newRow("hint") << "LabelINDMessage"
                              << "No need to enter a decimal. Press Enter or Send when done. Hint: 66 --> 6.5";
        QTest::newRow("instructions")
            << "LabelOpeningInstructions"
            << "Press F9 to see this screen again. Press F5 to hide/show detailed connections activity.";
        QTest::newRow("score title") << "LabelScoreTitle" << "Score";
        QTest::newRow("score") << "ScoreEdit" << "0.0";
        QTest::newRow("judge title") << "LabelJudge" << "Judge";
        QTest::newRow("judge") << "JudgeNum" << "E.1";
        QTest::newRow("confirm title") << "ScoreConfirmTitle" << "Score Confirmation";
        QTest::newRow("confirm score") << "ScoreConfirmScore0" << "0.0";
        QTest::newRow("scoreboard") << "LabelScoreboardTitle" << "Scoreboard";
    }
    void designTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        const auto s = station();
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        auto *l = form.findChild<QLabel *>(name);
        QVERIFY2(l, qPrintable(name));
        QCOMPARE(l->text(), text);
        QCOMPARE(l->textFormat(), Qt::PlainText);
    }

    void buttonCaptions_data()
    {
        addColumns<QString, QString>("name", "caption");
        QTest::newRow("connect") << "ConnectConsoles" << "Connect Console";
        QTest::newRow("refresh") << "ButtonRefresh" << "Refresh IP List";
        QTest::newRow("close") << "ButtonClose" << "Close";
        QTest::newRow("disconnect") << "DisconnectConsoles" << "Disconnect Console";
        QTest::newRow("send") << "ButtonSendScore" << "  Send\r\n(Enter)";
        QTest::newRow("clear") << "INDSCOREClear" << " Clear\r\n (ESC)";
        QTest::newRow("ten") << "INDSCORE10" << "10";
        QTest::newRow("accept") << "ScoreConfirmAccept" << "Accept / Send\r\n      (Enter)";
        QTest::newRow("decline") << "ScoreConfirmDecline" << "Cancel / Change\r\n          (Esc)";
        QTest::newRow("home2") << "ButtonHome2" << "Home";
        QTest::newRow("home3") << "ButtonHome3" << "Home";
        QTest::newRow("chat") << "ButtonSendMessage" << "Send";
    }
    void buttonCaptions()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        const auto s = station();
        TMainForm &form = *s->form;
        auto *b = form.findChild<QAbstractButton *>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->text(), caption);
    }

    void keypadTags()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        const QList<PictureButton *> keys = form.scoringView().keypadKeys();
        QCOMPARE(keys.size(), 12);
        for (int v = 0; v <= 10; ++v) {
            auto *k = form.findChild<PictureButton *>(QStringLiteral("INDSCORE%1").arg(v));
            QVERIFY(k);
            QCOMPARE(k->tag(), v);
            QCOMPARE(k->parentWidget(), element<Panel>(form, "PanelKeypad"));
        }
        QCOMPARE(element<PictureButton>(form, "INDSCOREClear")->tag(), -1);
        QCOMPARE(element<PictureButton>(form, "ButtonHome2")->geometry(), QRect(16, 12, 97, 32));
        QCOMPARE(element<PictureButton>(form, "ButtonHome3")->geometry(), QRect(16, 12, 97, 61));
        QCOMPARE(element<PictureButton>(form, "ButtonHome2")->toolTip(), QStringLiteral("Shortcut - F9"));
    }

    void grid()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->rowCount(), 13);
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->columnCount(), 4);
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(0, 0)->text(), QStringLiteral("Job"));
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(0, 3)->text(), QStringLiteral("Status"));
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(1, 0)->text(), QStringLiteral("Judge 1"));
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(11, 0)->text(), QStringLiteral("Judge 11"));
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(12, 0)->text(), QStringLiteral("VRX KMT"));
        QCOMPARE(element<QTableWidget>(form, "GridConnections")->item(5, 2)->text(), QString());
    }

    // The frame's docking at the design size.
    void dockingWorkedExample_data()
    {
        addColumns<QString, QSize>("name", "size");
        QTest::newRow("PanelMain") << "PanelMain" << QSize(1218, 786);
        QTest::newRow("StatusBar1") << "StatusBar1" << QSize(1218, 19);
        QTest::newRow("PanelIND") << "PanelIND" << QSize(1208, 650);
        QTest::newRow("PanelRight") << "PanelRight" << QSize(211, 633);
        QTest::newRow("ScoreConfirmMain") << "ScoreConfirmMain" << QSize(997, 633);
        QTest::newRow("LabelINDMessage") << "LabelINDMessage" << QSize(1208, 17);
        QTest::newRow("LabelEvent") << "LabelEvent" << QSize(848, 40);
        QTest::newRow("LabelAthlete") << "LabelAthlete" << QSize(608, 43);
        QTest::newRow("LabelClub") << "LabelClub" << QSize(320, 43);
        QTest::newRow("LabelDiveDescription") << "LabelDiveDescription" << QSize(758, 43);
        QTest::newRow("PanelRightScore") << "PanelRightScore" << QSize(207, 127);
        QTest::newRow("PanelJudgeAssignment") << "PanelJudgeAssignment" << QSize(207, 130);
        QTest::newRow("ScoreConfirmButtons") << "ScoreConfirmButtons" << QSize(985, 87);
        QTest::newRow("PanelDetails") << "PanelDetails" << QSize(460, 607);
    }
    void dockingWorkedExample()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const auto s = station();
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        QCOMPARE(form.size(), QSize(1218, 805));
        auto *w = form.findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->size(), size);
    }

    void dockingPlaces()
    {
        const auto s = station();
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        // The page area starts 5 pixels in and below the three bands.
        QCOMPARE(form._Notebook->geometry(), QRect(5, 131, 1208, 650));
        QCOMPARE(element<Panel>(form, "PanelRight")->geometry(), QRect(997, 0, 211, 633));
        QCOMPARE(element<QLabel>(form, "LabelINDMessage")->geometry(), QRect(0, 633, 1208, 17));
        QCOMPARE(element<QLabel>(form, "LabelPower")->geometry().x(), 1208 - 180);
        QCOMPARE(element<QLabel>(form, "LabelClub")->geometry().x(), 1208 - 180 - 320);
        QCOMPARE(element<QLabel>(form, "LabelHeight")->geometry(), QRect(305, 0, 145, 43));
        QCOMPARE(element<TLedTextLabel>(form, "ScoreboardOrder")->geometry().topLeft(), QPoint(0, 20));
        // Below the send button (216 to 330): at (24, 256) it would cover it.
        QCOMPARE(element<Panel>(form, "PanelScoreboard")->geometry(), QRect(24, 338, 172, 153));
    }

    void functionChange()
    {
        const auto s = station();
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        form.state.ClientInfo.DisciplineTag = QStringLiteral("XXXX");
        element<RadioGroup>(form, "ClientChoice")->setItemIndex(2);
        QCOMPARE(form.state.ClientInfo.FunctionCaption, QStringLiteral("Judge 3"));
        QCOMPARE(form.state.ClientInfo.LocalStationId, QStringLiteral("J3  "));
        QCOMPARE(form.state.ClientInfo.DisciplineTag, QStringLiteral("XXXX"));
    }

    void f5TogglesDetailsOnEitherPage()
    {
        const auto s = station();
        QVERIFY(s->start());
        TMainForm &form = *s->form;
        QTest::keyClick(&form, Qt::Key_F5);
        QVERIFY(element<QWidget>(form, "PanelDetails")->isVisible());
        QTest::keyClick(element<QComboBox>(form, "HostIP"), Qt::Key_F5);  // whatever has the focus
        QVERIFY(element<QWidget>(form, "PanelDetails")->isHidden());
        form.SelectPage(1);
        QTest::keyClick(&form, Qt::Key_F5);
        QVERIFY(!element<QWidget>(form, "PanelDetails")->isHidden());
        QVERIFY(!element<QWidget>(form, "PanelDetails")->isVisible());  // seen on the next visit to the opening page
        form.SelectPage(0);
        QVERIFY(element<QWidget>(form, "PanelDetails")->isVisible());
    }

    void lostConnectionWindowClosesItself()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        form.show();
        TInvalidElements *w = form.InvalidElements;
        QCOMPARE(w->size(), QSize(462, 121));
        QCOMPARE(w->CountLabel->text(), QStringLiteral("Reconnecting in 2 seconds."));
        QVERIFY(!w->Timer1->isActive());
        QElapsedTimer clock;
        clock.start();
        w->showOver(&form);
        QVERIFY(w->isVisible());
        QVERIFY(w->Timer1->isActive());
        QCOMPARE(w->Timer1->interval(), 2000);
        // Centred on the main window.
        QCOMPARE(w->geometry().center(), QPoint(form.geometry().center().x(), form.geometry().center().y()));
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
        QVERIFY(clock.elapsed() >= 1900);
    }

    void lostConnectionWindowRestartsItsCount()
    {
        const auto s = station();
        TMainForm &form = *s->form;
        form.show();
        TInvalidElements *w = form.InvalidElements;
        w->showOver(&form);
        QTRY_VERIFY(w->Timer1->remainingTime() < 1700);
        // Shown again while up, for a new loss: its count starts afresh too.
        w->showOver(&form);
        QVERIFY(w->Timer1->remainingTime() > 1900);
        // Hidden and shown: the count starts afresh.
        w->hide();
        w->showOver(&form);
        QVERIFY(w->Timer1->remainingTime() > 1900);
        QTRY_VERIFY_WITH_TIMEOUT(!w->isVisible(), 5000);
    }
};

QTEST_MAIN(TestStationShell)
#include "tst_station.moc"
