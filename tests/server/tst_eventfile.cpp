#include "link/ConsoleMessage.h"
#include "server/Competition.h"
#include "server/EventFile.h"
#include "DataColumns.h"

#include <QTest>

namespace {

const QByteArray kTwoAthletes = "event: Test Final\n"
                                "kind: individual\n"
                                "judges: 5\n"
                                "athlete: Anna Meyer | GER\n"
                                "dive: 105B | 2.4 | 3m | Forward 2 1/2 somersaults pike\n"
                                "dive: 203B | 2.3 | 3m | Back 1 1/2 somersaults pike\n"
                                "athlete: Sofia Rossi | ITA\n"
                                "dive: 107B | 3.1 | 3m | Forward 3 1/2 somersaults pike\n";

QByteArray Replace(QByteArray text, const QByteArray &from, const QByteArray &to)
{
    return text.replace(from, to);
}

} // namespace

class TestEventFile : public QObject
{
    Q_OBJECT
private slots:
    void readsAnEvent();
    void refusesBadFiles_data();
    void refusesBadFiles();
    void textsForTheStations();
    void shippedAndBuiltInEvents();
    void competitionRunsRoundsInStartOrder();
    void competitionPayloads();
};

void TestEventFile::readsAnEvent()
{
    const auto r = ParseEventFile("# comment\r\n\r\n" + Replace(kTwoAthletes, "\n", "\r\n"));
    QVERIFY2(r.ok, qPrintable(r.errors.join('\n')));
    QCOMPARE(r.event.name, QByteArray("Test Final"));
    QCOMPARE(r.event.kind, EventKind::Individual);
    QCOMPARE(r.event.judges, 5);
    QCOMPARE(r.event.athletes.size(), 2);
    QCOMPARE(r.event.athletes[0].team, QByteArray("GER"));
    QCOMPARE(r.event.athletes[0].dives.size(), 2);
    const DiveSpec &d = r.event.athletes[0].dives[1];
    QCOMPARE(d.number, QByteArray("203B"));
    QCOMPARE(d.ddTenths, 23);
    QCOMPARE(d.height, QByteArray("3m"));
    QCOMPARE(d.description, QByteArray("Back 1 1/2 somersaults pike"));
    QCOMPARE(r.event.rounds(), 2);
    QCOMPARE(r.event.diveCount(), 3);

    const auto syn = ParseEventFile(Replace(Replace(kTwoAthletes, "individual", "SYNCHRO"), "judges: 5", "judges: 11"));
    QVERIFY(syn.ok);
    QCOMPARE(syn.event.kind, EventKind::Synchro);
    QCOMPARE(syn.event.judges, 11);
}

