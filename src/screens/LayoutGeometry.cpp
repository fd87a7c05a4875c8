#include "screens/LayoutGeometry.h"

#include <algorithm>

namespace layout {

bool isLandscapeScreen(const QSize &screen)
{
    return screen.height() < screen.width();
}

QRect keypadArea(bool landscape, const QSize &panelInd, const QSize &panelRight, int messageHeight)
{
    const int width = landscape ? panelInd.width() - panelRight.width() : panelInd.width();
    const int height = landscape ? panelInd.height() - messageHeight : panelInd.height() - messageHeight - panelRight.height();
    return QRect(0, 0, std::max(0, width), std::max(0, height));
}

QPoint sendButtonPlace(bool landscape, const QSize &window, const QSize &button, int diveDescriptionHeight)
{
    if (landscape)
        return QPoint(8, (window.height() - button.height()) / 2 - 3 * diveDescriptionHeight);
    return QPoint((window.width() - button.width()) / 2, 8);
}

ConfirmationButtons confirmationButtons(int confirmationPanelWidth)
{
    const int a = std::max(0, confirmationPanelWidth) / 5;
    return {a, 3 * a, a};
}

QRect KeypadGrid::keyRect(int column, int row) const
{
    return QRect(offX + gap + column * (key + gap), offY + gap + row * (key + gap), key, key);
}

KeypadGrid keypadGrid(int width, int height)
{
    width = std::max(0, width);
    height = std::max(0, height);
    const int kw = width / 4;
    const int gw = kw / 4;
    const int kh = height / 6;
    const int gh = kh / 5;
    KeypadGrid g;
    g.key = std::min(kw, kh);
    // Both gap candidates come from kw and kh, before the smaller key is chosen.
    g.gap = std::min(gw, gh);
    g.offX = (width - 3 * g.key - 4 * g.gap) / 2;
    g.offY = (height - 4 * g.key - 5 * g.gap) / 2;
    return g;
}

int keypadValueAt(int column, int row)
{
    static const int values[4][3] = {{7, 8, 9}, {4, 5, 6}, {1, 2, 3}, {0, -1, 10}};
    if (column < 0 || column > 2 || row < 0 || row > 3)
        return -2;
    return values[row][column];
}

int shownDisplayCount(int judgeCount)
{
    return std::clamp(judgeCount, 0, kScoreDisplayCount);
}

int scoreDisplayOffset(int n, int i, int m)
{
    if (n == 9) {
        // Pairs 1-2 and 3-4, then the five judges 5-9. 2 * (m div 3) is m div 3 doubled.
        const int half = m / 2;
        const int third = m / 3;
        switch (i) {
        case 1: case 3: return half;
        case 2: case 4: return -half;
        case 5: return third;
        case 6: return 2 * third;
        case 8: return -2 * third;
        case 9: return -third;
        default: return 0;
        }
    }
    if (n == 11) {
        // Trios 1-3 and 4-6, then the five judges 7-11.
        switch (i) {
        case 1: case 4: case 7: return m;
        case 2: case 5: case 9: return 0;
        case 3: case 6: case 11: return -m;
        case 8: return m / 2;
        case 10: return -(m / 2);
        default: return 0;
        }
    }
    return 0;
}

QList<int> scoreDisplayLefts(int keypadWidth, int judgeCount, int displayWidth)
{
    QList<int> lefts;
    const int n = shownDisplayCount(judgeCount);
    if (n == 0)
        return lefts;
    int slot = keypadWidth / n;
    if (slot < displayWidth)
        slot = displayWidth;
    const int m = (slot - displayWidth) / 2;
    lefts.reserve(n);
    for (int i = 1; i <= n; ++i)
        lefts.append((i - 1) * slot + m + scoreDisplayOffset(n, i, m));
    return lefts;
}

int scoreDisplayCellWidth(int keypadWidth, int judgeCount)
{
    const int n = shownDisplayCount(judgeCount);
    if (n == 0 || n * kScoreDisplayWidth <= keypadWidth)
        return kScoreDisplayCell;
    // A margin of 2 on either side of each display: 4 pixels of its slot, then the 4 of its own.
    const int cell = (std::max(0, keypadWidth) / n - 8) / kScoreDisplayCells;
    return std::clamp(cell, kNarrowestDisplayCell, kScoreDisplayCell);
}

RightColumn rightColumn(bool landscape, const QSize &panelRight)
{
    const int f = kRightColumnFrame;
    RightColumn c;
    c.inner = QRect(f, f, std::max(0, panelRight.width() - 2 * f), std::max(0, panelRight.height() - 2 * f));
    if (landscape) {
        c.scoreBox = QRect(f, f, c.inner.width(), kRightScoreHeight);
        c.judgeBox = QRect(f, f + c.inner.height() - kJudgeAssignmentHeight, c.inner.width(), kJudgeAssignmentHeight);
    } else {
        c.scoreBox = QRect(f, f, kRightBoxWidth, c.inner.height());
        c.judgeBox = QRect(f + c.inner.width() - kRightBoxWidth, f, kRightBoxWidth, c.inner.height());
    }
    return c;
}

QPoint sendButtonClearPlace(bool landscape, const QPoint &written, const QSize &button, const RightColumn &column)
{
    QPoint p = written;
    // Off the judge's box where there is room; off the score box whatever happens.
    if (landscape) {
        p.setY(std::min(p.y(), column.judgeBox.top() - kClearance - button.height()));
        p.setY(std::max(p.y(), column.scoreBox.top() + column.scoreBox.height() + kClearance));
    } else {
        p.setX(std::min(p.x(), column.judgeBox.left() - kClearance - button.width()));
        p.setX(std::max(p.x(), column.scoreBox.left() + column.scoreBox.width() + kClearance));
    }
    return p;
}

ScoreboardLook scoreboardLook(int percent)
{
    const int p = std::clamp(percent, 1, 100);
    ScoreboardLook l;
    l.percent = p;
    // Bars 2 thick down to three quarters of the design size, 1 below; each cell as near the
    // design cell (19 x 28) scaled as whole bars allow.
    l.thickness = p >= 75 ? 2 : 1;
    l.horzsize = std::max(1, 19 * p / 100 - 5 * l.thickness);
    l.vertsize = std::max(1, (28 * p / 100 - 7 * l.thickness) / 2);
    l.cellWidth = l.horzsize + 5 * l.thickness;
    l.cellHeight = 2 * l.vertsize + 7 * l.thickness;
    l.titleHeight = 20 * p / 100;
    l.titlePixels = std::max(6, 16 * p / 100);
    const int gap = std::max(1, 4 * p / 100);
    for (int i = 0; i < 3; ++i)
        l.lineTops[i] = l.titleHeight + l.cellHeight + gap + i * (l.cellHeight + gap);
    // Nine cells ("ORDER   5", or a line of nine characters) and one pixel; 9 below the last line.
    l.size = QSize(9 * l.cellWidth + 1, l.lineTops[2] + l.cellHeight + 9 * p / 100);
    return l;
}

std::optional<QRect> nearestClearPlace(const QRect &area, const QList<QRect> &obstacles, const QSize &size,
                                       const QPoint &target, int clearance)
{
    if (size.width() > area.width() || size.height() > area.height())
        return std::nullopt;
    QList<QRect> grown;
    for (const QRect &o : obstacles)
        grown << o.adjusted(-clearance, -clearance, clearance, clearance);
    const int minX = area.left(), maxX = area.left() + area.width() - size.width();
    const int minY = area.top(), maxY = area.top() + area.height() - size.height();
    // The nearest place touches an obstacle's or the area's edge, or lies level with the target.
    QList<int> xs{std::clamp(target.x(), minX, maxX), minX, maxX};
    QList<int> ys{std::clamp(target.y(), minY, maxY), minY, maxY};
    for (const QRect &g : grown) {
        xs << g.left() - size.width() << g.left() + g.width();
        ys << g.top() - size.height() << g.top() + g.height();
    }
    std::optional<QRect> best;
    qint64 bestDistance = 0;
    for (int x : xs) {
        if (x < minX || x > maxX)
            continue;
        for (int y : ys) {
            if (y < minY || y > maxY)
                continue;
            const QRect r(QPoint(x, y), size);
            if (std::any_of(grown.begin(), grown.end(), [&r](const QRect &g) { return g.intersects(r); }))
                continue;
            const qint64 dx = x - target.x(), dy = y - target.y();
            const qint64 distance = dx * dx + dy * dy;
            if (!best || distance < bestDistance) {
                best = r;
                bestDistance = distance;
            }
        }
    }
    return best;
}

ScoreboardPlace scoreboardPlace(const ScoreboardSurroundings &s)
{
    const RightColumn &c = s.column;
    auto clearInColumn = [&c, &s](const QRect &r) {
        return c.inner.contains(r) && !r.intersects(c.scoreBox) && !r.intersects(c.judgeBox) && !r.intersects(s.send);
    };
    const QRect written(kScoreboardPlace, kScoreboardSize);
    const QPoint writtenCentre(kScoreboardPlace.x() + kScoreboardSize.width() / 2, kScoreboardPlace.y());
    for (int percent = 100; percent >= 50; percent -= 5) {
        const QSize size = scoreboardLook(percent).size;
        if (percent == 100 && clearInColumn(written))
            return {false, written, 100, true};
        // Below the send button, centred where the written place is.
        const QRect below(QPoint(writtenCentre.x() - size.width() / 2, s.send.top() + s.send.height() + kClearance), size);
        if (clearInColumn(below))
            return {false, below, percent, true};
        if (const std::optional<QRect> r = nearestClearPlace(QRect(QPoint(0, 0), s.keypad), s.keypadObstacles, size,
                                                             s.columnInKeypad + kScoreboardPlace, kClearance))
            return {true, *r, percent, true};
    }
    return {false, written, 100, false};
}

QList<QRect> keypadObstacles(const KeypadGrid &keys, const QSize &keypad, const QList<QRect> &displays)
{
    QList<QRect> obstacles;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column)
            obstacles << keys.keyRect(column, row);
    obstacles << kHomeButton;
    obstacles << QRect(0, keypad.height() - kScoreDisplayHeight, keypad.width(), kScoreDisplayHeight);
    obstacles << displays;
    return obstacles;
}

