#include "screens/Unit_GetIP.h"

#include "screens/SmallWindow.h"

#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"
#include "widgets/PictureButton.h"

#include <QLabel>
#include <QPainter>
#include <QTimer>
#include <QWindow>

TObtainingIPAddress::TObtainingIPAddress(QWidget *owner)
    : QWidget(owner, smallWindowFlags())
{
    setUpSmallWindow(this, QStringLiteral("ObtainingIPAddress"), QStringLiteral("Retrieving your IP Address"),
                     QSize(413, 149));
    auto *dock = new DockLayout(this);
    auto *title = new QLabel(QStringLiteral("Retrieving your IP Address"), this);
    title->setObjectName(QStringLiteral("LabelRetrieving"));
    title->setTextFormat(Qt::PlainText);
    title->setAlignment(Qt::AlignCenter);
    title->setFont(designFont(QStringLiteral("Verdana"), 16, true));
    title->setAutoFillBackground(true);
    QPalette pal = title->palette();
    pal.setColor(QPalette::Window, QColor(0, 0, 255));
    pal.setColor(QPalette::WindowText, Qt::white);
    title->setPalette(pal);
    dock->addDocked(title, DockLayout::Top, 22);
}

void TObtainingIPAddress::showOver(QWidget *over)
{
    if (over) {
        const QRect g = over->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
    show();
    keepAboveWindowOf(this, over);
    if (QWindow *w = windowHandle())
        w->installEventFilter(this);
}

bool TObtainingIPAddress::waitUntilPainted(int boundMs)
{
    if (presented_ || !isVisible())
        return presented_;
    QEventLoop loop;
    waiting_ = &loop;
    QTimer::singleShot(boundMs, &loop, &QEventLoop::quit);
    // Window messages only: a key or a click waits until start-up is done.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    waiting_ = nullptr;
    return presented_;
}

bool TObtainingIPAddress::eventFilter(QObject *watched, QEvent *event)
{
    // The frame after the first painted one: the window system has taken the picture.
    if (event->type() == QEvent::UpdateRequest && watched == windowHandle() && paintedExposed_ && !presented_) {
        presented_ = true;
        if (waiting_)
            waiting_->quit();
    }
    return QWidget::eventFilter(watched, event);
}

void TObtainingIPAddress::paintEvent(QPaintEvent *)
{
    if (!paintedExposed_ && windowHandle() && windowHandle()->isExposed()) {
        paintedExposed_ = true;
        // Asks for the next frame: it comes once this picture is on the screen.
        windowHandle()->requestUpdate();
    }
    QPainter p(this);
    const int top = 22;
    const int h = height() - top;
    const int steps = 64;
    for (int i = 0; i < steps; ++i) {
        const int a = h * i / steps;
        const int b = h * (i + 1) / steps;
        p.fillRect(0, top + a, width(), b - a, QColor(0, 255 * i / (steps - 1), 255));
    }
    // The window's one 64 x 64 picture, three times in a row.
    static const int lefts[] = {48, 168, 288};
    for (int x : lefts) {
        const QRect r(x, top + 32, 64, 64);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(255, 255, 255, 180));
        p.drawEllipse(r.adjusted(4, 4, -4, -4));
        drawButtonPicture(p, r.adjusted(8, 8, -8, -8), PictureButton::Refresh, QColor(0, 0, 160));
    }
}
