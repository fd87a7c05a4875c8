#pragma once

#include <QList>
#include <QWidget>

class DockLayout;

// A page area that shows one page at a time. Every page fills the area and keeps its
// geometry while hidden, so that the hidden page can be measured and arranged.
class Notebook : public QWidget
{
    Q_OBJECT
public:
    Notebook(QWidget *parent, const QString &name);

    QWidget *addPage(const QString &name);
    int pageIndex() const { return index_; }
    void setPageIndex(int index);
    QWidget *page(int index) const { return pages_.value(index); }
    int count() const { return int(pages_.size()); }

signals:
    void pageChanged(int index);

private:
    DockLayout *dock_;
    QList<QWidget *> pages_;
    int index_ = -1;
};
