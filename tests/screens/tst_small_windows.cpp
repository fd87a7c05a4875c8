// The two small windows: their own size whatever is asked of them, the main window left one
// surface, and the start-up's bounded wait for the obtaining-address window to be painted.

#include "screens/Unit_GetIP.h"
#include "screens/Unit_Invalid.h"

#include <QElapsedTimer>
#include <QWindow>
#include <QtTest>

class TestSmallWindows : public QObject
{
    Q_OBJECT

private slots:
    void keepTheirSize()
    {
        TObtainingIPAddress obtaining;
        TInvalidElements lost;
        obtaining.resize(1218, 805);  // as a kiosk shell asks
        lost.resize(1218, 805);
        obtaining.showOver(nullptr);
        lost.showOver(nullptr);
        QCOMPARE(obtaining.size(), QSize(413, 149));
        QCOMPARE(lost.size(), QSize(462, 121));
        QVERIFY(!obtaining.focusPolicy() && !lost.focusPolicy());
    }

    // Shown over the main window, transient for it, they leave its elements in its own native
    // window: a native element would be a surface of its own (on Wayland a subsurface that
    // never gets a buffer, under which the main window's changes are not shown).
    void leaveTheMainWindowOneSurface()
    {
        QWidget main;
        auto *panel = new QWidget(&main);
        auto *statusBar = new QWidget(&main);
        main.resize(1218, 805);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        auto *obtaining = new TObtainingIPAddress(&main);
        auto *lost = new TInvalidElements(&main);
        obtaining->showOver(&main);
        lost->showOver(&main);
        for (QWidget *w : {static_cast<QWidget *>(obtaining), static_cast<QWidget *>(lost)})
            QCOMPARE(w->windowHandle()->transientParent(), main.windowHandle());
        for (QWidget *w : {panel, statusBar})
            QVERIFY(!w->testAttribute(Qt::WA_NativeWindow) && !w->internalWinId());
    }

    void waitsUntilPainted_data()
    {
        QTest::addColumn<bool>("windowSystemPaints");
        QTest::newRow("painted") << true;
        QTest::newRow("never painted: the bound") << false;
    }
    void waitsUntilPainted()
    {
        QFETCH(bool, windowSystemPaints);
        TObtainingIPAddress w;
        w.setUpdatesEnabled(windowSystemPaints);
        w.showOver(nullptr);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(w.waitUntilPainted(300), windowSystemPaints);
        if (windowSystemPaints)
            QVERIFY(clock.elapsed() < 300);
        else
            QVERIFY(clock.elapsed() >= 290 && clock.elapsed() < 2000);
    }
};

QTEST_MAIN(TestSmallWindows)
#include "tst_small_windows.moc"
