// A finger leaves no highlight on a picture button; a mouse lights it while it is over it.

#include "widgets/PictureButton.h"

#include <QPointingDevice>
#include <QtTest>

class TestPictureButton : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { touchScreen_ = QTest::createTouchDevice(); }
    void hover_data();
    void hover();

private:
    QPointingDevice *touchScreen_ = nullptr;
};

void TestPictureButton::hover_data()
{
    QTest::addColumn<QString>("input");  // what happens over the button, in order
    QTest::addColumn<bool>("lit");

    QTest::newRow("touch press") << "touch-press" << false;
    QTest::newRow("touch tap") << "touch-press touch-release" << false;
    QTest::newRow("touch tap after a mouse") << "mouse-move touch-press touch-release" << false;
    QTest::newRow("mouse over") << "mouse-move" << true;
    QTest::newRow("mouse click") << "mouse-move mouse-click" << true;
    QTest::newRow("mouse after a touch tap") << "touch-press touch-release mouse-move" << true;
}

void TestPictureButton::hover()
{
    QFETCH(QString, input);
    QFETCH(bool, lit);

    QWidget window;
    window.resize(300, 200);
    PictureButton button(&window, QStringLiteral("INDSCORE5"), QStringLiteral("5"));
    button.setGeometry(50, 50, 100, 100);
    int clicks = 0;
    connect(&button, &QAbstractButton::clicked, &window, [&clicks] { ++clicks; });
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Mouse input through the window system, as the platform delivers it (enter and leave
    // included); the mouse starts away from the button.
    QWindow *handle = window.windowHandle();
    QTest::mouseMove(handle, QPoint(5, 5));
    QVERIFY(!button.hovered());

    const QPoint on = button.geometry().center();
    int taps = 0;
    for (const QString &step : input.split(QLatin1Char(' '))) {
        if (step == QLatin1String("touch-press")) {
            QTest::touchEvent(&window, touchScreen_).press(0, on, &window);
        } else if (step == QLatin1String("touch-release")) {
            QTest::touchEvent(&window, touchScreen_).release(0, on, &window);
            ++taps;
        } else if (step == QLatin1String("mouse-move")) {
            QTest::mouseMove(handle, on + QPoint(1, 1));
            QTest::mouseMove(handle, on);
        } else if (step == QLatin1String("mouse-click")) {
            QTest::mouseClick(handle, Qt::LeftButton, {}, on);
            ++taps;
        }
    }
    QCOMPARE(button.hovered(), lit);
    QCOMPARE(clicks, taps);  // the touch presses reach the button all the same
}

QTEST_MAIN(TestPictureButton)
#include "tst_picturebutton.moc"
