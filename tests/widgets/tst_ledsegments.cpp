// The sixteen-segment cell as plain functions: rounding, outlines, the character table, the
// integer style's text. How a label draws them is tst_ledtextlabel's.
#include "widgets/LedSegments.h"
#include "DataColumns.h"

#include <QtTest>

#include <climits>

namespace {

using Points = QList<QPoint>;

Points pts(std::initializer_list<int> xy)
{
    Points out;
    for (auto it = xy.begin(); it != xy.end(); it += 2)
        out << QPoint(*it, *(it + 1));
    return out;
}

Points toPoints(const led::Outline &o)
{
    return Points(o.points.begin(), o.points.end());
}

quint16 maskOf(std::initializer_list<int> segments)
{
    quint16 m = 0;
    for (int s : segments)
        m |= quint16(1u << s);
    return m;
}

} // namespace

class TestLedSegments : public QObject
{
    Q_OBJECT
private slots:
    void halfToEven_data();
    void halfToEven();
    void outlinesStationSize_data();
    void outlinesStationSize();
    void outlinesOtherSizes_data();
    void outlinesOtherSizes();
    void diagonalWithoutRunHasNoOutline();
    void masks_data();
    void masks();
    void lowerCaseAsCapitals();
    void integerText_data();
    void integerText();
};

void TestLedSegments::halfToEven_data()
{
    addColumns<int, int>("twice", "expected");
    QTest::newRow("0.5") << 1 << 0;
    QTest::newRow("1") << 2 << 1;
    QTest::newRow("1.5") << 3 << 2;
    QTest::newRow("2.5") << 5 << 2;
    QTest::newRow("3.5") << 7 << 4;
    QTest::newRow("4.5") << 9 << 4;
    QTest::newRow("-0.5") << -1 << 0;
    QTest::newRow("-1") << -2 << -1;
    QTest::newRow("-1.5") << -3 << -2;
    QTest::newRow("-2.5") << -5 << -2;
}

void TestLedSegments::halfToEven()
{
    QFETCH(int, twice);
    QFETCH(int, expected);
    QCOMPARE(led::halfToEven(twice), expected);
}

void TestLedSegments::outlinesStationSize_data()
{
    addColumns<int, Points>("segment", "expected");
    QTest::newRow("0 top bar") << 0 << pts({4, 3, 5, 2, 14, 2, 15, 3, 14, 4, 5, 4});
    QTest::newRow("1 upper left") << 1 << pts({3, 4, 4, 5, 4, 12, 3, 13, 2, 12, 2, 5});
    QTest::newRow("2 upper right") << 2 << pts({16, 4, 17, 5, 17, 12, 16, 13, 15, 12, 15, 5});
    QTest::newRow("3 middle") << 3 << pts({4, 14, 5, 13, 14, 13, 15, 14, 14, 15, 5, 15});
    QTest::newRow("4 lower left") << 4 << pts({3, 15, 4, 16, 4, 23, 3, 24, 2, 23, 2, 16});
    QTest::newRow("5 lower right") << 5 << pts({16, 15, 17, 16, 17, 23, 16, 24, 15, 23, 15, 16});
    QTest::newRow("6 bottom") << 6 << pts({4, 25, 5, 24, 14, 24, 15, 25, 14, 26, 5, 26});
    QTest::newRow("7 upper centre") << 7 << pts({9, 4, 10, 5, 10, 12, 9, 13, 8, 12, 8, 5});
    QTest::newRow("8 lower centre") << 8 << pts({9, 15, 10, 16, 10, 23, 9, 24, 8, 23, 8, 16});
    QTest::newRow("9 upper left diag") << 9 << pts({7, 11, 6, 11, 5, 7, 5, 6, 6, 6, 7, 10});
    QTest::newRow("10 upper right diag") << 10 << pts({11, 11, 12, 11, 13, 7, 13, 6, 12, 6, 11, 10});
    QTest::newRow("11 lower left diag") << 11 << pts({7, 17, 6, 17, 5, 21, 5, 22, 6, 22, 7, 18});
    QTest::newRow("12 lower right diag") << 12 << pts({11, 17, 12, 17, 13, 21, 13, 22, 12, 22, 11, 18});
    QTest::newRow("13 centre dot") << 13 << pts({9, 12, 9, 14, 7, 14, 7, 12, 7, 12, 7, 12});
    QTest::newRow("14 top dot") << 14 << pts({9, 1, 9, 3, 7, 3, 7, 1, 7, 1, 7, 1});
    QTest::newRow("15 bottom dot") << 15 << pts({9, 23, 9, 25, 7, 25, 7, 23, 7, 23, 7, 23});
}

