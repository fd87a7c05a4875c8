#include "screens/Unit_Invalid.h"

#include "screens/SmallWindow.h"

#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"

#include <QPainter>

TInvalidElements::TInvalidElements(QWidget *owner)
    : QWidget(owner, smallWindowFlags() | Qt::WindowTransparentForInput)
{
    setUpSmallWindow(this, QStringLiteral("InvalidElements"), QStringLiteral("Lost Connection"), QSize(462, 121));

    auto *dock = new DockLayout(this);
    auto strip = [this](const QString &name, const QString &text, int px) {
        auto *l = new QLabel(text, this);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setAlignment(Qt::AlignCenter);
        l->setFont(designFont(QStringLiteral("Verdana"), px, true));
        QPalette pal = l->palette();
        pal.setColor(QPalette::WindowText, Qt::white);
        l->setPalette(pal);
        return l;
    };
    dock->addDocked(strip(QStringLiteral("LabelLostConnection"), QStringLiteral("Lost Connection"), 16), DockLayout::Top, 22);
    CountLabel = strip(QStringLiteral("CountLabel"), QStringLiteral("Reconnecting in 2 seconds."), 19);
    dock->addDocked(CountLabel, DockLayout::Top, 26);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(kShownMs);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &QWidget::close);
}

void TInvalidElements::showOver(QWidget *over)
{
    if (over) {
        const QRect g = over->geometry();
        move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
    }
    // A new loss while the window still shows the last one: its two seconds begin again,
    // or it would close at once under the new count.
    if (isVisible())
        Timer1->start(kShownMs);
    show();
    keepAboveWindowOf(this, over);
}

void TInvalidElements::showEvent(QShowEvent *e)
{
    // Hidden to shown: the two-second count begins afresh.
    Timer1->start(kShownMs);
    QWidget::showEvent(e);
}

void TInvalidElements::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const int steps = 64;
    for (int i = 0; i < steps; ++i) {
        const int a = height() * i / steps;
        const int b = height() * (i + 1) / steps;
        p.fillRect(0, a, width(), b - a, QColor(255, 255 * i / (steps - 1), 0));
    }
}
