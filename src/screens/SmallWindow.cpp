#include "screens/SmallWindow.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

void keepAboveWindowOf(QWidget *w, QWidget *over)
{
    QWidget *top = over ? over->window() : nullptr;
    if (!w || !top || !top->windowHandle())
        return;
    w->winId();  // the window's own native window, so that it can be told whom it belongs to
    if (QWindow *h = w->windowHandle(); h && h->transientParent() != top->windowHandle())
        h->setTransientParent(top->windowHandle());
}

Qt::WindowFlags smallWindowFlags()
{
    const bool wayland = QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
    return (wayland ? Qt::ToolTip : Qt::Tool) | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
           | Qt::WindowDoesNotAcceptFocus;
}
