#pragma once

#include "link/ConsoleMessage.h"
#include "link/EotFramer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;
struct ServerOptions;

// What one connection can make the server send to every station ("CC" announcements, relayed
// "IP", "CN" and "CS"): a burst and a steady rate, and a payload size. A real station sends
// three for each station that joins, one per test pulse and one per score.
constexpr double kRelayBurst = 60;
constexpr double kRelaysPerSecond = 10;
constexpr qsizetype kMaxRelayedPayload = 256;
// Every message in, relayed or not: a station far above it is broken or hostile.
constexpr double kMessageBurst = 400;
constexpr double kMessagesPerSecond = 100;

// One connection to the server, and what the server knows of the station at its other end.
struct Peer {
    QTcpSocket *socket = nullptr;
    QString endpoint;          // "192.168.1.20:50123"
    QByteArray id;             // the identifier it announced; empty before
    QByteArray caption, address, name, status;
    EotFramer framer{kMaxMessageBytes};  // bytes since the last EOT
    bool gone = false;         // disconnected; removed at the next purge
    bool leaveSent = false;    // the others have been told "CD" for it already
    bool saidOff = false;      // its last "CS" was "Off": the station left on purpose
    bool superseded = false;   // its judge connected again; what it still sends is ignored
    bool cutOff = false;       // broken or hostile: closed, nothing more is read
    qint64 connectedAtMs = 0;
    qint64 progressAtMs = 0;   // when its backlog was last empty or last moved
    qint64 sweptBacklog = 0;   // its backlog at the last sweep
    double relayTokens = kRelayBurst;
    qint64 relayFilledAtMs = 0;
    double messageTokens = kMessageBurst;
    qint64 messageFilledAtMs = 0;
    quint32 refusalsLogged = 0;  // Refusal bits already in the log for this connection
    // A second station for a judge whose station is connected: its announcement and what it
    // sends after are held while the first station is asked whether it is still there.
    QByteArray waitingFor, waitingCaption;
    QVector<QByteArray> held;
    Peer *checkedFor = nullptr;  // the first station: the newcomer waiting on its answer
    qint64 checkedAtMs = 0;
    bool unanswered = false;     // the first station did not answer in time: it is replaced
    bool refused = false;        // the second station was refused: read only for its "Off"

    bool deaf() const { return superseded || cutOff; }
    QString who() const;
};

// The stations' connections: accepts them on the listening port (up to the cap, with room kept
// for the judges' stations), reads each one and cuts what it sends into messages at EOT,
// writes what it is sent, and closes a connection that is broken, hostile, silent before it
// announces itself, or that leaves what it is sent unread.
class PeerConnections : public QObject
{
public:
    using Note = std::function<void(const QString &)>;

    PeerConnections(const ServerOptions &options, Note note, QObject *parent);
    ~PeerConnections() override;

    // What the server makes of its connections (set before listen()):
    // a message received, its EOT included;
    std::function<void(Peer *, const QByteArray &)> onText;
    // a connection that has ended, after its own notes;
    std::function<void(Peer *)> onLeft;
    // each connection at each sweep, before it is judged by its backlog: true when the server
    // has dealt with it for this sweep.
    std::function<bool(Peer *, qint64 nowMs)> onSweep;

    // False with `why` set when the address cannot be listened on.
    bool listen(QString *why);
    quint16 serverPort() const;
    // Stops listening (without a note).
    void closeListening();
    void startSweeping();
    // Stops listening, with its note, and closes every connection.
    void stop();

    const std::vector<std::unique_ptr<Peer>> &peers() const { return peers_; }
    qint64 elapsedMs() const { return clock_.elapsed(); }

    void setDisciplineTag(const QByteArray &tag) { disciplineTag_ = tag; }
    void send(const QVector<Peer *> &to, const QByteArray &command, const QByteArray &sender,
              const QByteArray &payload);
    void send(Peer *to, const QByteArray &command, const QByteArray &sender, const QByteArray &payload);
    // Closes a broken or hostile connection, logged once, and reads nothing more from it.
    void cutOff(Peer *peer, const QString &why);
    // Stops reading what the connection sends (superseded or cut off).
    static void stopReading(Peer *peer);
    // False, and the station cut off, when it sends more messages than any station may.
    bool takeMessageToken(Peer *peer);
    // False, and the station cut off, when it asks for more to be sent to every station than
    // one station may.
    bool relayAllowed(Peer *peer, const QByteArray &command, const QByteArray &payload);

private:
    void onNewConnection();
    void onReadyRead(Peer *peer);
    void onGone(Peer *peer);
    void purge();
    // Connections that are not a judge's station (not announced, or another station).
    int othersConnected() const;
    // Closes connections that have not announced themselves in time and stations that leave
    // what they are sent unread.
    void sweep();

    const ServerOptions &options_;
    Note note_;
    QTcpServer *server_ = nullptr;
    QTimer sweepTimer_;
    QElapsedTimer clock_;
    std::vector<std::unique_ptr<Peer>> peers_;
    QByteArray disciplineTag_;
    bool purgeScheduled_ = false;
    bool acceptPaused_ = false;
};
