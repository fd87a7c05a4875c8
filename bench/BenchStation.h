#pragma once

// The station as the benchmarks measure it: the real main window on fake platform seams,
// at the design size, in a temporary working directory (Settings.ini is written there).

#include "../tests/support/Elements.h"
#include "../tests/support/LayoutFakes.h"

#include "screens/Unit_Main.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
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
    if (showStarted(form))
        return true;
    std::fprintf(stderr, "the station did not start\n");
    return false;
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

// Runs `bench(station, count)` on the started station and returns its exit code (1 if the
// station does not start): the application on the offscreen platform unless told otherwise,
// the count from the first argument (at least `least`; `fallback` without one).
inline int runOnStation(int argc, char **argv, int least, int fallback, int (*bench)(BenchStation &, int))
{
    preferOffscreen();
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::max(least, std::atoi(argv[1])) : fallback;
    BenchStation station;
    if (!station.started())
        return 1;
    return bench(station, count);
}

// main() of a benchmark on the station, as runOnStation describes.
#define MARLO_BENCH_MAIN(bench, least, fallback) \
    int main(int argc, char **argv) { return runOnStation(argc, argv, least, fallback, &bench); }