void TestLedSegments::outlinesStationSize()
{
    QFETCH(int, segment);
    QFETCH(Points, expected);
    const led::Outlines o = led::segmentOutlines(9, 7, 2);
    QVERIFY(o[segment].present);
    QCOMPARE(toPoints(o[segment]), expected);
    QCOMPARE(led::cellWidth(9, 2), 19);
    QCOMPARE(led::cellHeight(7, 2), 28);
}

// Sizes where e, r and the diagonal offsets a and b are rounded: r = 1.5t and a, b = t/2 with
// halves to the even integer.
void TestLedSegments::outlinesOtherSizes_data()
{
    addColumns<int, int, int, int, Points>("h", "v", "t", "segment", "expected");
    // t = 3: e = 1, m = 10, r = 4 (4.5 down to even), a = b = +-2 (1.5 up to even).
    QTest::newRow("t3 top bar") << 9 << 7 << 3 << 0 << pts({6, 4, 7, 3, 16, 3, 17, 4, 16, 5, 7, 5});
    QTest::newRow("t3 upper right bar") << 9 << 7 << 3 << 2 << pts({19, 6, 20, 7, 20, 14, 19, 15, 18, 14, 18, 7});
    QTest::newRow("t3 upper left diag") << 9 << 7 << 3 << 9 << pts({9, 13, 7, 13, 8, 11, 8, 9, 10, 9, 9, 11});
    QTest::newRow("t3 upper right diag") << 9 << 7 << 3 << 10 << pts({14, 13, 16, 13, 15, 11, 15, 9, 13, 9, 14, 11});
    QTest::newRow("t3 lower right diag") << 9 << 7 << 3 << 12 << pts({14, 22, 16, 22, 15, 24, 15, 26, 13, 26, 14, 24});
    QTest::newRow("t3 centre dot") << 9 << 7 << 3 << 13 << pts({12, 15, 12, 18, 9, 18, 9, 15, 9, 15, 9, 15});
    // t = 1: e = 0 (bars collapse to lines), m = 6, r = 2 (1.5 up to even), a = b = 0 (0.5 down).
    QTest::newRow("t1 top bar") << 9 << 7 << 1 << 0 << pts({2, 1, 2, 1, 11, 1, 11, 1, 11, 1, 2, 1});
    QTest::newRow("t1 upper right diag") << 9 << 7 << 1 << 10 << pts({8, 9, 8, 9, 11, 3, 11, 3, 11, 3, 8, 9});
    QTest::newRow("t1 bottom dot") << 9 << 7 << 1 << 15 << pts({6, 18, 6, 19, 5, 19, 5, 18, 5, 18, 5, 18});
    // t = 5: e = 2, m = 14, r = 8 (7.5 up to even), a = b = +-2 (2.5 down to even); the
    // right-hand diagonal runs left because h div 2 < t.
    QTest::newRow("t5 upper right diag") << 9 << 7 << 5 << 10 << pts({22, 17, 20, 17, 21, 17, 21, 15, 23, 15, 22, 15});
    QTest::newRow("t5 lower left diag") << 9 << 7 << 5 << 11 << pts({12, 32, 14, 32, 13, 32, 13, 34, 11, 34, 12, 34});
    // Even sizes other than the station's: h = 12, v = 10, t = 4: e = 2, m = 14, r = 6.
    QTest::newRow("h12 v10 t4 lower right bar") << 12 << 10 << 4 << 5
                                                << pts({26, 26, 28, 28, 28, 38, 26, 40, 24, 38, 24, 28});
    QTest::newRow("h12 v10 t4 upper right diag") << 12 << 10 << 4 << 10
                                                 << pts({20, 18, 22, 18, 22, 14, 22, 12, 20, 12, 20, 16});
}

