#include "server/EventServer.h"

#include "link/CodePage.h"
#include "link/ConsoleMessage.h"
#include "platform/KeepAlive.h"
#include "platform/SafeFile.h"

#include <QHostInfo>
#include <QNetworkInterface>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdlib>

namespace {

const QByteArray kServerId = "VRX ";
// A station whose backlog grows past this is cut off at once whatever its pace: no honest
// station can be sent that much (relays are bounded below).
constexpr qint64 kMaxBacklogBytes = 32 << 20;
// What one connection can make the server send to every station ("CC" announcements, relayed
// "IP", "CN" and "CS"): a burst and a steady rate, and a payload size. A real station sends
// three for each station that joins, one per test pulse and one per score.
constexpr double kRelayBurst = 60;
constexpr double kRelaysPerSecond = 10;
constexpr qsizetype kMaxRelayedPayload = 256;
// Every message in, relayed or not: a station far above it is broken or hostile.
constexpr double kMessageBurst = 400;
constexpr double kMessagesPerSecond = 100;
// Non-judge stations announced at once (the judges' stations have room of their own).
constexpr int kMaxOtherStations = 8;
// After a "CD", the time the station has to say goodbye and close its link itself.
constexpr int kLeaveGraceMs = 3000;

// A station identifier: exactly 4 printable characters, not all blanks, not the server's.
bool IsStationId(const QByteArray &id)
{
    if (id.size() != 4 || id == kServerId || id.trimmed().isEmpty())
        return false;
    for (char c : id)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// A bucket of tokens filled at a steady rate up to a burst: one token per thing allowed.
bool TakeToken(double &tokens, qint64 &filledAtMs, qint64 nowMs, double perSecond, double burst)
{
    tokens = std::min(burst, tokens + double(nowMs - filledAtMs) * perSecond / 1000.0);
    filledAtMs = nowMs;
    if (tokens < 1)
        return false;
    tokens -= 1;
    return true;
}

QString Shown(const QByteArray &id)
{
    return QString::fromLatin1(id.trimmed());
}

QString JudgeList(const QVector<int> &judges)
{
    QStringList parts;
    for (int j : judges)
        parts << QString::number(j);
    return parts.join(QLatin1String(", "));
}

} // namespace

QByteArray JudgeStationId(int judgeNumber)
{
    if (judgeNumber < 1 || judgeNumber > 11)
        return {};
    return ("J" + QByteArray::number(judgeNumber)).leftJustified(4, ' ');
}

int JudgeNumberOf(const QByteArray &stationId)
{
    for (int n = 1; n <= 11; ++n)
        if (stationId == JudgeStationId(n))
            return n;
    return 0;
}

QString RenderForServerLog(const QByteArray &text)
{
    const QByteArray labelled = RenderForLog(text);
    const QString shown = DecodeConsoleText(labelled);
    QString out;
    out.reserve(shown.size());
    for (QChar ch : shown) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || (c >= 0x7F && c < 0xA0))
            out += QStringLiteral("[%1]").arg(uint(c), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += ch;
    }
    return out;
}

QByteArray BatteryOf(const QByteArray &status)
{
    if (!status.startsWith("Active "))
        return {};
    return status.mid(7).trimmed();
}

std::optional<int> BatteryPercent(const QByteArray &battery)
{
    if (!battery.endsWith('%'))
        return std::nullopt;
    bool ok = false;
    const int n = battery.chopped(1).trimmed().toInt(&ok);
    return ok && n >= 0 && n <= 100 ? std::optional<int>(n) : std::nullopt;
}

QVector<InterfaceAddress> LocalInterfaceAddresses()
{
    QVector<InterfaceAddress> out;
    for (const QNetworkInterface &i : QNetworkInterface::allInterfaces()) {
        const auto flags = i.flags();
        for (const QNetworkAddressEntry &e : i.addressEntries())
            out.append({i.humanReadableName(), e.ip(),
                        flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning),
                        flags.testFlag(QNetworkInterface::IsLoopBack)});
    }
    return out;
}

QStringList StationAddresses(const QVector<InterfaceAddress> &all, const QHostAddress &bound)
{
    if (bound != QHostAddress(QHostAddress::AnyIPv4) && bound != QHostAddress(QHostAddress::Any))
        return {bound.toString()};
    QStringList lan, loopback;
    for (const InterfaceAddress &a : all) {
        if (a.address.protocol() != QAbstractSocket::IPv4Protocol || !a.up)
            continue;
        const QString shown = QStringLiteral("%1 (%2)").arg(a.address.toString(), a.interface);
        if (a.loopback || a.address.isLoopback())
            loopback << QStringLiteral("%1 (%2, this computer only)").arg(a.address.toString(), a.interface);
        else if (!lan.contains(shown))
            lan << shown;
    }
    return lan.isEmpty() ? loopback : lan;
}

struct EventServer::Peer {
    QTcpSocket *socket = nullptr;
    QString endpoint;          // "192.168.1.20:50123"
    QByteArray id;             // the identifier it announced; empty before
    QByteArray caption, address, name, status;
    QByteArray buffer;         // bytes since the last EOT
    bool discarding = false;   // inside an over-long message: dropping up to the next EOT
    qint64 discarded = 0;
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

    QString who() const
    {
        return id.isEmpty() ? endpoint : Shown(id);
    }
};

EventServer::EventServer(EventDefinition event, ServerOptions options, QObject *parent)
    : QObject(parent)
    , event_(event)
    , options_(options)
    , competition_(std::move(event))
    , server_(new QTcpServer(this))
    , pulseTimer_(this)
    , pauseTimer_(this)
    , sweepTimer_(this)
{
    connect(server_, &QTcpServer::newConnection, this, &EventServer::onNewConnection);
    // Out of descriptors (or another accept failure): the server stops accepting; it tries
    // again shortly, when closed connections have freed some.
    connect(server_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (!acceptPaused_)
            note(QStringLiteral("cannot accept a connection: %1; trying again").arg(server_->errorString()));
        acceptPaused_ = true;
        QTimer::singleShot(100, this, [this] {
            acceptPaused_ = false;
            server_->resumeAccepting();
        });
    });
    pulseTimer_.setInterval(std::max(0, options_.pulseIntervalMs));
    connect(&pulseTimer_, &QTimer::timeout, this, &EventServer::sendPulse);
    pauseTimer_.setSingleShot(true);
    connect(&pauseTimer_, &QTimer::timeout, this, &EventServer::nextDive);
    clock_.start();
    sweepTimer_.setInterval(
        std::clamp(std::min({options_.announceTimeoutMs, options_.slowReaderMs, options_.answerWaitMs}) / 4, 20, 1000));
    connect(&sweepTimer_, &QTimer::timeout, this, &EventServer::sweep);
}

