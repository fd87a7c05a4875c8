// The Linux battery source, on a stand-in power-supply folder.

#include "platform/PowerStatus.h"
#include "DataColumns.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// "name/attribute=value" entries; a value of "-" makes the attribute unreadable (a folder).
void makeSupplies(const QString &root, const QStringList &entries)
{
    for (const QString &e : entries) {
        const QString path = root + QLatin1Char('/') + e.section(QLatin1Char('='), 0, 0);
        const QString value = e.section(QLatin1Char('='), 1);
        QDir().mkpath(QFileInfo(path).path());
        if (value == QLatin1String("-")) {
            QDir().mkpath(path);
            continue;
        }
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(value.toLatin1());
    }
}

} // namespace

class TestPowerStatus : public QObject
{
    Q_OBJECT

private slots:
    void sysfs_data();
    void sysfs();
    void missingFolderIsNoBattery();
};

void TestPowerStatus::sysfs_data()
{
    addColumns<QStringList, bool, int>("entries", "succeeds", "percent");

    QTest::newRow("no supplies") << QStringList{} << true << 255;
    QTest::newRow("mains only") << QStringList{"AC/type=Mains\n", "AC/online=1\n"} << true << 255;
    QTest::newRow("battery") << QStringList{"AC/type=Mains\n", "BAT0/type=Battery\n", "BAT0/capacity=87\n"} << true
                             << 87;
    QTest::newRow("empty battery") << QStringList{"BAT0/type=Battery\n", "BAT0/capacity=0\n"} << true << 0;
    QTest::newRow("full battery") << QStringList{"BAT0/type=Battery", "BAT0/capacity=100"} << true << 100;
    QTest::newRow("two batteries, mean")
        << QStringList{"BAT0/type=Battery\n", "BAT0/capacity=87\n", "BAT1/type=Battery\n", "BAT1/capacity=40\n"}
        << true << 64;
    QTest::newRow("mouse battery ignored")
        << QStringList{"hid-mouse/type=Battery\n", "hid-mouse/scope=Device\n", "hid-mouse/capacity=20\n"} << true
        << 255;
    QTest::newRow("empty bay ignored") << QStringList{"BAT1/type=Battery\n", "BAT1/present=0\n"} << true << 255;
    QTest::newRow("energy instead of capacity")
        << QStringList{"BAT0/type=Battery\n", "BAT0/energy_now=30000000\n", "BAT0/energy_full=60000000\n"} << true
        << 50;
    QTest::newRow("charge instead of capacity")
        << QStringList{"BAT0/type=Battery\n", "BAT0/charge_now=999\n", "BAT0/charge_full=1000\n"} << true << 100;
    QTest::newRow("unreadable capacity fails") << QStringList{"BAT0/type=Battery\n", "BAT0/capacity=-"} << false << 0;
    QTest::newRow("garbage capacity fails") << QStringList{"BAT0/type=Battery\n", "BAT0/capacity=lots\n"} << false
                                            << 0;
    QTest::newRow("no charge at all fails") << QStringList{"BAT0/type=Battery\n"} << false << 0;
    QTest::newRow("out of range fails") << QStringList{"BAT0/type=Battery\n", "BAT0/capacity=300\n"} << false << 0;
}

void TestPowerStatus::sysfs()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, succeeds);
    QFETCH(int, percent);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    makeSupplies(dir.path(), entries);
    auto power = makeSysfsPowerStatus(dir.path().toStdString());
    int got = -1;
    QCOMPARE(power->query(got), succeeds);
    if (succeeds)
        QCOMPARE(got, percent);
}

void TestPowerStatus::missingFolderIsNoBattery()
{
    QTemporaryDir dir;
    auto power = makeSysfsPowerStatus((dir.path() + QStringLiteral("/none")).toStdString());
    int got = -1;
    QVERIFY(power->query(got));
    QCOMPARE(got, 255);
}

QTEST_APPLESS_MAIN(TestPowerStatus)
#include "tst_power_status.moc"
