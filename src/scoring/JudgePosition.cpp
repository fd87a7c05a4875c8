#include "scoring/JudgePosition.h"

#include "scoring/ScoringPage.h"
#include "station/StationState.h"

void UpdateJudgePositionLabel(ScoringPage &page)
{
    const StationState &state = *page.state;
    const std::optional<QString> text =
        JudgePositionText(state.DisciplineIndex, state.JudgeCount, state.FunctionIndex + 1);
    if (text)
        page.screen->showJudgePosition(*text);
}

void DisciplineSelectionChange(ScoringPage &page, int index)
{
    page.state->DisciplineIndex = index;
    UpdateJudgePositionLabel(page);
}