EventServer::~EventServer()
{
    stop();
}

bool EventServer::listen(QString *error)
{
    if (!PanelSupported(event_.kind, event_.judges)) {
        const QString why = QStringLiteral("cannot run \"%1\": %2")
                                .arg(DecodeConsoleText(event_.name), PanelRefusal(event_.kind, event_.judges));
        if (error)
            *error = why;
        note(why);
        return false;
    }
    // A storm of connections waits in the queue rather than being dropped and tried again
    // seconds later: the judges' stations are among them.
    server_->setListenBacklogSize(1024);
    if (!server_->listen(options_.bindAddress, options_.port)) {
        const QString why = QStringLiteral("cannot listen on %1 port %2: %3")
                                .arg(options_.bindAddress.toString())
                                .arg(options_.port)
                                .arg(server_->errorString());
        if (error)
            *error = why;
        note(why);
        return false;
    }
    competition_.start();
    diveSerial_ = 0;
    lostInDive_.clear();
    judgeState_ = QVector<JudgeState>(11);
    fillRandom_.seed(options_.fillSeed);
    QString why;
    if (!openJournal(&why)) {
        server_->close();
        if (error)
            *error = why;
        note(why);
        return false;
    }

    port_ = server_->serverPort();
    const QStringList addresses = StationAddresses(LocalInterfaceAddresses(), options_.bindAddress);
    note(QStringLiteral("listening on port %1; the stations connect to %2")
             .arg(port_.load())
             .arg(addresses.isEmpty() ? QStringLiteral("(no network address is up)")
                                      : addresses.join(QLatin1String(" or "))));
    if (options_.pulseIntervalMs > 0)
        pulseTimer_.start();
    sweepTimer_.start();
    note(QStringLiteral("event \"%1\": %2, %3 judges, %4 athletes, %5 dives")
             .arg(DecodeConsoleText(event_.name), EventKindName(event_.kind))
             .arg(event_.judges)
             .arg(event_.athletes.size())
             .arg(event_.diveCount()));
    if (competition_.ended()) {
        note(QStringLiteral("the event has ended"));
        return true;
    }
    note(QStringLiteral("dive %1 of %2: %3")
             .arg(competition_.diveIndex() + 1)
             .arg(event_.diveCount())
             .arg(DecodeConsoleText(competition_.describeDive())));
    if (options_.resume) {
        note(statusText());
        // Stopped in the correction pause: the pause starts again.
        if (competition_.panelComplete() && options_.correctionPauseMs > 0)
            pauseTimer_.start(options_.correctionPauseMs);
    }
    return true;
}

bool EventServer::openJournal(QString *error)
{
    if (options_.journalPath.isEmpty()) {
        if (options_.resume) {
            *error = QStringLiteral("cannot resume without a journal");
            return false;
        }
        return true;
    }
    if (!options_.resume) {
        QString keptAs;
        if (!journal_.startFresh(options_.journalPath, event_, &keptAs, error))
            return false;
        if (!keptAs.isEmpty())
            note(QStringLiteral("the journal of an earlier run is kept as %1 (--resume goes on from a journal)").arg(keptAs));
        note(QStringLiteral("journal: %1").arg(options_.journalPath));
        return true;
    }
    JournalContent content;
    if (!journal_.resume(options_.journalPath, event_, &content, error))
        return false;
    if (content.tornLastLine)
        note(QStringLiteral("the journal's last line was cut short by the stop and is dropped"));
    int scores = 0;
    for (const JournalEntry &e : content.entries) {
        if (competition_.ended() || e.diveIndex != competition_.diveIndex()) {
            *error = QStringLiteral("cannot resume from the journal %1: its \"%2\" does not follow from what comes "
                                    "before it")
                         .arg(options_.journalPath, QString::fromLatin1(FormatJournalEntry(e)));
            return false;
        }
        switch (e.kind) {
        case JournalEntry::Kind::Score:
            if (!competition_.setScore(e.judge, e.halfPoints)) {
                *error = QStringLiteral("cannot resume from the journal %1: judge %2 is not on the panel")
                             .arg(options_.journalPath)
                             .arg(e.judge);
                return false;
            }
            // A station's Cancel on its green panel still counts as a change after the restart.
            judgeState_[e.judge - 1].acknowledged = e.source == JournalEntry::Source::Station;
            ++scores;
            break;
        case JournalEntry::Kind::Next:
            competition_.advance();
            break;
        case JournalEntry::Kind::Repeat:
            competition_.repeat();
            break;
        case JournalEntry::Kind::End:
            competition_.end();
            break;
        }
        if (e.kind != JournalEntry::Kind::Score) {
            judgeState_ = QVector<JudgeState>(11);
            ++diveSerial_;
        }
    }
    note(QStringLiteral("resumed from the journal %1: %2 scores, %3 dives judged")
             .arg(options_.journalPath)
             .arg(scores)
             .arg(competition_.judgedDives().size()));
    return true;
}

void EventServer::stop()
{
    pulseTimer_.stop();
    pauseTimer_.stop();
    sweepTimer_.stop();
    if (server_->isListening()) {
        server_->close();
        note(QStringLiteral("stopped"));
    }
    for (auto &p : peers_) {
        if (p->gone)
            continue;
        p->gone = true;
        p->socket->disconnect(this);
        p->socket->flush();
        p->socket->abort();
        p->socket->deleteLater();
    }
    peers_.clear();
}

// ---- connections ----------------------------------------------------------------------

