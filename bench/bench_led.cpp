// Painting cost of the LED text label: a four-character score display and a nine-character
// scoreboard line, with and without a text change before each paint, and the number of times
// the segment outlines and cell image were rebuilt meanwhile.
//
//   bench_led                     prints the figures
//   bench_led --closeup FILE.png  also writes a close-up picture of score displays and the scoreboard

#include "widgets/DockLayout.h"
#include "widgets/Fonts.h"
#include "widgets/LedTextLabel.h"
#include "widgets/Panel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBatches = 7;
constexpr int kPaintsPerBatch = 5000;

struct Figures {
    double medianUs;
    double bestUs;
};

// Runs `paint` kBatches x kPaintsPerBatch times; per-paint cost of the median and best batch.
template <typename Fn>
Figures measure(Fn &&paint)
{
    for (int i = 0; i < 500; ++i)  // warm up
        paint(i);
    std::vector<double> perPaint;
    for (int b = 0; b < kBatches; ++b) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < kPaintsPerBatch; ++i)
            paint(i);
        perPaint.push_back(double(timer.nsecsElapsed()) / 1000.0 / kPaintsPerBatch);
    }
    std::sort(perPaint.begin(), perPaint.end());
    return {perPaint[perPaint.size() / 2], perPaint.front()};
}

void report(const char *what, const Figures &f, double goalUs)
{
    std::printf("%-52s %7.2f us/paint (best %6.2f)  goal < %2.0f us: %s\n", what, f.medianUs, f.bestUs, goalUs,
                f.medianUs < goalUs ? "met" : "MISSED");
}

// Paints `label` as a paint event would: a fresh painter on a target like the window's backing store.
void paintOnce(TLedTextLabel &label, QImage &target)
{
    QPainter p(&target);
    label.PaintTo(p);
}

int benchLabel(const char *name, TLedTextLabel &label, const QStringList &texts, double goalUs)
{
    QImage target(label.size(), QImage::Format_ARGB32_Premultiplied);
    target.fill(Qt::black);
    paintOnce(label, target);  // the first drawing builds the outlines and cell image
    const int before = label.LED().RebuildCount();

    const Figures same = measure([&](int) { paintOnce(label, target); });
    report(qPrintable(QStringLiteral("%1, same text").arg(QLatin1String(name))), same, goalUs);

    const Figures changing = measure([&](int i) {
        label.setCaption(texts[i % texts.size()]);
        paintOnce(label, target);
    });
    report(qPrintable(QStringLiteral("%1, text changed before each paint").arg(QLatin1String(name))), changing, goalUs);

    const Figures full = measure([&](int) { label.render(&target); });
    report(qPrintable(QStringLiteral("%1, through QWidget::render").arg(QLatin1String(name))), full, goalUs);

    const int rebuilds = label.LED().RebuildCount() - before;
    std::printf("%-52s %d rebuilds of outlines and cell image in %d paints after the first\n\n", name,
                rebuilds, 3 * (500 + kBatches * kPaintsPerBatch));
    return rebuilds;
}

