#include "TestStation.h"

#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"
#include "widgets/DockLayout.h"
#include "widgets/LedSegments.h"
#include "widgets/LedTextLabel.h"
#include "DataColumns.h"

#include <QPainter>
#include <QtTest>

namespace {

const QRgb kBlack = qRgb(0, 0, 0);
const QRgb kLime = qRgb(0, 255, 0);
const QRgb kGreen = qRgb(0, 128, 0);

quint16 maskOf(std::initializer_list<int> segments)
{
    quint16 m = 0;
    for (int s : segments)
        m |= quint16(1u << s);
    return m;
}

QImage render(QWidget &w)
{
    return w.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// One pixel per segment that is lime only when that segment is lit (h 9, v 7, t 2).
const QPoint kProbe[led::SegmentCount] = {
    {12, 3}, {3, 8}, {16, 8}, {12, 14}, {3, 19}, {16, 19}, {12, 25}, {9, 7},
    {9, 19}, {6, 8}, {12, 8}, {6, 20}, {12, 20}, {7, 12}, {7, 1}, {7, 23},
};

quint16 litMask(const QImage &img, int cellX, int cellY = 0)
{
    quint16 m = 0;
    for (int i = 0; i < led::SegmentCount; ++i)
        if (img.pixel(cellX + kProbe[i].x(), cellY + kProbe[i].y()) == kLime)
            m |= quint16(1u << i);
    return m;
}

int countColour(const QImage &img, QRgb colour, const QRect &area)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += img.pixel(x, y) == colour;
    return n;
}

} // namespace

class TestLedTextLabel : public QObject
{
    Q_OBJECT
private slots:
    void diagonalWithoutRunStillDraws();
    void lowerCaseDrawnAsCapitals();
    void measuredSizes_data();
    void measuredSizes();

    void scoreDisplayTenPointZero();
    void threeCharacterScore();
    void fifthCharacterCutAtEdge();
    void litSegmentsMatchPolygons_data();
    void litSegmentsMatchPolygons();
    void startOrderLine();
    void secondRowStartsBelowFirst();
    void emptyTextShowsOnlyBackground();
    void unlitDither();
    void blackUnlitSegments();
    void disabledLabel();
    void smallCellsLightOnlyOuterSegments();
    void integerStyle();
    void transparentShowsParent();
    void frameInsetsCells();

    void settersAndDefaults();
    void textChangeNeverRebuilds();
    void sharedPatternPaintedPerColourPair();
    void assignCopiesAllButBackground();
    void autoSizeDockedTopKeepsWidth();
    void drawsOnItsParent();
    void stationLabels();
};

// A cell whose diagonals have no run still draws: its "X" lights nothing, its "8" lights bars.
void TestLedTextLabel::diagonalWithoutRunStillDraws()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.LED().setHorzsize(4);
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("X8"));
    QCOMPARE(label.size(), QSize(2 * 14 + 1, 28));
    const QImage img = render(label);
    QCOMPARE(countColour(img, kLime, QRect(0, 0, 14, 28)), 0);
    QVERIFY(countColour(img, kLime, QRect(14, 0, 14, 28)) > 0);
}

void TestLedTextLabel::lowerCaseDrawnAsCapitals()
{
    TLedTextLabel lower(nullptr, QStringLiteral("Lower")), upper(nullptr, QStringLiteral("Upper"));
    lower.resize(200, 28);
    upper.resize(200, 28);
    lower.setCaption(QStringLiteral("marlo dv"));
    upper.setCaption(QStringLiteral("MARLO DV"));
    QCOMPARE(render(lower), render(upper));
}

void TestLedTextLabel::measuredSizes_data()
{
    addColumns<QString, int, QSize>("text", "frame", "size");
    QTest::newRow("ORDER blank") << QStringLiteral("ORDER ") << 0 << QSize(115, 28);
    QTest::newRow("nine characters") << QStringLiteral("ORDER   5") << 0 << QSize(172, 28);
    QTest::newRow("empty") << QString() << 0 << QSize(20, 28);
    QTest::newRow("two rows") << QStringLiteral("12\r\n34") << 0 << QSize(39, 56);
    QTest::newRow("control characters take no cell") << QStringLiteral("1\t2\n3\x01") << 0 << QSize(58, 28);
    QTest::newRow("carriage return alone") << QStringLiteral("\r") << 0 << QSize(20, 56);
    QTest::newRow("longest row counts") << QStringLiteral("1\r1234\r12") << 0 << QSize(77, 84);
    QTest::newRow("frame") << QStringLiteral("ORDER ") << 2 << QSize(119, 32);
}

