#include "widgets/Notebook.h"

#include "widgets/DockLayout.h"

Notebook::Notebook(QWidget *parent, const QString &name) : QWidget(parent), dock_(new DockLayout(this))
{
    setObjectName(name);
}

QWidget *Notebook::addPage(const QString &name)
{
    auto *p = new QWidget(this);
    p->setObjectName(name);
    dock_->addDocked(p, DockLayout::Fill);
    pages_.append(p);
    if (index_ < 0)
        index_ = 0;
    else
        p->hide();
    return p;
}

void Notebook::setPageIndex(int index)
{
    if (index < 0 || index >= pages_.size())
        return;
    const bool changed = index != index_;
    index_ = index;
    for (int i = 0; i < pages_.size(); ++i)
        pages_[i]->setVisible(i == index);
    if (changed)
        emit pageChanged(index);
}
