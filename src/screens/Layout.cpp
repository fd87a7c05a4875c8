#include "screens/Layout.h"

#include "platform/PowerStatus.h"
#include "platform/ScreenInfo.h"
#include "screens/HeaderBands.h"
#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"
#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>

namespace {

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

    form.scoringView().dockRightColumn(landscape);
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

    // 2. to 4. The confirmation buttons, the keypad area and the send button, the keys.
    form.scoringView().arrangePanels(form.size(), form.bands().diveBandHeight());

    // 5. The long header texts, each re-fitted to its label as it is now.
    form.bands().refitTexts();

    PlaceScoreboard(form);
}

void ArrangeKeypad(TMainForm &form)
{
    form.scoringView().arrangeKeypad();
}

void ArrangeScoreDisplays(TMainForm &form)
{
    form.scoringView().arrangeScoreDisplays(form.state.JudgeCount, form.state.ScoreDisplaysWritten);
}

void PlaceScoreboard(TMainForm &form)
{
    form.scoringView().placeScoreboard();
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