void TestLedTextLabel::measuredSizes()
{
    QFETCH(QString, text);
    QFETCH(int, frame);
    QFETCH(QSize, size);
    TLedSettings settings;
    QCOMPARE(settings.MeasureText(text, frame), size);

    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.setFrameWidth(frame);
    label.setCaption(text);
    label.setAutoSize(true);
    QCOMPARE(label.size(), size);
    // Measuring builds nothing.
    QCOMPARE(label.LED().RebuildCount(), 0);
}

void TestLedTextLabel::scoreDisplayTenPointZero()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreDisplay1"));
    label.resize(80, 28);
    label.setDigits(1);
    label.setCaption(QStringLiteral("10.0"));
    const QImage img = render(label);
    QCOMPARE(label.size(), QSize(80, 28));

    QCOMPARE(litMask(img, 0), quint16(0x0180));
    QCOMPARE(litMask(img, 19), quint16(0x1277));
    QCOMPARE(litMask(img, 38), quint16(0x8000));
    QCOMPARE(litMask(img, 57), quint16(0x1277));
    // The centre bars of the "1" at x 8 to 10.
    for (int x = 8; x <= 10; ++x)
        QCOMPARE(img.pixel(x, 8), kLime);
    QCOMPARE(countColour(img, kLime, QRect(0, 0, 8, 28)), 0);
    QCOMPARE(countColour(img, kLime, QRect(11, 0, 8, 28)), 0);
    // The point: exactly the square from (45, 23) to (47, 25) is lit in its cell.
    QCOMPARE(countColour(img, kLime, QRect(45, 23, 3, 3)), 9);
    QCOMPARE(countColour(img, kLime, QRect(38, 0, 19, 28)), 9);
    // 76 columns used, 76 to 79 plain black; the last cell reaches column 75.
    QCOMPARE(countColour(img, kBlack, QRect(76, 0, 4, 28)), 4 * 28);
    QVERIFY(countColour(img, kBlack, QRect(57, 0, 19, 28)) < 19 * 28);
}

void TestLedTextLabel::threeCharacterScore()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreDisplay2"));
    label.resize(80, 28);
    label.setCaption(QStringLiteral("9.5"));
    const QImage img = render(label);
    QCOMPARE(litMask(img, 0), quint16(0x006F));
    QCOMPARE(litMask(img, 19), quint16(0x8000));
    QCOMPARE(litMask(img, 38), quint16(0x006B));
    QCOMPARE(countColour(img, kBlack, QRect(57, 0, 23, 28)), 23 * 28);
}

void TestLedTextLabel::fifthCharacterCutAtEdge()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreDisplay3")), wide(nullptr, QStringLiteral("Wide"));
    label.resize(80, 28);
    wide.resize(120, 28);
    label.setCaption(QStringLiteral("10.08"));
    wide.setCaption(QStringLiteral("10.08"));
    const QImage img = render(label);
    QCOMPARE(label.size(), QSize(80, 28));
    // Only the first four pixel columns of the fifth cell show, exactly as they would uncut.
    QCOMPARE(img, render(wide).copy(0, 0, 80, 28));
    QCOMPARE(img.pixel(78, 8), kLime);  // the upper left bar of the "8"
    QCOMPARE(img.pixel(76, 8), kBlack);
}

void TestLedTextLabel::litSegmentsMatchPolygons_data()
{
    addColumns<int, int, int>("h", "v", "t");
    QTest::newRow("station size") << 9 << 7 << 2;
    QTest::newRow("t1") << 9 << 7 << 1;
    QTest::newRow("t3") << 9 << 7 << 3;
    QTest::newRow("t5") << 9 << 7 << 5;
    QTest::newRow("h12 v10 t4") << 12 << 10 << 4;
    QTest::newRow("h0 v0 t2") << 0 << 0 << 2;
    QTest::newRow("t0 (dots above the cell)") << 9 << 7 << 0;
}

