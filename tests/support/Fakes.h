#pragma once

#include "platform/HostIdentity.h"
#include "platform/NeighbourTable.h"
#include "platform/Platform.h"
#include "platform/PowerStatus.h"
#include "platform/ScreenInfo.h"

#include <QRect>
#include <QString>

#include <memory>

// Fakes of the platform seams, so that no test depends on this machine's host name,
// network neighbours, battery or screen.

class FakeHostIdentity : public HostIdentity
{
public:
    explicit FakeHostIdentity(QString name = QStringLiteral("JUDGE-PC"), QString address = QStringLiteral("127.0.0.1"))
        : name(std::move(name)), address(std::move(address))
    {
    }
    QString hostName() override { return name; }
    QString firstIPv4() override { return address; }

    QString name;
    QString address;
};

class FakeNeighbourTable : public NeighbourTable
{
public:
    FakeNeighbourTable() { result.status = NeighbourQuery::NoData; }
    NeighbourQuery query() override
    {
        ++queries;
        return result;
    }

    // Convenience: a row from four bytes and a type (3 dynamic, 4 static, ...).
    void addRow(std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d, std::uint32_t type = NeighbourRow::Dynamic)
    {
        result.status = NeighbourQuery::Ok;
        NeighbourRow row;
        row.address = {a, b, c, d};
        row.type = type;
        result.rows.push_back(row);
    }
    void setError(int code, const std::string &text)
    {
        result = NeighbourQuery();
        result.status = NeighbourQuery::Error;
        result.errorCode = code;
        result.errorText = text;
    }

    NeighbourQuery result;
    int queries = 0;
};

class FakePowerStatus : public PowerStatus
{
public:
    explicit FakePowerStatus(int percent = 80, bool ok = true) : percent(percent), ok(ok) {}
    bool query(int &out) override
    {
        ++queries;
        if (ok)
            out = percent;
        return ok;
    }

    int percent;
    bool ok;
    int queries = 0;
};

class FakeScreenInfo : public ScreenInfo
{
public:
    explicit FakeScreenInfo(QRect geometry = QRect(0, 0, 1218, 805)) : geometry_(geometry) {}
    QRect screenGeometry() const override { return geometry_; }
    // Changes the screen (a new resolution, the tablet turned) and says so.
    void setGeometry(const QRect &g)
    {
        geometry_ = g;
        emit geometryChanged();
    }

private:
    QRect geometry_;
};

// The tests' one fake platform: the host "JUDGE-PC" at 127.0.0.1 (so that "This Computer" is
// the loopback address), an empty neighbour table, 80 % battery, a screen of the given size
// (1218 x 805 unless told). A test changes what it needs through the members.
struct FakePlatform {
    explicit FakePlatform(const QRect &screenGeometry = QRect(0, 0, 1218, 805))
        : screen(std::make_shared<FakeScreenInfo>(screenGeometry))
    {
    }

    std::shared_ptr<FakeHostIdentity> host = std::make_shared<FakeHostIdentity>();
    std::shared_ptr<FakeNeighbourTable> neighbours = std::make_shared<FakeNeighbourTable>();
    std::shared_ptr<FakePowerStatus> power = std::make_shared<FakePowerStatus>();
    std::shared_ptr<FakeScreenInfo> screen;

    StationPlatform platform() const { return {host, neighbours, power, screen}; }
    operator StationPlatform() const { return platform(); }
};
