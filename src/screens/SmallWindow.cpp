#include "screens/SmallWindow.h"

#include "platform/WindowSystem.h"

#include <QWidget>
#include <QWindow>

void keepAboveWindowOf(QWidget *w, QWidget *over)
{
    // Never through winId() before the window is shown: that marks the small window native, and
    // the toolkit then makes every element of its parent, the main window, native too, each a
    // surface of its own (on Wayland subsurfaces that never get a buffer, under which the main
    // window's changes are not shown). Shown, it has its native window, made transient for its
    // parent's window by the toolkit already.
    QWidget *top = over ? over->window() : nullptr;
    QWindow *h = w ? w->windowHandle() : nullptr;
    if (!h || !top || !top->windowHandle())
        return;
    if (h->transientParent() != top->windowHandle())
        h->setTransientParent(top->windowHandle());
}

Qt::WindowFlags smallWindowFlags()
{
    const bool wayland = WindowSystem::current().isWayland();
    return (wayland ? Qt::ToolTip : Qt::Tool) | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
           | Qt::WindowDoesNotAcceptFocus;
}

void setUpSmallWindow(QWidget *w, const QString &name, const QString &title, const QSize &size)
{
    w->setObjectName(name);
    w->setWindowTitle(title);
    w->setAttribute(Qt::WA_ShowWithoutActivating, true);
    w->setFocusPolicy(Qt::NoFocus);
    w->setFixedSize(size);
}