// Lit segments show exactly as a polygon filled in ActiveColor and outlined with a one-pixel
// line of it, drawn over the cell image.
void TestLedTextLabel::litSegmentsMatchPolygons()
{
    QFETCH(int, h);
    QFETCH(int, v);
    QFETCH(int, t);
    QString text;
    for (int c = 32; c < 127; ++c)
        text += QChar(c);
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.LED().setHorzsize(quint8(h));
    label.LED().setVertsize(quint8(v));
    label.LED().setThickness(quint8(t));
    label.LED().setActiveColor(QColor(250, 200, 10));
    label.setAutoSize(true);
    label.setCaption(text);
    const QImage img = render(label);

    const TLedSettings &led = label.LED();
    const int w = led.CellWidth();
    const bool small = led::isSmallCell(h, v);
    QImage expected(label.size(), QImage::Format_RGB32);
    expected.fill(Qt::black);
    QPainter p(&expected);
    p.setPen(QPen(QColor(250, 200, 10), 1));
    p.setBrush(QColor(250, 200, 10));
    for (int i = 0; i < text.size(); ++i) {
        p.drawImage(i * w, 0, led.CellImage());
        const quint16 mask = led::segmentsForChar(text[i].unicode());
        for (int s = 0; s < (small ? 7 : 16); ++s) {
            const led::Outline &o = led.Outlines()[s];
            if (!(mask & (1u << s)) || !o.present)
                continue;
            QPolygon poly;
            for (const QPoint &pt : o.points)
                poly << pt + QPoint(i * w, 0);
            p.drawPolygon(poly);
        }
    }
    p.end();
    QCOMPARE(img, expected);
}

void TestLedTextLabel::startOrderLine()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreboardOrder"));
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("ORDER   5"));
    QCOMPARE(label.size(), QSize(172, 28));
    const QImage img = render(label);
    QCOMPARE(litMask(img, 0), maskOf({0, 1, 2, 4, 5, 6}));
    QCOMPARE(litMask(img, 19), maskOf({0, 1, 2, 3, 4, 12}));
    QCOMPARE(litMask(img, 38), maskOf({0, 2, 5, 6, 7, 8}));
    QCOMPARE(litMask(img, 57), maskOf({0, 1, 3, 4, 6}));
    QCOMPARE(litMask(img, 76), maskOf({0, 1, 2, 3, 4, 12}));
    // Three blanks: dim cells only, each the same as the cell image.
    QCOMPARE(countColour(img, kLime, QRect(95, 0, 57, 28)), 0);
    const QImage cell = label.LED().CellImage().convertToFormat(QImage::Format_RGB32);
    for (int x : {95, 114, 133})
        QCOMPARE(img.copy(x, 0, 19, 28), cell);
    QCOMPARE(litMask(img, 152), maskOf({0, 1, 3, 5, 6}));
    // The extra measured column is background.
    QCOMPARE(countColour(img, kBlack, QRect(171, 0, 1, 28)), 28);
}

void TestLedTextLabel::secondRowStartsBelowFirst()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("12\r\n34"));
    QCOMPARE(label.size(), QSize(39, 56));
    const QImage img = render(label);
    QCOMPARE(litMask(img, 0, 0), led::segmentsForChar('1'));
    QCOMPARE(litMask(img, 19, 0), led::segmentsForChar('2'));
    QCOMPARE(litMask(img, 0, 28), led::segmentsForChar('3'));
    QCOMPARE(litMask(img, 19, 28), led::segmentsForChar('4'));
    QCOMPARE(img.pixel(12, 28 + 3), kLime);  // top bar of the "3"
}

void TestLedTextLabel::emptyTextShowsOnlyBackground()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreDisplay1"));
    label.resize(80, 28);
    label.setColor(QColor(40, 0, 0));
    QCOMPARE(countColour(render(label), qRgb(40, 0, 0), label.rect()), 80 * 28);

    TLedTextLabel sized(nullptr, QStringLiteral("Scoreboard1"));
    sized.setAutoSize(true);
    sized.setCaption(QStringLiteral("X"));
    sized.setCaption(QString());
    QCOMPARE(sized.size(), QSize(20, 28));
    QCOMPARE(countColour(render(sized), kBlack, sized.rect()), 20 * 28);
}

