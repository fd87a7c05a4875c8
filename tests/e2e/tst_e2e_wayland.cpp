// The station on Wayland, seen as a compositor shows it: weston on its x11 backend (pixman
// renderer) fills an X server's screen with its output, which it repaints only where its
// clients' damage says, and screenshots of that X server are the output. The station started
// through the package's launcher; a whole dive whose every step looks as it does under X11.
#include "E2eHarness.h"

#include "link/ConsoleMessage.h"

#include <QFile>
#include <QGuiApplication>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>

using namespace e2e;

namespace {

constexpr int kWidth = 1218, kHeight = 805;
// Weston draws the pointer itself: it is kept in the bottom right corner, out of the comparisons.
const QPoint kPointerPark(kWidth - 1, kHeight - 1);
const QRect kPointerArea(kWidth - 64, kHeight - 64, 64, 64);
// The operator details' link log, once F5 has shown them.
const QPoint kLogFile(5 + 1208 - 460 + 16 + 100, 157 + 8 + 70);
// The header's "Power" label, which shows the battery's first reading 10 s after start-up.
const QRect kPowerLabel(1034, 48, 178, 38);

void parkPointer(const XServer &x)
{
    run(x, QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(kPointerPark.x()), QString::number(kPointerPark.y())});
}

bool same(const QImage &a, const QImage &b)
{
    return differingPixels(a, b, kPointerArea).isEmpty();
}

// The screen once it has changed from `before` and holds still (the same twice running).
QImage settledScreen(const XServer &x, const QImage &before)
{
    for (const QDeadlineTimer deadline(10000); !deadline.hasExpired();) {
        const QImage first = screenshot(x);
        if (first.isNull() || same(first, before))
            continue;
        if (same(first, screenshot(x)))
            return first;
    }
    return QImage();
}

// MARLO_E2E_SCREENSHOTS=<folder> keeps each step's screen there as dive-<n>-<step>-<system>.png.
void keep(const QImage &shot, int step, const QString &name, const QString &system)
{
    const QString folder = qEnvironmentVariable("MARLO_E2E_SCREENSHOTS");
    if (!folder.isEmpty())
        shot.save(QStringLiteral("%1/dive-%2-%3-%4.png").arg(folder).arg(step).arg(QString(name).replace(QLatin1Char(' '), QLatin1Char('-')), system));
}

} // namespace

