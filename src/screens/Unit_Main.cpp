#include "screens/Unit_Main.h"

#include "link/ConsoleLink.h"
#include "link/InboundHandlers.h"
#include "platform/KeyMapping.h"
#include "platform/ScreenInfo.h"
#include "platform/WindowSystem.h"
#include "scoring/JudgePosition.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/FocusMark.h"
#include "screens/HeaderBands.h"
#include "screens/Layout.h"
#include "screens/OpeningPage.h"
#include "screens/OperatorDetails.h"
#include "screens/ScoringView.h"
#include "screens/StationBox.h"
#include "screens/Unit_GetIP.h"
#include "screens/Unit_Invalid.h"
#include "station/StationClose.h"
#include "station/Startup.h"
#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"
#include "widgets/Notebook.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"
#include "widgets/StatusBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPixmap>
#include <QWindow>

TMainForm::TMainForm(StationPlatform platform_, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), platform(std::move(platform_))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Marlo Diving"));
    installFontSubstitutions();
    resize(1218, 805);

    buildFrame();
    opening_ = std::make_unique<OpeningPage>(_Notebook);
    scoringView_ = std::make_unique<ScoringView>(_Notebook);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    ReconnectTimer = new QTimer(this);
    ReconnectTimer->setObjectName(QStringLiteral("ReconnectTimer"));
    ReconnectTimer->setInterval(2000);
    ReconnectTimer->setSingleShot(true);
    TimerPowerMeter = new QTimer(this);
    TimerPowerMeter->setObjectName(QStringLiteral("TimerPowerMeter"));
    TimerPowerMeter->setInterval(10000);

    link = std::make_unique<ConsoleLink>(state, platform, *this, scoring, this);
    scoring = {&state, this, link.get(), scoringView_.get()};
    inbound_ = std::make_unique<InboundDispatcher>(state, *link, *this, scoring, *bands_, opening_->details(),
                                                   *scoringView_);
    link->setInbound(inbound_.get());
    link->showMessage = [this](ConsoleLink::BoxKind kind, const QString &text) { ShowStationBox(kind, text); };

    // Events to handlers.
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(*this); });
    connect(ReconnectTimer, &QTimer::timeout, this, [this] { ReconnectTimerTimer(); });
    connect(TimerPowerMeter, &QTimer::timeout, this, [this] { TimerPowerMeterTimer(*this); });
    OpeningPage *opening = opening_.get();
    connect(opening, &OpeningPage::functionChosen, this, [this](int index) { ClientChoiceChange(index); });
    connect(opening, &OpeningPage::disciplineChosen, this, [this](int index) { DisciplineSelectionChange(scoring, index); });
    connect(opening, &OpeningPage::connectClicked, this, [this] { link->ConnectConsolesClick(); });
    connect(opening, &OpeningPage::disconnectClicked, this, [this] { link->DisconnectAction(); });
    connect(opening, &OpeningPage::refreshClicked, this, [this] { link->FillServerAddressList(); });
    connect(opening, &OpeningPage::closeClicked, this, [this] { close(); });
    ScoringView *scoringView = scoringView_.get();
    connect(scoringView, &ScoringView::homeClicked, this, [this] { link->GoHome(); });
    connect(StatusBar1, &StatusBar::doubleClicked, this, [this] { link->StatusBarDblClick(); });
    connect(opening_->details().sendButton(), &QAbstractButton::clicked, this,
            [this] { ButtonSendMessageClick(details(), *link); });
    connect(scoringView, &ScoringView::sendClicked, this, [this] { ButtonSendScoreClick(scoring); });
    connect(scoringView, &ScoringView::acceptClicked, this, [this] { ScoreConfirmAcceptClick(scoring); });
    connect(scoringView, &ScoringView::declineClicked, this, [this] { ScoreConfirmDeclineClick(scoring); });
    connect(scoringView, &ScoringView::keyClicked, this, [this](int tag) { FinalScoreClick(scoring, tag); });
    connect(_Notebook, &Notebook::pageChanged, this, [this] { ::ArrangeLayout(*this); });
    if (platform.screen) {
        connect(platform.screen.get(), &ScreenInfo::geometryChanged, this, [this] {
            fitToScreen();
            ApplyOrientation(*this);
        });
    }

    // The small windows, created after the main window.
    ObtainingIPAddress = new TObtainingIPAddress(this);
    InvalidElements = new TInvalidElements(this);

    // Key preview: the window sees every key before the element that has the focus.
    qApp->installEventFilter(this);

    confirmClose = [this] {
        return TStationBox::ask(TStationBox::Question, QStringLiteral("Press OK to confirm you want to exit this program."),
                                this);
    };

    focusWatch_ = connect(qApp, &QApplication::focusChanged, this, [this](QWidget *, QWidget *now) { markFocus(now); });

    StationCreationSteps(*this);
}