void TestLedSegments::outlinesOtherSizes()
{
    QFETCH(int, h);
    QFETCH(int, v);
    QFETCH(int, t);
    QFETCH(int, segment);
    QFETCH(Points, expected);
    const led::Outlines o = led::segmentOutlines(h, v, t);
    QVERIFY(o[segment].present);
    QCOMPARE(toPoints(o[segment]), expected);
}

void TestLedSegments::diagonalWithoutRunHasNoOutline()
{
    // h div 2 = t: the diagonals have no run.
    const led::Outlines o = led::segmentOutlines(4, 7, 2);
    for (int s = 9; s <= 12; ++s)
        QVERIFY2(!o[s].present, qPrintable(QString::number(s)));
    for (int s : {0, 1, 2, 3, 4, 5, 6, 7, 8, 13, 14, 15})
        QVERIFY(o[s].present);
}

void TestLedSegments::masks_data()
{
    addColumns<uint, quint16>("code", "mask");
    QTest::addColumn<quint16>("segments");  // the same mask written as its lit segments

    struct Row {
        const char *chars;
        quint16 mask;
        std::initializer_list<int> lit;
    };
    const Row rows[] = {
        {"0", 0x1277, {0, 1, 2, 4, 5, 6, 9, 12}}, {"1Ii", 0x0180, {7, 8}},
        {"2", 0x005D, {0, 2, 3, 4, 6}},           {"3", 0x006D, {0, 2, 3, 5, 6}},
        {"4", 0x002E, {1, 2, 3, 5}},              {"5Ss", 0x006B, {0, 1, 3, 5, 6}},
        {"6Gg", 0x007B, {0, 1, 3, 4, 5, 6}},      {"7", 0x0025, {0, 2, 5}},
        {"8", 0x007F, {0, 1, 2, 3, 4, 5, 6}},     {"9", 0x006F, {0, 1, 2, 3, 5, 6}},
        {"Aa", 0x003F, {0, 1, 2, 3, 4, 5}},       {"Bb", 0x01ED, {0, 2, 3, 5, 6, 7, 8}},
        {"Cc[", 0x0053, {0, 1, 4, 6}},            {"Dd", 0x01E5, {0, 2, 5, 6, 7, 8}},
        {"Ee", 0x005B, {0, 1, 3, 4, 6}},          {"Ff", 0x001B, {0, 1, 3, 4}},
        {"Hh", 0x003E, {1, 2, 3, 4, 5}},          {"Jj", 0x0074, {2, 4, 5, 6}},
        {"Kk", 0x141A, {1, 3, 4, 10, 12}},        {"Ll", 0x0052, {1, 4, 6}},
        {"Mm", 0x0636, {1, 2, 4, 5, 9, 10}},      {"Nn", 0x1236, {1, 2, 4, 5, 9, 12}},
        {"Oo", 0x0077, {0, 1, 2, 4, 5, 6}},       {"Pp", 0x001F, {0, 1, 2, 3, 4}},
        {"Qq", 0x1077, {0, 1, 2, 4, 5, 6, 12}},   {"Rr", 0x101F, {0, 1, 2, 3, 4, 12}},
        {"Tt", 0x0181, {0, 7, 8}},                {"Uu", 0x0076, {1, 2, 4, 5, 6}},
        {"Vv", 0x0C12, {1, 4, 10, 11}},           {"Ww", 0x1836, {1, 2, 4, 5, 11, 12}},
        {"Xx", 0x1E00, {9, 10, 11, 12}},          {"Yy", 0x0700, {8, 9, 10}},
        {"Zz", 0x0C41, {0, 6, 10, 11}},           {"-", 0x0008, {3}},
        {"_", 0x0040, {6}},                       {"=", 0x0048, {3, 6}},
        {"+", 0x0188, {3, 7, 8}},                 {"*", 0x1F80, {7, 8, 9, 10, 11, 12}},
        {"/", 0x0C00, {10, 11}},                  {"\\", 0x1200, {9, 12}},
        {"(<", 0x1400, {10, 12}},                 {")>", 0x0A00, {9, 11}},
        {"]", 0x0065, {0, 2, 5, 6}},              {".", 0x8000, {15}},
        {":", 0xA000, {13, 15}},                  {"\"", 0x0082, {1, 7}},
        {"'", 0x0080, {7}},
        // Unlisted: blank and punctuation, "@", "^", the grave accent, and every code from 123.
        {" !#$%&,;?@^`", 0x0000, {}},
    };
    for (const Row &r : rows)
        for (const char *c = r.chars; *c; ++c)
            QTest::addRow("%c (%d)", *c, int(static_cast<unsigned char>(*c)))
                << uint(static_cast<unsigned char>(*c)) << r.mask << maskOf(r.lit);
    for (uint code : {0x7Bu, 0x7Cu, 0x7Eu, 0x7Fu, 0x80u, 0xA0u, 0xC9u, 0xE9u, 0xFFu, 0x100u, 0x20ACu})
        QTest::addRow("code %u", code) << code << quint16(0) << quint16(0);
}

