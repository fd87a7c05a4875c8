#pragma once

#include "server/Competition.h"
#include "server/CompetitionFlow.h"
#include "server/PeerConnections.h"
#include "server/StationRegistry.h"

#include <QByteArray>
#include <QDateTime>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class OperatorCommands;

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

// The judges' station identifiers (JudgeStationId, JudgeNumberOf): server/StationRegistry.h.
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
// A façade over its jobs: PeerConnections (the connections and their framing),
// StationRegistry (who holds which station identifier), CompetitionFlow (the competition) and
// OperatorCommands (the operator's commands and reports, server/OperatorConsole.h).
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

    const Competition &competition() const { return flow_.competition(); }
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
    // Every message in: held, logged and handed to the job it is for.
    void handleText(Peer *peer, const QByteArray &text);
    void note(const QString &text);
    // note() for the jobs.
    std::function<void(const QString &)> noter();

    EventDefinition event_;
    ServerOptions options_;
    // The jobs, wired in the constructor: the connections, who holds which station identifier,
    // the competition over them, and the operator's commands and reports.
    PeerConnections connections_;
    StationRegistry registry_;
    CompetitionFlow flow_;
    std::unique_ptr<OperatorCommands> operator_;
    QTimer pulseTimer_;
    std::atomic<quint16> port_{0};
};

// The operator's line for one judge: "J2   LINK LOST since 17:20:04   not scored   battery 9 % LOW
// last heard 25 s ago".
QString FormatJudgeLink(const EventServer::JudgeLink &link, const QDateTime &now);
