#pragma once

#include "server/Competition.h"
#include "server/Journal.h"

#include <QByteArray>
#include <QHash>
#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <random>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;
class QTcpSocket;

struct ServerOptions {
    QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4);
    quint16 port = 8963;               // 0: any free port (see EventServer::port)
    int pulseIntervalMs = 10000;       // "TP" to every station; 0: none
    int correctionPauseMs = 5000;      // after a complete panel, before the next dive
    // Scores for the panel's judges who have no station connected, once every connected
    // judge has scored: a half point within 0.5 of the connected judges' mean.
    bool fillMissing = false;
    int announceTimeoutMs = 10000;     // a connection that has not said "CC" by then is closed
    int slowReaderMs = 5000;           // a station that leaves bytes unread this long is cut off
    int maxConnections = 64;
    int answerWaitMs = 5000;           // a judge's station asked whether it is still there           // of which 12 are kept for judges' stations
    quint32 fillSeed = 0;              // the same seed and the same scores fill the same
    // Every recorded score and every dive moved on is appended here (empty: no journal).
    QString journalPath;
    // Go on from the journal's dive under way instead of starting afresh.
    bool resume = false;
    // The results so far as CSV, written at each complete dive (empty: none).
    QString resultsPath;
};

// "J1  " ... "J11 " for judges 1 to 11; empty for any other number.
QByteArray JudgeStationId(int judgeNumber);
// 1 to 11 for "J1  " ... "J11 " exactly; 0 for any other identifier.
int JudgeNumberOf(const QByteArray &stationId);
// The server log's form of a message: the link log's labels ("[SOH]", "[DC1]"...), every
// other control byte as its code in hex ("[1B]"), so that nothing a station sends can steer
// the operator's terminal, and the other bytes as the stations show them (Windows-1252).
QString RenderForServerLog(const QByteArray &text);
// The battery text of a station's status: "Active 9 %" -> "9 %", "Active Power" -> "Power";
// empty when the status carries none ("Active", "Off").
QByteArray BatteryOf(const QByteArray &status);
// The charge in percent of a battery text ("9 %"), when it gives one.
std::optional<int> BatteryPercent(const QByteArray &battery);
constexpr int kLowBatteryPercent = 20;

// One address of one of this computer's network interfaces.
struct InterfaceAddress {
    QString interface;  // "eth0", "Wi-Fi"
    QHostAddress address;
    bool up = false;    // up and running
    bool loopback = false;
};
QVector<InterfaceAddress> LocalInterfaceAddresses();
// The addresses that stations can be given for a server listening on `bound`: the bound address
// itself, or for every address, the IPv4 addresses of the interfaces that are up, not the
// loopback (unless there is nothing else): "192.168.1.10 (eth0)".
QStringList StationAddresses(const QVector<InterfaceAddress> &all, const QHostAddress &bound);

// The rehearsal event server: accepts the stations on one TCP port (up to a cap), keeps the
// console protocol's contract from the server's side (announcements, relays, leave notices,
// acknowledgements, test pulses) and runs one competition over it.
//
// It lives on the thread that owns it and uses that thread's event loop. To run it on a
// thread of its own, see EventServerThread.
class EventServer : public QObject
{
    Q_OBJECT
public:
    static constexpr quint16 kDefaultPort = 8963;

    EventServer(EventDefinition event, ServerOptions options, QObject *parent = nullptr);
    ~EventServer() override;

    // Starts listening and puts the first dive under way. False with `error` set when the
    // address cannot be listened on.
    bool listen(QString *error = nullptr);
    // The port listened on (the chosen one when port 0 was asked for); 0 before listen().
    // Safe to call from any thread.
    quint16 port() const { return port_.load(); }
    // Closes the listening socket and every station's connection.
    void stop();

    const Competition &competition() const { return competition_; }
    const ServerOptions &options() const { return options_; }

    // Operator commands. Each reports what it did on logLine().
    void nextDive();
    void repeatDive();
    void endEvent();
    // Records a score for a judge as if the judge had sent it (a judge without a station).
    bool recordScore(int judgeNumber, const QByteArray &scoreText, QString *error = nullptr);
    // "FS": places a score on a judge's station, for the judge to accept.
    bool sendForcedScore(int judgeNumber, const QByteArray &scoreText, QString *error = nullptr);
    // "CE" to the judge's station; returns the number of connections it went to.
    int messageJudge(int judgeNumber, const QByteArray &text);
    // "CM" to every station.
    void chat(const QByteArray &text);
    // "CD" with the judge's identifier to every station: that judge's station leaves.
    void disconnectJudge(int judgeNumber);

    struct StationInfo {
        QByteArray id;        // empty until the station has announced itself
        QByteArray caption;   // what it announced itself as: "Judge 3"
        QByteArray address;   // what it reported with "IP"
        QByteArray name;      // "CN"
        QByteArray status;    // "CS"
        QString peer;         // the connection's remote address and port
    };
    QVector<StationInfo> stations() const;

