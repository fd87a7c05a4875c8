#include "scoring/ScoreConfirmation.h"

#include "screens/Unit_Main.h"

void EnterScoringScreen(TMainForm &form)
{
    form.SelectPage(1);
}

void ButtonSendScoreClick(TMainForm &) {}
void ScoreConfirmAcceptClick(TMainForm &) {}
void ScoreConfirmDeclineClick(TMainForm &) {}
void Acknowledge(TMainForm &) {}
void EndOfEventState(TMainForm &, const QString &) {}
void NewAthlete(TMainForm &) {}
