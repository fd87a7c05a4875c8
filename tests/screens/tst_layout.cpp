// The adaptive layout on the real main window: both worked arrangements, the choice of the
// arrangement, a resolution change against a window resize, the fitted header texts and the
// battery text.

#include "TestStation.h"

#include "screens/Layout.h"
#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"
#include "widgets/Fonts.h"
#include "DataColumns.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<int>)

namespace {

const QRect kLandscape(0, 0, 1218, 805);
const QRect kPortrait(0, 0, 768, 1024);

// A started station on a screen of the given size, its battery not determinable (the power
// label keeps its design text), showing the scoring page; with `displaysWritten`, that many
// score displays written and arranged, as after an "XX".
std::unique_ptr<TestStation> startStation(const QRect &screen, int displaysWritten = 0)
{
    auto s = std::make_unique<TestStation>(screen);
    s->fakes.power->percent = 255;
    if (!s->start())
        return nullptr;
    s->form->SelectPage(1);
    if (displaysWritten > 0) {
        s->form->state.ScoreDisplaysWritten = displaysWritten;
        ArrangeScoreDisplays(*s->form);
    }
    return s;
}

QList<int> displayLefts(TMainForm &form, int count)
{
    QList<int> lefts;
    for (int i = 0; i < count; ++i)
        lefts << form.scoringView().scoreDisplays()[i]->x();
    return lefts;
}

int shownDisplays(TMainForm &form)
{
    int shown = 0;
    for (TLedTextLabel *d : form.scoringView().scoreDisplays())
        shown += d->isHidden() ? 0 : 1;
    return shown;
}

DockLayout::Dock dockIn(QWidget *parent, QWidget *w)
{
    return dockLayoutOf(parent)->dockOf(w);
}

} // namespace

class TestLayout : public QObject
{
    Q_OBJECT

private slots:
    void workedArrangement_data();
    void workedArrangement();
    void displays_data();
    void displays();
    void fewerJudgesHideTheRest();
    void orientationFollowsTheScreen_data();
    void orientationFollowsTheScreen();
    void resolutionChangeRearrangesEverything();
    void windowResizeKeepsArrangementAndDisplays();
    void placementsOnTheWindow_data();
    void placementsOnTheWindow();
    void noDisplayWithoutAScore();

    void fittedText();
    void fittedTextImpossibleEndsAtFloor();
    void fittedTextIsPlain();
    void fittedSizeIsTheFirstThatFitsGoingDown_data();
    void fittedSizeIsTheFirstThatFitsGoingDown();

    void battery_data();
    void battery();
};

void TestLayout::workedArrangement_data()
{
    addColumns<QRect, QSize, int, QList<int>, QList<int>, QPoint, int>(
        "screen", "keypad", "key", "columns", "rows", "send", "fifth");
    QTest::addColumn<QList<int>>("headerWidths");  // event, athlete, club, dive description

    QTest::newRow("landscape 1218x805") << kLandscape << QSize(997, 633) << 105 << QList<int>{320, 446, 572}
                                        << QList<int>{75, 201, 327, 453} << QPoint(8, 216) << 199
                                        << QList<int>{848, 608, 320, 758};
    QTest::newRow("portrait 768x1024") << kPortrait << QSize(758, 722) << 120 << QList<int>{175, 319, 463}
                                       << QList<int>{85, 229, 373, 517} << QPoint(286, 8) << 151
                                       << QList<int>{398, 298, 180, 308};
}

