#pragma once

#include "platform/KeyMapping.h"
#include "scoring/ScoreKeys.h"

struct ScoringPage;

// Applies one score key to ScoreEdit and ZeroPressCount, returning the page to keying.
void ApplyScoreKey(ScoringPage &page, int key);

// The keypad's click handler: applies the key's tag.
void FinalScoreClick(ScoringPage &page, int tag);
// The main window's key handler, by virtual-key code (it sees every key first and never
// marks one handled).
void FormKeyDown(ScoringPage &page, int key);
