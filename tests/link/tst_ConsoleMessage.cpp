// The message format: framing, cutting, log rendering, field cutting, command matching and
// the hand-off text.
#include "link/ClientReader.h"
#include "link/CodePage.h"
#include "link/ConsoleMessage.h"
#include "link/EotFramer.h"
#include "link/InboundDecoders.h"
#include "DataColumns.h"

#include <QTest>

#include <cstring>

namespace {

QByteArray hex(const char *h)
{
    return QByteArray::fromHex(h);
}

} // namespace

class TestConsoleMessage : public QObject
{
    Q_OBJECT
private slots:
    void frame_data();
    void frame();
    void cut_data();
    void cut();
    void renderForLog_data();
    void renderForLog();
    void codePage_data();
    void codePage();
    void codePageLossy();
    void fields_data();
    void fields();
    void commandOf_data();
    void commandOf();
    void handoffText_data();
    void handoffText();
    void eotFramer_data();
    void eotFramer();
};

void TestConsoleMessage::frame_data()
{
    addColumns<QByteArray, QByteArray, QByteArray, QByteArray>(
        "command", "station", "payload", "bytes");
    QTest::newRow("Judge 3 accepts 6.5") << QByteArray("SD") << QByteArray("J3  ") << QByteArray("6.5\x11")
                                         << hex("01 53 44 49 4E 44 20 4A 33 20 20 02 36 2E 35 11 04");
    QTest::newRow("Judge 10 connects") << QByteArray("CC") << QByteArray("J10 ") << QByteArray("Judge 10")
                                       << hex("01 43 43 49 4E 44 20 4A 31 30 20 02 4A 75 64 67 65 20 31 30 04");
    QTest::newRow("empty IP, 13 bytes") << QByteArray("IP") << QByteArray("J1  ") << QByteArray()
                                        << QByteArray("\x01IPIND J1  \x02\x04");
    QTest::newRow("status off") << QByteArray("CS") << QByteArray("J11 ") << QByteArray("Off")
                                << QByteArray("\x01" "CSIND J11 \x02Off\x04");
    // An EOT typed or pasted into a chat text would end the frame early.
    QTest::newRow("EOT removed from payload") << QByteArray("CM") << QByteArray("J2  ") << QByteArray("a\x04" "b\x04")
                                              << QByteArray("\x01" "CMIND J2  \x02" "ab\x04");
    QTest::newRow("other bytes unchanged") << QByteArray("CM") << QByteArray("J2  ") << QByteArray("\x01\x02\xff\r\n")
                                           << QByteArray("\x01" "CMIND J2  \x02\x01\x02\xff\r\n\x04");
}

void TestConsoleMessage::frame()
{
    QFETCH(QByteArray, command);
    QFETCH(QByteArray, station);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, bytes);
    const QByteArray out = FrameConsoleMessage(command, "IND ", station, payload);
    QCOMPARE(out.toHex(' '), bytes.toHex(' '));
    if (QByteArray(QTest::currentDataTag()) == "Judge 3 accepts 6.5")
        QCOMPARE(out.size(), 17);
    if (QByteArray(QTest::currentDataTag()) == "empty IP, 13 bytes")
        QCOMPARE(out.size(), 13);
}

void TestConsoleMessage::cut_data()
{
    addColumns<QByteArray, QByteArray, QByteArray, QByteArray, QByteArray>(
        "text", "header", "command", "sender", "payload");
    QTest::newRow("athlete") << QByteArray("\x01" "AIIND VRX \x02" "1-3\x11" "Ann\x12" "Club\x13\x04")
                             << QByteArray("AIIND VRX ") << QByteArray("AI") << QByteArray("VRX ")
                             << QByteArray("1-3\x11" "Ann\x12" "Club\x13");
    QTest::newRow("empty payload") << QByteArray("\x01TPIND VRX \x02\x04") << QByteArray("TPIND VRX ")
                                   << QByteArray("TP") << QByteArray("VRX ") << QByteArray();
    QTest::newRow("bytes before SOH") << QByteArray("xy\x01" "CSIND J4  \x02" "Active\x04") << QByteArray("CSIND J4  ")
                                      << QByteArray("CS") << QByteArray("J4  ") << QByteArray("Active");
    QTest::newRow("payload holds SOH and STX") << QByteArray("\x01XXIND VRX \x02" "a\x01" "b\x02" "c\x04")
                                               << QByteArray("XXIND VRX ") << QByteArray("XX") << QByteArray("VRX ")
                                               << QByteArray("a\x01" "b\x02" "c");
    QTest::newRow("short header") << QByteArray("\x01" "CMIND\x02hi\x04") << QByteArray("CMIND") << QByteArray("CM")
                                  << QByteArray() << QByteArray("hi");
    QTest::newRow("one-letter header") << QByteArray("\x01" "C\x02hi\x04") << QByteArray("C") << QByteArray("C")
                                       << QByteArray() << QByteArray("hi");
    QTest::newRow("no STX") << QByteArray("\x01" "CMIND VRX hi\x04") << QByteArray() << QByteArray() << QByteArray()
                            << QByteArray("\x01" "CMIND VRX hi");
    QTest::newRow("STX right after SOH") << QByteArray("\x01\x02hi\x04") << QByteArray() << QByteArray()
                                         << QByteArray() << QByteArray("hi");
    QTest::newRow("STX before SOH") << QByteArray("a\x02" "b\x01" "c\x04") << QByteArray() << QByteArray()
                                    << QByteArray() << QByteArray("b\x01" "c");
    QTest::newRow("EOT alone") << QByteArray("\x04") << QByteArray() << QByteArray() << QByteArray() << QByteArray();
}

