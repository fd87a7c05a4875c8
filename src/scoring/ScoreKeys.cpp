#include "scoring/ScoreKeys.h"

#include "station/StationState.h"

#include <limits>

ScoreKeyResult ApplyScoreKeyRules(const QString &T, int Z, int k)
{
    auto isOneToNine = [](const QString &t) {
        return !t.isEmpty() && t.at(0) >= QLatin1Char('1') && t.at(0) <= QLatin1Char('9');
    };
    const QString zero = QStringLiteral("0.0");
    if (k == -1)
        return {zero, 0};
    if (trimControls(T).isEmpty())
        return {zero, Z};  // the key itself is lost
    if (k == 0 && T == QLatin1String("1.0"))
        return {QStringLiteral("10.0"), 0};
    if (k == 0 && Z < std::numeric_limits<int>::max())
        ++Z;
    if (k == 10)
        return {QStringLiteral("10.0"), 0};
    if (k == 5 && T == zero && Z == 1)
        return {QStringLiteral("0.5"), 0};
    if (k == 5 && T.size() >= 3 && T.at(2) == QLatin1Char('5'))
        return {QStringLiteral("5.0"), 0};
    if (k == 5 && isOneToNine(T))
        return {T.left(1) + QStringLiteral(".5"), 0};
    if (k == 0 && isOneToNine(T))
        return {T, Z};
    if (k == 0 && Z == 2 && T == zero)
        return {QStringLiteral("0.5"), 0};
    if (k == 0)
        return {T, Z};
    if (k < 1 || k > 9)
        return {T, Z};
    const QString d = QString::number(k);
    if (T.contains(d + QStringLiteral(".0")))
        return {d + QStringLiteral(".5"), 0};
    return {d + QStringLiteral(".0"), 0};
}