// Score displays and the scoreboard as the station shows them, enlarged three times.
bool writeCloseup(const QString &file)
{
    QWidget scene;
    scene.resize(2 * 8 + 3 * 88 + 16 + 172 + 8, 8 + 153 + 8);
    scene.setAutoFillBackground(true);
    QPalette pal = scene.palette();
    pal.setColor(QPalette::Window, QColor(64, 64, 64));
    scene.setPalette(pal);

    const QStringList scores = {QStringLiteral("10.0"), QStringLiteral("9.5"), QStringLiteral("8.0"),
                                QStringLiteral("7.5"),  QStringLiteral("8.5"), QStringLiteral("6.0"),
                                QStringLiteral("9.0"),  QStringLiteral("0.5"), QStringLiteral("7.0")};
    for (int i = 0; i < scores.size(); ++i) {
        auto *d = new TLedTextLabel(&scene, QStringLiteral("ScoreDisplay%1").arg(i + 1));
        d->setGeometry(8 + (i % 3) * 88, 8 + (i / 3) * 36, 80, 28);
        d->setDigits(1);
        d->setCaption(scores[i]);
    }
    // A disabled one and one with a fifth character cut at the edge.
    auto *cut = new TLedTextLabel(&scene, QStringLiteral("ScoreDisplay10"));
    cut->setGeometry(8, 8 + 3 * 36, 80, 28);
    cut->setCaption(QStringLiteral("10.05"));
    auto *off = new TLedTextLabel(&scene, QStringLiteral("ScoreDisplay11"));
    off->setGeometry(96, 8 + 3 * 36, 80, 28);
    off->setCaption(QStringLiteral("8.5"));
    off->setEnabled(false);

    auto *board = new Panel(&scene, QStringLiteral("PanelScoreboard"));
    board->setColor(Qt::black);
    board->setGeometry(8 + 3 * 88 + 16, 8, 172, 153);
    auto *dock = new DockLayout(board);
    auto *title = new QLabel(QStringLiteral("Scoreboard"), board);
    title->setFont(designFont(QStringLiteral("Verdana"), 16, true));
    title->setAlignment(Qt::AlignCenter);
    QPalette tp = title->palette();
    tp.setColor(QPalette::WindowText, QColor(0, 0, 128));
    tp.setColor(QPalette::Window, Qt::white);
    title->setPalette(tp);
    title->setAutoFillBackground(true);
    dock->addDocked(title, DockLayout::Top, 20);
    auto *order = new TLedTextLabel(board, QStringLiteral("ScoreboardOrder"));
    order->setAutoSize(true);
    order->setCaption(QStringLiteral("ORDER   5"));
    dock->addDocked(order, DockLayout::Top, 28);
    const QStringList lines = {QStringLiteral(" 1  66.50"), QStringLiteral(" 2  61.20"), QStringLiteral(" 3  58.85")};
    for (int i = 0; i < 3; ++i) {
        auto *l = new TLedTextLabel(board, QStringLiteral("Scoreboard%1").arg(i + 1));
        l->move(0, 52 + 32 * i);
        l->setAutoSize(true);
        l->setCaption(lines[i]);
    }
    dock->arrange(board->rect());

    const QImage shot = scene.grab().toImage();
    const QImage big = shot.scaled(shot.size() * 3, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return big.save(file, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    installFontSubstitutions();

    std::printf("LED text label painting (%d batches of %d paints, median batch)\n\n", kBatches, kPaintsPerBatch);

    TLedTextLabel score(nullptr, QStringLiteral("ScoreDisplay1"));
    score.resize(80, 28);
    score.setDigits(1);
    score.setCaption(QStringLiteral("10.0"));
    const int scoreRebuilds =
        benchLabel("score display 80 x 28, 4 characters", score,
                   {QStringLiteral("10.0"), QStringLiteral("9.5"), QStringLiteral("8.0"), QStringLiteral("0.5")}, 30);

    TLedTextLabel line(nullptr, QStringLiteral("Scoreboard1"));
    line.setAutoSize(true);
    line.setCaption(QStringLiteral("ORDER   5"));
    const int lineRebuilds = benchLabel(
        "scoreboard line 172 x 28, 9 characters", line,
        {QStringLiteral("ORDER   5"), QStringLiteral(" 1  66.50"), QStringLiteral("ORDER  12"), QStringLiteral(" 3  58.85")},
        60);

    std::printf("rebuilds after the first drawing: score display %d, scoreboard line %d (expected 0)\n",
                scoreRebuilds, lineRebuilds);

    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--closeup") {
            const QString file = QString::fromLocal8Bit(argv[i + 1]);
            if (!writeCloseup(file)) {
                std::fprintf(stderr, "could not write %s\n", argv[i + 1]);
                return 1;
            }
            std::printf("close-up written to %s\n", argv[i + 1]);
        }
    }
    return 0;
}