void TestLayout::workedArrangement()
{
    QFETCH(QRect, screen);
    QFETCH(QSize, keypad);
    QFETCH(int, key);
    QFETCH(QList<int>, columns);
    QFETCH(QList<int>, rows);
    QFETCH(QPoint, send);
    QFETCH(int, fifth);
    QFETCH(QList<int>, headerWidths);

    auto s = startStation(screen);
    QVERIFY(s);
    TMainForm &f = *s->form;
    QCOMPARE(f.size(), screen.size());
    QCOMPARE(element<Panel>(f, "PanelKeypad")->geometry(), QRect(QPoint(0, 0), keypad));

    static const int values[4][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}, {0, -1, 10}};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            const int v = values[r][c];
            QWidget *k = v < 0 ? static_cast<QWidget *>(element<PictureButton>(f, "INDSCOREClear"))
                               : element<PictureButton>(f, qPrintable(QStringLiteral("INDSCORE%1").arg(v)));
            QCOMPARE(k->geometry(), QRect(columns[c], rows[r], key, key));
        }
    }
    QCOMPARE(element<PictureButton>(f, "ButtonSendScore")->geometry(), QRect(send, QSize(195, 114)));
    QCOMPARE(element<Panel>(f, "ScoreConfirmMain")->size(), keypad);  // covers exactly the keypad area
    QCOMPARE(element<PictureButton>(f, "ScoreConfirmDecline")->geometry(), QRect(fifth, 6, fifth, 73));
    QCOMPARE(element<PictureButton>(f, "ScoreConfirmAccept")->geometry(), QRect(3 * fifth, 6, fifth, 73));
    QCOMPARE(element<PictureButton>(f, "ButtonHome3")->pos(), QPoint(16, 12));
    QCOMPARE(element<PictureButton>(f, "ButtonHome2")->pos(), QPoint(16, 12));
    const QList<int> widths{element<QLabel>(f, "LabelEvent")->width(), element<QLabel>(f, "LabelAthlete")->width(), element<QLabel>(f, "LabelClub")->width(),
                            element<QLabel>(f, "LabelDiveDescription")->width()};
    QCOMPARE(widths, headerWidths);
    QCOMPARE(element<QLabel>(f, "LabelINDMessage")->geometry().bottom(),
             element<Panel>(f, "PanelIND")->height() - 1);  // still bottom-most
}

void TestLayout::displays_data()
{
    addColumns<QRect, int, QList<int>, int>("screen", "judges", "lefts", "top");

    QTest::newRow("landscape, 11") << kLandscape << 11
                                   << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900} << 605;
    QTest::newRow("landscape, 9") << kLandscape << 9 << QList<int>{22, 118, 242, 338, 460, 575, 675, 775, 890} << 605;
    QTest::newRow("landscape, 5") << kLandscape << 5 << QList<int>{59, 258, 457, 656, 855} << 605;
    // Eight and ten judges are evenly spaced, each display centred in its slot.
    QTest::newRow("landscape, 8") << kLandscape << 8 << QList<int>{22, 146, 270, 394, 518, 642, 766, 890} << 605;
    QTest::newRow("landscape, 10") << kLandscape << 10
                                   << QList<int>{9, 108, 207, 306, 405, 504, 603, 702, 801, 900} << 605;
    // Too narrow for eleven at 80: condensed to 64, every one whole.
    QTest::newRow("portrait, 11") << kPortrait << 11
                                  << QList<int>{4, 70, 136, 208, 274, 340, 412, 479, 546, 613, 680} << 694;
    // Counts out of range: none shown below 1; above 11 the full panel of eleven.
    QTest::newRow("landscape, 0") << kLandscape << 0 << QList<int>{} << 605;
    QTest::newRow("landscape, -4") << kLandscape << -4 << QList<int>{} << 605;
    QTest::newRow("landscape, 12") << kLandscape << 12
                                   << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900} << 605;
    QTest::newRow("landscape, 2147483647") << kLandscape << 2147483647
                                           << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900} << 605;
}

void TestLayout::displays()
{
    QFETCH(QRect, screen);
    QFETCH(int, judges);
    QFETCH(QList<int>, lefts);
    QFETCH(int, top);

    auto s = startStation(screen);
    QVERIFY(s);
    TMainForm &f = *s->form;
    f.state.JudgeCount = judges;
    f.state.ScoreDisplaysWritten = 11;  // as after an "XX" for a full panel
    ArrangeScoreDisplays(f);
    QCOMPARE(f.state.JudgeCount, judges);  // the count itself is kept as received
    QCOMPARE(shownDisplays(f), int(lefts.size()));
    QCOMPARE(displayLefts(f, int(lefts.size())), lefts);
    for (int i = 0; i < lefts.size(); ++i) {
        QCOMPARE(f.scoringView().scoreDisplays()[i]->y(), top);
        QVERIFY(f.scoringView().scoreDisplays()[i]->isVisible());
    }
}

