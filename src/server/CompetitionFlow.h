#pragma once

#include "server/Competition.h"
#include "server/Journal.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>
#include <random>

class PeerConnections;
class StationRegistry;
struct Peer;
struct ServerOptions;

// The competition run over the stations: the judges' scores recorded (from their stations, the
// operator, or filled in) and journalled, the panel's result and the results file, the dives,
// panels and the end announced to every station, and a station that joins caught up.
class CompetitionFlow
{
public:
    using Note = std::function<void(const QString &)>;

    CompetitionFlow(EventDefinition event, const ServerOptions &options, PeerConnections &connections,
                    StationRegistry &registry, Note note, QObject *timerParent);

    const Competition &competition() const { return competition_; }

    // Puts the first dive under way, or the journal's with --resume. False with `error` set
    // when the journal cannot be started or resumed.
    bool start(QString *error);
    // After a resume: a dive stopped in the correction pause has its pause again.
    void resumePause();
    void stopPause() { pauseTimer_.stop(); }
    bool pausing() const { return pauseTimer_.isActive(); }
    // "dive 3 of 12: round 1, start 3: ..."
    QString diveLine() const;
    // Counts the dives put under way ("next", "repeat", the end of the event).
    int diveSerial() const { return diveSerial_; }
    // Its station cancelled the judge's score for the dive under way to change it.
    bool changing(int judgeNumber) const { return judgeState_[judgeNumber - 1].changing; }

    void handleScore(Peer *peer, const QByteArray &sender, const QByteArray &payload);
    void catchUp(Peer *peer, bool keepUnsentScore);
    // Records a score for the dive under way (and journals it); false when it was the judge's
    // score already. `how` ends the log line.
    bool record(int judgeNumber, int halfPoints, JournalEntry::Source source, const QString &how);
    // After a recorded score: fills in, and on a complete panel sends the panel and scoreboard.
    void scored(bool wasComplete);

    void nextDive();
    void repeatDive();
    void endEvent();

private:
    // Ends the dive's pending changes: the dive under way is over.
    void endChanges();
    void journal(const JournalEntry &entry);
    // Starts the journal afresh, or replays it with --resume.
    bool openJournal(QString *error);
    void writeResults();
    void fillMissingJudges();
    QVector<int> connectedPanelJudges() const;
    void announcePanel();
    void announceDive();
    void announceEnd();

    const ServerOptions &options_;
    PeerConnections &connections_;
    StationRegistry &registry_;
    Note note_;
    Competition competition_;
    QTimer pauseTimer_;
    // Counts the dives put under way: a judge's station that was lost without saying "Off"
    // comes back within the same count for the score it could not send.
    int diveSerial_ = 0;
    // Per judge, for the dive under way.
    struct JudgeState {
        bool acknowledged = false;  // its station was told that its recorded score was received
        bool changing = false;      // its station cancelled that score to change it
    };
    QVector<JudgeState> judgeState_ = QVector<JudgeState>(11);
    Journal journal_;
    std::mt19937 fillRandom_;
};
