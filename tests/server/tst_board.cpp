// The live board: its state as JSON, and the page in a real browser (headless Chromium,
// driven over its DevTools protocol) following the event without being reloaded.

#include "ScriptedStation.h"

#include "link/ConsoleMessage.h"
#include "server/EventServer.h"
#include "server/board/Board.h"
#include "DataColumns.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QWebSocket>

#include <memory>

namespace {

const QByteArray kEvent = "event: Board Final\nkind: individual\njudges: 5\n"
                          "athlete: Anna Meyer | GER\ndive: 105B | 2.4 | 3m\n"
                          "athlete: Sofia Rossi | ITA\ndive: 107B | 3.1 | 3m\n";

QByteArray Get(const QUrl &url)
{
    QNetworkAccessManager net;
    std::unique_ptr<QNetworkReply> reply(net.get(QNetworkRequest(url)));
    return QTest::qWaitFor([&] { return reply->isFinished(); }, 10000) ? reply->readAll() : QByteArray();
}

// One page of a browser, over the DevTools protocol.
class DevTools
{
public:
    bool open(const QString &url)
    {
        QObject::connect(&socket_, &QWebSocket::textMessageReceived, &socket_, [this](const QString &m) {
            const QJsonObject o = QJsonDocument::fromJson(m.toUtf8()).object();
            if (o.contains("id"))
                replies_[o["id"].toInt()] = o;
        });
        socket_.open(QUrl(url));
        return QTest::qWaitFor([&] { return socket_.state() == QAbstractSocket::ConnectedState; }, 10000);
    }
    QJsonObject call(const QString &method, const QJsonObject &params = {})
    {
        const int id = ++serial_;
        socket_.sendTextMessage(QString::fromUtf8(
            QJsonDocument(QJsonObject{{"id", id}, {"method", method}, {"params", params}}).toJson(QJsonDocument::Compact)));
        if (!QTest::qWaitFor([&] { return replies_.contains(id); }, 10000))
            return {};
        return replies_.take(id)["result"].toObject();
    }
    QString text()
    {
        return call("Runtime.evaluate", {{"expression", "document.body.innerText"}})["result"].toObject()["value"].toString();
    }

private:
    QWebSocket socket_;
    int serial_ = 0;
    QHash<int, QJsonObject> replies_;
};

} // namespace

class TestBoard : public QObject
{
    Q_OBJECT
private slots:
    void stateShowsJudgesResultAndStandings();
    void noticesForTheOperator_data();
    void noticesForTheOperator();
    void pageFollowsTheEventInABrowser();
};

void TestBoard::stateShowsJudgesResultAndStandings()
{
    EventServer server(ParseEventFile(kEvent).event, LoopbackServerOptions());
    QVERIFY(server.listen());
    ScriptedStation j1(JudgeStationId(1)), j2(JudgeStationId(2));
    QVERIFY(j1.join(server.port()) && j1.waitForCount("DI", 1));
    QVERIFY(j2.join(server.port()) && j2.waitForCount("DI", 1));
    j2.send("CS", "Active 9 %");
    j1.send("SD", QByteArray("8.0") + ctl::DC1);
    QVERIFY(j1.waitForCount("TX", 1));
    j1.send("SD", QByteArray("0.0") + ctl::DC1);  // Cancel / Change
    QVERIFY(j1.waitForCount("TX", 2));
    j2.abort();
    QVERIFY(j1.waitFor([&] { return server.stations().size() == 1; }));

    QJsonObject s = BoardState(server, QDateTime::currentDateTime());
    QCOMPARE(s["event"].toString(), QStringLiteral("Board Final"));
    QVERIFY(s["dive"].toString().startsWith("Dive 1 of 2: round 1, start 1: Anna Meyer"));
    const QJsonArray judges = s["judges"].toArray();
    QCOMPARE(judges.size(), 5);
    QCOMPARE(judges[0].toObject()["link"].toString(), QStringLiteral("connected"));
    QCOMPARE(judges[0].toObject()["score"].toString(), QStringLiteral("8.0"));
    QVERIFY(judges[0].toObject()["changing"].toBool());
    QCOMPARE(judges[1].toObject()["link"].toString(), QStringLiteral("link lost"));
    QCOMPARE(judges[1].toObject()["battery"].toString(), QStringLiteral("9 %"));
    QVERIFY(judges[1].toObject()["batteryLow"].toBool());
    QCOMPARE(judges[2].toObject()["link"].toString(), QStringLiteral("no station"));
    QVERIFY(!s.contains("result"));

    for (int j = 2; j <= 5; ++j)
        QVERIFY(server.recordScore(j, "7.0"));  // 8.0 7.0 7.0 7.0 7.0: 21.0 x 2.4 = 50.40
    server.nextDive();
    s = BoardState(server, QDateTime::currentDateTime());
    QCOMPARE(s["result"].toObject()["points"].toString(), QStringLiteral("50.40"));
    QCOMPARE(s["result"].toObject()["athlete"].toString(), QStringLiteral("Anna Meyer"));
    QCOMPARE(s["standings"][0].toObject()["name"].toString(), QStringLiteral("Anna Meyer"));
    QCOMPARE(s["standings"][0].toObject()["total"].toString(), QStringLiteral("50.40"));
    QCOMPARE(s["standings"][1].toObject()["rank"].toInt(), 2);
}

