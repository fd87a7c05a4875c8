// The score-key rules and the judge position texts, as pure functions.
#include "scoring/JudgePositionText.h"
#include "scoring/ScoreKeys.h"
#include "DataColumns.h"

#include <QtTest>

#include <limits>

namespace {

// "6 6 6" -> {6, 6, 6}; "10" is the ten key, "C" is Clear.
QList<int> keysOf(const QString &s)
{
    QList<int> keys;
    for (const QString &k : s.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        keys << (k == QLatin1String("C") ? -1 : k.toInt());
    return keys;
}

} // namespace

class TestScoreKeys : public QObject
{
    Q_OBJECT

private slots:
    // Each sequence starts from "0.0" with no zero presses.
    void workedSequences_data()
    {
        addColumns<QString, QStringList, int>("keys", "texts", "zeros");
        auto row = [](const char *keys, const QStringList &texts, int zeros) {
            QTest::newRow(keys) << QString::fromLatin1(keys) << texts << zeros;
        };
        row("6", {"6.0"}, 0);
        row("6 6", {"6.0", "6.5"}, 0);
        row("6 6 6", {"6.0", "6.5", "6.0"}, 0);
        row("9 9 9 9", {"9.0", "9.5", "9.0", "9.5"}, 0);
        row("6 5", {"6.0", "6.5"}, 0);
        row("6 7", {"6.0", "7.0"}, 0);
        row("6 0", {"6.0", "6.0"}, 1);
        row("6 0 5", {"6.0", "6.0", "6.5"}, 0);
        row("6 5 5", {"6.0", "6.5", "5.0"}, 0);
        row("6 5 8", {"6.0", "6.5", "8.0"}, 0);
        row("6 5 0", {"6.0", "6.5", "6.5"}, 1);
        row("1 0", {"1.0", "10.0"}, 0);
        row("1 0 0", {"1.0", "10.0", "10.0"}, 1);
        row("1 1", {"1.0", "1.5"}, 0);
        row("1 5", {"1.0", "1.5"}, 0);
        row("10", {"10.0"}, 0);
        row("10 5", {"10.0", "1.5"}, 0);
        row("10 7", {"10.0", "7.0"}, 0);
        row("0", {"0.0"}, 1);
        row("0 5", {"0.0", "0.5"}, 0);
        row("0 0", {"0.0", "0.5"}, 0);
        row("0 0 5", {"0.0", "0.5", "5.0"}, 0);
        row("0 0 0", {"0.0", "0.5", "0.5"}, 1);
        row("0 0 0 5", {"0.0", "0.5", "0.5", "5.0"}, 0);
        row("5", {"5.0"}, 0);
        row("5 5", {"5.0", "5.5"}, 0);
        row("5 5 5", {"5.0", "5.5", "5.0"}, 0);
        row("9 C", {"9.0", "0.0"}, 0);
        row("6 C 5", {"6.0", "0.0", "5.0"}, 0);
        // Beyond the worked table.
        row("6 0 0 0 5", {"6.0", "6.0", "6.0", "6.0", "6.5"}, 0);
        row("0 C 5", {"0.0", "0.0", "5.0"}, 0);
        row("10 0", {"10.0", "10.0"}, 1);
        row("2 2 2 2 2", {"2.0", "2.5", "2.0", "2.5", "2.0"}, 0);
    }
    void workedSequences()
    {
        QFETCH(QString, keys);
        QFETCH(QStringList, texts);
        QFETCH(int, zeros);
        ScoreKeyResult r{QStringLiteral("0.0"), 0};
        QStringList seen;
        for (int k : keysOf(keys)) {
            r = ApplyScoreKeyRules(r.text, r.zeroPressCount, k);
            seen << r.text;
        }
        QCOMPARE(seen, texts);
        QCOMPARE(r.zeroPressCount, zeros);
    }

