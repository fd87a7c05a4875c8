#pragma once

#include "scoring/ScoringModel.h"

#include <QString>

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

// The scoring view as score entry, the confirmation panel and the judge position label see it
// (the main window's ScoringView).
class ScoringScreen
{
public:
    // Shows the model: the score text, the confirmation panel, the keypad and the buttons. The
    // panel covers the keypad area: once it has just been shown, before the keypad goes, `host`
    // arranges the layout.
    virtual void showScoring(const ScoringModel &model, ScoringHost &host) = 0;
    // The score's title and text shown, as the scoring page is entered.
    virtual void showScoreText() = 0;
    // The judge's position (JudgeNum).
    virtual void showJudgePosition(const QString &text) = 0;

protected:
    ~ScoringScreen() = default;
};

// What score entry, the confirmation panel and the judge position label work on: the state they
// read and change, the window around them, the link that sends, and the view that shows them.
// The main window fills it.
struct ScoringPage {
    StationState *state = nullptr;
    ScoringHost *host = nullptr;
    ScoreSender *sender = nullptr;
    ScoringScreen *screen = nullptr;
};
