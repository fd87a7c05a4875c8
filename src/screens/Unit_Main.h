#pragma once

#include "link/ConsoleLink.h"
#include "link/InboundHandlers.h"
#include "platform/Platform.h"
#include "scoring/ScoringPage.h"
#include "station/StationState.h"
#include "widgets/DockLayout.h"
#include "widgets/LedTextLabel.h"
#include "widgets/Notebook.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusBar.h"

#include <QAbstractButton>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPointer>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class FocusMark;
class HeaderBands;
class OpeningPage;
class OperatorDetails;
class ScoringView;
class TInvalidElements;
class TObtainingIPAddress;

inline const QString kApplicationTitle = QStringLiteral("Marlo DV");

// The station's main window. It holds the pages that own their elements (the header bands, the
// opening page with the operator details, the scoring view with its confirmation panel), owns
// the station state and the console link, hands each subsystem the pages it works on, and wires
// their events to their handlers.
class TMainForm : public QWidget, public ScoringHost, public LinkHost, public InboundHost
{
    Q_OBJECT
public:
    explicit TMainForm(StationPlatform platform = StationPlatform::real(), QWidget *parent = nullptr);
    ~TMainForm() override;

    StationState state;
    StationPlatform platform;
    std::unique_ptr<ConsoleLink> link;

    // What the scoring actions work on.
    ScoringPage scoring;

    // Frame: the status bar, and the notebook of the pages (under the logo until start-up ends)
    StatusBar *StatusBar1;
    Notebook *_Notebook;

    // Timers
    QTimer *Timer1, *ReconnectTimer, *TimerPowerMeter;

    // The small windows
    TObtainingIPAddress *ObtainingIPAddress = nullptr;  // destroyed at the end of start-up
    TInvalidElements *InvalidElements;

    // Station operations
    void SelectPage(int page) override;  // shows a page of _Notebook (ArrangeLayout follows)
    int currentPage() const override;
    void ClientChoiceChange(int index);  // the function change: the state takes the judge chosen
    bool startedUp() const { return startedUp_; }
    // Gives the keyboard focus to the first element of the focus chain.
    void focusFirstElement() { focusNextChild(); }
    // The end of the deferred start-up: startupFinished is emitted.
    void finishStartup();
    // Maximised where the window system knows that state, and placed on the screen's work
    // area (the whole screen where nothing reserves a part of it).
    void fitToScreen();
    // The longest the start-up waits for the obtaining-address window to be painted.
    static constexpr int kObtainingWindowBoundMs = 1000;
    DockLayout *dockOf(QWidget *w) const;

    // Asks before closing while linked. The dialog is a seam so that tests can answer it.
    std::function<bool()> confirmClose;

    // The reconnect timer's handler: the automatic reconnect.
    void ReconnectTimerTimer();

    // The station's own message box for the link (its showMessage by default).
    void ShowStationBox(ConsoleLink::BoxKind kind, const QString &text);

    // What the subsystems ask of the window.
    void ArrangeLayout() override;
    void GoHomeStopTimer() override;
    void ShowLostConnection() override;
    void ArrangeScoreDisplays() override;
    void ShowDisciplineTag(const QString &tag) override;
    void ShowHideDetails() override;
    void ShowDiscipline(int index) override;
    OpeningView &openingView() override;
    OperatorView &operatorView() override;
    StatusBar &statusBar() override;
    QTimer &reconnectTimer() override;

    // The header bands over the pages.
    HeaderBands &bands() { return *bands_; }
    // The opening page, and on it the operator's details of the link.
    OpeningPage &opening() { return *opening_; }
    const OpeningPage &opening() const { return *opening_; }
    OperatorDetails &details();
    // The scoring page with its confirmation panel.
    ScoringView &scoringView() { return *scoringView_; }
    // The handling of the received messages.
    InboundDispatcher &inbound() { return *inbound_; }

signals:
    void startupFinished();

protected:
    void showEvent(QShowEvent *) override;
    void closeEvent(QCloseEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildFrame();
    void pressFocusedOpeningButton();
    void markFocus(QWidget *now);

    bool shown_ = false;
    bool startedUp_ = false;
    bool closing_ = false;
    bool keyboardMovesFocus_ = false;
    std::unique_ptr<HeaderBands> bands_;
    std::unique_ptr<OpeningPage> opening_;
    std::unique_ptr<ScoringView> scoringView_;
    std::unique_ptr<InboundDispatcher> inbound_;
    QPointer<FocusMark> focusMark_;
    QMetaObject::Connection focusWatch_;
    const QEvent *lastKey_ = nullptr;
    QPointer<QWidget> lastReceiver_;
};
