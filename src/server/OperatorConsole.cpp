#include "server/OperatorConsole.h"

#include "link/CodePage.h"
#include "server/CompetitionFlow.h"
#include "server/PeerConnections.h"
#include "server/StationRegistry.h"

#include <QRegularExpression>
#include <QStringList>
#include <QTcpSocket>

#include <algorithm>

namespace {

// "3", "J3", "j3" -> 3; 0 for anything else.
int ParseJudge(const QString &word)
{
    QString w = word;
    if (w.startsWith(QLatin1Char('J'), Qt::CaseInsensitive))
        w.remove(0, 1);
    bool ok = false;
    const int n = w.toInt(&ok);
    return ok && n >= 1 && n <= 11 ? n : 0;
}

QString Row(const QByteArray &v)
{
    return v.isEmpty() ? QStringLiteral("-") : RenderForServerLog(v);
}

} // namespace

OperatorConsole::OperatorConsole(EventServer &server)
    : server_(server)
{
}

QString OperatorConsole::helpText()
{
    return QStringLiteral(
        "commands:\n"
        "  next                 move on to the next dive now (also: n)\n"
        "  repeat               judge the dive under way again: clears its scores, sends EI, AI and DI again\n"
        "  status               the dive under way and the scores received (also: s)\n"
        "  fs JUDGE SCORE       place SCORE on the judge's station for the judge to accept, e.g. fs 3 7.5\n"
        "  score JUDGE SCORE    record SCORE for the judge here, as if the judge had sent it\n"
        "  ce JUDGE TEXT        show TEXT to the judge in a message box\n"
        "  cm TEXT              chat line to every station\n"
        "  cd JUDGE             disconnect the judge's station (it returns to its opening page)\n"
        "  end                  end the event now: END OF EVENT to every station\n"
        "  list                 the connected stations (also: stations)\n"
        "  help                 this text\n"
        "  quit                 stop the server (also: exit; or SIGINT, SIGTERM)\n"
        "JUDGE is a judge number 1 to 11 or its identifier, e.g. 3 or J3.");
}

QString OperatorConsole::execute(const QString &line)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return {};
    const QStringList words = trimmed.split(QRegularExpression(QStringLiteral("\\s+")));
    const QString command = words[0].toLower();
    // The text after the command and `skip` more words, as typed.
    auto restAfter = [&](int skip) {
        QString rest = trimmed;
        for (int i = 0; i <= skip; ++i) {
            const qsizetype blank = rest.indexOf(QRegularExpression(QStringLiteral("\\s")));
            rest = blank < 0 ? QString() : rest.mid(blank).trimmed();
        }
        return rest;
    };
    auto judgeArg = [&](int index, QString &error) {
        const int n = ParseJudge(words.value(index));
        if (n == 0)
            error = QStringLiteral("%1: give a judge number 1 to 11 (see help)").arg(command);
        return n;
    };

    QString error;
    if (command == QLatin1String("help") || command == QLatin1String("?"))
        return helpText();
    if (command == QLatin1String("next") || command == QLatin1String("n")) {
        server_.nextDive();
        return {};
    }
    if (command == QLatin1String("repeat")) {
        server_.repeatDive();
        return {};
    }
    if (command == QLatin1String("end")) {
        server_.endEvent();
        return {};
    }
    if (command == QLatin1String("status") || command == QLatin1String("s"))
        return server_.statusText();
    if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
        quit_ = true;
        return QStringLiteral("stopping");
    }
    if (command == QLatin1String("list") || command == QLatin1String("stations")) {
        const auto stations = server_.stations();
        QStringList out;
        const QDateTime now = QDateTime::currentDateTime();
        out << QStringLiteral("judges:");
        for (const auto &link : server_.judgeLinks())
            out << QStringLiteral("  ") + FormatJudgeLink(link, now);
        out << (stations.isEmpty() ? QStringLiteral("no station is connected") : QStringLiteral("stations:"));
        for (const auto &s : stations)
            out << QStringLiteral("  %1  from %2  caption \"%3\"  IP %4  name %5  status %6")
                       .arg(s.id.isEmpty() ? QStringLiteral("(not announced)") : RenderForServerLog(s.id), s.peer,
                            RenderForServerLog(s.caption), Row(s.address), Row(s.name), Row(s.status));
        return out.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("fs") || command == QLatin1String("score")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        if (words.size() != 3)
            return QStringLiteral("%1: give a judge and a score, e.g. %1 3 7.5").arg(command);
        const QByteArray score = words[2].toLatin1();
        const bool ok = command == QLatin1String("fs") ? server_.sendForcedScore(judge, score, &error)
                                                        : server_.recordScore(judge, score, &error);
        return ok ? QString() : QStringLiteral("%1: %2").arg(command, error);
    }
    if (command == QLatin1String("ce")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        const QString text = restAfter(1);
        if (text.isEmpty())
            return QStringLiteral("ce: give the text to show, e.g. ce 3 Please score the dive");
        server_.messageJudge(judge, ToStationText(text));
        return {};
    }
    if (command == QLatin1String("cm")) {
        const QString text = restAfter(0);
        if (text.isEmpty())
            return QStringLiteral("cm: give the chat line, e.g. cm Warm-up ends in 5 minutes");
        server_.chat(ToStationText(text));
        return {};
    }
    if (command == QLatin1String("cd")) {
        const int judge = judgeArg(1, error);
        if (!judge)
            return error;
        server_.disconnectJudge(judge);
        return {};
    }
    return QStringLiteral("unknown command \"%1\"; type help for the commands").arg(words[0].left(40));
}

// ---- the commands and reports behind it -----------------------------------------------------

