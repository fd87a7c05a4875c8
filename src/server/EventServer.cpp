#include "server/EventServer.h"

#include "link/CodePage.h"
#include "link/ConsoleMessage.h"
#include "server/OperatorConsole.h"

#include <QNetworkInterface>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>

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

EventServer::EventServer(EventDefinition event, ServerOptions options, QObject *parent)
    : QObject(parent)
    , event_(event)
    , options_(options)
    , connections_(options_, noter(), this)
    , registry_(connections_, options_, noter())
    , flow_(std::move(event), options_, connections_, registry_, noter(), this)
    , operator_(std::make_unique<OperatorCommands>(flow_, registry_, connections_,
                                                   noter()))
    , pulseTimer_(this)
{
    connections_.setDisciplineTag(event_.kind == EventKind::Individual ? "IND " : "SYN ");
    connections_.onText = [this](Peer *peer, const QByteArray &text) { handleText(peer, text); };
    connections_.onLeft = [this](Peer *peer) { registry_.stationLeft(peer); };
    connections_.onSweep = [this](Peer *peer, qint64 nowMs) { return registry_.answerOverdue(peer, nowMs); };
    registry_.catchUp = [this](Peer *peer, bool keepUnsentScore) { flow_.catchUp(peer, keepUnsentScore); };
    registry_.replay = [this](Peer *peer, const QByteArray &text) { handleText(peer, text); };
    registry_.diveSerial = [this] { return flow_.diveSerial(); };
    pulseTimer_.setInterval(std::max(0, options_.pulseIntervalMs));
    connect(&pulseTimer_, &QTimer::timeout, this, [this] { registry_.sendPulse(); });
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
    QString why;
    if (!connections_.listen(&why)) {
        if (error)
            *error = why;
        note(why);
        return false;
    }
    registry_.forgetLost();
    if (!flow_.start(&why)) {
        connections_.closeListening();
        if (error)
            *error = why;
        note(why);
        return false;
    }

    port_ = connections_.serverPort();
    const QStringList addresses = StationAddresses(LocalInterfaceAddresses(), options_.bindAddress);
    note(QStringLiteral("listening on port %1; the stations connect to %2")
             .arg(port_.load())
             .arg(addresses.isEmpty() ? QStringLiteral("(no network address is up)")
                                      : addresses.join(QLatin1String(" or "))));
    if (options_.pulseIntervalMs > 0)
        pulseTimer_.start();
    connections_.startSweeping();
    note(QStringLiteral("event \"%1\": %2, %3 judges, %4 athletes, %5 dives")
             .arg(DecodeConsoleText(event_.name), EventKindName(event_.kind))
             .arg(event_.judges)
             .arg(event_.athletes.size())
             .arg(event_.diveCount()));
    if (flow_.competition().ended()) {
        note(QStringLiteral("the event has ended"));
        return true;
    }
    note(flow_.diveLine());
    if (options_.resume) {
        note(statusText());
        flow_.resumePause();
    }
    return true;
}

void EventServer::stop()
{
    pulseTimer_.stop();
    flow_.stopPause();
    connections_.stop();
}

void EventServer::handleText(Peer *peer, const QByteArray &text)
{
    if (!connections_.takeMessageToken(peer))
        return;
    if (!peer->waitingFor.isEmpty()) {
        peer->held.append(text);
        return;
    }
    note(QStringLiteral("in  %1: %2").arg(peer->who(), RenderForServerLog(text)));
    registry_.heardFrom(peer);
    if (peer->checkedFor)
        registry_.settleCheck(peer, true);
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
        registry_.handleAnnounce(peer, m.sender, m.payload);
    else if (command == "IP" || command == "CN" || command == "CS")
        registry_.handleStatus(peer, command, m.sender, m.payload);
    else if (command == "SD")
        flow_.handleScore(peer, m.sender, m.payload);
    else if (command == "CM")
        note(QStringLiteral("chat from %1: %2").arg(peer->who(), RenderForServerLog(m.payload)));
    else
        note(QStringLiteral("%1: unknown command \"%2\"; ignored").arg(peer->who(), RenderForServerLog(m.command)));
}

void EventServer::note(const QString &text)
{
    emit logLine(text);
}

std::function<void(const QString &)> EventServer::noter()
{
    return [this](const QString &text) { note(text); };
}

// ---- the operator's commands and reports ----------------------------------------------------

void EventServer::nextDive()
{
    flow_.nextDive();
}

void EventServer::repeatDive()
{
    flow_.repeatDive();
}

void EventServer::endEvent()
{
    flow_.endEvent();
}

bool EventServer::recordScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    return operator_->recordScore(judgeNumber, scoreText, error);
}

bool EventServer::sendForcedScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    return operator_->sendForcedScore(judgeNumber, scoreText, error);
}

int EventServer::messageJudge(int judgeNumber, const QByteArray &text)
{
    return operator_->messageJudge(judgeNumber, text);
}

void EventServer::chat(const QByteArray &text)
{
    operator_->chat(text);
}

void EventServer::disconnectJudge(int judgeNumber)
{
    operator_->disconnectJudge(judgeNumber);
}

QVector<EventServer::StationInfo> EventServer::stations() const
{
    return operator_->stations();
}

QVector<EventServer::JudgeLink> EventServer::judgeLinks() const
{
    return operator_->judgeLinks();
}

QString EventServer::statusText() const
{
    return operator_->statusText();
}
