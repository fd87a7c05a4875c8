#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The messages the event server sends, each taken apart into a small record of its fields.
// Pure: no screen and no link; what a message does with its fields is the inbound handlers'.

// The fifteen commands the event server sends.
enum class InboundCommand { None, CC, CD, TP, CE, CM, IP, CN, CS, XX, AI, DI, PR, FS, EI, TX };

// The command for a command code, whose letters A to Z are matched without regard to case;
// None for any other code, the empty one included.
InboundCommand InboundCommandOf(const QByteArray &code);

// "AI": the athlete. The round and start order come from the first field "round-start".
struct AthleteInfo {
    QString round;
    QString start;
    QString athlete;
    QString club;
};
AthleteInfo DecodeAthlete(const QByteArray &payload);

// "DI": the dive.
struct DiveInfo {
    QString dive;
    QString difficulty;
    QString height;
    QString description;
};
DiveInfo DecodeDive(const QByteArray &payload);

// "EI": the event. A judge count that is not a whole number is no count (`judgeCount` empty,
// its text in `judgeCountText`); the fields before it still count.
struct EventInfo {
    bool individual = false;  // the discipline field is exactly "IND"
    QString event;
    std::optional<qint32> judgeCount;
    QString judgeCountText;
};
EventInfo DecodeEvent(const QByteArray &payload);

// "FS": a score the server sets for one function (1 for Judge 1). A function number that is
// not a whole number is no number; the score is then not to be used.
struct FinalScoreInfo {
    std::optional<qint32> function;
    QString functionText;
    QString score;
};
FinalScoreInfo DecodeFinalScore(const QByteArray &payload);

// "XX": the panel's scores for the displays, in order (one per display, kPanelScoreCount), as
// the LED labels draw them: one character per byte.
constexpr int kPanelScoreCount = 11;
QStringList DecodePanelScores(const QByteArray &payload);

// "PR": the scoreboard, as the LED labels draw it: the order right-aligned in 3 characters,
// the three lines in 9.
struct ScoreboardInfo {
    QString order;
    QString lines[3];
};
ScoreboardInfo DecodeScoreboard(const QByteArray &payload);

// "TX": the station whose score the server has received.
QString DecodeReceivedStation(const QByteArray &payload);
