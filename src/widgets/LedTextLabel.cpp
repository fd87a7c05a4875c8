#include "widgets/LedTextLabel.h"

#include "widgets/DockLayout.h"

#include <QEvent>
#include <QPainter>
#include <QScopedValueRollback>

#include <algorithm>

// ---- TLedTextLabel -------------------------------------------------------------------------

TLedTextLabel::TLedTextLabel(QWidget *parent, const QString &name)
    : QWidget(parent), led_(std::make_unique<TLedSettings>())
{
    if (!name.isEmpty())
        setObjectName(name);
    // Draws on its parent: no native window, no focus, pointer events go to what lies beneath.
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setAttribute(Qt::WA_OpaquePaintEvent, true);
    setFocusPolicy(Qt::NoFocus);
    led_->setOnChange([this] { Changed(); });
}

TLedTextLabel::~TLedTextLabel()
{
    led_->setOnChange(nullptr);
}

void TLedTextLabel::Changed()
{
    if (quiet_)
        return;
    FitToText();
    update();
}

void TLedTextLabel::setCaption(const QString &caption)
{
    if (ledChange(caption_, caption))
        Changed();
}

void TLedTextLabel::setStyle(TLedStyle style)
{
    if (ledChange(style_, style))
        Changed();
}

void TLedTextLabel::setValue(qint32 value)
{
    value_ = value;
    if (style_ == lsInteger)
        update();
}

void TLedTextLabel::setDigits(int digits)
{
    if (digits < 1 || digits > 255 || digits == digits_)
        return;
    digits_ = digits;
    Changed();
}

void TLedTextLabel::setAutoSize(bool on)
{
    if (ledChange(autoSize_, on))
        Changed();
}

void TLedTextLabel::setColor(const QColor &c)
{
    const QRgb rgb = ledOpaque(c);
    if (rgb == color_)
        return;
    color_ = rgb;
    {
        QScopedValueRollback<bool> quiet(quiet_, true);
        led_->setBackgroundColor(c);
    }
    Changed();
}

void TLedTextLabel::setTransparent(bool on)
{
    if (!ledChange(transparent_, on))
        return;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    update();
}

void TLedTextLabel::setFrameWidth(int f)
{
    if (ledChange(frameWidth_, std::max(0, f)))
        Changed();
}

void TLedTextLabel::setLED(const TLedSettings &other)
{
    led_->Assign(other);
}

QString TLedTextLabel::IntegerText() const
{
    return led::integerText(value_, digits_);
}

QString TLedTextLabel::ShownText() const
{
    return style_ == lsInteger ? IntegerText() : caption_;
}

void TLedTextLabel::FitToText()
{
    if (!autoSize_)
        return;
    const QSize s = led_->MeasureText(ShownText(), frameWidth_);
    DockLayout *dock = dockLayoutOf(parentWidget());
    const DockLayout::Dock side = dock ? dock->dockOf(this) : DockLayout::None;
    switch (side) {
    case DockLayout::Top:
    case DockLayout::Bottom:
        // The docking gives the width; the label takes the height.
        if (dock->thicknessOf(this) != s.height())
            dock->setDock(this, side, s.height());
        resize(width(), s.height());
        break;
    case DockLayout::Left:
    case DockLayout::Right:
        if (dock->thicknessOf(this) != s.width())
            dock->setDock(this, side, s.width());
        resize(s.width(), height());
        break;
    case DockLayout::Fill:
        break;
    default:
        resize(s);
        break;
    }
}

void TLedTextLabel::drawFrame(QPainter &painter)
{
    const int f = frameWidth_;
    if (f <= 0)
        return;
    // A lowered bevel: shadow on the top and left edges, light on the bottom and right.
    const QColor shadow(128, 128, 128);
    const QColor light(255, 255, 255);
    const int w = width();
    const int h = height();
    painter.fillRect(0, 0, w, std::min(f, h), shadow);
    painter.fillRect(0, 0, std::min(f, w), h, shadow);
    for (int i = 0; i < f; ++i) {
        painter.fillRect(i + 1, h - 1 - i, w - i - 1, 1, light);
        painter.fillRect(w - 1 - i, i + 1, 1, h - i - 1, light);
    }
}

void TLedTextLabel::PaintTo(QPainter &painter)
{
    const QString text = ShownText();
    drawFrame(painter);
    const int f = frameWidth_;
    const QRect inner = rect().adjusted(f, f, -f, -f);
    if (inner.isEmpty())
        return;

    if (picture_.size() != inner.size() || picture_.format() != QImage::Format_ARGB32_Premultiplied)
        picture_ = QImage(inner.size(), QImage::Format_ARGB32_Premultiplied);
    picture_.fill(color_);
    {
        QScopedValueRollback<bool> quiet(quiet_, true);
        led_->setBackgroundColor(QColor::fromRgb(color_));
    }
    {
        QPainter canvas(&picture_);
        led_->DrawCells(&canvas, QRect(QPoint(0, 0), inner.size()), text, Enabled(), true);
    }

    if (transparent_) {
        // Background pixels are left out, so the parent shows through.
        for (int y = 0; y < picture_.height(); ++y) {
            auto *line = reinterpret_cast<QRgb *>(picture_.scanLine(y));
            for (int x = 0; x < picture_.width(); ++x)
                if (line[x] == color_)
                    line[x] = 0;
        }
        painter.drawImage(inner.topLeft(), picture_);
    } else {
        const QPainter::CompositionMode mode = painter.compositionMode();
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(inner.topLeft(), picture_);
        painter.setCompositionMode(mode);
    }
}

void TLedTextLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    PaintTo(painter);
}

void TLedTextLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}
