#include "server/Competition.h"
#include "server/Journal.h"
#include "DataColumns.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QByteArray kEvent = "event: Test Final\nkind: individual\njudges: 5\n"
                          "athlete: Anna Meyer | GER\ndive: 105B | 2.4 | 3m\ndive: 203B | 2.3 | 3m\n"
                          "athlete: Zoë \"Zo\" Li, Jr. | CHN\ndive: 107B | 3.1 | 3m\n";

EventDefinition Event(const QByteArray &text = kEvent)
{
    return ParseEventFile(text).event;
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
private slots:
    void entriesRoundTrip_data();
    void entriesRoundTrip();
    void journalOfAnotherEventIsRefused();
    void freshStartKeepsTheOldJournalAside();
    void resumeDropsALineCutShort();
    void resultsAsCsv();
};

void TestJournal::entriesRoundTrip_data()
{
    addColumns<QByteArray, bool>("line", "valid");
    QTest::newRow("station score") << QByteArray("score 0 3 15 station") << true;
    QTest::newRow("operator score") << QByteArray("score 12 11 0 operator") << true;
    QTest::newRow("filled score") << QByteArray("score 2 5 20 filled") << true;
    QTest::newRow("next") << QByteArray("next 4") << true;
    QTest::newRow("repeat") << QByteArray("repeat 0") << true;
    QTest::newRow("end") << QByteArray("end 7") << true;
    QTest::newRow("score out of range") << QByteArray("score 0 3 21 station") << false;
    QTest::newRow("judge 12") << QByteArray("score 0 12 10 station") << false;
    QTest::newRow("unknown source") << QByteArray("score 0 3 10 somebody") << false;
    QTest::newRow("cut short") << QByteArray("score 0 3") << false;
    QTest::newRow("unknown word") << QByteArray("skip 3") << false;
}

void TestJournal::entriesRoundTrip()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, valid);
    const auto e = ParseJournalEntry(line);
    QCOMPARE(e.has_value(), valid);
    if (e)
        QCOMPARE(FormatJournalEntry(*e), line);
}

void TestJournal::journalOfAnotherEventIsRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(Journal::kFileName);
    {
        Journal j;
        QString keptAs, error;
        QVERIFY(j.startFresh(path, Event(), &keptAs, &error));
        QVERIFY(j.append({JournalEntry::Kind::Next, 0}, &error));
    }
    // The same event reads back; another one (a dive changed) is refused, by name.
    QVERIFY(ReadJournal(ReadAll(path), Event()).ok);
    QCOMPARE(ReadJournal(ReadAll(path), Event()).entries.size(), 1);
    QByteArray other = kEvent;
    other.replace("107B | 3.1", "107B | 3.2");
    const JournalContent refused = ReadJournal(ReadAll(path), Event(other));
    QVERIFY(!refused.ok);
    QCOMPARE(refused.error, QStringLiteral("it belongs to another event (\"Test Final\"), or the event file has changed since"));
    QVERIFY(!ReadJournal("hello\n", Event()).ok);

    Journal j;
    JournalContent content;
    QString error;
    QVERIFY(!j.resume(path, Event(other), &content, &error));
    QVERIFY2(error.startsWith("cannot resume from the journal "), qPrintable(error));
    QVERIFY(!j.resume(dir.filePath("none.journal"), Event(), &content, &error));
}

void TestJournal::freshStartKeepsTheOldJournalAside()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(Journal::kFileName);
    QStringList kept;
    for (int run = 0; run < 3; ++run) {
        Journal j;
        QString keptAs, error;
        QVERIFY(j.startFresh(path, Event(), &keptAs, &error));
        QVERIFY(j.append({JournalEntry::Kind::Score, 0, 1, run, JournalEntry::Source::Station}, &error));
        QCOMPARE(keptAs.isEmpty(), run == 0);
        if (!keptAs.isEmpty())
            kept << keptAs;
    }
    // Each earlier run is kept, named after its time, never overwritten (two in one second
    // get a number).
    QCOMPARE(kept.size(), 2);
    QVERIFY(kept[0] != kept[1]);
    for (const QString &k : kept)
        QVERIFY2(QFileInfo(k).fileName().contains(QRegularExpression("^console-sim-\\d{8}-\\d{6}(-\\d)?\\.journal$")),
                 qPrintable(k));
    QVERIFY(ReadAll(kept[0]).endsWith("score 0 1 0 station\n"));
    QVERIFY(ReadAll(kept[1]).endsWith("score 0 1 1 station\n"));
    QVERIFY(ReadAll(path).endsWith("score 0 1 2 station\n"));
}

void TestJournal::resumeDropsALineCutShort()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(Journal::kFileName);
    QString keptAs, error;
    {
        Journal j;
        QVERIFY(j.startFresh(path, Event(), &keptAs, &error));
        QVERIFY(j.append({JournalEntry::Kind::Score, 0, 1, 16, JournalEntry::Source::Station}, &error));
    }
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::Append));
        f.write("score 0 2 1");  // stopped while writing
    }
    Journal j;
    JournalContent content;
    QVERIFY2(j.resume(path, Event(), &content, &error), qPrintable(error));
    QVERIFY(content.tornLastLine);
    QCOMPARE(content.entries.size(), 1);
    QVERIFY(j.append({JournalEntry::Kind::Next, 0}, &error));
    QVERIFY(ReadAll(path).endsWith("\nscore 0 1 16 station\nnext 0\n"));
}

void TestJournal::resultsAsCsv()
{
    Competition c(Event());
    c.start();
    const int first[] = {13, 14, 15, 16, 12};  // 6.5 7.0 7.5 8.0 6.0: 21.0 x 2.4 = 50.40
    for (int j = 1; j <= 5; ++j)
        QVERIFY(c.setScore(j, first[j - 1]));
    QVERIFY(c.advance());
    // Not complete: not in the results.
    QVERIFY(c.setScore(1, 10));
    const QByteArray header = "dive,round,start,athlete,team,dive number,dd,J1,J2,J3,J4,J5,points,total\n";
    QCOMPARE(ResultsCsv(c), header + "1,1,1,Anna Meyer,GER,105B,2.4,6.5,7.0,7.5,8.0,6.0,50.40,50.40\n");
    for (int j = 1; j <= 5; ++j)
        QVERIFY(c.setScore(j, 10));  // 15.0 x 3.1 = 46.50
    QCOMPARE(ResultsCsv(c).split('\n').value(2),
             QByteArray("2,1,2,\"Zoë \"\"Zo\"\" Li, Jr.\",CHN,107B,3.1,5.0,5.0,5.0,5.0,5.0,46.50,46.50"));
}

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
