// The station's boxes: placed inside the screen's available area, centred on their window; long
// texts scroll inside; the buttons keep a finger's size; texts stay plain.

#include "screens/StationBox.h"
#include "DataColumns.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

class TestStationBox : public QObject
{
    Q_OBJECT

private slots:
    void placement_data()
    {
        addColumns<QSize, QRect, QRect, QRect>("box", "over", "area", "placed");
        QTest::newRow("centred on its window") << QSize(300, 200) << QRect(0, 0, 1218, 775) << QRect(0, 0, 1218, 775)
                                               << QRect(459, 287, 300, 200);
        QTest::newRow("window off to one side: kept inside")
            << QSize(300, 200) << QRect(1000, 600, 400, 400) << QRect(0, 0, 1218, 775) << QRect(918, 575, 300, 200);
        QTest::newRow("larger than the area: shrunk to it")
            << QSize(2000, 40000) << QRect(0, 0, 1218, 805) << QRect(0, 30, 1218, 745) << QRect(0, 30, 1218, 745);
    }
    void placement()
    {
        QFETCH(QSize, box);
        QFETCH(QRect, over);
        QFETCH(QRect, area);
        QFETCH(QRect, placed);
        QCOMPARE(stationbox::placeBox(box, over, area), placed);
    }

    void fitsTheScreen_data()
    {
        addColumns<int, QString, bool>("kind", "text", "scrolls");
        QString lines, words;
        for (int i = 1; i <= 3000; ++i)
            lines += QString::number(i) + u'\r';
        while (words.size() < 16000)
            words += QStringLiteral("the referee asks the judges to wait ");
        QTest::newRow("short") << int(TStationBox::Plain) << "Could not connect\rMake sure" << false;
        QTest::newRow("3,000 lines") << int(TStationBox::Error) << lines << true;
        QTest::newRow("16,000 characters of words") << int(TStationBox::Error) << words << true;
        QTest::newRow("one long word") << int(TStationBox::Error) << QString(5000, u'W') << true;
        QTest::newRow("question, markup stays text")
            << int(TStationBox::Question) << "<b>Press OK</b> to confirm you want to exit this program." << false;
    }
    void fitsTheScreen()
    {
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(bool, scrolls);
        TStationBox box(TStationBox::Kind(kind), text, nullptr);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QVERIFY2(area.contains(box.geometry()), qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
        QCOMPARE(box.windowTitle(), QStringLiteral("Marlo DV"));
        QList<QAbstractButton *> buttons{box.okButton()};
        if (kind == TStationBox::Question)
            buttons << box.cancelButton();
        for (QAbstractButton *b : buttons) {
            QVERIFY(b);
            QVERIFY(b->width() >= TStationBox::kButtonWidth && b->height() >= TStationBox::kButtonHeight);
            QVERIFY(box.rect().contains(b->geometry()));
        }
        QCOMPARE(box.textArea()->verticalScrollBar()->maximum() > 0, scrolls);
        QCOMPARE(box.textArea()->toPlainText(), QString(text).replace(u'\r', u'\n'));
    }
};

QTEST_MAIN(TestStationBox)
#include "tst_station_box.moc"
