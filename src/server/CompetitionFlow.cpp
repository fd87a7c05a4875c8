#include "server/CompetitionFlow.h"

#include "link/CodePage.h"
#include "server/EventServer.h"
#include "server/PeerConnections.h"
#include "server/StationRegistry.h"
#include "platform/SafeFile.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>

namespace {

QString JudgeList(const QVector<int> &judges)
{
    QStringList parts;
    for (int j : judges)
        parts << QString::number(j);
    return parts.join(QLatin1String(", "));
}

} // namespace

CompetitionFlow::CompetitionFlow(EventDefinition event, const ServerOptions &options, PeerConnections &connections,
                                 StationRegistry &registry, Note note, QObject *timerParent)
    : options_(options)
    , connections_(connections)
    , registry_(registry)
    , note_(std::move(note))
    , competition_(std::move(event))
    , pauseTimer_(timerParent)
{
    pauseTimer_.setSingleShot(true);
    QObject::connect(&pauseTimer_, &QTimer::timeout, &pauseTimer_, [this] { nextDive(); });
}

bool CompetitionFlow::start(QString *error)
{
    competition_.start();
    diveSerial_ = 0;
    judgeState_ = QVector<JudgeState>(11);
    fillRandom_.seed(options_.fillSeed);
    return openJournal(error);
}

void CompetitionFlow::resumePause()
{
    // Stopped in the correction pause: the pause starts again.
    if (competition_.panelComplete() && options_.correctionPauseMs > 0)
        pauseTimer_.start(options_.correctionPauseMs);
}

QString CompetitionFlow::diveLine() const
{
    return QStringLiteral("dive %1 of %2: %3")
        .arg(competition_.diveIndex() + 1)
        .arg(competition_.event().diveCount())
        .arg(DecodeConsoleText(competition_.describeDive()));
}

bool CompetitionFlow::openJournal(QString *error)
{
    const EventDefinition &event = competition_.event();
    if (options_.journalPath.isEmpty()) {
        if (options_.resume) {
            *error = QStringLiteral("cannot resume without a journal");
            return false;
        }
        return true;
    }
    if (!options_.resume) {
        QString keptAs;
        if (!journal_.startFresh(options_.journalPath, event, &keptAs, error))
            return false;
        if (!keptAs.isEmpty())
            note_(QStringLiteral("the journal of an earlier run is kept as %1 (--resume goes on from a journal)").arg(keptAs));
        note_(QStringLiteral("journal: %1").arg(options_.journalPath));
        return true;
    }
    JournalContent content;
    if (!journal_.resume(options_.journalPath, event, &content, error))
        return false;
    if (content.tornLastLine)
        note_(QStringLiteral("the journal's last line was cut short by the stop and is dropped"));
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
    note_(QStringLiteral("resumed from the journal %1: %2 scores, %3 dives judged")
              .arg(options_.journalPath)
              .arg(scores)
              .arg(competition_.judgedDives().size()));
    return true;
}

void CompetitionFlow::catchUp(Peer *peer, bool keepUnsentScore)
{
    if (competition_.ended()) {
        connections_.send(peer, "EI", kServerId, competition_.endEiPayload());
        return;
    }
    if (keepUnsentScore)
        note_(QStringLiteral("%1 is back within the dive it left without \"Off\": no \"EI\", so that a score it "
                             "could not send stays on its screen")
                  .arg(ShownId(peer->id)));
    else
        connections_.send(peer, "EI", kServerId, competition_.eiPayload());
    connections_.send(peer, "AI", kServerId, competition_.aiPayload());
    connections_.send(peer, "DI", kServerId, competition_.diPayload());
    if (competition_.panelComplete()) {
        connections_.send(peer, "XX", kServerId, competition_.xxPayload());
        connections_.send(peer, "PR", kServerId, competition_.prPayload());
    }
}

