#include "scoring/ScoreConfirmation.h"

#include "scoring/JudgePosition.h"
#include "scoring/ScoringPage.h"
#include "station/StationState.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"

#include <QLabel>

namespace {
const QColor kAwaiting(255, 0, 0);
const QColor kAcknowledged(0, 128, 0);

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
    const ScoringModel &m = model(page);
    page.ScoreEdit->setText(m.score());
    page.ScoreConfirmTitle->setText(m.title());
    page.ScoreConfirmScore0->setText(m.bigDigits());
    page.ScoreConfirmMain->setColor(m.acknowledged() ? kAcknowledged : kAwaiting);
    const bool raised = m.panelShown() && page.ScoreConfirmMain->isHidden();
    page.ScoreConfirmMain->setVisible(m.panelShown());
    // The panel covers the keypad area: arranged once it is shown, before the keypad goes.
    if (raised)
        page.host->ArrangeLayout();
    page.PanelKeypad->setVisible(m.keypadShown());
    page.ButtonSendScore->setEnabled(m.sendEnabled());
    page.ScoreConfirmAccept->setEnabled(m.confirmButtonsEnabled());
    page.ScoreConfirmDecline->setEnabled(m.confirmButtonsEnabled());
    page.ButtonHome3->setVisible(m.homeOnPanel());
}

bool ScoreAcknowledged(const ScoringPage &page)
{
    return page.state->Scoring.acknowledged();
}

void EnterScoringScreen(ScoringPage &page, bool afterLoss, bool scoreUnsent)
{
    page.host->ShowDisciplineTag(page.state->Protocols.DisciplineTags[0]);
    page.LabelScoreTitle->show();
    page.ScoreEdit->show();
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
