#include "scoring/JudgePosition.h"

#include "scoring/ScoringPage.h"
#include "station/StationState.h"
#include "widgets/RadioGroup.h"

#include <QLabel>

void UpdateJudgePositionLabel(ScoringPage &page)
{
    const std::optional<QString> text = JudgePositionText(page.DisciplineSelection->itemIndex(), page.state->JudgeCount,
                                                          page.ClientChoice->itemIndex() + 1);
    if (text)
        page.JudgeNum->setText(*text);
}

void DisciplineSelectionChange(ScoringPage &page)
{
    UpdateJudgePositionLabel(page);
}
