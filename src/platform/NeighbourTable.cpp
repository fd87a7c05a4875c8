#include "platform/NeighbourTable.h"

#include <cstring>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#else
#include <cerrno>
#include <linux/neighbour.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

std::string DottedAddress(const std::array<std::uint8_t, 4> &address)
{
    std::string s;
    for (std::size_t i = 0; i < address.size(); ++i) {
        if (i)
            s += '.';
        s += std::to_string(unsigned(address[i]));
    }
    return s;
}

std::vector<std::string> NeighbourEntries(const NeighbourQuery &query, const std::string &localAddress)
{
    std::vector<std::string> out;
    switch (query.status) {
    case NeighbourQuery::Ok:
        for (const NeighbourRow &row : query.rows) {
            if (row.type != NeighbourRow::Dynamic)
                continue;
            std::string text = DottedAddress(row.address);
            if (text != localAddress)
                out.push_back(std::move(text));
        }
        break;
    case NeighbourQuery::Error:
        out.push_back(query.errorText);
        break;
    case NeighbourQuery::NoData:
    case NeighbourQuery::Unavailable:
        break;
    }
    return out;
}

#ifdef _WIN32

namespace {

std::string systemMessage(DWORD code)
{
    char buf[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf,
                                   DWORD(sizeof buf), nullptr);
    std::string s(buf, n);
    while (!s.empty() && (unsigned char)s.back() <= ' ')
        s.pop_back();
    if (s.empty())
        s = "System error " + std::to_string(code);
    return s;
}

// GetIpNetTable from IPHLPAPI.DLL, loaded at run time: when the library or the function is
// missing there is no neighbour-table service.
class WindowsNeighbourTable : public NeighbourTable
{
public:
    NeighbourQuery query() override
    {
        using GetIpNetTableFn = DWORD(WINAPI *)(PMIB_IPNETTABLE, PULONG, BOOL);
        NeighbourQuery q;
        HMODULE lib = LoadLibraryA("iphlpapi.dll");
        if (!lib)
            return q;  // Unavailable
        auto fn = reinterpret_cast<GetIpNetTableFn>(reinterpret_cast<void *>(GetProcAddress(lib, "GetIpNetTable")));
        if (!fn) {
            FreeLibrary(lib);
            return q;
        }
        // First with no buffer, to learn the size needed; unsorted.
        ULONG size = 0;
        DWORD r = fn(nullptr, &size, FALSE);
        if (r == ERROR_NO_DATA) {
            q.status = NeighbourQuery::NoData;
            FreeLibrary(lib);
            return q;
        }
        std::vector<unsigned char> buffer(size < sizeof(MIB_IPNETTABLE) ? sizeof(MIB_IPNETTABLE) : size);
        auto *table = reinterpret_cast<PMIB_IPNETTABLE>(buffer.data());
        ULONG bufferSize = ULONG(buffer.size());
        r = fn(table, &bufferSize, FALSE);
        if (r == ERROR_NO_DATA) {
            // The table emptied itself between the two calls.
            q.status = NeighbourQuery::NoData;
        } else if (r != NO_ERROR) {
            q.status = NeighbourQuery::Error;
            q.errorCode = int(r);
            q.errorText = systemMessage(r);
        } else {
            q.status = NeighbourQuery::Ok;
            for (DWORD i = 0; i < table->dwNumEntries; ++i) {
                const MIB_IPNETROW &row = table->table[i];
                NeighbourRow out;
                std::memcpy(out.address.data(), &row.dwAddr, 4);
                out.type = std::uint32_t(row.dwType);
                q.rows.push_back(out);
            }
        }
        FreeLibrary(lib);
        return q;
    }
};

} // namespace

std::shared_ptr<NeighbourTable> makeRealNeighbourTable()
{
    return std::make_shared<WindowsNeighbourTable>();
}

#else

