#include "scoring/ScoreEntry.h"

#include "link/ConsoleLink.h"
#include "screens/Unit_Main.h"

void FinalScoreClick(TMainForm &, int) {}

void FormKeyDown(TMainForm &form, int key)
{
    if (key == Qt::Key_F9) {
        form.link->GoHomeStopTimer();
        return;
    }
    if (key == Qt::Key_F5) {
        form.PanelDetails->setVisible(form.PanelDetails->isHidden());
        return;
    }
}
