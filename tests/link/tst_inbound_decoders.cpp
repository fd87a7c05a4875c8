// The fields of each message from the event server, as its decoder takes them apart. What a
// handler does with them on the screens is tst_inbound's.
#include "link/InboundDecoders.h"
#include "DataColumns.h"

#include <QtTest>

namespace {

const QByteArray DC1("\x11"), DC2("\x12"), DC3("\x13"), DC4("\x14"), STX("\x02");

const QString k9Blanks(9, QLatin1Char(' '));

} // namespace

class TestInboundDecoders : public QObject
{
    Q_OBJECT

private slots:
    // "AI": round-start, athlete, club.
    void athlete_data()
    {
        addColumns<QByteArray, QStringList>("payload", "fields");  // round, start, athlete, club
        QTest::newRow("12-3") << "12-3" + DC1 + "Jane Diver" + DC2 + "Pool Club" + DC3
                              << QStringList{"12", "3", "Jane Diver", "Pool Club"};
        QTest::newRow("3-12") << "3-12" + DC1 + "A" + DC2 + "B" + DC3 << QStringList{"3", "12", "A", "B"};
        QTest::newRow("1-3") << "1-3" + DC1 + "A" + DC2 + "B" + DC3 << QStringList{"1", "3", "A", "B"};
        QTest::newRow("7") << "7" + DC1 + "A" + DC2 + "B" + DC3 << QStringList{"", "", "A", "B"};
        QTest::newRow("3-1-2") << "3-1-2" + DC1 + "A" + DC2 + "B" + DC3 << QStringList{"3", "2", "A", "B"};
        QTest::newRow("no terminators") << QByteArray("12-3") << QStringList{"", "", "", ""};
        QTest::newRow("no DC3") << "1-2" + DC1 + "Ann" + DC2 + "Club" << QStringList{"1", "2", "Ann", ""};
        QTest::newRow("empty") << QByteArray() << QStringList{"", "", "", ""};
    }
    void athlete()
    {
        QFETCH(QByteArray, payload);
        const AthleteInfo a = DecodeAthlete(payload);
        QTEST((QStringList{a.round, a.start, a.athlete, a.club}), "fields");
    }

    // "DI": dive, difficulty, height, description; nothing is trimmed.
    void dive_data()
    {
        addColumns<QByteArray, QStringList>("payload", "fields");  // dive, difficulty, height, description
        QTest::newRow("full") << "105B" + DC1 + "2.4" + DC2 + "3m" + DC3 + "Forward 2 1/2 somersaults pike" + DC4
                              << QStringList{"105B", "2.4", "3m", "Forward 2 1/2 somersaults pike"};
        QTest::newRow("nothing trimmed") << " 105B " + DC1 + " 2.4" + DC2 + "3m " + DC3 + " x " + DC4
                                         << QStringList{" 105B ", " 2.4", "3m ", " x "};
        QTest::newRow("no terminators") << QByteArray("105B") << QStringList{"", "", "", ""};
        QTest::newRow("no DC4") << "1" + DC1 + "2" + DC2 + "3" + DC3 + "desc" << QStringList{"1", "2", "3", ""};
    }
    void dive()
    {
        QFETCH(QByteArray, payload);
        const DiveInfo d = DecodeDive(payload);
        QTEST((QStringList{d.dive, d.difficulty, d.height, d.description}), "fields");
    }

