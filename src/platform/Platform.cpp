#include "platform/Platform.h"

#include "platform/HostIdentity.h"
#include "platform/NeighbourTable.h"
#include "platform/PowerStatus.h"
#include "platform/ScreenAwake.h"
#include "platform/ScreenInfo.h"

StationPlatform StationPlatform::real()
{
    return {makeRealHostIdentity(), makeRealNeighbourTable(), makeRealPowerStatus(), makeRealScreenInfo(), makeRealScreenAwake()};
}
