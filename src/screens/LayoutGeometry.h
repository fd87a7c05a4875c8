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

// The narrowed displays of a panel whose row is wider than the keypad area. A display shows
// four LED cells ("10.0": the point takes a cell of its own) and 4 pixels more; its cells are 19
// wide at the design size. A row that does not fit at the design width is condensed: the cells
// narrow (their height stays) to the widest that leaves each display a margin of 2 pixels on
// either side in its slot, so that the groups stay apart; never below kNarrowestDisplayCell.
constexpr int kScoreDisplayWidth = 80;
constexpr int kScoreDisplayHeight = 28;
constexpr int kScoreDisplayCells = 4;
constexpr int kScoreDisplayCell = 19;
constexpr int kNarrowestDisplayCell = 11;  // the narrowest cell that still draws its bars
int scoreDisplayCellWidth(int keypadWidth, int judgeCount);
inline int scoreDisplayWidthFor(int cellWidth) { return kScoreDisplayCells * cellWidth + 4; }

// The scoring page's fixed frame, as the main window is built: the status bar, the main
// panel's frame, the three header bands, the hint line at the page's foot, the edge inside the
// right-hand column, and the elements placed at fixed sizes.
constexpr int kStatusBarHeight = 19;
constexpr int kMainFrame = 5;
constexpr int kHeaderBandsHeight = 40 + 43 + 43;
constexpr int kDiveDescriptionHeight = 43;
constexpr int kHintLineHeight = 17;
constexpr int kRightColumnFrame = 2;
constexpr QSize kSendButtonSize(195, 114);
constexpr QRect kHomeButton(16, 12, 97, 32);  // ButtonHome2 in the keypad area

// Whatever is placed anew next to another element keeps this distance from it.
constexpr int kClearance = 8;

// The boxes of the right-hand column, in PanelRight's coordinates.
struct RightColumn {
    QRect inner;     // inside the column's edge
    QRect scoreBox;  // PanelRightScore: "Score" and the score being keyed
    QRect judgeBox;  // PanelJudgeAssignment: the judge's position
};
RightColumn rightColumn(bool landscape, const QSize &panelRight);

// Where ButtonSendScore goes so that it never covers the score: its written place
// (sendButtonPlace), moved off the judge's box where the column has room, and in any case off
// the score box, kClearance away from it.
QPoint sendButtonClearPlace(bool landscape, const QPoint &written, const QSize &button, const RightColumn &column);

// The scoreboard, PanelScoreboard: its written place in PanelRight and its look at a scale.
constexpr QPoint kScoreboardPlace(24, 256);
constexpr QSize kScoreboardSize(172, 153);
struct ScoreboardLook {
    int percent = 100;
    QSize size;               // the whole panel
    int titleHeight = 0;      // the "Scoreboard" strip
    int titlePixels = 0;      // its type size
    int lineTops[3] = {};     // Scoreboard1 to Scoreboard3; ScoreboardOrder lies under the title
    int horzsize = 0, vertsize = 0, thickness = 0;  // the LED cells' bars
    int cellWidth = 0, cellHeight = 0;
};
// 100 is the design: 172 x 153, title 20 high in 16 pixels, lines at 52, 84 and 116, cells 19 x 28.
ScoreboardLook scoreboardLook(int percent);

// Where the scoreboard is placed: in the right-hand column (PanelRight's coordinates) or in the
// keypad area (PanelKeypad's), and at what scale.
struct ScoreboardPlace {
    bool inKeypad = false;
    QRect rect;
    int percent = 100;
    bool clear = true;  // false only when no place at any scale is clear (a window far too small)
};
// What the scoreboard must keep clear of.
struct ScoreboardSurroundings {
    RightColumn column;              // PanelRight's coordinates
    QRect send;                      // ButtonSendScore, PanelRight's coordinates
    QPoint columnInKeypad;           // PanelRight's top-left in PanelKeypad's coordinates
    QSize keypad;                    // PanelKeypad's size
    QList<QRect> keypadObstacles;    // keys, Home, the displays: PanelKeypad's coordinates
};
// The scoreboard never hides the send button, the score or the judge's position. At each
// scale from the design size down to half of it, in steps of 5 %, the first of these that is
// clear: its written place (design size only); the place below the send button in the column,
// kClearance under it; the place in the keypad area, kClearance away from every obstacle, that
// lies nearest the written place.
ScoreboardPlace scoreboardPlace(const ScoreboardSurroundings &s);

// The nearest place to `target` for a `size` rectangle inside `area` that keeps `clearance` off
// every obstacle (nothing when there is none).
std::optional<QRect> nearestClearPlace(const QRect &area, const QList<QRect> &obstacles, const QSize &size,
                                       const QPoint &target, int clearance);

// The whole scoring page for a window of the given size that fills a screen of the same shape,
// as ApplyOrientation and the layout lay it out, with `judgeCount` displays shown: what the
// placement rules give, without a window. Rectangles are in their parents' coordinates.
struct PageGeometry {
    bool landscape = true;
    QRect panelInd;        // the page, in the window
    QRect panelRight;      // in PanelIND
    RightColumn column;    // in PanelRight
    QRect keypad;          // in PanelIND
    KeypadGrid keys;       // in PanelKeypad
    QRect send;            // in PanelRight
    int displayCell = kScoreDisplayCell;
    QList<QRect> displays; // in PanelKeypad
    ScoreboardPlace scoreboard;
};
PageGeometry pageGeometry(const QSize &window, int judgeCount);
// The obstacles of the keypad area for the scoreboard: the twelve keys, Home, the band along the
// bottom edge where the displays stand, and `displays` wherever they are.
QList<QRect> keypadObstacles(const KeypadGrid &keys, const QSize &keypad, const QList<QRect> &displays);

// The header texts are fitted from 22 points down, at 96 pixels per inch, and never below the
// floor: 6 points (8 pixels) is the smallest size still readable from the judges' chairs; a
// text that does not fit even then is shown at the floor and clipped by its label.
constexpr int kFittedTextPoints = 22;
constexpr int kFittedTextFloorPoints = 6;

// The battery text for a battery-life percentage: "N %" for 0 to 100, "??" for 255 (cannot be
// determined); nothing for any other value, which leaves the shown text as it is.
std::optional<QString> batteryText(int percent);

} // namespace layout
