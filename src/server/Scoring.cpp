#include "server/Scoring.h"

#include <algorithm>

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= ' ';
}

QByteArray Trimmed(const QByteArray &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && IsBlank(text[from]))
        ++from;
    while (to > from && IsBlank(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

// Splits "12.50" into whole part and decimal digits; false when the text is not of the form
// digits, optionally followed by "." and at least one digit.
bool SplitDecimal(const QByteArray &text, QByteArray &whole, QByteArray &decimals)
{
    const qsizetype dot = text.indexOf('.');
    whole = dot < 0 ? text : text.left(dot);
    decimals = dot < 0 ? QByteArray() : text.mid(dot + 1);
    if (whole.isEmpty() || whole.size() > 6)
        return false;
    if (dot >= 0 && decimals.isEmpty())
        return false;
    for (char c : whole)
        if (!IsDigit(c))
            return false;
    for (char c : decimals)
        if (!IsDigit(c))
            return false;
    return true;
}

// Cancels, among the judges `group` (indices into `scores`), the `count` lowest and the
// `count` highest scores.
void CancelExtremes(const QVector<int> &scores, QVector<int> group, int count, QVector<bool> &cancelled)
{
    std::stable_sort(group.begin(), group.end(),
                     [&](int a, int b) { return scores[a] < scores[b]; });
    for (int i = 0; i < count && i < group.size(); ++i) {
        cancelled[group[i]] = true;
        cancelled[group[group.size() - 1 - i]] = true;
    }
}

QVector<int> Range(int from, int to)  // judges `from` to `to` - 1, as 0-based indices
{
    QVector<int> out;
    for (int i = from; i < to; ++i)
        out.append(i);
    return out;
}

} // namespace

bool PanelSupported(EventKind kind, int judges)
{
    if (kind == EventKind::Individual)
        return judges == 5 || judges == 7;
    return judges == 7 || judges == 9 || judges == 11;
}

QString PanelRefusal(EventKind kind, int judges)
{
    if (kind == EventKind::Individual)
        return QStringLiteral("an individual event is judged by 5 or 7 judges, not %1").arg(judges);
    return QStringLiteral("a synchro event is judged by 7, 9 or 11 judges, not %1").arg(judges);
}

std::optional<int> ParseScore(const QByteArray &text)
{
    QByteArray whole, decimals;
    if (!SplitDecimal(Trimmed(text), whole, decimals))
        return std::nullopt;
    const int points = whole.toInt();
    int half = 0;
    if (!decimals.isEmpty()) {
        const bool zeros = std::all_of(decimals.begin() + 1, decimals.end(), [](char c) { return c == '0'; });
        if (!zeros || (decimals[0] != '0' && decimals[0] != '5'))
            return std::nullopt;
        half = decimals[0] == '5' ? 1 : 0;
    }
    const int halfPoints = points * 2 + half;
    if (halfPoints < 0 || halfPoints > 20)
        return std::nullopt;
    return halfPoints;
}

QByteArray FormatScore(int halfPoints)
{
    return QByteArray::number(halfPoints / 2) + (halfPoints % 2 ? ".5" : ".0");
}

std::optional<int> ParseDegreeOfDifficulty(const QByteArray &text)
{
    QByteArray whole, decimals;
    if (!SplitDecimal(Trimmed(text), whole, decimals))
        return std::nullopt;
    if (decimals.size() > 1 && !std::all_of(decimals.begin() + 1, decimals.end(), [](char c) { return c == '0'; }))
        return std::nullopt;
    const int tenths = whole.toInt() * 10 + (decimals.isEmpty() ? 0 : decimals[0] - '0');
    if (tenths <= 0 || tenths >= 100)
        return std::nullopt;
    return tenths;
}

QByteArray FormatDegreeOfDifficulty(int tenths)
{
    return QByteArray::number(tenths / 10) + '.' + QByteArray::number(tenths % 10);
}

QByteArray FormatPoints(qint64 hundredths)
{
    const bool negative = hundredths < 0;
    const qint64 v = negative ? -hundredths : hundredths;
    QByteArray cents = QByteArray::number(v % 100);
    if (cents.size() < 2)
        cents.prepend('0');
    return (negative ? "-" : "") + QByteArray::number(v / 100) + '.' + cents;
}

std::optional<SynchroRole> SynchroRoleOf(int judges, int judgeNumber)
{
    if (!PanelSupported(EventKind::Synchro, judges) || judgeNumber < 1 || judgeNumber > judges)
        return std::nullopt;
    const int m = (judges - 5) / 2;
    if (judgeNumber <= m)
        return SynchroRole::ExecutionDiver1;
    if (judgeNumber <= 2 * m)
        return SynchroRole::ExecutionDiver2;
    return SynchroRole::Synchronisation;
}

QByteArray SynchroPositionText(int judges, int judgeNumber)
{
    const auto role = SynchroRoleOf(judges, judgeNumber);
    if (!role)
        return {};
    const int m = (judges - 5) / 2;
    switch (*role) {
    case SynchroRole::ExecutionDiver1:
        return "E" + QByteArray::number(judgeNumber) + ".1";
    case SynchroRole::ExecutionDiver2:
        return "E" + QByteArray::number(judgeNumber - m) + ".2";
    case SynchroRole::Synchronisation:
        return "S: " + QByteArray::number(judgeNumber - 2 * m);
    }
    return {};
}

std::optional<DiveResult> ComputeDiveResult(EventKind kind, const QVector<int> &halfPoints, int ddTenths)
{
    const int judges = halfPoints.size();
    if (!PanelSupported(kind, judges))
        return std::nullopt;
    for (int s : halfPoints)
        if (s < 0 || s > 20)
            return std::nullopt;

    DiveResult r;
    r.cancelled = QVector<bool>(judges, false);
    if (kind == EventKind::Individual) {
        CancelExtremes(halfPoints, Range(0, judges), judges == 7 ? 2 : 1, r.cancelled);
    } else {
        const int m = (judges - 5) / 2;
        if (judges == 11) {
            CancelExtremes(halfPoints, Range(0, m), 1, r.cancelled);
            CancelExtremes(halfPoints, Range(m, 2 * m), 1, r.cancelled);
        } else if (judges == 9) {
            CancelExtremes(halfPoints, Range(0, 2 * m), 1, r.cancelled);
        }
        CancelExtremes(halfPoints, Range(2 * m, judges), 1, r.cancelled);
    }
    for (int i = 0; i < judges; ++i)
        if (!r.cancelled[i])
            r.keptHalfPoints += halfPoints[i];
    // Half points times tenths are twentieths of a point: individual x 5 gives hundredths;
    // synchro's factor 0.6 makes it x 3.
    r.hundredths = qint64(r.keptHalfPoints) * ddTenths * (kind == EventKind::Individual ? 5 : 3);
    return r;
}
