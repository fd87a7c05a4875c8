// A connect to a server that never answers holds nothing but itself: the station's close or a
// signal ends it at once, with the settings written and no box; the judge's input meanwhile
// is dropped.
#include "ConnectionProbe.h"
#include "SilentListener.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "screens/Unit_Main.h"
#include "station/Shutdown.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <QtTest>

#include <csignal>

class TestConnectWait : public QObject
{
    Q_OBJECT

private slots:
    void closeDuringAWaitingConnect_data()
    {
        QTest::addColumn<bool>("reconnect");
        QTest::addColumn<bool>("signal");  // SIGTERM, else the window's close
        QTest::newRow("window closed, connect action") << false << false;
        QTest::newRow("window closed, automatic reconnect") << true << false;
        // Last: a signal's shutdown ends every event loop of the process, later ones too.
        QTest::newRow("SIGTERM, connect action") << false << true;
    }
    void closeDuringAWaitingConnect()
    {
        QFETCH(bool, reconnect);
        QFETCH(bool, signal);
        FullListener silent;
        QVERIFY2(silent.full(), "could not fill the accept queue");
        TestStation station;
        QVERIFY(station.start());
        TMainForm &form = *station.form;
        if (signal)
            new StationShutdown(form);  // owned by the window
        element<RadioGroup>(form, "ClientChoice")->setItemIndex(3);
        ConnectionProbe::usePort(form.link->connection(), silent.port());
        const bool details = element<QWidget>(form, "PanelDetails")->isVisible();
        const int queries = station.fakes.neighbours->queries;

        // These run inside the connect's wait: the event loop runs nowhere else meanwhile.
        QTimer::singleShot(50, &form, [&] {
            QTest::mouseClick(element<PictureButton>(form, "ButtonRefresh"), Qt::LeftButton);
            QTest::keyClick(&form, Qt::Key_F5);
            if (signal)
                ::raise(SIGTERM);
            else
                form.close();
        });
        QElapsedTimer clock;
        clock.start();
        if (reconnect) {
            form.ReconnectTimer->start();
            form.link->AutomaticReconnect();
        } else {
            form.link->ConnectConsolesClick();
        }
        // Well within the connect's own limit of 10 s.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(form.state.Closed);
        QVERIFY(!form.link->Connected());
        QCOMPARE(station.boxes, QStringList());
        QCOMPARE(station.fakes.neighbours->queries, queries);
        QCOMPARE(element<QWidget>(form, "PanelDetails")->isVisible(), details);
        QFile ini(station.workDir() + QStringLiteral("/Settings.ini"));
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QCOMPARE(ini.readAll(), QByteArray("[Diving]\r\nLeft=0\r\nTop=0\r\nWidth=1218\r\nHeight=805\r\n"
                                           "LastIP=This Computer\r\nWho=3\r\n\r\n"));
    }
};

QTEST_MAIN(TestConnectWait)
#include "tst_ConnectWait.moc"
