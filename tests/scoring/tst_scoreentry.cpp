// Score entry rules, the key map and the judge position label.
#include "Fakes.h"

#include "scoring/JudgePosition.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/Unit_Main.h"

#include <QKeyEvent>
#include <QTemporaryDir>
#include <QtTest>

namespace {

StationPlatform testPlatform()
{
    FakePlatform p;
    p.host->name = QStringLiteral("judge");
    p.host->address = QStringLiteral("127.0.0.1");
    return p;
}

// "6 6 6" -> {6, 6, 6}; "10" is the ten key, "C" is Clear.
QList<int> keysOf(const QString &s)
{
    QList<int> keys;
    for (const QString &k : s.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        keys << (k == QLatin1String("C") ? -1 : k.toInt());
    return keys;
}

} // namespace

class TestScoreEntry : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QDir::setCurrent(dir_.path());
    }

    // Each sequence starts from "0.0" with no zero presses.
    void workedSequences_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<int>("zeros");
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
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("zeros");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("zerosAfter");
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

    void keypadTagsApplyTheirKeys()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        QTest::mouseClick(form.INDSCORE[6], Qt::LeftButton);
        QTest::mouseClick(form.INDSCORE[6], Qt::LeftButton);
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("6.5"));
        QTest::mouseClick(form.INDSCORE[10], Qt::LeftButton);
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("10.0"));
        QTest::mouseClick(form.INDSCOREClear, Qt::LeftButton);
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("0.0"));
    }

    // The key map: which keys act on which page and in which panel state.
    void keyMap_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("confirming");
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("scoreAfter");
        QTest::addColumn<bool>("confirmingAfter");
        const int none = Qt::NoModifier;
        QTest::newRow("digit keying") << 1 << false << int(Qt::Key_7) << none << "7.0" << false;
        QTest::newRow("ctrl digit") << 1 << false << int(Qt::Key_7) << int(Qt::ControlModifier) << "7.0" << false;
        QTest::newRow("alt digit") << 1 << false << int(Qt::Key_7) << int(Qt::AltModifier) << "7.0" << false;
        QTest::newRow("shift 6 (^)") << 1 << false << int(Qt::Key_AsciiCircum) << int(Qt::ShiftModifier) << "6.0" << false;
        QTest::newRow("numpad digit") << 1 << false << int(Qt::Key_4) << int(Qt::KeypadModifier) << "4.0" << false;
        QTest::newRow("x") << 1 << false << int(Qt::Key_X) << none << "10.0" << false;
        QTest::newRow("shift x") << 1 << false << int(Qt::Key_X) << int(Qt::ShiftModifier) << "10.0" << false;
        QTest::newRow("esc clears") << 1 << false << int(Qt::Key_Escape) << none << "0.0" << false;
        QTest::newRow("enter sends") << 1 << false << int(Qt::Key_Return) << none << "6.5" << true;
        QTest::newRow("keypad enter sends") << 1 << false << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << "6.5" << true;
        QTest::newRow("other key keying") << 1 << false << int(Qt::Key_A) << none << "6.5" << false;
        QTest::newRow("digit confirming") << 1 << true << int(Qt::Key_7) << none << "6.5" << true;
        QTest::newRow("x confirming") << 1 << true << int(Qt::Key_X) << none << "6.5" << true;
        QTest::newRow("esc cancels") << 1 << true << int(Qt::Key_Escape) << none << "6.5" << false;
        QTest::newRow("enter accepts") << 1 << true << int(Qt::Key_Return) << none << "6.5" << true;
        QTest::newRow("digit on opening") << 0 << false << int(Qt::Key_7) << none << "6.5" << false;
        QTest::newRow("enter on opening") << 0 << false << int(Qt::Key_Return) << none << "6.5" << false;
        QTest::newRow("esc on opening") << 0 << false << int(Qt::Key_Escape) << none << "6.5" << false;
    }
    void keyMap()
    {
        QFETCH(int, page);
        QFETCH(bool, confirming);
        QFETCH(int, qtKey);
        QFETCH(int, modifiers);
        QFETCH(QString, scoreAfter);
        QFETCH(bool, confirmingAfter);
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        form.ScoreEdit->setText(QStringLiteral("6.5"));
        if (confirming)
            ButtonSendScoreClick(form.scoring);
        form.SelectPage(page);
        QTest::keyClick(&form, Qt::Key(qtKey), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(form.ScoreEdit->text(), scoreAfter);
        QCOMPARE(!form.ScoreConfirmMain->isHidden(), confirmingAfter);
        QCOMPARE(form.currentPage(), page);
    }

    void keysReachTheWindowWhateverHasTheFocus()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        QTest::keyClick(form.EditMessage, Qt::Key_8);
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("8.0"));
        // Offered to the parents in turn, but applied once.
        QTest::keyClick(form.ScoreEdit, Qt::Key_8);
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("8.5"));
    }

    void f9GoesHomeFromTheScoringPage()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        form.ReconnectTimer->start();
        QTest::keyClick(&form, Qt::Key_F9);
        QCOMPARE(form.currentPage(), 0);
        QVERIFY(!form.ReconnectTimer->isActive());
    }

    void scoreKeyReturnsToKeying()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        form.ScoreEdit->setText(QStringLiteral("7.0"));
        ButtonSendScoreClick(form.scoring);
        Acknowledge(form.scoring);
        EndOfEventState(form.scoring, QStringLiteral("END OF EVENT"));
        QVERIFY(!form.ButtonSendScore->isEnabled());
        ApplyScoreKey(form.scoring, 3);
        QCOMPARE(form.ScoreConfirmTitle->text(), QStringLiteral("Score Confirmation"));
        QVERIFY(form.ScoreConfirmMain->isHidden());
        QVERIFY(!form.PanelKeypad->isHidden());
        QVERIFY(form.ButtonSendScore->isEnabled());
        QCOMPARE(form.ScoreEdit->text(), QStringLiteral("3.0"));
    }

    void judgePositions_data()
    {
        QTest::addColumn<int>("discipline");
        QTest::addColumn<int>("judges");
        QTest::addColumn<int>("judge");
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

    void judgeLabelFollowsTheDiscipline()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        form.ClientChoice->setItemIndex(2);  // Judge 3
        form.state.JudgeCount = 11;
        EnterScoringScreen(form.scoring);
        QCOMPARE(form.JudgeNum->text(), QStringLiteral("J: 3"));
        form.DisciplineSelection->setItemIndex(1);  // the change handler updates the label
        QCOMPARE(form.JudgeNum->text(), QStringLiteral("E3.1"));
        form.state.JudgeCount = 7;
        UpdateJudgePositionLabel(form.scoring);
        QCOMPARE(form.JudgeNum->text(), QStringLiteral("S: 1"));
        form.state.JudgeCount = 8;
        UpdateJudgePositionLabel(form.scoring);
        QCOMPARE(form.JudgeNum->text(), QStringLiteral("S: 1"));
        // Changing the function does not update the label by itself.
        form.ClientChoice->setItemIndex(0);
        QCOMPARE(form.JudgeNum->text(), QStringLiteral("S: 1"));
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestScoreEntry)
#include "tst_scoreentry.moc"
