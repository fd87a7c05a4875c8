#include "scoring/ScoreEntry.h"

#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreKeys.h"
#include "scoring/ScoringPage.h"
#include "station/StationState.h"

void ApplyScoreKey(ScoringPage &page, int key)
{
    page.state->Scoring.applyKey(key);
    RenderScoring(page);
}

void FinalScoreClick(ScoringPage &page, int tag)
{
    ApplyScoreKey(page, tag);
}

void FormKeyDown(ScoringPage &page, int key)
{
    if (key == vk::F9) {
        page.host->GoHomeStopTimer();
        return;
    }
    if (key == vk::F5) {
        page.host->ShowHideDetails();
        return;
    }
    if (page.host->currentPage() != 1)
        return;
    auto confirming = [&page] { return page.state->Scoring.panelShown(); };
    // One pass; each step reads the panel's visibility afresh.
    if (key == vk::Enter) {
        if (confirming())
            ScoreConfirmAcceptClick(page);
        else
            ButtonSendScoreClick(page);
    }
    if (!confirming()) {
        if (key == vk::Escape)
            ApplyScoreKey(page, -1);
        else if (key >= vk::Digit0 && key <= vk::Digit0 + 9)
            ApplyScoreKey(page, key - vk::Digit0);
        else if (key == vk::X)
            ApplyScoreKey(page, 10);
        else if (key >= vk::Numpad0 && key <= vk::Numpad0 + 9)
            ApplyScoreKey(page, key - vk::Numpad0);
    }
    if (key == vk::Escape && confirming())
        ScoreConfirmDeclineClick(page);
}
