#include "scoring/ScoreEntry.h"

#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreKeys.h"
#include "scoring/ScoringPage.h"
#include "station/StationState.h"
#include "widgets/Panel.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>

int virtualKeyOf(const QKeyEvent *e)
{
    const int key = e->key();
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return vk::Enter;
    case Qt::Key_Escape:
        return vk::Escape;
    case Qt::Key_F5:
        return vk::F5;
    case Qt::Key_F9:
        return vk::F9;
    case Qt::Key_X:
        return vk::X;
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        const int d = key - Qt::Key_0;
        return (e->modifiers() & Qt::KeypadModifier) ? vk::Numpad0 + d : vk::Digit0 + d;
    }
    // With Shift held the digit row gives its shifted symbol; the key is still the digit.
    // X11 key codes 10 to 19 are the digit row 1 ... 9, 0 whatever the keyboard layout.
    static const bool x11 = QGuiApplication::platformName() == QLatin1String("xcb");
    const quint32 scan = e->nativeScanCode();
    if (x11 && scan >= 10 && scan <= 19 && !(e->modifiers() & Qt::KeypadModifier))
        return vk::Digit0 + int((scan - 9) % 10);
    static const char shifted[] = ")!@#$%^&*(";
    for (int d = 0; d < 10; ++d)
        if (key == shifted[d])
            return vk::Digit0 + d;
    return 0;
}

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
        page.PanelDetails->setVisible(page.PanelDetails->isHidden());
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
