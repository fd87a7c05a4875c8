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
#include "screens/PageElements.h"
#include "screens/StationBox.h"
#include "screens/Unit_GetIP.h"
#include "screens/Unit_Invalid.h"
#include "station/StationClose.h"
#include "station/Startup.h"
#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"
#include "widgets/LedTextLabel.h"
#include "widgets/Notebook.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"
#include "widgets/RadioGroup.h"
#include "widgets/StatusBar.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPixmap>
#include <QPushButton>
#include <QWindow>

using design::kBlue;
using design::kGrey;
using design::kNavy;
using design::kRed;
using design::kSilver;
using design::place;
using design::verdana;

TMainForm::TMainForm(StationPlatform platform_, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), platform(std::move(platform_))
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Marlo Diving"));
    installFontSubstitutions();
    resize(1218, 805);

    buildFrame();
    opening_ = std::make_unique<OpeningPage>(_Notebook);
    buildScoringPage();

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

    fillSubsystemViews();
    link = std::make_unique<ConsoleLink>(state, platform, LinkScreens {opening_.get(), StatusBar1, ReconnectTimer},
                                         scoring, inbound, *this, this);
    inbound.link = link.get();
    scoring.sender = link.get();
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
    connect(ButtonHome2, &QAbstractButton::clicked, this, [this] { link->GoHome(); });
    connect(ButtonHome3, &QAbstractButton::clicked, this, [this] { link->GoHome(); });
    connect(StatusBar1, &StatusBar::doubleClicked, this, [this] { link->StatusBarDblClick(); });
    connect(opening_->details().sendButton(), &QAbstractButton::clicked, this, [this] { ButtonSendMessageClick(inbound); });
    connect(ButtonSendScore, &QAbstractButton::clicked, this, [this] { ButtonSendScoreClick(scoring); });
    connect(ScoreConfirmAccept, &QAbstractButton::clicked, this, [this] { ScoreConfirmAcceptClick(scoring); });
    connect(ScoreConfirmDecline, &QAbstractButton::clicked, this, [this] { ScoreConfirmDeclineClick(scoring); });
    for (PictureButton *key : keypadKeys())
        connect(key, &QAbstractButton::clicked, this, [this, key] { FinalScoreClick(scoring, key->tag()); });
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
    PanelMain = new Panel(this, QStringLiteral("PanelMain"));
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
    VRXLogo = new QLabel(PanelMain);
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