    // "PR": the order right-aligned in 3 characters, three lines in 9.
    void scoreboard_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("texts");  // order, line 1, 2, 3
        QTest::newRow("start order 5") << "5" + DC1 + "66.50^T 183.20^RANK 2" + DC2
                                       << QStringList{"  5", "    66.50", " T 183.20", "   RANK 2"};
        QTest::newRow("long lines cut") << " 123456 " + DC1 + "  1234567890123  ^a^b" + DC2
                                        << QStringList{"123", "123456789", "        a", "        b"};
        QTest::newRow("no separators") << "12" + DC1 + "only" + DC2 << QStringList{" 12", k9Blanks, k9Blanks, "     only"};
        QTest::newRow("no DC2") << "4" + DC1 + "a^b^c" << QStringList{"  4", k9Blanks, k9Blanks, k9Blanks};
        QTest::newRow("no terminators") << QByteArray("5") << QStringList{"   ", k9Blanks, k9Blanks, k9Blanks};
    }
    void scoreboard()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, texts);
        const ScoreboardInfo b = DecodeScoreboard(payload);
        QCOMPARE(QStringList({b.order, b.lines[0], b.lines[1], b.lines[2]}), texts);
    }

    // "XX": a lead character (or everything up to STX and the one after it), then the scores,
    // each ended by "^", as they stand.
    void panelScores_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QStringList>("scores");  // the first ones; the rest of the eleven are empty
        QTest::newRow("five") << QByteArray("#6.5^7.0^7.5^8.0^6.0^") << QStringList{"6.5", "7.0", "7.5", "8.0", "6.0"};
        QTest::newRow("last ^ missing") << QByteArray("#6.5^7.0^7.5^8.0^6.0") << QStringList{"6.5", "7.0", "7.5", "8.0"};
        QTest::newRow("lead after STX") << "ab" + STX + "Z1.0^2.0^3.0^" << QStringList{"1.0", "2.0", "3.0"};
        QTest::newRow("texts unchanged") << QByteArray("x 9.5 ^abc^") << QStringList{" 9.5 ", "abc"};
        QTest::newRow("no scores") << QByteArray("#") << QStringList{};
        QTest::newRow("empty") << QByteArray() << QStringList{};
        QTest::newRow("beyond eleven") << QByteArray("#1^2^3^4^5^6^7^8^9^10^11^12^13^")
                                       << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"};
    }
    void panelScores()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QStringList, scores);
        while (scores.size() < kPanelScoreCount)
            scores << QString();
        QCOMPARE(DecodePanelScores(payload), scores);
    }

    // "EI": discipline, event, judge count. A count that is not a whole number leaves the
    // discipline and the event decoded.
    void event_data()
    {
        addColumns<QByteArray, QByteArray, bool>("discipline", "countField", "individual");
        QTest::addColumn<int>("count");  // -1: no count
        QTest::addColumn<QString>("countText");
        // The discipline.
        QTest::newRow("IND") << QByteArray("IND") << QByteArray("7") << true << 7 << "7";
        QTest::newRow("IND with a blank") << QByteArray("IND ") << QByteArray("7") << false << 7 << "7";
        QTest::newRow("ind") << QByteArray("ind") << QByteArray("7") << false << 7 << "7";
        QTest::newRow("SYNC") << QByteArray("SYNC") << QByteArray("7") << false << 7 << "7";
        QTest::newRow("no discipline") << QByteArray() << QByteArray("7") << false << 7 << "7";
        // The judge count.
        QTest::newRow("blanks around") << QByteArray("SYNC") << QByteArray("  9 ") << false << 9 << "9";
        QTest::newRow("controls around") << QByteArray("SYNC") << QByteArray("\x01" "11\t") << false << 11 << "11";
        QTest::newRow("zero") << QByteArray("SYNC") << QByteArray("0") << false << 0 << "0";
        QTest::newRow("x") << QByteArray("SYNC") << QByteArray("x") << false << -1 << "x";
        QTest::newRow("no count") << QByteArray("IND") << QByteArray() << true << -1 << "";
        QTest::newRow("decimal") << QByteArray("SYNC") << QByteArray(" 7.0 ") << false << -1 << "7.0";
        QTest::newRow("too large") << QByteArray("SYNC") << QByteArray("2147483648") << false << -1 << "2147483648";
    }
    void event()
    {
        QFETCH(QByteArray, discipline);
        QFETCH(QByteArray, countField);
        QFETCH(bool, individual);
        QFETCH(int, count);
        QFETCH(QString, countText);
        const EventInfo e = DecodeEvent(discipline + DC1 + "Men 3m" + DC2 + countField + DC3);
        QCOMPARE(e.individual, individual);
        QCOMPARE(e.event, QStringLiteral("Men 3m"));
        QCOMPARE(e.judgeCount.has_value(), count >= 0);
        if (count >= 0)
            QCOMPARE(*e.judgeCount, count);
        QCOMPARE(e.judgeCountText, countText);
    }

    // A count without its DC3 is no count; an event without its DC2 is empty.
    void eventTerminators_data()
    {
        addColumns<QByteArray, QString>("payload", "event");
        QTest::newRow("no DC3") << "IND" + DC1 + "Men 3m" + DC2 + "7" << "Men 3m";
        QTest::newRow("no DC2") << "IND" + DC1 + "Men 3m" << "";
        QTest::newRow("no terminators") << QByteArray("IND") << "";
    }
    void eventTerminators()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, event);
        const EventInfo e = DecodeEvent(payload);
        QCOMPARE(e.event, event);
        QVERIFY(!e.judgeCount.has_value());
        QCOMPARE(e.judgeCountText, QString());
    }

    // "FS": function number, score. The number is taken as it stands; the score is trimmed.
    void finalScore_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<int>("function");  // -1: no number
        addColumns<QString, QString>("functionText", "score");
        QTest::newRow("judge 3") << "3" + DC1 + " 7.5 " + DC2 << 3 << "3" << "7.5";
        QTest::newRow("leading blanks") << "  3" + DC1 + "8.0" + DC2 << 3 << "  3" << "8.0";
        QTest::newRow("judge 4") << "4" + DC1 + "7.5" + DC2 << 4 << "4" << "7.5";
        QTest::newRow("not a number") << "x" + DC1 + "7.5" + DC2 << -1 << "x" << "7.5";
        QTest::newRow("trailing blank") << "3 " + DC1 + "7.5" + DC2 << -1 << "3 " << "7.5";
        QTest::newRow("no DC2") << "3" + DC1 + "7.5" << 3 << "3" << "";
        QTest::newRow("no DC1") << QByteArray("3") << -1 << "" << "";
    }
    void finalScore()
    {
        QFETCH(QByteArray, payload);
        QFETCH(int, function);
        QFETCH(QString, functionText);
        QFETCH(QString, score);
        const FinalScoreInfo f = DecodeFinalScore(payload);
        QCOMPARE(f.function.has_value(), function >= 0);
        if (function >= 0)
            QCOMPARE(*f.function, function);
        QCOMPARE(f.functionText, functionText);
        QCOMPARE(f.score, score);
    }

    // "TX": the station identifier before DC1, exactly as sent.
    void receivedStation_data()
    {
        addColumns<QByteArray, QString>("payload", "station");
        QTest::newRow("J3") << "J3  " + DC1 << "J3  ";
        QTest::newRow("without the blanks") << "J3" + DC1 << "J3";
        QTest::newRow("J4") << "J4  " + DC1 << "J4  ";
        QTest::newRow("lower case") << "j3  " + DC1 << "j3  ";
        QTest::newRow("no DC1") << QByteArray("J3  ") << "";
    }
    void receivedStation()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, station);
        QCOMPARE(DecodeReceivedStation(payload), station);
    }

    // Text fields are Windows-1252; the LED labels' fields keep one character per byte.
    void codePage()
    {
        const QByteArray name("\x8A" "arka \x96\x80\x81");
        const QString shown = QStringLiteral("Šarka –€") + QChar(0x81);
        QCOMPARE(DecodeAthlete("1-1" + DC1 + name + DC2 + name + DC3).athlete, shown);
        QCOMPARE(DecodeDive(name + DC1 + "2.0" + DC2 + "1m" + DC3 + name + DC4).description, shown);
        QCOMPARE(DecodeEvent("IND" + DC1 + name + DC2 + "5" + DC3).event, shown);
        QCOMPARE(DecodeFinalScore("1" + DC1 + name + DC2).score, shown);
        QCOMPARE(DecodePanelScores("x" + name + "^").first(), QString::fromLatin1(name));
        QCOMPARE(DecodeScoreboard("1" + DC1 + name + DC2).lines[2], QString::fromLatin1(name));
    }
};

QTEST_GUILESS_MAIN(TestInboundDecoders)
#include "tst_inbound_decoders.moc"