void EventServer::onNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        auto peer = std::make_unique<Peer>();
        Peer *p = peer.get();
        p->socket = socket;
        p->endpoint = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        p->connectedAtMs = p->progressAtMs = p->relayFilledAtMs = p->messageFilledAtMs = clock_.elapsed();
        note(QStringLiteral("connection from %1").arg(p->endpoint));
        // Room is kept for the judges' stations: connections that are not (yet) a judge's are
        // capped below the whole cap, and the oldest one that has not announced itself makes
        // way for a newcomer, which may be a judge's station.
        if (othersConnected() >= options_.maxConnections - 12) {
            Peer *oldest = nullptr;
            for (const auto &q : peers_)
                if (!q->gone && !q->cutOff && q->id.isEmpty() && (!oldest || q->connectedAtMs < oldest->connectedAtMs))
                    oldest = q.get();
            if (!oldest) {
                note(QStringLiteral("%1 refused: %2 connections already, with room kept for the judges' stations")
                         .arg(p->endpoint)
                         .arg(options_.maxConnections));
                socket->abort();
                socket->deleteLater();
                continue;
            }
            cutOff(oldest, QStringLiteral("closed: it has not announced itself, and room is kept for the judges' stations"));
            // At once: a storm of connections must not hold descriptors until the next turn
            // of the event loop.
            oldest->socket->abort();
        }
        // A station whose link has died (a cable pulled, a computer gone) is noticed within 15 s.
        if (!EnableKeepAlive(socket->socketDescriptor()))
            note(QStringLiteral("%1: TCP keep-alive could not be set; a dead link is noticed late").arg(p->endpoint));
        peers_.push_back(std::move(peer));
        connect(socket, &QTcpSocket::readyRead, this, [this, p] { onReadyRead(p); });
        connect(socket, &QTcpSocket::disconnected, this, [this, p] { onGone(p); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, p] { p->progressAtMs = clock_.elapsed(); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, p](QAbstractSocket::SocketError e) {
            if (p->gone)
                return;
            if (e != QAbstractSocket::RemoteHostClosedError && !p->cutOff)
                note(QStringLiteral("%1: %2").arg(p->who(), p->socket->errorString()));
            if (p->socket->state() == QAbstractSocket::UnconnectedState)
                onGone(p);
        });
        // Bytes may have come with the connection already.
        if (socket->bytesAvailable() > 0)
            onReadyRead(p);
    }
}

int EventServer::othersConnected() const
{
    int n = 0;
    for (const auto &p : peers_)
        n += !p->gone && !p->cutOff && JudgeNumberOf(p->id) == 0;
    return n;
}

void EventServer::cutOff(Peer *peer, const QString &why)
{
    if (peer->gone || peer->cutOff)
        return;
    peer->cutOff = true;
    note(QStringLiteral("%1 (%2) %3").arg(peer->who(), peer->endpoint, why));
    peer->buffer.clear();
    // Closed from the event loop: it may be in the middle of being read or written.
    QMetaObject::invokeMethod(peer->socket, &QTcpSocket::abort, Qt::QueuedConnection);
}

bool EventServer::firstRefusal(Peer *peer, Refusal kind)
{
    const quint32 bit = 1u << int(kind);
    const bool first = (peer->refusalsLogged & bit) == 0;
    peer->refusalsLogged |= bit;
    return first;
}

void EventServer::sweep()
{
    const qint64 now = clock_.elapsed();
    for (const auto &p : peers_) {
        if (p->gone || p->cutOff)
            continue;
        if (p->id.isEmpty() && now - p->connectedAtMs >= options_.announceTimeoutMs) {
            cutOff(p.get(), QStringLiteral("closed: it has not announced itself within %1 s")
                                .arg(options_.announceTimeoutMs / 1000.0));
            continue;
        }
        if (p->checkedFor && now - p->checkedAtMs >= options_.answerWaitMs) {
            settleCheck(p.get(), false);
            continue;
        }
        // Judged by what it leaves unread over time, never by one burst: bytes waiting since
        // the sweep before, none of them taken since (a server busy with a burst of its own
        // has had no chance to hand them on).
        const qint64 backlog = p->socket->bytesToWrite();
        const bool stuck = p->sweptBacklog > 0 && backlog >= p->sweptBacklog;
        if (!stuck)
            p->progressAtMs = now;
        else if (now - p->progressAtMs >= options_.slowReaderMs)
            cutOff(p.get(), QStringLiteral("closed: it has left %1 bytes unread for %2 s")
                                .arg(backlog)
                                .arg((now - p->progressAtMs) / 1000.0));
        p->sweptBacklog = backlog;
    }
}

void EventServer::onReadyRead(Peer *peer)
{
    if (peer->gone)
        return;
    if (peer->deaf()) {
        peer->socket->readAll();
        return;
    }
    peer->buffer += peer->socket->readAll();
    qsizetype from = 0;
    while (!peer->gone && !peer->deaf()) {
        const qsizetype eot = peer->buffer.indexOf(ctl::EOT, from);
        if (peer->discarding) {
            if (eot < 0) {
                peer->discarded += peer->buffer.size() - from;
                from = peer->buffer.size();
                break;
            }
            peer->discarded += eot - from + 1;
            note(QStringLiteral("%1: over-long message of %2 bytes dropped").arg(peer->who()).arg(peer->discarded));
            peer->discarding = false;
            peer->discarded = 0;
            from = eot + 1;
            continue;
        }
        if (eot < 0) {
            if (peer->buffer.size() - from > kMaxMessageBytes) {
                note(QStringLiteral("%1: more than %2 bytes without EOT; dropping them up to the next EOT")
                         .arg(peer->who())
                         .arg(kMaxMessageBytes));
                peer->discarding = true;
                peer->discarded = peer->buffer.size() - from;
                from = peer->buffer.size();
            }
            break;
        }
        if (eot - from > kMaxMessageBytes) {
            note(QStringLiteral("%1: over-long message of %2 bytes dropped").arg(peer->who()).arg(eot - from + 1));
            from = eot + 1;
            continue;
        }
        const QByteArray text = peer->buffer.mid(from, eot - from + 1);
        from = eot + 1;
        handleText(peer, text);
    }
    if (!peer->gone && !peer->deaf())
        peer->buffer.remove(0, std::min(from, peer->buffer.size()));
    else if (peer->deaf())
        peer->buffer.clear();
}

void EventServer::onGone(Peer *peer)
{
    if (peer->gone)
        return;
    peer->gone = true;
    for (const auto &p : peers_)
        if (p->checkedFor == peer)
            p->checkedFor = nullptr;  // the newcomer went while its first station was asked
    if (!peer->buffer.isEmpty() || peer->discarding)
        note(QStringLiteral("%1 left in the middle of a message; %2 bytes dropped")
                 .arg(peer->who())
                 .arg(peer->buffer.size() + peer->discarded));
    note(QStringLiteral("%1 (%2) left").arg(peer->who(), peer->endpoint));
    if (!peer->id.isEmpty() && !heldByOther(peer->id, peer)) {
        // Without its "Off" the station may come back by itself with a score it could not send.
        if (peer->saidOff)
            lostInDive_.remove(peer->id);
        else
            lostInDive_[peer->id] = diveSerial_;
        if (const int judge = JudgeNumberOf(peer->id)) {
            Seen &seen = seen_[judge];
            seen.lost = !peer->saidOff;
            seen.lostSince = QDateTime::currentDateTime();
            if (seen.lost)
                note(QStringLiteral("WARNING: judge %1's link is lost (the station did not say \"Off\")").arg(judge));
        }
    }
    if (!peer->id.isEmpty() && !peer->leaveSent && !heldByOther(peer->id, peer))
        send(stationPeers(peer), "CD", peer->id, peer->id);
    peer->socket->disconnect(this);
    peer->socket->deleteLater();
    if (!purgeScheduled_) {
        purgeScheduled_ = true;
        QTimer::singleShot(0, this, &EventServer::purge);
    }
    // The first station of a judge left while it was asked: the newcomer takes over.
    if (peer->checkedFor)
        settleCheck(peer, false);
}

