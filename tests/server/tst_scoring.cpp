#include "server/Competition.h"
#include "server/Scoring.h"
#include "DataColumns.h"

#include <QTest>

Q_DECLARE_METATYPE(EventKind)

namespace {

QVector<int> Half(std::initializer_list<double> scores)
{
    QVector<int> out;
    for (double s : scores)
        out.append(int(s * 2));
    return out;
}

} // namespace

class TestScoring : public QObject
{
    Q_OBJECT
private slots:
    void diveResult_data();
    void diveResult();
    void unsupportedPanels();
    void parseScore_data();
    void parseScore();
    void degreeOfDifficulty_data();
    void degreeOfDifficulty();
    void synchroPositions_data();
    void synchroPositions();
    void formatting();
};

void TestScoring::diveResult_data()
{
    addColumns<EventKind, QVector<int>, int, QByteArray>("kind", "scores", "dd", "points");
    QTest::addColumn<QString>("cancelled");  // x: the judge's score does not count

    // Individual, 5 judges: the highest and the lowest are cancelled.
    // 6.5 + 7.0 + 7.5 = 21.0; x 2.4 = 50.40
    QTest::newRow("ind 5") << EventKind::Individual << Half({6.5, 7.0, 7.5, 8.0, 6.0}) << 24 << QByteArray("50.40")
                           << "...xx";
    // Five equal scores: the first is cancelled as the lowest, the last as the highest.
    QTest::newRow("ind 5 equal") << EventKind::Individual << Half({7, 7, 7, 7, 7}) << 30 << QByteArray("63.00")
                                 << "x...x";
    QTest::newRow("ind 5 zero") << EventKind::Individual << Half({0, 0, 0, 0, 0}) << 30 << QByteArray("0.00")
                                << "x...x";
    // Individual, 7 judges: two highest and two lowest cancelled.
    // kept 8.0 + 8.5 + 8.0 = 24.5; x 3.1 = 75.95
    QTest::newRow("ind 7") << EventKind::Individual << Half({8.0, 8.5, 7.5, 9.0, 8.0, 7.0, 8.5}) << 31
                           << QByteArray("75.95") << "..xx.xx";
    // 10 + 10 + 10 = 30; x 3.6 = 108.00
    QTest::newRow("ind 7 tens") << EventKind::Individual << Half({10, 10, 10, 10, 10, 10, 10}) << 36
                                << QByteArray("108.00") << "xx...xx";
    // Synchro, 7 judges: E1.1 and E1.2 both count; of the five S the highest and lowest go.
    // 7.0 + 6.5 + (7.5 + 8.0 + 7.0) = 36.0; x 3.0 x 0.6 = 64.80
    QTest::newRow("syn 7") << EventKind::Synchro << Half({7.0, 6.5, 7.5, 8.0, 7.0, 8.5, 6.0}) << 30
                           << QByteArray("64.80") << ".....xx";
    // Synchro, 9 judges: the four E scores (J1 E1.1, J2 E2.1, J3 E1.2, J4 E2.2) lose their
    // highest and lowest together: 6.0 (J3) and 8.0 (J4), though both are the second diver's.
    // (7.0 + 7.5) + (7.0 + 7.5 + 7.5) = 36.5; x 3.1 x 0.6 = 67.89
    QTest::newRow("syn 9") << EventKind::Synchro << Half({7.0, 7.5, 6.0, 8.0, 7.0, 7.5, 7.5, 8.0, 6.5}) << 31
                           << QByteArray("67.89") << "..xx...xx";
    // Synchro, 11 judges: J1-J3 (E1.1, E2.1, E3.1) judge the first diver, J4-J6 (E1.2, E2.2,
    // E3.2) the second; each group keeps its middle score. S J7-J11 keep their middle three.
    // 7.5 + 6.5 + (7.0 + 7.5 + 8.0) = 36.5; x 3.4 x 0.6 = 74.46
    QTest::newRow("syn 11") << EventKind::Synchro
                            << Half({7.0, 7.5, 8.0, 6.0, 6.5, 9.0, 7.0, 7.5, 8.0, 8.5, 6.0}) << 34
                            << QByteArray("74.46") << "x.xx.x...xx";
    // 10 x 5 = 50; x 3.3 x 0.6 = 99.00
    QTest::newRow("syn 11 tens") << EventKind::Synchro << QVector<int>(11, 20) << 33 << QByteArray("99.00")
                                 << "x.xx.xx...x";
}

void TestScoring::diveResult()
{
    QFETCH(EventKind, kind);
    QFETCH(QVector<int>, scores);
    QFETCH(int, dd);
    QFETCH(QByteArray, points);
    QFETCH(QString, cancelled);

    const auto r = ComputeDiveResult(kind, scores, dd);
    QVERIFY(r);
    QCOMPARE(FormatPoints(r->hundredths), points);
    QString mask;
    for (bool c : r->cancelled)
        mask += c ? QLatin1Char('x') : QLatin1Char('.');
    QCOMPARE(mask, cancelled);
}

