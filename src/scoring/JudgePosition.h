#pragma once

#include "scoring/JudgePositionText.h"

struct ScoringPage;

// Sets JudgeNum from the discipline, JudgeCount and the selected function.
void UpdateJudgePositionLabel(ScoringPage &page);
// The change handler of DisciplineSelection.
void DisciplineSelectionChange(ScoringPage &page);
