#pragma once

#include "scoring/ScoringModel.h"

#include <QString>

class Panel;
class PictureButton;
class QLabel;
class QWidget;
struct StationState;

// How scoring sends a score text (the "SD" message): true when it went out on the link.
class ScoreSender
{
public:
    virtual bool SendScore(const QString &score) = 0;

protected:
    ~ScoreSender() = default;
};

// What scoring asks of the window around it.
class ScoringHost
{
public:
    virtual void SelectPage(int page) = 0;  // 0 the opening page, 1 the scoring page
    virtual int currentPage() const = 0;
    virtual void ArrangeLayout() = 0;
    // The go-home of F9: to the opening page, the reconnect timer stopped, the link let go.
    virtual void GoHomeStopTimer() = 0;
    // The discipline tag in the header band, as the scoring page is entered.
    virtual void ShowDisciplineTag(const QString &tag) = 0;
    // F5: the operator details shown or hidden.
    virtual void ShowHideDetails() = 0;

protected:
    ~ScoringHost() = default;
};

// The elements of the scoring page that score entry, the confirmation panel and the judge
// position label work on, and the state they read. The main window fills it.
struct ScoringPage {
    StationState *state = nullptr;
    ScoringHost *host = nullptr;
    ScoreSender *sender = nullptr;

    QLabel *LabelScoreTitle = nullptr;
    QLabel *ScoreEdit = nullptr;
    QLabel *JudgeNum = nullptr;
    Panel *PanelKeypad = nullptr;
    PictureButton *ButtonSendScore = nullptr;
    Panel *ScoreConfirmMain = nullptr;
    QLabel *ScoreConfirmTitle = nullptr;
    QLabel *ScoreConfirmScore0 = nullptr;
    PictureButton *ScoreConfirmDecline = nullptr;
    PictureButton *ScoreConfirmAccept = nullptr;
    PictureButton *ButtonHome3 = nullptr;
};
