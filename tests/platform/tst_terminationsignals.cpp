// The termination signals reach the event loop as `requested`, with their number, never from
// within the handler; the default actions are back once the bridge has gone.
#include "platform/TerminationSignals.h"

#include <QSignalSpy>
#include <QtTest>

#include <csignal>

class TestTerminationSignals : public QObject
{
    Q_OBJECT

private slots:
    void requested_data()
    {
        QTest::addColumn<int>("sig");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void requested()
    {
        QFETCH(int, sig);
        {
            TerminationSignals::Options options;
            options.hangUp = true;
            TerminationSignals bridge(options);
            QVERIFY(bridge.ok());
            QSignalSpy spy(&bridge, &TerminationSignals::requested);
            QCOMPARE(::raise(sig), 0);
            QVERIFY(spy.isEmpty());  // the handler itself only wrote into the pipe
            QTRY_COMPARE(spy.size(), 1);
            QCOMPARE(spy.at(0).at(0).toInt(), sig);
        }
        struct sigaction now {};
        QCOMPARE(::sigaction(sig, nullptr, &now), 0);
        QVERIFY(now.sa_handler == SIG_DFL);
    }

    // console-sim's log may be piped into a program that has ended, and it may run in the
    // background of a terminal: neither signal ends it (raised here, either would end the test).
    void brokenPipeAndBackgroundReadIgnored()
    {
        TerminationSignals::Options options;
        options.ignoreBrokenPipeAndBackgroundRead = true;
        TerminationSignals bridge(options);
        QCOMPARE(::raise(SIGPIPE), 0);
        QCOMPARE(::raise(SIGTTIN), 0);
    }
};

QTEST_GUILESS_MAIN(TestTerminationSignals)
#include "tst_terminationsignals.moc"