void TestLayout::fewerJudgesHideTheRest()
{
    auto s = startStation(kLandscape, 11);
    QVERIFY(s);
    TMainForm &f = *s->form;
    QCOMPARE(shownDisplays(f), 11);
    f.state.JudgeCount = 5;
    ArrangeScoreDisplays(f);
    QCOMPARE(shownDisplays(f), 5);
    QCOMPARE(displayLefts(f, 5), (QList<int>{59, 258, 457, 656, 855}));
    for (int i = 5; i < 11; ++i)
        QVERIFY(f.scoringView().scoreDisplays()[i]->isHidden());

    // Hidden with the keypad while the confirmation panel is shown.
    element<Panel>(f, "PanelKeypad")->hide();
    QVERIFY(!f.scoringView().scoreDisplays()[0]->isVisible());
    element<Panel>(f, "PanelKeypad")->show();
    QVERIFY(f.scoringView().scoreDisplays()[0]->isVisible());
}

void TestLayout::orientationFollowsTheScreen_data()
{
    addColumns<QRect, bool>("screen", "landscape");
    QTest::newRow("1920x1080") << QRect(0, 0, 1920, 1080) << true;
    QTest::newRow("1080x1920") << QRect(0, 0, 1080, 1920) << false;
    QTest::newRow("1024x1024 (square)") << QRect(0, 0, 1024, 1024) << false;
}

void TestLayout::orientationFollowsTheScreen()
{
    QFETCH(QRect, screen);
    QFETCH(bool, landscape);

    auto s = startStation(screen);
    QVERIFY(s);
    TMainForm &f = *s->form;
    const DockLayout *right = dockLayoutOf(element<Panel>(f, "PanelRight"));
    if (landscape) {
        QCOMPARE(dockIn(element<Panel>(f, "PanelIND"), element<Panel>(f, "PanelRight")), DockLayout::Right);
        QCOMPARE(element<Panel>(f, "PanelRight")->width(), 211);
        QCOMPARE(right->dockOf(element<Panel>(f, "PanelRightScore")), DockLayout::Top);
        QCOMPARE(element<Panel>(f, "PanelRightScore")->height(), 127);
        QCOMPARE(right->dockOf(element<Panel>(f, "PanelJudgeAssignment")), DockLayout::Bottom);
        QCOMPARE(element<Panel>(f, "PanelJudgeAssignment")->height(), 130);
        QCOMPARE(element<QLabel>(f, "LabelClub")->width(), 320);
    } else {
        QCOMPARE(dockIn(element<Panel>(f, "PanelIND"), element<Panel>(f, "PanelRight")), DockLayout::Bottom);
        QCOMPARE(element<Panel>(f, "PanelRight")->height(), 130);
        QCOMPARE(element<Panel>(f, "PanelRight")->geometry().bottom() + 1, element<QLabel>(f, "LabelINDMessage")->y());
        QCOMPARE(right->dockOf(element<Panel>(f, "PanelRightScore")), DockLayout::Left);
        QCOMPARE(element<Panel>(f, "PanelRightScore")->width(), 207);
        QCOMPARE(right->dockOf(element<Panel>(f, "PanelJudgeAssignment")), DockLayout::Right);
        QCOMPARE(element<Panel>(f, "PanelJudgeAssignment")->width(), 207);
        QCOMPARE(element<QLabel>(f, "LabelClub")->width(), element<QLabel>(f, "LabelPower")->width());
    }
}

