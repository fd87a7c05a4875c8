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

std::optional<QString> batteryText(int percent)
{
    if (percent >= 0 && percent <= 100)
        return QString::number(percent) + QStringLiteral(" %");
    if (percent == 255)
        return QStringLiteral("??");
    return std::nullopt;
}

} // namespace layout