void TestLedTextLabel::unlitDither()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.setAutoSize(true);
    label.setCaption(QStringLiteral(" ,?"));
    for (const QRgb bg : {kBlack, qRgb(0, 0, 90)}) {
        label.setColor(QColor::fromRgb(bg));
        const QImage img = render(label);
        int unlit = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                // The pattern starts afresh in every cell.
                const QRgb p = img.pixel(x, y);
                if ((x % 19 + y) % 2 == 1)
                    QCOMPARE(p, bg);
                else if (p != bg) {
                    QCOMPARE(p, kGreen);
                    ++unlit;
                }
            }
        QVERIFY(unlit > 3 * 40);
        // Every cell shows the same dither, and an unlisted character a dim cell only.
        QCOMPARE(img.copy(19, 0, 19, 28), img.copy(0, 0, 19, 28));
        QCOMPARE(img.copy(38, 0, 19, 28), img.copy(0, 0, 19, 28));
        QCOMPARE(img.pixel(11, 3), kGreen);  // inside the top bar, x + y even
        QCOMPARE(img.pixel(12, 3), bg);
    }
}

void TestLedTextLabel::blackUnlitSegments()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.LED().setInActiveColor(Qt::black);
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("  1"));
    const QImage img = render(label);
    QCOMPARE(countColour(img, kBlack, QRect(0, 0, 38, 28)), 38 * 28);
    QCOMPARE(litMask(img, 38), quint16(0x0180));
}

void TestLedTextLabel::disabledLabel()
{
    QWidget parent;
    parent.resize(200, 100);
    TLedTextLabel label(&parent, QStringLiteral("Led"));
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("88"));
    const QImage lit = render(label);
    QVERIFY(countColour(lit, kLime, label.rect()) > 100);

    label.setEnabled(false);
    QVERIFY(!label.Enabled());
    const QImage dark = render(label);
    QCOMPARE(countColour(dark, kLime, label.rect()), 0);
    QVERIFY(countColour(dark, kGreen, label.rect()) > 50);

    label.LED().setDisabledDigits(false);
    QCOMPARE(render(label), lit);

    // Only the label's own flag counts: a disabled parent leaves its text lit.
    label.LED().setDisabledDigits(true);
    label.setEnabled(true);
    parent.setEnabled(false);
    QVERIFY(label.Enabled());
    QCOMPARE(render(label), lit);
}

void TestLedTextLabel::smallCellsLightOnlyOuterSegments()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.LED().setVertsize(3);
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("1*8"));
    QCOMPARE(label.size(), QSize(3 * 19 + 1, 20));
    const QImage img = render(label);
    // "1" and "*" light only segments from 7 up: nothing.
    QCOMPARE(countColour(img, kLime, QRect(0, 0, 38, 20)), 0);
    QVERIFY(countColour(img, kLime, QRect(38, 0, 19, 20)) > 0);
    // Their cells still show every segment dim, the centre bar (segment 7) included.
    QCOMPARE(img.copy(0, 0, 19, 20), label.LED().CellImage().convertToFormat(QImage::Format_RGB32));
    QCOMPARE(img.pixel(8, 6), kGreen);

    TLedTextLabel narrow(nullptr, QStringLiteral("Narrow"));
    narrow.LED().setHorzsize(3);
    narrow.setAutoSize(true);
    narrow.setCaption(QStringLiteral("1"));
    QCOMPARE(countColour(render(narrow), kLime, narrow.rect()), 0);
    narrow.LED().setHorzsize(4);
    QVERIFY(countColour(render(narrow), kLime, narrow.rect()) > 0);
}

void TestLedTextLabel::integerStyle()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led")), reference(nullptr, QStringLiteral("Ref"));
    label.setAutoSize(true);
    reference.setAutoSize(true);
    label.setCaption(QStringLiteral("AB"));

    // Value in the string style changes nothing on screen.
    const QImage before = render(label);
    label.setValue(7);
    QCOMPARE(render(label), before);

    label.setDigits(3);
    label.setStyle(lsInteger);
    QCOMPARE(label.ShownText(), QStringLiteral("007"));
    QCOMPARE(label.size(), QSize(58, 28));
    reference.setCaption(QStringLiteral("007"));
    QCOMPARE(render(label), render(reference));

    label.setValue(1234);
    QCOMPARE(label.ShownText(), QStringLiteral("---"));
    reference.setCaption(QStringLiteral("---"));
    QCOMPARE(render(label), render(reference));

    // Digits of 0 (or past 255) is refused.
    label.setDigits(0);
    QCOMPARE(label.Digits(), 3);
    label.setDigits(256);
    QCOMPARE(label.Digits(), 3);
    label.setDigits(4);
    QCOMPARE(label.ShownText(), QStringLiteral("1234"));
    QCOMPARE(label.size(), QSize(77, 28));
    // A value change does not resize.
    label.setValue(5);
    QCOMPARE(label.size(), QSize(77, 28));
    QCOMPARE(label.ShownText(), QStringLiteral("0005"));
}