void TMainForm::buildScoringPage()
{
    SingleScore = _Notebook->addPage(QStringLiteral("SingleScore"));
    auto *page = new DockLayout(SingleScore);
    PanelIND = new Panel(SingleScore, QStringLiteral("PanelIND"));
    PanelIND->setGradient(kBlue, kGrey, 235);
    page->addDocked(PanelIND, DockLayout::Fill);

    auto *ind = new DockLayout(PanelIND);
    LabelINDMessage = makeLabel(PanelIND, QStringLiteral("LabelINDMessage"),
                                QStringLiteral("No need to enter a decimal. Press Enter or Send when done. Hint: 66 --> 6.5"),
                                verdana(11, false), Qt::white, kGrey, Qt::AlignCenter);
    ind->addDocked(LabelINDMessage, DockLayout::Bottom, 17);

    // The keypad lies under the confirmation panel.
    PanelKeypad = new Panel(PanelIND, QStringLiteral("PanelKeypad"));
    place(PanelKeypad, 0, 0, 997, 633);

    PanelRight = new Panel(PanelIND, QStringLiteral("PanelRight"));
    PanelRight->setFrame(Panel::Edge2);
    ind->addDocked(PanelRight, DockLayout::Right, 211);
    auto *right = new DockLayout(PanelRight, 2);

    PanelRightScore = new Panel(PanelRight, QStringLiteral("PanelRightScore"));
    right->addDocked(PanelRightScore, DockLayout::Top, 127);
    auto *rs = new DockLayout(PanelRightScore);
    LabelScoreTitle = makeLabel(PanelRightScore, QStringLiteral("LabelScoreTitle"), QStringLiteral("Score"), verdana(21),
                                Qt::white, QColor(), Qt::AlignCenter);
    ScoreEdit = makeLabel(PanelRightScore, QStringLiteral("ScoreEdit"), QStringLiteral("0.0"), verdana(80), Qt::black,
                          Qt::white, Qt::AlignCenter);
    rs->addDocked(LabelScoreTitle, DockLayout::Top, 27);
    rs->addDocked(ScoreEdit, DockLayout::Fill);

    PanelJudgeAssignment = new Panel(PanelRight, QStringLiteral("PanelJudgeAssignment"));
    right->addDocked(PanelJudgeAssignment, DockLayout::Bottom, 130);
    auto *ja = new DockLayout(PanelJudgeAssignment);
    LabelJudge = makeLabel(PanelJudgeAssignment, QStringLiteral("LabelJudge"), QStringLiteral("Judge"), verdana(21), kBlue,
                           Qt::white, Qt::AlignCenter);
    JudgeNum = makeLabel(PanelJudgeAssignment, QStringLiteral("JudgeNum"), QStringLiteral("E.1"), verdana(64), Qt::white,
                         kBlue, Qt::AlignCenter);
    ja->addDocked(LabelJudge, DockLayout::Top, 27);
    ja->addDocked(JudgeNum, DockLayout::Fill);

    ButtonSendScore = new PictureButton(PanelRight, QStringLiteral("ButtonSendScore"), QStringLiteral("  Send\r\n(Enter)"),
                                        PictureButton::Arrow);
    ButtonSendScore->setFont(verdana(16));
    place(ButtonSendScore, 8, 216, 195, 114);

    PanelScoreboard = new Panel(PanelRight, QStringLiteral("PanelScoreboard"));
    PanelScoreboard->setColor(Qt::black);
    place(PanelScoreboard, 24, 256, 172, 153);
    auto *sb = new DockLayout(PanelScoreboard);
    LabelScoreboardTitle = makeLabel(PanelScoreboard, QStringLiteral("LabelScoreboardTitle"), QStringLiteral("Scoreboard"),
                                     verdana(16), kNavy, Qt::white, Qt::AlignCenter);
    sb->addDocked(LabelScoreboardTitle, DockLayout::Top, 20);
    ScoreboardOrder = new TLedTextLabel(PanelScoreboard, QStringLiteral("ScoreboardOrder"));
    ScoreboardOrder->setAutoSize(true);
    ScoreboardOrder->setCaption(QStringLiteral("ORDER "));
    sb->addDocked(ScoreboardOrder, DockLayout::Top, 28);
    TLedTextLabel **lines[] = {&Scoreboard1, &Scoreboard2, &Scoreboard3};
    for (int i = 0; i < 3; ++i) {
        auto *l = new TLedTextLabel(PanelScoreboard, QStringLiteral("Scoreboard%1").arg(i + 1));
        place(l, 0, 52 + 32 * i, 115, 28);
        l->setAutoSize(true);
        l->setCaption(QStringLiteral("ORDER "));
        *lines[i] = l;
    }
    PanelScoreboard->hide();

    // Keys: 0 ... 10 and Clear, placed by the layout.
    for (int v = 0; v <= 10; ++v) {
        auto *k = new PictureButton(PanelKeypad, QStringLiteral("INDSCORE%1").arg(v), QString::number(v));
        k->setFont(verdana(43));
        k->setTag(v);
        INDSCORE[v] = k;
    }
    INDSCOREClear = new PictureButton(PanelKeypad, QStringLiteral("INDSCOREClear"), QStringLiteral(" Clear\r\n (ESC)"),
                                      PictureButton::Cross);
    INDSCOREClear->setFont(verdana(16));
    INDSCOREClear->setTag(-1);
    ButtonHome2 = new PictureButton(PanelKeypad, QStringLiteral("ButtonHome2"), QStringLiteral("Home"), PictureButton::House);
    ButtonHome2->setFont(verdana(13));
    ButtonHome2->setToolTip(QStringLiteral("Shortcut - F9"));
    place(ButtonHome2, 16, 12, 97, 32);

    for (int i = 0; i < 11; ++i) {
        auto *d = new TLedTextLabel(SingleScore, QStringLiteral("ScoreDisplay%1").arg(i + 1));
        d->resize(80, 28);
        d->setDigits(1);
        d->setCaption(QStringLiteral("10.0"));
        ScoreDisplay[i] = d;
    }

    buildConfirmationPanel();
}

