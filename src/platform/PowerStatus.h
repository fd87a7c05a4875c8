#pragma once

#include <memory>

// The battery charge: a request that may fail, and when it succeeds the one-byte
// battery-life percentage (0 to 100, or 255 when it cannot be determined).
class PowerStatus
{
public:
    virtual ~PowerStatus() = default;
    virtual bool query(int &percent) = 0;
};

std::shared_ptr<PowerStatus> makeRealPowerStatus();
