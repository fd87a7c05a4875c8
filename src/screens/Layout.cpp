#include "screens/Layout.h"

#include "platform/PowerStatus.h"
#include "platform/ScreenInfo.h"
#include "screens/HeaderBands.h"
#include "screens/Unit_Main.h"
#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>

namespace {

// The docking of PanelRight holds the arrangement: docked right is landscape.
bool isLandscapeArrangement(TMainForm &form)
{
    const DockLayout *ind = dockLayoutOf(form.PanelIND);
    return !ind || ind->dockOf(form.PanelRight) == DockLayout::Right;
}

void setLeftAndWidth(QWidget *w, int left, int width)
{
    w->setGeometry(left, w->y(), width, w->height());
}

// The off-screen surface that text is measured on (the picture of TestImage): one bit deep,
// 736 x 60, at 96 pixels per inch whatever the screen.
const QImage &measuringSurface()
{
    static const QImage surface = [] {
        QImage image(736, 60, QImage::Format_Mono);
        image.fill(0);
        image.setDotsPerMeterX(3780);  // 96 pixels per inch
        image.setDotsPerMeterY(3780);
        return image;
    }();
    return surface;
}

// The right-hand column's boxes as they are docked now.
layout::RightColumn rightColumnOf(TMainForm &form)
{
    const int f = layout::kRightColumnFrame;
    return {form.PanelRight->rect().adjusted(f, f, -f, -f), form.PanelRightScore->geometry(),
            form.PanelJudgeAssignment->geometry()};
}

// The scoreboard at a scale: its title strip, the cells of its four LED labels and their places.
void applyScoreboardLook(TMainForm &form, const layout::ScoreboardLook &look)
{
    DockLayout *dock = dockLayoutOf(form.PanelScoreboard);
    if (dock && dock->thicknessOf(form.LabelScoreboardTitle) == look.titleHeight
        && form.ScoreboardOrder->LED().Horzsize() == look.horzsize && form.ScoreboardOrder->LED().Vertsize() == look.vertsize
        && form.ScoreboardOrder->LED().Thickness() == look.thickness)
        return;
    QFont font = form.LabelScoreboardTitle->font();
    font.setPixelSize(look.titlePixels);
    form.LabelScoreboardTitle->setFont(font);
    if (dock)
        dock->setDock(form.LabelScoreboardTitle, DockLayout::Top, look.titleHeight);
    TLedTextLabel *const lines[] = {form.Scoreboard1, form.Scoreboard2, form.Scoreboard3};
    for (TLedTextLabel *l : {form.ScoreboardOrder, form.Scoreboard1, form.Scoreboard2, form.Scoreboard3}) {
        l->LED().setThickness(quint8(look.thickness));
        l->LED().setHorzsize(quint8(look.horzsize));
        l->LED().setVertsize(quint8(look.vertsize));
    }
    for (int i = 0; i < 3; ++i)
        lines[i]->move(0, look.lineTops[i]);
    form.PanelScoreboard->resize(look.size);
    if (dock)
        dock->arrange(form.PanelScoreboard->rect());
}

} // namespace

void ApplyOrientation(TMainForm &form)
{
    // Until the screen says otherwise the design arrangement, landscape, holds.
    bool landscape = true;
    if (form.platform.screen) {
        const QRect screen = form.platform.screen->screenGeometry();
        if (!screen.isEmpty())
            landscape = layout::isLandscapeScreen(screen.size());
    }

    DockLayout *top = dockLayoutOf(&form);
    if (top)
        top->arrange(form.rect());  // so that the battery's width below is the current one

    DockLayout *ind = dockLayoutOf(form.PanelIND);
    DockLayout *right = dockLayoutOf(form.PanelRight);
    if (landscape) {
        if (ind)
            ind->setDock(form.PanelRight, DockLayout::Right, layout::kRightColumnWidth);
        if (right) {
            right->setDock(form.PanelRightScore, DockLayout::Top, layout::kRightScoreHeight);
            right->setDock(form.PanelJudgeAssignment, DockLayout::Bottom, layout::kJudgeAssignmentHeight);
        }
    } else {
        // PanelRight sits directly above LabelINDMessage, which was docked first and so stays
        // the bottom-most strip.
        if (ind)
            ind->setDock(form.PanelRight, DockLayout::Bottom, layout::kRightColumnHeight);
        if (right) {
            right->setDock(form.PanelRightScore, DockLayout::Left, layout::kRightBoxWidth);
            right->setDock(form.PanelJudgeAssignment, DockLayout::Right, layout::kRightBoxWidth);
        }
    }
    form.bands().arrangeClub(landscape);
    if (top)
        top->arrange(form.rect());

    ArrangeLayout(form);
    ArrangeScoreDisplays(form);
}

void ArrangeLayout(TMainForm &form)
{
    // 1. The logo fills the area below the bands and keeps its picture centred by its own
    //    alignment; the docking has already given it that area.

    // 2. The confirmation buttons in the second and fourth fifths of the strip; tops and heights
    //    stay as they are.
    const layout::ConfirmationButtons buttons = layout::confirmationButtons(form.ScoreConfirmMain->width());
    setLeftAndWidth(form.ScoreConfirmDecline, buttons.declineLeft, buttons.width);
    setLeftAndWidth(form.ScoreConfirmAccept, buttons.acceptLeft, buttons.width);

    // 3. The keypad area and the send button, by the arrangement.
    const bool landscape = isLandscapeArrangement(form);
    form.PanelKeypad->setGeometry(
        layout::keypadArea(landscape, form.PanelIND->size(), form.PanelRight->size(), form.LabelINDMessage->height()));
    // The window is frameless, so its outer size is its client size. The button never covers
    // the score.
    const QPoint written = layout::sendButtonPlace(landscape, form.size(), form.ButtonSendScore->size(),
                                                   form.bands().diveBandHeight());
    form.ButtonSendScore->move(
        layout::sendButtonClearPlace(landscape, written, form.ButtonSendScore->size(), rightColumnOf(form)));

    // 4. The keys.
    ArrangeKeypad(form);

    // 5. The long header texts, each re-fitted to its label as it is now.
    form.bands().refitTexts();

    PlaceScoreboard(form);
}

