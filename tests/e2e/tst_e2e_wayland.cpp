// The station as a Wayland kiosk runs it: weston on its headless backend (its desktop shell
// without a panel: the kiosk shell maps no client's window on a backend without a seat), the
// station started through the package's launcher, the output checked by the pixels of
// weston's own screenshots.
#include "E2eHarness.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QThread>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>

namespace {

constexpr int kWidth = 1218, kHeight = 805;
const QString kSocket = QStringLiteral("marlo-e2e-wayland");

bool waylandPluginInstalled()
{
    for (const QString &dir : QCoreApplication::libraryPaths())
        if (!QDir(dir + QStringLiteral("/platforms")).entryList({QStringLiteral("libqwayland-*.so")}).isEmpty())
            return true;
    return false;
}

} // namespace

class TestE2eWayland : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("weston")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("weston-screenshooter")).isEmpty())
            QSKIP("weston is not installed");
        if (!waylandPluginInstalled())
            QSKIP("Qt's Wayland plugin (qt6-wayland) is not installed");
        QVERIFY(QFile::exists(e2e::stationBinary()));
        QVERIFY(runtime_.isValid() && home_.isValid() && shots_.isValid());
        const QString config = shots_.path() + QStringLiteral("/weston.ini");
        {
            QFile ini(config);
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[core]\nidle-time=0\n[shell]\npanel-position=none\nlocking=false\n");
        }
        ::chmod(QFile::encodeName(runtime_.path()).constData(), 0700);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime_.path());
        env.insert(QStringLiteral("HOME"), home_.path());
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("XDG_DATA_HOME"));
        env.remove(QStringLiteral("MARLO_E2E_INSIDE"));
        weston_.setProcessEnvironment(env);
        weston_.setProcessChannelMode(QProcess::MergedChannels);
        weston_.start(QStringLiteral("weston"),
                      {QStringLiteral("--config=") + config, QStringLiteral("--backend=headless-backend.so"),
                       QStringLiteral("--use-pixman"),
                       QStringLiteral("--width=%1").arg(kWidth), QStringLiteral("--height=%1").arg(kHeight),
                       QStringLiteral("--socket=") + kSocket, QStringLiteral("--debug")});
        QVERIFY(weston_.waitForStarted(5000));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(runtime_.path() + QLatin1Char('/') + kSocket), 10000);

        env.insert(QStringLiteral("WAYLAND_DISPLAY"), kSocket);
        env.insert(QStringLiteral("PATH"), QStringLiteral(MARLO_BIN_DIR ":") + env.value(QStringLiteral("PATH")));
        // In a sanitizer build: the Wayland client library and the plugins that Qt unloads at
        // exit keep memory of their own that the leak checker cannot name for a suppression.
        // The station's own code is leak-checked by every other test.
        if (env.contains(QStringLiteral("ASAN_OPTIONS")))
            env.insert(QStringLiteral("ASAN_OPTIONS"), env.value(QStringLiteral("ASAN_OPTIONS")) + QStringLiteral(":detect_leaks=0"));
        env_ = env;
    }

    void cleanupTestCase()
    {
        if (station_.state() != QProcess::NotRunning) {
            station_.kill();
            station_.waitForFinished(3000);
        }
        if (weston_.state() != QProcess::NotRunning) {
            weston_.terminate();
            if (!weston_.waitForFinished(5000)) {
                weston_.kill();
                weston_.waitForFinished(3000);
            }
        }
    }

    // Started through the launcher, the station fills the output with the opening page, on
    // Wayland itself; SIGTERM ends it with status 0 and its settings in the launcher's folder.
    void launcherStartsTheStationOnWayland()
    {
        station_.setProcessEnvironment(env_);
        station_.setProcessChannelMode(QProcess::MergedChannels);
        station_.start(QStringLiteral("sh"), {QStringLiteral(MARLO_LAUNCHER)});
        QVERIFY(station_.waitForStarted(5000));

        QImage shot;
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && station_.state() == QProcess::Running) {
            shot = screenshot();
            if (!shot.isNull() && shot.pixelColor(12, 140) == QColor(0, 0, 255))
                break;
            QThread::msleep(100);
        }
        QVERIFY2(!shot.isNull(), weston_.readAll().constData());
        QCOMPARE(shot.size(), QSize(kWidth, kHeight));
        // The opening page's blue strip, its gradient panel and the status bar: the whole
        // output is the station's.
        QVERIFY2(shot.pixelColor(12, 140) == QColor(0, 0, 255), station_.readAll().constData());
        QCOMPARE(shot.pixelColor(2, 400), QColor(0, 0, 0));          // the main panel's frame, left
        QCOMPARE(shot.pixelColor(kWidth - 3, 400), QColor(0, 0, 0));  // and right
        QVERIFY(shot.pixelColor(kWidth / 2, kHeight - 8).lightness() > 150);  // the status bar
        QVERIFY(shot.pixelColor(kWidth / 2, kHeight - 8) != QColor(0, 0, 0));

        // Qt's Wayland plugin, not Xwayland: the launcher chose it.
        const QByteArray environ = readEnviron();
        QVERIFY2(environ.contains(QByteArray("QT_QPA_PLATFORM=wayland\0", 24)), environ.constData());

        QVERIFY(::kill(pid_t(stationPid()), SIGTERM) == 0);
        QVERIFY(station_.waitForFinished(10000));
        QCOMPARE(station_.exitCode(), 0);
        QFile ini(home_.path() + QStringLiteral("/.local/share/marlo-dv/Settings.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().contains("Width=1218\r\nHeight=805\r\n"));
    }

    // The compositor goes away under the station: the settings are written before it ends.
    void compositorGoesAway()
    {
        const QString path = home_.path() + QStringLiteral("/.local/share/marlo-dv/Settings.ini");
        QFile::remove(path);
        // The previous station's last frame may still be on the output: wait until it is gone,
        // so that the opening page seen next is this station's.
        QVERIFY(QTest::qWaitFor([&] { const QImage shot = screenshot();
                                      return !shot.isNull() && shot.pixelColor(12, 140) != QColor(0, 0, 255); },
                                10000));
        station_.start(QStringLiteral("sh"), {QStringLiteral(MARLO_LAUNCHER)});
        QVERIFY(station_.waitForStarted(5000));
        QVERIFY(QTest::qWaitFor([&] { const QImage shot = screenshot();
                                      return !shot.isNull() && shot.pixelColor(12, 140) == QColor(0, 0, 255); },
                                20000));
        weston_.kill();
        QVERIFY(weston_.waitForFinished(5000));
        QVERIFY(station_.waitForFinished(10000));
        QFile ini(path);
        QVERIFY2(ini.open(QIODevice::ReadOnly), station_.readAll().constData());
        const QByteArray written = ini.readAll();
        QVERIFY2(written.contains("Width=1218\r\nHeight=805\r\nLastIP=This Computer\r\nWho=0\r\n"), written.constData());
    }

private:
    // The launcher execs the station: its process is the station's.
    qint64 stationPid() const { return station_.processId(); }

    QByteArray readEnviron() const
    {
        QFile f(QStringLiteral("/proc/%1/environ").arg(stationPid()));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QImage screenshot()
    {
        QDir dir(shots_.path());
        for (const QString &old : dir.entryList({QStringLiteral("*.png")}))
            dir.remove(old);
        QProcess p;
        p.setProcessEnvironment(env_);
        p.setWorkingDirectory(shots_.path());
        p.start(QStringLiteral("weston-screenshooter"), {});
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished(1000);
            return QImage();
        }
        const QStringList files = dir.entryList({QStringLiteral("*.png")});
        if (files.isEmpty())
            return QImage();
        return QImage(dir.filePath(files.first())).convertToFormat(QImage::Format_RGB32);
    }

    QTemporaryDir runtime_, home_, shots_;
    QProcess weston_, station_;
    QProcessEnvironment env_;
};

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestE2eWayland t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_e2e_wayland.moc"