TMainForm::~TMainForm()
{
    // Destroying the elements moves the focus: the window must not hear of it half destroyed.
    disconnect(focusWatch_);
    qApp->removeEventFilter(this);
    if (focusMark_ && !focusMark_->parent())
        delete focusMark_.data();
    // The link goes first: its reader threads must not outlive the elements.
    link.reset();
}

void TMainForm::buildFrame()
{
    auto *dock = new DockLayout(this);
    auto *PanelMain = new Panel(this, QStringLiteral("PanelMain"));
    PanelMain->setColor(Qt::white);
    PanelMain->setFrame(Panel::MainFrame5);
    // The panels in the order of StatusPanel.
    StatusBar1 = new StatusBar(this, QStringLiteral("StatusBar1"),
                               {{100, Qt::AlignHCenter, QStringLiteral("   Version 1.0")},
                                {300, Qt::AlignLeft, QStringLiteral("Marlo DV - scoring by the Marlo team")},
                                {130, Qt::AlignLeft, QString()},
                                {120, Qt::AlignHCenter, QStringLiteral("IP Address")},
                                {300, Qt::AlignLeft, QStringLiteral("  PC Name")},
                                {100, Qt::AlignLeft, QStringLiteral("Retry Count:")}});
    dock->addDocked(StatusBar1, DockLayout::Bottom, 19);
    dock->addDocked(PanelMain, DockLayout::Fill);

    auto *main = new DockLayout(PanelMain, 5);

    // Stacking order, bottom up: logo, band 1, page area, bands 2 and 3.
    auto *VRXLogo = new QLabel(PanelMain);
    VRXLogo->setObjectName(QStringLiteral("VRXLogo"));
    VRXLogo->setAlignment(Qt::AlignCenter);
    VRXLogo->setPixmap(QPixmap(QStringLiteral(":/assets/logo.jpg")));
    bands_ = std::make_unique<HeaderBands>(PanelMain);
    _Notebook = new Notebook(PanelMain, QStringLiteral("_Notebook"));
    _Notebook->hide();
    bands_->stackBetween(_Notebook);

    bands_->dockIn(*main);
    main->addDocked(VRXLogo, DockLayout::Fill);
    main->addDocked(_Notebook, DockLayout::Fill);
}

void TMainForm::ShowStationBox(ConsoleLink::BoxKind kind, const QString &text)
{
    TStationBox::ask(kind == ConsoleLink::BoxKind::Error ? TStationBox::Error : TStationBox::Plain, text, this);
}

void TMainForm::ReconnectTimerTimer()
{
    link->AutomaticReconnect();
}

void TMainForm::ArrangeLayout()
{
    ::ArrangeLayout(*this);
}

void TMainForm::GoHomeStopTimer()
{
    link->GoHomeStopTimer();
}

void TMainForm::ShowLostConnection()
{
    if (InvalidElements)
        InvalidElements->showOver(this);
}

void TMainForm::ArrangeScoreDisplays()
{
    ::ArrangeScoreDisplays(*this);
}

OperatorDetails &TMainForm::details()
{
    return opening_->details();
}

OpeningView &TMainForm::openingView()
{
    return *opening_;
}

OperatorView &TMainForm::operatorView()
{
    return opening_->details();
}

StatusBar &TMainForm::statusBar()
{
    return *StatusBar1;
}

QTimer &TMainForm::reconnectTimer()
{
    return *ReconnectTimer;
}

void TMainForm::ShowHideDetails()
{
    opening_->details().toggle();
}

void TMainForm::ShowDiscipline(int index)
{
    opening_->showDiscipline(index);
}

void TMainForm::ShowDisciplineTag(const QString &tag)
{
    bands_->showDisciplineTag(tag);
}

