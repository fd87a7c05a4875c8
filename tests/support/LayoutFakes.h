#pragma once

// Small stand-ins for the platform seams used by the layout tests, the layout benchmark and
// the screenshot tool: a screen whose geometry the test sets, a battery whose answer the test
// sets, and a fixed host identity.

#include "platform/HostIdentity.h"
#include "platform/Platform.h"
#include "platform/PowerStatus.h"
#include "platform/ScreenInfo.h"

#include <QRect>
#include <memory>

class FakeScreenInfo : public ScreenInfo
{
public:
    explicit FakeScreenInfo(const QRect &geometry = QRect(0, 0, 1218, 805)) : geometry_(geometry) {}
    QRect screenGeometry() const override { return geometry_; }
    // The screen's resolution changes (or the tablet is turned).
    void change(const QRect &geometry)
    {
        geometry_ = geometry;
        emit geometryChanged();
    }

private:
    QRect geometry_;
};

class FakePowerStatus : public PowerStatus
{
public:
    bool succeeds = true;
    int percent = 255;
    int queries = 0;
    bool query(int &p) override
    {
        ++queries;
        if (!succeeds)
            return false;
        p = percent;
        return true;
    }
};

class FixedHostIdentity : public HostIdentity
{
public:
    QString hostName() override { return QStringLiteral("judge-pc"); }
    QString firstIPv4() override { return QStringLiteral("127.0.0.1"); }
};

struct LayoutPlatform {
    std::shared_ptr<FakeScreenInfo> screen;
    std::shared_ptr<FakePowerStatus> power;
    StationPlatform platform;

    explicit LayoutPlatform(const QRect &screenGeometry = QRect(0, 0, 1218, 805))
        : screen(std::make_shared<FakeScreenInfo>(screenGeometry)), power(std::make_shared<FakePowerStatus>())
    {
        platform.host = std::make_shared<FixedHostIdentity>();
        platform.power = power;
        platform.screen = screen;
    }
};
