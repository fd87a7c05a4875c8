// Settings.ini of 480 KB (40,000 keys) and of 2 MB, all in the station's own section (the worst
// case for a key look-up that scans): the read at start and the write at close, in a
// temporary folder, median of 10 runs each, no window.
#include "station/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray settingsOf(qsizetype bytes, int *keys)
{
    QByteArray out = "[Diving]\r\n";
    int n = 0;
    while (out.size() < bytes) {
        out += "Key" + QByteArray::number(n) + "=" + QByteArray::number(n % 1000) + "\r\n";
        ++n;
    }
    out += "LastIP=192.0.2.1\r\nWho=3\r\n";
    *keys = n + 2;
    return out;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    for (const qsizetype size : {qsizetype(480 * 1024), qsizetype(2 * 1024 * 1024)}) {
        int keys = 0;
        const QByteArray content = settingsOf(size, &keys);
        std::vector<double> reads, writes;
        for (int run = 0; run < 10; ++run) {
            QFile f(StationSettings::filePath());
            if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
                return 1;
            f.close();
            StationSettingsFile file;
            QElapsedTimer clock;
            clock.start();
            const StationSettings s = file.read();
            reads.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (s.Who != 3)
                return 1;
            clock.restart();
            if (!file.write(s))
                return 1;
            writes.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::printf("Settings.ini %lld KB (%d keys in one section): read at start median %.1f ms, "
                    "written at close (synced to the disk) median %.1f ms (goal: well under 1 s)\n",
                    static_cast<long long>(content.size() / 1024), keys, median(reads), median(writes));
    }
    return 0;
}