std::uint32_t NeighbourTypeOfState(unsigned state)
{
    if (state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE))
        return NeighbourRow::Dynamic;
    if (state & (NUD_PERMANENT | NUD_NOARP))
        return NeighbourRow::Static;
    if (state & (NUD_INCOMPLETE | NUD_FAILED))
        return NeighbourRow::Invalid;
    return NeighbourRow::Other;
}

namespace {

NeighbourQuery failed(int code)
{
    NeighbourQuery q;
    q.status = NeighbourQuery::Error;
    q.errorCode = code;
    q.errorText = std::strerror(code);
    return q;
}

// The IPv4 neighbour table through rtnetlink: one RTM_GETNEIGH dump.
class LinuxNeighbourTable : public NeighbourTable
{
public:
    NeighbourQuery query() override
    {
        const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0) {
            const int e = errno;
            if (e == EAFNOSUPPORT || e == EPROTONOSUPPORT)
                return NeighbourQuery();  // Unavailable
            return failed(e);
        }
        NeighbourQuery q = dump(fd);
        ::close(fd);
        return q;
    }

private:
    static NeighbourQuery dump(int fd)
    {
        // The kernel answers a dump at once; the time-out only guards against a lost answer.
        timeval tv {2, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);

        struct {
            nlmsghdr header;
            ndmsg body;
        } request {};
        request.header.nlmsg_len = NLMSG_LENGTH(sizeof(ndmsg));
        request.header.nlmsg_type = RTM_GETNEIGH;
        request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
        request.header.nlmsg_seq = 1;
        request.body.ndm_family = AF_INET;
        sockaddr_nl kernel {};
        kernel.nl_family = AF_NETLINK;
        if (::sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr *>(&kernel), sizeof kernel) < 0)
            return failed(errno);

        NeighbourQuery q;
        q.status = NeighbourQuery::Ok;
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return failed(errno);
            }
            if (n == 0)
                break;
            int len = int(n);
            for (auto *h = reinterpret_cast<nlmsghdr *>(buffer.data()); NLMSG_OK(h, len); h = NLMSG_NEXT(h, len)) {
                if (h->nlmsg_seq != request.header.nlmsg_seq)
                    continue;
                if (h->nlmsg_type == NLMSG_DONE)
                    return finish(q);
                if (h->nlmsg_type == NLMSG_ERROR) {
                    const auto *err = static_cast<const nlmsgerr *>(NLMSG_DATA(h));
                    return failed(err->error < 0 ? -err->error : EIO);
                }
                if (h->nlmsg_type == RTM_NEWNEIGH)
                    addRow(q, h);
            }
        }
        return finish(q);
    }

    static NeighbourQuery finish(NeighbourQuery &q)
    {
        if (q.rows.empty())
            q.status = NeighbourQuery::NoData;
        return q;
    }

    static void addRow(NeighbourQuery &q, const nlmsghdr *h)
    {
        if (h->nlmsg_len < NLMSG_LENGTH(sizeof(ndmsg)))
            return;
        const auto *nd = static_cast<const ndmsg *>(NLMSG_DATA(h));
        if (nd->ndm_family != AF_INET)
            return;
        int len = int(h->nlmsg_len - NLMSG_LENGTH(sizeof(ndmsg)));
        auto *a = reinterpret_cast<rtattr *>(reinterpret_cast<char *>(const_cast<ndmsg *>(nd)) + NLMSG_ALIGN(sizeof(ndmsg)));
        for (; RTA_OK(a, len); a = RTA_NEXT(a, len)) {
            if (a->rta_type == NDA_DST && RTA_PAYLOAD(a) == 4) {
                NeighbourRow row;
                std::memcpy(row.address.data(), RTA_DATA(a), 4);
                row.type = NeighbourTypeOfState(nd->ndm_state);
                q.rows.push_back(row);
                return;
            }
        }
    }
};

} // namespace

std::shared_ptr<NeighbourTable> makeRealNeighbourTable()
{
    return std::make_shared<LinuxNeighbourTable>();
}

#endif
