#include "widgets/DockLayout.h"

#include <QWidget>
#include <QWidgetItem>

DockLayout::DockLayout(QWidget *parent, int frame) : QLayout(parent)
{
    setContentsMargins(frame, frame, frame, frame);
    setSpacing(0);
    setSizeConstraint(QLayout::SetNoConstraint);
}

DockLayout::~DockLayout()
{
    for (const Entry &e : entries_)
        delete e.item;
}

void DockLayout::addDocked(QWidget *w, Dock dock, int thickness)
{
    addChildWidget(w);
    entries_.append({new QWidgetItem(w), dock, thickness});
    invalidate();
}

int DockLayout::indexOf(const QWidget *w) const
{
    for (int i = 0; i < entries_.size(); ++i)
        if (entries_[i].item->widget() == w)
            return i;
    return -1;
}

void DockLayout::setDock(QWidget *w, Dock dock, int thickness)
{
    const int i = indexOf(w);
    if (i < 0) {
        addDocked(w, dock, thickness);
        return;
    }
    entries_[i].dock = dock;
    entries_[i].thickness = thickness;
    invalidate();
}

DockLayout::Dock DockLayout::dockOf(const QWidget *w) const
{
    const int i = indexOf(w);
    return i < 0 ? None : entries_[i].dock;
}

int DockLayout::thicknessOf(const QWidget *w) const
{
    const int i = indexOf(w);
    return i < 0 ? 0 : entries_[i].thickness;
}

void DockLayout::addItem(QLayoutItem *item)
{
    entries_.append({item, Fill, 0});
}

QLayoutItem *DockLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_[index].item : nullptr;
}

QLayoutItem *DockLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    return entries_.takeAt(index).item;
}

int DockLayout::count() const
{
    return int(entries_.size());
}

QSize DockLayout::sizeHint() const
{
    return QSize(0, 0);
}

QSize DockLayout::minimumSize() const
{
    return QSize(0, 0);
}

void DockLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect);
}

void DockLayout::arrange(const QRect &outer)
{
    const QMargins m = contentsMargins();
    int left = outer.left() + m.left();
    int top = outer.top() + m.top();
    int right = outer.left() + outer.width() - m.right();    // exclusive
    int bottom = outer.top() + outer.height() - m.bottom();  // exclusive

    // Hidden elements take no space, but they are given the place they would have, so that
    // showing one needs no further layout pass.
    static const Dock order[] = {Top, Bottom, Left, Right};
    for (Dock d : order) {
        for (const Entry &e : entries_) {
            QWidget *w = e.item->widget();
            if (e.dock != d || !w)
                continue;
            const bool takes = !w->isHidden();
            const int t = e.thickness;
            const int width = std::max(0, right - left);
            const int height = std::max(0, bottom - top);
            switch (d) {
            case Top:
                w->setGeometry(left, top, width, t);
                if (takes)
                    top += t;
                break;
            case Bottom:
                w->setGeometry(left, bottom - t, width, t);
                if (takes)
                    bottom -= t;
                break;
            case Left:
                w->setGeometry(left, top, t, height);
                if (takes)
                    left += t;
                break;
            case Right:
                w->setGeometry(right - t, top, t, height);
                if (takes)
                    right -= t;
                break;
            default:
                break;
            }
        }
    }
    for (const Entry &e : entries_) {
        if (e.dock == Fill && e.item->widget())
            e.item->widget()->setGeometry(left, top, std::max(0, right - left), std::max(0, bottom - top));
    }
    // Lay out the children's own docking at once, whether or not they are shown.
    if (QWidget *parent = parentWidget()) {
        for (QObject *o : parent->children()) {
            auto *child = qobject_cast<QWidget *>(o);
            if (!child || child->isWindow())
                continue;
            if (DockLayout *inner = dockLayoutOf(child))
                inner->arrange(child->rect());
        }
    }
}

DockLayout *dockLayoutOf(QWidget *w)
{
    return w ? qobject_cast<DockLayout *>(w->layout()) : nullptr;
}
