// The operator memos of the link: bounded lines, cut long lines, the bounded list of
// connected stations, and appends collected while messages arrive together.
#include "link/LinkMemos.h"
#include "DataColumns.h"

#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTest>

class TestLinkMemos : public QObject
{
    Q_OBJECT
private slots:
    void memoKeepsNewestLines();
    void memoCutsLongLines_data();
    void memoCutsLongLines();
    void connectedClientsBounded();
    void deferredAppends();
};

void TestLinkMemos::memoKeepsNewestLines()
{
    QPlainTextEdit memo;
    for (int i = 0; i < kMemoMaxLines + 10; ++i)
        AppendMemoLine(&memo, QStringLiteral("line %1").arg(i));
    QCOMPARE(memo.document()->blockCount(), kMemoMaxLines);
    QCOMPARE(memo.document()->firstBlock().text(), QStringLiteral("line 10"));
    QCOMPARE(memo.document()->lastBlock().text(), QStringLiteral("line %1").arg(kMemoMaxLines + 9));
}

void TestLinkMemos::memoCutsLongLines_data()
{
    addColumns<QString, QStringList>("text", "lines");
    const QString a2000(2000, u'a');
    const QString b3000(3000, u'b');
    const QString c80000(80000, u'c');
    QTest::newRow("exactly 2000") << a2000 << QStringList {a2000};
    QTest::newRow("3000") << b3000 << QStringList {QString(2000, u'b') + QStringLiteral(" [... 1000 more characters cut]")};
    QTest::newRow("80000") << c80000 << QStringList {QString(2000, u'c') + QStringLiteral(" [... 78000 more characters cut]")};
    QTest::newRow("each line of a chat text") << (b3000 + QStringLiteral("\r\nshort\n") + a2000 + u'x' + u'\r' + u'z')
                                              << QStringList {QString(2000, u'b') + QStringLiteral(" [... 1000 more characters cut]"),
                                                              QStringLiteral("short"),
                                                              a2000 + QStringLiteral(" [... 1 more characters cut]"),
                                                              QStringLiteral("z")};
}

void TestLinkMemos::memoCutsLongLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QPlainTextEdit memo;
    AppendMemoLine(&memo, QStringLiteral("first"));
    AppendMemoLine(&memo, text);
    QCOMPARE(memo.toPlainText(), QStringLiteral("first\n") + lines.join(u'\n'));
}

void TestLinkMemos::connectedClientsBounded()
{
    QListWidget list;
    for (int i = 0; i < kConnectedClientsMaxLines + 5; ++i)
        AppendBoundedListLine(&list, QStringLiteral("Judge %1").arg(i));
    QCOMPARE(list.count(), kConnectedClientsMaxLines);
    QCOMPARE(list.item(0)->text(), QStringLiteral("Judge 5"));
    QCOMPARE(list.item(list.count() - 1)->text(), QStringLiteral("Judge %1").arg(kConnectedClientsMaxLines + 4));
}

void TestLinkMemos::deferredAppends()
{
    QPlainTextEdit memo;
    AppendMemoLine(&memo, QStringLiteral("a"));
    {
        DeferMemoAppends outer {&memo};
        AppendMemoLine(&memo, QStringLiteral("b"));
        {
            DeferMemoAppends inner {&memo};
            AppendMemoLine(&memo, QStringLiteral("c\r\nd"));
        }
        QCOMPARE(memo.toPlainText(), QStringLiteral("a"));  // still collected
        // A modal box's event loop shows what has been collected so far.
        QTRY_COMPARE(memo.toPlainText(), QStringLiteral("a\nb\nc\nd"));
        AppendMemoLine(&memo, QStringLiteral("e"));
    }
    QCOMPARE(memo.toPlainText(), QStringLiteral("a\nb\nc\nd\ne"));
    QVERIFY(!memo.document()->isUndoAvailable());

    // Collected lines keep the bound too.
    {
        DeferMemoAppends flood {&memo};
        for (int i = 0; i < kMemoMaxLines * 2; ++i)
            AppendMemoLine(&memo, QStringLiteral("line %1").arg(i));
    }
    QCOMPARE(memo.document()->blockCount(), kMemoMaxLines);
    QCOMPARE(memo.document()->firstBlock().text(), QStringLiteral("line %1").arg(kMemoMaxLines));
    QCOMPARE(memo.document()->lastBlock().text(), QStringLiteral("line %1").arg(kMemoMaxLines * 2 - 1));
}

QTEST_MAIN(TestLinkMemos)
#include "tst_linkmemos.moc"
