#include "scoring/JudgePosition.h"

#include "scoring/ScoringPage.h"
#include "station/StationState.h"

#include <QLabel>

void UpdateJudgePositionLabel(ScoringPage &page)
{
    const StationState &state = *page.state;
    const std::optional<QString> text =
        JudgePositionText(state.DisciplineIndex, state.JudgeCount, state.FunctionIndex + 1);
    if (text)
        page.JudgeNum->setText(*text);
}

void DisciplineSelectionChange(ScoringPage &page, int index)
{
    page.state->DisciplineIndex = index;
    UpdateJudgePositionLabel(page);
}
