// The layout arithmetic without widgets: keypad grid, display groupings, buttons, bounds.

#include "screens/LayoutGeometry.h"
#include "DataColumns.h"

#include <QtTest>

Q_DECLARE_METATYPE(QList<int>)

class TestLayoutGeometry : public QObject
{
    Q_OBJECT

private slots:
    void keypad_data();
    void keypad();
    void displayLefts_data();
    void displayLefts();
    void placesOfButtons();
    void pageAtEachSize_data();
    void pageAtEachSize();
    void condensedDisplays_data();
    void condensedDisplays();
    void nearestClearPlace();
    void batteryText_data();
    void batteryText();
};

void TestLayoutGeometry::keypad_data()
{
    addColumns<QSize, int, int, QPoint, QPoint>("area", "key", "gap", "firstKey", "lastKey");

    QTest::newRow("landscape 997x633") << QSize(997, 633) << 105 << 21 << QPoint(320, 75) << QPoint(572, 453);
    QTest::newRow("portrait 758x722") << QSize(758, 722) << 120 << 24 << QPoint(175, 85) << QPoint(463, 517);
    // The key comes from the width (200), the gap from the height (44): neither key div 4
    // (50) nor key div 5 (40).
    QTest::newRow("gap from the other side") << QSize(800, 1320) << 200 << 44 << QPoint(56, 194)
                                             << QPoint(544, 926);
    QTest::newRow("empty") << QSize(0, 0) << 0 << 0 << QPoint(0, 0) << QPoint(0, 0);
    QTest::newRow("negative") << QSize(-50, -8) << 0 << 0 << QPoint(0, 0) << QPoint(0, 0);
}

void TestLayoutGeometry::keypad()
{
    QFETCH(QSize, area);
    QFETCH(int, key);
    QFETCH(int, gap);
    QFETCH(QPoint, firstKey);
    QFETCH(QPoint, lastKey);

    const layout::KeypadGrid g = layout::keypadGrid(area.width(), area.height());
    QCOMPARE(g.key, key);
    QCOMPARE(g.gap, gap);
    QCOMPARE(g.keyRect(0, 0), QRect(firstKey, QSize(key, key)));
    QCOMPARE(g.keyRect(2, 3), QRect(lastKey, QSize(key, key)));
    QVERIFY(g.offX >= 0 && g.offY >= 0);
}

void TestLayoutGeometry::displayLefts_data()
{
    addColumns<int, int, QList<int>>("width", "judges", "lefts");

    QTest::newRow("11 in 997") << 997 << 11 << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900};
    QTest::newRow("9 in 997") << 997 << 9 << QList<int>{22, 118, 242, 338, 460, 575, 675, 775, 890};
    QTest::newRow("5 in 997") << 997 << 5 << QList<int>{59, 258, 457, 656, 855};
    QTest::newRow("7 in 997, even") << 997 << 7 << QList<int>{31, 173, 315, 457, 599, 741, 883};
    QTest::newRow("1 in 997") << 997 << 1 << QList<int>{458};
    // m = 5: 2 * (m div 3) is 2, not (2 * m) div 3 = 3.
    QTest::newRow("9 in 810, doubled third") << 810 << 9 << QList<int>{7, 93, 187, 273, 366, 457, 545, 633, 724};
    QTest::newRow("11 in 758, touching") << 758 << 11
                                         << QList<int>{0, 80, 160, 240, 320, 400, 480, 560, 640, 720, 800};
    QTest::newRow("3 in 0, touching") << 0 << 3 << QList<int>{0, 80, 160};
    QTest::newRow("0 judges") << 997 << 0 << QList<int>{};
    QTest::newRow("-1 judges") << 997 << -1 << QList<int>{};
    QTest::newRow("13 judges as 11") << 997 << 13 << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900};
}

void TestLayoutGeometry::displayLefts()
{
    QFETCH(int, width);
    QFETCH(int, judges);
    QFETCH(QList<int>, lefts);
    QCOMPARE(layout::scoreDisplayLefts(width, judges, 80), lefts);
}

void TestLayoutGeometry::placesOfButtons()
{
    QCOMPARE(layout::sendButtonPlace(true, QSize(1218, 805), QSize(195, 114), 43), QPoint(8, 216));
    QCOMPARE(layout::sendButtonPlace(false, QSize(768, 1024), QSize(195, 114), 43), QPoint(286, 8));
    // Truncation toward zero, not down: (100 - 114) div 2 = -7.
    QCOMPARE(layout::sendButtonPlace(true, QSize(100, 100), QSize(195, 114), 0), QPoint(8, -7));
    QCOMPARE(layout::sendButtonPlace(false, QSize(100, 100), QSize(195, 114), 0), QPoint(-47, 8));

    const layout::ConfirmationButtons landscape = layout::confirmationButtons(997);
    QCOMPARE(landscape.declineLeft, 199);
    QCOMPARE(landscape.acceptLeft, 597);
    QCOMPARE(landscape.width, 199);
    QCOMPARE(layout::confirmationButtons(758).acceptLeft, 453);

    QCOMPARE(layout::keypadArea(true, QSize(1208, 650), QSize(211, 633), 17), QRect(0, 0, 997, 633));
    QCOMPARE(layout::keypadArea(false, QSize(758, 869), QSize(758, 130), 17), QRect(0, 0, 758, 722));
    QCOMPARE(layout::keypadArea(true, QSize(100, 10), QSize(211, 0), 17), QRect(0, 0, 0, 0));

    QVERIFY(layout::isLandscapeScreen(QSize(1920, 1080)));
    QVERIFY(!layout::isLandscapeScreen(QSize(1080, 1920)));
    QVERIFY(!layout::isLandscapeScreen(QSize(1024, 1024)));
}