void TestLedTextLabel::transparentShowsParent()
{
    QWidget parent;
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, QColor(200, 0, 0));
    parent.setPalette(pal);
    parent.resize(60, 40);
    TLedTextLabel label(&parent, QStringLiteral("Led"));
    label.move(5, 6);
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("8"));
    label.setTransparent(true);

    const QImage img = render(parent);
    const QRect area(5, 6, 20, 28);
    QCOMPARE(countColour(img, kBlack, area), 0);
    QVERIFY(countColour(img, qRgb(200, 0, 0), area) > 200);
    QCOMPARE(img.pixel(5 + 12, 6 + 3), kLime);
    QCOMPARE(img.pixel(5 + 7, 6 + 1), kGreen);  // top dot, x + y even in the cell
    QCOMPARE(img.pixel(5 + 8, 6 + 1), qRgb(200, 0, 0));

    label.setTransparent(false);
    const QImage opaque = render(parent);
    QCOMPARE(countColour(opaque, qRgb(200, 0, 0), area), 0);
}

void TestLedTextLabel::frameInsetsCells()
{
    TLedTextLabel framed(nullptr, QStringLiteral("Framed")), plain(nullptr, QStringLiteral("Plain"));
    framed.setFrameWidth(3);
    framed.setAutoSize(true);
    plain.setAutoSize(true);
    framed.setCaption(QStringLiteral("42"));
    plain.setCaption(QStringLiteral("42"));
    QCOMPARE(framed.size(), QSize(39 + 6, 28 + 6));
    const QImage img = render(framed);
    QCOMPARE(img.copy(3, 3, 39, 28), render(plain));
    QVERIFY(countColour(img, kBlack, QRect(0, 0, framed.width(), 3)) == 0);

    // A frame that leaves no inner rectangle paints only the frame.
    framed.setAutoSize(false);
    framed.resize(6, 6);
    QCOMPARE(countColour(render(framed), kLime, framed.rect()), 0);
}

void TestLedTextLabel::settersAndDefaults()
{
    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    QCOMPARE(label.objectName(), QStringLiteral("Led"));
    QCOMPARE(label.Caption(), QString());
    QCOMPARE(label.Style(), lsString);
    QCOMPARE(label.Value(), 0);
    QCOMPARE(label.Digits(), 2);
    QVERIFY(!label.AutoSize());
    QCOMPARE(label.Color(), QColor(0, 0, 0));
    QVERIFY(!label.Transparent());
    QVERIFY(label.Enabled());
    QCOMPARE(label.FrameWidth(), 0);
    const TLedSettings &led = label.LED();
    QCOMPARE(led.Horzsize(), quint8(9));
    QCOMPARE(led.Vertsize(), quint8(7));
    QCOMPARE(led.Thickness(), quint8(2));
    QCOMPARE(led.ActiveColor(), QColor(0, 255, 0));
    QCOMPARE(led.InActiveColor(), QColor(0, 128, 0));
    QCOMPARE(led.BackgroundColor(), QColor(0, 0, 0));
    QVERIFY(led.DisabledDigits());
    QVERIFY(led.CellImage().isNull());
    QCOMPARE(led.RebuildCount(), 0);

    // Size and colour changes rebuild once each; unchanged values do nothing.
    label.LED().setHorzsize(9);
    label.LED().setActiveColor(QColor(0, 255, 0));
    QCOMPARE(led.RebuildCount(), 0);
    label.LED().setThickness(3);
    QCOMPARE(led.RebuildCount(), 1);
    QCOMPARE(led.CellImage().size(), QSize(9 + 15, 14 + 21));
    label.LED().setActiveColor(Qt::yellow);
    QCOMPARE(led.RebuildCount(), 2);
    label.LED().setDisabledDigits(false);
    QCOMPARE(led.RebuildCount(), 2);

    // The label's colour becomes the cells' background.
    label.setColor(QColor(0, 0, 60));
    QCOMPARE(led.BackgroundColor(), QColor(0, 0, 60));
    QCOMPARE(led.RebuildCount(), 3);
    QCOMPARE(led.CellImage().pixel(0, 0), qRgb(0, 0, 60));
    label.setColor(QColor(0, 0, 60));
    QCOMPARE(led.RebuildCount(), 3);

    // A settings change re-fits an auto-sized label.
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("AB"));
    QCOMPARE(label.size(), QSize(2 * 24 + 1, 35));
    label.LED().setThickness(2);
    QCOMPARE(label.size(), QSize(39, 28));
}

