#pragma once

#include "widgets/LedSegments.h"

#include <QColor>
#include <QImage>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QPainter;

// The segment settings of one LED text label: bar lengths, thickness and colours, with the
// sixteen outlines and the cell image (background plus every segment unlit) prepared from them.
// The outlines and the cell image are rebuilt on every change of a size or colour, and never
// by drawing a text.
class TLedSettings
{
public:
    TLedSettings();
    ~TLedSettings();
    TLedSettings(const TLedSettings &) = delete;
    TLedSettings &operator=(const TLedSettings &) = delete;

    // Copies the sizes, colours and DisabledDigits of `other` (not its background colour).
    void Assign(const TLedSettings &other);

    quint8 Horzsize() const { return horzsize_; }
    void setHorzsize(quint8 v);
    quint8 Vertsize() const { return vertsize_; }
    void setVertsize(quint8 v);
    quint8 Thickness() const { return thickness_; }
    void setThickness(quint8 v);
    QColor ActiveColor() const { return QColor::fromRgb(active_); }
    void setActiveColor(const QColor &c);
    QColor InActiveColor() const { return QColor::fromRgb(inactive_); }
    void setInActiveColor(const QColor &c);
    QColor BackgroundColor() const { return QColor::fromRgb(background_); }
    void setBackgroundColor(const QColor &c);
    bool DisabledDigits() const { return disabledDigits_; }
    void setDisabledDigits(bool on);

    int CellWidth() const { return led::cellWidth(horzsize_, thickness_); }
    int CellHeight() const { return led::cellHeight(vertsize_, thickness_); }

    void BuildSegmentOutlines();
    void BuildCellImage();
    const led::Outlines &Outlines() const { return outlines_; }
    const QImage &CellImage() const { return cellImage_; }
    // Segment i lit (filled and outlined in ActiveColor), trimmed to its pixels, transparent
    // elsewhere, and where it goes in the cell. Prepared with the cell image.
    const QImage &LitSegmentImage(int i) const { return litImages_[i]; }
    QPoint LitSegmentOffset(int i) const { return litOffsets_[i]; }

    static quint16 SegmentsForChar(uint code) { return led::segmentsForChar(code); }

    // Lays `text` out from the top-left corner of `rect`; when `draw` is true, paints the cells
    // on `canvas` (which may be null otherwise). Always leaves Rows() and Cols().
    void DrawCells(QPainter *canvas, const QRect &rect, const QString &text, bool enabled, bool draw);
    // Width and height of `text` with a frame `frame` wide on each side.
    QSize MeasureText(const QString &text, int frame);
    int Rows() const { return rows_; }
    int Cols() const { return cols_; }

    // Called after a size, colour or DisabledDigits change (the owning label's change handling).
    void setOnChange(std::function<void()> fn) { onChange_ = std::move(fn); }

    // How many times the outlines and the cell image have been built.
    int RebuildCount() const { return rebuildCount_; }

private:
    void rebuildAndNotify();
    void paintLitSegment(QPainter &p, const led::Outline &o, QPoint at) const;
    void NotifyChange();

    quint8 horzsize_ = 9;
    quint8 vertsize_ = 7;
    quint8 thickness_ = 2;
    QRgb active_ = qRgb(0, 255, 0);
    QRgb inactive_ = qRgb(0, 128, 0);
    QRgb background_ = qRgb(0, 0, 0);
    bool disabledDigits_ = true;

    led::Outlines outlines_{};
    QImage cellImage_;
    std::array<QImage, led::SegmentCount> litImages_;
    std::array<QPoint, led::SegmentCount> litOffsets_{};
    int rows_ = 1;
    int cols_ = 1;
    int rebuildCount_ = 0;
    std::function<void()> onChange_;
};

// Sets `field` to `value`; true when that changed it (the LED setters redraw only then).
template <typename T>
bool ledChange(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// A colour as the labels keep it: its RGB, fully opaque.
inline QRgb ledOpaque(const QColor &c)
{
    return c.rgb() | 0xff000000u;
}

// The 8 x 8 unlit pattern shared by every LED label: unlit colour where x + y is even, the
// background colour where it is odd. Repainted only when asked for another colour pair.
const QImage &LedUnlitPattern(QRgb background, QRgb unlit);
// How many times the shared pattern has been painted since the program started.
int LedUnlitPatternPaintCount();

enum TLedStyle { lsString, lsInteger };

// Shows a short single-byte text as a row of sixteen-segment LED cells, lit segments over dim
// ones on the background colour. It draws on its parent: no window of its own, no keyboard focus,
// and pointer events pass through to what lies beneath.
class TLedTextLabel : public QWidget
{
    Q_OBJECT
public:
    explicit TLedTextLabel(QWidget *parent = nullptr, const QString &name = QString());
    ~TLedTextLabel() override;

    QString Caption() const { return caption_; }
    void setCaption(const QString &caption);
    TLedStyle Style() const { return style_; }
    void setStyle(TLedStyle style);
    qint32 Value() const { return value_; }
    void setValue(qint32 value);
    // 1 to 255; anything else is refused and the old value stays.
    int Digits() const { return digits_; }
    void setDigits(int digits);
    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);
    QColor Color() const { return QColor::fromRgb(color_); }
    void setColor(const QColor &c);
    bool Transparent() const { return transparent_; }
    void setTransparent(bool on);
    // The label's own enabled flag (setEnabled(false) on the label), whatever its parent's.
    bool Enabled() const { return !testAttribute(Qt::WA_ForceDisabled); }
    // Width of the frame drawn inside the label's bounds on each side.
    int FrameWidth() const { return frameWidth_; }
    void setFrameWidth(int f);

    TLedSettings &LED() { return *led_; }
    const TLedSettings &LED() const { return *led_; }
    void setLED(const TLedSettings &other);

    QString IntegerText() const;
    // The text shown: IntegerText() in the integer style, else Caption().
    QString ShownText() const;
    // With AutoSize on: takes the measured size of the shown text (keeping the length that
    // docking to a side of the parent gives it).
    void FitToText();

    // Paints the whole label through `painter`, whose origin is the label's top-left corner.
    void PaintTo(QPainter &painter);
    // The off-screen picture of the last paint (the inner rectangle).
    const QImage &Picture() const { return picture_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void Changed();
    void drawFrame(QPainter &painter);

    QString caption_;
    TLedStyle style_ = lsString;
    qint32 value_ = 0;
    int digits_ = 2;
    bool autoSize_ = false;
    QRgb color_ = qRgb(0, 0, 0);
    bool transparent_ = false;
    int frameWidth_ = 0;
    bool quiet_ = false;  // ignore notifications from LED while set
    std::unique_ptr<TLedSettings> led_;
    QImage picture_;
};
