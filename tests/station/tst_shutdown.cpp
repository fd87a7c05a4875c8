// A shutdown that comes while the close question waits for an answer: the question is closed
// unanswered, the close runs once, and every event loop ends. (It ends the test's own loops
// too, so it stands alone here.)
#include "LoopbackServer.h"
#include "TestStation.h"

#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "screens/Unit_Main.h"
#include "station/Settings.h"
#include "station/StationClose.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void shutdownWithTheCloseQuestionOpen()
    {
        LoopbackServer server;
        QVERIFY(server.listen());
        TestStation s;
        QVERIFY(s.start());
        TMainForm &f = *s.form;
        element<RadioGroup>(f, "ClientChoice")->setItemIndex(4);
        QVERIFY(s.connectTo(server, 4));
        server.clearReceived();

        // The station's own question, as a real modal box.
        int asked = 0;
        bool answer = true;
        f.confirmClose = [&] {
            ++asked;
            answer = QMessageBox::question(&f, QStringLiteral("Marlo DV"), QStringLiteral("Press OK to confirm you want to exit this program."),
                                           QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
                     == QMessageBox::Ok;
            return answer;
        };
        QTimer::singleShot(0, &f, [&] { f.close(); });
        // Once the question is up, the shutdown comes.
        QTimer poll;
        connect(&poll, &QTimer::timeout, &f, [&] {
            if (QApplication::activeModalWidget()) {
                poll.stop();
                ShutDownStation(f);
            }
        });
        poll.start(10);
        QTimer guard;
        guard.setSingleShot(true);
        QEventLoop loop;
        connect(&guard, &QTimer::timeout, &loop, [&] { loop.exit(1); });
        guard.start(10000);
        QCOMPARE(loop.exec(), 0);  // ended by the shutdown, not by the guard

        QCOMPARE(asked, 1);
        QVERIFY(!answer);  // closed unanswered
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(f.state.Closed);
        QVERIFY(server.waitForFrames(2));
        QCOMPARE(server.frames().size(), 2);
        QCOMPARE(server.frames().at(0), LoopbackServer::frame("CS", "Off", "J5  "));
        QCOMPARE(server.frames().at(1), LoopbackServer::frame("IP", "", "J5  "));
        QFile ini(StationSettings::filePath());
        QVERIFY(ini.open(QIODevice::ReadOnly));
        QVERIFY(ini.readAll().endsWith("LastIP=This Computer\r\nWho=4\r\n\r\n"));
        // A later close does not run it again: the server reads the connection to its end,
        // where nothing more came, and no new one.
        CloseStation(f);
        QVERIFY(server.waitForClosed());
        QCOMPARE(server.frames().size(), 2);
        QCOMPARE(server.connectionCount(), 1);
    }
};

QTEST_MAIN(TestShutdown)
#include "tst_shutdown.moc"
