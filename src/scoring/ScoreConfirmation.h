#pragma once

#include <QString>

class TMainForm;

// The confirmation panel and the three actions on it.
void EnterScoringScreen(TMainForm &form);
void ButtonSendScoreClick(TMainForm &form);
void ScoreConfirmAcceptClick(TMainForm &form);
void ScoreConfirmDeclineClick(TMainForm &form);
// Called by the inbound handlers.
void Acknowledge(TMainForm &form);
void EndOfEventState(TMainForm &form, const QString &eventName);
void NewAthlete(TMainForm &form);
// Whether the panel shows the colour of an acknowledged score.
bool ScoreAcknowledged(const TMainForm &form);
