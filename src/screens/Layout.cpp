#include "screens/Layout.h"

#include "screens/Unit_Main.h"

#include <QLabel>

void ApplyOrientation(TMainForm &form)
{
    ArrangeLayout(form);
    ArrangeScoreDisplays(form);
}

void ArrangeLayout(TMainForm &) {}

void ArrangeScoreDisplays(TMainForm &) {}

void SetFittedText(QLabel *label, const QString &text)
{
    label->setText(text);
}

void TimerPowerMeterTimer(TMainForm &) {}
