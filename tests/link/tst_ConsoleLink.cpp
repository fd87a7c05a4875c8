// The connection lifecycle over loopback: connect, the bytes sent, disconnect, the server's
// close, lost link and automatic reconnect, the server address list, and the hand-off's
// safety when the station lets go of a connection or goes away.
#include "ConnectionProbe.h"
#include "ShowCounter.h"
#include "LoopbackServer.h"
#include "TestStation.h"

#include "link/ClientReader.h"
#include "link/ConsoleLink.h"
#include "link/TcpLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "screens/Unit_Invalid.h"
#include "screens/Unit_Main.h"
#include "widgets/StatusBar.h"
#include "DataColumns.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

namespace {

// Waits, without running the event loop, until `condition` holds (bounded).
template<typename F>
bool spinUntil(F condition, int timeoutMs = 5000)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::yield();
    }
    return true;
}

struct Sent {
    QByteArray frame;
    bool written;
};

} // namespace

class TestConsoleLink : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void serverAddressList();
    void thisComputerIsLocalAddress();
    void connectSendsCC_data();
    void connectSendsCC();
    void connectFailureChangesNothing();
    void scoreIsFollowedByStatus();
    void disconnectSendsOffAndEmptyIP();
    void serverClosingTheLink();
    void sendsDroppedWhileNotConnected();
    void twoFailedScoreSendsGiveOneReconnect();
    void reconnectFailureTriesNoMore();
    void goHomeAndStatusBar();
    void closeAsksOnlyWhileLinked();
    void modalBoxHoldsBackNextMessage();
    void handlerErrorShowsBoxAndGoesOn();
    void disconnectWhileHandlingAMessage();
    void replacedReaderNeverTouchesNewLink();
    void newLinkWorksWhileOldBoxIsUp();
    void closingStationWhileReaderWaits();
    void serverThatStopsReading();

private:
    TMainForm &form() { return *station_->form; }
    ConsoleLink &link() { return *station_->form->link; }
    void recordSends();

    std::unique_ptr<TestStation> station_;
    std::unique_ptr<LoopbackServer> server_;
    QList<Sent> sent_;
};

void TestConsoleLink::init()
{
    sent_.clear();
    server_ = std::make_unique<LoopbackServer>();
    QVERIFY(server_->listen());
    station_ = std::make_unique<TestStation>();
}

void TestConsoleLink::cleanup()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        modal->close();
    station_.reset();
    server_.reset();
}

void TestConsoleLink::recordSends()
{
    link().connection().sentObserver = [this](const QByteArray &frame, bool written) { sent_ << Sent {frame, written}; };
}

void TestConsoleLink::serverAddressList()
{
    FakeNeighbourTable &table = *station_->fakes.neighbours;
    station_->fakes.host->address = QStringLiteral("192.168.1.5");
    table.addRow(192, 168, 1, 20, NeighbourRow::Dynamic);
    table.addRow(192, 168, 1, 5, NeighbourRow::Dynamic);   // this computer
    table.addRow(192, 168, 1, 1, NeighbourRow::Static);
    table.addRow(192, 168, 1, 30, NeighbourRow::Dynamic);
    QVERIFY(station_->start());
    QStringList items;
    for (int i = 0; i < element<QComboBox>(form(), "HostIP")->count(); ++i)
        items << element<QComboBox>(form(), "HostIP")->itemText(i);
    QCOMPARE(items, (QStringList {QStringLiteral("This Computer"), QStringLiteral("192.168.1.20"),
                                  QStringLiteral("192.168.1.30")}));
    QCOMPARE(element<QComboBox>(form(), "HostIP")->currentIndex(), 0);

    // "Refresh IP List" asks again.
    const int queries = table.queries;
    table.setError(50, "The request is not supported.");
    element<QComboBox>(form(), "HostIP")->setCurrentIndex(1);
    element<PictureButton>(form(), "ButtonRefresh")->click();
    QCOMPARE(table.queries, queries + 1);
    QCOMPARE(element<QComboBox>(form(), "HostIP")->count(), 2);
    QCOMPARE(element<QComboBox>(form(), "HostIP")->itemText(1), QStringLiteral("The request is not supported."));
    QCOMPARE(element<QComboBox>(form(), "HostIP")->currentIndex(), 0);

    table.result = NeighbourQuery();  // no neighbour-table service
    element<PictureButton>(form(), "ButtonRefresh")->click();
    QCOMPARE(element<QComboBox>(form(), "HostIP")->count(), 1);
    QCOMPARE(element<QComboBox>(form(), "HostIP")->currentText(), QStringLiteral("This Computer"));
}