void TestLayout::resolutionChangeRearrangesEverything()
{
    auto s = startStation(kLandscape, 11);
    QVERIFY(s);
    TMainForm &f = *s->form;

    // Turned to portrait: the column, the keypad and the displays, at once.
    s->fakes.screen->setGeometry(kPortrait);
    QCOMPARE(f.size(), kPortrait.size());
    QCOMPARE(dockIn(element<Panel>(f, "PanelIND"), element<Panel>(f, "PanelRight")), DockLayout::Bottom);
    QCOMPARE(element<Panel>(f, "PanelRight")->geometry(), QRect(0, 722, 758, 130));
    QCOMPARE(element<Panel>(f, "PanelKeypad")->geometry(), QRect(0, 0, 758, 722));
    QCOMPARE(element<PictureButton>(f, "INDSCORE7")->geometry(), QRect(175, 85, 120, 120));
    QCOMPARE(element<PictureButton>(f, "ButtonSendScore")->pos(), QPoint(286, 8));
    QCOMPARE(displayLefts(f, 11), (QList<int>{4, 70, 136, 208, 274, 340, 412, 479, 546, 613, 680}));
    QCOMPARE(f.scoringView().scoreDisplays()[0]->y(), 694);
    QCOMPARE(element<QLabel>(f, "LabelClub")->width(), 180);

    // And back.
    s->fakes.screen->setGeometry(kLandscape);
    QCOMPARE(dockIn(element<Panel>(f, "PanelIND"), element<Panel>(f, "PanelRight")), DockLayout::Right);
    QCOMPARE(element<Panel>(f, "PanelKeypad")->geometry(), QRect(0, 0, 997, 633));
    QCOMPARE(displayLefts(f, 11), (QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900}));
    QCOMPARE(element<QLabel>(f, "LabelClub")->width(), 320);
}

void TestLayout::windowResizeKeepsArrangementAndDisplays()
{
    auto s = startStation(kLandscape, 11);
    QVERIFY(s);
    TMainForm &f = *s->form;
    const QList<int> lefts = displayLefts(f, 11);
    const QString athlete = QStringLiteral(" Athlete Name That Is Rather Long");
    SetFittedText(element<QLabel>(f, "LabelAthlete"), athlete);
    // (The size that fits depends on the system's fonts: 29 with Debian's.)
    const int wide = element<QLabel>(f, "LabelAthlete")->font().pixelSize();
    QCOMPARE(wide, pointsToPixels(fittedPointSize(athlete, element<QLabel>(f, "LabelAthlete")->width())));

    // A window taller than wide, on a landscape screen: the arrangement stays landscape.
    f.resize(700, 1000);
    QTRY_COMPARE(element<Panel>(f, "PanelIND")->size(), QSize(690, 845));
    QCOMPARE(dockIn(element<Panel>(f, "PanelIND"), element<Panel>(f, "PanelRight")), DockLayout::Right);
    QCOMPARE(element<Panel>(f, "PanelKeypad")->geometry(), QRect(0, 0, 690 - 211, 845 - 17));
    const layout::KeypadGrid grid = layout::keypadGrid(479, 828);
    QCOMPARE(element<PictureButton>(f, "INDSCORE0")->geometry(), grid.keyRect(0, 3));
    QCOMPARE(element<PictureButton>(f, "ButtonSendScore")->pos(), QPoint(8, (1000 - 114) / 2 - 3 * 43));
    QCOMPARE(element<PictureButton>(f, "ScoreConfirmAccept")->x(), 3 * (479 / 5));
    // The header texts are fitted again...
    QCOMPARE(element<QLabel>(f, "LabelAthlete")->width(), 690 - 100 - 320 - 180);
    QCOMPARE(element<QLabel>(f, "LabelAthlete")->font().pixelSize(), pointsToPixels(fittedPointSize(athlete, 90)));
    QVERIFY(element<QLabel>(f, "LabelAthlete")->font().pixelSize() < wide);
    QCOMPARE(element<QLabel>(f, "LabelAthlete")->text(), athlete);
    // ...but the displays stay where they were.
    QCOMPARE(displayLefts(f, 11), lefts);
    QCOMPARE(f.scoringView().scoreDisplays()[0]->y(), 605);
}

// The window follows the placement rules, and the scoreboard, once shown, is seen: on the
// page, and the element found at each of its corners is the scoreboard itself.
void TestLayout::placementsOnTheWindow_data()
{
    QTest::addColumn<QRect>("screen");
    QTest::newRow("1024x600") << QRect(0, 0, 1024, 600);
    QTest::newRow("1218x805") << kLandscape;
    QTest::newRow("800x1280") << QRect(0, 0, 800, 1280);
}

