#pragma once

// The station as the benchmarks measure it: the real main window on fake platform seams,
// at the design size, in a temporary working directory (Settings.ini is written there).

#include "../tests/support/Elements.h"
#include "../tests/support/LayoutFakes.h"

#include "screens/Unit_Main.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

// Benchmarks run on the offscreen platform unless told otherwise (before QApplication).
inline void preferOffscreen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Shows the window and waits for the end of its start-up; false (with a message) if it
// does not come within 10 s.
inline bool startForBench(TMainForm &form)
{
    form.show();
    QElapsedTimer wait;
    wait.start();
    while (!form.startedUp() && wait.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!form.startedUp())
        std::fprintf(stderr, "the station did not start\n");
    return form.startedUp();
}
