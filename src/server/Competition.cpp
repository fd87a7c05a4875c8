#include "server/Competition.h"

#include "link/CodePage.h"
#include "link/ConsoleMessage.h"

namespace {
constexpr int kScoreboardWidth = 9;
constexpr char kPanelLead = '#';  // precedes the panel's scores; stations skip it
} // namespace

QByteArray ScoreboardLine(const QByteArray &label, const QByteArray &value)
{
    const QByteArray line = label.isEmpty() ? value : label + ' ' + value;
    if (line.size() <= kScoreboardWidth)
        return line;
    return value.left(kScoreboardWidth);
}

Competition::Competition(EventDefinition event)
    : event_(std::move(event))
    , finished_(event_.athletes.size(), 0)
{
}

void Competition::start()
{
    finished_ = QVector<qint64>(event_.athletes.size(), 0);
    judged_.clear();
    diveIndex_ = 0;
    ended_ = !moveTo(0, 0);
}

bool Competition::moveTo(int round, int athlete)
{
    // The first athlete at or after (round, athlete) who has a dive in that round.
    const int rounds = event_.rounds();
    while (round < rounds) {
        for (; athlete < event_.athletes.size(); ++athlete) {
            if (round < event_.athletes[athlete].dives.size()) {
                round_ = round;
                athlete_ = athlete;
                scores_ = QVector<std::optional<int>>(event_.judges);
                return true;
            }
        }
        ++round;
        athlete = 0;
    }
    return false;
}

bool Competition::setScore(int judgeNumber, int halfPoints)
{
    if (ended_ || judgeNumber < 1 || judgeNumber > event_.judges || halfPoints < 0 || halfPoints > 20)
        return false;
    scores_[judgeNumber - 1] = halfPoints;
    return true;
}

std::optional<int> Competition::score(int judgeNumber) const
{
    if (ended_ || judgeNumber < 1 || judgeNumber > scores_.size())
        return std::nullopt;
    return scores_[judgeNumber - 1];
}

QVector<int> Competition::missingJudges() const
{
    QVector<int> out;
    if (ended_)
        return out;
    for (int i = 0; i < scores_.size(); ++i)
        if (!scores_[i])
            out.append(i + 1);
    return out;
}

bool Competition::panelComplete() const
{
    return !ended_ && missingJudges().isEmpty();
}

std::optional<DiveResult> Competition::result() const
{
    if (!panelComplete())
        return std::nullopt;
    QVector<int> s;
    for (const auto &v : scores_)
        s.append(*v);
    return ComputeDiveResult(event_.kind, s, dive().ddTenths);
}

qint64 Competition::totalHundredths(int athleteIndex) const
{
    if (athleteIndex < 0 || athleteIndex >= finished_.size())
        return 0;
    qint64 total = finished_[athleteIndex];
    if (!ended_ && athleteIndex == athlete_)
        if (const auto r = result())
            total += r->hundredths;
    return total;
}

int Competition::rank(int athleteIndex) const
{
    const qint64 mine = totalHundredths(athleteIndex);
    int rank = 1;
    for (int i = 0; i < event_.athletes.size(); ++i)
        if (totalHundredths(i) > mine)
            ++rank;
    return rank;
}

Competition::JudgedDive Competition::currentJudged(const DiveResult &r) const
{
    JudgedDive d;
    d.diveIndex = diveIndex_;
    d.round = round_ + 1;
    d.athleteIndex = athlete_;
    for (const auto &s : scores_)
        d.halfPoints.append(s.value_or(0));
    d.hundredths = r.hundredths;
    return d;
}

QVector<Competition::JudgedDive> Competition::resultsSoFar() const
{
    QVector<JudgedDive> out = judged_;
    if (const auto r = result())
        out.append(currentJudged(*r));
    return out;
}

bool Competition::advance()
{
    if (ended_)
        return false;
    if (const auto r = result()) {
        finished_[athlete_] += r->hundredths;
        judged_.append(currentJudged(*r));
    }
    ++diveIndex_;
    if (!moveTo(round_, athlete_ + 1)) {
        ended_ = true;
        return false;
    }
    return true;
}

