#include "screens/FocusMark.h"

#include <QEvent>
#include <QPainter>

FocusMark::FocusMark() : QWidget(nullptr)
{
    setObjectName(QStringLiteral("FocusMark"));
    setAttribute(Qt::WA_TransparentForMouseEvents, true);
    setAttribute(Qt::WA_NoSystemBackground, true);
    setFocusPolicy(Qt::NoFocus);
    hide();
}

void FocusMark::markWidget(QWidget *target)
{
    if (target_ == target)
        return;
    if (target_)
        target_->removeEventFilter(this);
    target_ = target;
    if (!target) {
        hide();
        setParent(nullptr);
        return;
    }
    setParent(target);
    setGeometry(target->rect());
    target->installEventFilter(this);
    raise();
    show();
}

bool FocusMark::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == target_ && event->type() == QEvent::Resize)
        setGeometry(target_->rect());
    return false;
}

void FocusMark::paintEvent(QPaintEvent *)
{
    // Black and yellow, to be seen on the silver buttons and on the blue gradient alike.
    QPainter p(this);
    const QRect r = rect();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::NoBrush);
    QPen outer(QColor(0, 0, 0), 2);
    outer.setJoinStyle(Qt::MiterJoin);
    p.setPen(outer);
    p.drawRect(QRectF(r).adjusted(1, 1, -1, -1));
    QPen inner(QColor(255, 215, 0), 3);
    inner.setJoinStyle(Qt::MiterJoin);
    p.setPen(inner);
    p.drawRect(QRectF(r).adjusted(3.5, 3.5, -3.5, -3.5));
}