// The page at the screen sizes of judges' laptops and tablets, with eleven judges: the send
// button, the scoreboard (where, and at what scale) and the displays' cells, and nothing that
// must be seen lies on anything else or outside the window.
void TestLayoutGeometry::pageAtEachSize_data()
{
    QTest::addColumn<QSize>("window");
    QTest::addColumn<QPoint>("send");          // in PanelRight
    QTest::addColumn<bool>("boardInKeypad");
    QTest::addColumn<QRect>("board");          // in PanelRight or PanelKeypad
    addColumns<int, int>("percent", "displayCell");

    // Send pushed off the score box (written top 114, the box ends at 129); nothing free below
    // it: the scoreboard beside the keys, right, above the displays.
    QTest::newRow("1024x600") << QSize(1024, 600) << QPoint(8, 137) << true << QRect(631, 239, 172, 153) << 100 << 16;
    // The written place covers Send: below it, in the column.
    QTest::newRow("1218x805") << QSize(1218, 805) << QPoint(8, 216) << false << QRect(24, 338, 172, 153) << 100 << 19;
    QTest::newRow("1280x720") << QSize(1280, 720) << QPoint(8, 174) << true << QRect(887, 256, 172, 153) << 100 << 19;
    QTest::newRow("1280x800") << QSize(1280, 800) << QPoint(8, 214) << false << QRect(24, 336, 172, 153) << 100 << 19;
    // The strip is 130 high, the scoreboard 153: in the keypad area above the keys, beside
    // Home; at 800 x 1280 only 107 are free there, so at 70 %.
    QTest::newRow("800x1280") << QSize(800, 1280) << QPoint(302, 8) << true << QRect(121, 5, 118, 102) << 70 << 15;
    QTest::newRow("1080x1920") << QSize(1080, 1920) << QPoint(442, 8) << true << QRect(121, 34, 172, 153) << 100 << 19;
    // Written places that are clear stay.
    QTest::newRow("2560x1600") << QSize(2560, 1600) << QPoint(8, 614) << false << QRect(24, 256, 172, 153) << 100 << 19;
}

void TestLayoutGeometry::pageAtEachSize()
{
    QFETCH(QSize, window);
    QFETCH(QPoint, send);
    QFETCH(bool, boardInKeypad);
    QFETCH(QRect, board);
    QFETCH(int, percent);
    QFETCH(int, displayCell);

    const layout::PageGeometry g = layout::pageGeometry(window, 11);
    const QPoint right = g.panelInd.topLeft() + g.panelRight.topLeft();
    const QPoint keypad = g.panelInd.topLeft() + g.keypad.topLeft();
    const QRect place = g.scoreboard.rect.translated(g.scoreboard.inKeypad ? keypad : right);
    qInfo("%dx%d: send (%d, %d); scoreboard %s (%d, %d) %dx%d at %d %%, in the window (%d, %d); display cells %d",
          window.width(), window.height(), g.send.x(), g.send.y(), g.scoreboard.inKeypad ? "in the keypad area" : "in the column",
          g.scoreboard.rect.x(), g.scoreboard.rect.y(), g.scoreboard.rect.width(), g.scoreboard.rect.height(),
          g.scoreboard.percent, place.x(), place.y(), g.displayCell);
    QCOMPARE(g.send.topLeft(), send);
    QCOMPARE(g.scoreboard.inKeypad, boardInKeypad);
    QCOMPARE(g.scoreboard.rect, board);
    QCOMPARE(g.scoreboard.percent, percent);
    QVERIFY(g.scoreboard.clear);
    QCOMPARE(g.scoreboard.rect.size(), layout::scoreboardLook(g.scoreboard.percent).size);
    QCOMPARE(g.displayCell, displayCell);
    QCOMPARE(g.displays.size(), 11);

    // Everything that must be seen, in the window's coordinates.
    QList<QPair<QString, QRect>> seen{{"send", g.send.translated(right)},
                                      {"score", g.column.scoreBox.translated(right)},
                                      {"judge", g.column.judgeBox.translated(right)},
                                      {"scoreboard", place},
                                      {"home", layout::kHomeButton.translated(keypad)}};
    for (int i = 0; i < g.displays.size(); ++i)
        seen.append({QStringLiteral("display %1").arg(i + 1), g.displays[i].translated(keypad)});
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            seen.append({QStringLiteral("key %1").arg(layout::keypadValueAt(column, row)), g.keys.keyRect(column, row).translated(keypad)});
    const QRect page = g.panelInd;
    for (int i = 0; i < seen.size(); ++i) {
        QVERIFY2(page.contains(seen[i].second), qPrintable(seen[i].first));
        for (int j = i + 1; j < seen.size(); ++j)
            QVERIFY2(!seen[i].second.intersects(seen[j].second), qPrintable(seen[i].first + " / " + seen[j].first));
    }
}