PageGeometry pageGeometry(const QSize &window, int judgeCount)
{
    PageGeometry g;
    g.landscape = isLandscapeScreen(window);
    const int pageTop = kMainFrame + kHeaderBandsHeight;
    g.panelInd = QRect(kMainFrame, pageTop, std::max(0, window.width() - 2 * kMainFrame),
                       std::max(0, window.height() - kStatusBarHeight - kMainFrame - pageTop));
    const int w = g.panelInd.width(), h = g.panelInd.height();
    g.panelRight = g.landscape ? QRect(w - kRightColumnWidth, 0, kRightColumnWidth, h - kHintLineHeight)
                               : QRect(0, h - kHintLineHeight - kRightColumnHeight, w, kRightColumnHeight);
    g.column = rightColumn(g.landscape, g.panelRight.size());
    g.keypad = keypadArea(g.landscape, g.panelInd.size(), g.panelRight.size(), kHintLineHeight);
    g.keys = keypadGrid(g.keypad.width(), g.keypad.height());
    g.send = QRect(sendButtonClearPlace(g.landscape, sendButtonPlace(g.landscape, window, kSendButtonSize, kDiveDescriptionHeight),
                                        kSendButtonSize, g.column),
                   kSendButtonSize);
    g.displayCell = scoreDisplayCellWidth(g.keypad.width(), judgeCount);
    const int displayWidth = scoreDisplayWidthFor(g.displayCell);
    for (int left : scoreDisplayLefts(g.keypad.width(), judgeCount, displayWidth))
        g.displays << QRect(left, g.keypad.height() - kScoreDisplayHeight, displayWidth, kScoreDisplayHeight);
    g.scoreboard = scoreboardPlace({g.column, g.send, g.panelRight.topLeft() - g.keypad.topLeft(), g.keypad.size(),
                                    keypadObstacles(g.keys, g.keypad.size(), g.displays)});
    return g;
}

std::optional<QString> batteryText(int percent)
{
    if (percent >= 0 && percent <= 100)
        return QString::number(percent) + QStringLiteral(" %");
    if (percent == 255)
        return QStringLiteral("??");
    return std::nullopt;
}

} // namespace layout
