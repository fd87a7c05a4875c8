#pragma once

// The fake platform as the layout benchmark and the screenshot tool take it (header only: they
// do not link the test support library): the tests' FakePlatform on a screen of the given
// size, the host "judge-pc", no neighbour table, the battery not determinable until told
// otherwise, and the seams at hand as `platform`; and the window shown and started on it.

#include "Fakes.h"

#include "screens/Unit_Main.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRect>

struct LayoutPlatform : FakePlatform {
    StationPlatform platform;

    explicit LayoutPlatform(const QRect &screenGeometry = QRect(0, 0, 1218, 805)) : FakePlatform(screenGeometry)
    {
        host->name = QStringLiteral("judge-pc");
        power->percent = 255;
        platform = {host, nullptr, power, screen};
    }
};

// Shows the window and waits, at most `ms`, for the end of its deferred start-up.
inline bool showStarted(TMainForm &form, int ms = 10000)
{
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (!form.startedUp() && wait.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return form.startedUp();
}
