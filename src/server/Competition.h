#pragma once

#include "server/EventFile.h"
#include "server/Scoring.h"

#include <QByteArray>
#include <QVector>

#include <optional>

// The running of one event, without the network: which dive is under way, the panel's
// scores for it, the athletes' totals and ranks, and the payloads of the messages that
// describe them. Rounds run in start order: round 1 is every athlete's first dive in the
// order of the event file, round 2 their second dives, and so on.
class Competition
{
public:
    explicit Competition(EventDefinition event);

    const EventDefinition &event() const { return event_; }
    int judges() const { return event_.judges; }

    // Puts the first dive under way (or ends an event without dives).
    void start();
    bool ended() const { return ended_; }

    // The dive under way (valid while not ended).
    int round() const { return round_ + 1; }          // from 1
    int startOrder() const { return athlete_ + 1; }   // from 1
    int diveIndex() const { return diveIndex_; }      // from 0, over the whole event
    const AthleteSpec &athlete() const { return event_.athletes[athlete_]; }
    const DiveSpec &dive() const { return athlete().dives[round_]; }

    // Records judge `judgeNumber`'s score (half points) for the dive under way, replacing an
    // earlier one. False when the judge is not on the panel, the score is out of range or
    // the event has ended.
    bool setScore(int judgeNumber, int halfPoints);
    std::optional<int> score(int judgeNumber) const;
    QVector<int> missingJudges() const;
    bool panelComplete() const;
    // The dive's result once the panel is complete.
    std::optional<DiveResult> result() const;

    // An athlete's total: the dives already finished, and the dive under way once its
    // panel is complete.
    qint64 totalHundredths(int athleteIndex) const;
    // 1 + the number of athletes with a higher total.
    int rank(int athleteIndex) const;

    // Finishes the dive under way (its result counts when its panel is complete) and puts
    // the next one under way. False when there was none: the event has ended.
    bool advance();
    // Clears the panel's scores of the dive under way, to judge it again.
    void repeat();
    // Ends the event; the dive under way does not count.
    void end();

    // A dive whose panel was complete when the event moved on from it.
    struct JudgedDive {
        int diveIndex = 0;           // from 0, over the whole event
        int round = 0;               // from 1
        int athleteIndex = 0;        // from 0, in start order
        QVector<int> halfPoints;     // one score per judge, in panel order
        qint64 hundredths = 0;       // the dive's points
    };
    // The judged dives moved on from, in the order dived.
    const QVector<JudgedDive> &judgedDives() const { return judged_; }
    // The judged dives moved on from, and the dive under way once its panel is complete.
    QVector<JudgedDive> resultsSoFar() const;

    // Message payloads for the stations.
    QByteArray eiPayload() const;     // "IND" DC1 name DC2 judges DC3
    QByteArray endEiPayload() const;  // the same with "END OF EVENT"
    QByteArray aiPayload() const;     // round "-" start order DC1 name DC2 team DC3
    QByteArray diPayload() const;     // number DC1 dd DC2 height DC3 description DC4
    QByteArray xxPayload() const;     // lead character, then each judge's score and "^"
    QByteArray prPayload() const;     // start order DC1 points "^" total "^" rank DC2

    // "round 1, start 2: Sofia Rossi (ITA), 107B, DD 3.1, 3m"
    QByteArray describeDive() const;

private:
    bool moveTo(int round, int athlete);
    JudgedDive currentJudged(const DiveResult &r) const;

    EventDefinition event_;
    int round_ = 0;
    int athlete_ = 0;
    int diveIndex_ = 0;
    bool ended_ = true;
    QVector<std::optional<int>> scores_;
    QVector<qint64> finished_;  // per athlete: the points of its finished dives
    QVector<JudgedDive> judged_;
};

// The results so far as a plain CSV (UTF-8, comma-separated, texts quoted): one line per
// judged dive with its scores, points and the athlete's total after it.
QByteArray ResultsCsv(const Competition &competition);

// The three scoreboard lines of at most 9 characters.
QByteArray ScoreboardLine(const QByteArray &label, const QByteArray &value);
