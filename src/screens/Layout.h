#pragma once

#include "screens/LayoutGeometry.h"

#include <QFont>
#include <QString>

class QLabel;
class TMainForm;

// Fitting the scoring page to the screen. Main thread only.

// Chooses the landscape or portrait arrangement from the screen's shape (not the window's),
// docks the right-hand column accordingly, then ArrangeLayout and ArrangeScoreDisplays.
void ApplyOrientation(TMainForm &form);
// Logo, confirmation buttons, keypad area and send button, keys, fitted header texts; the
// arrangement is read back from the docking of PanelRight (docked right = landscape).
void ArrangeLayout(TMainForm &form);
// Sizes and centres the twelve keys in PanelKeypad (called by ArrangeLayout).
void ArrangeKeypad(TMainForm &form);
// Places the first JudgeCount panel-score displays along the keypad's bottom edge, condensed
// where the row is wider than the keypad area, and shows those of them that an "XX" has
// written; hides the others (see layout::shownDisplayCount for counts outside 1 to 11).
void ArrangeScoreDisplays(TMainForm &form);
// Places the scoreboard where it hides neither the send button, the score nor the judge's
// position, at its design size where it can (see layout::scoreboardPlace); ArrangeLayout and
// ArrangeScoreDisplays end with it.
void PlaceScoreboard(TMainForm &form);
// Shows `text` in a header label at the largest size from 22 points down (to the floor) at
// which it fits the label's width; the label keeps its font name and style.
void SetFittedText(QLabel *label, const QString &text);
// The battery meter tick: the state's battery text becomes "N %" or "??", or stays, and the
// header shows it.
void TimerPowerMeterTimer(TMainForm &form);

// The fitted-text measuring, on an off-screen one-bit surface at 96 pixels per inch, so that
// the result never depends on the screen.
QFont fittedTextFont(int points);                      // "Verdana" bold at `points`
int fittedTextWidth(const QString &text, int points);  // measured width of `text`
// The size SetFittedText chooses for `text` in a label `width` pixels wide.
int fittedPointSize(const QString &text, int width);
