#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The host's IPv4 neighbour table (the ARP cache). Kept free of Qt so that the Windows
// implementation stays a thin layer over the system call.

// One row of the table: the address as its four bytes in memory order (the byte at the
// lowest address first), and the row's type in the numbering of the Windows table.
struct NeighbourRow {
    enum Type : std::uint32_t { Other = 1, Invalid = 2, Dynamic = 3, Static = 4 };
    std::array<std::uint8_t, 4> address {};
    std::uint32_t type = Other;
};

// What one query of the table gave.
struct NeighbourQuery {
    enum Status {
        Ok,           // `rows` holds the table, in table order
        NoData,       // the table is empty ("no data", error 232 on Windows)
        Error,        // the query failed: `errorCode`, and the system's text for it
        Unavailable,  // there is no neighbour-table service at all
    };
    Status status = Unavailable;
    std::vector<NeighbourRow> rows;
    int errorCode = 0;
    std::string errorText;
};

class NeighbourTable
{
public:
    virtual ~NeighbourTable() = default;
    virtual NeighbourQuery query() = 0;
};

std::shared_ptr<NeighbourTable> makeRealNeighbourTable();

// The row's address in dotted decimal: the four bytes as unsigned decimal numbers without
// leading zeros, the byte at the lowest address first.
std::string DottedAddress(const std::array<std::uint8_t, 4> &address);

// The entries that a query adds to the server address list after "This Computer": the
// dynamic rows whose address differs from `localAddress`, in table order and with no
// duplicate check; for a failed query the system's text of the error; nothing otherwise.
std::vector<std::string> NeighbourEntries(const NeighbourQuery &query, const std::string &localAddress);

#ifndef _WIN32
// Linux: the state bits of a neighbour entry (NUD_*) to the row type. REACHABLE, STALE,
// DELAY and PROBE count as dynamic; PERMANENT and NOARP as static; INCOMPLETE and FAILED
// as invalid.
std::uint32_t NeighbourTypeOfState(unsigned state);
#endif
