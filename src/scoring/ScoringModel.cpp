#include "scoring/ScoringModel.h"

#include "scoring/ScoreKeys.h"

ScoringModel::Stage ScoringModel::stage() const
{
    if (!panelShown_)
        return Stage::Keying;
    return acknowledged_ ? Stage::Acknowledged : Stage::Awaiting;
}

void ScoringModel::returnToKeypad()
{
    panelShown_ = false;
    sendEnabled_ = true;
}

void ScoringModel::applyKey(int key)
{
    title_ = kScoreConfirmationTitle;
    returnToKeypad();
    const ScoreKeyResult r = ApplyScoreKeyRules(score_, zeroPressCount_, key);
    score_ = r.text;
    zeroPressCount_ = r.zeroPressCount;
}

void ScoringModel::send()
{
    bigDigits_ = score_;
    panelShown_ = true;
    sendEnabled_ = false;
    acknowledged_ = false;
    // A red panel never reads "Received - Thank You": that belongs to an earlier showing.
    title_ = kScoreConfirmationTitle;
    ++showing_;
}

bool ScoringModel::cancel(QString *toSend)
{
    returnToKeypad();
    if (!acknowledged_)
        return false;
    score_ = QStringLiteral("0.0");
    if (toSend)
        *toSend = score_;
    return true;
}

void ScoringModel::scoreWritten(const QString &score)
{
    if (unanswered_.size() >= kMaxUnanswered)
        unanswered_.removeFirst();
    unanswered_.append({showing_, score});
}

void ScoringModel::acknowledge()
{
    // Each "TX" answers the oldest "SD" still unanswered; with none, it answers nothing we know.
    if (unanswered_.isEmpty())
        return;
    const Sent answered = unanswered_.takeFirst();
    if (!panelShown_ || answered.showing != showing_ || answered.score != bigDigits_)
        return;
    title_ = kReceivedTitle;
    acknowledged_ = true;
}

void ScoringModel::eventInformation(bool end)
{
    endOfEvent_ = end;
    if (end)
        sendEnabled_ = false;
    else
        returnToKeypad();
}

void ScoringModel::newAthlete()
{
    title_ = kScoreConfirmationTitle;
    zeroPressCount_ = 0;
}

void ScoringModel::finalScore(const QString &score)
{
    if (!panelShown_) {
        score_ = score;
        return;
    }
    if (sameScore(score, score_))
        return;
    // The panel must never offer a score other than the one to be sent: the judge sees the
    // server's score on the keypad and confirms it again.
    score_ = score;
    title_ = kScoreConfirmationTitle;
    panelShown_ = false;
    sendEnabled_ = !endOfEvent_;
}

void ScoringModel::linkChanged()
{
    unanswered_.clear();
}

void ScoringModel::reconnected(bool afterLoss, bool scoreUnsent)
{
    const bool awaiting = stage() == Stage::Awaiting;
    enterScoringScreen();
    if (afterLoss && (awaiting || scoreUnsent))
        send();
}

bool ScoringModel::sameScore(const QString &a, const QString &b)
{
    if (a == b)
        return true;
    bool okA = false, okB = false;
    const double x = a.toDouble(&okA);
    const double y = b.toDouble(&okB);
    return okA && okB && x == y;
}
