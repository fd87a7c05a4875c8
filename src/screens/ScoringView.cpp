#include "screens/ScoringView.h"

#include "scoring/ScoringModel.h"
#include "screens/LayoutGeometry.h"
#include "screens/PageElements.h"
#include "widgets/DockLayout.h"
#include "widgets/LedTextLabel.h"
#include "widgets/Notebook.h"
#include "widgets/Panel.h"
#include "widgets/PictureButton.h"

#include <QLabel>

using design::kBlue;
using design::kGrey;
using design::kNavy;
using design::kRed;
using design::place;
using design::verdana;

namespace {
const QColor kAwaiting(255, 0, 0);
const QColor kAcknowledged(0, 128, 0);

void setLeftAndWidth(QWidget *w, int left, int width)
{
    w->setGeometry(left, w->y(), width, w->height());
}
} // namespace

ScoringView::ScoringView(Notebook *notebook)
{
    SingleScore = notebook->addPage(QStringLiteral("SingleScore"));
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
        ScoreDisplays << d;
    }

    buildConfirmationPanel();

    for (PictureButton *home : {ButtonHome2, ButtonHome3})
        connect(home, &QAbstractButton::clicked, this, &ScoringView::homeClicked);
    connect(ButtonSendScore, &QAbstractButton::clicked, this, &ScoringView::sendClicked);
    connect(ScoreConfirmAccept, &QAbstractButton::clicked, this, &ScoringView::acceptClicked);
    connect(ScoreConfirmDecline, &QAbstractButton::clicked, this, &ScoringView::declineClicked);
    for (PictureButton *key : keypadKeys())
        connect(key, &QAbstractButton::clicked, this, [this, key] { emit keyClicked(key->tag()); });
}

ScoringView::~ScoringView() = default;

void ScoringView::buildConfirmationPanel()
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


QList<PictureButton *> ScoringView::keypadKeys() const
{
    QList<PictureButton *> keys;
    for (PictureButton *k : INDSCORE)
        keys << k;
    keys << INDSCOREClear;
    return keys;
}

void ScoringView::adoptScoreDisplays()
{
    for (TLedTextLabel *d : ScoreDisplays)
        d->setParent(PanelKeypad);
}

void ScoringView::dockConfirmationPanel()
{
    dockLayoutOf(PanelIND)->addDocked(ScoreConfirmMain, DockLayout::Fill);
}

void ScoringView::hideScoreDisplays()
{
    for (TLedTextLabel *d : ScoreDisplays)
        d->hide();
}

void ScoringView::showScoring(const ScoringModel &m, ScoringHost &host)
{
    ScoreEdit->setText(m.score());
    ScoreConfirmTitle->setText(m.title());
    ScoreConfirmScore0->setText(m.bigDigits());
    ScoreConfirmMain->setColor(m.acknowledged() ? kAcknowledged : kAwaiting);
    const bool raised = m.panelShown() && ScoreConfirmMain->isHidden();
    ScoreConfirmMain->setVisible(m.panelShown());
    if (raised)
        host.ArrangeLayout();
    PanelKeypad->setVisible(m.keypadShown());
    ButtonSendScore->setEnabled(m.sendEnabled());
    ScoreConfirmAccept->setEnabled(m.confirmButtonsEnabled());
    ScoreConfirmDecline->setEnabled(m.confirmButtonsEnabled());
    ButtonHome3->setVisible(m.homeOnPanel());
}

void ScoringView::showScoreText()
{
    LabelScoreTitle->show();
    ScoreEdit->show();
}

void ScoringView::showJudgePosition(const QString &text)
{
    JudgeNum->setText(text);
}

void ScoringView::showPanelScores(const QStringList &scores, int count)
{
    for (int i = 0; i < count && i < ScoreDisplays.size() && i < scores.size(); ++i)
        ScoreDisplays[i]->setCaption(scores[i]);
}

void ScoringView::showScoreboard(const ScoreboardInfo &board)
{
    PanelScoreboard->show();
    ScoreboardOrder->setCaption(QStringLiteral("ORDER ") + board.order);
    Scoreboard1->setCaption(board.lines[0]);
    Scoreboard2->setCaption(board.lines[1]);
    Scoreboard3->setCaption(board.lines[2]);
}

bool ScoringView::landscapeArrangement() const
{
    const DockLayout *ind = dockLayoutOf(PanelIND);
    return !ind || ind->dockOf(PanelRight) == DockLayout::Right;
}

void ScoringView::dockRightColumn(bool landscape)
{
    DockLayout *ind = dockLayoutOf(PanelIND);
    DockLayout *right = dockLayoutOf(PanelRight);
    if (landscape) {
        if (ind)
            ind->setDock(PanelRight, DockLayout::Right, layout::kRightColumnWidth);
        if (right) {
            right->setDock(PanelRightScore, DockLayout::Top, layout::kRightScoreHeight);
            right->setDock(PanelJudgeAssignment, DockLayout::Bottom, layout::kJudgeAssignmentHeight);
        }
    } else {
        // PanelRight sits directly above LabelINDMessage, which was docked first and so stays
        // the bottom-most strip.
        if (ind)
            ind->setDock(PanelRight, DockLayout::Bottom, layout::kRightColumnHeight);
        if (right) {
            right->setDock(PanelRightScore, DockLayout::Left, layout::kRightBoxWidth);
            right->setDock(PanelJudgeAssignment, DockLayout::Right, layout::kRightBoxWidth);
        }
    }
}

