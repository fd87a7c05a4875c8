#pragma once

// Resident memory of this process (header only: the soak benchmark uses it too).

#include <QByteArray>
#include <QFile>
#include <QString>

// VmRSS in kB, or -1 when it cannot be read.
inline qint64 residentKb()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return -1;
}