void TestLedTextLabel::textChangeNeverRebuilds()
{
    TLedTextLabel label(nullptr, QStringLiteral("ScoreDisplay1"));
    label.resize(80, 28);
    label.setCaption(QStringLiteral("10.0"));
    render(label);
    QCOMPARE(label.LED().RebuildCount(), 1);  // built on first drawing
    const QStringList texts = {QStringLiteral("9.5"), QStringLiteral("0.0"), QString(), QStringLiteral("7.5\r8")};
    for (const QString &t : texts) {
        label.setCaption(t);
        render(label);
    }
    label.setStyle(lsInteger);
    label.setValue(42);
    label.setDigits(5);
    render(label);
    label.setEnabled(false);
    label.setTransparent(true);
    render(label);
    QCOMPARE(label.LED().RebuildCount(), 1);
}

void TestLedTextLabel::sharedPatternPaintedPerColourPair()
{
    TLedTextLabel a(nullptr, QStringLiteral("A")), b(nullptr, QStringLiteral("B"));
    a.setCaption(QStringLiteral(" "));
    b.setCaption(QStringLiteral(" "));
    a.resize(20, 28);
    b.resize(20, 28);
    render(a);
    const int paints = LedUnlitPatternPaintCount();
    render(b);
    QCOMPARE(LedUnlitPatternPaintCount(), paints);  // same pair: shared as it is

    b.LED().setInActiveColor(QColor(0, 0, 200));
    QCOMPARE(LedUnlitPatternPaintCount(), paints + 1);
    const QImage &pattern = LedUnlitPattern(qRgb(0, 0, 0), qRgb(0, 0, 200));
    QCOMPARE(LedUnlitPatternPaintCount(), paints + 1);
    QCOMPARE(pattern.size(), QSize(8, 8));
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            QCOMPARE(pattern.pixel(x, y), (x + y) % 2 == 0 ? qRgb(0, 0, 200) : qRgb(0, 0, 0));
    // Each label keeps its own prepared cells whatever pair the pattern was painted for last.
    QCOMPARE(render(a).pixel(11, 3), kGreen);
    QCOMPARE(render(b).pixel(7, 1), qRgb(0, 0, 200));
}

void TestLedTextLabel::assignCopiesAllButBackground()
{
    TLedSettings source;
    source.setHorzsize(12);
    source.setVertsize(10);
    source.setThickness(4);
    source.setActiveColor(Qt::red);
    source.setInActiveColor(Qt::darkRed);
    source.setDisabledDigits(false);
    source.setBackgroundColor(Qt::white);

    TLedTextLabel label(nullptr, QStringLiteral("Led"));
    label.setAutoSize(true);
    label.setCaption(QStringLiteral("1"));
    label.setLED(source);
    const TLedSettings &led = label.LED();
    QCOMPARE(led.Horzsize(), quint8(12));
    QCOMPARE(led.Vertsize(), quint8(10));
    QCOMPARE(led.Thickness(), quint8(4));
    QCOMPARE(led.ActiveColor(), QColor(Qt::red));
    QCOMPARE(led.InActiveColor(), QColor(Qt::darkRed));
    QVERIFY(!led.DisabledDigits());
    QCOMPARE(led.BackgroundColor(), QColor(Qt::black));
    QCOMPARE(led.RebuildCount(), 1);
    QCOMPARE(label.size(), QSize(12 + 20 + 1, 20 + 28));
}