void EventServer::heardFrom(Peer *peer)
{
    if (const int judge = JudgeNumberOf(peer->id)) {
        Seen &seen = seen_[judge];
        seen.lastHeard = QDateTime::currentDateTime();
        seen.lost = false;
    }
}

void EventServer::purge()
{
    purgeScheduled_ = false;
    std::erase_if(peers_, [](const std::unique_ptr<Peer> &p) { return p->gone; });
}

bool EventServer::heldByOther(const QByteArray &id, const Peer *except) const
{
    for (const auto &p : peers_)
        if (p.get() != except && !p->gone && p->id == id)
            return true;
    return false;
}

QVector<EventServer::Peer *> EventServer::stationPeers(const Peer *except) const
{
    QVector<Peer *> out;
    for (const auto &p : peers_)
        if (p.get() != except && !p->gone && !p->id.isEmpty())
            out.append(p.get());
    return out;
}

// ---- messages in ------------------------------------------------------------------------

void EventServer::handleText(Peer *peer, const QByteArray &text)
{
    if (!TakeToken(peer->messageTokens, peer->messageFilledAtMs, clock_.elapsed(), kMessagesPerSecond, kMessageBurst)) {
        cutOff(peer, QStringLiteral("closed: it sends more than %1 messages a second").arg(kMessagesPerSecond));
        return;
    }
    if (!peer->waitingFor.isEmpty()) {
        peer->held.append(text);
        return;
    }
    note(QStringLiteral("in  %1: %2").arg(peer->who(), RenderForServerLog(text)));
    heardFrom(peer);
    if (peer->checkedFor)
        settleCheck(peer, true);
    const ConsoleText m = CutConsoleText(text);
    if (peer->refused) {
        // Refused as a judge's second station: it goes home and says "Off"; then it is closed.
        if (m.command.toUpper() == "CS" && m.payload == "Off")
            QMetaObject::invokeMethod(peer->socket, &QTcpSocket::disconnectFromHost, Qt::QueuedConnection);
        return;
    }
    if (m.header.isEmpty()) {
        note(QStringLiteral("%1: not a console message (no header between SOH and STX); ignored").arg(peer->who()));
        return;
    }
    const QByteArray command = m.command.toUpper();
    if (command == "CC")
        handleAnnounce(peer, m.sender, m.payload);
    else if (command == "IP" || command == "CN" || command == "CS")
        handleStatus(peer, command, m.sender, m.payload);
    else if (command == "SD")
        handleScore(peer, m.sender, m.payload);
    else if (command == "CM")
        note(QStringLiteral("chat from %1: %2").arg(peer->who(), RenderForServerLog(m.payload)));
    else
        note(QStringLiteral("%1: unknown command \"%2\"; ignored").arg(peer->who(), RenderForServerLog(m.command)));
}

QByteArray EventServer::resolveSender(Peer *peer, const QByteArray &sender)
{
    if (peer->id.isEmpty()) {
        // A station announces itself with "CC" first; until then nothing it says is taken.
        if (firstRefusal(peer, Refusal::NotAnnounced))
            note(QStringLiteral("%1: messages before \"CC\" are ignored (this one signed \"%2\"); logged once for "
                                "this connection")
                     .arg(peer->endpoint, RenderForServerLog(sender)));
        return {};
    }
    if (sender != peer->id && firstRefusal(peer, Refusal::SignedOther))
        note(QStringLiteral("%1: message signed \"%2\" on the connection of %1; taken as %1 (logged once for this "
                            "connection)")
                 .arg(peer->who(), RenderForServerLog(sender)));
    return peer->id;
}

bool EventServer::relayAllowed(Peer *peer, const QByteArray &command, const QByteArray &payload)
{
    if (payload.size() > kMaxRelayedPayload) {
        cutOff(peer, QStringLiteral("closed: its \"%1\" of %2 bytes is more than the %3 bytes relayed to the stations")
                         .arg(QString::fromLatin1(command))
                         .arg(payload.size())
                         .arg(kMaxRelayedPayload));
        return false;
    }
    if (!TakeToken(peer->relayTokens, peer->relayFilledAtMs, clock_.elapsed(), kRelaysPerSecond, kRelayBurst)) {
        cutOff(peer, QStringLiteral("closed: it asks for more than %1 messages to every station a second")
                         .arg(kRelaysPerSecond));
        return false;
    }
    return true;
}