void ArrangeKeypad(TMainForm &form)
{
    const layout::KeypadGrid grid = layout::keypadGrid(form.PanelKeypad->width(), form.PanelKeypad->height());
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 3; ++column) {
            const int value = layout::keypadValueAt(column, row);
            QWidget *key = value < 0 ? static_cast<QWidget *>(form.INDSCOREClear) : form.INDSCORE[value];
            key->setGeometry(grid.keyRect(column, row));
        }
    }
}

void ArrangeScoreDisplays(TMainForm &form)
{
    const int count = std::min<int>(int(form.ScoreDisplays.size()), layout::kScoreDisplayCount);
    if (count == 0)
        return;
    // JudgeCount keeps the value received; only the displays that exist are placed. A row wider
    // than the keypad area is condensed so that every display stays whole.
    const int cell = layout::scoreDisplayCellWidth(form.PanelKeypad->width(), form.state.JudgeCount);
    const int displayWidth = layout::scoreDisplayWidthFor(cell);
    const QList<int> lefts = layout::scoreDisplayLefts(form.PanelKeypad->width(), form.state.JudgeCount, displayWidth);
    const int bottom = form.PanelKeypad->height();
    for (int i = 0; i < count; ++i) {
        TLedTextLabel *display = form.ScoreDisplays[i];
        display->LED().setHorzsize(quint8(cell - 5 * display->LED().Thickness()));
        display->resize(displayWidth, display->height());
        // A display no "XX" has written has no score to show: it stays hidden.
        if (i < lefts.size() && i < form.state.ScoreDisplaysWritten) {
            display->move(lefts[i], bottom - display->height());
            display->show();
        } else {
            display->hide();
        }
    }
    PlaceScoreboard(form);
}

void PlaceScoreboard(TMainForm &form)
{
    QList<QRect> displays;
    for (TLedTextLabel *d : form.ScoreDisplays)
        if (!d->isHidden())
            displays << d->geometry();
    const layout::KeypadGrid keys = layout::keypadGrid(form.PanelKeypad->width(), form.PanelKeypad->height());
    const layout::ScoreboardPlace place = layout::scoreboardPlace(
        {rightColumnOf(form), form.ButtonSendScore->geometry(), form.PanelRight->pos() - form.PanelKeypad->pos(),
         form.PanelKeypad->size(), layout::keypadObstacles(keys, form.PanelKeypad->size(), displays)});

    Panel *board = form.PanelScoreboard;
    QWidget *parent = place.inKeypad ? static_cast<QWidget *>(form.PanelKeypad) : form.PanelRight;
    if (board->parentWidget() != parent) {
        // A new parent hides a widget: the scoreboard keeps whether "PR" has shown it.
        const bool shown = !board->isHidden();
        board->setParent(parent);
        board->setVisible(shown);
    }
    applyScoreboardLook(form, layout::scoreboardLook(place.percent));
    board->setGeometry(place.rect);
    board->raise();
}

QFont fittedTextFont(int points)
{
    return designFont(QStringLiteral("Verdana"), pointsToPixels(points), true);
}

int fittedTextWidth(const QString &text, int points)
{
    const QFontMetrics metrics(fittedTextFont(points), &measuringSurface());
    return metrics.horizontalAdvance(text);
}

int fittedPointSize(const QString &text, int width)
{
    // One blank more than is shown, so that the text never touches the label's right edge.
    const QString measured = text + QLatin1Char(' ');
    // The largest size from 22 points down at which the text fits. A text's width never
    // shrinks as its font grows, so the sizes that fit are all those below the first that
    // does: a halving search finds it with a handful of measurements instead of one per point.
    if (fittedTextWidth(measured, layout::kFittedTextPoints) <= width)
        return layout::kFittedTextPoints;
    int fits = layout::kFittedTextFloorPoints;  // the floor is shown even when nothing fits
    int tooWide = layout::kFittedTextPoints;
    while (tooWide - fits > 1) {
        const int mid = (fits + tooWide) / 2;
        if (fittedTextWidth(measured, mid) <= width)
            fits = mid;
        else
            tooWide = mid;
    }
    return fits;
}

void SetFittedText(QLabel *label, const QString &text)
{
    if (!label)
        return;
    const int pixels = pointsToPixels(fittedPointSize(text, label->width()));
    QFont font = label->font();
    if (font.pixelSize() != pixels) {
        font.setPixelSize(pixels);
        label->setFont(font);
    }
    // The texts come from the event server: never rendered as markup.
    if (label->textFormat() != Qt::PlainText)
        label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void TimerPowerMeterTimer(TMainForm &form)
{
    if (!form.platform.power)
        return;
    int percent = 0;
    if (!form.platform.power->query(percent))
        return;  // the next tick tries again
    if (const std::optional<QString> text = layout::batteryText(percent)) {
        form.state.BatteryText = *text;
        form.bands().showBattery(form.state.BatteryText);
    }
}
