// The scoring model's transitions, scripted: what the page shows and which "SD" messages went
// out after each sequence of events.
#include "scoring/ScoringModel.h"
#include "DataColumns.h"

#include <QtTest>

namespace {

struct Outcome {
    QString stage;  // "keying", "red" or "green"
    QString score;
    QString title;
    QStringList sent;
    bool sendEnabled;
};

// Runs a script of space-separated events:
//   k6, kC, kX   score keys 6, Clear, ten      send, accept, cancel   the three actions
//   tx           a "TX" for this station       fs<text>               an "FS" for this judge
//   ai, ei, end  "AI", "EI", "EI" "END OF EVENT"                       link   the link changed
//   enter        entering the scoring screen   relinked, relinked-unsent   the same after a lost
//                                                link (a score that could not be sent)
Outcome run(const QString &script)
{
    ScoringModel m;
    QStringList sent;
    auto out = [&](const QString &score) {
        sent << score;
        m.scoreWritten(score);
    };
    for (const QString &e : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (e.startsWith(QLatin1String("fs")))
            m.finalScore(e.mid(2));
        else if (e == QLatin1String("kC"))
            m.applyKey(-1);
        else if (e == QLatin1String("kX"))
            m.applyKey(10);
        else if (e.startsWith(QLatin1Char('k')))
            m.applyKey(e.mid(1).toInt());
        else if (e == QLatin1String("send"))
            m.send();
        else if (e == QLatin1String("accept"))
            out(m.accept());
        else if (e == QLatin1String("cancel")) {
            QString zero;
            if (m.cancel(&zero))
                out(zero);
        } else if (e == QLatin1String("tx"))
            m.acknowledge();
        else if (e == QLatin1String("ai"))
            m.newAthlete();
        else if (e == QLatin1String("ei"))
            m.eventInformation(false);
        else if (e == QLatin1String("end"))
            m.eventInformation(true);
        else if (e == QLatin1String("link"))
            m.linkChanged();
        else if (e == QLatin1String("enter"))
            m.reconnected(false, false);
        else if (e == QLatin1String("relinked"))
            m.reconnected(true, false);
        else if (e == QLatin1String("relinked-unsent"))
            m.reconnected(true, true);
        else
            qFatal("unknown event %s", qPrintable(e));
        // The big digits are the score text whenever the panel is up.
        if (m.panelShown() && m.bigDigits() != m.score())
            qFatal("panel shows %s, score text is %s", qPrintable(m.bigDigits()), qPrintable(m.score()));
    }
    static const char *stages[] = {"keying", "red", "green"};
    return {QString::fromLatin1(stages[int(m.stage())]), m.score(), m.title(), sent, m.sendEnabled()};
}

const QString C = QStringLiteral("Score Confirmation");
const QString R = QStringLiteral("Received - Thank You");

} // namespace

