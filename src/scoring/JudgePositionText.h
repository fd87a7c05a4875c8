#pragma once

#include <QString>
#include <optional>

// The judge's position on the panel: "J: n" in an individual event (discipline 0); in a
// synchro event (discipline 1) the E and S positions for panels of 7, 9 and 11. No value
// means the label keeps its text.
std::optional<QString> JudgePositionText(int discipline, int judgeCount, int judgeNumber);
