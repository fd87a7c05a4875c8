#pragma once

// The fake platform as the layout benchmark and the screenshot tool take it (header only: they
// do not link the test support library): the tests' FakePlatform on a screen of the given
// size, the host "judge-pc", no neighbour table, the battery not determinable until told
// otherwise, and the seams at hand as `platform`.

#include "Fakes.h"

#include <QRect>

struct LayoutPlatform : FakePlatform {
    StationPlatform platform;

    explicit LayoutPlatform(const QRect &screenGeometry = QRect(0, 0, 1218, 805)) : FakePlatform(screenGeometry)
    {
        host->name = QStringLiteral("judge-pc");
        power->percent = 255;
        platform = {host, nullptr, power, screen};
    }
};