void TestConsoleMessage::cut()
{
    QFETCH(QByteArray, text);
    const ConsoleText m = CutConsoleText(text);
    QTEST(m.header, "header");
    QTEST(m.command, "command");
    QTEST(m.sender, "sender");
    QTEST(m.payload, "payload");
}

void TestConsoleMessage::renderForLog_data()
{
    addColumns<QByteArray, QByteArray>("text", "log");
    QTest::newRow("frame") << QByteArray("client:\x01" "CMIND VRX \x02hi\x04")
                           << QByteArray("client:[SOH]CMIND VRX [STX]hi[EOT]");
    QTest::newRow("CR removed, LF shown") << QByteArray("a\r\nb\rc") << QByteArray("a[LF]bc");
    QTest::newRow("the whole table") << QByteArray("\x01\x02\x04\x08\x0a\x0b\x0c\x10\x11\x12\x13\x14\x15\x16\x17")
                                     << QByteArray("[SOH][STX][EOT][BS][LF][ERL][ERP][DLE][DC1][DC2][DC3][DC4][DC5]"
                                                   "[SYN][ETB]");
    QTest::newRow("others left as they are") << QByteArray("\x03\x05\x06\x07\x09\x0e\x0f\x18\x1b\x7f\xff")
                                             << QByteArray("\x03\x05\x06\x07\x09\x0e\x0f\x18\x1b\x7f\xff");
    QTest::newRow("labels are not relabelled") << QByteArray("[SOH]\x01") << QByteArray("[SOH][SOH]");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestConsoleMessage::renderForLog()
{
    QFETCH(QByteArray, text);
    QTEST(RenderForLog(text), "log");
}

void TestConsoleMessage::codePage_data()
{
    addColumns<QByteArray, QString>("bytes", "text");
    QTest::newRow("ascii") << QByteArray("Ana 6.5") << QStringLiteral("Ana 6.5");
    QTest::newRow("names") << QByteArray("\x8A\x8E\x9A\x9E\x8C\x9C\x9F", 7)
                           << QStringLiteral(u"\u0160\u017D\u0161\u017E\u0152\u0153\u0178");
    QTest::newRow("quotes, dashes, euro") << QByteArray("\x93\x94\x96\x97\x80", 5)
                                          << QStringLiteral(u"\u201C\u201D\u2013\u2014\u20AC");
    QTest::newRow("undefined stay") << QByteArray("\x81\x8D\x8F\x90\x9D", 5)
                                    << QStringLiteral(u"\u0081\u008D\u008F\u0090\u009D");
    QTest::newRow("latin-1 half") << QByteArray("\xE9\xFC\xA0", 3) << QStringLiteral(u"\u00E9\u00FC\u00A0");
}

void TestConsoleMessage::codePage()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeConsoleText(bytes), text);
    bool exact = false;
    QCOMPARE(EncodeConsoleText(text, &exact), bytes);
    QVERIFY(exact);
}

void TestConsoleMessage::codePageLossy()
{
    bool exact = true;
    QCOMPARE(EncodeConsoleText(QStringLiteral(u"Zo\u00EB \u4E2D\u0100"), &exact), QByteArray("Zo\xEB ??"));
    QVERIFY(!exact);
}

void TestConsoleMessage::fields_data()
{
    addColumns<QByteArray, char, QByteArray, QByteArray>("text", "terminator", "before", "rest");
    QTest::newRow("present") << QByteArray("a\x11" "b\x12") << char(0x11) << QByteArray("a") << QByteArray("b\x12");
    QTest::newRow("absent") << QByteArray("a\x12") << char(0x11) << QByteArray() << QByteArray("a\x12");
    QTest::newRow("first of two") << QByteArray("a^b^") << '^' << QByteArray("a") << QByteArray("b^");
    QTest::newRow("at the start") << QByteArray("\x13z") << char(0x13) << QByteArray() << QByteArray("z");
    QTest::newRow("empty") << QByteArray() << char(0x14) << QByteArray() << QByteArray();
}