void TMainForm::buildConfirmationPanel()
{
    ScoreConfirmMain = new Panel(PanelIND, QStringLiteral("ScoreConfirmMain"));
    ScoreConfirmMain->setColor(kRed);
    ScoreConfirmMain->setFrame(Panel::LoweredBevel3x2);
    place(ScoreConfirmMain, 0, 0, 997, 633);
    auto *cd = new DockLayout(ScoreConfirmMain, 6);
    ScoreConfirmTitle = makeLabel(ScoreConfirmMain, QStringLiteral("ScoreConfirmTitle"), kScoreConfirmationTitle,
                                  verdana(37), Qt::white, QColor(), Qt::AlignCenter);
    ScoreConfirmButtons = new Panel(ScoreConfirmMain, QStringLiteral("ScoreConfirmButtons"));
    ScoreConfirmScore0 = makeLabel(ScoreConfirmMain, QStringLiteral("ScoreConfirmScore0"), QStringLiteral("0.0"),
                                   verdana(251), Qt::white, QColor(), Qt::AlignCenter);
    cd->addDocked(ScoreConfirmTitle, DockLayout::Top, 49);
    cd->addDocked(ScoreConfirmButtons, DockLayout::Bottom, 87);
    cd->addDocked(ScoreConfirmScore0, DockLayout::Fill);

    ScoreConfirmDecline = new PictureButton(ScoreConfirmButtons, QStringLiteral("ScoreConfirmDecline"),
                                            QStringLiteral("Cancel / Change\r\n          (Esc)"), PictureButton::Cross);
    ScoreConfirmAccept = new PictureButton(ScoreConfirmButtons, QStringLiteral("ScoreConfirmAccept"),
                                           QStringLiteral("Accept / Send\r\n      (Enter)"), PictureButton::Check);
    for (PictureButton *b : {ScoreConfirmDecline, ScoreConfirmAccept})
        b->setFont(verdana(16));
    place(ScoreConfirmDecline, 199, 6, 199, 73);
    place(ScoreConfirmAccept, 597, 6, 199, 73);
    ButtonHome3 = new PictureButton(ScoreConfirmButtons, QStringLiteral("ButtonHome3"), QStringLiteral("Home"),
                                    PictureButton::House);
    ButtonHome3->setFont(verdana(13));
    ButtonHome3->setToolTip(QStringLiteral("Shortcut - F9"));
    place(ButtonHome3, 16, 12, 97, 61);
    ButtonHome3->hide();
    ScoreConfirmMain->hide();
}

void TMainForm::fillSubsystemViews()
{
    scoring.state = &state;
    scoring.host = this;
    scoring.LabelScoreTitle = LabelScoreTitle;
    scoring.ScoreEdit = ScoreEdit;
    scoring.JudgeNum = JudgeNum;
    scoring.PanelKeypad = PanelKeypad;
    scoring.ButtonSendScore = ButtonSendScore;
    scoring.ScoreConfirmMain = ScoreConfirmMain;
    scoring.ScoreConfirmTitle = ScoreConfirmTitle;
    scoring.ScoreConfirmScore0 = ScoreConfirmScore0;
    scoring.ScoreConfirmDecline = ScoreConfirmDecline;
    scoring.ScoreConfirmAccept = ScoreConfirmAccept;
    scoring.ButtonHome3 = ButtonHome3;

    inbound.state = &state;
    inbound.host = this;
    inbound.scoring = &scoring;
    inbound.bands = bands_.get();
    inbound.details = &opening_->details();
    inbound.scores = {PanelScoreboard, ScoreboardOrder, Scoreboard1, Scoreboard2, Scoreboard3, &ScoreDisplays};
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

QList<PictureButton *> TMainForm::keypadKeys() const
{
    QList<PictureButton *> keys;
    for (PictureButton *k : INDSCORE)
        keys << k;
    keys << INDSCOREClear;
    return keys;
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
