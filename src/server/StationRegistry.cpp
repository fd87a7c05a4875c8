#include "server/StationRegistry.h"

#include "server/EventServer.h"
#include "server/PeerConnections.h"

#include <QHostInfo>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

namespace {

// Non-judge stations announced at once (the judges' stations have room of their own).
constexpr int kMaxOtherStations = 8;

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

bool IsStationId(const QByteArray &id)
{
    if (id.size() != 4 || id == kServerId || id.trimmed().isEmpty())
        return false;
    for (char c : id)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

QString ShownId(const QByteArray &id)
{
    return QString::fromLatin1(id.trimmed());
}

StationRegistry::StationRegistry(PeerConnections &connections, const ServerOptions &options, Note note)
    : connections_(connections)
    , options_(options)
    , note_(std::move(note))
{
}

bool StationRegistry::firstRefusal(Peer *peer, Refusal kind)
{
    const quint32 bit = 1u << int(kind);
    const bool first = (peer->refusalsLogged & bit) == 0;
    peer->refusalsLogged |= bit;
    return first;
}

QVector<Peer *> StationRegistry::stationPeers(const Peer *except) const
{
    QVector<Peer *> out;
    for (const auto &p : connections_.peers())
        if (p.get() != except && !p->gone && !p->id.isEmpty())
            out.append(p.get());
    return out;
}

QVector<Peer *> StationRegistry::judgeStations(int judgeNumber) const
{
    const QByteArray id = JudgeStationId(judgeNumber);
    QVector<Peer *> out;
    for (Peer *p : stationPeers())
        if (p->id == id)
            out.append(p);
    return out;
}

bool StationRegistry::heldByOther(const QByteArray &id, const Peer *except) const
{
    for (const auto &p : connections_.peers())
        if (p.get() != except && !p->gone && p->id == id)
            return true;
    return false;
}

void StationRegistry::heardFrom(Peer *peer)
{
    if (const int judge = JudgeNumberOf(peer->id)) {
        Seen &seen = seen_[judge];
        seen.lastHeard = QDateTime::currentDateTime();
        seen.lost = false;
    }
}

void StationRegistry::sendPulse()
{
    connections_.send(stationPeers(), "TP", kServerId, {});
}

QByteArray StationRegistry::resolveSender(Peer *peer, const QByteArray &sender)
{
    if (peer->id.isEmpty()) {
        // A station announces itself with "CC" first; until then nothing it says is taken.
        if (firstRefusal(peer, Refusal::NotAnnounced))
            note_(QStringLiteral("%1: messages before \"CC\" are ignored (this one signed \"%2\"); logged once for "
                                 "this connection")
                      .arg(peer->endpoint, RenderForServerLog(sender)));
        return {};
    }
    if (sender != peer->id && firstRefusal(peer, Refusal::SignedOther))
        note_(QStringLiteral("%1: message signed \"%2\" on the connection of %1; taken as %1 (logged once for this "
                             "connection)")
                  .arg(peer->who(), RenderForServerLog(sender)));
    return peer->id;
}

void StationRegistry::handleAnnounce(Peer *peer, const QByteArray &sender, const QByteArray &caption)
{
    if (!IsStationId(sender)) {
        note_(QStringLiteral("%1: announces itself as \"%2\", which is not a station identifier; ignored")
                  .arg(peer->who(), RenderForServerLog(sender)));
        return;
    }
    if (!connections_.relayAllowed(peer, "CC", caption))
        return;
    if (JudgeNumberOf(sender) == 0 && sender != peer->id) {
        int others = 0;
        for (Peer *p : stationPeers(peer))
            others += JudgeNumberOf(p->id) == 0;
        if (others >= std::max(1, std::min(kMaxOtherStations, (options_.maxConnections - 12) / 2))) {
            connections_.cutOff(peer, QStringLiteral("closed: it announces itself as \"%1\", and %2 stations that "
                                                     "are not judges' are connected already")
                                          .arg(RenderForServerLog(sender))
                                          .arg(others));
            return;
        }
    }
    if (peer->id != sender) {
        // One station per judge, without surprise: a judge's station that is connected and has
        // not said "Off" is asked whether it is still there before a newcomer may take over.
        for (const auto &p : connections_.peers()) {
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
            holder->checkedAtMs = connections_.elapsedMs();
            note_(QStringLiteral("%1 connects from %2 while its station at %3 is connected: asking that station "
                                 "(\"TP\") whether it is still there")
                      .arg(ShownId(sender), peer->endpoint, holder->endpoint));
            connections_.send(holder, "TP", kServerId, {});
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
            note_(QStringLiteral("%1 now announces itself as %2").arg(ShownId(old), ShownId(sender)));
            if (!heldByOther(old, peer))
                connections_.send(stationPeers(peer), "CD", old, old);
        }
        // One station per judge: an earlier connection under the same identifier is either
        // one that its station has given up (a reconnect before the old link was seen to
        // close) or a second station set to the same judge. Either way the newer one holds.
        for (const auto &p : connections_.peers())
            if (p.get() != peer && !p->gone && p->id == sender)
                stale.append(p.get());
        // A judge whose station was lost, or is taken over, without its "Off" during the dive
        // under way is most likely the station's own reconnection, which shows the score it
        // could not send again; an "EI" would take it back to the keypad and lose that score.
        if (const auto lost = lostInDive_.constFind(sender); lost != lostInDive_.cend()) {
            keepUnsentScore = *lost == diveSerial();
            lostInDive_.erase(lost);
        }
        for (Peer *p : stale) {
            if (!p->saidOff)
                keepUnsentScore = true;
            supersede(p, peer);
        }
        // The others drop the old line before the new "CC" adds it again.
        if (!stale.isEmpty())
            connections_.send(stationPeers(peer), "CD", sender, sender);
    }
    peer->id = sender;
    peer->caption = caption;
    heardFrom(peer);
    note_(QStringLiteral("%1 (%2) announced itself as \"%3\"")
              .arg(ShownId(sender), peer->endpoint, RenderForServerLog(caption)));

    // Everyone, the newcomer included, lists it under its identifier, so that a later "CD"
    // removes the same line; the newcomer also learns of everyone already there. Each "CC"
    // makes its receiver report its address, name and status, which are relayed to all.
    connections_.send(stationPeers(), "CC", sender, sender);
    for (Peer *other : stationPeers(peer))
        connections_.send(peer, "CC", other->id, other->id);

    // The server's own row of the station table.
    QHostAddress local = peer->socket->localAddress();
    bool mapped = false;
    const quint32 v4 = local.toIPv4Address(&mapped);
    if (mapped)
        local = QHostAddress(v4);
    connections_.send(peer, "IP", kServerId, local.toString().toLatin1());
    connections_.send(peer, "CN", kServerId, QHostInfo::localHostName().toLatin1());
    connections_.send(peer, "CS", kServerId, "Active");

    catchUp(peer, keepUnsentScore);
}

bool StationRegistry::answerOverdue(Peer *peer, qint64 nowMs)
{
    if (!peer->checkedFor || nowMs - peer->checkedAtMs < options_.answerWaitMs)
        return false;
    settleCheck(peer, false);
    return true;
}

void StationRegistry::settleCheck(Peer *holder, bool answered)
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
        note_(QStringLiteral("%1's station at %2 has not answered for %3 s: it counts as gone and the station at %4 "
                             "takes over")
                  .arg(ShownId(id), holder->endpoint)
                  .arg(options_.answerWaitMs / 1000.0)
                  .arg(newcomer->endpoint));
    }
    handleAnnounce(newcomer, id, caption);
    const QVector<QByteArray> held = std::exchange(newcomer->held, {});
    for (const QByteArray &text : held)
        if (!newcomer->gone && !newcomer->deaf())
            replay(newcomer, text);
}

