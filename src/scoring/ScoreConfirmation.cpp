#include "scoring/ScoreConfirmation.h"

#include "scoring/JudgePosition.h"
#include "scoring/ScoringPage.h"
#include "station/StationState.h"

namespace {
ScoringModel &model(ScoringPage &page)
{
    return page.state->Scoring;
}

void sendScore(ScoringPage &page, const QString &score)
{
    if (page.sender && page.sender->SendScore(score))
        model(page).scoreWritten(score);
}
} // namespace

void RenderScoring(ScoringPage &page)
{
    page.screen->showScoring(model(page), *page.host);
}

bool ScoreAcknowledged(const ScoringPage &page)
{
    return page.state->Scoring.acknowledged();
}

void EnterScoringScreen(ScoringPage &page, bool afterLoss, bool scoreUnsent)
{
    page.host->ShowDisciplineTag(page.state->Protocols.DisciplineTags[0]);
    page.screen->showScoreText();
    model(page).reconnected(afterLoss, scoreUnsent);
    RenderScoring(page);
    page.host->SelectPage(1);
    UpdateJudgePositionLabel(page);
}

void ButtonSendScoreClick(ScoringPage &page)
{
    model(page).send();
    RenderScoring(page);
}

void ScoreConfirmAcceptClick(ScoringPage &page)
{
    sendScore(page, model(page).accept());
}

void ScoreConfirmDeclineClick(ScoringPage &page)
{
    QString zero;
    const bool sendZero = model(page).cancel(&zero);
    RenderScoring(page);
    if (sendZero)
        sendScore(page, zero);
}

void Acknowledge(ScoringPage &page)
{
    model(page).acknowledge();
    RenderScoring(page);
}

void EndOfEventState(ScoringPage &page, const QString &eventName)
{
    model(page).eventInformation(eventName == QLatin1String("END OF EVENT"));
    RenderScoring(page);
}

void NewAthlete(ScoringPage &page)
{
    model(page).newAthlete();
    RenderScoring(page);
}

void FinalScore(ScoringPage &page, const QString &score)
{
    model(page).finalScore(score);
    RenderScoring(page);
}

void SetScoreText(ScoringPage &page, const QString &score)
{
    model(page).setScore(score);
    RenderScoring(page);
}
