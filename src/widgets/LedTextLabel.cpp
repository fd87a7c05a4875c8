#include "widgets/LedTextLabel.h"

#include "widgets/DockLayout.h"

#include <QEvent>
#include <QPainter>
#include <QScopedValueRollback>

#include <algorithm>
#include <climits>

// ---- The shared unlit pattern ------------------------------------------------------------

namespace {

struct UnlitPattern {
    QImage image;
    QRgb background = 0;
    QRgb unlit = 0;
    int paints = 0;
};

UnlitPattern &unlitPattern()
{
    static UnlitPattern pattern;
    return pattern;
}

QRgb opaque(const QColor &c)
{
    return c.rgb() | 0xff000000u;
}

} // namespace

const QImage &LedUnlitPattern(QRgb background, QRgb unlit)
{
    UnlitPattern &p = unlitPattern();
    if (p.image.isNull() || p.background != background || p.unlit != unlit) {
        if (p.image.isNull())
            p.image = QImage(8, 8, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 8; ++y) {
            auto *line = reinterpret_cast<QRgb *>(p.image.scanLine(y));
            for (int x = 0; x < 8; ++x)
                line[x] = (x + y) % 2 == 0 ? unlit : background;
        }
        p.background = background;
        p.unlit = unlit;
        ++p.paints;
    }
    return p.image;
}

int LedUnlitPatternPaintCount()
{
    return unlitPattern().paints;
}

// ---- TLedSettings --------------------------------------------------------------------------

TLedSettings::TLedSettings() = default;

TLedSettings::~TLedSettings()
{
    onChange_ = nullptr;
}

void TLedSettings::Assign(const TLedSettings &other)
{
    if (&other == this)
        return;
    const bool geometryOrColour = horzsize_ != other.horzsize_ || vertsize_ != other.vertsize_ ||
                                  thickness_ != other.thickness_ || active_ != other.active_ ||
                                  inactive_ != other.inactive_;
    const bool changed = geometryOrColour || disabledDigits_ != other.disabledDigits_;
    horzsize_ = other.horzsize_;
    vertsize_ = other.vertsize_;
    thickness_ = other.thickness_;
    active_ = other.active_;
    inactive_ = other.inactive_;
    disabledDigits_ = other.disabledDigits_;
    if (geometryOrColour) {
        BuildSegmentOutlines();
        BuildCellImage();
    }
    if (changed)
        NotifyChange();
}

void TLedSettings::rebuildAndNotify()
{
    BuildSegmentOutlines();
    BuildCellImage();
    NotifyChange();
}

void TLedSettings::NotifyChange()
{
    if (onChange_)
        onChange_();
}

void TLedSettings::setHorzsize(quint8 v)
{
    if (v == horzsize_)
        return;
    horzsize_ = v;
    rebuildAndNotify();
}

void TLedSettings::setVertsize(quint8 v)
{
    if (v == vertsize_)
        return;
    vertsize_ = v;
    rebuildAndNotify();
}

void TLedSettings::setThickness(quint8 v)
{
    if (v == thickness_)
        return;
    thickness_ = v;
    rebuildAndNotify();
}

void TLedSettings::setActiveColor(const QColor &c)
{
    const QRgb rgb = opaque(c);
    if (rgb == active_)
        return;
    active_ = rgb;
    rebuildAndNotify();
}

void TLedSettings::setInActiveColor(const QColor &c)
{
    const QRgb rgb = opaque(c);
    if (rgb == inactive_)
        return;
    inactive_ = rgb;
    rebuildAndNotify();
}

void TLedSettings::setBackgroundColor(const QColor &c)
{
    const QRgb rgb = opaque(c);
    if (rgb == background_)
        return;
    background_ = rgb;
    rebuildAndNotify();
}

void TLedSettings::setDisabledDigits(bool on)
{
    if (on == disabledDigits_)
        return;
    disabledDigits_ = on;
    NotifyChange();
}

void TLedSettings::BuildSegmentOutlines()
{
    outlines_ = led::segmentOutlines(horzsize_, vertsize_, thickness_);
}