void TestEventFile::refusesBadFiles_data()
{
    addColumns<QByteArray, QString>("content", "error");

    QTest::newRow("individual 6") << Replace(kTwoAthletes, "judges: 5", "judges: 6")
                                  << "line 3: an individual event is judged by 5 or 7 judges, not 6";
    QTest::newRow("individual 9") << Replace(kTwoAthletes, "judges: 5", "judges: 9")
                                  << "line 3: an individual event is judged by 5 or 7 judges, not 9";
    QTest::newRow("synchro 5") << Replace(kTwoAthletes, "individual", "synchro")
                               << "line 3: a synchro event is judged by 7, 9 or 11 judges, not 5";
    QTest::newRow("synchro 8") << Replace(Replace(kTwoAthletes, "individual", "synchro"), "judges: 5", "judges: 8")
                               << "line 3: a synchro event is judged by 7, 9 or 11 judges, not 8";
    QTest::newRow("judges not a number") << Replace(kTwoAthletes, "judges: 5", "judges: five")
                                         << "line 3: the number of judges must be a whole number, not \"five\"";
    QTest::newRow("no judges") << Replace(kTwoAthletes, "judges: 5\n", "")
                               << "the event has no number of judges (\"judges: ...\")";
    QTest::newRow("no name") << Replace(kTwoAthletes, "event: Test Final\n", "")
                             << "the event has no name (\"event: ...\")";
    QTest::newRow("end of event") << Replace(kTwoAthletes, "Test Final", "END OF EVENT")
                                  << "line 1: \"END OF EVENT\" ends scoring on the stations and cannot be an event's name";
    QTest::newRow("kind") << Replace(kTwoAthletes, "individual", "team")
                          << "line 2: kind must be \"individual\" or \"synchro\", not \"team\"";
    QTest::newRow("twice") << "kind: individual\n" + kTwoAthletes << "line 3: \"kind\" is given twice";
    QTest::newRow("unknown key") << kTwoAthletes + "colour: blue\n"
                                 << "line 9: unknown key \"colour\" (known: event, kind, judges, athlete, dive)";
    QTest::newRow("no colon") << kTwoAthletes + "just words\n" << "line 9: expected \"key: value\", found \"just words\"";
    QTest::newRow("dive first") << Replace(kTwoAthletes, "judges: 5\n", "judges: 5\ndive: 101A | 1.4 | 1m | x\n")
                                << "line 4: a dive must follow its athlete";
    QTest::newRow("bad dd") << Replace(kTwoAthletes, "| 2.4 |", "| 2.45 |")
                            << "line 5: the degree of difficulty must be a number above 0 and below 10 with at most "
                               "one decimal, such as 2.8, not \"2.45\"";
    QTest::newRow("dive fields") << Replace(kTwoAthletes, "105B | 2.4 | 3m | Forward", "105B")
                                 << "line 5: a dive is \"number | degree of difficulty | height | description\"";
    QTest::newRow("athlete without dives") << kTwoAthletes + "athlete: Emma Clark | GBR\n"
                                           << "Emma Clark has no dives (\"dive: number | degree of difficulty | "
                                              "height | description\" after the athlete)";
    QTest::newRow("no athletes") << QByteArray("event: E\nkind: individual\njudges: 5\n")
                                 << "the event has no athletes (\"athlete: name | team\")";
    QTest::newRow("long text") << Replace(kTwoAthletes, "Anna Meyer", QByteArray(201, 'a'))
                               << "line 4: the athlete's name is longer than 200 characters";
}

void TestEventFile::refusesBadFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, error);
    const auto r = ParseEventFile(content);
    QVERIFY(!r.ok);
    QVERIFY2(r.errors.contains(error), qPrintable(r.errors.join('\n')));
}

void TestEventFile::textsForTheStations()
{
    // UTF-8 is turned into the stations' code page, Windows-1252 ("\u0160" is 0x8A there, the
    // quotes 0x93 and 0x94); what it cannot hold becomes "?" with a warning that names the
    // line, the field and the characters (an emoji is one "?"); control bytes (which would end
    // a message field) become blanks.
    const auto r = ParseEventFile(Replace(Replace(Replace(kTwoAthletes, "Anna Meyer", "J\xC3\xBCrgen \xC5\x81\x61\x64 \xC5\xA0"),
                                                  "GER", "G\tE\x11R"),
                                          "Sofia Rossi", "\xE2\x80\x9CSofia\xE2\x80\x9D \xF0\x9F\x98\x80"));
    QVERIFY(r.ok);
    QCOMPARE(r.event.athletes[0].name, QByteArray("J\xFCrgen ?ad \x8A"));
    QCOMPARE(r.event.athletes[0].team, QByteArray("G E R"));
    QCOMPARE(r.event.athletes[1].name, QByteArray("\x93Sofia\x94 ?"));
    QCOMPARE(r.warnings.size(), 2);
    QCOMPARE(r.warnings[0], QStringLiteral("line 4: the athlete's name has characters that the stations' code page "
                                           "(Windows-1252) cannot hold: \"\u0141\"; they are shown as \"?\""));
    QVERIFY2(r.warnings[1].startsWith("line 7: the athlete's name") && r.warnings[1].contains(QString::fromUtf8("\xF0\x9F\x98\x80")),
             qPrintable(r.warnings[1]));

    // A file that is not UTF-8 is read as Windows-1252: 0x80 is the euro sign.
    const auto ansi = ParseEventFile(Replace(kTwoAthletes, "Anna Meyer", "J\xFCrgen \x80"));
    QVERIFY(ansi.ok);
    QVERIFY(ansi.warnings.isEmpty());
    QCOMPARE(ansi.event.athletes[0].name, QByteArray("J\xFCrgen \x80"));

    // A byte-order mark is not part of the first key.
    QVERIFY(ParseEventFile("\xEF\xBB\xBF" + kTwoAthletes).ok);
}