void EventServer::handleAnnounce(Peer *peer, const QByteArray &sender, const QByteArray &caption)
{
    if (!IsStationId(sender)) {
        note(QStringLiteral("%1: announces itself as \"%2\", which is not a station identifier; ignored")
                 .arg(peer->who(), RenderForServerLog(sender)));
        return;
    }
    if (!relayAllowed(peer, "CC", caption))
        return;
    if (JudgeNumberOf(sender) == 0 && sender != peer->id) {
        int others = 0;
        for (Peer *p : stationPeers(peer))
            others += JudgeNumberOf(p->id) == 0;
        if (others >= std::max(1, std::min(kMaxOtherStations, (options_.maxConnections - 12) / 2))) {
            cutOff(peer, QStringLiteral("closed: it announces itself as \"%1\", and %2 stations that are not "
                                        "judges' are connected already")
                             .arg(RenderForServerLog(sender))
                             .arg(others));
            return;
        }
    }
    if (peer->id != sender) {
        // One station per judge, without surprise: a judge's station that is connected and has
        // not said "Off" is asked whether it is still there before a newcomer may take over.
        for (const auto &p : peers_) {
            Peer *holder = p.get();
            if (holder == peer || holder->gone || holder->cutOff || holder->id != sender || holder->saidOff
                || holder->unanswered)
                continue;
            if (holder->checkedFor) {
                refuseSecond(peer, holder, sender);
                return;
            }
            peer->waitingFor = sender;
            peer->waitingCaption = caption;
            holder->checkedFor = peer;
            holder->checkedAtMs = clock_.elapsed();
            note(QStringLiteral("%1 connects from %2 while its station at %3 is connected: asking that station "
                                "(\"TP\") whether it is still there")
                     .arg(Shown(sender), peer->endpoint, holder->endpoint));
            send(holder, "TP", kServerId, {});
            return;
        }
    }
    QVector<Peer *> stale;
    bool keepUnsentScore = false;
    if (peer->id != sender) {
        if (!peer->id.isEmpty()) {
            // The connection changes its identity: the old one has left.
            const QByteArray old = peer->id;
            peer->id.clear();
            note(QStringLiteral("%1 now announces itself as %2").arg(Shown(old), Shown(sender)));
            if (!heldByOther(old, peer))
                send(stationPeers(peer), "CD", old, old);
        }
        // One station per judge: an earlier connection under the same identifier is either
        // one that its station has given up (a reconnect before the old link was seen to
        // close) or a second station set to the same judge. Either way the newer one holds.
        for (const auto &p : peers_)
            if (p.get() != peer && !p->gone && p->id == sender)
                stale.append(p.get());
        // A judge whose station was lost, or is taken over, without its "Off" during the dive
        // under way is most likely the station's own reconnection, which shows the score it
        // could not send again; an "EI" would take it back to the keypad and lose that score.
        if (const auto lost = lostInDive_.constFind(sender); lost != lostInDive_.cend()) {
            keepUnsentScore = *lost == diveSerial_;
            lostInDive_.erase(lost);
        }
        for (Peer *p : stale) {
            if (!p->saidOff)
                keepUnsentScore = true;
            supersede(p, peer);
        }
        // The others drop the old line before the new "CC" adds it again.
        if (!stale.isEmpty())
            send(stationPeers(peer), "CD", sender, sender);
    }
    peer->id = sender;
    peer->caption = caption;
    heardFrom(peer);
    note(QStringLiteral("%1 (%2) announced itself as \"%3\"")
             .arg(Shown(sender), peer->endpoint, RenderForServerLog(caption)));

    // Everyone, the newcomer included, lists it under its identifier, so that a later "CD"
    // removes the same line; the newcomer also learns of everyone already there. Each "CC"
    // makes its receiver report its address, name and status, which are relayed to all.
    send(stationPeers(), "CC", sender, sender);
    for (Peer *other : stationPeers(peer))
        send(peer, "CC", other->id, other->id);

    // The server's own row of the station table.
    QHostAddress local = peer->socket->localAddress();
    bool mapped = false;
    const quint32 v4 = local.toIPv4Address(&mapped);
    if (mapped)
        local = QHostAddress(v4);
    send(peer, "IP", kServerId, local.toString().toLatin1());
    send(peer, "CN", kServerId, QHostInfo::localHostName().toLatin1());
    send(peer, "CS", kServerId, "Active");

    catchUp(peer, keepUnsentScore);
}

void EventServer::settleCheck(Peer *holder, bool answered)
{
    Peer *newcomer = holder->checkedFor;
    holder->checkedFor = nullptr;
    if (!newcomer || newcomer->gone)
        return;
    const QByteArray id = newcomer->waitingFor;
    const QByteArray caption = newcomer->waitingCaption;
    newcomer->waitingFor.clear();
    newcomer->waitingCaption.clear();
    if (answered) {
        newcomer->held.clear();
        refuseSecond(newcomer, holder, id);
        return;
    }
    if (!holder->gone) {
        holder->unanswered = true;
        note(QStringLiteral("%1's station at %2 has not answered for %3 s: it counts as gone and the station at %4 "
                            "takes over")
                 .arg(Shown(id), holder->endpoint)
                 .arg(options_.answerWaitMs / 1000.0)
                 .arg(newcomer->endpoint));
    }
    handleAnnounce(newcomer, id, caption);
    const QVector<QByteArray> held = std::exchange(newcomer->held, {});
    for (const QByteArray &text : held)
        if (!newcomer->gone && !newcomer->deaf())
            handleText(newcomer, text);
}

void EventServer::refuseSecond(Peer *newcomer, const Peer *holder, const QByteArray &id)
{
    QByteArray computer = holder->name.isEmpty() ? holder->endpoint.toLatin1() : holder->name;
    if (!holder->address.isEmpty())
        computer += " (" + holder->address + ")";
    note(QStringLiteral("%1 connects from %2 while its station at %3 (%4) answers: the second station is refused "
                        "and sent home")
             .arg(Shown(id), newcomer->endpoint, holder->endpoint, RenderForServerLog(computer)));
    newcomer->refused = true;
    send(newcomer, "CE", kServerId,
         "Judge " + QByteArray::number(JudgeNumberOf(id)) + " is already connected from " + computer.left(120)
             + ". Only one station can score for a judge: ask the operator.");
    // "CD" with the judge's identifier sends the station to its opening page; it does not
    // reconnect by itself. Its "Off" ends it, or the time it is given.
    send(newcomer, "CD", id, id);
    QTcpSocket *socket = newcomer->socket;
    QTimer::singleShot(options_.answerWaitMs, socket, [socket] { socket->abort(); });
}

void EventServer::supersede(Peer *older, Peer *newer)
{
    const QByteArray id = older->id;
    note(QStringLiteral("%1 connected again from %2 while its connection from %3 was open: the older "
                        "connection is sent home (\"CD\") and closed")
             .arg(Shown(id), newer->endpoint, older->endpoint));
    // Its "CD" sends that station to its opening page; its "Off" in reply does not mean that
    // the judge has left, so nothing it sends from now on is read.
    send(older, "CD", id, id);
    older->id.clear();
    older->superseded = true;
    older->buffer.clear();
    QTcpSocket *socket = older->socket;
    socket->disconnectFromHost();
    // A link that is no longer read by its station would hold the "CD" for ever.
    if (!older->gone)
        QTimer::singleShot(kLeaveGraceMs, socket, [socket] { socket->abort(); });
}

void EventServer::catchUp(Peer *peer, bool keepUnsentScore)
{
    if (competition_.ended()) {
        send(peer, "EI", kServerId, competition_.endEiPayload());
        return;
    }
    if (keepUnsentScore)
        note(QStringLiteral("%1 is back within the dive it left without \"Off\": no \"EI\", so that a score it "
                            "could not send stays on its screen")
                 .arg(Shown(peer->id)));
    else
        send(peer, "EI", kServerId, competition_.eiPayload());
    send(peer, "AI", kServerId, competition_.aiPayload());
    send(peer, "DI", kServerId, competition_.diPayload());
    if (competition_.panelComplete()) {
        send(peer, "XX", kServerId, competition_.xxPayload());
        send(peer, "PR", kServerId, competition_.prPayload());
    }
}