void TestConsoleLink::thisComputerIsLocalAddress()
{
    station_->fakes.host->address = QStringLiteral("10.20.30.40");
    station_->fakes.neighbours->addRow(10, 20, 30, 1);
    QVERIFY(station_->start());
    QCOMPARE(link().ServerAddressOfSelection(), QStringLiteral("10.20.30.40"));
    element<QComboBox>(form(), "HostIP")->setCurrentIndex(1);
    QCOMPARE(link().ServerAddressOfSelection(), QStringLiteral("10.20.30.1"));
}

void TestConsoleLink::connectSendsCC_data()
{
    addColumns<int, QByteArray>("judge", "bytes");
    QTest::newRow("Judge 10") << 9
                              << QByteArray::fromHex("01 43 43 49 4E 44 20 4A 31 30 20 02 4A 75 64 67 65 20 31 30 04");
    QTest::newRow("Judge 3") << 2 << QByteArray("\x01" "CCIND J3  \x02" "Judge 3\x04");
}

void TestConsoleLink::connectSendsCC()
{
    QFETCH(int, judge);
    QFETCH(QByteArray, bytes);
    QVERIFY(station_->start());
    form().state.LastServerAddress = QStringLiteral("somewhere else");
    QVERIFY(station_->connectTo(*server_, judge));
    QCOMPARE(server_->received().toHex(' '), bytes.toHex(' '));
    QVERIFY(link().Connected());
    QVERIFY(!element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QCOMPARE(form().currentPage(), 1);
    QCOMPARE(form().state.LastServerAddress, QStringLiteral("This Computer"));
    QCOMPARE(form().state.SavedFunctionIndex, judge);
    QVERIFY(station_->boxes.isEmpty());
    QVERIFY(ConnectionProbe::reader(link().connection()));
}

void TestConsoleLink::connectFailureChangesNothing()
{
    QVERIFY(station_->start());
    element<RadioGroup>(form(), "ClientChoice")->setItemIndex(4);
    form().state.LastServerAddress = QStringLiteral("10.9.9.9");
    form().state.SavedFunctionIndex = 7;
    ConnectionProbe::usePort(form().link->connection(), LoopbackServer::unusedPort());
    element<PictureButton>(form(), "ConnectConsoles")->click();
    QCOMPARE(station_->boxes, QStringList {kCouldNotConnectText});
    QVERIFY(!link().Connected());
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QCOMPARE(form().currentPage(), 0);
    QCOMPARE(form().state.LastServerAddress, QStringLiteral("10.9.9.9"));
    QCOMPARE(form().state.SavedFunctionIndex, 7);
    QVERIFY(!QFile::exists(station_->workDir() + QStringLiteral("/Settings.ini")));
    QVERIFY(!ConnectionProbe::reader(link().connection()));
}

void TestConsoleLink::scoreIsFollowedByStatus()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_, 2));
    server_->clearReceived();
    form().state.BatteryText = QStringLiteral("87 %");
    link().SendConsoleMessage("SD", "6.5\x11");
    QVERIFY(server_->waitForFrames(2));
    const QList<QByteArray> frames = server_->frames();
    QCOMPARE(frames.size(), 2);
    QCOMPARE(frames[0].toHex(' '), QByteArray("01 53 44 49 4e 44 20 4a 33 20 20 02 36 2e 35 11 04"));
    QCOMPARE(frames[0].size(), 17);
    QCOMPARE(frames[1], LoopbackServer::frame("CS", "Active 87 %", "J3  "));
}