void TestLayout::placementsOnTheWindow()
{
    QFETCH(QRect, screen);
    auto s = startStation(screen, 11);
    QVERIFY(s);
    TMainForm &f = *s->form;
    element<Panel>(f, "PanelScoreboard")->show();
    const layout::PageGeometry g = layout::pageGeometry(screen.size(), 11);

    QCOMPARE(element<PictureButton>(f, "ButtonSendScore")->geometry(), g.send);
    QCOMPARE(element<Panel>(f, "PanelScoreboard")->parentWidget(),
             g.scoreboard.inKeypad ? static_cast<QWidget *>(element<Panel>(f, "PanelKeypad"))
                                   : element<Panel>(f, "PanelRight"));
    QCOMPARE(element<Panel>(f, "PanelScoreboard")->geometry(), g.scoreboard.rect);
    for (int i = 0; i < 11; ++i)
        QCOMPARE(f.scoringView().scoreDisplays()[i]->geometry(), g.displays[i]);

    QVERIFY(element<Panel>(f, "PanelScoreboard")->isVisible());
    const QRect board(element<Panel>(f, "PanelScoreboard")->mapTo(&f, QPoint(0, 0)),
                      element<Panel>(f, "PanelScoreboard")->size());
    QVERIFY(f._Notebook->geometry().contains(board));
    for (const QPoint &corner : {board.topLeft(), board.topRight(), board.bottomLeft(), board.bottomRight()}) {
        QWidget *at = f.childAt(corner);
        QVERIFY(at == element<Panel>(f, "PanelScoreboard") || element<Panel>(f, "PanelScoreboard")->isAncestorOf(at));
    }
    // A turn and back places it again.
    s->fakes.screen->setGeometry(QRect(0, 0, screen.height(), screen.width()));
    s->fakes.screen->setGeometry(screen);
    QCOMPARE(element<Panel>(f, "PanelScoreboard")->geometry(), g.scoreboard.rect);
    QVERIFY(element<Panel>(f, "PanelScoreboard")->isVisible());
}

// Displays show only the scores an "XX" wrote: hidden through a turn before any, and after an
// "EI" that raised the judge count, only those written before.
void TestLayout::noDisplayWithoutAScore()
{
    auto s = startStation(kLandscape);
    QVERIFY(s);
    TMainForm &f = *s->form;
    s->fakes.screen->setGeometry(kPortrait);
    s->fakes.screen->setGeometry(kLandscape);
    QCOMPARE(shownDisplays(f), 0);

    f.state.JudgeCount = 5;
    HandleXX(f.state, f, f.scoringView(), "#6.5^7.0^7.5^8.0^6.0^");
    QCOMPARE(shownDisplays(f), 5);
    f.state.JudgeCount = 11;  // as an "EI" sets it
    s->fakes.screen->setGeometry(kPortrait);
    QCOMPARE(shownDisplays(f), 5);
    for (int i = 5; i < 11; ++i)
        QVERIFY(f.scoringView().scoreDisplays()[i]->isHidden());
}

void TestLayout::fittedText()
{
    QLabel label;
    label.setFont(designFont(QStringLiteral("Verdana"), 29, true));
    const QString text = QStringLiteral("   Team Name");
    const int full = fittedTextWidth(text + QLatin1Char(' '), 22);

    // Exactly as wide as the text and its blank: it fits, at 22 points.
    label.resize(full, 43);
    SetFittedText(&label, text);
    QCOMPARE(label.font().pixelSize(), 29);
    QCOMPARE(label.text(), text);

    // Half as wide: smaller, the largest size that fits.
    label.resize(full / 2, 43);
    SetFittedText(&label, text);
    const int points = fittedPointSize(text, full / 2);
    QVERIFY(points < 22);
    QVERIFY(fittedTextWidth(text + QLatin1Char(' '), points) <= full / 2);
    QVERIFY(fittedTextWidth(text + QLatin1Char(' '), points + 1) > full / 2);
    QCOMPARE(label.font().pixelSize(), pointsToPixels(points));
    QCOMPARE(label.font().family(), designFont(QStringLiteral("Verdana"), 29, true).family());
    QVERIFY(label.font().bold());

    // Wide again: back to 22 points. One pixel short of fitting: smaller.
    label.resize(full, 43);
    SetFittedText(&label, text);
    QCOMPARE(label.font().pixelSize(), 29);
    label.resize(full - 1, 43);
    SetFittedText(&label, text);
    QVERIFY(label.font().pixelSize() < 29);

    // An empty text is shown at the design size.
    label.resize(608, 43);
    SetFittedText(&label, QString());
    QCOMPARE(label.font().pixelSize(), 29);
    QCOMPARE(label.text(), QString());
}