namespace {

// The smallest rectangle holding every pixel of `img` that is not fully transparent.
QRect opaqueBounds(const QImage &img)
{
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(img.constScanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            if (qAlpha(line[x]) == 0)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

} // namespace

void TLedSettings::BuildCellImage()
{
    ++rebuildCount_;
    const int w = CellWidth();
    const int h = CellHeight();
    litImages_ = {};
    litOffsets_ = {};
    if (w <= 0 || h <= 0) {
        cellImage_ = QImage();
        return;
    }
    cellImage_ = QImage(w, h, QImage::Format_ARGB32_Premultiplied);
    cellImage_.fill(background_);
    {
        QPainter p(&cellImage_);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(Qt::NoPen);
        p.setBrush(QBrush(LedUnlitPattern(background_, inactive_)));
        p.setBrushOrigin(0, 0);
        for (const led::Outline &o : outlines_) {
            if (o.present)
                p.drawPolygon(o.points.data(), int(o.points.size()));
        }
    }

    // Each segment lit (filled and outlined), kept as a small transparent image: lighting a
    // segment on screen is then one image copy instead of a polygon to rasterise and stroke.
    // The outline's pixels may reach one column and row past the vertices: keep a margin.
    QImage scratch(w + 2, h + 2, QImage::Format_ARGB32_Premultiplied);
    for (int i = 0; i < led::SegmentCount; ++i) {
        if (!outlines_[i].present)
            continue;
        scratch.fill(Qt::transparent);
        {
            QPainter p(&scratch);
            p.translate(1, 1);
            paintLitSegment(p, outlines_[i], QPoint(0, 0));
        }
        const QRect used = opaqueBounds(scratch);
        if (used.isEmpty())
            continue;
        litImages_[i] = scratch.copy(used);
        litOffsets_[i] = used.topLeft() - QPoint(1, 1);
    }
}

void TLedSettings::paintLitSegment(QPainter &p, const led::Outline &o, QPoint at) const
{
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor::fromRgb(active_), 1, Qt::SolidLine));
    p.setBrush(QColor::fromRgb(active_));
    QPoint shifted[6];
    for (int k = 0; k < 6; ++k)
        shifted[k] = o.points[k] + at;
    p.drawPolygon(shifted, 6);
}

void TLedSettings::DrawCells(QPainter *canvas, const QRect &rect, const QString &text, bool enabled, bool draw)
{
    draw = draw && canvas && canvas->isActive();
    const int w = CellWidth();
    const int h = CellHeight();
    if (draw && cellImage_.isNull() && w > 0 && h > 0) {
        BuildSegmentOutlines();
        BuildCellImage();
    }
    const bool small = led::isSmallCell(horzsize_, vertsize_);
    const bool lighting = !disabledDigits_ || enabled;
    const int lastSegment = small ? led::OuterSegmentCount - 1 : led::SegmentCount - 1;
    const int left = rect.left();
    const int top = rect.top();

    // Cells wholly past the canvas's right or bottom edge are not drawn at all.
    int limitX = INT_MAX;
    int limitY = INT_MAX;
    if (draw) {
        canvas->save();
        canvas->setCompositionMode(QPainter::CompositionMode_SourceOver);
        const QPaintDevice *device = canvas->device();
        if (canvas->transform().isIdentity() && device && device->width() > 0 && device->height() > 0) {
            limitX = device->width();
            limitY = device->height();
        }
    }

    const led::Extent ext = led::forEachCell(text, [&](int row, int column, uint code) {
        if (!draw)
            return;
        const int x = left + column * w;
        const int y = top + row * h;
        if (x >= limitX || y >= limitY)
            return;
        canvas->drawImage(x, y, cellImage_);
        if (!lighting)
            return;
        const quint16 mask = led::segmentsForChar(code);
        if (!mask)
            return;
        for (int i = 0; i <= lastSegment; ++i) {
            if ((mask & (1u << i)) && !litImages_[i].isNull())
                canvas->drawImage(x + litOffsets_[i].x(), y + litOffsets_[i].y(), litImages_[i]);
        }
    });
    rows_ = ext.rows;
    cols_ = ext.cols;
    if (draw)
        canvas->restore();
}

QSize TLedSettings::MeasureText(const QString &text, int frame)
{
    DrawCells(nullptr, QRect(), text, true, false);
    return led::measuredSize({rows_, cols_}, CellWidth(), CellHeight(), frame);
}

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
    if (caption == caption_)
        return;
    caption_ = caption;
    Changed();
}

void TLedTextLabel::setStyle(TLedStyle style)
{
    if (style == style_)
        return;
    style_ = style;
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
    if (on == autoSize_)
        return;
    autoSize_ = on;
    Changed();
}

void TLedTextLabel::setColor(const QColor &c)
{
    const QRgb rgb = opaque(c);
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
    if (on == transparent_)
        return;
    transparent_ = on;
    setAttribute(Qt::WA_OpaquePaintEvent, !on);
    update();
}

void TLedTextLabel::setFrameWidth(int f)
{
    f = std::max(0, f);
    if (f == frameWidth_)
        return;
    frameWidth_ = f;
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