layout::RightColumn ScoringView::rightColumn() const
{
    const int f = layout::kRightColumnFrame;
    return {PanelRight->rect().adjusted(f, f, -f, -f), PanelRightScore->geometry(), PanelJudgeAssignment->geometry()};
}

void ScoringView::arrangePanels(QSize window, int diveBandHeight)
{
    // The confirmation buttons in the second and fourth fifths of the strip; tops and heights
    // stay as they are.
    const layout::ConfirmationButtons buttons = layout::confirmationButtons(ScoreConfirmMain->width());
    setLeftAndWidth(ScoreConfirmDecline, buttons.declineLeft, buttons.width);
    setLeftAndWidth(ScoreConfirmAccept, buttons.acceptLeft, buttons.width);

    // The keypad area and the send button, by the arrangement.
    const bool landscape = landscapeArrangement();
    PanelKeypad->setGeometry(layout::keypadArea(landscape, PanelIND->size(), PanelRight->size(), LabelINDMessage->height()));
    // The window is frameless, so its outer size is its client size. The button never covers
    // the score.
    const QPoint written = layout::sendButtonPlace(landscape, window, ButtonSendScore->size(), diveBandHeight);
    ButtonSendScore->move(layout::sendButtonClearPlace(landscape, written, ButtonSendScore->size(), rightColumn()));

    arrangeKeypad();
}

void ScoringView::arrangeKeypad()
{
    const layout::KeypadGrid grid = layout::keypadGrid(PanelKeypad->width(), PanelKeypad->height());
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int value = layout::keypadValueAt(column, row);
            QWidget *key = value < 0 ? static_cast<QWidget *>(INDSCOREClear) : INDSCORE[value];
            key->setGeometry(grid.keyRect(column, row));
        }
    }
}

void ScoringView::arrangeScoreDisplays(int judgeCount, int written)
{
    const int count = std::min<int>(int(ScoreDisplays.size()), layout::kScoreDisplayCount);
    if (count == 0)
        return;
    // The judge count keeps the value received; only the displays that exist are placed. A row
    // wider than the keypad area is condensed so that every display stays whole.
    const int cell = layout::scoreDisplayCellWidth(PanelKeypad->width(), judgeCount);
    const int displayWidth = layout::scoreDisplayWidthFor(cell);
    const QList<int> lefts = layout::scoreDisplayLefts(PanelKeypad->width(), judgeCount, displayWidth);
    const int bottom = PanelKeypad->height();
    for (int i = 0; i < count; ++i) {
        TLedTextLabel *display = ScoreDisplays[i];
        display->LED().setHorzsize(quint8(cell - 5 * display->LED().Thickness()));
        display->resize(displayWidth, display->height());
        // A display no "XX" has written has no score to show: it stays hidden.
        if (i < lefts.size() && i < written) {
            display->move(lefts[i], bottom - display->height());
            display->show();
        } else {
            display->hide();
        }
    }
    placeScoreboard();
}

void ScoringView::placeScoreboard()
{
    QList<QRect> displays;
    for (TLedTextLabel *d : ScoreDisplays)
        if (!d->isHidden())
            displays << d->geometry();
    const layout::KeypadGrid keys = layout::keypadGrid(PanelKeypad->width(), PanelKeypad->height());
    const layout::ScoreboardPlace place = layout::scoreboardPlace(
        {rightColumn(), ButtonSendScore->geometry(), PanelRight->pos() - PanelKeypad->pos(), PanelKeypad->size(),
         layout::keypadObstacles(keys, PanelKeypad->size(), displays)});

    Panel *board = PanelScoreboard;
    QWidget *parent = place.inKeypad ? static_cast<QWidget *>(PanelKeypad) : PanelRight;
    if (board->parentWidget() != parent) {
        // A new parent hides a widget: the scoreboard keeps whether "PR" has shown it.
        const bool shown = !board->isHidden();
        board->setParent(parent);
        board->setVisible(shown);
    }
    applyScoreboardLook(layout::scoreboardLook(place.percent));
    board->setGeometry(place.rect);
    board->raise();
}

void ScoringView::applyScoreboardLook(const layout::ScoreboardLook &look)
{
    DockLayout *dock = dockLayoutOf(PanelScoreboard);
    if (dock && dock->thicknessOf(LabelScoreboardTitle) == look.titleHeight
        && ScoreboardOrder->LED().Horzsize() == look.horzsize && ScoreboardOrder->LED().Vertsize() == look.vertsize
        && ScoreboardOrder->LED().Thickness() == look.thickness)
        return;
    QFont font = LabelScoreboardTitle->font();
    font.setPixelSize(look.titlePixels);
    LabelScoreboardTitle->setFont(font);
    if (dock)
        dock->setDock(LabelScoreboardTitle, DockLayout::Top, look.titleHeight);
    TLedTextLabel *const lines[] = {Scoreboard1, Scoreboard2, Scoreboard3};
    for (TLedTextLabel *l : {ScoreboardOrder, Scoreboard1, Scoreboard2, Scoreboard3}) {
        l->LED().setThickness(quint8(look.thickness));
        l->LED().setHorzsize(quint8(look.horzsize));
        l->LED().setVertsize(quint8(look.vertsize));
    }
    for (int i = 0; i < 3; ++i)
        lines[i]->move(0, look.lineTops[i]);
    PanelScoreboard->resize(look.size);
    if (dock)
        dock->arrange(PanelScoreboard->rect());
}
