#include "server/PeerConnections.h"

#include "server/EventServer.h"
#include "server/StationRegistry.h"
#include "platform/KeepAlive.h"

#include <QTcpServer>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>

namespace {

// A station whose backlog grows past this is cut off at once whatever its pace: no honest
// station can be sent that much (relays are bounded).
constexpr qint64 kMaxBacklogBytes = 32 << 20;

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

} // namespace

QString Peer::who() const
{
    return id.isEmpty() ? endpoint : ShownId(id);
}

PeerConnections::PeerConnections(const ServerOptions &options, Note note, QObject *parent)
    : QObject(parent)
    , options_(options)
    , note_(std::move(note))
    , server_(new QTcpServer(this))
    , sweepTimer_(this)
{
    connect(server_, &QTcpServer::newConnection, this, &PeerConnections::onNewConnection);
    // Out of descriptors (or another accept failure): the server stops accepting; it tries
    // again shortly, when closed connections have freed some.
    connect(server_, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (!acceptPaused_)
            note_(QStringLiteral("cannot accept a connection: %1; trying again").arg(server_->errorString()));
        acceptPaused_ = true;
        QTimer::singleShot(100, this, [this] {
            acceptPaused_ = false;
            server_->resumeAccepting();
        });
    });
    clock_.start();
    sweepTimer_.setInterval(
        std::clamp(std::min({options_.announceTimeoutMs, options_.slowReaderMs, options_.answerWaitMs}) / 4, 20, 1000));
    connect(&sweepTimer_, &QTimer::timeout, this, &PeerConnections::sweep);
}

PeerConnections::~PeerConnections() = default;

bool PeerConnections::listen(QString *why)
{
    // A storm of connections waits in the queue rather than being dropped and tried again
    // seconds later: the judges' stations are among them.
    server_->setListenBacklogSize(1024);
    if (server_->listen(options_.bindAddress, options_.port))
        return true;
    *why = QStringLiteral("cannot listen on %1 port %2: %3")
               .arg(options_.bindAddress.toString())
               .arg(options_.port)
               .arg(server_->errorString());
    return false;
}

quint16 PeerConnections::serverPort() const
{
    return server_->serverPort();
}

void PeerConnections::closeListening()
{
    server_->close();
}

void PeerConnections::startSweeping()
{
    sweepTimer_.start();
}