void TestConsoleMessage::fields()
{
    QFETCH(QByteArray, text);
    QFETCH(char, terminator);
    QTEST(FieldBefore(text, terminator), "before");
    QTEST(RestAfter(text, terminator), "rest");
}

void TestConsoleMessage::commandOf_data()
{
    addColumns<QByteArray, int>("code", "command");
    const char *codes[] = {"CC", "CD", "TP", "CE", "CM", "IP", "CN", "CS", "XX", "AI", "DI", "PR", "FS", "EI", "TX"};
    for (int i = 0; i < 15; ++i) {
        const QByteArray c(codes[i]);
        QTest::addRow("%s", codes[i]) << c << i + 1;
        QTest::addRow("%s lower", codes[i]) << c.toLower() << i + 1;
    }
    QTest::newRow("mixed case") << QByteArray("aI") << int(InboundCommand::AI);
    QTest::newRow("empty") << QByteArray() << int(InboundCommand::None);
    QTest::newRow("one letter") << QByteArray("C") << int(InboundCommand::None);
    QTest::newRow("outbound only") << QByteArray("SD") << int(InboundCommand::None);
    // Only A to Z fold: Latin-1 letters and neighbouring bytes do not.
    QTest::newRow("latin-1") << QByteArray("\xe1i") << int(InboundCommand::None);
    QTest::newRow("byte next to a") << QByteArray("`i") << int(InboundCommand::None);
    QTest::newRow("byte next to z") << QByteArray("{x") << int(InboundCommand::None);
}

void TestConsoleMessage::commandOf()
{
    QFETCH(QByteArray, code);
    QFETCH(int, command);
    QCOMPARE(int(InboundCommandOf(code)), command);
}

void TestConsoleMessage::handoffText_data()
{
    addColumns<QByteArray, QByteArray>("received", "handed");
    QTest::newRow("plain") << QByteArray("\x01" "CMIND VRX \x02hi") << QByteArray("\x01" "CMIND VRX \x02hi\x04");
    QTest::newRow("NUL cuts") << QByteArray("\x01" "CMIND VRX \x02" "ab\0cd", 16) << QByteArray("\x01" "CMIND VRX \x02" "ab\x04");
    QTest::newRow("NUL first") << QByteArray("\0abc", 4) << QByteArray("\x04");
    QTest::newRow("empty") << QByteArray() << QByteArray("\x04");
}

void TestConsoleMessage::handoffText()
{
    QFETCH(QByteArray, received);
    QTEST(HandoffText(received), "handed");
}

// Chunks (an EOT written "|") fed one after another to a framer whose limit is 8 bytes; after
// each chunk every result is taken until NeedMore. TooLong is answered with dropOverlong() and
// noted "T" ("T+" when the EOT was already there); a message is noted "M:<text>", a drop "D<n>".
void TestConsoleMessage::eotFramer_data()
{
    addColumns<QStringList, QString>("chunks", "events");
    QTest::newRow("two in one chunk") << QStringList {"ab|cd|"} << "M:ab M:cd";
    QTest::newRow("split across chunks") << QStringList {"a", "b", "c|"} << "M:abc";
    QTest::newRow("empty message") << QStringList {"|"} << "M:";
    QTest::newRow("exactly the limit") << QStringList {"12345678|"} << "M:12345678";
    QTest::newRow("whole over-long message") << QStringList {"123456789|ok|"} << "T+ D10 M:ok";
    QTest::newRow("over-long, its EOT later") << QStringList {"123456789", "abc", "|ok|"}
                                              << "T D13 M:ok";
    QTest::newRow("at the limit with no EOT waits") << QStringList {"12345678", "|"} << "M:12345678";
}

void TestConsoleMessage::eotFramer()
{
    QFETCH(QStringList, chunks);
    QFETCH(QString, events);
    EotFramer framer(8);
    QStringList seen;
    for (QString chunk : chunks) {
        chunk.replace(QLatin1Char('|'), QChar(4));
        const QByteArray bytes = chunk.toLatin1();
        char *room = framer.reserve(bytes.size() + 16);
        std::memcpy(room, bytes.constData(), size_t(bytes.size()));
        framer.commit(bytes.size());
        for (int guard = 0; guard < 100; ++guard) {
            QByteArray text;
            const EotFramer::Result r = framer.next(text);
            if (r == EotFramer::Result::NeedMore)
                break;
            if (r == EotFramer::Result::Message)
                seen << "M:" + QString::fromLatin1(text);
            else if (r == EotFramer::Result::TooLong)
                seen << (framer.dropOverlong() ? "T+" : "T");
            else
                seen << "D" + QString::number(framer.droppedBytes());
        }
    }
    QCOMPARE(seen.join(' '), events);
    QCOMPARE(framer.pending(), 0);
}

QTEST_GUILESS_MAIN(TestConsoleMessage)
#include "tst_ConsoleMessage.moc"
