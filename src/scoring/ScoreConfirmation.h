#pragma once

#include <QString>

struct ScoringPage;

// The confirmation panel and the three actions on it. Entering the scoring screen: after a
// lost link, a score that waited for its acknowledgement or could not be sent is put up red
// again.
void EnterScoringScreen(ScoringPage &page, bool afterLoss = false, bool scoreUnsent = false);
void ButtonSendScoreClick(ScoringPage &page);
void ScoreConfirmAcceptClick(ScoringPage &page);
void ScoreConfirmDeclineClick(ScoringPage &page);
// Called by the inbound handlers.
void Acknowledge(ScoringPage &page);
void EndOfEventState(ScoringPage &page, const QString &eventName);
void NewAthlete(ScoringPage &page);
// An "FS" for this station's judge.
void FinalScore(ScoringPage &page, const QString &score);
// Whether the panel shows the colour of an acknowledged score.
bool ScoreAcknowledged(const ScoringPage &page);
// Shows the scoring model on the page's elements; every action ends with it.
void RenderScoring(ScoringPage &page);
// Places a score text as it stands (tests and tools), without any other change.
void SetScoreText(ScoringPage &page, const QString &score);
