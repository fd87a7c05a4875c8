// The station as a judge and an operator use it: the real binary in its own X server, real key
// and mouse events, the bytes on the wire, the pixels on the screen and the settings file.
#include "E2eHarness.h"

#include "link/ConsoleMessage.h"

#include <QFile>
#include <QGuiApplication>
#include <QtTest>

using namespace e2e;

namespace {

// Screen places of the design layout at 1218 x 805 (page area at (5, 131); the Opening page's
// panel starts under the 26-pixel strip).
constexpr int kOpeningX = 5, kOpeningY = 157;
const QPoint kConnectButton(kOpeningX + 14 + 113, kOpeningY + 104 + 42);
const QPoint kCloseButton(kOpeningX + 16 + 112, kOpeningY + 270 + 53);
const QPoint kLogFile(kOpeningX + 1208 - 460 + 16 + 100, kOpeningY + 8 + 70);

QByteArray readSettings(const QString &dir)
{
    QFile f(dir + QStringLiteral("/Settings.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestE2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!isolated())
            QSKIP("cannot run in private namespaces here (needs root and unshare)");
        QVERIFY2(QFile::exists(stationBinary()), qPrintable(stationBinary()));
    }

    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
    }

    void startsFullScreenOnTheOpeningPage()
    {
        XServer x;
        QVERIFY(x.start(1218, 805));
        Station station(x);
        QVERIFY(station.start(dir_->path()));
        QVERIFY2(station.waitForOpeningPage(), station.output().constData());
        const QImage shot = screenshot(x);
        QCOMPARE(shot.size(), QSize(1218, 805));
        // The main panel's black frame at the screen's edges, the status bar at the bottom.
        QCOMPARE(shot.pixelColor(2, 400), QColor(0, 0, 0));
        QCOMPARE(shot.pixelColor(1215, 400), QColor(0, 0, 0));
        // F5 shows the operator details: the link log is a white memo.
        QVERIFY(shot.pixelColor(kLogFile) != QColor(255, 255, 255));
        key(x, QStringLiteral("F5"));
        QTRY_COMPARE(screenshot(x).pixelColor(kLogFile), QColor(255, 255, 255));
        key(x, QStringLiteral("F5"));
        QTRY_VERIFY(screenshot(x).pixelColor(kLogFile) != QColor(255, 255, 255));
    }

    void closeWritesTheSettings()
    {
        XServer x;
        QVERIFY(x.start(1218, 805));
        Station station(x);
        QVERIFY(station.start(dir_->path()));
        QVERIFY(station.waitForOpeningPage());
        click(x, kCloseButton.x(), kCloseButton.y());
        QVERIFY(station.waitForExit(10000));
        const QByteArray ini = readSettings(dir_->path());
        QVERIFY2(ini.contains("[Diving]"), ini.constData());
        QVERIFY(ini.contains("Left=0"));
        QVERIFY(ini.contains("Width=1218"));
        QVERIFY(ini.contains("Height=805"));
        QVERIFY(ini.contains("LastIP=This Computer"));
        QVERIFY(ini.contains("Who=0"));
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

int main(int argc, char **argv)
{
    enterIsolation(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestE2e t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_e2e.moc"
