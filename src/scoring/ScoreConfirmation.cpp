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

void sendScore(ScoringPage &page, const QString &score)
{
    if (page.sender)
        page.sender->SendScore(score);
}
} // namespace

bool ScoreAcknowledged(const ScoringPage &page)
{
    return page.ScoreConfirmMain->color() == kAcknowledged;
}

void ReturnToKeypad(ScoringPage &page)
{
    page.ScoreConfirmMain->hide();
    page.PanelKeypad->show();
    page.ButtonSendScore->setEnabled(true);
}

void EnterScoringScreen(ScoringPage &page)
{
    page.LabelDisc->setText(page.state->Protocols.DisciplineTags[0]);
    page.LabelScoreTitle->show();
    page.ScoreEdit->show();
    ReturnToKeypad(page);
    page.host->SelectPage(1);
    UpdateJudgePositionLabel(page);
}

void ButtonSendScoreClick(ScoringPage &page)
{
    page.ScoreConfirmScore0->setText(page.ScoreEdit->text());
    page.ScoreConfirmMain->show();
    page.host->ArrangeLayout();
    page.PanelKeypad->hide();
    page.ButtonSendScore->setEnabled(false);
    page.ScoreConfirmMain->setColor(kAwaiting);
}

void ScoreConfirmAcceptClick(ScoringPage &page)
{
    sendScore(page, page.ScoreEdit->text());
}

void ScoreConfirmDeclineClick(ScoringPage &page)
{
    ReturnToKeypad(page);
    if (ScoreAcknowledged(page)) {
        page.ScoreEdit->setText(QStringLiteral("0.0"));
        sendScore(page, QStringLiteral("0.0"));
    }
}

void Acknowledge(ScoringPage &page)
{
    page.ScoreConfirmTitle->setText(kReceivedTitle);
    page.ScoreConfirmMain->setColor(kAcknowledged);
}

void EndOfEventState(ScoringPage &page, const QString &eventName)
{
    const bool end = eventName == QLatin1String("END OF EVENT");
    page.ScoreConfirmDecline->setEnabled(!end);
    page.ScoreConfirmAccept->setEnabled(!end);
    page.ButtonSendScore->setEnabled(!end);
    page.ButtonHome3->setVisible(end);
    if (!end)
        ReturnToKeypad(page);
}

void NewAthlete(ScoringPage &page)
{
    page.ScoreConfirmTitle->setText(kScoreConfirmationTitle);
    page.state->ZeroPressCount = 0;
}
