#pragma once

#include <QEvent>
#include <QObject>
#include <QWidget>

// Counts how often a widget goes from hidden to shown.
class ShowCounter : public QObject
{
public:
    explicit ShowCounter(QWidget *w) { w->installEventFilter(this); }
    int shows = 0;

protected:
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Show)
            ++shows;
        return false;
    }
};
