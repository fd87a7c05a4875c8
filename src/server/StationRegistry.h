#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QVector>

#include <functional>

class PeerConnections;
struct Peer;
struct ServerOptions;

// The server's own station identifier.
inline const QByteArray kServerId = "VRX ";
// After a "CD", the time the station has to say goodbye and close its link itself.
constexpr int kLeaveGraceMs = 3000;

// "J1  " ... "J11 " for judges 1 to 11; empty for any other number.
QByteArray JudgeStationId(int judgeNumber);
// 1 to 11 for "J1  " ... "J11 " exactly; 0 for any other identifier.
int JudgeNumberOf(const QByteArray &stationId);
// A station identifier: exactly 4 printable characters, not all blanks, not the server's.
bool IsStationId(const QByteArray &id);
// An identifier as the log shows it: "J3".
QString ShownId(const QByteArray &id);

// Which connection holds which station identifier: the stations' announcements and status
// reports, one station per judge (a second one is asked about, refused or takes over), the
// stations that leave, and what was last seen of each judge's station.
class StationRegistry
{
public:
    using Note = std::function<void(const QString &)>;

    StationRegistry(PeerConnections &connections, const ServerOptions &options, Note note);

    // What the registry asks of the rest of the server (set before the first connection):
    // the dive under way for a station that has announced itself (true: it keeps the score it
    // could not send);
    std::function<void(Peer *, bool keepUnsentScore)> catchUp;
    // a message held while its connection waited, handled now;
    std::function<void(Peer *, const QByteArray &text)> replay;
    // the count of dives put under way so far.
    std::function<int()> diveSerial;

    void handleAnnounce(Peer *peer, const QByteArray &sender, const QByteArray &caption);
    void handleStatus(Peer *peer, const QByteArray &command, const QByteArray &sender, const QByteArray &payload);
    // The identifier that a message from this connection counts as; empty before its "CC".
    QByteArray resolveSender(Peer *peer, const QByteArray &sender);
    // The first station of a judge answered (or not) while a second one waits.
    void settleCheck(Peer *holder, bool answered);
    // At each sweep: true when the connection's answer was awaited too long, and is settled.
    bool answerOverdue(Peer *peer, qint64 nowMs);
    // A connection that has ended: the others are told, and a lost judge's station noted.
    void stationLeft(Peer *peer);
    // Every message from a connection.
    void heardFrom(Peer *peer);
    // "TP" to every station.
    void sendPulse();
    // Forgets which stations were lost during which dive (a new run).
    void forgetLost() { lostInDive_.clear(); }

    enum class Refusal { NotAnnounced, SignedOther, ScoreNotAnnounced };
    // True the first time a refusal of this kind happens on the connection: logged once.
    static bool firstRefusal(Peer *peer, Refusal kind);

    // The connections that have announced a station.
    QVector<Peer *> stationPeers(const Peer *except = nullptr) const;
    // The connections of judge `judgeNumber`'s station.
    QVector<Peer *> judgeStations(int judgeNumber) const;
    bool heldByOther(const QByteArray &id, const Peer *except) const;

    // Per judge: what was last seen of its station, kept when the station is gone.
    struct Seen {
        bool lost = false;  // its last link ended without "Off"
        QDateTime lostSince;
        QByteArray battery;
        QDateTime lastHeard;
        QByteArray computer;
    };
    Seen seen(int judgeNumber) const { return seen_.value(judgeNumber); }

private:
    void supersede(Peer *older, Peer *newer);
    void refuseSecond(Peer *newcomer, const Peer *holder, const QByteArray &id);

    PeerConnections &connections_;
    const ServerOptions &options_;
    Note note_;
    QHash<QByteArray, int> lostInDive_;  // judge's identifier -> diveSerial() when it was lost
    QHash<int, Seen> seen_;
};
