#pragma once

#include <memory>

// The host's IPv4 neighbour table (the ARP cache).
class NeighbourTable
{
public:
    virtual ~NeighbourTable() = default;
};

std::shared_ptr<NeighbourTable> makeRealNeighbourTable();