void PeerConnections::stop()
{
    sweepTimer_.stop();
    if (server_->isListening()) {
        server_->close();
        note_(QStringLiteral("stopped"));
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

void PeerConnections::onNewConnection()
{
    while (QTcpSocket *socket = server_->nextPendingConnection()) {
        auto peer = std::make_unique<Peer>();
        Peer *p = peer.get();
        p->socket = socket;
        p->endpoint = QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
        p->connectedAtMs = p->progressAtMs = p->relayFilledAtMs = p->messageFilledAtMs = clock_.elapsed();
        note_(QStringLiteral("connection from %1").arg(p->endpoint));
        // Room is kept for the judges' stations: connections that are not (yet) a judge's are
        // capped below the whole cap, and the oldest one that has not announced itself makes
        // way for a newcomer, which may be a judge's station.
        if (othersConnected() >= options_.maxConnections - 12) {
            Peer *oldest = nullptr;
            for (const auto &q : peers_)
                if (!q->gone && !q->cutOff && q->id.isEmpty() && (!oldest || q->connectedAtMs < oldest->connectedAtMs))
                    oldest = q.get();
            if (!oldest) {
                note_(QStringLiteral("%1 refused: %2 connections already, with room kept for the judges' stations")
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
            note_(QStringLiteral("%1: TCP keep-alive could not be set; a dead link is noticed late").arg(p->endpoint));
        peers_.push_back(std::move(peer));
        connect(socket, &QTcpSocket::readyRead, this, [this, p] { onReadyRead(p); });
        connect(socket, &QTcpSocket::disconnected, this, [this, p] { onGone(p); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, p] { p->progressAtMs = clock_.elapsed(); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, p](QAbstractSocket::SocketError e) {
            if (p->gone)
                return;
            if (e != QAbstractSocket::RemoteHostClosedError && !p->cutOff)
                note_(QStringLiteral("%1: %2").arg(p->who(), p->socket->errorString()));
            if (p->socket->state() == QAbstractSocket::UnconnectedState)
                onGone(p);
        });
        // Bytes may have come with the connection already.
        if (socket->bytesAvailable() > 0)
            onReadyRead(p);
    }
}

int PeerConnections::othersConnected() const
{
    int n = 0;
    for (const auto &p : peers_)
        n += !p->gone && !p->cutOff && JudgeNumberOf(p->id) == 0;
    return n;
}

void PeerConnections::stopReading(Peer *peer)
{
    // An over-long message it was in the middle of still counts as dropped when it leaves:
    // the framer keeps its count.
    peer->framer.clear();
}

void PeerConnections::cutOff(Peer *peer, const QString &why)
{
    if (peer->gone || peer->cutOff)
        return;
    peer->cutOff = true;
    note_(QStringLiteral("%1 (%2) %3").arg(peer->who(), peer->endpoint, why));
    stopReading(peer);
    // Closed from the event loop: it may be in the middle of being read or written.
    QMetaObject::invokeMethod(peer->socket, &QTcpSocket::abort, Qt::QueuedConnection);
}

bool PeerConnections::takeMessageToken(Peer *peer)
{
    if (TakeToken(peer->messageTokens, peer->messageFilledAtMs, clock_.elapsed(), kMessagesPerSecond, kMessageBurst))
        return true;
    cutOff(peer, QStringLiteral("closed: it sends more than %1 messages a second").arg(kMessagesPerSecond));
    return false;
}

bool PeerConnections::relayAllowed(Peer *peer, const QByteArray &command, const QByteArray &payload)
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

void PeerConnections::sweep()
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
        if (onSweep && onSweep(p.get(), now))
            continue;
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

void PeerConnections::onReadyRead(Peer *peer)
{
    if (peer->gone)
        return;
    if (peer->deaf()) {
        peer->socket->readAll();
        return;
    }
    const qint64 available = peer->socket->bytesAvailable();
    peer->framer.commit(peer->socket->read(peer->framer.reserve(available), available));
    QByteArray text;
    while (!peer->gone && !peer->deaf()) {
        const EotFramer::Result r = peer->framer.next(text);
        if (r == EotFramer::Result::NeedMore)
            break;
        if (r == EotFramer::Result::TooLong) {
            // Complete, it is noted once dropped; still without its EOT, it is noted now too.
            if (!peer->framer.dropOverlong())
                note_(QStringLiteral("%1: more than %2 bytes without EOT; dropping them up to the next EOT")
                          .arg(peer->who())
                          .arg(kMaxMessageBytes));
            continue;
        }
        if (r == EotFramer::Result::Dropped) {
            note_(QStringLiteral("%1: over-long message of %2 bytes dropped").arg(peer->who()).arg(peer->framer.droppedBytes()));
            continue;
        }
        text.append(ctl::EOT);
        if (onText)
            onText(peer, text);
    }
    if (!peer->gone && peer->deaf())
        stopReading(peer);
}

void PeerConnections::onGone(Peer *peer)
{
    if (peer->gone)
        return;
    peer->gone = true;
    const bool dropping = peer->framer.dropping();
    if (peer->framer.pending() > 0 || dropping)
        note_(QStringLiteral("%1 left in the middle of a message; %2 bytes dropped")
                  .arg(peer->who())
                  .arg(peer->framer.pending() + (dropping ? peer->framer.droppedBytes() : 0)));
    note_(QStringLiteral("%1 (%2) left").arg(peer->who(), peer->endpoint));
    peer->socket->disconnect(this);
    peer->socket->deleteLater();
    if (!purgeScheduled_) {
        purgeScheduled_ = true;
        QTimer::singleShot(0, this, &PeerConnections::purge);
    }
    if (onLeft)
        onLeft(peer);
}

void PeerConnections::purge()
{
    purgeScheduled_ = false;
    std::erase_if(peers_, [](const std::unique_ptr<Peer> &p) { return p->gone; });
}

void PeerConnections::send(Peer *to, const QByteArray &command, const QByteArray &sender, const QByteArray &payload)
{
    send(QVector<Peer *>{to}, command, sender, payload);
}

void PeerConnections::send(const QVector<Peer *> &to, const QByteArray &command, const QByteArray &sender,
                           const QByteArray &payload)
{
    if (to.isEmpty())
        return;
    const QByteArray text = FrameConsoleMessage(command, disciplineTag_, sender, payload);
    QStringList names;
    for (Peer *p : to)
        names << p->who();
    note_(QStringLiteral("out %1: %2").arg(names.join(QLatin1Char(',')), RenderForServerLog(text)));
    for (Peer *p : to) {
        if (p->gone || p->cutOff)
            continue;
        if (p->socket->bytesToWrite() == 0)
            p->progressAtMs = clock_.elapsed();
        p->socket->write(text);
        if (p->socket->bytesToWrite() > kMaxBacklogBytes)
            cutOff(p, QStringLiteral("closed: %1 bytes sent to it are waiting unread").arg(p->socket->bytesToWrite()));
    }
}
