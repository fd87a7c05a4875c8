// Renders the station off screen: the window as it comes up (the logo, before the deferred
// start-up shows the pages) on a 1218 x 805 screen; the scoring page of a started station
// on a landscape screen of 1218 x 805 and a portrait one of 768 x 1024, with the displays of
// an eleven-judge panel; and the same with the scoreboard shown ("PR") at 1024 x 600,
// 1218 x 805 and 800 x 1280.
//
//   build/bin/marlo-screenshots [output folder, default docs]

#include "../../tests/support/LayoutFakes.h"

#include "screens/Layout.h"
#include "screens/ScoringView.h"
#include "screens/Unit_Main.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// The window just shown: bands and status bar with their design texts over the logo.
bool renderStartup(const QRect &screen, const QString &file)
{
    LayoutPlatform fakes(screen);
    TMainForm form(fakes.platform);
    form.show();
    QCoreApplication::processEvents();
    if (form.startedUp())
        return false;
    const QPixmap shot = form.grab();
    if (shot.size() != screen.size() || !shot.save(file, "PNG"))
        return false;
    std::printf("%s: %dx%d\n", qPrintable(file), shot.width(), shot.height());
    return true;
}

bool render(const QRect &screen, const QString &file, bool scoreboard = false)
{
    LayoutPlatform fakes(screen);
    fakes.power->percent = 87;
    TMainForm form(fakes.platform);
    if (!showStarted(form))
        return false;

    TimerPowerMeterTimer(form);
    form.SelectPage(1);
    form.state.JudgeCount = 11;
    HandleXX(form.state, form, form.scoringView(), "#7.0^7.5^7.0^6.5^7.0^7.5^7.0^7.5^7.0^8.0^7.5^");
    if (scoreboard)
        HandlePR(form.scoringView(), "5\x11" "66.50^T 183.20^RANK 2\x12");
    QCoreApplication::processEvents();

    const QPixmap shot = form.grab();
    if (shot.size() != screen.size() || !shot.save(file, "PNG"))
        return false;
    std::printf("%s: %dx%d\n", qPrintable(file), shot.width(), shot.height());
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("docs")).absolutePath();
    QDir().mkpath(out);

    QTemporaryDir dir;  // the station writes Settings.ini in its working directory
    QDir::setCurrent(dir.path());

    bool ok = renderStartup(QRect(0, 0, 1218, 805), out + QStringLiteral("/startup.png"));
    ok = render(QRect(0, 0, 1218, 805), out + QStringLiteral("/scoring-landscape.png")) && ok;
    ok = render(QRect(0, 0, 768, 1024), out + QStringLiteral("/scoring-portrait.png")) && ok;
    for (const QRect &screen : {QRect(0, 0, 1024, 600), QRect(0, 0, 1218, 805), QRect(0, 0, 800, 1280)})
        ok = render(screen, out + QStringLiteral("/scoreboard-%1x%2.png").arg(screen.width()).arg(screen.height()), true) && ok;
    return ok ? 0 : 1;
}