// A row of displays wider than the keypad area is condensed: every display whole, the groups
// still apart; a row that fits keeps the design width.
void TestLayoutGeometry::condensedDisplays_data()
{
    addColumns<int, int, int, QList<int>>("width", "judges", "cell", "lefts");

    QTest::newRow("11 in 997, design") << 997 << 11 << 19 << QList<int>{10, 95, 180, 280, 365, 450, 550, 637, 725, 813, 900};
    QTest::newRow("11 in 880, design, touching") << 880 << 11 << 19
                                                 << QList<int>{0, 80, 160, 240, 320, 400, 480, 560, 640, 720, 800};
    QTest::newRow("11 in 803 (1024x600)") << 803 << 11 << 16
                                          << QList<int>{4, 75, 146, 223, 294, 365, 442, 514, 586, 658, 730};
    QTest::newRow("11 in 790 (800x1280)") << 790 << 11 << 15
                                          << QList<int>{6, 74, 142, 219, 287, 355, 432, 501, 571, 641, 710};
    QTest::newRow("9 in 700") << 700 << 9 << 17 << QList<int>{3, 78, 157, 232, 310, 387, 464, 541, 618};
    // Narrower than eleven narrowest cells: the displays touch and the last pass the edge.
    QTest::newRow("11 in 400") << 400 << 11 << 11 << QList<int>{0, 48, 96, 144, 192, 240, 288, 336, 384, 432, 480};
}

void TestLayoutGeometry::condensedDisplays()
{
    QFETCH(int, width);
    QFETCH(int, judges);
    QFETCH(int, cell);
    QFETCH(QList<int>, lefts);
    QCOMPARE(layout::scoreDisplayCellWidth(width, judges), cell);
    const int displayWidth = layout::scoreDisplayWidthFor(cell);
    const QList<int> got = layout::scoreDisplayLefts(width, judges, displayWidth);
    QCOMPARE(got, lefts);
    if (cell > layout::kNarrowestDisplayCell) {
        for (int i = 0; i < got.size(); ++i) {
            QVERIFY(got[i] >= 0 && got[i] + displayWidth <= width);
            if (i > 0)
                QVERIFY(got[i] >= got[i - 1] + displayWidth);
        }
    }
}

void TestLayoutGeometry::nearestClearPlace()
{
    const QRect area(0, 0, 300, 200);
    const QList<QRect> obstacles{QRect(100, 0, 100, 200)};  // a wall down the middle
    // The target itself where clear; else the nearest side of the wall, kept 8 off it.
    QCOMPARE(layout::nearestClearPlace(area, obstacles, QSize(50, 50), QPoint(10, 10), 8), QRect(10, 10, 50, 50));
    QCOMPARE(layout::nearestClearPlace(area, obstacles, QSize(50, 50), QPoint(160, 40), 8), QRect(208, 40, 50, 50));
    QCOMPARE(layout::nearestClearPlace(area, obstacles, QSize(50, 50), QPoint(110, 190), 8), QRect(42, 150, 50, 50));
    // Nowhere wide enough.
    QVERIFY(!layout::nearestClearPlace(area, obstacles, QSize(95, 50), QPoint(0, 0), 8));
    QVERIFY(!layout::nearestClearPlace(area, {}, QSize(301, 10), QPoint(0, 0), 8));
}

void TestLayoutGeometry::batteryText_data()
{
    QTest::addColumn<int>("percent");
    QTest::addColumn<QString>("text");  // null: the shown text is kept
    QTest::newRow("0") << 0 << QStringLiteral("0 %");
    QTest::newRow("87") << 87 << QStringLiteral("87 %");
    QTest::newRow("100") << 100 << QStringLiteral("100 %");
    QTest::newRow("101") << 101 << QString();
    QTest::newRow("150") << 150 << QString();
    QTest::newRow("254") << 254 << QString();
    QTest::newRow("255") << 255 << QStringLiteral("??");
    QTest::newRow("-1") << -1 << QString();
    QTest::newRow("256") << 256 << QString();
}

void TestLayoutGeometry::batteryText()
{
    QFETCH(int, percent);
    QFETCH(QString, text);
    const std::optional<QString> got = layout::batteryText(percent);
    QCOMPARE(got.has_value(), !text.isNull());
    if (got)
        QCOMPARE(*got, text);
}

QTEST_APPLESS_MAIN(TestLayoutGeometry)
#include "tst_layout_geometry.moc"