DockLayout *TMainForm::dockOf(QWidget *w) const
{
    return dockLayoutOf(w);
}

void TMainForm::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    if (shown_)
        return;
    shown_ = true;
    StationShowSteps(*this);
}

void TMainForm::fitToScreen()
{
    if (!platform.screen)
        return;
    // Maximised where a window system knows the state: it then gives the window its work area,
    // the screen less its panels. The window also asks for that area itself, which is the whole
    // screen where nothing reserves a part of it (X11 with no window manager).
    const WindowSystem windowSystem = WindowSystem::current();
    const bool managed = windowSystem.maximises();
    if (managed && !(windowState() & Qt::WindowMaximized))
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    // A Wayland compositor sizes a maximised window itself and tells it so.
    if (managed && windowSystem.isWayland() && isVisible())
        return;
    const QRect area = platform.screen->availableGeometry();
    if (area.isValid() && area != geometry())
        setGeometry(area);
}

void TMainForm::SelectPage(int page)
{
    _Notebook->setPageIndex(page);
}

void TMainForm::finishStartup()
{
    startedUp_ = true;
    emit startupFinished();
}

int TMainForm::currentPage() const
{
    return _Notebook->pageIndex();
}

void TMainForm::ClientChoiceChange(int index)
{
    // The judge cannot take a choice back: nothing chosen keeps the function as it was.
    if (index < 0)
        return;
    state.setFunction(index);
}

void TMainForm::closeEvent(QCloseEvent *e)
{
    if (closing_) {
        e->accept();
        return;
    }
    if (link->Connected() && !(confirmClose && confirmClose())) {
        e->ignore();
        return;
    }
    closing_ = true;
    CloseStation(*this);
    e->accept();
}

void TMainForm::resizeEvent(QResizeEvent *e)
{
    QWidget::resizeEvent(e);
    if (DockLayout *d = dockOf(this))
        d->arrange(rect());
    ::ArrangeLayout(*this);
}

bool TMainForm::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type == QEvent::MouseButtonPress || type == QEvent::TouchBegin) && watched->isWidgetType()
        && static_cast<QWidget *>(watched)->window() == this) {
        // A touch or a click: the focus mark goes, until the keyboard moves the focus again.
        keyboardMovesFocus_ = false;
        markFocus(nullptr);
        return false;
    }
    if (type == QEvent::KeyRelease || type == QEvent::ShortcutOverride) {
        lastKey_ = nullptr;
        return false;
    }
    if (type != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *w = static_cast<QWidget *>(watched);
    if (w->window() != this)
        return false;
    keyboardMovesFocus_ = true;
    // A key the focused element ignores is offered to its parents in turn; the window
    // handles it once, when it first arrives.
    if (event == lastKey_ && lastReceiver_ && (lastReceiver_ == w || w->isAncestorOf(lastReceiver_)))
        return false;
    lastKey_ = event;
    lastReceiver_ = w;
    auto *ke = static_cast<QKeyEvent *>(event);
    static const NativeKeys native = WindowSystem::current().nativeKeys();
    FormKeyDown(scoring, virtualKeyOf(native, {ke->key(), ke->modifiers().testFlag(Qt::KeypadModifier),
                                               ke->nativeScanCode(), ke->nativeVirtualKey()}));
    if ((ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter) && !ke->isAutoRepeat())
        pressFocusedOpeningButton();
    return false;  // keys are never marked as handled
}

void TMainForm::pressFocusedOpeningButton()
{
    // On the opening page Enter presses the focused button, once the key has been through the
    // window's own handling and the focused element.
    if (!_Notebook->isVisible() || currentPage() != 0)
        return;
    auto *b = qobject_cast<QAbstractButton *>(QApplication::focusWidget());
    if (!b || !opening_->holds(b) || !b->isVisible())
        return;
    QPointer<QAbstractButton> button(b);
    QTimer::singleShot(0, this, [this, button] {
        if (button && button->hasFocus() && currentPage() == 0)
            button->click();
    });
}

void TMainForm::markFocus(QWidget *now)
{
    auto *button = qobject_cast<QAbstractButton *>(now);
    const bool show = button && keyboardMovesFocus_ && button->window() == this;
    if (!show && !focusMark_)
        return;
    if (!focusMark_)
        focusMark_ = new FocusMark;
    focusMark_->markWidget(show ? button : nullptr);
}
