// The field rules of the inbound messages.
#include "link/ConsoleMessage.h"
#include "link/InboundFields.h"
#include "DataColumns.h"

#include <QtTest>

class TestInboundFields : public QObject
{
    Q_OBJECT

private slots:
    void roundAndStart_data()
    {
        addColumns<QString, QString, QString>("first", "round", "start");
        QTest::newRow("12-3") << "12-3" << "12" << "3";
        QTest::newRow("3-12") << "3-12" << "3" << "12";
        QTest::newRow("1-3") << "1-3" << "1" << "3";
        QTest::newRow("7") << "7" << "" << "";
        QTest::newRow("3-1-2") << "3-1-2" << "3" << "2";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("-5") << "-5" << "" << "";
        QTest::newRow("10-12") << "10-12" << "10" << "12";
    }
    void roundAndStart()
    {
        QFETCH(QString, first);
        QFETCH(QString, round);
        QFETCH(QString, start);
        const RoundAndStart r = splitRoundAndStart(first);
        QCOMPARE(r.round, round);
        QCOMPARE(r.start, start);
    }

    void padToWidth_data()
    {
        addColumns<QString, int, QString>("text", "n", "padded");
        QTest::newRow("short") << "5" << 3 << "  5";
        QTest::newRow("exact") << "123" << 3 << "123";
        QTest::newRow("long is cut after trimming") << "  1234567890  " << 9 << "123456789";
        QTest::newRow("controls trimmed") << QString::fromLatin1("\x01 42\t\x13") << 9 << "       42";
        QTest::newRow("inner blanks kept") << " 1 2 " << 5 << "  1 2";
        QTest::newRow("empty") << "" << 3 << "   ";
    }
    void padToWidth()
    {
        QFETCH(QString, text);
        QFETCH(int, n);
        QFETCH(QString, padded);
        QCOMPARE(PadToWidth(text, n), padded);
    }

    void wholeNumbers_data()
    {
        addColumns<QString, bool, int>("text", "ok", "value");
        QTest::newRow("plain") << "7" << true << 7;
        QTest::newRow("leading blanks") << "   11" << true << 11;
        QTest::newRow("leading tab") << "\t3" << true << 3;
        QTest::newRow("leading zeros") << "007" << true << 7;
        QTest::newRow("plus") << "+9" << true << 9;
        QTest::newRow("minus") << "-2" << true << -2;
        QTest::newRow("max") << "2147483647" << true << 2147483647;
        QTest::newRow("min") << "-2147483648" << true << int(-2147483648LL);
        QTest::newRow("over max") << "2147483648" << false << 0;
        QTest::newRow("under min") << "-2147483649" << false << 0;
        QTest::newRow("huge") << "99999999999999999999" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("blanks only") << "   " << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("trailing blank") << "7 " << false << 0;
        QTest::newRow("trailing text") << "7x" << false << 0;
        QTest::newRow("letter") << "x" << false << 0;
        QTest::newRow("decimal") << "7.0" << false << 0;
        QTest::newRow("hex") << "$1A" << false << 0;
        QTest::newRow("0x") << "0x1A" << false << 0;
        QTest::newRow("blank after sign") << "- 2" << false << 0;
        QTest::newRow("unicode digit") << QString::fromUtf8("\xd9\xa3") << false << 0;
    }
    void wholeNumbers()
    {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QFETCH(int, value);
        const std::optional<qint32> n = parseWholeNumber(text);
        QCOMPARE(n.has_value(), ok);
        if (ok)
            QCOMPARE(*n, value);
    }

    void errorText()
    {
        QCOMPARE(notAnIntegerMessage(QStringLiteral("x")), QStringLiteral("'x' is not a valid integer value."));
    }

    void fields()
    {
        QCOMPARE(FieldBefore(QStringLiteral("a^b"), QLatin1Char('^')), QStringLiteral("a"));
        QCOMPARE(FieldBefore(QStringLiteral("ab"), QLatin1Char('^')), QString());
        QCOMPARE(RestAfter(QStringLiteral("a^b^c"), QLatin1Char('^')), QStringLiteral("b^c"));
        QCOMPARE(RestAfter(QStringLiteral("abc"), QLatin1Char('^')), QStringLiteral("abc"));
    }
};

QTEST_GUILESS_MAIN(TestInboundFields)
#include "tst_inboundfields.moc"