void TestConsoleLink::disconnectSendsOffAndEmptyIP()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_, 0));
    element<QListWidget>(form(), "ConnectedClients")->addItem(QStringLiteral("Judge 2"));
    element<QTableWidget>(form(), "GridConnections")->item(1, 1)->setText(QStringLiteral("JUDGE-PC"));
    element<QTableWidget>(form(), "GridConnections")->item(1, 2)->setText(QStringLiteral("127.0.0.1"));
    element<QTableWidget>(form(), "GridConnections")->item(1, 3)->setText(QStringLiteral("Active"));
    element<QTableWidget>(form(), "GridConnections")->item(5, 1)->setText(QStringLiteral("OTHER-PC"));
    element<QTableWidget>(form(), "GridConnections")->item(5, 3)->setText(QStringLiteral("Active"));
    server_->clearReceived();

    link().DisconnectAction();
    QVERIFY(server_->waitForClosed());
    QCOMPARE(server_->frames(), (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J1  "), QByteArray("\x01IPIND J1  \x02\x04")}));
    QCOMPARE(server_->frames().at(1).size(), 13);
    // The disconnected handling.
    QVERIFY(!link().Connected());
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QCOMPARE(element<QListWidget>(form(), "ConnectedClients")->count(), 0);
    QCOMPARE(element<QTableWidget>(form(), "GridConnections")->item(1, 2)->text(), QString());
    QCOMPARE(element<QTableWidget>(form(), "GridConnections")->item(1, 3)->text(), QStringLiteral("Off"));
    QCOMPARE(element<QTableWidget>(form(), "GridConnections")->item(5, 3)->text(), QStringLiteral("Active"));
    QCOMPARE(form().currentPage(), 1);  // the page is not changed

    // Not connected: nothing to do.
    recordSends();
    link().DisconnectAction();
    QVERIFY(sent_.isEmpty());
}

void TestConsoleLink::serverClosingTheLink()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_));
    element<QListWidget>(form(), "ConnectedClients")->addItem(QStringLiteral("Judge 2"));
    server_->drop();
    QTRY_VERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QVERIFY(!link().Connected());
    QCOMPARE(element<QListWidget>(form(), "ConnectedClients")->count(), 0);
    // Under the judge: shown at once (the lost-connection window, status-bar panel 2) and
    // healed by one automatic reconnect, as a failed score is.
    QCOMPARE(form().currentPage(), 1);
    QVERIFY(station_->boxes.isEmpty());
    QVERIFY(form().ReconnectTimer->isActive());
    QVERIFY(form().InvalidElements->isVisible());
    QCOMPARE(form().StatusBar1->panelText(StatusPanel::Link), kLinkLostText);
    QTRY_VERIFY(!ConnectionProbe::reader(link().connection()));
    form().ReconnectTimer->stop();

    // On the opening page a closed link changes nothing.
    QVERIFY(station_->connectTo(*server_));
    QCOMPARE(form().StatusBar1->panelText(StatusPanel::Link), QString());
    form().SelectPage(0);
    server_->drop();
    QTRY_VERIFY(!link().Connected());
    QVERIFY(!form().ReconnectTimer->isActive());
    QCOMPARE(form().StatusBar1->panelText(StatusPanel::Link), QString());
}

void TestConsoleLink::sendsDroppedWhileNotConnected()
{
    QVERIFY(station_->start());
    recordSends();
    link().SendConsoleMessage("CM", "hello");
    link().SendConsoleMessage("CS", "Active");
    QCOMPARE(sent_.size(), 2);
    QVERIFY(!sent_[0].written && !sent_[1].written);
    QVERIFY(!form().ReconnectTimer->isActive());
    QVERIFY(!form().InvalidElements->isVisible());
}