void TestLayout::fittedTextImpossibleEndsAtFloor()
{
    QLabel label;
    label.setFont(designFont(QStringLiteral("Verdana"), 29, true));
    label.resize(1, 43);
    SetFittedText(&label, QString(300, QLatin1Char('W')));
    QCOMPARE(label.font().pixelSize(), pointsToPixels(layout::kFittedTextFloorPoints));
    label.resize(0, 43);
    SetFittedText(&label, QStringLiteral(" x"));
    QCOMPARE(label.font().pixelSize(), pointsToPixels(layout::kFittedTextFloorPoints));
}

void TestLayout::fittedTextIsPlain()
{
    QLabel label;
    label.resize(608, 43);
    SetFittedText(&label, QStringLiteral("<img src=x><b>Team</b>"));
    QCOMPARE(label.textFormat(), Qt::PlainText);
    QCOMPARE(label.text(), QStringLiteral("<img src=x><b>Team</b>"));
}

void TestLayout::battery_data()
{
    addColumns<bool, int>("succeeds", "percent");
    QTest::addColumn<QString>("shown");  // after a first reading of 87 %

    QTest::newRow("0") << true << 0 << QStringLiteral("0 %");
    QTest::newRow("100") << true << 100 << QStringLiteral("100 %");
    QTest::newRow("255") << true << 255 << QStringLiteral("??");
    QTest::newRow("150 keeps") << true << 150 << QStringLiteral("87 %");
    QTest::newRow("101 keeps") << true << 101 << QStringLiteral("87 %");
    QTest::newRow("254 keeps") << true << 254 << QStringLiteral("87 %");
    QTest::newRow("failing keeps") << false << 50 << QStringLiteral("87 %");
}

void TestLayout::battery()
{
    QFETCH(bool, succeeds);
    QFETCH(int, percent);
    QFETCH(QString, shown);

    TestStation s;
    FakePowerStatus &power = *s.fakes.power;
    TMainForm &f = *s.form;
    QCOMPARE(element<QLabel>(f, "LabelPower")->text(), QStringLiteral("Power"));
    QCOMPARE(f.TimerPowerMeter->interval(), 10000);
    power.percent = 87;
    TimerPowerMeterTimer(f);
    QCOMPARE(element<QLabel>(f, "LabelPower")->text(), QStringLiteral("87 %"));

    power.ok = succeeds;
    power.percent = percent;
    TimerPowerMeterTimer(f);
    QCOMPARE(power.queries, 2);
    QCOMPARE(element<QLabel>(f, "LabelPower")->text(), shown);
    QCOMPARE(f.state.BatteryText, shown);
}

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"

void TestLayout::fittedSizeIsTheFirstThatFitsGoingDown_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one letter") << "W";
    QTest::newRow("name") << " Anna Meyer";
    QTest::newRow("pair") << " Anna Meyer / Lena Roth-Schneider";
    QTest::newRow("description") << " Forward 4 1/2 somersaults tuck from a handstand, armstand group";
    QTest::newRow("narrow glyphs") << " iiiiiiiiiiiiiiiiiiiiiiiiiiiiiiiii";
    QTest::newRow("latin-1") << QString::fromLatin1(" J\xf6rg M\xfcller-\xc5str\xf6m");
}

// The size search agrees with stepping down one point at a time from 22, for every width.
void TestLayout::fittedSizeIsTheFirstThatFitsGoingDown()
{
    QFETCH(QString, text);
    const QString measured = text + QLatin1Char(' ');
    for (int width = 0; width <= 1300; width += 3) {
        int points = 22;
        while (points > 6 && fittedTextWidth(measured, points) > width)
            --points;
        QCOMPARE(fittedPointSize(text, width), points);
    }
}