void CompetitionFlow::handleScore(Peer *peer, const QByteArray &sender, const QByteArray &payload)
{
    // A score counts only from the connection that announced its judge.
    if (peer->id.isEmpty() || sender != peer->id) {
        if (StationRegistry::firstRefusal(peer, StationRegistry::Refusal::ScoreNotAnnounced))
            note_(QStringLiteral("%1: a score signed \"%2\" from a connection that has not announced that judge is "
                                 "refused (logged once for this connection)")
                      .arg(peer->who(), RenderForServerLog(sender)));
        connections_.send(peer, "CE", kServerId,
                          "This connection has not announced itself as " + sender.trimmed().left(4)
                              + ". Your score was not recorded.");
        return;
    }
    const QByteArray id = peer->id;
    const int judge = JudgeNumberOf(id);
    if (judge == 0) {
        note_(QStringLiteral("%1 is not a judge; its score is ignored").arg(ShownId(id)));
        return;
    }
    if (competition_.ended()) {
        // Answered all the same: a station left without an answer stays red for ever, and a
        // "TX" would turn it green for a score that no result holds.
        note_(QStringLiteral("Judge %1 sent a score after the end of the event; not recorded").arg(judge));
        connections_.send(peer, "CE", kServerId, "The event has ended. Your score was not recorded.");
        return;
    }
    if (judge > competition_.judges()) {
        note_(QStringLiteral("Judge %1 is not on this panel of %2 judges; the score is not recorded")
                  .arg(judge)
                  .arg(competition_.judges()));
        connections_.send(peer, "CE", kServerId,
                          QStringLiteral("Judge %1 is not on this panel of %2 judges. Your score was not recorded.")
                              .arg(judge)
                              .arg(competition_.judges())
                              .toLatin1());
        return;
    }
    const QByteArray text = payload.contains(ctl::DC1) ? FieldBefore(payload, ctl::DC1) : payload;
    const auto score = ParseScore(text);
    if (!score) {
        note_(QStringLiteral("Judge %1 sent \"%2\", which is not a score; not recorded")
                  .arg(judge)
                  .arg(RenderForServerLog(text)));
        connections_.send(peer, "CE", kServerId,
                          "Your score \"" + text.left(20) + "\" was not recorded: a score is 0.0 to 10.0 in half points.");
        return;
    }
    JudgeState &state = judgeState_[judge - 1];
    if (*score == 0 && state.acknowledged && !state.changing) {
        // The station's Cancel / Change on its green panel sends 0.0: the judge is about to
        // key another score, or to keep this one. Nothing changes until the judge sends again.
        state.changing = true;
        note_(QStringLiteral("judge %1 is changing (Cancel / Change on the station); %2 stands until the judge "
                             "sends again")
                  .arg(judge)
                  .arg(QString::fromLatin1(FormatScore(*competition_.score(judge)))));
        connections_.send(peer, "TX", kServerId, id + ctl::DC1);
        return;
    }
    const bool wasComplete = competition_.panelComplete();
    const bool changed = record(judge, *score, JournalEntry::Source::Station,
                                state.changing ? QStringLiteral(" (the change)") : QString());
    state.changing = false;
    state.acknowledged = true;
    // Acknowledged only once recorded: the judge's station turns green on this.
    connections_.send(peer, "TX", kServerId, id + ctl::DC1);
    if (changed)
        scored(wasComplete);
}

bool CompetitionFlow::record(int judgeNumber, int halfPoints, JournalEntry::Source source, const QString &how)
{
    const auto previous = competition_.score(judgeNumber);
    if (previous == halfPoints) {
        // Accepted again, or sent again after a reconnection: the result stands as it is.
        note_(QStringLiteral("judge %1 scores %2 again; no change%3")
                  .arg(judgeNumber)
                  .arg(QString::fromLatin1(FormatScore(halfPoints)), how));
        return false;
    }
    competition_.setScore(judgeNumber, halfPoints);
    journal(JournalEntry{JournalEntry::Kind::Score, competition_.diveIndex(), judgeNumber, halfPoints, source});
    QString what = QStringLiteral("judge %1 scores %2").arg(judgeNumber).arg(QString::fromLatin1(FormatScore(halfPoints)));
    if (previous)
        what += QStringLiteral(", replacing %1").arg(QString::fromLatin1(FormatScore(*previous)));
    note_(what + how);
    return true;
}

