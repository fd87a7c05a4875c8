#include "scoring/ScoreKeys.h"

#include "station/StationState.h"

#include <limits>

ScoreKeyResult ApplyScoreKeyRules(const QString &T, int Z, int k)
{
    auto isOneToNine = [](const QString &t) {
        return !t.isEmpty() && t.at(0) >= QLatin1Char('1') && t.at(0) <= QLatin1Char('9');
    };
    const QString zero = QStringLiteral("0.0");
    // Clear starts the score again from nothing.
    if (k == -1)
        return {zero, 0};
    // A blank score box (a server's "FS" may leave one) becomes 0.0 first.
    if (trimControls(T).isEmpty())
        return {zero, Z};  // the key itself is lost
    // 1 then 0 is ten.
    if (k == 0 && T == QLatin1String("1.0"))
        return {QStringLiteral("10.0"), 0};
    // Every other 0 is counted, for "0 0" and "0 5" below.
    if (k == 0 && Z < std::numeric_limits<int>::max())
        ++Z;
    // The 10 key (or X) is ten at once.
    if (k == 10)
        return {QStringLiteral("10.0"), 0};
    // 0 then 5 is half a point.
    if (k == 5 && T == zero && Z == 1)
        return {QStringLiteral("0.5"), 0};
    // 5 after a half ("x.5") starts again at 5.0.
    if (k == 5 && T.size() >= 3 && T.at(2) == QLatin1Char('5'))
        return {QStringLiteral("5.0"), 0};
    // 5 after a whole point adds the half: 6 then 5 is 6.5.
    if (k == 5 && isOneToNine(T))
        return {T.left(1) + QStringLiteral(".5"), 0};
    // 0 after a score of one point or more changes nothing.
    if (k == 0 && isOneToNine(T))
        return {T, Z};
    // 0 twice is half a point.
    if (k == 0 && Z == 2 && T == zero)
        return {QStringLiteral("0.5"), 0};
    // Any other 0 changes nothing yet.
    if (k == 0)
        return {T, Z};
    // A key that is none of the digits changes nothing.
    if (k < 1 || k > 9)
        return {T, Z};
    // The same digit again adds the half (6 then 6 is 6.5); another digit is that whole point.
    const QString d = QString::number(k);
    if (T.contains(d + QStringLiteral(".0")))
        return {d + QStringLiteral(".5"), 0};
    return {d + QStringLiteral(".0"), 0};
}
