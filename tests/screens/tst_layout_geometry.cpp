// The layout arithmetic without widgets: keypad grid, display groupings, buttons, bounds.

#include "screens/LayoutGeometry.h"

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
    void batteryText_data();
    void batteryText();
};

void TestLayoutGeometry::keypad_data()
{
    QTest::addColumn<QSize>("area");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("gap");
    QTest::addColumn<QPoint>("firstKey");
    QTest::addColumn<QPoint>("lastKey");

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
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("judges");
    QTest::addColumn<QList<int>>("lefts");

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