void TestLedTextLabel::autoSizeDockedTopKeepsWidth()
{
    QWidget panel;
    panel.resize(172, 153);
    auto *dock = new DockLayout(&panel);
    auto *title = new QWidget(&panel);
    dock->addDocked(title, DockLayout::Top, 20);
    auto *order = new TLedTextLabel(&panel, QStringLiteral("ScoreboardOrder"));
    order->setAutoSize(true);
    order->setCaption(QStringLiteral("ORDER "));
    QCOMPARE(order->size(), QSize(115, 28));  // not yet docked: sized to its text
    dock->addDocked(order, DockLayout::Top, 28);
    auto *line = new TLedTextLabel(&panel, QStringLiteral("Scoreboard1"));
    line->move(0, 52);
    line->setAutoSize(true);
    line->setCaption(QStringLiteral("ORDER "));
    dock->arrange(panel.rect());
    QCOMPARE(order->geometry(), QRect(0, 20, 172, 28));

    order->setCaption(QStringLiteral("AB"));
    QCOMPARE(order->size(), QSize(172, 28));
    order->setCaption(QStringLiteral("1\r2"));
    QCOMPARE(order->size(), QSize(172, 56));
    QCOMPARE(dock->thicknessOf(order), 56);
    dock->arrange(panel.rect());
    QCOMPARE(order->geometry(), QRect(0, 20, 172, 56));

    line->setCaption(QStringLiteral("1  SMI 65"));
    QCOMPARE(line->geometry(), QRect(0, 52, 172, 28));
    line->setCaption(QStringLiteral("AB"));
    QCOMPARE(line->geometry(), QRect(0, 52, 39, 28));
}

void TestLedTextLabel::drawsOnItsParent()
{
    QWidget parent;
    parent.resize(100, 40);
    auto *label = new TLedTextLabel(&parent, QStringLiteral("Led"));
    label->setCaption(QStringLiteral("10.0"));
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QCOMPARE(label->focusPolicy(), Qt::NoFocus);
    QVERIFY(label->testAttribute(Qt::WA_TransparentForMouseEvents));
    QVERIFY(!label->testAttribute(Qt::WA_NativeWindow));
    QCOMPARE(label->internalWinId(), WId(0));
    QVERIFY(!label->isWindow());
}

// The fifteen labels of the main window, as it builds them.
void TestLedTextLabel::stationLabels()
{
    TestStation station;
    TMainForm &form = *station.form;
    QCOMPARE(form.scoringView().scoreDisplays().size(), 11);
    for (TLedTextLabel *d : form.scoringView().scoreDisplays()) {
        QCOMPARE(d->size(), QSize(80, 28));
        QCOMPARE(d->Digits(), 1);
        QVERIFY(!d->AutoSize());
        QCOMPARE(d->Caption(), QStringLiteral("10.0"));
        QCOMPARE(d->focusPolicy(), Qt::NoFocus);
    }
    // The whole panel, as when the first scoreboard message shows it.
    element<Panel>(form, "PanelScoreboard")->show();
    dockLayoutOf(element<Panel>(form, "PanelScoreboard"))->arrange(element<Panel>(form, "PanelScoreboard")->rect());
    QCOMPARE(element<TLedTextLabel>(form, "ScoreboardOrder")->geometry(), QRect(0, 20, 172, 28));
    QVERIFY(element<TLedTextLabel>(form, "ScoreboardOrder")->AutoSize());
    TLedTextLabel *lines[] = {element<TLedTextLabel>(form, "Scoreboard1"), element<TLedTextLabel>(form, "Scoreboard2"),
                              element<TLedTextLabel>(form, "Scoreboard3")};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(lines[i]->geometry(), QRect(0, 52 + 32 * i, 115, 28));
        QCOMPARE(lines[i]->Caption(), QStringLiteral("ORDER "));
        lines[i]->setCaption(QStringLiteral(" 1  66.50"));
        QCOMPARE(lines[i]->geometry(), QRect(0, 52 + 32 * i, 172, 28));
    }
    element<TLedTextLabel>(form, "ScoreboardOrder")->setCaption(QStringLiteral("ORDER   5"));
    QCOMPARE(element<TLedTextLabel>(form, "ScoreboardOrder")->geometry(), QRect(0, 20, 172, 28));
    const QImage board = render(*element<Panel>(form, "PanelScoreboard"));
    QCOMPARE(litMask(board, 152, 20), led::segmentsForChar('5'));
    QCOMPARE(litMask(board, 0, 52), quint16(0));
    QCOMPARE(litMask(board, 19, 52), led::segmentsForChar('1'));
    QCOMPARE(litMask(board, 76, 52), led::segmentsForChar('6'));
}

QTEST_MAIN(TestLedTextLabel)
#include "tst_ledtextlabel.moc"