void Competition::repeat()
{
    if (!ended_)
        scores_ = QVector<std::optional<int>>(event_.judges);
}

void Competition::end()
{
    ended_ = true;
}

QByteArray Competition::eiPayload() const
{
    return QByteArray(event_.kind == EventKind::Individual ? "IND" : "SYN") + ctl::DC1 + event_.name + ctl::DC2
           + QByteArray::number(event_.judges) + ctl::DC3;
}

QByteArray Competition::endEiPayload() const
{
    return QByteArray(event_.kind == EventKind::Individual ? "IND" : "SYN") + ctl::DC1 + "END OF EVENT" + ctl::DC2
           + QByteArray::number(event_.judges) + ctl::DC3;
}

QByteArray Competition::aiPayload() const
{
    if (ended_)
        return {};
    return QByteArray::number(round()) + '-' + QByteArray::number(startOrder()) + ctl::DC1 + athlete().name + ctl::DC2
           + athlete().team + ctl::DC3;
}

QByteArray Competition::diPayload() const
{
    if (ended_)
        return {};
    const DiveSpec &d = dive();
    return d.number + ctl::DC1 + FormatDegreeOfDifficulty(d.ddTenths) + ctl::DC2 + d.height + ctl::DC3 + d.description
           + ctl::DC4;
}

QByteArray Competition::xxPayload() const
{
    QByteArray out(1, kPanelLead);
    for (const auto &s : scores_) {
        if (s)
            out += FormatScore(*s);
        out += ctl::ListSeparator;
    }
    return out;
}

QByteArray Competition::prPayload() const
{
    const auto r = result();
    const QByteArray points = r ? FormatPoints(r->hundredths) : QByteArray();
    return QByteArray::number(startOrder()) + ctl::DC1 + ScoreboardLine("", points) + ctl::ListSeparator
           + ScoreboardLine("T", FormatPoints(totalHundredths(athlete_))) + ctl::ListSeparator
           + ScoreboardLine("RANK", QByteArray::number(rank(athlete_))) + ctl::DC2;
}

QByteArray Competition::describeDive() const
{
    if (ended_)
        return "the event has ended";
    const DiveSpec &d = dive();
    QByteArray out = "round " + QByteArray::number(round()) + ", start " + QByteArray::number(startOrder()) + ": "
                     + athlete().name;
    if (!athlete().team.isEmpty())
        out += " (" + athlete().team + ")";
    out += ", " + d.number + ", DD " + FormatDegreeOfDifficulty(d.ddTenths);
    if (!d.height.isEmpty())
        out += ", " + d.height;
    return out;
}

namespace {
QByteArray CsvField(const QByteArray &windows1252)
{
    QByteArray text = DecodeConsoleText(windows1252).toUtf8();
    if (text.contains(',') || text.contains('"') || text.contains('\n') || text.contains('\r')) {
        text.replace('"', "\"\"");
        text = '"' + text + '"';
    }
    return text;
}
} // namespace

QByteArray ResultsCsv(const Competition &competition)
{
    const EventDefinition &event = competition.event();
    QByteArray out = "dive,round,start,athlete,team,dive number,dd";
    for (int j = 1; j <= event.judges; ++j)
        out += ",J" + QByteArray::number(j);
    out += ",points,total\n";
    QVector<qint64> totals(event.athletes.size(), 0);
    for (const auto &d : competition.resultsSoFar()) {
        const AthleteSpec &athlete = event.athletes[d.athleteIndex];
        const DiveSpec &dive = athlete.dives[d.round - 1];
        totals[d.athleteIndex] += d.hundredths;
        out += QByteArray::number(d.diveIndex + 1) + ',' + QByteArray::number(d.round) + ','
               + QByteArray::number(d.athleteIndex + 1) + ',' + CsvField(athlete.name) + ',' + CsvField(athlete.team)
               + ',' + CsvField(dive.number) + ',' + FormatDegreeOfDifficulty(dive.ddTenths);
        for (int h : d.halfPoints)
            out += ',' + FormatScore(h);
        out += ',' + FormatPoints(d.hundredths) + ',' + FormatPoints(totals[d.athleteIndex]) + '\n';
    }
    return out;
}