void EventServer::handleStatus(Peer *peer, const QByteArray &command, const QByteArray &sender,
                               const QByteArray &payload)
{
    const QByteArray id = resolveSender(peer, sender);
    if (id.isEmpty() || !relayAllowed(peer, command, payload))
        return;
    const int judge = JudgeNumberOf(id);
    if (command == "IP") {
        peer->address = payload;
    } else if (command == "CN") {
        peer->name = payload;
        if (judge)
            seen_[judge].computer = payload;
    } else {
        peer->status = payload;
        peer->saidOff = payload == "Off";
        const QByteArray battery = BatteryOf(payload);
        if (judge && !battery.isEmpty()) {
            QByteArray &known = seen_[judge].battery;
            const auto before = BatteryPercent(known), now = BatteryPercent(battery);
            if (now && *now < kLowBatteryPercent && !(before && *before < kLowBatteryPercent))
                note(QStringLiteral("WARNING: judge %1's battery is at %2").arg(judge).arg(RenderForServerLog(battery)));
            known = battery;
        }
    }
    send(stationPeers(), command, id, payload);
}

void EventServer::handleScore(Peer *peer, const QByteArray &sender, const QByteArray &payload)
{
    // A score counts only from the connection that announced its judge.
    if (peer->id.isEmpty() || sender != peer->id) {
        if (firstRefusal(peer, Refusal::ScoreNotAnnounced))
            note(QStringLiteral("%1: a score signed \"%2\" from a connection that has not announced that judge is "
                                "refused (logged once for this connection)")
                     .arg(peer->who(), RenderForServerLog(sender)));
        send(peer, "CE", kServerId,
             "This connection has not announced itself as " + sender.trimmed().left(4)
                 + ". Your score was not recorded.");
        return;
    }
    const QByteArray id = peer->id;
    const int judge = JudgeNumberOf(id);
    if (judge == 0) {
        note(QStringLiteral("%1 is not a judge; its score is ignored").arg(Shown(id)));
        return;
    }
    if (competition_.ended()) {
        // Answered all the same: a station left without an answer stays red for ever, and a
        // "TX" would turn it green for a score that no result holds.
        note(QStringLiteral("Judge %1 sent a score after the end of the event; not recorded").arg(judge));
        send(peer, "CE", kServerId, "The event has ended. Your score was not recorded.");
        return;
    }
    if (judge > competition_.judges()) {
        note(QStringLiteral("Judge %1 is not on this panel of %2 judges; the score is not recorded")
                 .arg(judge)
                 .arg(competition_.judges()));
        send(peer, "CE", kServerId,
             QStringLiteral("Judge %1 is not on this panel of %2 judges. Your score was not recorded.")
                 .arg(judge)
                 .arg(competition_.judges())
                 .toLatin1());
        return;
    }
    const QByteArray text = payload.contains(ctl::DC1) ? FieldBefore(payload, ctl::DC1) : payload;
    const auto score = ParseScore(text);
    if (!score) {
        note(QStringLiteral("Judge %1 sent \"%2\", which is not a score; not recorded")
                 .arg(judge)
                 .arg(RenderForServerLog(text)));
        send(peer, "CE", kServerId,
             "Your score \"" + text.left(20) + "\" was not recorded: a score is 0.0 to 10.0 in half points.");
        return;
    }
    JudgeState &state = judgeState_[judge - 1];
    if (*score == 0 && state.acknowledged && !state.changing) {
        // The station's Cancel / Change on its green panel sends 0.0: the judge is about to
        // key another score, or to keep this one. Nothing changes until the judge sends again.
        state.changing = true;
        note(QStringLiteral("judge %1 is changing (Cancel / Change on the station); %2 stands until the judge "
                            "sends again")
                 .arg(judge)
                 .arg(QString::fromLatin1(FormatScore(*competition_.score(judge)))));
        send(peer, "TX", kServerId, id + ctl::DC1);
        return;
    }
    const bool wasComplete = competition_.panelComplete();
    const bool changed = record(judge, *score, JournalEntry::Source::Station,
                                state.changing ? QStringLiteral(" (the change)") : QString());
    state.changing = false;
    state.acknowledged = true;
    // Acknowledged only once recorded: the judge's station turns green on this.
    send(peer, "TX", kServerId, id + ctl::DC1);
    if (changed)
        scored(wasComplete);
}

// ---- the competition ----------------------------------------------------------------------

bool EventServer::record(int judgeNumber, int halfPoints, JournalEntry::Source source, const QString &how)
{
    const auto previous = competition_.score(judgeNumber);
    if (previous == halfPoints) {
        // Accepted again, or sent again after a reconnection: the result stands as it is.
        note(QStringLiteral("judge %1 scores %2 again; no change%3")
                 .arg(judgeNumber)
                 .arg(QString::fromLatin1(FormatScore(halfPoints)), how));
        return false;
    }
    competition_.setScore(judgeNumber, halfPoints);
    journal(JournalEntry{JournalEntry::Kind::Score, competition_.diveIndex(), judgeNumber, halfPoints, source});
    QString what = QStringLiteral("judge %1 scores %2").arg(judgeNumber).arg(QString::fromLatin1(FormatScore(halfPoints)));
    if (previous)
        what += QStringLiteral(", replacing %1").arg(QString::fromLatin1(FormatScore(*previous)));
    note(what + how);
    return true;
}

void EventServer::scored(bool wasComplete)
{
    if (!competition_.panelComplete() && options_.fillMissing)
        fillMissingJudges();
    if (!competition_.panelComplete()) {
        note(QStringLiteral("waiting for judge(s) %1").arg(JudgeList(competition_.missingJudges())));
        return;
    }
    const auto r = competition_.result();
    if (!r)
        return;
    QStringList cancelled;
    for (int i = 0; i < r->cancelled.size(); ++i)
        if (r->cancelled[i])
            cancelled << QStringLiteral("J%1 %2").arg(i + 1).arg(QString::fromLatin1(FormatScore(*competition_.score(i + 1))));
    note(QStringLiteral("%1: %2 points (cancelled: %3); total %4, rank %5")
             .arg(wasComplete ? QStringLiteral("corrected result") : QStringLiteral("panel complete"))
             .arg(QString::fromLatin1(FormatPoints(r->hundredths)))
             .arg(cancelled.join(QLatin1String(", ")))
             .arg(QString::fromLatin1(FormatPoints(competition_.totalHundredths(competition_.startOrder() - 1))))
             .arg(competition_.rank(competition_.startOrder() - 1)));
    writeResults();
    announcePanel();
    if (options_.correctionPauseMs > 0)
        pauseTimer_.start(options_.correctionPauseMs);
    else
        nextDive();
}