    // Texts the server may place in ScoreEdit.
    void otherTexts_data()
    {
        addColumns<QString, int, int, QString, int>("text", "zeros", "key", "after", "zerosAfter");
        QTest::newRow("empty swallows a digit") << "" << 3 << 6 << "0.0" << 3;
        QTest::newRow("blanks swallow a digit") << "  \t" << 0 << 7 << "0.0" << 0;
        QTest::newRow("empty swallows ten") << "" << 0 << 10 << "0.0" << 0;
        QTest::newRow("empty, clear still clears") << "" << 4 << -1 << "0.0" << 0;
        QTest::newRow("ten then five") << "10.0" << 0 << 5 << "1.5" << 0;
        QTest::newRow("short text, five") << "7" << 0 << 5 << "7.5" << 0;
        QTest::newRow("two characters, five") << "X5" << 0 << 5 << "5.0" << 0;
        QTest::newRow("contains D.0") << "a3.0" << 0 << 3 << "3.5" << 0;
        QTest::newRow("server text, digit") << "8.25" << 0 << 4 << "4.0" << 0;
        QTest::newRow("zero on 0.0 with two before") << "0.0" << 1 << 0 << "0.5" << 0;
    }
    void otherTexts()
    {
        QFETCH(QString, text);
        QFETCH(int, zeros);
        QFETCH(int, key);
        QFETCH(QString, after);
        QFETCH(int, zerosAfter);
        const ScoreKeyResult r = ApplyScoreKeyRules(text, zeros, key);
        QCOMPARE(r.text, after);
        QCOMPARE(r.zeroPressCount, zerosAfter);
    }

    void zeroCountSaturates()
    {
        const ScoreKeyResult r = ApplyScoreKeyRules(QStringLiteral("6.0"), std::numeric_limits<int>::max(), 0);
        QCOMPARE(r.zeroPressCount, std::numeric_limits<int>::max());
    }

    void judgePositions_data()
    {
        addColumns<int, int, int>("discipline", "judges", "judge");
        QTest::addColumn<QString>("text");  // empty: unchanged
        const char *seven[] = {"E1.1", "E1.2", "S: 1", "S: 2", "S: 3", "S: 4", "S: 5", "", "", "", ""};
        const char *nine[] = {"E1.1", "E2.1", "E1.2", "E2.2", "S: 1", "S: 2", "S: 3", "S: 4", "S: 5", "", ""};
        const char *eleven[] = {"E1.1", "E2.1", "E3.1", "E1.2", "E2.2", "E3.2", "S: 1", "S: 2", "S: 3", "S: 4", "S: 5"};
        for (int j = 1; j <= 11; ++j) {
            QTest::addRow("synchro 7, judge %d", j) << 1 << 7 << j << QString::fromLatin1(seven[j - 1]);
            QTest::addRow("synchro 9, judge %d", j) << 1 << 9 << j << QString::fromLatin1(nine[j - 1]);
            QTest::addRow("synchro 11, judge %d", j) << 1 << 11 << j << QString::fromLatin1(eleven[j - 1]);
        }
        for (int n : {0, 5, 8, 10, 12, -7})
            QTest::addRow("synchro %d, judge 1", n) << 1 << n << 1 << QString();
        QTest::newRow("individual, judge 10") << 0 << 11 << 10 << "J: 10";
        QTest::newRow("individual, judge 1") << 0 << 5 << 1 << "J: 1";
        QTest::newRow("individual, any count") << 0 << 0 << 4 << "J: 4";
        QTest::newRow("no discipline") << -1 << 9 << 3 << "";
    }
    void judgePositions()
    {
        QFETCH(int, discipline);
        QFETCH(int, judges);
        QFETCH(int, judge);
        QFETCH(QString, text);
        const std::optional<QString> r = JudgePositionText(discipline, judges, judge);
        if (text.isEmpty())
            QVERIFY(!r.has_value());
        else
            QCOMPARE(r.value_or(QStringLiteral("<unchanged>")), text);
    }
};

QTEST_GUILESS_MAIN(TestScoreKeys)
#include "tst_scorekeys.moc"
