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
#include <memory>

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

// The station at the design size on fake seams, started, in a temporary working directory
// (Settings.ini is written there). A benchmark checks started() before it measures.
class BenchStation
{
public:
    BenchStation()
    {
        QDir::setCurrent(dir_.path());
        form_ = std::make_unique<TMainForm>(fakes.platform);
        started_ = startForBench(*form_);
    }
    bool started() const { return started_; }
    TMainForm &form() { return *form_; }

    LayoutPlatform fakes{QRect(0, 0, 1218, 805)};

private:
    QTemporaryDir dir_;
    std::unique_ptr<TMainForm> form_;
    bool started_ = false;
};