void TestBoard::noticesForTheOperator_data()
{
    addColumns<QString, bool>("line", "notice");
    QTest::newRow("battery") << "WARNING: judge 2's battery is at 9 %" << true;
    QTest::newRow("second refused") << "J3 connects from 10.0.0.7:5000 while its station at 10.0.0.3:4000 (POOL-3) "
                                       "answers: the second station is refused and sent home" << true;
    QTest::newRow("taken over") << "J3's station at 10.0.0.3:4000 has not answered for 5 s: it counts as gone and "
                                   "the station at 10.0.0.7:5000 takes over" << true;
    QTest::newRow("cut off") << "J4 (10.0.0.4:4100) closed: it has left 900000 bytes unread for 5 s" << true;
    QTest::newRow("changing") << "judge 1 is changing (Cancel / Change on the station); 8.0 stands until the judge sends again" << true;
    QTest::newRow("message in") << "in  J1: [SOH]SDIND J1  [STX]8.0[DC1][EOT]" << false;
    QTest::newRow("score") << "judge 1 scores 8.0" << false;
}

void TestBoard::noticesForTheOperator()
{
    QFETCH(QString, line);
    QFETCH(bool, notice);
    QCOMPARE(IsBoardNotice(line), notice);
}

void TestBoard::pageFollowsTheEventInABrowser()
{
    const QString chromium = QStandardPaths::findExecutable("chromium");
    if (chromium.isEmpty())
        QSKIP("headless Chromium is not installed (scripts/setup.sh installs it)");
    EventServer server(ParseEventFile(kEvent).event, LoopbackServerOptions());
    QVERIFY(server.listen());
    Board board(server);
    QString error;
    QVERIFY2(board.listen(QHostAddress(QHostAddress::LocalHost), 0, &error), qPrintable(error));
    const QString url = QStringLiteral("http://127.0.0.1:%1/").arg(board.port());
    QVERIFY(Get(QUrl(url)).contains("<title>console-sim board</title>"));

    ScriptedStation j1(JudgeStationId(1)), j2(JudgeStationId(2));
    j1.answerLikeAStation = j2.answerLikeAStation = true;
    QVERIFY(j1.join(server.port()) && j1.waitForCount("DI", 1));
    QVERIFY(j2.join(server.port()) && j2.waitForCount("DI", 1));
    j2.send("CS", "Active 9 %");

    QTemporaryDir profile;
    QProcess browser;
    browser.setStandardErrorFile(QProcess::nullDevice());
    browser.setStandardOutputFile(QProcess::nullDevice());
    browser.start(chromium, {"--headless=new", "--no-sandbox", "--disable-gpu", "--no-first-run",
                             "--user-data-dir=" + profile.path(), "--remote-debugging-port=0",
                             "--window-size=1000,720", url});
    QVERIFY(browser.waitForStarted());
    const QString portFile = profile.filePath("DevToolsActivePort");
    QVERIFY2(QTest::qWaitFor([&] { return QFile(portFile).size() > 0; }, 30000), "the browser did not start");
    QFile f(portFile);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray devtoolsPort = f.readLine().trimmed();
    QString pageSocket;
    QVERIFY(QTest::qWaitFor([&] {
        for (const auto &v : QJsonDocument::fromJson(Get(QUrl("http://127.0.0.1:" + devtoolsPort + "/json/list"))).array()) {
            const QJsonObject t = v.toObject();
            if (t["type"].toString() == "page" && t["url"].toString() == url)
                pageSocket = t["webSocketDebuggerUrl"].toString();
        }
        return !pageSocket.isEmpty();
    }, 20000));
    DevTools page;
    QVERIFY(page.open(pageSocket));

    // The page shows the event live, then follows it without being loaded again.
    QVERIFY2(QTest::qWaitFor([&] { return page.text().contains("9 % LOW"); }, 20000), qPrintable(page.text()));
    QVERIFY(page.text().contains("Dive 1 of 2: round 1, start 1: Anna Meyer"));
    j1.send("SD", QByteArray("8.0") + ctl::DC1);
    QVERIFY(QTest::qWaitFor([&] { return page.text().contains("scored 8.0"); }, 10000));
    j2.abort();  // judge 2's link ends without "Off"
    QVERIFY(QTest::qWaitFor([&] { return page.text().contains("LINK LOST since"); }, 10000));
    QVERIFY(page.text().contains("WARNING: judge 2's link is lost"));  // among the notices
    for (int j = 2; j <= 5; ++j)
        QVERIFY(server.recordScore(j, "7.0"));
    QVERIFY(QTest::qWaitFor([&] { return page.text().contains("50.40"); }, 10000));
    QCOMPARE(board.viewers(), 1);

    const QString shot = qEnvironmentVariable("MARLO_BOARD_SCREENSHOT");
    if (!shot.isEmpty()) {
        const QByteArray png = QByteArray::fromBase64(page.call("Page.captureScreenshot", {{"format", "png"}})["data"].toString().toLatin1());
        QFile out(shot);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(png) == png.size());
    }
    browser.kill();
    browser.waitForFinished(10000);
}

QTEST_MAIN(TestBoard)
#include "tst_board.moc"