    // What the operator needs to tell a dead link from a slow judge, per judge of the panel.
    struct JudgeLink {
        enum class State { NoStation, Connected, LinkLost };
        int judge = 0;
        State state = State::NoStation;
        QDateTime lostSince;      // LinkLost: when its station's link ended without "Off"
        std::optional<int> score; // for the dive under way
        bool changing = false;    // its station cancelled the score to change it
        QByteArray battery;       // as the station reports it: "80 %", "Power", "??"; empty before
        QDateTime lastHeard;      // its station's last message; invalid: none yet
        QString peer;             // Connected: the station's address and port
        QByteArray computer;      // its station's computer name ("CN")
    };
    QVector<JudgeLink> judgeLinks() const;
    // The dive under way and the panel's state, for the operator.
    QString statusText() const;

signals:
    // One line of the readable log: every message in and out, and what the server does.
    void logLine(const QString &line);

private:
    struct Peer;

    void onNewConnection();
    void onReadyRead(Peer *peer);
    void onGone(Peer *peer);
    void purge();
    void handleText(Peer *peer, const QByteArray &text);
    void handleAnnounce(Peer *peer, const QByteArray &sender, const QByteArray &caption);
    void handleStatus(Peer *peer, const QByteArray &command, const QByteArray &sender, const QByteArray &payload);
    void handleScore(Peer *peer, const QByteArray &sender, const QByteArray &payload);
    QByteArray resolveSender(Peer *peer, const QByteArray &sender);
    // False, and the station cut off, when it asks for more to be sent to every station than
    // one station may.
    bool relayAllowed(Peer *peer, const QByteArray &command, const QByteArray &payload);
    // Closes a broken or hostile connection, logged once, and reads nothing more from it.
    void cutOff(Peer *peer, const QString &why);
    // Connections that are not a judge's station (not announced, or another station).
    int othersConnected() const;
    // Closes connections that have not announced themselves in time and stations that leave
    // what they are sent unread.
    void sweep();
    enum class Refusal { NotAnnounced, SignedOther, ScoreNotAnnounced };
    // True the first time a refusal of this kind happens on the connection: logged once.
    bool firstRefusal(Peer *peer, Refusal kind);
    bool heldByOther(const QByteArray &id, const Peer *except) const;
    void catchUp(Peer *peer, bool keepUnsentScore);
    void supersede(Peer *older, Peer *newer);
    // The first station of a judge answered (or not) while a second one waits.
    void settleCheck(Peer *holder, bool answered);
    void refuseSecond(Peer *newcomer, const Peer *holder, const QByteArray &id);
    // Records a score for the dive under way (and journals it); false when it was the judge's
    // score already. `how` ends the log line.
    bool record(int judgeNumber, int halfPoints, JournalEntry::Source source, const QString &how);
    // After a recorded score: fills in, and on a complete panel sends the panel and scoreboard.
    void scored(bool wasComplete);
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
    void sendPulse();

    QVector<Peer *> stationPeers(const Peer *except = nullptr) const;
    void send(const QVector<Peer *> &to, const QByteArray &command, const QByteArray &sender,
              const QByteArray &payload);
    void send(Peer *to, const QByteArray &command, const QByteArray &sender, const QByteArray &payload);
    QByteArray disciplineTag() const;
    void note(const QString &text);

    EventDefinition event_;
    ServerOptions options_;
    Competition competition_;
    QTcpServer *server_ = nullptr;
    QTimer pulseTimer_;
    QTimer pauseTimer_;
    QTimer sweepTimer_;
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<Peer>> peers_;
    // Counts the dives put under way ("next", "repeat", the end of the event): a judge's
    // station that was lost without saying "Off" comes back within the same count for the
    // score it could not send.
    int diveSerial_ = 0;
    QHash<QByteArray, int> lostInDive_;  // judge's identifier -> diveSerial_ when it was lost
    // Per judge, for the dive under way.
    struct JudgeState {
        bool acknowledged = false;  // its station was told that its recorded score was received
        bool changing = false;      // its station cancelled that score to change it
    };
    QVector<JudgeState> judgeState_ = QVector<JudgeState>(11);
    Journal journal_;
    std::mt19937 fillRandom_;
    std::atomic<quint16> port_{0};
    // Per judge: what was last seen of its station, kept when the station is gone.
    struct Seen {
        bool lost = false;  // its last link ended without "Off"
        QDateTime lostSince;
        QByteArray battery;
        QDateTime lastHeard;
        QByteArray computer;
    };
    QHash<int, Seen> seen_;
    void heardFrom(Peer *peer);
    bool purgeScheduled_ = false;
    bool acceptPaused_ = false;
};

// The operator's line for one judge: "J2   LINK LOST since 17:20:04   not scored   battery 9 % LOW
// last heard 25 s ago".
QString FormatJudgeLink(const EventServer::JudgeLink &link, const QDateTime &now);
