// The station's session with the world around it, end to end: the real binary in its own X
// server, ended by signals while linked or while a box waits for an answer, and athletes'
// names in the event servers' code page on the screen and back on the wire.
#include "E2eHarness.h"

#include "link/ConsoleMessage.h"
#include "screens/Layout.h"
#include "widgets/Fonts.h"

#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QtTest>

#include <csignal>

using namespace e2e;

namespace {

// Screen places of the design layout at 1218 x 805 (page area at (5, 131), the Opening page's
// panel under its 26-pixel strip).
constexpr int kOpeningX = 5, kOpeningY = 157;
const QPoint kConnectButton(kOpeningX + 14 + 113, kOpeningY + 104 + 42);
// "Judge 3": the first column's third row of the function group at (248, 16).
const QPoint kJudge3(kOpeningX + 248 + 8 + 40, kOpeningY + 16 + 24 + 2 * 109 + 54);
// The athlete's label: band 2 (43 high under band 1), after the 100-pixel start order.
const QRect kAthleteLabel(5 + 100, 5 + 40, 608, 43);

QStringList commands(const ScriptedServer &server)
{
    QStringList out;
    for (const QByteArray &m : server.messages()) {
        const ConsoleText t = CutConsoleText(m + ctl::EOT);
        out << QString::fromLatin1(t.command + ' ' + t.payload).replace(QChar(0x11), QStringLiteral("<DC1>"));
    }
    return out;
}

QByteArray readSettings(const QString &dir)
{
    QFile f(dir + QStringLiteral("/Settings.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The dark pixels of `image` inside `area`, cropped to their bounding box.
QImage inkOf(const QImage &image, const QRect &area)
{
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (qGray(image.pixel(x, y)) < 100)
                box |= QRect(x, y, 1, 1);
    QImage ink(box.size().expandedTo(QSize(1, 1)), QImage::Format_Mono);
    ink.fill(0);
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x)
            if (qGray(image.pixel(box.left() + x, box.top() + y)) < 100)
                ink.setPixel(x, y, 1);
    return ink;
}

// How much of two ink pictures of the same size agree (shared ink over all ink).
double overlap(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 0;
    int both = 0, either = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const bool p = a.pixelIndex(x, y), q = b.pixelIndex(x, y);
            both += p && q;
            either += p || q;
        }
    return either ? double(both) / either : 0;
}

} // namespace

class TestE2eSession : public Suite
{
    Q_OBJECT

private slots:
    // A shutdown while linked: the server is told that the station leaves, the settings keep
    // the chosen judge, and the station ends with status 0.
    void signalWhileLinked_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
        QTest::newRow("SIGHUP") << int(SIGHUP);
    }
    void signalWhileLinked()
    {
        QFETCH(int, signal);
        Session s(dir_->path());
        QVERIFY(s.up());
        click(s.x, kJudge3.x(), kJudge3.y());
        QVERIFY(s.connect(QStringLiteral("CC Judge 3")));
        QVERIFY(s.station.signal(signal));
        QVERIFY(s.station.waitForExit(10000));
        QCOMPARE(s.station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(s.station.exitCode(), 0);
        QTRY_COMPARE(commands(s.server).mid(1), QStringList({"CS Off", "IP "}));
        QCOMPARE(s.server.messages().last() + ctl::EOT, QByteArray("\x01IPIND J3  \x02\x04"));
        const QByteArray ini = readSettings(dir_->path());
        QVERIFY2(ini.startsWith("[Diving]\r\nLeft=0\r\nTop=0\r\nWidth=1218\r\nHeight=805\r\nLastIP=This Computer\r\nWho=2\r\n"),
                 ini.constData());
    }

    // An error box from the server is open: nobody answers it; the shutdown closes it and
    // goes on.
    void signalWithABoxOpen()
    {
        Session s(dir_->path());
        QVERIFY(s.up());
        QVERIFY(s.connect(QStringLiteral("CC Judge 1")));
        s.server.send("CE", "Please wait for the referee");
        QTRY_VERIFY_WITH_TIMEOUT(s.station.windowTitled(QStringLiteral("Marlo DV")), 10000);
        QVERIFY(s.station.signal(SIGTERM));
        QVERIFY(s.station.waitForExit(10000));
        QCOMPARE(s.station.exitStatus(), QProcess::NormalExit);
        QCOMPARE(s.station.exitCode(), 0);
        QTRY_COMPARE(commands(s.server).mid(1), QStringList({"CS Off", "IP "}));
        QVERIFY(readSettings(dir_->path()).contains("Height=805\r\nLastIP=This Computer\r\nWho=0\r\n"));
    }

    // Two signals before the first is handled (held back while the process is stopped): the
    // second ends the station at once with 128 + its number.
    void secondSignalEndsAtOnce()
    {
        Session s(dir_->path());
        QVERIFY(s.up());
        QVERIFY(s.station.signal(SIGSTOP));
        QVERIFY(s.station.signal(SIGINT));
        QVERIFY(s.station.signal(SIGTERM));
        QVERIFY(s.station.signal(SIGCONT));
        QVERIFY(s.station.waitForExit(10000));
        QCOMPARE(s.station.exitStatus(), QProcess::NormalExit);
        QVERIFY2(s.station.exitCode() == 128 + SIGTERM || s.station.exitCode() == 128 + SIGINT,
                 qPrintable(QString::number(s.station.exitCode())));
    }

    // The X server goes away under the station: the settings kept current are written and the
    // server is told that the station left before the process ends.
    void displayGoesAway()
    {
        Session s(dir_->path());
        QVERIFY(s.up());
        click(s.x, kJudge3.x(), kJudge3.y());
        QVERIFY(s.connect(QStringLiteral("CC Judge 3")));
        s.x.stop();
        QVERIFY(s.station.waitForExit(10000));
        QTRY_COMPARE(commands(s.server).mid(1), QStringList({"CS Off", "IP "}));
        QVERIFY2(readSettings(dir_->path()).contains("Width=1218\r\nHeight=805\r\nLastIP=This Computer\r\nWho=2\r\n"),
                 readSettings(dir_->path()).constData());
    }

    // Windows-1252 letters of a name are drawn as those letters; a score text placed by the
    // server goes back byte for byte.
    void codePageOnScreenAndWire()
    {
        Session s(dir_->path());
        QVERIFY(s.up());
        QVERIFY(s.connect(QStringLiteral("CC Judge 1")));
        const QByteArray name("\x8Apela \x8E" "agar\x96\x8Ao\x9Atar \x9F\x9C");
        s.server.send("AI", QByteArray("1/7") + ctl::DC1 + name + ctl::DC2 + "Ljubljana" + ctl::DC3);
        const QString shown = QStringLiteral(" Špela Žagar–Šoštar Ÿœ");

        // The same text in the same font as the label fits it, drawn here; and, to show that
        // the comparison tells them apart, the bytes read as Latin-1.
        auto drawn = [&](const QString &text) {
            const int pixels = pointsToPixels(fittedPointSize(text, kAthleteLabel.width()));
            QImage image(kAthleteLabel.size(), QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter p(&image);
            p.setFont(designFont(QStringLiteral("Verdana"), pixels, true));
            p.setPen(Qt::black);
            p.drawText(image.rect().adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignVCenter, text);
            p.end();
            return inkOf(image, image.rect().adjusted(3, 3, -3, -3));
        };
        const QImage want = drawn(shown);
        const QImage latin1 = drawn(QLatin1Char(' ') + QString::fromLatin1(name));
        const QRect inside = kAthleteLabel.adjusted(3, 3, -3, -3);
        double agreement = 0;
        QImage got;
        const bool matched = QTest::qWaitFor([&] {
            got = inkOf(screenshot(s.x), inside);
            agreement = overlap(got, want);
            return agreement > 0.9;
        }, 10000);
        QVERIFY2(matched, qPrintable(QStringLiteral("ink %1x%2, expected %3x%4, agreement %5")
                                                 .arg(got.width()).arg(got.height())
                                                 .arg(want.width()).arg(want.height()).arg(agreement)));
        QVERIFY(overlap(got, latin1) < 0.9);

        // "FS" places this judge's score text; Enter, Enter sends it as it came.
        const QByteArray score("7\x96\x80\x81\x8A");
        s.server.send("FS", QByteArray("1") + ctl::DC1 + score + ctl::DC2);
        s.server.send("TP", QByteArray());  // answered once the score text is placed
        QTRY_COMPARE(commands(s.server).size(), 2);
        key(s.x, QStringLiteral("Return"));
        key(s.x, QStringLiteral("Return"));
        QTRY_COMPARE(s.server.messages().size(), 4);
        QCOMPARE(s.server.messages().at(2) + ctl::EOT, FrameConsoleMessage("SD", "IND ", "J1  ", score + ctl::DC1));
    }

private:
    struct Session {
        explicit Session(const QString &dir) : dir(dir), station(x) {}
        bool up() { return x.start(1218, 805) && server.listen() && station.start(dir) && station.waitForOpeningPage(); }
        bool connect(const QString &cc)
        {
            click(x, kConnectButton.x(), kConnectButton.y());
            return QTest::qWaitFor([&] { return commands(server).value(0) == cc; }, 10000);
        }
        QString dir;
        XServer x;
        ScriptedServer server;
        Station station;
    };
};

int main(int argc, char **argv)
{
    return runSuite<TestE2eSession>(argc, argv);
}

#include "tst_e2e_session.moc"