void CompetitionFlow::scored(bool wasComplete)
{
    if (!competition_.panelComplete() && options_.fillMissing)
        fillMissingJudges();
    if (!competition_.panelComplete()) {
        note_(QStringLiteral("waiting for judge(s) %1").arg(JudgeList(competition_.missingJudges())));
        return;
    }
    const auto r = competition_.result();
    if (!r)
        return;
    QStringList cancelled;
    for (int i = 0; i < r->cancelled.size(); ++i)
        if (r->cancelled[i])
            cancelled << QStringLiteral("%1 %2").arg(ShownId(JudgeStationId(i + 1)),
                                                     QString::fromLatin1(FormatScore(*competition_.score(i + 1))));
    note_(QStringLiteral("%1: %2 points (cancelled: %3); total %4, rank %5")
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

QVector<int> CompetitionFlow::connectedPanelJudges() const
{
    QVector<int> out;
    for (Peer *p : registry_.stationPeers()) {
        const int n = JudgeNumberOf(p->id);
        if (n >= 1 && n <= competition_.judges() && !out.contains(n))
            out.append(n);
    }
    std::sort(out.begin(), out.end());
    return out;
}

void CompetitionFlow::fillMissingJudges()
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

void CompetitionFlow::announcePanel()
{
    const auto to = registry_.stationPeers();
    connections_.send(to, "XX", kServerId, competition_.xxPayload());
    connections_.send(to, "PR", kServerId, competition_.prPayload());
}

void CompetitionFlow::announceDive()
{
    note_(diveLine());
    ++diveSerial_;
    // Every dive begins with "EI": it brings each station back to its keypad, whatever its
    // confirmation panel still shows of the dive before.
    const auto to = registry_.stationPeers();
    connections_.send(to, "EI", kServerId, competition_.eiPayload());
    connections_.send(to, "AI", kServerId, competition_.aiPayload());
    connections_.send(to, "DI", kServerId, competition_.diPayload());
}

void CompetitionFlow::announceEnd()
{
    const EventDefinition &event = competition_.event();
    QStringList standings;
    QVector<int> order;
    for (int i = 0; i < event.athletes.size(); ++i)
        order.append(i);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return competition_.totalHundredths(a) > competition_.totalHundredths(b);
    });
    for (int i : order)
        standings << QStringLiteral("%1. %2 %3")
                         .arg(competition_.rank(i))
                         .arg(DecodeConsoleText(event.athletes[i].name))
                         .arg(QString::fromLatin1(FormatPoints(competition_.totalHundredths(i))));
    note_(QStringLiteral("END OF EVENT; standings: %1").arg(standings.join(QLatin1String("; "))));
    ++diveSerial_;
    connections_.send(registry_.stationPeers(), "EI", kServerId, competition_.endEiPayload());
}

void CompetitionFlow::nextDive()
{
    pauseTimer_.stop();
    if (competition_.ended()) {
        note_(QStringLiteral("the event has ended; there is no next dive"));
        return;
    }
    if (!competition_.panelComplete())
        note_(QStringLiteral("moving on without a result: judge(s) %1 had not scored")
                  .arg(JudgeList(competition_.missingJudges())));
    journal({JournalEntry::Kind::Next, competition_.diveIndex()});
    endChanges();
    if (competition_.advance())
        announceDive();
    else
        announceEnd();
}

void CompetitionFlow::repeatDive()
{
    if (competition_.ended()) {
        note_(QStringLiteral("the event has ended; there is no dive to repeat"));
        return;
    }
    pauseTimer_.stop();
    journal({JournalEntry::Kind::Repeat, competition_.diveIndex()});
    endChanges();
    competition_.repeat();
    note_(QStringLiteral("the dive is judged again; its scores are cleared"));
    announceDive();
}

void CompetitionFlow::endEvent()
{
    pauseTimer_.stop();
    if (competition_.ended()) {
        note_(QStringLiteral("the event has already ended"));
        return;
    }
    journal({JournalEntry::Kind::End, competition_.diveIndex()});
    endChanges();
    competition_.end();
    announceEnd();
}

void CompetitionFlow::endChanges()
{
    for (int j = 1; j <= judgeState_.size(); ++j) {
        JudgeState &state = judgeState_[j - 1];
        if (state.changing)
            note_(QStringLiteral("judge %1's change lapses: the dive is over and %2 stands")
                      .arg(j)
                      .arg(QString::fromLatin1(FormatScore(competition_.score(j).value_or(0)))));
        state = {};
    }
}

void CompetitionFlow::journal(const JournalEntry &entry)
{
    QString error;
    if (!journal_.append(entry, &error))
        note_(QStringLiteral("WARNING: %1; a restart would not know of: %2").arg(error, QString::fromLatin1(FormatJournalEntry(entry))));
}

void CompetitionFlow::writeResults()
{
    if (options_.resultsPath.isEmpty())
        return;
    QString error;
    if (!WriteFileSafely(options_.resultsPath, ResultsCsv(competition_), &error))
        note_(QStringLiteral("WARNING: cannot write %1: %2").arg(options_.resultsPath, error));
}
