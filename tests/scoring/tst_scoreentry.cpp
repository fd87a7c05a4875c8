// Score entry on the window: the keypad, the key map, the return to keying and the judge
// position label.
#include "Elements.h"
#include "Fakes.h"

#include "scoring/JudgePosition.h"
#include "scoring/ScoreConfirmation.h"
#include "scoring/ScoreEntry.h"
#include "screens/Unit_Main.h"
#include "DataColumns.h"

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

    void keypadTagsApplyTheirKeys()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        QTest::mouseClick(element<PictureButton>(form, "INDSCORE6"), Qt::LeftButton);
        QTest::mouseClick(element<PictureButton>(form, "INDSCORE6"), Qt::LeftButton);
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("6.5"));
        QTest::mouseClick(element<PictureButton>(form, "INDSCORE10"), Qt::LeftButton);
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("10.0"));
        QTest::mouseClick(element<PictureButton>(form, "INDSCOREClear"), Qt::LeftButton);
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("0.0"));
    }

    // The key map: which keys act on which page and in which panel state.
    void keyMap_data()
    {
        addColumns<int, bool, int, int, QString, bool>(
            "page", "confirming", "qtKey", "modifiers", "scoreAfter", "confirmingAfter");
        const int none = Qt::NoModifier;
        QTest::newRow("digit keying") << 1 << false << int(Qt::Key_7) << none << "7.0" << false;
        QTest::newRow("ctrl digit") << 1 << false << int(Qt::Key_7) << int(Qt::ControlModifier) << "7.0" << false;
        QTest::newRow("alt digit") << 1 << false << int(Qt::Key_7) << int(Qt::AltModifier) << "7.0" << false;
        QTest::newRow("made-up ^, no key code") << 1 << false << int(Qt::Key_AsciiCircum) << int(Qt::ShiftModifier) << "6.5" << false;
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
        SetScoreText(form.scoring, QStringLiteral("6.5"));
        if (confirming)
            ButtonSendScoreClick(form.scoring);
        form.SelectPage(page);
        QTest::keyClick(&form, Qt::Key(qtKey), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), scoreAfter);
        QCOMPARE(!element<Panel>(form, "ScoreConfirmMain")->isHidden(), confirmingAfter);
        QCOMPARE(form.currentPage(), page);
    }

    void keysReachTheWindowWhateverHasTheFocus()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        EnterScoringScreen(form.scoring);
        QTest::keyClick(element<QLineEdit>(form, "EditMessage"), Qt::Key_8);
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("8.0"));
        // Offered to the parents in turn, but applied once.
        QTest::keyClick(element<QLabel>(form, "ScoreEdit"), Qt::Key_8);
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("8.5"));
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
        SetScoreText(form.scoring, QStringLiteral("7.0"));
        ButtonSendScoreClick(form.scoring);
        form.state.Scoring.scoreWritten(form.state.Scoring.accept());  // as if sent on a link
        Acknowledge(form.scoring);
        QVERIFY(ScoreAcknowledged(form.scoring));
        EndOfEventState(form.scoring, QStringLiteral("END OF EVENT"));
        QVERIFY(!element<PictureButton>(form, "ButtonSendScore")->isEnabled());
        ApplyScoreKey(form.scoring, 3);
        QCOMPARE(element<QLabel>(form, "ScoreConfirmTitle")->text(), QStringLiteral("Score Confirmation"));
        QVERIFY(element<Panel>(form, "ScoreConfirmMain")->isHidden());
        QVERIFY(!element<Panel>(form, "PanelKeypad")->isHidden());
        QVERIFY(element<PictureButton>(form, "ButtonSendScore")->isEnabled());
        QCOMPARE(element<QLabel>(form, "ScoreEdit")->text(), QStringLiteral("3.0"));
    }

    void judgeLabelFollowsTheDiscipline()
    {
        TMainForm form(testPlatform());
        form.show();
        QTRY_VERIFY(form.startedUp());
        element<RadioGroup>(form, "ClientChoice")->setItemIndex(2);  // Judge 3
        form.state.JudgeCount = 11;
        EnterScoringScreen(form.scoring);
        QCOMPARE(element<QLabel>(form, "JudgeNum")->text(), QStringLiteral("J: 3"));
        element<RadioGroup>(form, "DisciplineSelection")->setItemIndex(1);  // the change handler updates the label
        QCOMPARE(element<QLabel>(form, "JudgeNum")->text(), QStringLiteral("E3.1"));
        form.state.JudgeCount = 7;
        UpdateJudgePositionLabel(form.scoring);
        QCOMPARE(element<QLabel>(form, "JudgeNum")->text(), QStringLiteral("S: 1"));
        form.state.JudgeCount = 8;
        UpdateJudgePositionLabel(form.scoring);
        QCOMPARE(element<QLabel>(form, "JudgeNum")->text(), QStringLiteral("S: 1"));
        // Changing the function does not update the label by itself.
        element<RadioGroup>(form, "ClientChoice")->setItemIndex(0);
        QCOMPARE(element<QLabel>(form, "JudgeNum")->text(), QStringLiteral("S: 1"));
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(TestScoreEntry)
#include "tst_scoreentry.moc"
