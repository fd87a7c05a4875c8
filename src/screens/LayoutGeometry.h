#pragma once

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <optional>

// The arithmetic of the scoring page's layout, free of widgets. Sizes and positions are whole
// pixels; every division is C++ integer division, which truncates toward zero.
namespace layout {

// Landscape when the screen is wider than high; a square screen is portrait.
bool isLandscapeScreen(const QSize &screen);

// Sizes of the right-hand column for each arrangement.
constexpr int kRightColumnWidth = 211;        // landscape: PanelRight docked right
constexpr int kRightColumnHeight = 130;       // portrait: PanelRight docked bottom
constexpr int kRightScoreHeight = 127;        // landscape: PanelRightScore docked top
constexpr int kJudgeAssignmentHeight = 130;   // landscape: PanelJudgeAssignment docked bottom
constexpr int kRightBoxWidth = 207;           // portrait: both boxes docked left / right
constexpr int kClubWidthLandscape = 320;      // LabelClub; in portrait it takes LabelPower's width

// The keypad area inside PanelIND: the page less the message strip, and less the right-hand
// column on the side where it is docked. Never negative.
QRect keypadArea(bool landscape, const QSize &panelInd, const QSize &panelRight, int messageHeight);

// Where ButtonSendScore goes inside PanelRight. `window` is the main window's outer size.
// Landscape: left 8, top (window height - button height) div 2 - 3 * dive description height.
// Portrait: centred on the window's width, top 8.
QPoint sendButtonPlace(bool landscape, const QSize &window, const QSize &button, int diveDescriptionHeight);

// The confirmation strip is cut into fifths: Cancel in the second, Accept in the fourth.
struct ConfirmationButtons {
    int declineLeft = 0;
    int acceptLeft = 0;
    int width = 0;
};
ConfirmationButtons confirmationButtons(int confirmationPanelWidth);

// The twelve-key grid centred in a keypad area of width x height.
struct KeypadGrid {
    int key = 0;   // side of a (square) key
    int gap = 0;   // gap between keys and around the grid
    int offX = 0;  // margin that centres the grid, before the first gap
    int offY = 0;
    QRect keyRect(int column, int row) const;
};
KeypadGrid keypadGrid(int width, int height);

// The key value (score key: -1 for Clear, 0 to 10) shown at column 0..2, row 0..3:
// 7 8 9 / 4 5 6 / 1 2 3 / 0 Clear 10.
int keypadValueAt(int column, int row);

// The panel-score displays.
constexpr int kScoreDisplayCount = 11;

// How many displays a panel of `judgeCount` judges shows: the count itself from 1 to 11; none
// for a count below 1 (there is nothing to show and nothing to divide by); all eleven for a
// count above 11, laid out as the full panel of eleven, since no twelfth display exists.
int shownDisplayCount(int judgeCount);

// The offset that draws display i (1-based) of n towards its group, given the centring margin
// m. Panels of 9 (groups 1-2, 3-4, 5-9) and of 11 (groups 1-3, 4-6, 7-11) are grouped as the
// judge positions are; every other size, 8 and 10 included, is evenly spaced (offset 0):
// such panels have no synchro positions to group by.
int scoreDisplayOffset(int n, int i, int m);

// The lefts of the displays shown for `judgeCount` judges in a keypad area `keypadWidth` wide,
// each display `displayWidth` wide. One entry per shown display (see shownDisplayCount).
// Slots narrower than a display are widened to it, so the displays then touch and the last
// ones may pass the right edge.
QList<int> scoreDisplayLefts(int keypadWidth, int judgeCount, int displayWidth);

// The header texts are fitted from 22 points down, at 96 pixels per inch, and never below the
// floor: 6 points (8 pixels) is the smallest size still readable from the judges' chairs; a
// text that does not fit even then is shown at the floor and clipped by its label.
constexpr int kFittedTextPoints = 22;
constexpr int kFittedTextFloorPoints = 6;

// The battery text for a battery-life percentage: "N %" for 0 to 100, "??" for 255 (cannot be
// determined); nothing for any other value, which leaves the shown text as it is.
std::optional<QString> batteryText(int percent);

} // namespace layout
