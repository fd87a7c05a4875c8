// What the station asks of the window system, by the toolkit's name for it.
#include "platform/WindowSystem.h"
#include "DataColumns.h"

#include <QtTest>

class TestWindowSystem : public QObject
{
    Q_OBJECT

private slots:
    void questions_data()
    {
        addColumns<QString, bool, bool>("name", "wayland", "maximises");
        QTest::newRow("xcb") << "xcb" << false << true;
        QTest::newRow("wayland") << "wayland" << true << true;
        QTest::newRow("wayland-egl") << "wayland-egl" << true << true;
        QTest::newRow("windows") << "windows" << false << true;
        QTest::newRow("cocoa") << "cocoa" << false << true;
        QTest::newRow("offscreen") << "offscreen" << false << false;
        QTest::newRow("eglfs") << "eglfs" << false << false;
    }
    void questions()
    {
        QFETCH(QString, name);
        QFETCH(bool, wayland);
        QFETCH(bool, maximises);
        const WindowSystem ws(name);
        QCOMPARE(ws.isWayland(), wayland);
        QCOMPARE(ws.maximises(), maximises);
    }
};

QTEST_MAIN(TestWindowSystem)
#include "tst_windowsystem.moc"