void TestConsoleLink::twoFailedScoreSendsGiveOneReconnect()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_, 2));
    ShowCounter windows(form().InvalidElements);
    // Away from the scoring page the closed link itself is not reported: the scores are.
    form().SelectPage(0);
    server_->drop(0);
    QTRY_VERIFY(!link().Connected());
    QVERIFY(!form().ReconnectTimer->isActive());
    form().SelectPage(1);
    recordSends();

    link().SendConsoleMessage("SD", "6.5\x11");
    QVERIFY(form().ReconnectTimer->isActive());
    QVERIFY(form().InvalidElements->isVisible());
    link().SendConsoleMessage("SD", "6.5\x11");
    // The first failure started the reconnection: no status after it. The second failed
    // while the timer ran: its status is still tried.
    QCOMPARE(sent_.size(), 3);
    QCOMPARE(sent_[0].frame, LoopbackServer::frame("SD", "6.5\x11", "J3  "));
    QCOMPARE(sent_[1].frame, LoopbackServer::frame("SD", "6.5\x11", "J3  "));
    QCOMPARE(sent_[2].frame, LoopbackServer::frame("CS", "Active " + toBytes(form().state.BatteryText), "J3  "));
    for (const Sent &s : sent_)
        QVERIFY(!s.written);
    QCOMPARE(windows.shows, 1);
    QCOMPARE(form().ReconnectTimer->interval(), 2000);
    QVERIFY(form().ReconnectTimer->isSingleShot());

    // Two seconds later: one reconnect, which announces itself again.
    QVERIFY(server_->waitForConnections(2, 6000));
    QVERIFY(server_->waitForFrames(1, 1));
    QCOMPARE(server_->frames(1).at(0), LoopbackServer::frame("CC", "Judge 3", "J3  "));
    QCOMPARE(form().state.RetryCount, 1);
    const QString panel = form().StatusBar1->panelText(5);
    QVERIFY2(QRegularExpression(QStringLiteral("^Retry Count: 1  ([01]\\d|2[0-3]):[0-5]\\d\\.[0-5]\\d$")).match(panel).hasMatch(),
             qPrintable(panel));
    QVERIFY(link().Connected());
    QVERIFY(!element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QCOMPARE(form().currentPage(), 1);
    QVERIFY(!form().ReconnectTimer->isActive());
    QCOMPARE(windows.shows, 1);
    QCOMPARE(server_->connectionCount(), 2);
    QVERIFY(station_->boxes.isEmpty());
    // The settings' choice is not touched by the automatic reconnect.
    QCOMPARE(form().state.SavedFunctionIndex, 2);
}

void TestConsoleLink::reconnectFailureTriesNoMore()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_));
    server_->stopListening();
    server_->drop();
    QTRY_VERIFY(!link().Connected());
    link().SendConsoleMessage("SD", "7.0\x11");
    QVERIFY(form().ReconnectTimer->isActive());
    QTRY_VERIFY_WITH_TIMEOUT(!station_->boxes.isEmpty(), 6000);
    QCOMPARE(station_->boxes.size(), 1);
    QVERIFY(!station_->boxes[0].isEmpty());
    QVERIFY(station_->boxes[0] != kCouldNotConnectText);
    QCOMPARE(form().state.RetryCount, 1);
    QVERIFY(form().StatusBar1->panelText(5).startsWith(QStringLiteral("Retry Count: 1  ")));
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QVERIFY(!element<PictureButton>(form(), "DisconnectConsoles")->isEnabled());
    QVERIFY(!form().ReconnectTimer->isActive());
    QCOMPARE(server_->connectionCount(), 1);
}

