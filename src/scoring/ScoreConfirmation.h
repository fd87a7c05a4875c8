#pragma once

#include <QString>

struct ScoringPage;

// The confirmation panel and the three actions on it.
void EnterScoringScreen(ScoringPage &page);
void ButtonSendScoreClick(ScoringPage &page);
void ScoreConfirmAcceptClick(ScoringPage &page);
void ScoreConfirmDeclineClick(ScoringPage &page);
// Back to keying: the panel hidden (keeping its colour), the keypad shown, Send enabled.
void ReturnToKeypad(ScoringPage &page);
// Called by the inbound handlers.
void Acknowledge(ScoringPage &page);
void EndOfEventState(ScoringPage &page, const QString &eventName);
void NewAthlete(ScoringPage &page);
// Whether the panel shows the colour of an acknowledged score.
bool ScoreAcknowledged(const ScoringPage &page);
