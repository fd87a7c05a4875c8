#include "platform/NeighbourTable.h"

std::shared_ptr<NeighbourTable> makeRealNeighbourTable()
{
    return std::make_shared<NeighbourTable>();
}
