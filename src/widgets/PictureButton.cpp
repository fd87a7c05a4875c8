#include "widgets/PictureButton.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPointingDevice>

namespace {

// A mouse event that a finger or a pen made: synthesized from touch by Qt, or by the system
// (Windows marks its pen and touch presses so), or from a touch screen or a pen device.
bool fromTouch(const QMouseEvent *e)
{
    if (e->source() == Qt::MouseEventSynthesizedBySystem || e->source() == Qt::MouseEventSynthesizedByQt)
        return true;
    const QPointingDevice *device = e->pointingDevice();
    if (!device)
        return false;
    const QInputDevice::DeviceType type = device->type();
    return type == QInputDevice::DeviceType::TouchScreen || type == QInputDevice::DeviceType::Stylus
           || type == QInputDevice::DeviceType::Airbrush;
}

// Watches the whole application's pointer input for where the last of it came from. The Enter
// that a touch causes reaches a button before the press does, so the button cannot tell by its
// own events alone.
class PointerSource : public QObject
{
public:
    using QObject::QObject;
    bool touch = false;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            touch = fromTouch(static_cast<QMouseEvent *>(e));
            break;
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletMove:
        case QEvent::TabletRelease:
            touch = true;
            break;
        default:
            break;
        }
        return false;
    }
};

PointerSource *pointerSource()
{
    static QPointer<PointerSource> source;
    if (!source && qApp) {
        source = new PointerSource(qApp);
        qApp->installEventFilter(source);
    }
    return source;
}

} // namespace

PictureButton::PictureButton(QWidget *parent, const QString &name, const QString &caption, Picture picture)
    : QAbstractButton(parent), picture_(picture)
{
    setObjectName(name);
    setText(caption);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_Hover, true);
    pointerSource();
}

bool PictureButton::lastInputWasTouch()
{
    const PointerSource *source = pointerSource();
    return source && source->touch;
}

void PictureButton::setHover(bool on)
{
    if (hover_ == on)
        return;
    hover_ = on;
    update();
}

bool PictureButton::event(QEvent *e)
{
    // A mouse moved over the button after a touch lights it again.
    if (e->type() == QEvent::HoverMove && underMouse())
        setHover(!lastInputWasTouch());
    return QAbstractButton::event(e);
}

void PictureButton::mousePressEvent(QMouseEvent *e)
{
    if (fromTouch(e))
        setHover(false);
    QAbstractButton::mousePressEvent(e);
}

void PictureButton::mouseReleaseEvent(QMouseEvent *e)
{
    if (fromTouch(e))
        setHover(false);
    QAbstractButton::mouseReleaseEvent(e);
}

void PictureButton::setPicture(Picture p)
{
    picture_ = p;
    update();
}

QStringList PictureButton::captionLines() const
{
    QString t = text();
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t.split(QLatin1Char('\n'));
}

void PictureButton::enterEvent(QEnterEvent *e)
{
    setHover(!lastInputWasTouch());
    QAbstractButton::enterEvent(e);
}

void PictureButton::leaveEvent(QEvent *e)
{
    setHover(false);
    QAbstractButton::leaveEvent(e);
}

void PictureButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    const bool lit = hover_ && isEnabled();
    p.fillRect(r, lit ? QColor(0, 255, 0) : base_);
    // Raised bevel, pressed looks lowered.
    const bool down = isDown();
    p.setPen(down ? QColor(64, 64, 64) : Qt::white);
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(down ? Qt::white : QColor(64, 64, 64));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());

    const QColor ink = isEnabled() ? Qt::black : QColor(128, 128, 128);
    p.setFont(font());
    p.setPen(ink);
    const QStringList lines = captionLines();
    const QFontMetrics fm(font());
    const int lineH = fm.height();
    const int textH = lineH * int(lines.size());
    if (picture_ == NoPicture) {
        int y = (r.height() - textH) / 2;
        for (const QString &l : lines) {
            p.drawText(QRect(0, y, r.width(), lineH), Qt::AlignHCenter | Qt::AlignVCenter, l);
            y += lineH;
        }
        return;
    }
    const int pic = std::max(0, std::min({r.width() - 8, r.height() - textH - 8, 32}));
    const int total = textH + (pic > 0 ? pic + 2 : 0);
    int y = std::max(2, (r.height() - total) / 2);
    for (const QString &l : lines) {
        p.drawText(QRect(0, y, r.width(), lineH), Qt::AlignHCenter | Qt::AlignVCenter, l);
        y += lineH;
    }
    if (pic > 4)
        drawButtonPicture(p, QRect((r.width() - pic) / 2, y + 2, pic, pic), picture_, ink);
}

void drawButtonPicture(QPainter &p, const QRect &r, PictureButton::Picture picture, const QColor &ink)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(ink, std::max(2, r.width() / 8), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const QRectF f = QRectF(r).adjusted(r.width() * 0.15, r.height() * 0.15, -r.width() * 0.15, -r.height() * 0.15);
    switch (picture) {
    case PictureButton::NoPicture:
        break;
    case PictureButton::Arrow: {
        p.drawLine(QPointF(f.left(), f.center().y()), QPointF(f.right(), f.center().y()));
        p.drawLine(QPointF(f.right(), f.center().y()), QPointF(f.center().x() + f.width() * 0.1, f.top()));
        p.drawLine(QPointF(f.right(), f.center().y()), QPointF(f.center().x() + f.width() * 0.1, f.bottom()));
        break;
    }
    case PictureButton::Check:
        p.setPen(QPen(QColor(0, 128, 0), pen.widthF(), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({QPointF(f.left(), f.center().y()), QPointF(f.left() + f.width() * 0.4, f.bottom()),
                                  QPointF(f.right(), f.top())}));
        break;
    case PictureButton::Cross:
        p.setPen(QPen(QColor(192, 0, 0), pen.widthF(), Qt::SolidLine, Qt::RoundCap));
        p.drawLine(f.topLeft(), f.bottomRight());
        p.drawLine(f.topRight(), f.bottomLeft());
        break;
    case PictureButton::House: {
        QPainterPath path;
        path.moveTo(f.left(), f.center().y());
        path.lineTo(f.center().x(), f.top());
        path.lineTo(f.right(), f.center().y());
        p.drawPath(path);
        p.drawRect(QRectF(f.left() + f.width() * 0.15, f.center().y(), f.width() * 0.7, f.height() / 2));
        break;
    }
    case PictureButton::Power:
        p.drawArc(f, 120 * 16, -240 * 16);
        p.drawLine(QPointF(f.center().x(), f.top() - 1), QPointF(f.center().x(), f.center().y()));
        break;
    case PictureButton::Refresh:
        p.drawArc(f, 30 * 16, 300 * 16);
        p.drawLine(QPointF(f.right(), f.center().y() - f.height() * 0.25),
                   QPointF(f.right() - f.width() * 0.25, f.center().y() - f.height() * 0.2));
        break;
    case PictureButton::Door:
        p.drawRect(f.adjusted(f.width() * 0.2, 0, -f.width() * 0.2, 0));
        p.drawPoint(QPointF(f.right() - f.width() * 0.3, f.center().y()));
        break;
    }
    p.restore();
}