void TestLedSegments::masks()
{
    QFETCH(uint, code);
    QFETCH(quint16, mask);
    QFETCH(quint16, segments);
    QCOMPARE(mask, segments);
    QCOMPARE(led::segmentsForChar(code), mask);
}

void TestLedSegments::lowerCaseAsCapitals()
{
    for (uint c = 'a'; c <= 'z'; ++c)
        QCOMPARE(led::segmentsForChar(c), led::segmentsForChar(c - 'a' + 'A'));
    // Only the letters: the neighbours of the lower-case range keep their own masks.
    QCOMPARE(led::segmentsForChar('{'), quint16(0));
    QCOMPARE(led::segmentsForChar('['), quint16(0x0053));
}

void TestLedSegments::integerText_data()
{
    addColumns<int, int, QString>("value", "digits", "text");
    QTest::newRow("7 in 3") << 7 << 3 << QStringLiteral("007");
    QTest::newRow("1234 in 3") << 1234 << 3 << QStringLiteral("---");
    QTest::newRow("123 in 3") << 123 << 3 << QStringLiteral("123");
    QTest::newRow("0 in 2 (defaults)") << 0 << 2 << QStringLiteral("00");
    QTest::newRow("10 in 1") << 10 << 1 << QStringLiteral("-");
    QTest::newRow("-7 in 3") << -7 << 3 << QStringLiteral("-07");
    QTest::newRow("-7 in 2") << -7 << 2 << QStringLiteral("-7");
    QTest::newRow("-70 in 2") << -70 << 2 << QStringLiteral("--");
    QTest::newRow("lowest in 11") << INT_MIN << 11 << QStringLiteral("-2147483648");
    QTest::newRow("highest in 12") << INT_MAX << 12 << QStringLiteral("002147483647");
}

void TestLedSegments::integerText()
{
    QFETCH(int, value);
    QFETCH(int, digits);
    QFETCH(QString, text);
    QCOMPARE(led::integerText(value, digits), text);
}

QTEST_GUILESS_MAIN(TestLedSegments)
#include "tst_ledsegments.moc"
