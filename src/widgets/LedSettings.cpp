// The LED settings: the cell picture, the segment drawing and the measuring of a text.
#include "widgets/LedTextLabel.h"

#include <QPainter>

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
    if (ledChange(horzsize_, v))
        rebuildAndNotify();
}

void TLedSettings::setVertsize(quint8 v)
{
    if (ledChange(vertsize_, v))
        rebuildAndNotify();
}

void TLedSettings::setThickness(quint8 v)
{
    if (ledChange(thickness_, v))
        rebuildAndNotify();
}

void TLedSettings::setActiveColor(const QColor &c)
{
    if (ledChange(active_, ledOpaque(c)))
        rebuildAndNotify();
}

void TLedSettings::setInActiveColor(const QColor &c)
{
    if (ledChange(inactive_, ledOpaque(c)))
        rebuildAndNotify();
}

void TLedSettings::setBackgroundColor(const QColor &c)
{
    if (ledChange(background_, ledOpaque(c)))
        rebuildAndNotify();
}

void TLedSettings::setDisabledDigits(bool on)
{
    if (ledChange(disabledDigits_, on))
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
