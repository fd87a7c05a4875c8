#pragma once

#include <QString>

class QLabel;
class TMainForm;

// Fitting the scoring page to the screen.
void ApplyOrientation(TMainForm &form);
void ArrangeLayout(TMainForm &form);
void ArrangeScoreDisplays(TMainForm &form);
void SetFittedText(QLabel *label, const QString &text);
void TimerPowerMeterTimer(TMainForm &form);