void TestConsoleLink::goHomeAndStatusBar()
{
    QVERIFY(station_->start());

    // Status-bar double click: opening page, link closed, focus not moved.
    QVERIFY(station_->connectTo(*server_));
    element<PictureButton>(form(), "ButtonRefresh")->setFocus();
    QCOMPARE(form().focusWidget(), element<PictureButton>(form(), "ButtonRefresh"));
    emit form().StatusBar1->doubleClicked();
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(server_->waitForClosed());
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QCOMPARE(form().focusWidget(), element<PictureButton>(form(), "ButtonRefresh"));

    // Home: opening page, link closed, focus to "Connect Console".
    QVERIFY(station_->connectTo(*server_));
    element<PictureButton>(form(), "ButtonRefresh")->setFocus();
    element<PictureButton>(form(), "ButtonHome2")->click();
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(server_->waitForClosed());
    QCOMPARE(server_->frames().mid(1, 2),
             (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J1  "), QByteArray("\x01IPIND J1  \x02\x04")}));
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());
    QCOMPARE(form().focusWidget(), element<PictureButton>(form(), "ConnectConsoles"));

    // F9's variant also stops a pending reconnect.
    QVERIFY(station_->connectTo(*server_));
    form().ReconnectTimer->start();
    link().GoHomeStopTimer();
    QVERIFY(!form().ReconnectTimer->isActive());
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(server_->waitForClosed());
    QVERIFY(!link().Connected());
}

void TestConsoleLink::closeAsksOnlyWhileLinked()
{
    QVERIFY(station_->start());
    int asked = 0;
    bool answer = false;
    form().confirmClose = [&] {
        ++asked;
        return answer;
    };
    QVERIFY(station_->connectTo(*server_));
    server_->clearReceived();

    QVERIFY(!form().close());  // Cancel: still linked, nothing sent
    QCOMPARE(asked, 1);
    QVERIFY(link().Connected());
    QVERIFY(server_->received().isEmpty());

    answer = true;
    QVERIFY(form().close());
    QCOMPARE(asked, 2);
    QVERIFY(server_->waitForClosed());
    QCOMPARE(server_->frames(), (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J1  "), QByteArray("\x01IPIND J1  \x02\x04")}));
    QVERIFY(!link().Connected());
}

void TestConsoleLink::modalBoxHoldsBackNextMessage()
{
    QVERIFY(station_->start());
    // A stand-in for the "CE" handler: a modal box for the judge. While it is up, the event
    // loop runs (the test server keeps reading and sending), and the server sends one more
    // message; the box stays up long enough for a message to slip through if the hand-off
    // let one, then the test closes it.
    QList<QByteArray> handled;
    QList<QByteArray> handledWhileBoxUp;
    int logLinesWhileBoxUp = -1;
    link().receiveText = [&](const QByteArray &text) {
        const ConsoleText m = CutConsoleText(text);
        handled << m.payload;
        ReceiveConsoleText(form().inbound(), text);
        if (m.command != "CE")
            return;
        QMessageBox box(QMessageBox::Critical, kApplicationTitle, QString::fromLatin1(m.payload), QMessageBox::Ok, &form());
        QTimer::singleShot(0, &box, [&] { server_->send(LoopbackServer::frame("CM", "second")); });
        // A fixed time on purpose: a message that slips past the box would be handed over at
        // no moment the test can wait for, so the box gives it many turns of the event loop
        // (300 ms) to show, with the server's next message on its way.
        QTimer::singleShot(300, &box, [&] {
            handledWhileBoxUp = handled;
            logLinesWhileBoxUp = element<QPlainTextEdit>(form(), "LogFile")->document()->blockCount();
            QVERIFY(QApplication::activeModalWidget() == &box);
            box.done(QMessageBox::Ok);
        });
        box.exec();
    };
    QVERIFY(station_->connectTo(*server_));
    server_->send(LoopbackServer::frame("CE", "Please wait") + LoopbackServer::frame("CM", "first"));
    QTRY_COMPARE(handled.size(), 3);
    QCOMPARE(handledWhileBoxUp, QList<QByteArray> {"Please wait"});
    QCOMPARE(logLinesWhileBoxUp, 1);
    QCOMPARE(handled, (QList<QByteArray> {"Please wait", "first", "second"}));
}

void TestConsoleLink::handlerErrorShowsBoxAndGoesOn()
{
    QVERIFY(station_->start());
    QList<QByteArray> handled;
    link().receiveText = [&](const QByteArray &text) {
        const ConsoleText m = CutConsoleText(text);
        if (m.command == "FS")
            throw std::invalid_argument("'x' is not a valid integer value.");
        handled << m.payload;
    };
    QVERIFY(station_->connectTo(*server_));
    server_->send(LoopbackServer::frame("FS", "x\x11" "7.5\x12") + LoopbackServer::frame("CM", "next"));
    QTRY_COMPARE(handled, QList<QByteArray> {"next"});
    QCOMPARE(station_->boxes, QStringList {QStringLiteral("'x' is not a valid integer value.")});
    QVERIFY(link().Connected());
}

void TestConsoleLink::disconnectWhileHandlingAMessage()
{
    QVERIFY(station_->start());
    QList<QByteArray> handled;
    link().receiveText = [&](const QByteArray &text) {
        const ConsoleText m = CutConsoleText(text);
        handled << m.payload;
        if (m.command == "CD")
            link().GoHome();  // as the "CD" handler does for this station
    };
    QVERIFY(station_->connectTo(*server_));
    server_->clearReceived();
    // The messages after "CD" arrive with it; they belong to a connection the station has
    // left and are not handled.
    server_->send(LoopbackServer::frame("CD", "J1  ") + LoopbackServer::frame("CM", "too late"));
    QVERIFY(server_->waitForClosed());
    QCOMPARE(server_->frames(), (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J1  "), QByteArray("\x01IPIND J1  \x02\x04")}));
    QCOMPARE(handled, QList<QByteArray> {"J1  "});
    QCOMPARE(form().currentPage(), 0);
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());

    // The station connects again as if nothing happened.
    QVERIFY(station_->connectTo(*server_));
    server_->send(LoopbackServer::frame("CM", "new link"));
    QTRY_COMPARE(handled.size(), 2);
    QCOMPARE(handled.last(), QByteArray("new link"));
}

void TestConsoleLink::replacedReaderNeverTouchesNewLink()
{
    QVERIFY(station_->start());
    QList<QByteArray> handled;
    link().receiveText = [&](const QByteArray &text) { handled << CutConsoleText(text).payload; };
    QVERIFY(station_->connectTo(*server_, 1));

    // The old reader hands over a message and waits; before the main thread gets to it, the
    // automatic reconnect replaces the connection.
    server_->send(LoopbackServer::frame("CM", "old"));
    const TClientReader *oldReader = ConnectionProbe::reader(link().connection());
    QVERIFY(spinUntil([&] { return oldReader->waitingForHandoff(); }));
    link().AutomaticReconnect();
    // Replaced: the server sees a second connection and the first one closed. (The reader's
    // address tells nothing: the new one may be allocated where the old one was.)
    QVERIFY(server_->waitForConnections(2));
    QVERIFY(server_->waitForClosed(0));
    QCOMPARE(server_->frames(0).mid(1), (QList<QByteArray> {LoopbackServer::frame("CS", "Off", "J2  "), QByteArray("\x01IPIND J2  \x02\x04")}));

    // The old connection's message is dropped; the new connection works and stays open.
    server_->send(LoopbackServer::frame("CM", "new"), 1);
    QTRY_COMPARE(handled, QList<QByteArray> {"new"});
    QVERIFY(link().Connected());
    QVERIFY(!server_->isClosed(1));
    QCOMPARE(server_->frames(1).at(0), LoopbackServer::frame("CC", "Judge 2", "J2  "));
    server_->send(LoopbackServer::frame("CM", "still here"), 1);
    QTRY_COMPARE(handled.size(), 2);
    QVERIFY(!server_->isClosed(1));
}

void TestConsoleLink::newLinkWorksWhileOldBoxIsUp()
{
    QVERIFY(station_->start());
    QList<QByteArray> handled;
    bool newHandledWhileBoxUp = false;
    link().receiveText = [&](const QByteArray &text) {
        const ConsoleText m = CutConsoleText(text);
        handled << m.payload;
        if (m.command != "CE")
            return;
        QMessageBox box(QMessageBox::Critical, kApplicationTitle, QString::fromLatin1(m.payload), QMessageBox::Ok, &form());
        QTimer::singleShot(0, &box, [&] {
            // The connection is replaced while the box is up (the automatic reconnect runs
            // from a timer, also inside a box's event loop): the new one is read and handled.
            link().AutomaticReconnect();
            if (server_->waitForConnections(2)) {
                server_->send(LoopbackServer::frame("CM", "new"), 1);
                newHandledWhileBoxUp = QTest::qWaitFor([&] { return handled.contains("new"); }, 5000);
            }
            box.done(QMessageBox::Ok);
        });
        box.exec();
    };
    QVERIFY(station_->connectTo(*server_));
    server_->send(LoopbackServer::frame("CE", "Wait") + LoopbackServer::frame("CM", "old, after the box"));
    QTRY_VERIFY(handled.contains("new"));
    QVERIFY(newHandledWhileBoxUp);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    // The rest of the old connection's hand-off is dropped once the box closes.
    QCOMPARE(handled, (QList<QByteArray> {"Wait", "new"}));
    QVERIFY(link().Connected());
    QVERIFY(!server_->isClosed(1));
}

void TestConsoleLink::closingStationWhileReaderWaits()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_));
    server_->send(LoopbackServer::frame("CM", "never handled"));
    const TClientReader *reader = ConnectionProbe::reader(link().connection());
    QVERIFY(spinUntil([&] { return reader->waitingForHandoff(); }));
    // The window goes away with the hand-off pending: the reader is released and joined.
    const auto before = std::chrono::steady_clock::now();
    station_->form.reset();
    QVERIFY(std::chrono::steady_clock::now() - before < std::chrono::seconds(5));
    QVERIFY(server_->waitForClosed());
}

QTEST_MAIN(TestConsoleLink)
#include "tst_ConsoleLink.moc"

// A server that stops taking the station's bytes must not hold the main thread: once the
// system's buffers are full, what it cannot take waits in the link's own bounded buffer, and
// the link is given up when that would overflow; a score that cannot be written then starts
// the reconnection.
void TestConsoleLink::serverThatStopsReading()
{
    QVERIFY(station_->start());
    QVERIFY(station_->connectTo(*server_, 0));
    // The test does not run the event loop here, so the server reads nothing.
    const QByteArray chunk(16 * 1024, 'x');
    QElapsedTimer clock;
    qint64 longest = 0;
    int writes = 0;
    while (link().Connected() && writes < 4000) {
        clock.start();
        link().SendConsoleMessage("CM", chunk);
        longest = std::max(longest, clock.elapsed());
        ++writes;
    }
    QVERIFY2(!link().Connected(), "the link stayed open with nothing read");
    qInfo("the link gave up after %d writes of 16 KiB; the longest took %lld ms", writes, longest);
    QVERIFY(element<PictureButton>(form(), "ConnectConsoles")->isEnabled());  // the disconnected handling ran
    QVERIFY(longest < 1000);  // no write waited for the server
    // Given up under the judge: shown and healed like any lost link.
    QVERIFY(form().ReconnectTimer->isActive());
    form().ReconnectTimer->stop();
}
