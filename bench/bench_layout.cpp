// How long the scoring page takes to lay out: ArrangeLayout on the design size (goal: under
// 2 ms, so that resizing never stutters), with design texts and with long texts that must be
// shrunk, and a whole turn of the screen (ApplyOrientation between landscape and portrait).
//
//   build/bench/bench_layout [iterations]

#include "BenchStation.h"

#include "screens/Layout.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Figures {
    double mean, median, p99, max;
};

Figures measure(int iterations, const std::function<void()> &step)
{
    for (int i = 0; i < std::min(iterations, 50); ++i)  // warm the font and glyph caches
        step();
    std::vector<double> ms;
    ms.reserve(iterations);
    QElapsedTimer t;
    for (int i = 0; i < iterations; ++i) {
        t.start();
        step();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms)
        sum += v;
    return {sum / double(ms.size()), ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)], ms.back()};
}

void print(const char *what, int iterations, const Figures &f)
{
    std::printf("%-52s %6d runs  mean %7.3f ms  median %7.3f ms  p99 %7.3f ms  max %7.3f ms\n", what, iterations, f.mean,
                f.median, f.p99, f.max);
}

int benchLayout(BenchStation &station, int iterations)
{
    TMainForm &form = station.form();
    form.SelectPage(1);
    form.state.JudgeCount = 11;
    ArrangeScoreDisplays(form);
    QCoreApplication::processEvents();

    std::printf("window %dx%d, keypad %dx%d\n", form.width(), form.height(),
                element<Panel>(form, "PanelKeypad")->width(), element<Panel>(form, "PanelKeypad")->height());

    print("ArrangeLayout, 1218x805, design texts", iterations, measure(iterations, [&] { ArrangeLayout(form); }));

    SetFittedText(element<QLabel>(form, "LabelAthlete"), QStringLiteral(" Anastasia-Magdalena Papadopoulou-Vasilakopoulou"));
    SetFittedText(element<QLabel>(form, "LabelClub"), QStringLiteral(" Schwimm- und Sprungverein Wasserfreunde 1898"));
    SetFittedText(element<QLabel>(form, "LabelDiveDescription"),
                  QStringLiteral(" Forward 2 1/2 Somersaults 2 Twists Free, Armstand Back 3 Somersaults Pike"));
    SetFittedText(element<QLabel>(form, "LabelEvent"),
                  QStringLiteral("Women's 10m Platform Synchronised Final - National Age Group Championships 2025"));
    print("ArrangeLayout, 1218x805, long texts to shrink", iterations, measure(iterations, [&] { ArrangeLayout(form); }));

    const int turns = std::max(1, iterations / 10);
    bool portrait = false;
    print("screen turned (fit window + ApplyOrientation)", turns, measure(turns, [&] {
              portrait = !portrait;
              station.fakes.screen->setGeometry(portrait ? QRect(0, 0, 768, 1024) : QRect(0, 0, 1218, 805));
          }));
    return 0;
}

} // namespace

MARLO_BENCH_MAIN(benchLayout, 1, 2000)
