#include "link/InboundDecoders.h"

#include "link/ConsoleMessage.h"
#include "link/InboundFields.h"
#include "station/StationState.h"

#include <array>
#include <cstddef>

namespace {

constexpr char upperAscii(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

constexpr int code2(char a, char b)
{
    return (int(static_cast<unsigned char>(a)) << 8) | int(static_cast<unsigned char>(b));
}

QChar dc(char c)
{
    return QChar::fromLatin1(c);
}

const QLatin1Char kListSeparator(ctl::ListSeparator);

// The LED labels draw each byte by their own mask table: they are given one character per
// byte, not the code page's letters.
QString ledBytes(const QByteArray &b)
{
    return QString::fromLatin1(b);
}

// The fields of a payload that end at the given terminators in turn: each field is what comes
// before its terminator in the rest after the field before it.
template <std::size_t N>
std::array<QString, N> fieldsEndingAt(const QString &payload, const char (&terminators)[N])
{
    std::array<QString, N> fields;
    QString rest = payload;
    for (std::size_t i = 0; i < N; ++i) {
        fields[i] = FieldBefore(rest, dc(terminators[i]));
        rest = RestAfter(rest, dc(terminators[i]));
    }
    return fields;
}

} // namespace

InboundCommand InboundCommandOf(const QByteArray &code)
{
    if (code.size() != 2)
        return InboundCommand::None;
    switch (code2(upperAscii(code[0]), upperAscii(code[1]))) {
    case code2('C', 'C'): return InboundCommand::CC;
    case code2('C', 'D'): return InboundCommand::CD;
    case code2('T', 'P'): return InboundCommand::TP;
    case code2('C', 'E'): return InboundCommand::CE;
    case code2('C', 'M'): return InboundCommand::CM;
    case code2('I', 'P'): return InboundCommand::IP;
    case code2('C', 'N'): return InboundCommand::CN;
    case code2('C', 'S'): return InboundCommand::CS;
    case code2('X', 'X'): return InboundCommand::XX;
    case code2('A', 'I'): return InboundCommand::AI;
    case code2('D', 'I'): return InboundCommand::DI;
    case code2('P', 'R'): return InboundCommand::PR;
    case code2('F', 'S'): return InboundCommand::FS;
    case code2('E', 'I'): return InboundCommand::EI;
    case code2('T', 'X'): return InboundCommand::TX;
    default: return InboundCommand::None;
    }
}

AthleteInfo DecodeAthlete(const QByteArray &payload)
{
    const auto f = fieldsEndingAt(fromBytes(payload), {ctl::DC1, ctl::DC2, ctl::DC3});
    const RoundAndStart first = splitRoundAndStart(f[0]);
    return {first.round, first.start, f[1], f[2]};
}

DiveInfo DecodeDive(const QByteArray &payload)
{
    const auto f = fieldsEndingAt(fromBytes(payload), {ctl::DC1, ctl::DC2, ctl::DC3, ctl::DC4});
    return {f[0], f[1], f[2], f[3]};
}

EventInfo DecodeEvent(const QByteArray &payload)
{
    const auto f = fieldsEndingAt(fromBytes(payload), {ctl::DC1, ctl::DC2, ctl::DC3});
    EventInfo e;
    e.individual = f[0] == QLatin1String("IND");
    e.event = f[1];
    e.judgeCountText = trimControls(f[2]);
    e.judgeCount = parseWholeNumber(e.judgeCountText);
    return e;
}

FinalScoreInfo DecodeFinalScore(const QByteArray &payload)
{
    const QString p = fromBytes(payload);
    FinalScoreInfo f;
    f.functionText = FieldBefore(p, dc(ctl::DC1));
    f.function = parseWholeNumber(f.functionText);
    f.score = trimControls(FieldBefore(RestAfter(p, dc(ctl::DC1)), dc(ctl::DC2)));
    return f;
}

QStringList DecodePanelScores(const QByteArray &payload)
{
    const QString p = ledBytes(payload);
    const qsizetype stx = p.indexOf(dc(ctl::STX));
    QString rest = stx < 0 ? p.mid(1) : p.mid(stx + 2);
    QStringList scores;
    for (int i = 0; i < kPanelScoreCount; ++i) {
        scores << FieldBefore(rest, kListSeparator);
        rest = RestAfter(rest, kListSeparator);
    }
    return scores;
}

ScoreboardInfo DecodeScoreboard(const QByteArray &payload)
{
    const QString p = ledBytes(payload);
    ScoreboardInfo s;
    s.order = PadToWidth(FieldBefore(p, dc(ctl::DC1)), 3);
    QString lines = FieldBefore(RestAfter(p, dc(ctl::DC1)), dc(ctl::DC2));
    s.lines[0] = PadToWidth(FieldBefore(lines, kListSeparator), 9);
    lines = RestAfter(lines, kListSeparator);
    s.lines[1] = PadToWidth(FieldBefore(lines, kListSeparator), 9);
    lines = RestAfter(lines, kListSeparator);
    s.lines[2] = PadToWidth(lines, 9);
    return s;
}

QString DecodeReceivedStation(const QByteArray &payload)
{
    return fromBytes(FieldBefore(payload, ctl::DC1));
}