OperatorCommands::OperatorCommands(CompetitionFlow &flow, StationRegistry &registry, PeerConnections &connections,
                                   Note note)
    : flow_(flow)
    , registry_(registry)
    , connections_(connections)
    , note_(std::move(note))
{
}

bool OperatorCommands::recordScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    const Competition &competition = flow_.competition();
    QString why;
    const auto score = ParseScore(scoreText);
    if (competition.ended())
        why = QStringLiteral("the event has ended");
    else if (judgeNumber < 1 || judgeNumber > competition.judges())
        why = QStringLiteral("the panel has judges 1 to %1").arg(competition.judges());
    else if (!score)
        why = QStringLiteral("a score is 0.0 to 10.0 in half points");
    if (!why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    const bool wasComplete = competition.panelComplete();
    if (flow_.record(judgeNumber, *score, JournalEntry::Source::Operator, QStringLiteral(" (entered by the operator)")))
        flow_.scored(wasComplete);
    return true;
}

bool OperatorCommands::sendForcedScore(int judgeNumber, const QByteArray &scoreText, QString *error)
{
    const auto score = ParseScore(scoreText);
    if (JudgeStationId(judgeNumber).isEmpty() || !score) {
        if (error)
            *error = !score ? QStringLiteral("a score is 0.0 to 10.0 in half points")
                            : QStringLiteral("judges are numbered 1 to 11");
        return false;
    }
    connections_.send(registry_.stationPeers(), "FS", kServerId,
                      QByteArray::number(judgeNumber) + ctl::DC1 + FormatScore(*score) + ctl::DC2);
    return true;
}

int OperatorCommands::messageJudge(int judgeNumber, const QByteArray &text)
{
    const QVector<Peer *> to = registry_.judgeStations(judgeNumber);
    if (to.isEmpty())
        note_(QStringLiteral("no station of judge %1 is connected").arg(judgeNumber));
    connections_.send(to, "CE", kServerId, text);
    return to.size();
}

void OperatorCommands::chat(const QByteArray &text)
{
    connections_.send(registry_.stationPeers(), "CM", kServerId, text);
}

void OperatorCommands::disconnectJudge(int judgeNumber)
{
    const QByteArray id = JudgeStationId(judgeNumber);
    if (id.isEmpty())
        return;
    const QVector<Peer *> leaving = registry_.judgeStations(judgeNumber);
    if (leaving.isEmpty())
        note_(QStringLiteral("no station of judge %1 is connected; the others are told all the same").arg(judgeNumber));
    connections_.send(registry_.stationPeers(), "CD", id, id);
    for (Peer *p : leaving) {
        p->leaveSent = true;
        // The station closes its link itself; one that does not is closed for it.
        QTcpSocket *socket = p->socket;
        QTimer::singleShot(kLeaveGraceMs, socket, [socket] { socket->abort(); });
    }
}

QVector<EventServer::StationInfo> OperatorCommands::stations() const
{
    QVector<EventServer::StationInfo> out;
    for (const auto &p : connections_.peers()) {
        if (p->gone)
            continue;
        out.append({p->id, p->caption, p->address, p->name, p->status, p->endpoint});
    }
    std::stable_sort(out.begin(), out.end(), [](const EventServer::StationInfo &a, const EventServer::StationInfo &b) {
        const int na = JudgeNumberOf(a.id), nb = JudgeNumberOf(b.id);
        return (na ? na : 99) < (nb ? nb : 99);
    });
    return out;
}

QVector<EventServer::JudgeLink> OperatorCommands::judgeLinks() const
{
    using JudgeLink = EventServer::JudgeLink;
    QVector<JudgeLink> out;
    for (int j = 1; j <= flow_.competition().judges(); ++j) {
        JudgeLink link;
        link.judge = j;
        const StationRegistry::Seen seen = registry_.seen(j);
        link.battery = seen.battery;
        link.lastHeard = seen.lastHeard;
        link.computer = seen.computer;
        link.score = flow_.competition().score(j);
        link.changing = flow_.changing(j);
        for (const auto &p : connections_.peers())
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
    QString line = QString::fromLatin1(JudgeStationId(link.judge)) + QLatin1Char(' ');
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

QString OperatorCommands::statusText() const
{
    const Competition &competition = flow_.competition();
    const EventDefinition &event = competition.event();
    if (competition.ended())
        return QStringLiteral("the event \"%1\" has ended").arg(DecodeConsoleText(event.name));
    QString out = flow_.diveLine() + QLatin1Char('\n');
    QStringList scores;
    for (int j = 1; j <= competition.judges(); ++j) {
        const auto s = competition.score(j);
        QString label = ShownId(JudgeStationId(j));
        if (event.kind == EventKind::Synchro)
            label += QStringLiteral(" (%1)").arg(QString::fromLatin1(SynchroPositionText(competition.judges(), j)));
        QString shown = s ? QString::fromLatin1(FormatScore(*s)) : QStringLiteral("-");
        if (flow_.changing(j))
            shown += QStringLiteral(" (changing)");
        scores << QStringLiteral("%1 %2").arg(label, shown);
    }
    out += QStringLiteral("scores: %1").arg(scores.join(QLatin1String(", ")));
    const QDateTime now = QDateTime::currentDateTime();
    for (const EventServer::JudgeLink &link : judgeLinks())
        out += QStringLiteral("\n  ") + FormatJudgeLink(link, now);
    if (const auto r = competition.result())
        out += QStringLiteral("\nresult: %1 points%2")
                   .arg(QString::fromLatin1(FormatPoints(r->hundredths)))
                   .arg(flow_.pausing() ? QStringLiteral("; next dive after the correction pause") : QString());
    return out;
}
