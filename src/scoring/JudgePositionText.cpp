#include "scoring/JudgePositionText.h"

std::optional<QString> JudgePositionText(int discipline, int judgeCount, int judgeNumber)
{
    if (discipline == 0)
        return QStringLiteral("J: %1").arg(judgeNumber);
    if (discipline != 1)
        return std::nullopt;
    if (judgeCount != 7 && judgeCount != 9 && judgeCount != 11)
        return std::nullopt;
    // Two groups of m execution judges, then the five synchronisation judges.
    const int m = (judgeCount - 5) / 2;
    const int i = judgeNumber;
    if (i >= 1 && i <= m)
        return QStringLiteral("E%1.1").arg(i);
    if (i > m && i <= 2 * m)
        return QStringLiteral("E%1.2").arg(i - m);
    if (i > 2 * m && i <= 2 * m + 5)
        return QStringLiteral("S: %1").arg(i - 2 * m);
    return std::nullopt;
}
