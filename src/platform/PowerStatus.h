#pragma once

#include <memory>
#include <string>

// The battery charge: a request that may fail, and when it succeeds the one-byte
// battery-life percentage (0 to 100, or 255 when it cannot be determined, as on a computer
// without a battery).
class PowerStatus
{
public:
    virtual ~PowerStatus() = default;
    virtual bool query(int &percent) = 0;
};

// The platform's own source: GetSystemPowerStatus on Windows, /sys/class/power_supply on Linux.
std::shared_ptr<PowerStatus> makeRealPowerStatus();

// The Linux source, reading the power-supply class folder given (a stand-in folder in tests).
// Every supply of type "Battery" that powers the system counts (a wireless mouse's or
// keyboard's battery, scope "Device", does not); several batteries give their mean charge.
// No battery gives 255. A battery whose charge cannot be read makes the request fail, so that
// a passing read error leaves the last reading shown.
std::shared_ptr<PowerStatus> makeSysfsPowerStatus(const std::string &folder = "/sys/class/power_supply");
