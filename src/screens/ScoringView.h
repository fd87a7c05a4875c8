#pragma once

#include "link/InboundHandlers.h"
#include "scoring/ScoringPage.h"
#include "screens/LayoutGeometry.h"

#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

class Notebook;
class Panel;
class PictureButton;
class QLabel;
class QWidget;
class TLedTextLabel;

// The scoring page (SingleScore), where the judge keys and sends a score: the keypad
// (PanelKeypad: INDSCORE0 ... INDSCORE10, INDSCOREClear, ButtonHome2), the panel-score displays
// (ScoreDisplay1 ... ScoreDisplay11), the right-hand column (PanelRight: the score in
// PanelRightScore, the judge's position in PanelJudgeAssignment, ButtonSendScore, the scoreboard
// PanelScoreboard), the hint (LabelINDMessage) and the confirmation panel (ScoreConfirmMain).
// It renders the scoring model and holds no scoring state of its own; the clicks come out as
// signals.
class ScoringView : public QObject, public ScoringScreen, public ScoresView
{
    Q_OBJECT
public:
    // Builds the page as the next page of `notebook`.
    explicit ScoringView(Notebook *notebook);
    ~ScoringView() override;

    // The panel-score displays, in order (index 0 is ScoreDisplay1).
    QList<TLedTextLabel *> scoreDisplays() const { return ScoreDisplays; }
    // The twelve keypad keys (INDSCORE0 ... INDSCORE10, INDSCOREClear).
    QList<PictureButton *> keypadKeys() const;

    // The panel-score displays move onto the keypad, along whose bottom edge they are placed.
    void adoptScoreDisplays();
    // The confirmation panel fills the page beside the right-hand column once the window shows.
    void dockConfirmationPanel();
    void hideScoreDisplays();

    // --- Fitting the page to the screen ---
    // The docking of PanelRight holds the arrangement: docked right is landscape.
    bool landscapeArrangement() const;
    // Docks the right-hand column right (landscape) or along the bottom (portrait).
    void dockRightColumn(bool landscape);
    // The confirmation buttons, the keypad area, the send button (in a window of `window`, clear
    // of a dive band `diveBandHeight` high) and the keys.
    void arrangePanels(QSize window, int diveBandHeight);
    // Sizes and centres the twelve keys in PanelKeypad.
    void arrangeKeypad();
    // Places the first `judgeCount` displays along the keypad's bottom edge and shows those of
    // them that have been written (`written`); hides the others.
    void arrangeScoreDisplays(int judgeCount, int written);
    // Places the scoreboard where it hides neither the send button, the score nor the judge's
    // position.
    void placeScoreboard();

    // ScoringScreen
    void showScoring(const ScoringModel &model, ScoringHost &host) override;
    void showScoreText() override;
    void showJudgePosition(const QString &text) override;

    // ScoresView
    void showPanelScores(const QStringList &scores, int count) override;
    void showScoreboard(const ScoreboardInfo &board) override;

signals:
    void homeClicked();     // ButtonHome2 or ButtonHome3
    void sendClicked();     // ButtonSendScore
    void acceptClicked();   // ScoreConfirmAccept
    void declineClicked();  // ScoreConfirmDecline
    void keyClicked(int tag);  // a keypad key, by its tag (-1 Clear)

private:
    void buildConfirmationPanel();
    // The right-hand column's boxes as they are docked now.
    layout::RightColumn rightColumn() const;
    // The scoreboard at a scale: its title strip, the cells of its four LED labels and their places.
    void applyScoreboardLook(const layout::ScoreboardLook &look);

    QWidget *SingleScore;
    Panel *PanelIND;
    QLabel *LabelINDMessage;
    Panel *PanelRight, *PanelRightScore, *PanelJudgeAssignment, *PanelScoreboard;
    QLabel *LabelScoreTitle, *ScoreEdit, *LabelJudge, *JudgeNum, *LabelScoreboardTitle;
    PictureButton *ButtonSendScore;
    TLedTextLabel *ScoreboardOrder, *Scoreboard1, *Scoreboard2, *Scoreboard3;
    Panel *PanelKeypad;
    PictureButton *INDSCORE[11];  // INDSCORE0 ... INDSCORE10
    PictureButton *INDSCOREClear, *ButtonHome2;
    QList<TLedTextLabel *> ScoreDisplays;  // ScoreDisplay1 ... ScoreDisplay11
    Panel *ScoreConfirmMain, *ScoreConfirmButtons;
    QLabel *ScoreConfirmTitle, *ScoreConfirmScore0;
    PictureButton *ScoreConfirmDecline, *ScoreConfirmAccept, *ButtonHome3;
};
