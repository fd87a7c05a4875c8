#pragma once

#include "scoring/JudgePositionText.h"

struct ScoringPage;

// Sets JudgeNum from the state's discipline, JudgeCount and function.
void UpdateJudgePositionLabel(ScoringPage &page);
// The change handler of DisciplineSelection: the state takes the discipline chosen.
void DisciplineSelectionChange(ScoringPage &page, int index);