void TestScoring::unsupportedPanels()
{
    QVERIFY(!ComputeDiveResult(EventKind::Individual, QVector<int>(6, 10), 20));
    QVERIFY(!ComputeDiveResult(EventKind::Individual, QVector<int>(9, 10), 20));
    QVERIFY(!ComputeDiveResult(EventKind::Synchro, QVector<int>(5, 10), 20));
    QVERIFY(!ComputeDiveResult(EventKind::Synchro, QVector<int>(8, 10), 20));
    QVERIFY(!ComputeDiveResult(EventKind::Individual, {10, 10, 21, 10, 10}, 20));
    QCOMPARE(PanelRefusal(EventKind::Individual, 6), QStringLiteral("an individual event is judged by 5 or 7 judges, not 6"));
    QCOMPARE(PanelRefusal(EventKind::Synchro, 5), QStringLiteral("a synchro event is judged by 7, 9 or 11 judges, not 5"));
}

void TestScoring::parseScore_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("half");  // -1: refused
    QTest::newRow("6.5") << QByteArray("6.5") << 13;
    QTest::newRow("10.0") << QByteArray("10.0") << 20;
    QTest::newRow("0.0") << QByteArray("0.0") << 0;
    QTest::newRow("whole") << QByteArray("7") << 14;
    QTest::newRow("blanks") << QByteArray(" 7.5 ") << 15;
    QTest::newRow("zeros") << QByteArray("06.50") << 13;
    QTest::newRow("10.5") << QByteArray("10.5") << -1;
    QTest::newRow("11") << QByteArray("11") << -1;
    QTest::newRow("not half") << QByteArray("6.3") << -1;
    QTest::newRow("6.55") << QByteArray("6.55") << -1;
    QTest::newRow("negative") << QByteArray("-1") << -1;
    QTest::newRow("comma") << QByteArray("6,5") << -1;
    QTest::newRow("no decimals") << QByteArray("6.") << -1;
    QTest::newRow("no whole") << QByteArray(".5") << -1;
    QTest::newRow("empty") << QByteArray("") << -1;
    QTest::newRow("text") << QByteArray("abc") << -1;
    QTest::newRow("huge") << QByteArray("99999999999") << -1;
}

void TestScoring::parseScore()
{
    QFETCH(QByteArray, text);
    QFETCH(int, half);
    const auto s = ParseScore(text);
    QCOMPARE(s ? *s : -1, half);
    if (s)
        QCOMPARE(ParseScore(FormatScore(*s)), s);
}

void TestScoring::degreeOfDifficulty_data()
{
    addColumns<QByteArray, int>("text", "tenths");
    QTest::newRow("2.8") << QByteArray("2.8") << 28;
    QTest::newRow("3") << QByteArray("3") << 30;
    QTest::newRow("3.00") << QByteArray("3.00") << 30;
    QTest::newRow("2.85") << QByteArray("2.85") << -1;
    QTest::newRow("0") << QByteArray("0") << -1;
    QTest::newRow("10") << QByteArray("10") << -1;
    QTest::newRow("x") << QByteArray("x") << -1;
}

void TestScoring::degreeOfDifficulty()
{
    QFETCH(QByteArray, text);
    QFETCH(int, tenths);
    const auto dd = ParseDegreeOfDifficulty(text);
    QCOMPARE(dd ? *dd : -1, tenths);
}

void TestScoring::synchroPositions_data()
{
    addColumns<int, int, QByteArray>("judges", "judge", "text");
    QTest::newRow("7/1") << 7 << 1 << QByteArray("E1.1");
    QTest::newRow("7/2") << 7 << 2 << QByteArray("E1.2");
    QTest::newRow("7/3") << 7 << 3 << QByteArray("S: 1");
    QTest::newRow("7/7") << 7 << 7 << QByteArray("S: 5");
    QTest::newRow("9/2") << 9 << 2 << QByteArray("E2.1");
    QTest::newRow("9/3") << 9 << 3 << QByteArray("E1.2");
    QTest::newRow("9/5") << 9 << 5 << QByteArray("S: 1");
    QTest::newRow("9/10") << 9 << 10 << QByteArray();
    QTest::newRow("11/3") << 11 << 3 << QByteArray("E3.1");
    QTest::newRow("11/4") << 11 << 4 << QByteArray("E1.2");
    QTest::newRow("11/6") << 11 << 6 << QByteArray("E3.2");
    QTest::newRow("11/7") << 11 << 7 << QByteArray("S: 1");
    QTest::newRow("11/11") << 11 << 11 << QByteArray("S: 5");
    QTest::newRow("5/1") << 5 << 1 << QByteArray();
}

void TestScoring::synchroPositions()
{
    QFETCH(int, judges);
    QFETCH(int, judge);
    QFETCH(QByteArray, text);
    QCOMPARE(SynchroPositionText(judges, judge), text);
}

void TestScoring::formatting()
{
    QCOMPARE(FormatPoints(0), QByteArray("0.00"));
    QCOMPARE(FormatPoints(5), QByteArray("0.05"));
    QCOMPARE(FormatPoints(12345), QByteArray("123.45"));
    QCOMPARE(FormatScore(20), QByteArray("10.0"));
    QCOMPARE(FormatScore(13), QByteArray("6.5"));
    QCOMPARE(FormatDegreeOfDifficulty(30), QByteArray("3.0"));
    // Scoreboard lines hold at most 9 characters: the label goes first when space is short.
    QCOMPARE(ScoreboardLine("T", "50.40"), QByteArray("T 50.40"));
    QCOMPARE(ScoreboardLine("T", "1234.56"), QByteArray("T 1234.56"));
    QCOMPARE(ScoreboardLine("T", "12345.67"), QByteArray("12345.67"));
    QCOMPARE(ScoreboardLine("", "1234567890"), QByteArray("123456789"));
}

QTEST_APPLESS_MAIN(TestScoring)
#include "tst_scoring.moc"
