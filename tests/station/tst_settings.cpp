// Settings.ini without a window: a write that fails leaves the old file as it was, a large
// file loads in one pass, and a path that is not a regular file neither blocks nor is
// written through.
#include "station/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

const QByteArray kOld("[Display]\r\nTheme=dark\r\n\r\n[Diving]\r\nLeft=0\r\nTop=0\r\nWidth=1218\r\nHeight=805\r\n"
                      "LastIP=192.0.2.1\r\nWho=4\r\n\r\n");

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

// What a station would write: a long server entry, so that the content is larger than the
// old file.
StationSettings someSettings()
{
    StationSettings s;
    s.LastIP = QString(200, QLatin1Char('9'));
    s.Who = 7;
    return s;
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(QDir::setCurrent(dir_->path()));
    }
    void cleanup()
    {
        SetSafeWriteFaultForTests({});
        QDir::setCurrent(QDir::tempPath());
    }

    void failedWriteKeepsTheOldFile_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("a write fails part-way (disk full)") << "write";
        QTest::newRow("the sync to the disk fails") << "sync";
#ifndef _WIN32
        // A real failure of the system's write: the file-size limit, as a disk with little room.
        QTest::newRow("the file-size limit") << "rlimit";
#endif
    }
    void failedWriteKeepsTheOldFile()
    {
        QFETCH(QString, failure);
        const QString path = StationSettings::filePath();
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kOld);
        f.close();
        StationSettingsFile file;
        QCOMPARE(file.read().Who, 4);

        bool written = true;
        if (failure == QLatin1String("write") || failure == QLatin1String("sync")) {
            const SafeWriteStep step = failure == QLatin1String("write") ? SafeWriteStep::Write : SafeWriteStep::Sync;
            SetSafeWriteFaultForTests([step](SafeWriteStep s) { return s == step; });
            written = file.write(someSettings());
        }
#ifndef _WIN32
        if (failure == QLatin1String("rlimit")) {
            rlimit old {};
            QVERIFY(::getrlimit(RLIMIT_FSIZE, &old) == 0);
            const auto previous = std::signal(SIGXFSZ, SIG_IGN);
            rlimit small = old;
            small.rlim_cur = rlim_t(kOld.size());
            QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
            written = file.write(someSettings());
            ::setrlimit(RLIMIT_FSIZE, &old);
            std::signal(SIGXFSZ, previous);
        }
#endif
        QVERIFY(!written);
        QCOMPARE(readAll(path), kOld);
        // No temporary file is left behind.
        QCOMPARE(QDir(dir_->path()).entryList(QDir::Files | QDir::Hidden | QDir::System), QStringList {"Settings.ini"});

        // Once the disk takes it again, the same write goes through, other keys kept.
        SetSafeWriteFaultForTests({});
        QVERIFY(file.write(someSettings()));
        const QByteArray now = readAll(path);
        QVERIFY(now.startsWith("[Display]\r\nTheme=dark\r\n\r\n[Diving]\r\nLeft=0\r\n"));
        QVERIFY(now.endsWith("\r\nWho=7\r\n\r\n"));
    }

    // 2 MB of other keys around the station's own: read in one pass (the benchmark
    // bench_settings gives the time), found, and all kept by the write.
    void largeFileIsReadAndKept()
    {
        QByteArray big = "[Diving]\r\nWho=9\r\nLastIP=192.0.2.7\r\n";
        for (int s = 0; big.size() < 2 * 1024 * 1024; ++s) {
            big += "[Section" + QByteArray::number(s) + "]\r\n";
            for (int k = 0; k < 1000; ++k)
                big += "Key" + QByteArray::number(k) + "=value " + QByteArray::number(s * 1000 + k) + "\r\n";
        }
        QFile f(StationSettings::filePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(big);
        f.close();
        StationSettingsFile file;
        const StationSettings read = file.read();
        QCOMPARE(read.Who, 9);
        QCOMPARE(read.LastIP, QStringLiteral("192.0.2.7"));
        QVERIFY(file.write(someSettings()));
        IniFile again(StationSettings::filePath());
        QVERIFY(again.load());
        QCOMPARE(again.readString("Section41", "Key999", ""), QStringLiteral("value 41999"));
        QCOMPARE(again.readInteger("diving", "WHO", -1), 7);
    }

    // Not a regular file: read as absent at once (a FIFO would wait for a writer), and left
    // alone by the write, which says so and returns.
    void notARegularFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
#ifndef _WIN32
        QTest::newRow("FIFO") << "fifo";
#endif
    }
    void notARegularFile()
    {
        QFETCH(QString, kind);
        const QString path = StationSettings::filePath();
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(path));
#ifndef _WIN32
        else
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
#endif
        StationSettingsFile file;
        const StationSettings read = file.read();
        QCOMPARE(read.LastIP, QStringLiteral("This Computer"));
        QCOMPARE(read.Who, 0);
        QVERIFY(!file.write(someSettings()));
        const QFileInfo info(path);
        QVERIFY(info.exists() && !info.isFile());
    }

private:
    std::unique_ptr<QTemporaryDir> dir_;
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