void StationRegistry::refuseSecond(Peer *newcomer, const Peer *holder, const QByteArray &id)
{
    QByteArray computer = holder->name.isEmpty() ? holder->endpoint.toLatin1() : holder->name;
    if (!holder->address.isEmpty())
        computer += " (" + holder->address + ")";
    note_(QStringLiteral("%1 connects from %2 while its station at %3 (%4) answers: the second station is refused "
                         "and sent home")
              .arg(ShownId(id), newcomer->endpoint, holder->endpoint, RenderForServerLog(computer)));
    newcomer->refused = true;
    connections_.send(newcomer, "CE", kServerId,
                      "Judge " + QByteArray::number(JudgeNumberOf(id)) + " is already connected from "
                          + computer.left(120) + ". Only one station can score for a judge: ask the operator.");
    // "CD" with the judge's identifier sends the station to its opening page; it does not
    // reconnect by itself. Its "Off" ends it, or the time it is given.
    connections_.send(newcomer, "CD", id, id);
    QTcpSocket *socket = newcomer->socket;
    QTimer::singleShot(options_.answerWaitMs, socket, [socket] { socket->abort(); });
}

void StationRegistry::supersede(Peer *older, Peer *newer)
{
    const QByteArray id = older->id;
    note_(QStringLiteral("%1 connected again from %2 while its connection from %3 was open: the older "
                         "connection is sent home (\"CD\") and closed")
              .arg(ShownId(id), newer->endpoint, older->endpoint));
    // Its "CD" sends that station to its opening page; its "Off" in reply does not mean that
    // the judge has left, so nothing it sends from now on is read.
    connections_.send(older, "CD", id, id);
    older->id.clear();
    older->superseded = true;
    PeerConnections::stopReading(older);
    QTcpSocket *socket = older->socket;
    socket->disconnectFromHost();
    // A link that is no longer read by its station would hold the "CD" for ever.
    if (!older->gone)
        QTimer::singleShot(kLeaveGraceMs, socket, [socket] { socket->abort(); });
}

void StationRegistry::stationLeft(Peer *peer)
{
    for (const auto &p : connections_.peers())
        if (p->checkedFor == peer)
            p->checkedFor = nullptr;  // the newcomer went while its first station was asked
    if (!peer->id.isEmpty() && !heldByOther(peer->id, peer)) {
        // Without its "Off" the station may come back by itself with a score it could not send.
        if (peer->saidOff)
            lostInDive_.remove(peer->id);
        else
            lostInDive_[peer->id] = diveSerial();
        if (const int judge = JudgeNumberOf(peer->id)) {
            Seen &seen = seen_[judge];
            seen.lost = !peer->saidOff;
            seen.lostSince = QDateTime::currentDateTime();
            if (seen.lost)
                note_(QStringLiteral("WARNING: judge %1's link is lost (the station did not say \"Off\")").arg(judge));
        }
    }
    if (!peer->id.isEmpty() && !peer->leaveSent && !heldByOther(peer->id, peer))
        connections_.send(stationPeers(peer), "CD", peer->id, peer->id);
    // The first station of a judge left while it was asked: the newcomer takes over.
    if (peer->checkedFor)
        settleCheck(peer, false);
}

void StationRegistry::handleStatus(Peer *peer, const QByteArray &command, const QByteArray &sender,
                                   const QByteArray &payload)
{
    const QByteArray id = resolveSender(peer, sender);
    if (id.isEmpty() || !connections_.relayAllowed(peer, command, payload))
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
                note_(QStringLiteral("WARNING: judge %1's battery is at %2").arg(judge).arg(RenderForServerLog(battery)));
            known = battery;
        }
    }
    connections_.send(stationPeers(), command, id, payload);
}
