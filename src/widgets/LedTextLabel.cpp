#include "widgets/LedTextLabel.h"

#include <QPainter>

TLedTextLabel::TLedTextLabel(QWidget *parent, const QString &name) : QWidget(parent)
{
    if (!name.isEmpty())
        setObjectName(name);
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setFocusPolicy(Qt::NoFocus);
}

void TLedTextLabel::setCaption(const QString &caption)
{
    if (caption == caption_)
        return;
    caption_ = caption;
    if (autoSize_)
        resize(caption_.size() * 19 + 1, height());
    update();
}

void TLedTextLabel::setAutoSize(bool on)
{
    autoSize_ = on;
}

void TLedTextLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.setPen(QColor(0, 255, 0));
    p.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter, caption_);
}
