// The reader over a real loopback connection: cutting at EOT, the size limit, NUL, packets
// split and joined, bytes before SOH, and the link log.
#include "LoopbackServer.h"
#include "TestStation.h"

#include "link/ClientReader.h"
#include "link/ConsoleLink.h"
#include "link/ConsoleMessage.h"
#include "link/InboundHandlers.h"
#include "screens/Unit_Main.h"
#include "DataColumns.h"

#include <QTest>

class TestClientReader : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void sizeLimit_data();
    void sizeLimit();
    void overLongWithoutEot();
    void nulCutsText();
    void twoMessagesInOnePacket();
    void oneMessageInSingleBytes();
    void bytesBeforeSoh();
    void lowerCaseCommand();
    void logLines();
    void emptyMessages();

private:
    // Messages handed to the main thread, in order.
    QList<QByteArray> handed_;
    std::unique_ptr<TestStation> station_;
    std::unique_ptr<LoopbackServer> server_;
};

void TestClientReader::init()
{
    handed_.clear();
    server_ = std::make_unique<LoopbackServer>();
    QVERIFY(server_->listen());
    station_ = std::make_unique<TestStation>();
    QVERIFY(station_->start());
    TMainForm &form = *station_->form;
    form.link->receiveText = [this, &form](const QByteArray &text) {
        handed_ << text;
        ReceiveConsoleText(form.inbound(), text);
    };
    QVERIFY(station_->connectTo(*server_));
}

void TestClientReader::cleanup()
{
    station_.reset();
    server_.reset();
}

void TestClientReader::sizeLimit_data()
{
    addColumns<int, bool>("size", "accepted");
    QTest::newRow("16384 accepted") << 16384 << true;
    QTest::newRow("16385 closes the link") << 16385 << false;
}

void TestClientReader::sizeLimit()
{
    QFETCH(int, size);
    QFETCH(bool, accepted);
    TMainForm &form = *station_->form;
    // SOH, 10 header bytes, STX and the payload make `size` bytes before the EOT.
    const QByteArray message = LoopbackServer::frame("CM", QByteArray(size - 12, 'x'));
    QCOMPARE(message.size(), size + 1);
    server_->send(message);
    server_->send(LoopbackServer::frame("CM", "after"));
    if (accepted) {
        QTRY_COMPARE(handed_.size(), 2);
        QCOMPARE(handed_[0], message);
        QCOMPARE(handed_[1], LoopbackServer::frame("CM", "after"));
        QVERIFY(form.link->Connected());
        QVERIFY(!server_->isClosed());
    } else {
        QVERIFY(server_->waitForClosed());
        QTRY_VERIFY(element<PictureButton>(form, "ConnectConsoles")->isEnabled());
        QVERIFY(!element<PictureButton>(form, "DisconnectConsoles")->isEnabled());
        QVERIFY(!form.link->Connected());
        QVERIFY(handed_.isEmpty());
        QCOMPARE(element<QPlainTextEdit>(form, "LogFile")->document()->toPlainText(), QString());
    }
}

void TestClientReader::overLongWithoutEot()
{
    // More than 16384 bytes with no EOT at all, arriving in several pieces.
    for (int i = 0; i < 4; ++i)
        server_->send(QByteArray(4096, 'y'));
    server_->send("z");
    QVERIFY(server_->waitForClosed());
    QTRY_VERIFY(!station_->form->link->Connected());
    QTRY_VERIFY(element<PictureButton>(*station_->form, "ConnectConsoles")->isEnabled());
    QVERIFY(handed_.isEmpty());
}

void TestClientReader::nulCutsText()
{
    server_->send(QByteArray("\x01" "CMIND VRX \x02" "ab\0cd\x04", 18) + LoopbackServer::frame("CM", "next"));
    QTRY_COMPARE(handed_.size(), 2);
    QCOMPARE(handed_[0], QByteArray("\x01" "CMIND VRX \x02" "ab\x04"));
    QCOMPARE(handed_[1], LoopbackServer::frame("CM", "next"));
    QVERIFY(element<QPlainTextEdit>(*station_->form, "LogFile")->toPlainText().startsWith(QStringLiteral("client:[SOH]CMIND VRX [STX]ab[EOT]\n")));
}

void TestClientReader::twoMessagesInOnePacket()
{
    const QByteArray a = LoopbackServer::frame("AI", "1-3\x11" "Ann\x12" "Club\x13");
    const QByteArray b = LoopbackServer::frame("DI", "105B\x11" "2.4\x12" "3m\x13" "Forward\x14");
    server_->send(a + b);
    QTRY_COMPARE(handed_.size(), 2);
    QCOMPARE(handed_[0], a);
    QCOMPARE(handed_[1], b);
}

void TestClientReader::oneMessageInSingleBytes()
{
    const QByteArray a = LoopbackServer::frame("EI", "IND\x11" "Men 3m\x12" "7\x13");
    server_->sendBytewise(a);
    QTRY_COMPARE(handed_.size(), 1);
    QCOMPARE(handed_[0], a);
}

void TestClientReader::bytesBeforeSoh()
{
    server_->send("junk" + LoopbackServer::frame("CS", "Active", "J4  "));
    QTRY_COMPARE(handed_.size(), 1);
    QCOMPARE(handed_[0], "junk" + LoopbackServer::frame("CS", "Active", "J4  "));
    QCOMPARE(element<QPlainTextEdit>(*station_->form, "LogFile")->toPlainText(), QStringLiteral("client:junk[SOH]CSIND J4  [STX]Active[EOT]"));
    const ConsoleText m = CutConsoleText(handed_[0]);
    QCOMPARE(m.command, QByteArray("CS"));
    QCOMPARE(m.sender, QByteArray("J4  "));
    QCOMPARE(m.payload, QByteArray("Active"));
}

void TestClientReader::lowerCaseCommand()
{
    server_->send(LoopbackServer::frame("ai", "2-5\x11" "Bo\x12" "Team\x13"));
    QTRY_COMPARE(handed_.size(), 1);
    QCOMPARE(InboundCommandOf(CutConsoleText(handed_[0]).command), InboundCommand::AI);
}

void TestClientReader::logLines()
{
    server_->send(LoopbackServer::frame("CM", "one\r\ntwo"));
    server_->send("\x01" "TPIND VRX \x02\x04");
    QTRY_COMPARE(handed_.size(), 2);
    const QStringList lines = element<QPlainTextEdit>(*station_->form, "LogFile")->toPlainText().split(u'\n');
    QCOMPARE(lines, (QStringList {QStringLiteral("client:[SOH]CMIND VRX [STX]one[LF]two[EOT]"),
                                  QStringLiteral("client:[SOH]TPIND VRX [STX][EOT]")}));
}

void TestClientReader::emptyMessages()
{
    // An EOT alone is a message too: logged, nothing to dispatch.
    server_->send("\x04\x04");
    QTRY_COMPARE(handed_.size(), 2);
    QCOMPARE(handed_[0], QByteArray("\x04"));
    QCOMPARE(element<QPlainTextEdit>(*station_->form, "LogFile")->toPlainText(), QStringLiteral("client:[EOT]\nclient:[EOT]"));
    QVERIFY(station_->form->link->Connected());
}

QTEST_MAIN(TestClientReader)
#include "tst_ClientReader.moc"
