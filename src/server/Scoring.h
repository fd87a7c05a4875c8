#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// The result arithmetic of a dive, as pure functions. Scores are held as whole half points
// (6.5 is 13) and degrees of difficulty as whole tenths (2.8 is 28), so that every result is
// exact in hundredths of a point.

enum class EventKind { Individual, Synchro };

// The panel sizes an event can be judged by: individual 5 or 7, synchro 7, 9 or 11.
bool PanelSupported(EventKind kind, int judges);
// The operator's text for a panel that is refused, e.g.
// "an individual event is judged by 5 or 7 judges, not 6".
QString PanelRefusal(EventKind kind, int judges);

// A score text: a whole number of points from 0 to 10, optionally with a decimal part that
// makes it a half point ("6", "6.5", "06.50", "10.0"); blanks around it are allowed. Returns
// the half points (0 to 20), or nothing for any other text.
std::optional<int> ParseScore(const QByteArray &text);
// "6.5", "10.0", "0.0": the form the stations show and send.
QByteArray FormatScore(int halfPoints);

// A degree of difficulty such as "2.8" or "3": above 0 and below 10, at most one decimal
// that is not zero. Returns whole tenths.
std::optional<int> ParseDegreeOfDifficulty(const QByteArray &text);
QByteArray FormatDegreeOfDifficulty(int tenths);

// "52.50", "0.00", "1234.56".
QByteArray FormatPoints(qint64 hundredths);

// What a judge of a synchro panel scores: execution of the first or second diver, or
// synchronisation. Judges 1..m score the first diver, m+1..2m the second, the last five
// synchronisation, where m = (judges - 5) / 2.
enum class SynchroRole { ExecutionDiver1, ExecutionDiver2, Synchronisation };
std::optional<SynchroRole> SynchroRoleOf(int judges, int judgeNumber);
// The position text a station shows for that judge: "E1.1", "E2.1", ..., "S: 1" ... "S: 5";
// empty when the panel has no such judge.
QByteArray SynchroPositionText(int judges, int judgeNumber);

struct DiveResult {
    qint64 hundredths = 0;      // the dive's points
    int keptHalfPoints = 0;     // sum of the scores that count
    QVector<bool> cancelled;    // per judge, in panel order: the score does not count
};

// The dive's result for a complete panel: `halfPoints` holds one score per judge in panel
// order. Individual: the highest and lowest (two of each with seven judges) are cancelled,
// the three that remain are summed and multiplied by the degree of difficulty. Synchro: with
// eleven judges the highest and lowest execution score of each diver and of the
// synchronisation scores are cancelled; with nine, the highest and lowest of the four
// execution scores taken together and of the synchronisation scores; with seven, the highest
// and lowest synchronisation scores only; the five that remain are summed and multiplied by
// the degree of difficulty and by 0.6. Of equal scores the one of the lower judge number is
// cancelled as the lowest, the one of the higher judge number as the highest.
// Nothing for a panel size that is not supported or a score out of range.
std::optional<DiveResult> ComputeDiveResult(EventKind kind, const QVector<int> &halfPoints,
                                            int ddTenths);