void TestEventFile::shippedAndBuiltInEvents()
{
    const auto demo = ParseEventFile(DemoEventText());
    QVERIFY2(demo.ok, qPrintable(demo.errors.join('\n')));
    QCOMPARE(demo.event.kind, EventKind::Individual);
    QVERIFY(demo.warnings.isEmpty());

    const QString path = QFINDTESTDATA("../../tools/console-sim/demo-event.txt");
    QVERIFY(!path.isEmpty());
    const auto shipped = LoadEventFile(path);
    QVERIFY2(shipped.ok, qPrintable(shipped.errors.join('\n')));
    QCOMPARE(shipped.event.kind, EventKind::Synchro);
    QVERIFY(shipped.warnings.isEmpty());

    const auto missing = LoadEventFile(QStringLiteral("/nonexistent/event.txt"));
    QVERIFY(!missing.ok);
    QVERIFY(missing.errors[0].startsWith("cannot read /nonexistent/event.txt"));
}

void TestEventFile::competitionRunsRoundsInStartOrder()
{
    // Round 1: Anna, Sofia; round 2: Anna only (Sofia has one dive).
    Competition c(ParseEventFile(kTwoAthletes).event);
    c.start();
    QVERIFY(!c.ended());
    QCOMPARE(c.round(), 1);
    QCOMPARE(c.startOrder(), 1);
    QVERIFY(c.advance());
    QCOMPARE(c.round(), 1);
    QCOMPARE(c.startOrder(), 2);
    QVERIFY(c.advance());
    QCOMPARE(c.round(), 2);
    QCOMPARE(c.startOrder(), 1);
    QCOMPARE(c.diveIndex(), 2);
    QVERIFY(!c.advance());
    QVERIFY(c.ended());
}

void TestEventFile::competitionPayloads()
{
    Competition c(ParseEventFile(kTwoAthletes).event);
    c.start();
    QCOMPARE(c.eiPayload(), QByteArray("IND\x11Test Final\x12" "5\x13"));
    QCOMPARE(c.endEiPayload(), QByteArray("IND\x11" "END OF EVENT\x12" "5\x13"));
    QCOMPARE(c.aiPayload(), QByteArray("1-1\x11" "Anna Meyer\x12GER\x13"));
    QCOMPARE(c.diPayload(), QByteArray("105B\x11" "2.4\x12" "3m\x13" "Forward 2 1/2 somersaults pike\x14"));

    const double scores[] = {6.5, 7.0, 7.5, 8.0, 6.0};
    for (int j = 1; j <= 5; ++j) {
        QVERIFY(!c.panelComplete());
        QVERIFY(c.setScore(j, int(scores[j - 1] * 2)));
    }
    QVERIFY(!c.setScore(6, 10));
    QVERIFY(c.panelComplete());
    QCOMPARE(c.xxPayload(), QByteArray("#6.5^7.0^7.5^8.0^6.0^"));
    QCOMPARE(c.prPayload(), QByteArray("1\x11" "50.40^T 50.40^RANK 1\x12"));

    // Sofia: 8.0 x 5 -> 24.0 x 3.1 = 74.40 puts her first, Anna second.
    QVERIFY(c.advance());
    for (int j = 1; j <= 5; ++j)
        c.setScore(j, 16);
    QCOMPARE(c.prPayload(), QByteArray("2\x11" "74.40^T 74.40^RANK 1\x12"));
    QCOMPARE(c.rank(0), 2);
    // Round 2, Anna: 7.0 x 3 = 21.0 x 2.3 = 48.30; total 98.70.
    QVERIFY(c.advance());
    QCOMPARE(c.aiPayload(), QByteArray("2-1\x11" "Anna Meyer\x12GER\x13"));
    for (int j = 1; j <= 5; ++j)
        c.setScore(j, 14);
    QCOMPARE(c.prPayload(), QByteArray("1\x11" "48.30^T 98.70^RANK 1\x12"));
    // A repeated dive starts with an empty panel.
    c.repeat();
    QCOMPARE(c.missingJudges(), (QVector<int>{1, 2, 3, 4, 5}));
    QCOMPARE(c.totalHundredths(0), 5040);
}

QTEST_APPLESS_MAIN(TestEventFile)
#include "tst_eventfile.moc"
