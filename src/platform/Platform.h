#pragma once

#include <memory>

class HostIdentity;
class NeighbourTable;
class PowerStatus;
class ScreenAwake;
class ScreenInfo;

// The seams through which the station reaches the machine it runs on. The station uses the
// real ones; tests give fakes.
struct StationPlatform {
    std::shared_ptr<HostIdentity> host;
    std::shared_ptr<NeighbourTable> neighbours;
    std::shared_ptr<PowerStatus> power;
    std::shared_ptr<ScreenInfo> screen;
    std::shared_ptr<ScreenAwake> awake;  // none: the screen is left to its own settings

    static StationPlatform real();
};