class TestE2eWayland : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!Weston::available())
            QSKIP("weston or Qt's Wayland plugin (qt6-wayland) is not installed");
        QVERIFY(QFile::exists(stationBinary()));
        QVERIFY(home_.isValid());
    }

    // Started through the launcher under weston's desktop shell, the station fills the output
    // with the opening page, on Wayland itself, and F5 shows the operator details there; SIGTERM
    // ends it with status 0 and its settings in the launcher's folder.
    void launcherStartsTheStationOnWayland()
    {
        XServer x;
        QVERIFY(x.start(kWidth, kHeight));
        Weston weston;
        QVERIFY2(weston.start(x, kWidth, kHeight, Weston::Desktop), weston.process().readAll().constData());
        QProcess station;
        startLauncher(station, weston);
        QVERIFY2(waitForOpeningPage(x, station), station.readAll().constData());
        const QImage shot = screenshot(x);
        QCOMPARE(shot.size(), QSize(kWidth, kHeight));
        // The opening page's blue strip, the main panel's frame at both sides, the hint line and
        // the status bar: the whole output is the station's, drawn where it damaged it.
        QCOMPARE(shot.pixelColor(2, 400), QColor(0, 0, 0));
        QCOMPARE(shot.pixelColor(kWidth - 3, 400), QColor(0, 0, 0));
        QCOMPARE(shot.pixelColor(300, kHeight - 19 - 8), QColor(0, 0, 0));
        QVERIFY(shot.pixelColor(kWidth / 2, kHeight - 8).lightness() > 150);
        QVERIFY(shot.pixelColor(kWidth / 2, kHeight - 8) != QColor(0, 0, 0));
        // A change of a part of the window is shown too: F5, the operator details' white log.
        key(x, QStringLiteral("F5"));
        QTRY_COMPARE(screenshot(x).pixelColor(kLogFile), QColor(255, 255, 255));

        // Qt's Wayland plugin, not Xwayland: the launcher chose it.
        const QByteArray environ = readEnviron(station);
        QVERIFY2(environ.contains(QByteArray("QT_QPA_PLATFORM=wayland\0", 24)), environ.constData());

        QVERIFY(::kill(pid_t(station.processId()), SIGTERM) == 0);
        QVERIFY(station.waitForFinished(10000));
        QCOMPARE(station.exitCode(), 0);
        QFile ini(home_.path() + QStringLiteral("/.local/share/marlo-dv/Settings.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("Width=1218\r\nHeight=805\r\n"));
    }

    // The compositor goes away under the station: the settings are written before it ends.
    void compositorGoesAway()
    {
        const QString path = home_.path() + QStringLiteral("/.local/share/marlo-dv/Settings.ini");
        QFile::remove(path);
        XServer x;
        QVERIFY(x.start(kWidth, kHeight));
        Weston weston;
        QVERIFY(weston.start(x, kWidth, kHeight));
        QProcess station;
        startLauncher(station, weston);
        QVERIFY(waitForOpeningPage(x, station));
        weston.process().kill();
        QVERIFY(weston.process().waitForFinished(5000));
        QVERIFY(station.waitForFinished(10000));
        QFile ini(path);
        QVERIFY2(ini.open(QIODevice::ReadOnly), station.readAll().constData());
        const QByteArray written = ini.readAll();
        QVERIFY2(written.contains("Width=1218\r\nHeight=805\r\nLastIP=This Computer\r\nWho=0\r\n"), written.constData());
    }

    // A whole dive under X11, then under weston's kiosk shell: after each step the compositor's
    // output is the X11 screen, pixel for pixel (the pointer excepted). Among the steps, Esc on
    // the green panel: the Score box shows 0.0, as "SD" 0.0 tells the server.
    void aWholeDiveAsUnderX11()
    {
        if (!isolated())
            QSKIP("cannot run in private namespaces here (needs root and unshare)");
        // No battery, whatever this machine has: the header's power reading is the same in both.
        QTemporaryDir noBatteries;
        QVERIFY(noBatteries.isValid());
        if (QFile::exists(QStringLiteral("/sys/class/power_supply")))
            QVERIFY(::mount(QFile::encodeName(noBatteries.path()).constData(), "/sys/class/power_supply", nullptr, MS_BIND, nullptr) == 0);

        QList<QImage> x11;
        dive(false, x11);
        if (QTest::currentTestFailed())
            return;
        dive(true, x11);
    }

private:
    void startLauncher(QProcess &station, const Weston &weston)
    {
        QProcessEnvironment env = weston.clientEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the launcher's to choose
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.insert(QStringLiteral("HOME"), home_.path());
        env.insert(QStringLiteral("PATH"), QStringLiteral(MARLO_BIN_DIR ":") + env.value(QStringLiteral("PATH")));
        station.setProcessEnvironment(env);
        station.setProcessChannelMode(QProcess::MergedChannels);
        station.start(QStringLiteral("sh"), {QStringLiteral(MARLO_LAUNCHER)});
    }

    static bool waitForOpeningPage(const XServer &x, const QProcess &station)
    {
        return QTest::qWaitFor([&] { return station.state() == QProcess::Running
                                            && screenshot(x).pixelColor(12, 140) == QColor(0, 0, 255); },
                               20000);
    }

    // The launcher execs the station: its process is the station's.
    static QByteArray readEnviron(const QProcess &station)
    {
        QFile f(QStringLiteral("/proc/%1/environ").arg(station.processId()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // One dive, its screen taken after each step: under X11 into `x11`, under Wayland checked
    // against it.
    void dive(bool wayland, QList<QImage> &x11)
    {
        const QString system = wayland ? QStringLiteral("wayland") : QStringLiteral("x11");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        XServer x;
        QVERIFY(x.start(kWidth, kHeight));
        Weston weston;
        Station station(x);
        if (wayland) {
            QVERIFY2(weston.start(x, kWidth, kHeight), weston.process().readAll().constData());
            station.setEnvironment(weston.clientEnvironment());
        }
        ScriptedServer server;
        QVERIFY(server.listen());
        parkPointer(x);
        QVERIFY(station.start(dir.path()));
        QVERIFY2(station.waitForOpeningPage(), station.output().constData());

        int step = 0;
        QImage previous;
        auto shown = [&](const QString &name) {
            QImage shot;
            if (!wayland) {
                shot = settledScreen(x, previous);
                x11 << shot;
            } else if (!QTest::qWaitFor([&] { return same(shot = screenshot(x), x11.value(step)); }, 5000)) {
                const QRect where = differingPixels(shot, x11.value(step), kPointerArea);
                keep(x11.value(step), step, name, QStringLiteral("x11"));
                keep(shot, step, name, system);
                QTest::qFail(qPrintable(QStringLiteral("%1: the compositor shows other pixels than X11 at %2,%3 %4 x %5")
                                            .arg(name).arg(where.x()).arg(where.y()).arg(where.width()).arg(where.height())),
                             __FILE__, __LINE__);
                return false;
            }
            if (shot.isNull()) {
                QTest::qFail(qPrintable(name + QStringLiteral(": the screen did not change and settle")), __FILE__, __LINE__);
                return false;
            }
            keep(shot, step, name, system);
            previous = shot;
            ++step;
            return true;
        };

        // The opening page, once the battery's first reading is in the header.
        const QImage first = screenshot(x);
        QVERIFY(QTest::qWaitFor([&] { return first.copy(kPowerLabel) != screenshot(x).copy(kPowerLabel); }, 15000));
        previous = first;
        if (!shown(QStringLiteral("opening page")))
            return;
        key(x, QStringLiteral("F5"));
        if (!shown(QStringLiteral("F5")))
            return;
        run(x, QStringLiteral("xdotool"),
            {QStringLiteral("mousemove"), QString::number(kConnectConsoleX), QString::number(kConnectConsoleY),
             QStringLiteral("click"), QStringLiteral("1"), QStringLiteral("mousemove"),
             QString::number(kPointerPark.x()), QString::number(kPointerPark.y())});
        QTRY_COMPARE(server.commands().value(0), QStringLiteral("CC Judge 1"));
        server.sendRaw(FrameConsoleMessage("AI", "IND ", "VRX ", "12-3\x11" "Jane Diver\x12" "Pool Club\x13")
                       + FrameConsoleMessage("DI", "IND ", "VRX ", "105B\x11" "2.4\x12" "3m\x13" "Forward 2 1/2 somersaults pike\x14"));
        if (!shown(QStringLiteral("connect")))
            return;
        key(x, QStringLiteral("6"));
        key(x, QStringLiteral("6"));
        if (!shown(QStringLiteral("keys 6 6")))
            return;
        key(x, QStringLiteral("Return"));
        if (!shown(QStringLiteral("red")))
            return;
        key(x, QStringLiteral("Return"));
        QTRY_VERIFY(server.commands().contains(QStringLiteral("SD 6.5<DC1>")));
        server.send("TX", QByteArray("J1  ") + ctl::DC1);
        if (!shown(QStringLiteral("green")))
            return;
        key(x, QStringLiteral("Escape"));
        QTRY_VERIFY(server.commands().contains(QStringLiteral("SD 0.0<DC1>")));
        if (!shown(QStringLiteral("Esc on green")))
            return;
        key(x, QStringLiteral("F9"));
        if (!shown(QStringLiteral("F9")))
            return;
        QCOMPARE(screenshot(x).pixelColor(12, 140), QColor(0, 0, 255));  // the opening page again
    }

    QTemporaryDir home_;
};

int main(int argc, char **argv)
{
    return runSuite<TestE2eWayland>(argc, argv);
}

#include "tst_e2e_wayland.moc"