QVector<int> EventServer::connectedPanelJudges() const
{
    QVector<int> out;
    for (Peer *p : stationPeers()) {
        const int n = JudgeNumberOf(p->id);
        if (n >= 1 && n <= competition_.judges() && !out.contains(n))
            out.append(n);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void EventServer::fillMissingJudges()
{
    const QVector<int> connected = connectedPanelJudges();
    if (connected.isEmpty())
        return;
    int sum = 0;
    for (int j : connected) {
        const auto s = competition_.score(j);
        if (!s)
            return;  // a connected judge has still to score
        sum += *s;
    }
    const int n = int(connected.size());
    // Half points h within 0.5 of the mean sum / n (in half points): |h - sum / n| <= 1.
    QVector<int> near;
    for (int h = 0; h <= 20; ++h)
        if (std::abs(h * n - sum) <= n)
            near.append(h);
    for (int j : competition_.missingJudges()) {
        const int h = near[int(fillRandom_() % quint32(near.size()))];
        record(j, h, JournalEntry::Source::Filled, QStringLiteral(" (filled in: no station connected)"));
    }
}

void EventServer::announcePanel()
{
    const auto to = stationPeers();
    send(to, "XX", kServerId, competition_.xxPayload());
    send(to, "PR", kServerId, competition_.prPayload());
}

void EventServer::announceDive()
{
    note(QStringLiteral("dive %1 of %2: %3")
             .arg(competition_.diveIndex() + 1)
             .arg(event_.diveCount())
             .arg(DecodeConsoleText(competition_.describeDive())));
    ++diveSerial_;
    // Every dive begins with "EI": it brings each station back to its keypad, whatever its
    // confirmation panel still shows of the dive before.
    const auto to = stationPeers();
    send(to, "EI", kServerId, competition_.eiPayload());
    send(to, "AI", kServerId, competition_.aiPayload());
    send(to, "DI", kServerId, competition_.diPayload());
}

void EventServer::announceEnd()
{
    QStringList standings;
    QVector<int> order;
    for (int i = 0; i < event_.athletes.size(); ++i)
        order.append(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return competition_.totalHundredths(a) > competition_.totalHundredths(b);
    });
    for (int i : order)
        standings << QStringLiteral("%1. %2 %3")
                         .arg(competition_.rank(i))
                         .arg(DecodeConsoleText(event_.athletes[i].name))
                         .arg(QString::fromLatin1(FormatPoints(competition_.totalHundredths(i))));
    note(QStringLiteral("END OF EVENT; standings: %1").arg(standings.join(QLatin1String("; "))));
    ++diveSerial_;
    send(stationPeers(), "EI", kServerId, competition_.endEiPayload());
}

void EventServer::nextDive()
{
    pauseTimer_.stop();
    if (competition_.ended()) {
        note(QStringLiteral("the event has ended; there is no next dive"));
        return;
    }
    if (!competition_.panelComplete())
        note(QStringLiteral("moving on without a result: judge(s) %1 had not scored")
                 .arg(JudgeList(competition_.missingJudges())));
    journal({JournalEntry::Kind::Next, competition_.diveIndex()});
    endChanges();
    if (competition_.advance())
        announceDive();
    else
        announceEnd();
}

void EventServer::repeatDive()
{
    if (competition_.ended()) {
        note(QStringLiteral("the event has ended; there is no dive to repeat"));
        return;
    }
    pauseTimer_.stop();
    journal({JournalEntry::Kind::Repeat, competition_.diveIndex()});
    endChanges();
    competition_.repeat();
    note(QStringLiteral("the dive is judged again; its scores are cleared"));
    announceDive();
}

void EventServer::endEvent()
{
    pauseTimer_.stop();
    if (competition_.ended()) {
        note(QStringLiteral("the event has already ended"));
        return;
    }
    journal({JournalEntry::Kind::End, competition_.diveIndex()});
    endChanges();
    competition_.end();
    announceEnd();
}

void EventServer::endChanges()
{
    for (int j = 1; j <= judgeState_.size(); ++j) {
        JudgeState &state = judgeState_[j - 1];
        if (state.changing)
            note(QStringLiteral("judge %1's change lapses: the dive is over and %2 stands")
                     .arg(j)
                     .arg(QString::fromLatin1(FormatScore(competition_.score(j).value_or(0)))));
        state = {};
    }
}

void EventServer::journal(const JournalEntry &entry)
{
    QString error;
    if (!journal_.append(entry, &error))
        note(QStringLiteral("WARNING: %1; a restart would not know of: %2").arg(error, QString::fromLatin1(FormatJournalEntry(entry))));
}

void EventServer::writeResults()
{
    if (options_.resultsPath.isEmpty())
        return;
    QString error;
    if (!WriteFileSafely(options_.resultsPath, ResultsCsv(competition_), &error))
        note(QStringLiteral("WARNING: cannot write %1: %2").arg(options_.resultsPath, error));
}

bool EventServer::recordScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    QString why;
    const auto score = ParseScore(scoreText);
    if (competition_.ended())
        why = QStringLiteral("the event has ended");
    else if (judgeNumber < 1 || judgeNumber > competition_.judges())
        why = QStringLiteral("the panel has judges 1 to %1").arg(competition_.judges());
    else if (!score)
        why = QStringLiteral("a score is 0.0 to 10.0 in half points");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const bool wasComplete = competition_.panelComplete();
    if (record(judgeNumber, *score, JournalEntry::Source::Operator, QStringLiteral(" (entered by the operator)")))
        scored(wasComplete);
    return true;
}

bool EventServer::sendForcedScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    const auto score = ParseScore(scoreText);
    if (JudgeStationId(judgeNumber).isEmpty() || !score) {
        if (error)
            *error = !score ? QStringLiteral("a score is 0.0 to 10.0 in half points")
                            : QStringLiteral("judges are numbered 1 to 11");
        return false;
    }
    send(stationPeers(), "FS", kServerId, QByteArray::number(judgeNumber) + ctl::DC1 + FormatScore(*score) + ctl::DC2);
    return true;
}

int EventServer::messageJudge(int judgeNumber, const QByteArray &text)
{
    const QByteArray id = JudgeStationId(judgeNumber);
    QVector<Peer *> to;
    for (Peer *p : stationPeers())
        if (p->id == id)
            to.append(p);
    if (to.isEmpty())
        note(QStringLiteral("no station of judge %1 is connected").arg(judgeNumber));
    send(to, "CE", kServerId, text);
    return to.size();
}

void EventServer::chat(const QByteArray &text)
{
    send(stationPeers(), "CM", kServerId, text);
}

