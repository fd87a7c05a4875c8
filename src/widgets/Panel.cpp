#include "widgets/Panel.h"

#include <QPainter>

Panel::Panel(QWidget *parent, const QString &name) : QWidget(parent)
{
    if (!name.isEmpty())
        setObjectName(name);
}

void Panel::setColor(const QColor &c)
{
    if (c == color_)
        return;
    color_ = c;
    update();
}

void Panel::setGradient(const QColor &from, const QColor &to, int steps, bool vertical)
{
    from_ = from;
    to_ = to;
    steps_ = steps;
    vertical_ = vertical;
    update();
}

void Panel::setFrame(Frame f)
{
    frame_ = f;
    update();
}

void Panel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    if (steps_ > 0) {
        const int len = vertical_ ? r.height() : r.width();
        for (int i = 0; i < steps_; ++i) {
            const int a = len * i / steps_;
            const int b = len * (i + 1) / steps_;
            if (b <= a)
                continue;
            const int k = steps_ > 1 ? i * 255 / (steps_ - 1) : 0;
            const QColor c((from_.red() * (255 - k) + to_.red() * k) / 255,
                           (from_.green() * (255 - k) + to_.green() * k) / 255,
                           (from_.blue() * (255 - k) + to_.blue() * k) / 255);
            if (vertical_)
                p.fillRect(0, a, r.width(), b - a, c);
            else
                p.fillRect(a, 0, b - a, r.height(), c);
        }
    } else if (color_.isValid()) {
        p.fillRect(r, color_);
    }

    switch (frame_) {
    case NoFrame:
        break;
    case Edge2:
        p.setPen(QColor(128, 128, 128));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(Qt::white);
        p.drawRect(r.adjusted(1, 1, -2, -2));
        break;
    case LoweredBevel3x2:
        for (int i = 0; i < 6; ++i) {
            const QRect f = r.adjusted(i, i, -1 - i, -1 - i);
            p.setPen(i < 3 ? QColor(64, 64, 64) : QColor(128, 128, 128));
            p.drawLine(f.topLeft(), f.topRight());
            p.drawLine(f.topLeft(), f.bottomLeft());
            p.setPen(i < 3 ? QColor(240, 240, 240) : QColor(200, 200, 200));
            p.drawLine(f.bottomLeft(), f.bottomRight());
            p.drawLine(f.topRight(), f.bottomRight());
        }
        break;
    case MainFrame5:
        p.setPen(QColor(128, 128, 128));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.fillRect(r.adjusted(1, 1, -1, -1), Qt::black);
        p.fillRect(r.adjusted(4, 4, -4, -4), color_.isValid() ? color_ : Qt::white);
        p.setPen(QColor(128, 128, 128));
        p.drawRect(r.adjusted(4, 4, -5, -5));
        break;
    }
}
