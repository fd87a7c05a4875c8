#include "scoring/ScoreConfirmation.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "scoring/JudgePosition.h"
#include "screens/Layout.h"
#include "screens/Unit_Main.h"

namespace {
const QColor kAwaiting(255, 0, 0);
const QColor kAcknowledged(0, 128, 0);

void backToKeypad(TMainForm &form)
{
    form.ScoreConfirmMain->hide();
    form.PanelKeypad->show();
    form.ButtonSendScore->setEnabled(true);
}

void sendScore(TMainForm &form, const QString &score)
{
    form.link->SendConsoleMessage("SD", toBytes(score) + ctl::DC1);
}
} // namespace

bool ScoreAcknowledged(const TMainForm &form)
{
    return form.ScoreConfirmMain->color() == kAcknowledged;
}

void EnterScoringScreen(TMainForm &form)
{
    form.LabelDisc->setText(form.state.Protocols.DisciplineTags[0]);
    form.LabelScoreTitle->show();
    form.ScoreEdit->show();
    backToKeypad(form);
    form.SelectPage(1);
    UpdateJudgePositionLabel(form);
}

void ButtonSendScoreClick(TMainForm &form)
{
    form.ScoreConfirmScore0->setText(form.ScoreEdit->text());
    form.ScoreConfirmMain->show();
    ArrangeLayout(form);
    form.PanelKeypad->hide();
    form.ButtonSendScore->setEnabled(false);
    form.ScoreConfirmMain->setColor(kAwaiting);
}

void ScoreConfirmAcceptClick(TMainForm &form)
{
    sendScore(form, form.ScoreEdit->text());
}

void ScoreConfirmDeclineClick(TMainForm &form)
{
    backToKeypad(form);
    if (ScoreAcknowledged(form)) {
        form.ScoreEdit->setText(QStringLiteral("0.0"));
        sendScore(form, QStringLiteral("0.0"));
    }
}

void Acknowledge(TMainForm &form)
{
    form.ScoreConfirmTitle->setText(QStringLiteral("Received - Thank You"));
    form.ScoreConfirmMain->setColor(kAcknowledged);
}

void EndOfEventState(TMainForm &form, const QString &eventName)
{
    const bool end = eventName == QLatin1String("END OF EVENT");
    form.ScoreConfirmDecline->setEnabled(!end);
    form.ScoreConfirmAccept->setEnabled(!end);
    form.ButtonSendScore->setEnabled(!end);
    form.ButtonHome3->setVisible(end);
    if (!end)
        backToKeypad(form);
}

void NewAthlete(TMainForm &form)
{
    form.ScoreConfirmTitle->setText(QStringLiteral("Score Confirmation"));
    form.state.ZeroPressCount = 0;
}
