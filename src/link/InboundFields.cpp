#include "link/InboundFields.h"

#include "link/ConsoleMessage.h"
#include "station/StationState.h"

#include <limits>

QString PadToWidth(const QString &text, int n)
{
    const QString t = trimControls(text);
    if (t.size() < n)
        return QString(n - t.size(), QLatin1Char(' ')) + t;
    return t.left(n);
}

std::optional<qint32> parseWholeNumber(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    if (i >= n)
        return std::nullopt;
    qint64 value = 0;
    const qint64 limit = negative ? qint64(std::numeric_limits<qint32>::max()) + 1 : std::numeric_limits<qint32>::max();
    for (; i < n; ++i) {
        const QChar c = text.at(i);
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > limit)
            return std::nullopt;
    }
    return qint32(negative ? -value : value);
}

QString notAnIntegerMessage(const QString &field)
{
    return QStringLiteral("'%1' is not a valid integer value.").arg(field);
}

RoundAndStart splitRoundAndStart(const QString &first)
{
    RoundAndStart r;
    r.round = FieldBefore(first, QLatin1Char('-'));
    r.start = first.mid(2);
    if (r.start.contains(QLatin1Char('-')))
        r.start = RestAfter(r.start, QLatin1Char('-'));
    return r;
}