void EventServer::disconnectJudge(int judgeNumber)
{
    const QByteArray id = JudgeStationId(judgeNumber);
    if (id.isEmpty())
        return;
    QVector<Peer *> leaving;
    for (Peer *p : stationPeers())
        if (p->id == id)
            leaving.append(p);
    if (leaving.isEmpty())
        note(QStringLiteral("no station of judge %1 is connected; the others are told all the same").arg(judgeNumber));
    send(stationPeers(), "CD", id, id);
    for (Peer *p : leaving) {
        p->leaveSent = true;
        // The station closes its link itself; one that does not is closed for it.
        QTcpSocket *socket = p->socket;
        QTimer::singleShot(kLeaveGraceMs, socket, [socket] { socket->abort(); });
    }
}

void EventServer::sendPulse()
{
    send(stationPeers(), "TP", kServerId, {});
}

// ---- messages out ---------------------------------------------------------------------------

QByteArray EventServer::disciplineTag() const
{
    return event_.kind == EventKind::Individual ? "IND " : "SYN ";
}

void EventServer::send(Peer *to, const QByteArray &command, const QByteArray &sender, const QByteArray &payload)
{
    send(QVector<Peer *>{to}, command, sender, payload);
}

void EventServer::send(const QVector<Peer *> &to, const QByteArray &command, const QByteArray &sender,
                       const QByteArray &payload)
{
    if (to.isEmpty())
        return;
    const QByteArray text = FrameConsoleMessage(command, disciplineTag(), sender, payload);
    QStringList names;
    for (Peer *p : to)
        names << p->who();
    note(QStringLiteral("out %1: %2").arg(names.join(QLatin1Char(',')), RenderForServerLog(text)));
    for (Peer *p : to) {
        if (p->gone)
            continue;
        if (p->gone || p->cutOff)
            continue;
        if (p->socket->bytesToWrite() == 0)
            p->progressAtMs = clock_.elapsed();
        p->socket->write(text);
        if (p->socket->bytesToWrite() > kMaxBacklogBytes)
            cutOff(p, QStringLiteral("closed: %1 bytes sent to it are waiting unread").arg(p->socket->bytesToWrite()));
    }
}

void EventServer::note(const QString &text)
{
    emit logLine(text);
}

// ---- the operator's view ----------------------------------------------------------------------

QVector<EventServer::StationInfo> EventServer::stations() const
{
    QVector<StationInfo> out;
    for (const auto &p : peers_) {
        if (p->gone)
            continue;
        out.append({p->id, p->caption, p->address, p->name, p->status, p->endpoint});
    }
    std::stable_sort(out.begin(), out.end(), [](const StationInfo &a, const StationInfo &b) {
        const int na = JudgeNumberOf(a.id), nb = JudgeNumberOf(b.id);
        return (na ? na : 99) < (nb ? nb : 99);
    });
    return out;
}

QVector<EventServer::JudgeLink> EventServer::judgeLinks() const
{
    QVector<JudgeLink> out;
    for (int j = 1; j <= competition_.judges(); ++j) {
        JudgeLink link;
        link.judge = j;
        const Seen seen = seen_.value(j);
        link.battery = seen.battery;
        link.lastHeard = seen.lastHeard;
        link.computer = seen.computer;
        link.score = competition_.score(j);
        link.changing = judgeState_[j - 1].changing;
        for (const auto &p : peers_)
            if (!p->gone && !p->cutOff && !p->superseded && JudgeNumberOf(p->id) == j)
                link.peer = p->endpoint;
        if (!link.peer.isEmpty())
            link.state = JudgeLink::State::Connected;
        else if (seen.lost)
            link.state = JudgeLink::State::LinkLost;
        link.lostSince = seen.lostSince;
        out.append(link);
    }
    return out;
}

QString FormatJudgeLink(const EventServer::JudgeLink &link, const QDateTime &now)
{
    using State = EventServer::JudgeLink::State;
    QString line = QStringLiteral("J%1  ").arg(link.judge).leftJustified(5);
    switch (link.state) {
    case State::Connected:
        line += QStringLiteral("connected");
        break;
    case State::LinkLost:
        line += QStringLiteral("LINK LOST since %1").arg(link.lostSince.toString(QStringLiteral("HH:mm:ss")));
        break;
    case State::NoStation:
        line += QStringLiteral("no station");
        break;
    }
    line = line.leftJustified(32);
    line += link.score ? QStringLiteral("scored %1").arg(QString::fromLatin1(FormatScore(*link.score)))
                       : QStringLiteral("not scored");
    if (link.changing)
        line += QStringLiteral(" (changing)");
    line = line.leftJustified(56);
    if (!link.battery.isEmpty()) {
        line += QStringLiteral("battery %1").arg(RenderForServerLog(link.battery));
        if (const auto percent = BatteryPercent(link.battery); percent && *percent < kLowBatteryPercent)
            line += QStringLiteral(" LOW");
    }
    line = line.leftJustified(76);
    if (link.lastHeard.isValid())
        line += QStringLiteral("last heard %1 s ago").arg(link.lastHeard.secsTo(now));
    return line.trimmed();
}

QString EventServer::statusText() const
{
    if (competition_.ended())
        return QStringLiteral("the event \"%1\" has ended").arg(DecodeConsoleText(event_.name));
    QString out = QStringLiteral("dive %1 of %2: %3\n")
                      .arg(competition_.diveIndex() + 1)
                      .arg(event_.diveCount())
                      .arg(DecodeConsoleText(competition_.describeDive()));
    QStringList scores;
    for (int j = 1; j <= competition_.judges(); ++j) {
        const auto s = competition_.score(j);
        QString label = QStringLiteral("J%1").arg(j);
        if (event_.kind == EventKind::Synchro)
            label += QStringLiteral(" (%1)").arg(QString::fromLatin1(SynchroPositionText(competition_.judges(), j)));
        QString shown = s ? QString::fromLatin1(FormatScore(*s)) : QStringLiteral("-");
        if (judgeState_[j - 1].changing)
            shown += QStringLiteral(" (changing)");
        scores << QStringLiteral("%1 %2").arg(label, shown);
    }
    out += QStringLiteral("scores: %1").arg(scores.join(QLatin1String(", ")));
    const QDateTime now = QDateTime::currentDateTime();
    for (const JudgeLink &link : judgeLinks())
        out += QStringLiteral("\n  ") + FormatJudgeLink(link, now);
    if (const auto r = competition_.result())
        out += QStringLiteral("\nresult: %1 points%2")
                   .arg(QString::fromLatin1(FormatPoints(r->hundredths)))
                   .arg(pauseTimer_.isActive() ? QStringLiteral("; next dive after the correction pause")
                                               : QString());
    return out;
}
