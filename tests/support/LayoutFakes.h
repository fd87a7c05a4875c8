#pragma once

// The platform fakes as the layout tests, the layout benchmark and the screenshot tool use
// them (header only: the benchmark and the tool do not link the test support library).

#include "Fakes.h"

#include <QRect>

// A fake platform on a screen of the given size, its battery not determinable until the
// test says otherwise.
struct LayoutPlatform {
    std::shared_ptr<FakeScreenInfo> screen;
    std::shared_ptr<FakePowerStatus> power;
    StationPlatform platform;

    explicit LayoutPlatform(const QRect &screenGeometry = QRect(0, 0, 1218, 805))
        : screen(std::make_shared<FakeScreenInfo>(screenGeometry)), power(std::make_shared<FakePowerStatus>(255))
    {
        platform.host = std::make_shared<FakeHostIdentity>(QStringLiteral("judge-pc"), QStringLiteral("127.0.0.1"));
        platform.power = power;
        platform.screen = screen;
    }
};