class TestScoringModel : public QObject
{
    Q_OBJECT

private slots:
    void transitions_data()
    {
        addColumns<QString, QString, QString, QString, QStringList, bool>(
            "script", "stage", "score", "title", "sent", "sendEnabled");
        auto row = [](const char *name, const char *script, const char *stage, const char *score, const QString &title,
                      const QStringList &sent, bool sendEnabled) {
            QTest::newRow(name) << QString::fromLatin1(script) << QString::fromLatin1(stage)
                                << QString::fromLatin1(score) << title << sent << sendEnabled;
        };
        // The state table as written.
        row("keying, send", "k6 k6 send", "red", "6.5", C, {}, false);
        row("red, accept", "k6 k6 send accept", "red", "6.5", C, {"6.5"}, false);
        row("red, accept twice", "k6 k6 send accept accept", "red", "6.5", C, {"6.5", "6.5"}, false);
        row("red, tx", "k6 k6 send accept tx", "green", "6.5", R, {"6.5"}, false);
        row("red, cancel", "k6 k6 send accept cancel", "keying", "6.5", C, {"6.5"}, true);
        row("green, accept", "k6 k6 send accept tx accept", "green", "6.5", R, {"6.5", "6.5"}, false);
        row("green, cancel", "k6 k6 send accept tx cancel", "keying", "0.0", R, {"6.5", "0.0"}, true);
        row("green, ai", "k6 k6 send accept tx ai", "green", "6.5", C, {"6.5"}, false);
        row("keying, key", "k6 k6 send accept tx cancel k7", "keying", "7.0", C, {"6.5", "0.0"}, true);
        row("any, ei", "k6 k6 send accept tx ei", "keying", "6.5", R, {"6.5"}, true);
        row("any, end", "k6 k6 send accept tx end", "green", "6.5", R, {"6.5"}, false);
        row("end, then a key", "k6 end k5", "keying", "6.5", C, {}, true);
        row("any, enter", "k6 k6 send enter", "keying", "6.5", C, {}, true);
        // "TX" acknowledges only the score sent for this showing of the panel.
        row("tx while keying", "k6 k6 tx", "keying", "6.5", C, {}, true);
        row("tx while keying, then send", "k6 k6 accept tx send", "red", "6.5", C, {"6.5"}, false);
        row("tx before accept", "k6 k6 send tx", "red", "6.5", C, {}, false);
        row("late tx, new score not sent", "k6 k6 send accept cancel k8 send tx", "red", "8.0", C, {"6.5"}, false);
        row("late tx, new score sent", "k6 k6 send accept cancel k8 send accept tx", "red", "8.0", C,
            {"6.5", "8.0"}, false);
        row("late tx, then its own", "k6 k6 send accept cancel k8 send accept tx tx", "green", "8.0", R,
            {"6.5", "8.0"}, false);
        row("tx for the cancel's 0.0", "k6 k6 send accept tx cancel send tx", "red", "0.0", C, {"6.5", "0.0"}, false);
        row("red never reads received", "k6 k6 send accept tx cancel send", "red", "0.0", C, {"6.5", "0.0"}, false);
        row("tx from the link before", "k6 k6 send accept link tx", "red", "6.5", C, {"6.5"}, false);
        row("sent again on the new link", "k6 k6 send accept link send accept tx", "green", "6.5", R,
            {"6.5", "6.5"}, false);
        // After a lost link: red again only for a score that waited for its acknowledgement or
        // could not be sent; otherwise the keypad with the score text kept.
        row("relinked while keying", "k6 k6 relinked", "keying", "6.5", C, {}, true);
        row("relinked on red", "k6 k6 send relinked", "red", "6.5", C, {}, false);
        row("relinked on red, accepted", "k6 k6 send accept relinked", "red", "6.5", C, {"6.5"}, false);
        row("relinked on green", "k6 k6 send accept tx relinked", "keying", "6.5", R, {"6.5"}, true);
        row("relinked after a cancel's 0.0 failed", "k6 k6 send accept tx cancel relinked-unsent", "red", "0.0", C,
            {"6.5", "0.0"}, false);
        row("relinked, then its tx", "k6 k6 send accept relinked link accept tx", "green", "6.5", R,
            {"6.5", "6.5"}, false);
        row("connect on red without a loss", "k6 k6 send enter", "keying", "6.5", C, {}, true);
        // "FS" with another score puts it before the judge; with the same score, nothing.
        row("fs while keying", "k6 k6 fs9.0", "keying", "9.0", C, {}, true);
        row("fs same number while keying", "k6 k6 fs6.50", "keying", "6.50", C, {}, true);
        row("fs other on red", "k6 k6 send accept fs9.0", "keying", "9.0", C, {"6.5"}, true);
        row("fs other on green", "k6 k6 send accept tx fs9.0", "keying", "9.0", C, {"6.5"}, true);
        row("fs same on red", "k6 k6 send fs6.5", "red", "6.5", C, {}, false);
        row("fs same on green", "k6 k6 send accept tx fs6.5", "green", "6.5", R, {"6.5"}, false);
        row("fs same number on green", "k6 k6 send accept tx fs6.50", "green", "6.5", R, {"6.5"}, false);
        row("fs other at the end", "k6 k6 send accept tx end fs9.0", "keying", "9.0", C, {"6.5"}, false);
        row("fs other, then its tx", "k6 k6 send accept fs9.0 send tx", "red", "9.0", C, {"6.5"}, false);
    }

    void transitions()
    {
        QFETCH(QString, script);
        const Outcome o = run(script);
        QTEST(o.stage, "stage");
        QTEST(o.score, "score");
        QTEST(o.title, "title");
        QTEST(o.sent, "sent");
        QTEST(o.sendEnabled, "sendEnabled");
    }

    // Which closed links the judge is shown (and healed by one automatic reconnect).
    void reportsLoss_data()
    {
        addColumns<bool, bool, bool, bool>("onPurpose", "scoringPage", "endOfEvent", "reported");
        QTest::newRow("lost while scoring") << false << true << false << true;
        QTest::newRow("on the opening page") << false << false << false << false;
        QTest::newRow("let go on purpose") << true << true << false << false;
        QTest::newRow("after the end of the event") << false << true << true << false;
    }
    void reportsLoss()
    {
        QFETCH(bool, onPurpose);
        QFETCH(bool, scoringPage);
        QFETCH(bool, endOfEvent);
        ScoringModel m;
        m.eventInformation(endOfEvent);
        QTEST(m.reportsLoss(onPurpose, scoringPage), "reported");
    }

    void sameScore_data()
    {
        addColumns<QString, QString, bool>("a", "b", "same");
        QTest::newRow("same text") << "6.5" << "6.5" << true;
        QTest::newRow("trailing zero") << "6.50" << "6.5" << true;
        QTest::newRow("ten") << "10" << "10.0" << true;
        QTest::newRow("other half") << "6.0" << "6.5" << false;
        QTest::newRow("comma is no number") << "6,5" << "6.5" << false;
        QTest::newRow("empty and zero") << "" << "0.0" << false;
        QTest::newRow("two texts") << "abc" << "abd" << false;
    }

    void sameScore()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QTEST(ScoringModel::sameScore(a, b), "same");
    }

    // A server that never answers does not make the model grow without end.
    void unansweredAreBounded()
    {
        ScoringModel m;
        m.send();
        for (int i = 0; i < 3 * ScoringModel::kMaxUnanswered; ++i)
            m.scoreWritten(m.accept());
        QCOMPARE(m.unansweredCount(), ScoringModel::kMaxUnanswered);
    }
};

QTEST_GUILESS_MAIN(TestScoringModel)
#include "tst_scoringmodel.moc"
